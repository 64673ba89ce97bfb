#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <vector>

#include "graphs/graphstyle.h"

namespace hv {

struct Program;

// "Configure Graphs": shows the graph manager's styles and limits, returns the choices.
// -1000 in a result means not chosen. DialogResult: 1 Ok, 2 Cancel, 0 closed by the frame.
class frmGraphConfig : public QDialog {
    Q_OBJECT
public:
    frmGraphConfig(Program& p, const GraphStyle& owner, QWidget* parent = nullptr);

    long DialogResult = 0;
    qint32 LineColor(int index) const; // 0 to 3
    qint32 SymbolColor(int index) const;
    qint16 LineThickness() const;
    qint16 SymbolThickness() const;
    qint16 LineStyle(int index) const;
    qint16 SymbolStyle(int index) const;
    bool SaveAsDefault() const { return chkSaveDefault->isChecked(); }
    double YMax() const { return limit(chkYMax, txtYMax); }
    double Y2Max() const { return limit(chkY2Max, txtY2Max); }
    double YMin() const { return limit(chkYMin, txtYMin); }
    double Y2Min() const { return limit(chkY2Min, txtY2Min); }

    QGroupBox* LineFrame = nullptr;
    QGroupBox* SymbolFrame = nullptr;
    std::vector<QLabel*> lblSensor; // Line 1..4, Symbol 1..4
    QLabel *Label12 = nullptr, *Label11 = nullptr, *Label3 = nullptr;
    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label8 = nullptr;
    std::vector<QComboBox*> cboLineColor, cboLineStyle, cboSymbolColor, cboSymbolStyle;
    QComboBox* cboLineThickness = nullptr;
    QComboBox* cboSymbolThickness = nullptr;
    QCheckBox *chkYMax = nullptr, *chkY2Max = nullptr, *chkYMin = nullptr, *chkY2Min = nullptr;
    QLabel *Label4 = nullptr, *Label5 = nullptr, *Label6 = nullptr, *Label7 = nullptr;
    QLineEdit *txtYMax = nullptr, *txtY2Max = nullptr, *txtYMin = nullptr, *txtY2Min = nullptr;
    QCheckBox* chkSaveDefault = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    void cmdOK_Click();
    void cmdCancel_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Form_Load();
    void LoadFromOwner();
    static double limit(const QCheckBox* chk, const QLineEdit* txt);

    Program& p_;
    GraphStyle owner_;
};

} // namespace hv
