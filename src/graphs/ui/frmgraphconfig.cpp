#include "graphs/ui/frmgraphconfig.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>
#include <tuple>

#include "core/numbers.h"
#include "core/program.h"
#include "core/typedinput.h"

namespace hv {

namespace {

QComboBox* combo(QWidget* parent, const QString& name, bool editable) {
    auto* c = new QComboBox(parent);
    c->setObjectName(name);
    c->setEditable(editable);
    if (editable) c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

QLabel* label(QWidget* parent, const QString& name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

// Selects a style code's entry; a code outside the list selects nothing.
void selectCode(QComboBox* c, int code) {
    c->setCurrentIndex(code >= 1 && code <= c->count() ? code - 1 : -1);
}

qint16 codeOf(const QComboBox* c) {
    if (c->currentText().isEmpty()) return qint16(AutoLimit);
    return qint16(c->findText(c->currentText(), Qt::MatchExactly) + 1);
}

qint16 thicknessOf(const QComboBox* c) {
    if (c->currentText().isEmpty()) return qint16(AutoLimit);
    return ToIntegerOrZero(c->currentText());
}

} // namespace

frmGraphConfig::frmGraphConfig(Program& p, const GraphStyle& owner, QWidget* parent)
    : QDialog(parent), p_(p), owner_(owner) {
    setObjectName("frmGraphConfig");
    setWindowTitle("Configure Graphs");
    auto* top = new QVBoxLayout(this);

    // The line and the symbol frames: each name and caption follows from the frame's kind.
    struct Frame {
        QString kind;
        QGroupBox*& box;
        std::vector<QComboBox*>& colors;
        std::vector<QComboBox*>& styles;
        QComboBox*& thickness;
        QLabel*& colorCaption;
        QLabel*& styleCaption;
        QLabel*& thicknessCaption;
        const char* captionNames[3];
    };
    Frame frames[2] = {
        {"Line",
         LineFrame,
         cboLineColor,
         cboLineStyle,
         cboLineThickness,
         Label12,
         Label11,
         Label3,
         {"Label12", "Label11", "Label3"}},
        {"Symbol",
         SymbolFrame,
         cboSymbolColor,
         cboSymbolStyle,
         cboSymbolThickness,
         Label1,
         Label2,
         Label8,
         {"Label1", "Label2", "Label8"}},
    };
    for (int f = 0; f < 2; ++f) {
        Frame& fr = frames[f];
        fr.box = new QGroupBox(fr.kind + " Settings", this);
        fr.box->setObjectName(fr.kind + "Frame");
        auto* grid = new QGridLayout(fr.box);
        fr.colorCaption = label(fr.box, fr.captionNames[0], fr.kind + " Color:");
        fr.styleCaption = label(fr.box, fr.captionNames[1], fr.kind + " Style:");
        fr.thicknessCaption = label(fr.box, fr.captionNames[2], fr.kind + " Thickness:");
        grid->addWidget(fr.colorCaption, 0, 1);
        grid->addWidget(fr.styleCaption, 0, 2);
        grid->addWidget(fr.thicknessCaption, 0, 3);
        for (int k = 0; k < 4; ++k) {
            auto* l = label(fr.box, QString("lblSensor_%1").arg(f * 4 + k),
                            QString("%1 %2:").arg(fr.kind).arg(k + 1));
            lblSensor.push_back(l);
            fr.colors.push_back(combo(fr.box, QString("cbo%1Color_%2").arg(fr.kind).arg(k), true));
            fr.styles.push_back(combo(fr.box, QString("cbo%1Style_%2").arg(fr.kind).arg(k), false));
            grid->addWidget(l, k + 1, 0);
            grid->addWidget(fr.colors.back(), k + 1, 1);
            grid->addWidget(fr.styles.back(), k + 1, 2);
        }
        fr.thickness = combo(fr.box, "cbo" + fr.kind + "Thickness", false);
        grid->addWidget(fr.thickness, 1, 3);
        top->addWidget(fr.box);
    }

    auto* limits = new QGridLayout;
    const struct {
        QCheckBox*& chk;
        QLabel*& lbl;
        QLineEdit*& txt;
        const char* name;
        const char* labelName;
    } rows[4] = {{chkYMax, Label4, txtYMax, "YMax", "Label4"},
                 {chkY2Max, Label5, txtY2Max, "Y2Max", "Label5"},
                 {chkYMin, Label6, txtYMin, "YMin", "Label6"},
                 {chkY2Min, Label7, txtY2Min, "Y2Min", "Label7"}};
    for (int i = 0; i < 4; ++i) {
        rows[i].chk = new QCheckBox(this);
        rows[i].chk->setObjectName(QString("chk") + rows[i].name);
        rows[i].lbl = label(this, rows[i].labelName, rows[i].name);
        rows[i].txt = new QLineEdit("Auto", this);
        rows[i].txt->setObjectName(QString("txt") + rows[i].name);
        rows[i].txt->setEnabled(false);
        limits->addWidget(rows[i].chk, i / 2, (i % 2) * 3);
        limits->addWidget(rows[i].lbl, i / 2, (i % 2) * 3 + 1);
        limits->addWidget(rows[i].txt, i / 2, (i % 2) * 3 + 2);
        QLineEdit* txt = rows[i].txt;
        // Each tick or untick toggles its box, as the check's click does.
        connect(rows[i].chk, &QCheckBox::toggled, this, [txt] { txt->setEnabled(!txt->isEnabled()); });
    }
    top->addLayout(limits);

    chkSaveDefault = new QCheckBox("Save as Default", this);
    chkSaveDefault->setObjectName("chkSaveDefault");
    cmdOK = new QPushButton("Ok", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkSaveDefault);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    top->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &frmGraphConfig::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmGraphConfig::cmdCancel_Click);
    Form_Load();
}

void frmGraphConfig::Form_Load() {
    for (QComboBox* c : cboLineColor)
        c->addItems(ColorNames());
    for (QComboBox* c : cboLineStyle)
        c->addItems(LineStyleNames());
    for (int i = 1; i <= 5; ++i)
        cboLineThickness->addItem(QString::number(i));
    for (QComboBox* c : cboSymbolColor)
        c->addItems(ColorNames());
    for (QComboBox* c : cboSymbolStyle)
        c->addItems(SymbolStyleNames());
    for (int i = 1; i <= 10; ++i)
        cboSymbolThickness->addItem(QString::number(i));
    LoadFromOwner();
}

void frmGraphConfig::LoadFromOwner() {
    for (int k = 0; k < 4; ++k)
        cboLineColor[size_t(k)]->setCurrentText(ColorToName(owner_.LineColor[size_t(k)]));
    for (int k = 0; k < 4; ++k)
        selectCode(cboLineStyle[size_t(k)], owner_.LineStyle[size_t(k)]);
    // A thickness the list lacks shows nothing and so stays as it was.
    cboLineThickness->setCurrentIndex(cboLineThickness->findText(QString::number(owner_.LineThickness)));
    for (int k = 0; k < 4; ++k)
        cboSymbolColor[size_t(k)]->setCurrentText(ColorToName(owner_.SymbolColor[size_t(k)]));
    for (int k = 0; k < 4; ++k)
        selectCode(cboSymbolStyle[size_t(k)], owner_.SymbolStyle[size_t(k)]);
    cboSymbolThickness->setCurrentIndex(
        cboSymbolThickness->findText(QString::number(owner_.SymbolThickness)));
    const std::pair<double, std::pair<QCheckBox*, QLineEdit*>> limits[4] = {
        {owner_.YMax, {chkYMax, txtYMax}},
        {owner_.Y2Max, {chkY2Max, txtY2Max}},
        {owner_.YMin, {chkYMin, txtYMin}},
        {owner_.Y2Min, {chkY2Min, txtY2Min}}};
    for (const auto& [value, controls] : limits) {
        if (value == AutoLimit) continue;
        controls.first->setChecked(true);
        controls.second->setText(GeneralNumber(value));
    }
}

qint32 frmGraphConfig::LineColor(int index) const {
    const QString t = cboLineColor.at(size_t(index))->currentText();
    return t.isEmpty() ? qint32(AutoLimit) : NameToColor(t);
}

qint32 frmGraphConfig::SymbolColor(int index) const {
    const QString t = cboSymbolColor.at(size_t(index))->currentText();
    return t.isEmpty() ? qint32(AutoLimit) : NameToColor(t);
}

qint16 frmGraphConfig::LineThickness() const {
    return thicknessOf(cboLineThickness);
}

qint16 frmGraphConfig::SymbolThickness() const {
    return thicknessOf(cboSymbolThickness);
}

qint16 frmGraphConfig::LineStyle(int index) const {
    return codeOf(cboLineStyle.at(size_t(index)));
}

qint16 frmGraphConfig::SymbolStyle(int index) const {
    return codeOf(cboSymbolStyle.at(size_t(index)));
}

double frmGraphConfig::limit(const QCheckBox* chk, const QLineEdit* txt) {
    if (!chk->isChecked()) return AutoLimit;
    return ReadNumberText(txt->text()).value_or(AutoLimit);
}

void frmGraphConfig::cmdOK_Click() {
    // A ticked limit is a number, or the dialog stays open naming the box.
    for (const auto& [chk, lbl, txt] :
         {std::tuple{chkYMax, Label4, txtYMax}, std::tuple{chkY2Max, Label5, txtY2Max},
          std::tuple{chkYMin, Label6, txtYMin}, std::tuple{chkY2Min, Label7, txtY2Min}}) {
        if (!chk->isChecked() || ReadNumberText(txt->text())) continue;
        p_.prompts.message(NotANumberText(lbl->text(), txt->text()), Buttons::OK, Icon::Warning,
                           windowTitle());
        txt->setFocus();
        return;
    }
    DialogResult = 1;
    hide();
}

void frmGraphConfig::cmdCancel_Click() {
    DialogResult = 2;
    hide();
}

void frmGraphConfig::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape) {
        cmdCancel_Click();
        return;
    }
    QDialog::keyPressEvent(e);
}

} // namespace hv
