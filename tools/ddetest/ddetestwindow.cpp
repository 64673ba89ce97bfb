#include "ddetestwindow.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

#include "platform/prompts.h"

namespace {
constexpr int ServedRole = Qt::UserRole; // on the topic cell: {topic, item} as served now
constexpr const char* Title = "DDE Test";
} // namespace

DdeTestWindow::DdeTestWindow(hv::Prompts& prompts, const QString& application, QWidget* parent)
    : QWidget(parent), prompts_(prompts) {
    setWindowTitle(Title);
    setObjectName("frmDdeTest");
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Application:"));
    txtApplication = new QLineEdit(application);
    txtApplication->setObjectName("txtApplication");
    top->addWidget(txtApplication, 1);
    cmdServe = new QPushButton("&Serve");
    cmdServe->setObjectName("cmdServe");
    top->addWidget(cmdServe);

    grdItems = new QTableWidget(0, 3);
    grdItems->setObjectName("grdItems");
    grdItems->setHorizontalHeaderLabels({"Topic", "Item", "Value"});
    grdItems->horizontalHeader()->setStretchLastSection(true);
    grdItems->verticalHeader()->setVisible(false);

    auto* buttons = new QHBoxLayout;
    cmdAddRow = new QPushButton("&Add Row");
    cmdAddRow->setObjectName("cmdAddRow");
    cmdDeleteRow = new QPushButton("&Delete Row");
    cmdDeleteRow->setObjectName("cmdDeleteRow");
    cmdAddSheet = new QPushButton("Add S&heet...");
    cmdAddSheet->setObjectName("cmdAddSheet");
    cmdLoadItems = new QPushButton("&Load Items...");
    cmdLoadItems->setObjectName("cmdLoadItems");
    cmdClose = new QPushButton("&Close");
    cmdClose->setObjectName("cmdClose");
    for (QPushButton* b : {cmdAddRow, cmdDeleteRow, cmdAddSheet, cmdLoadItems})
        buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);

    lblStatus = new QLabel;
    lblStatus->setObjectName("lblStatus");

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(grdItems, 1);
    layout->addLayout(buttons);
    layout->addWidget(lblStatus);
    resize(640, 520);

    connect(cmdServe, &QPushButton::clicked, this, &DdeTestWindow::cmdServe_Click);
    connect(txtApplication, &QLineEdit::returnPressed, this, &DdeTestWindow::cmdServe_Click);
    connect(cmdAddRow, &QPushButton::clicked, this, &DdeTestWindow::cmdAddRow_Click);
    connect(cmdDeleteRow, &QPushButton::clicked, this, &DdeTestWindow::cmdDeleteRow_Click);
    connect(cmdAddSheet, &QPushButton::clicked, this, &DdeTestWindow::cmdAddSheet_Click);
    connect(cmdLoadItems, &QPushButton::clicked, this, &DdeTestWindow::cmdLoadItems_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
    connect(grdItems, &QTableWidget::itemChanged, this, &DdeTestWindow::grdItems_ItemChanged);
    connect(&server_, &hv::links::LinkServer::connectionsChanged, this, &DdeTestWindow::showStatus);

    // An empty sheet under the names the windows link to by default, so a new user's
    // links answer at once.
    server_.setSheet(DefaultSheet, {});
    cmdServe_Click();
}

void DdeTestWindow::cmdServe_Click() {
    const QString name = txtApplication->text().trimmed();
    if (!server_.listen(name))
        prompts_.message(server_.errorString(), hv::Buttons::OK, hv::Icon::Warning, Title);
    showStatus();
}

void DdeTestWindow::showStatus() {
    if (!server_.isListening()) {
        lblStatus->setText("Not serving");
        return;
    }
    lblStatus->setText(QString("Serving \"%1\": %2 connection(s)")
                           .arg(server_.application())
                           .arg(server_.connectionCount()));
}

void DdeTestWindow::fillGrid() {
    const auto entries = server_.entries();
    filling_ = true;
    grdItems->setRowCount(0);
    grdItems->setRowCount(int(entries.size()));
    for (int r = 0; r < entries.size(); ++r) {
        auto* topic = new QTableWidgetItem(entries[r].topic);
        topic->setData(ServedRole, QStringList{entries[r].topic, entries[r].item});
        grdItems->setItem(r, 0, topic);
        grdItems->setItem(r, 1, new QTableWidgetItem(entries[r].item));
        grdItems->setItem(r, 2, new QTableWidgetItem(entries[r].text));
    }
    // Topic and item columns as wide as their longest served name.
    for (int c : {0, 1}) {
        const int wide = grdItems->columnWidth(c);
        grdItems->resizeColumnToContents(c);
        if (grdItems->columnWidth(c) < wide) grdItems->setColumnWidth(c, wide);
    }
    filling_ = false;
}

void DdeTestWindow::cmdAddRow_Click() {
    const int r = grdItems->rowCount();
    const int from = grdItems->currentRow();
    filling_ = true;
    grdItems->insertRow(r);
    // A new row starts in the current row's topic, the usual next step.
    const QString topic =
        from >= 0 && grdItems->item(from, 0) ? grdItems->item(from, 0)->text() : DefaultSheet;
    grdItems->setItem(r, 0, new QTableWidgetItem(topic));
    grdItems->setItem(r, 1, new QTableWidgetItem);
    grdItems->setItem(r, 2, new QTableWidgetItem);
    filling_ = false;
    grdItems->setCurrentCell(r, 1);
    grdItems->editItem(grdItems->item(r, 1));
}

void DdeTestWindow::cmdDeleteRow_Click() {
    const int r = grdItems->currentRow();
    if (r < 0) return;
    if (const QTableWidgetItem* t = grdItems->item(r, 0)) {
        const QStringList served = t->data(ServedRole).toStringList();
        if (served.size() == 2) server_.removeItem(served[0], served[1]);
    }
    grdItems->removeRow(r);
}

void DdeTestWindow::cmdAddSheet_Click() {
    const QString path = prompts_.openFile("Add Sheet", "CSV files (*.csv)|*.csv|All files|*");
    if (path.isEmpty()) return;
    if (!server_.addSheetFile(path)) {
        prompts_.message(server_.errorString(), hv::Buttons::OK, hv::Icon::Warning, Title);
        return;
    }
    fillGrid();
}

void DdeTestWindow::cmdLoadItems_Click() {
    const QString path = prompts_.openFile("Load Items", "Item lists (*.csv *.txt)|*.csv;*.txt|All files|*");
    if (path.isEmpty()) return;
    if (!server_.addItemsFile(path))
        prompts_.message(server_.errorString(), hv::Buttons::OK, hv::Icon::Warning, Title);
    fillGrid(); // the lines before a faulty one were taken
}

void DdeTestWindow::grdItems_ItemChanged(QTableWidgetItem* cell) {
    if (filling_) return;
    const int r = cell->row();
    QTableWidgetItem* topicCell = grdItems->item(r, 0);
    QTableWidgetItem* itemCell = grdItems->item(r, 1);
    QTableWidgetItem* valueCell = grdItems->item(r, 2);
    if (!topicCell || !itemCell || !valueCell) return;
    const QString topic = topicCell->text().trimmed();
    const QString item = itemCell->text().trimmed();
    const QStringList served = topicCell->data(ServedRole).toStringList();
    const bool moved = served.size() != 2 || served[0].compare(topic, Qt::CaseInsensitive) != 0 ||
                       served[1].compare(item, Qt::CaseInsensitive) != 0;
    if (moved && served.size() == 2) server_.removeItem(served[0], served[1]);
    filling_ = true;
    if (topic.isEmpty() || item.isEmpty()) {
        topicCell->setData(ServedRole, QVariant());
    } else if (server_.setValue(topic, item, valueCell->text())) {
        topicCell->setData(ServedRole, QStringList{topic, item});
    } else {
        topicCell->setData(ServedRole, QVariant());
        lblStatus->setText(QString("The items of sheet \"%1\" are cells such as R2C3").arg(topic));
    }
    filling_ = false;
}
