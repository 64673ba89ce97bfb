#include "projects/ui/dlgunits.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>

#include "core/program.h"
#include "core/units.h"
#include "projects/unitchoice.h"

namespace hv {

dlgUnits::dlgUnits(Program& p, QWidget* parent) : QDialog(parent), p_(p) {
    setWindowTitle("Hevrin(tm) - Units");
    auto* grid = new QGridLayout(this);
    const char* captions[5] = {"Pressure", "Temperature", "Volume/Flow", "Membrane Flux", "Mass Units"};
    cbPresUnits = new QComboBox(this);
    cbTempUnits = new QComboBox(this);
    cbFlowUnits = new QComboBox(this);
    cbFluxUnits = new QComboBox(this);
    cbMassUnits = new QComboBox(this);
    QComboBox* lists[5] = {cbPresUnits, cbTempUnits, cbFlowUnits, cbFluxUnits, cbMassUnits};
    for (int i = 0; i < 5; ++i) {
        txtLabel.push_back(new QLabel(captions[i], this));
        grid->addWidget(txtLabel.back(), i, 0);
        grid->addWidget(lists[i], i, 1);
    }
    btnUS = new QPushButton("U.S. Units", this);
    btnUS->setToolTip("Deg F, gpm, psi");
    btnMetric = new QPushButton("CMD Metric", this);
    btnMetric->setToolTip("Deg C, m^3/day, bar");
    btnCGS = new QPushButton("CMH", this);
    btnCGS->setToolTip("Deg C, m^3/hr, kg/cm^2");
    auto* presets = new QHBoxLayout;
    for (QPushButton* b : {btnUS, btnMetric, btnCGS})
        presets->addWidget(b);
    grid->addLayout(presets, 5, 0, 1, 2);
    btnOk = new QPushButton("&Ok", this);
    btnOk->setDefault(true);
    btnCancel = new QPushButton("&Cancel", this);
    auto* close = new QHBoxLayout;
    close->addWidget(btnOk);
    close->addWidget(btnCancel);
    grid->addLayout(close, 6, 0, 1, 2);

    connect(btnUS, &QPushButton::clicked, this, &dlgUnits::btnUS_Click);
    connect(btnMetric, &QPushButton::clicked, this, &dlgUnits::btnMetric_Click);
    connect(btnCGS, &QPushButton::clicked, this, &dlgUnits::btnCGS_Click);
    connect(btnOk, &QPushButton::clicked, this, &dlgUnits::btnOk_Click);
    connect(btnCancel, &QPushButton::clicked, this, &dlgUnits::btnCancel_Click);
    Form_Load();
}

void dlgUnits::Form_Load() {
    resize(300, 267); // 4500 x 4000 twips
    move(0, 0);
    const struct {
        QComboBox* list;
        int kind;
        int count;
    } fills[5] = {{cbPresUnits, 1, PressureUnitCount},
                  {cbTempUnits, 2, 2},
                  {cbFlowUnits, 3, FlowUnitCount},
                  {cbFluxUnits, 4, FluxUnitCount},
                  {cbMassUnits, 5, MassUnitCount}};
    for (const auto& f : fills)
        for (int i = 0; i < f.count; ++i)
            f.list->addItem(GetUnitName(f.kind, i));
    showChoices();
    opened_ = {p_.PressureUnit, p_.TemperatureUnit, p_.FlowUnit, p_.FluxUnit, p_.MassUnit};
}

void dlgUnits::showChoices() {
    cbPresUnits->setCurrentIndex(p_.PressureUnit);
    cbTempUnits->setCurrentIndex(p_.TemperatureUnit);
    cbFlowUnits->setCurrentIndex(p_.FlowUnit);
    cbFluxUnits->setCurrentIndex(p_.FluxUnit);
    cbMassUnits->setCurrentIndex(p_.MassUnit);
}

void dlgUnits::btnUS_Click() {
    ApplyUnitPreset(p_, UnitPreset::US);
    showChoices();
}

void dlgUnits::btnMetric_Click() {
    ApplyUnitPreset(p_, UnitPreset::CMD);
    showChoices();
}

void dlgUnits::btnCGS_Click() {
    ApplyUnitPreset(p_, UnitPreset::CMH);
    showChoices();
}

void dlgUnits::btnOk_Click() {
    // A list without a choice keeps its unit.
    auto take = [](QComboBox* list, qint16& unit) {
        if (list->currentIndex() >= 0) unit = qint16(list->currentIndex());
    };
    take(cbPresUnits, p_.PressureUnit);
    take(cbTempUnits, p_.TemperatureUnit);
    take(cbFlowUnits, p_.FlowUnit);
    take(cbFluxUnits, p_.FluxUnit);
    take(cbMassUnits, p_.MassUnit);
    accept();
}

void dlgUnits::btnCancel_Click() {
    p_.PressureUnit = opened_[0];
    p_.TemperatureUnit = opened_[1];
    p_.FlowUnit = opened_[2];
    p_.FluxUnit = opened_[3];
    p_.MassUnit = opened_[4];
    reject();
}

// Esc is the Cancel button; the close box only closes.
void dlgUnits::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        btnCancel_Click();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace hv
