#pragma once
#include <QPushButton>
#include <QTableView>
#include <QWidget>

#include "maintenance/dataview.h"

namespace hv {

struct Program;

// The tabular data view: every reading of the current project in a sortable table.
class rows : public QWidget {
    Q_OBJECT
public:
    explicit rows(Program& p, QWidget* parent = nullptr);

    QTableView* MSHFlexGrid1 = nullptr;
    QPushButton* cmdClose = nullptr;
    DataViewModel* model() const { return model_; }

    void MSHFlexGrid1_Click(int column); // a header click
    void cmdClose_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Form_Load();
    void columnMoved(int logical, int oldVisual, int newVisual);

    Program& p_;
    DataViewModel* model_ = nullptr;
};

} // namespace hv
