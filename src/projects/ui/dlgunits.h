#pragma once
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <array>
#include <vector>

namespace hv {

struct Program;

// Chooses the program-wide pressure, temperature, flow, flux and mass units. The presets
// take effect at once; OK takes the lists' choices; Cancel puts back the units it opened with.
class dlgUnits : public QDialog {
    Q_OBJECT
public:
    explicit dlgUnits(Program& p, QWidget* parent = nullptr);

    std::vector<QLabel*> txtLabel; // 0..4
    QComboBox* cbPresUnits = nullptr;
    QComboBox* cbTempUnits = nullptr;
    QComboBox* cbFlowUnits = nullptr;
    QComboBox* cbFluxUnits = nullptr;
    QComboBox* cbMassUnits = nullptr;
    QPushButton* btnUS = nullptr;
    QPushButton* btnMetric = nullptr;
    QPushButton* btnCGS = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

    void btnUS_Click();
    void btnMetric_Click();
    void btnCGS_Click();
    void btnOk_Click();
    void btnCancel_Click();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Form_Load();
    void showChoices();

    Program& p_;
    std::array<qint16, 5> opened_{}; // pressure, temperature, flow, flux, mass at load
};

} // namespace hv
