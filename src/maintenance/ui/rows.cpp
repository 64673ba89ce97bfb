#include "maintenance/ui/rows.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "core/program.h"

namespace hv {

rows::rows(Program& p, QWidget* parent) : QWidget(parent, Qt::Window), p_(p) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle("Data");
    MSHFlexGrid1 = new QTableView(this);
    MSHFlexGrid1->setObjectName("MSHFlexGrid1");
    cmdClose = new QPushButton("&Close", this);
    cmdClose->setObjectName("cmdClose");
    cmdClose->setDefault(true);
    model_ = new DataViewModel(this);
    MSHFlexGrid1->setModel(model_);
    MSHFlexGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    MSHFlexGrid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    MSHFlexGrid1->verticalHeader()->setDefaultSectionSize(20);
    QHeaderView* header = MSHFlexGrid1->horizontalHeader();
    header->setSectionsMovable(true);
    header->setSectionsClickable(true);
    header->setHighlightSections(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(MSHFlexGrid1, 1);
    layout->addLayout(buttons);
    resize(1000, 600);

    connect(header, &QHeaderView::sectionClicked, this, &rows::MSHFlexGrid1_Click);
    connect(header, &QHeaderView::sectionMoved, this, &rows::columnMoved);
    connect(cmdClose, &QPushButton::clicked, this, &rows::cmdClose_Click);
    Form_Load();
}

void rows::Form_Load() {
    setWindowTitle(p_.CurrentProject.ProjectID + " Train: " + QString::number(p_.CurrentProject.TrainNumber));
    model_->load(p_.ProjectDatabasePath, p_.CurrentProject.ProjectID);
    // The date column at least 1300 twips, and wide enough for the whole date and time.
    MSHFlexGrid1->resizeColumnToContents(0);
    MSHFlexGrid1->setColumnWidth(0, std::max(87, MSHFlexGrid1->columnWidth(0) + 8));
    MSHFlexGrid1->resizeColumnToContents(DataViewModel::TrainColumn);
    // Every other column keeps its width unless its name or a value needs more.
    for (int c = 1; c < model_->columnCount(); ++c) {
        if (c == DataViewModel::TrainColumn) continue;
        const int wide = MSHFlexGrid1->columnWidth(c);
        MSHFlexGrid1->resizeColumnToContents(c);
        if (MSHFlexGrid1->columnWidth(c) < wide) MSHFlexGrid1->setColumnWidth(c, wide);
    }
}

void rows::MSHFlexGrid1_Click(int column) {
    model_->headerClicked(column);
}

// The date column stays first: it is neither moved nor a place to drop another column.
void rows::columnMoved(int logical, int oldVisual, int newVisual) {
    if (logical != 0 && newVisual != 0) return;
    QHeaderView* header = MSHFlexGrid1->horizontalHeader();
    const QSignalBlocker block(header);
    header->moveSection(newVisual, oldVisual);
}

void rows::cmdClose_Click() {
    close();
}

void rows::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape || e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        cmdClose_Click();
        return;
    }
    QWidget::keyPressEvent(e);
}

} // namespace hv
