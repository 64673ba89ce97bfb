#include "collection/ui/entryform.h"

#include "collection/readingcheck.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QStyle>
#include <QStyleOption>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/settings.h"
#include "core/ui/keyfilter.h"
#include "platform/links/linkclient.h"
#include "platform/links/linkerrors.h"

namespace hv {

namespace {

constexpr int RowHeight = 20;
constexpr int WideStatusPanel = 400; // 6000 twips
const QString Green = QStringLiteral("background-color: #00ff00;");
const QString White = QStringLiteral("QComboBox { background-color: #ffffff; }");
const QString Yellow = QStringLiteral("QComboBox { background-color: #ffff00; }");

// An item chooser that reports the opening of its list.
class ItemChooser : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void()> onDropDown;
    void showPopup() override {
        if (onDropDown) onDropDown();
        QComboBox::showPopup();
    }
};

// The widest text a value box must show whole: a date with its time.
const QString WidestValue = QStringLiteral("8888-88-88 88:88");

// The width a line edit needs to show `text` whole.
int widthToShow(const QLineEdit* e, const QString& text) {
    QStyleOptionFrame opt;
    opt.initFrom(e);
    opt.lineWidth = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, e);
    const QMargins m = e->contentsMargins() + e->textMargins();
    const QSize inner(e->fontMetrics().horizontalAdvance(text) + 4 + m.left() + m.right() + 2, RowHeight);
    return e->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, inner, e).width();
}

} // namespace

EntryForm::EntryForm(Program& p, const QString& name, const QString& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), p_(p) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(name);
    setWindowTitle(caption);
    root_ = new QVBoxLayout(this);
    root_->setContentsMargins(6, 4, 6, 0);
    root_->setSpacing(3);
}

void EntryForm::setVisible(bool visible) {
    if (visible && unloaded_) return;
    QWidget::setVisible(visible);
}

QLabel* EntryForm::label(const QString& text, const QString& name) {
    auto* l = new QLabel(text, this);
    l->setObjectName(name);
    return l;
}

QPushButton* EntryForm::button(const QString& text, const QString& name) {
    auto* b = new QPushButton(text, this);
    b->setObjectName(name);
    return b;
}

QHBoxLayout* EntryForm::buildProjectLine() {
    auto* top = new QHBoxLayout;
    lblProject = label("Project:", "lblProject");
    lblProjectID = label(QString(), "lblProjectID");
    QFont bold = lblProjectID->font();
    bold.setBold(true);
    lblProjectID->setFont(bold);
    txtTrain = new QLineEdit(this);
    txtTrain->setObjectName("txtTrain");
    txtTrain->setReadOnly(true);
    txtTrain->setMaximumWidth(40);
    lblTrain = label("<== Train Number", "lblTrain");
    lblDataInfo = label(QString(), "lblDataInfo");
    lblDataInfo->setStyleSheet("color: #000080;");
    top->addWidget(lblProject);
    top->addWidget(lblProjectID);
    top->addSpacing(20);
    top->addWidget(txtTrain);
    top->addWidget(lblTrain);
    top->addSpacing(20);
    top->addWidget(lblDataInfo);
    top->addStretch();
    root_->addLayout(top);
    return top;
}

void EntryForm::buildRow(QGridLayout* grid, int r, int k, const RowColumns& c) {
    auto check = [&](std::vector<QCheckBox*>& v, const char* name, int col) {
        v.push_back(new QCheckBox(this));
        v.back()->setObjectName(QString("%1_%2").arg(name).arg(k));
        grid->addWidget(v.back(), r, col, Qt::AlignHCenter);
    };
    auto edit = [&](const QString& name, int col, int width) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setFixedSize(width, RowHeight);
        grid->addWidget(e, r, col);
        return e;
    };
    check(chkREQD, "chkREQD", c.required);
    auto* chooser = new ItemChooser(this);
    chooser->onDropDown = [this, k] { cbItem_DropDown(k); };
    chooser->setObjectName(QString("cbItem_%1").arg(k));
    chooser->setFixedSize(125, RowHeight);
    cbItem.push_back(chooser);
    grid->addWidget(chooser, r, c.item);
    lblUnits.push_back(label(QString(), QString("lblUnits_%1").arg(k)));
    lblUnits.back()->setFixedSize(122, RowHeight - 2);
    grid->addWidget(lblUnits.back(), r, c.units);
    for (int col = 0; col < 4; ++col) {
        QLineEdit* e = edit(QString("txtData_%1").arg(col * 100 + k), c.values + col, c.valueWidth);
        e->setFixedWidth(std::max(c.valueWidth, widthToShow(e, WidestValue)));
        e->setReadOnly(col > 0); // only typing is refused there, with a message; paste too
        txtData[col * 100 + k] = e;
    }
    check(chkDefault, "chkDefault", c.keep);
    check(chkScada, "chkScada", c.link);
    txtScadaApp.push_back(edit(QString("txtScadaApp_%1").arg(k), c.application, c.applicationWidth));
    txtScadaTopic.push_back(edit(QString("txtScadaTopic_%1").arg(k), c.topic, c.topicWidth));
    txtScadaItem.push_back(edit(QString("txtScadaItem_%1").arg(k), c.cell, c.cellWidth));
}

QHBoxLayout* EntryForm::buildNotesLine() {
    auto* notes = new QHBoxLayout;
    lblEvent = label("Select Event ==>", "lblEvent");
    cbEvent = new QComboBox(this);
    cbEvent->setObjectName("cbEvent");
    cbEvent->setMinimumWidth(220);
    lblNotes = label("Notes ==>", "lblNotes");
    txtNotes = new QLineEdit(this);
    txtNotes->setObjectName("txtNotes");
    notes->addWidget(lblEvent);
    notes->addWidget(cbEvent);
    notes->addWidget(lblNotes);
    notes->addWidget(txtNotes, 1);
    root_->addLayout(notes);
    return notes;
}

void EntryForm::optionPair(std::vector<QRadioButton*>& options, const char* name, const char* first,
                           const char* second, int on) {
    auto* group = new QButtonGroup(this);
    for (const char* text : {first, second}) {
        options.push_back(new QRadioButton(text, this));
        options.back()->setObjectName(QString("%1_%2").arg(name).arg(options.size() - 1));
        group->addButton(options.back());
    }
    options[size_t(on)]->setChecked(true);
}

void EntryForm::buildPollingControls(const char* automatic, const char* polled) {
    chkUseScada = new QCheckBox("Use SCADA Data?", this);
    chkUseScada->setObjectName("chkUseScada");
    optionPair(optScada, "optScada", automatic, polled, 1);
    txtSaveInterval = new QLineEdit("120", this);
    txtSaveInterval->setObjectName("txtSaveInterval");
    txtSaveInterval->setMaximumWidth(60);
}

void EntryForm::buildStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 4; ++i) {
        auto* l = label(QString(), QString("StatusBar1_Panel%1").arg(i + 1));
        l->setFrameShape(QFrame::StyledPanel);
        // A cause is read whole: a long one wraps and the bar grows, never cut off.
        l->setWordWrap(true);
        panels.push_back(l);
        StatusBar1->addWidget(l, i == 3 ? 1 : 0);
    }
    root_->addWidget(StatusBar1);
}

void EntryForm::connectEntryBoxes() {
    for (int k = 0; k < ItemCount; ++k)
        cbItem[size_t(k)]->installEventFilter(this);
    for (auto& [index, box] : txtData)
        box->installEventFilter(this);
    lblDataInfo->installEventFilter(this);
    txtSaveInterval->installEventFilter(this);
}

bool EntryForm::entryBoxEvent(QObject* watched, QEvent* event) {
    if (watched == lblDataInfo && event->type() == QEvent::MouseButtonRelease) {
        lblDataInfo_Click();
        return true;
    }
    for (int k = 0; k < ItemCount; ++k)
        if (watched == cbItem[size_t(k)]) {
            if (event->type() == QEvent::FocusOut && movesWithinWindow(event)) cbItem_LostFocus(k);
            return false;
        }
    if (watched == txtSaveInterval)
        return filterBoxInput(txtSaveInterval, event, [](int& key) { key = NumericKeyFilter(key); });
    for (auto& [boxIndex, box] : txtData) {
        if (box != watched) continue;
        const int index = boxIndex;
        if (filterBoxInput(box, event, [this, index](int& key) { txtData_KeyPress(index, key); }))
            return true;
        switch (event->type()) {
        case QEvent::FocusIn:
            if (movesWithinWindow(event)) txtData_GotFocus(index);
            break;
        case QEvent::FocusOut:
            if (movesWithinWindow(event)) txtData_LostFocus(index);
            break;
        default:
            break;
        }
        return false;
    }
    return false;
}

void EntryForm::cbItem_DropDown(int Index) {
    (void)Index;
    CheckAllDifferent();
}

void EntryForm::cbItem_LostFocus(int Index) {
    (void)Index;
    CheckAllDifferent();
}

void EntryForm::txtData_GotFocus(int Index) {
    if (Index > 24) return;
    txtData[Index]->selectAll();
    LastFieldText = txtData[Index]->text();
}

void EntryForm::txtData_KeyPress(int Index, int& KeyAscii) {
    if (Index > 24) {
        say(GetMlString(517, "Data entry here is not allowed!"));
        KeyAscii = 0;
        return;
    }
    if (itemOfRow(Index) != item::TheDate) KeyAscii = NumericKeyFilter(KeyAscii, MinusKey::Allowed);
    if (KeyAscii != 13) return;
    KeyAscii = 0;
    if (Index == 24) {
        cbEvent->setFocus();
        return;
    }
    for (int k = Index + 1; k < ItemCount; ++k)
        if (!txtData[k]->isHidden()) {
            txtData[k]->setFocus();
            return;
        }
}

void EntryForm::say(const QString& text) {
    if (unattended()) {
        sayUnattended(text);
        return;
    }
    p_.prompts.message(text, Buttons::OK, Icon::None, Title);
}

bool EntryForm::mayDiscardTyped() {
    if (!valuesTyped_ && !linksTyped_) return true;
    const QString what = valuesTyped_ && linksTyped_ ? QStringLiteral("values and cell links")
                         : valuesTyped_              ? QStringLiteral("values")
                                                     : QStringLiteral("cell links");
    return p_.prompts.message("The " + what + " you typed have not been saved. Close and lose them?",
                              Buttons::YesNo, Icon::Question, Title) == Answer::Yes;
}

QString EntryForm::failureText(const QString& what, const RunError& e) {
    return what + "\r\n\r\nError number = " + QString::number(e.number()) +
           "  Description: " + e.description();
}

void EntryForm::sayFailure(const QString& what, const RunError& e) {
    if (unattended()) {
        sayUnattended(failureText(what, e));
        return;
    }
    p_.prompts.message(failureText(what, e), Buttons::OK, Icon::Critical, Title);
}

EntryForm::DateLeft EntryForm::leaveDateBox(int k, const QString& olderQuestion, bool askOlder) {
    QLineEdit* box = txtData[k];
    const auto backToBox = [box] {
        box->setFocus();
        box->selectAll();
    };
    if (!ParseEntryDate(box->text())) {
        if (p_.prompts.message(GetMlString(518, "Invalid Date / Time Format!"), Buttons::OKCancel, Icon::None,
                               Title) == Answer::OK) {
            backToBox();
            return {true, std::nullopt};
        }
        box->setText(LastFieldText);
    }
    const std::optional<QDateTime> date = ParseEntryDate(box->text());
    const std::optional<QDateTime> previous = ParseEntryDate(txtData[k + 100]->text());
    if (askOlder && date && previous && *date < *previous &&
        p_.prompts.message(olderQuestion, Buttons::OKCancel, Icon::None, Title) == Answer::Cancel)
        backToBox();
    return {false, date};
}

void EntryForm::watchTyping() {
    for (std::vector<QLineEdit*>* boxes : {&txtScadaApp, &txtScadaTopic, &txtScadaItem})
        for (QLineEdit* box : *boxes)
            connect(box, &QLineEdit::textEdited, this, [this] { linksTyped_ = true; });
    for (QCheckBox* tick : chkScada)
        connect(tick, &QCheckBox::clicked, this, [this] { linksTyped_ = true; });
    for (int k = 0; k < ItemCount; ++k)
        connect(txtData[k], &QLineEdit::textEdited, this, [this] { valuesTyped_ = true; });
}

bool EntryForm::storeOrder(const std::function<void()>& store) {
    // An item in two rows leaves another in none: such an order is never stored.
    if (const std::optional<OrderFault> fault = FindOrderFault(rowOrder())) {
        p_.prompts.message(OrderFaultText(*fault, ItemCaptions.value(fault->item), true), Buttons::OK,
                           Icon::Warning, Title);
        return false;
    }
    try {
        store();
        p_.prompts.message(GetMlString(507, "Updated OK!"), Buttons::OK, Icon::None, Title);
        return true;
    } catch (const RunError& e) {
        p_.prompts.message(QString::number(e.number()) + " - " + e.description() +
                               GetMlString(506, ", Update Failed. Make sure the database is not in use by "
                                                "someone else!"),
                           Buttons::OK, Icon::Critical, Title);
    }
    return false;
}

bool EntryForm::offerAsDefault(bool& suppressPrompt, const char* key, bool on) {
    if (suppressPrompt) {
        suppressPrompt = false;
        return false;
    }
    if (p_.prompts.message("Save this setting as default?", Buttons::YesNo, Icon::Question, Title) ==
        Answer::Yes)
        WriteIniValue("Current Project", key, p_.IniFilePath, on ? "TRUE" : "FALSE");
    return true;
}

void EntryForm::tickFromSetting(QCheckBox* box, bool& suppressPrompt, const char* key) {
    const bool on = ReadIniValue("Current Project", key, "FALSE", p_.IniFilePath) == QLatin1String("TRUE");
    suppressPrompt = box->isChecked() != on; // only a change clicks
    box->setChecked(on);
    suppressPrompt = false;
}

void EntryForm::lblDataInfo_Click() {
    p_.prompts.message(
        GetMlString(512, "Two choices for entering data were given in the Project Information Section. ") +
            "\r\n\r\n" +
            GetMlString(
                513, "You chose SYSTEM LEVEL information so this means that PermFlwo, PermuS and "
                     "PermBackPress refer to the overall system data. The data items labeled PermuS_2, etc "
                     "refer to Bank 2). The correct values of PermuS Bank 1 and PermFlow Bank 1 are then "
                     "calculated and stored.") +
            "\r\n\r\n" + GetMlString(514, "You may change this in the project information section."),
        Buttons::OK, Icon::Information, Title);
}

void EntryForm::setStatus(int n, const QString& text, bool wide) {
    if (wide) panel(n)->setMinimumWidth(WideStatusPanel);
    panel(n)->setText(text);
}

int EntryForm::itemOfRow(int k) const {
    return cbItem[size_t(k)]->currentIndex();
}

RowOrder EntryForm::rowOrder() const {
    RowOrder order{};
    for (int k = 0; k < ItemCount; ++k)
        order[size_t(k)] = itemOfRow(k);
    return order;
}

std::array<EntryRow, ItemCount> EntryForm::entryRows(bool hiddenRequired) const {
    std::array<EntryRow, ItemCount> rows;
    for (int k = 0; k < ItemCount; ++k) {
        EntryRow& r = rows[size_t(k)];
        r.item = itemOfRow(k);
        r.caption = cbItem[size_t(k)]->currentText();
        r.text = txtData.at(k)->text();
        r.earlier1 = txtData.at(100 + k)->text();
        r.required = chkREQD[size_t(k)]->isChecked() && (hiddenRequired || !chkREQD[size_t(k)]->isHidden());
        r.keep = chkDefault[size_t(k)]->isChecked();
    }
    return rows;
}

void EntryForm::takeEntryTexts(const std::array<EntryRow, ItemCount>& rows) {
    for (int k = 0; k < ItemCount; ++k)
        if (txtData[k]->text() != rows[size_t(k)].text) txtData[k]->setText(rows[size_t(k)].text);
}

void EntryForm::fillItemChoosers() {
    int widest = 0;
    for (const QString& caption : ItemCaptions)
        widest = std::max(widest, cbItem.front()->fontMetrics().horizontalAdvance(caption));
    for (QComboBox* c : cbItem) {
        c->clear();
        c->addItems(ItemCaptions);
        // Wide enough for every caption, the user's own included.
        QStyleOptionComboBox opt;
        opt.initFrom(c);
        opt.editable = false;
        const QSize need =
            c->style()->sizeFromContents(QStyle::CT_ComboBox, &opt, QSize(widest + 4, RowHeight), c);
        c->setFixedWidth(std::max(125, need.width()));
    }
}

void EntryForm::showOrder(const QString& projectId) {
    lblProjectID->setText(p_.CurrentProject.ProjectID);
    txtTrain->setText(QString::number(p_.CurrentProject.TrainNumber));
    const RowOrder order =
        ReadInputOrder(p_, projectId, p_.CurrentProject.TrainNumber).value_or(IdentityOrder());
    for (int k = 0; k < ItemCount; ++k)
        cbItem[size_t(k)]->setCurrentIndex(order[size_t(k)]);
    // A stored order with a repeated item shows it as a chooser would.
    colourRepeatedItems();
}

void EntryForm::showProjectNotes() {
    const ProjectInfoRecord& cp = p_.CurrentProject;
    lblDataInfo->setVisible(cp.NumBanks == 2);
    if (cp.NumBanks == 2)
        lblDataInfo->setText(
            cp.SystemData ? GetMlString(590, "NB: PermFlow and PermuS refer to SYSTEM LEVEL data.")
                          : GetMlString(591, "NB: PermFlow and PermuS refer to BANK 1 data (not System)."));
    txtTrain->setVisible(cp.NumTrains > 1);
    lblTrain->setVisible(cp.NumTrains > 1);
}

void EntryForm::showUnitLabels(const std::function<UnitLabel(int item)>& unitLabel) {
    int widest = 122;
    for (int k = 0; k < ItemCount; ++k) {
        const int i = itemOfRow(k);
        if (i < 0) continue;
        const UnitLabel u = unitLabel(i);
        QLabel* l = lblUnits[size_t(k)];
        l->setText(u.text);
        l->setStyleSheet(u.green ? Green : QString());
        QFont f = l->font();
        f.setFamily(u.serifFont ? QStringLiteral("Serif") : QStringLiteral("Sans Serif"));
        l->setFont(f);
        widest = std::max(widest, l->fontMetrics().horizontalAdvance(u.text) + 2 * l->margin() + 4);
    }
    for (QLabel* l : lblUnits)
        l->setFixedWidth(widest);
}

void EntryForm::put(QLineEdit* box, const std::optional<QString>& text) {
    if (text) box->setText(*text);
}

void EntryForm::showHistory(const EntryHistory& h) {
    for (int k = 0; k < ItemCount; ++k) {
        const size_t r = size_t(k);
        put(txtData[100 + k], h.earlier1[r]);
        put(txtData[200 + k], h.earlier2[r]);
        put(txtData[300 + k], h.reference[r]);
    }
    for (int t = 1; t < 4; ++t)
        if (h.times[size_t(t)]) lblTime[t]->setText(*h.times[size_t(t)]);
}

void EntryForm::showRowControls(int k, bool visible) {
    const size_t r = size_t(k);
    cbItem[r]->setVisible(visible);
    for (int c = 0; c < 4; ++c)
        txtData[c * 100 + k]->setVisible(visible);
    for (QWidget* w : std::initializer_list<QWidget*>{lblUnits[r], chkDefault[r], chkREQD[r], chkScada[r],
                                                      txtScadaApp[r], txtScadaItem[r], txtScadaTopic[r]})
        w->setVisible(visible);
}

void EntryForm::showRowsForBanks(const std::function<void(int k, bool visible)>& shown) {
    const int banks = p_.CurrentProject.NumBanks;
    for (int k = 0; k < ItemCount; ++k) {
        const int i = itemOfRow(k);
        if (i < 0) continue;
        const std::optional<bool> usable = ItemUsableForBanks(i, banks);
        if (!usable || (banks != 3 && *usable)) continue;
        const bool visible = banks == 3;
        cbItem[size_t(k)]->setEnabled(visible);
        showRowControls(k, visible);
        if (shown) shown(k, visible);
    }
}

void EntryForm::showLinkRows(const std::vector<ScadaRow>& stored,
                             const std::function<void(int k, const ScadaRow& s)>& apply) {
    auto set = [&](int k, const ScadaRow& s) {
        const size_t r = size_t(k);
        txtScadaApp[r]->setText(s.application);
        txtScadaTopic[r]->setText(s.topic);
        txtScadaItem[r]->setText(s.item);
        // Shown from their start, as they are read: a narrow box would show only the end.
        for (QLineEdit* e : {txtScadaApp[r], txtScadaTopic[r], txtScadaItem[r]})
            e->setCursorPosition(0);
        chkDefault[r]->setChecked(s.useDefault);
        if (apply) apply(k, s);
        chkScada[r]->setChecked(s.useScada);
        chkREQD[r]->setChecked(s.required);
    };
    if (stored.empty()) {
        for (int k = 0; k < ItemCount; ++k)
            set(k, DefaultScadaRow(k));
        return;
    }
    for (const ScadaRow& s : stored)
        forRowsOfField(s.field, [&](int k) { set(k, s); });
}

ScadaRow EntryForm::linkRow(int k) const {
    const size_t r = size_t(k);
    ScadaRow s;
    s.field = ItemFields.value(itemOfRow(k));
    s.useScada = chkScada[r]->isChecked();
    s.application = txtScadaApp[r]->text();
    s.topic = txtScadaTopic[r]->text();
    s.item = txtScadaItem[r]->text();
    s.required = chkREQD[r]->isChecked();
    s.useDefault = chkDefault[r]->isChecked();
    return s;
}

bool EntryForm::colourRepeatedItems() {
    const std::array<bool, ItemCount> repeated = RepeatedRows(rowOrder());
    bool all = true;
    for (int k = 0; k < ItemCount; ++k) {
        cbItem[size_t(k)]->setStyleSheet(repeated[size_t(k)] ? Yellow : White);
        if (repeated[size_t(k)]) all = false;
    }
    return all;
}

bool EntryForm::markRepeatedItems() {
    const bool all = colourRepeatedItems();
    cmdSaveConfig->setEnabled(all);
    return all;
}

void EntryForm::forRowsOfField(const QString& field, const std::function<void(int k)>& apply) {
    for (int k = 0; k < ItemCount; ++k) {
        const int i = itemOfRow(k);
        if (i >= 0 && ItemFields.value(i).compare(field, Qt::CaseInsensitive) == 0) apply(k);
    }
}

HistoryColumns EntryForm::shownColumns() const {
    HistoryColumns h;
    for (int k = 0; k < ItemCount; ++k) {
        const size_t r = size_t(k);
        h.current[r] = txtData.at(k)->text();
        h.earlier1[r] = txtData.at(100 + k)->text();
        h.earlier2[r] = txtData.at(200 + k)->text();
    }
    for (int t = 0; t < 3; ++t)
        h.times[size_t(t)] = lblTime.at(t)->text();
    return h;
}

void EntryForm::showColumns(const HistoryColumns& h) {
    const auto show = [](auto* w, const QString& text) {
        if (w->text() != text) w->setText(text);
    };
    for (int k = 0; k < ItemCount; ++k) {
        const size_t r = size_t(k);
        show(txtData[k], h.current[r]);
        show(txtData[100 + k], h.earlier1[r]);
        show(txtData[200 + k], h.earlier2[r]);
    }
    for (int t = 0; t < 3; ++t)
        show(lblTime[t], h.times[size_t(t)]);
}

void EntryForm::rollOverHistory(const std::array<bool, ItemCount>& keep) {
    HistoryColumns h = shownColumns();
    const QString elapsed = h.times[0];
    RollOver(h, keep, DateRow(rowOrder()));
    h.times[0] = elapsed;
    showColumns(h);
}

std::array<QString, ItemCount> EntryForm::entryTexts() const {
    std::array<QString, ItemCount> texts;
    for (int k = 0; k < ItemCount; ++k)
        texts[size_t(k)] = txtData.at(k)->text();
    return texts;
}

std::vector<RowLink> EntryForm::rowLinks() const {
    std::vector<RowLink> rows(static_cast<size_t>(ItemCount));
    for (size_t k = 0; k < rows.size(); ++k)
        rows[k] = {chkScada[k]->isChecked(), txtScadaApp[k]->text(), txtScadaTopic[k]->text(),
                   txtScadaItem[k]->text()};
    return rows;
}

void EntryForm::setEntryTexts(const std::array<QString, ItemCount>& texts) {
    for (int k = 0; k < ItemCount; ++k)
        if (txtData[k]->text() != texts[size_t(k)]) txtData[k]->setText(texts[size_t(k)]);
}

RowLinkFailure EntryForm::openLinks(const std::vector<links::LinkClient*>& clients, bool automatic,
                                    bool stopOnAnyFailure) {
    return openLinks(clients, rowLinks(), automatic, stopOnAnyFailure);
}

RowLinkFailure EntryForm::openLinks(const std::vector<links::LinkClient*>& clients,
                                    const std::vector<RowLink>& rows, bool automatic, bool stopOnAnyFailure) {
    ++linkSetUps_;
    const RowLinkFailure failed = OpenRowLinks(clients, rows, automatic, stopOnAnyFailure);
    if (--linkSetUps_ == 0 && std::exchange(closeAfterLinks_, false)) close();
    return failed;
}

RowFetchFailure EntryForm::fetchLinkedRows(const std::vector<links::LinkClient*>& clients,
                                           const std::vector<RowLink>& rows, bool automatic,
                                           std::array<QString, ItemCount>& texts) {
    const QPointer<EntryForm> self(this);
    RowFetchFailure closed;
    closed.row = 0;
    closed.windowClosed = true;
    const auto failure = [&](const RowLinkFailure& f) {
        if (f.error < 0) return closed;
        const links::LinkClient& l = *clients[size_t(f.row)];
        return RowFetchFailure{f.row, f.error, l.lastErrorText(), l.applicationMissing(), false};
    };
    const RowLinkFailure opened = openLinks(clients, rows, automatic, false);
    if (!self || closed_) return closed;
    if (opened && (opened.error == links::NoServer || opened.error == links::Timeout || opened.error < 0))
        return failure(opened);
    // A cell refused shows at its fetch, where the row and the cause are named.
    if (opened && automatic) {
        const links::LinkClient& l = *clients[size_t(opened.row)];
        say(OpenFailedText(l.linkTopic(), l.applicationMissing(), l.lastErrorText()));
    }
    const RowLinkFailure fetched = FetchRowLinks(clients, rows);
    if (!self) return closed;
    if (fetched) return failure(fetched);
    for (size_t k = 0; k < rows.size() && k < clients.size(); ++k)
        if (rows[k].linked) texts[k] = clients[k]->text();
    return {};
}

bool EntryForm::keepCloseForLinks(QCloseEvent* event) {
    if (linkSetUps_ == 0) return false;
    closeAfterLinks_ = true;
    event->ignore();
    return true;
}

bool EntryForm::movesWithinWindow(const QEvent* e) {
    const Qt::FocusReason r = static_cast<const QFocusEvent*>(e)->reason();
    return r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason;
}

} // namespace hv
