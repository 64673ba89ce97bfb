#include "projects/ui/frmproject.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>

#include "core/loadproject.h"
#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "core/ui/keyfilter.h"
#include "platform/dberror.h"
#include "projects/elementgrid.h"
#include "projects/formdata.h"
#include "projects/projectdisplay.h"
#include "projects/projectlist.h"
#include "projects/projectstore.h"
#include "projects/projecttext.h"
#include "projects/recalc.h"
#include "projects/referencechecks.h"
#include "projects/ui/dlgunits.h"
#include "projects/unitchoice.h"
#include "projects/unitconversion.h"
#include "projects/wizardtexts.h"

namespace hv {

namespace {

const char* const CloseDataEntryFirst = "Please close the data collection form first.";
const char* const CloseImportFirst = "Please close the Import Data window first.";

constexpr int GridRows[5] = {100, 200, 300, 400, 500};

// Widths that keep the window within a 1280 x 800 screen.
constexpr int CheckCaptionWidth = 380;
constexpr int MaxWidth = 1260; // and the frame a desktop adds
constexpr int MaxHeight = 760; // a title bar and a panel take the rest of 800
constexpr int ElementColumnWidth = 150;

// A list box wide enough for the longest of its first items, within the bounds.
void widenToItems(QComboBox* box, int items, int least, int most) {
    int text = 0;
    for (int i = 0; i < std::min(items, box->count()); ++i)
        text = std::max(text, box->fontMetrics().horizontalAdvance(box->itemText(i)));
    QStyleOptionComboBox opt;
    opt.initFrom(box);
    opt.editable = box->isEditable();
    const int wide = box->style()->sizeFromContents(QStyle::CT_ComboBox, &opt, QSize(text, 0), box).width();
    box->setMinimumWidth(std::clamp(wide, least, most));
}

// Room for a Project ID of 50 characters of ordinary text.
int ProjectIdWidth(const QWidget& box) {
    return box.fontMetrics().horizontalAdvance(
               QStringLiteral("North Bay Desalination Plant, Reverse Osmosis 2026")) +
           24;
}

// A check box whose long caption is a word-wrapped label beside it: a click on the label
// toggles the box, and the label greys out with it.
class CaptionLink : public QObject {
public:
    CaptionLink(QCheckBox* box, QLabel* caption) : QObject(box), box_(box), caption_(caption) {
        caption->setWordWrap(true);
        caption->setToolTip(box->toolTip());
        caption->setEnabled(box->isEnabled());
        box->setAccessibleName(caption->text());
        box->installEventFilter(this);
        caption->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == box_ && event->type() == QEvent::EnabledChange) {
            caption_->setEnabled(box_->isEnabled());
        } else if (watched == caption_ && event->type() == QEvent::MouseButtonRelease &&
                   static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                   caption_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
            box_->setFocus(Qt::MouseFocusReason);
            box_->click();
            return true;
        }
        return false;
    }

private:
    QCheckBox* box_;
    QLabel* caption_;
};

void linkCaption(QCheckBox* box, QLabel* caption) {
    new CaptionLink(box, caption);
}

} // namespace

frmProject::frmProject(Program& p, QWidget* parent) : QWidget(parent, Qt::Window), p_(p) {
    setAttribute(Qt::WA_DeleteOnClose);
    buildControls();
    connectHandlers();
    Form_Load();
    fitToScreen();
}

// Sized again once shown: only then are the fonts and wrapped captions final.
void frmProject::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (fitted_) return;
    fitted_ = true;
    fitToScreen();
}

// Opens at the size its content asks for, within the frame's share of a 1280 x 800 screen.
void frmProject::fitToScreen() {
    auto* scroll = findChild<QScrollArea*>(QStringLiteral("scrollContent"));
    QWidget* content = scroll->widget();
    content->adjustSize();
    layout()->activate();
    QSize room(MaxWidth, MaxHeight);
    if (const QScreen* s = screen()) room = room.boundedTo(s->availableGeometry().size());
    const int sides = layout()->contentsMargins().left() + layout()->contentsMargins().right();
    // The rows above the scrolled part (the list, the buttons) may be the widest.
    const int wide =
        std::min(std::max(content->sizeHint().width() + sides, sizeHint().width()), room.width());
    // Wrapped captions take the height the width they get gives them; measured at the width
    // a scroll bar would leave, so that the height never asks for the bar that narrows it.
    const int bar = scroll->verticalScrollBar()->sizeHint().width();
    int high = content->sizeHint().height();
    if (content->hasHeightForWidth()) high = std::max(high, content->heightForWidth(wide - sides - bar));
    high += sizeHint().height() - scroll->sizeHint().height();
    resize(QSize(wide + (high > room.height() ? bar : 0), high).boundedTo(room));
}

void frmProject::buildControls() {
    // The buttons stay in view; the rest scrolls when the screen is too small for it.
    auto* outer = new QVBoxLayout(this);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("scrollContent"));
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget(scroll);
    auto* root = new QVBoxLayout(content);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(3);

    auto* top = new QHBoxLayout;
    cbProject = new DropDownCombo(this);
    cbProject->setEditable(true);
    txtNewProject = new QLineEdit(this);
    txtNewProject->setToolTip("Enter the new Project ID here, 50 characters or less.");
    txtNewProject->setMinimumWidth(ProjectIdWidth(*txtNewProject));
    cmdGo = new QPushButton("GO", this);
    cmdSelect = new QPushButton("SELECT THIS PROJECT", this);
    cmdEdit = new QPushButton("EDIT REFERENCE DATA", this);
    cmdSave = new QPushButton("SAVE/APPLY", this);
    cmdClose = new QPushButton("Cancel", this);
    top->addWidget(cbProject);
    top->addWidget(txtNewProject);
    for (QWidget* w :
         {static_cast<QWidget*>(cmdGo), static_cast<QWidget*>(cmdSelect), static_cast<QWidget*>(cmdEdit),
          static_cast<QWidget*>(cmdSave), static_cast<QWidget*>(cmdClose)})
        top->addWidget(w);
    top->addStretch();
    outer->addLayout(top);
    outer->addWidget(scroll, 1);

    lblReference = new QLabel("Reference Data - Enter Baseline Performance at Reference START Date or "
                              "Reference Data at defined Elapsed "
                              "Time value. You must enter this information for each TRAIN. Click the Check "
                              "Box to set all Trains the "
                              "Same.  Select a new project from the Dropdown Box",
                              this);
    lblReference->setWordWrap(true);
    root->addWidget(lblReference);
    lblDirections = new QLabel(this);
    lblDirections->setWordWrap(true);
    lblDirections->setFrameShape(QFrame::StyledPanel);
    lblDirections->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblDirections->setMargin(4);
    // A window does not grow for wrapped text: leave room for the longest directions (six lines).
    lblDirections->setMinimumHeight(lblDirections->fontMetrics().lineSpacing() * 6 +
                                    2 * lblDirections->margin() + 2 * lblDirections->frameWidth());
    // The wizard's buttons stand beside its directions.
    auto* directions = new QHBoxLayout;
    directions->addWidget(lblDirections, 1);
    auto* wizard = new QGridLayout;
    directions->addLayout(wizard);
    root->addLayout(directions);

    // Bank layout, trains and units.
    auto* setup = new QHBoxLayout;
    auto* banksBox = new QGroupBox(this);
    auto* banks = new QGridLayout(banksBox);
    banks->setVerticalSpacing(2);
    const char* bankCaptions[4] = {"1 Bank or TOTAL System data", "2 Banks, enter overall + Bank 2",
                                   "2 Banks, enter data per bank", "3 Banks, enter data PER Bank"};
    for (int i = 0; i < 4; ++i) {
        optBanks.push_back(new QRadioButton(bankCaptions[i], banksBox));
        banks->addWidget(optBanks.back(), i, 0);
    }
    chk2Bank = new QCheckBox(this);
    chk2Bank->setToolTip(
        "If you check this box then you may enter and record data for a tow bank system. Unchecked "
        "and only a full SYSTEM will be considered.");
    chkSystemData = new QCheckBox(this);
    chkSystemData->setToolTip(
        "Check this box IF you have system level data - eg Total Perm flow AND separate data for Bank 2. ");
    const std::pair<QCheckBox*, const char*> wrapped[2] = {
        {chk2Bank, "2 BANKS? Check this box to collect data for TWO banks each time data is "
                   "collected.  UnChecked means that "
                   "the SYSTEM will be treated a single bank. "},
        {chkSystemData, "Check this box if you will have data for the Total SYSTEM AND BANK 2 "
                        "separately.  Unchecked means that you "
                        "have data for Bank 1 and Bank 2 separately available. "}};
    for (int k = 0; k < 2; ++k) {
        auto* caption = new QLabel(wrapped[k].second, banksBox);
        caption->setFixedWidth(CheckCaptionWidth);
        linkCaption(wrapped[k].first, caption);
        banks->addWidget(wrapped[k].first, 2 * k, 1, 2, 1, Qt::AlignTop);
        banks->addWidget(caption, 2 * k, 2, 2, 1, Qt::AlignTop);
    }
    setup->addWidget(banksBox);

    auto* trains = new QGridLayout;
    lblLabels[1] = new QLabel("Number of Trains *", this);
    lblLabels[17] = new QLabel("Train Number", this);
    txtNumTrains = new QLineEdit(this);
    txtTrainNumber = new QLineEdit(this);
    for (QLineEdit* e : {txtNumTrains, txtTrainNumber})
        e->setMaximumWidth(60);
    chkAllTrains = new QCheckBox("All Trains the Same?", this);
    trains->addWidget(lblLabels[1], 0, 0);
    trains->addWidget(txtNumTrains, 0, 1);
    trains->addWidget(lblLabels[17], 1, 0);
    trains->addWidget(txtTrainNumber, 1, 1);
    trains->addWidget(chkAllTrains, 2, 0, 1, 2);
    trains->setRowStretch(3, 1);
    setup->addLayout(trains);

    auto* units = new QGridLayout;
    btnUnitCMH = new QPushButton("CMH Metric", this);
    btnUnitCMH->setToolTip("Deg C, m^3/hr, kg/cm^2");
    btnUnitCMD = new QPushButton("CMD Metric", this);
    btnUnitCMD->setToolTip("Deg C, m^3/day, bar");
    btnUnitUS = new QPushButton("U.S. Units", this);
    btnUnitUS->setToolTip("Deg F, gpm, psi");
    btnUnitCustom = new QPushButton("Custom Units", this);
    btnUnitCustom->setToolTip("Deg C, m^3/hr, kg/cm^2");
    units->addWidget(btnUnitCMH, 0, 0);
    units->addWidget(btnUnitCMD, 0, 1);
    units->addWidget(btnUnitUS, 1, 0);
    units->addWidget(btnUnitCustom, 1, 1);
    for (int i = 100; i <= 103; ++i) {
        lblUnits[i] = new QLabel(this);
        units->addWidget(lblUnits[i], 2 + (i - 100) / 2, (i - 100) % 2);
    }
    units->setRowStretch(4, 1);
    setup->addLayout(units);
    setup->addStretch();
    root->addLayout(setup);

    // Reference values in two columns.
    auto* data = new QGridLayout;
    data->setVerticalSpacing(2);
    for (int i = 0; i < 27; ++i) {
        lblFields[i] = new QLabel(DataBoxCaption(i), this);
        txtData.push_back(new QLineEdit(this));
        txtData.back()->setMinimumWidth(150);
        lblUnits[i] = new QLabel(this);
        const int row = i < 14 ? i : i - 14;
        const int col = i < 14 ? 0 : 4;
        data->addWidget(lblFields[i], row, col);
        data->addWidget(txtData[size_t(i)], row, col + 1);
        data->addWidget(lblUnits[i], row, col + 2);
    }
    // Room for every unit name without squeezing a longer one, such as the date format.
    data->setColumnMinimumWidth(2, 90);
    data->setColumnMinimumWidth(6, 90);
    data->setColumnMinimumWidth(3, 12);
    data->setColumnStretch(1, 1);
    data->setColumnStretch(5, 1);
    root->addLayout(data);

    // Element grid: a column per system and bank; the description and the elapsed time beside it.
    auto* lower = new QHBoxLayout;
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    const char* headers[4] = {"Sys", "B 1", "B 2", "B 3"};
    const char* typeCaptions[4] = {"System Element Type", "Element Type - BANK 1", "Element Type - BANK 2",
                                   "Element Type - BANK 3"};
    for (int c = 0; c < 4; ++c) {
        // The column's heading and its element caption share a row.
        auto* heading = new QHBoxLayout;
        heading->setSpacing(8);
        lblLabels[300 + c] = new QLabel(headers[c], this);
        lblLabels[200 + c] = new QLabel(typeCaptions[c], this);
        heading->addWidget(lblLabels[300 + c]);
        heading->addWidget(lblLabels[200 + c], 1);
        grid->addLayout(heading, 1, 1 + c);
        cboElements.push_back(new QComboBox(this));
        grid->addWidget(cboElements.back(), 2, 1 + c);
    }
    cboElements[1]->setToolTip("Select Bank 1 element Type");
    const std::pair<int, const char*> rowLabels[5] = {{0, "Number of Vessels"},
                                                      {2, "Elements per Vessel"},
                                                      {100, "Number of Elements"},
                                                      {101, "Area (m^2)"},
                                                      {102, "Flux"}};
    const int rowOf[5] = {400, 500, 100, 200, 300};
    for (int r = 0; r < 5; ++r) {
        lblLabels[rowLabels[r].first] = new QLabel(rowLabels[r].second, this);
        grid->addWidget(lblLabels[rowLabels[r].first], 3 + r, 0);
        for (int c = 0; c < 4; ++c) {
            auto* box = new QLineEdit(this);
            box->setMinimumWidth(ElementColumnWidth);
            txtFields[rowOf[r] + c] = box;
            grid->addWidget(box, 3 + r, 1 + c);
        }
    }
    for (int c = 1; c <= 4; ++c)
        grid->setColumnStretch(c, 1);
    lower->addLayout(grid, 4);
    lower->addSpacing(12);

    auto* bottom = new QGridLayout;
    bottom->setVerticalSpacing(2);
    txtDescription = new QLineEdit(this);
    lblFields[99] = new QLabel("Enter any Descriptive Information above. (Optional)", this);
    lblFields[99]->setWordWrap(true); // the element grid beside it takes the width it needs
    txtElapsedTime = new QLineEdit(ValueText(1.0), this);
    txtElapsedTime->setMaximumWidth(90);
    lblFields[100] = new QLabel("<== Set \"Hours Elapsed Time\" here if not zero at Reference Date", this);
    lblFields[100]->setWordWrap(true);
    bottom->addWidget(txtDescription, 0, 0, 1, 2);
    bottom->addWidget(lblFields[99], 1, 0, 1, 2);
    bottom->setRowMinimumHeight(2, 12);
    bottom->addWidget(txtElapsedTime, 3, 0);
    bottom->addWidget(lblFields[100], 3, 1);
    bottom->setColumnStretch(1, 1);
    bottom->setRowStretch(4, 1);
    lower->addLayout(bottom, 1);
    root->addLayout(lower);

    cmdBack = new QPushButton("<=Back", this);
    cmdNext = new QPushButton("Next =>", this);
    cmdCreate = new QPushButton("Create Project", this);
    cmdCancel = new QPushButton("Cancel New Project Creation", this);
    wizard->addWidget(cmdBack, 0, 0);
    wizard->addWidget(cmdNext, 0, 1);
    wizard->addWidget(cmdCreate, 1, 0, 1, 2);
    wizard->addWidget(cmdCancel, 2, 0, 1, 2);
    wizard->setRowStretch(3, 1);
    root->addStretch();
    scroll->setWidget(content);

    // The wizard buttons appear with the wizard.
    cmdBack->hide();
    cmdNext->hide();
    lblDirections->hide();
    nameControls();
}

void frmProject::nameControls() {
    const std::pair<QWidget*, const char*> single[] = {{cbProject, "cbProject"},
                                                       {cmdGo, "cmdGo"},
                                                       {cmdSelect, "cmdSelect"},
                                                       {cmdEdit, "cmdEdit"},
                                                       {cmdSave, "cmdSave"},
                                                       {cmdClose, "cmdClose"},
                                                       {cmdCreate, "cmdCreate"},
                                                       {cmdCancel, "cmdCancel"},
                                                       {cmdBack, "cmdBack"},
                                                       {cmdNext, "cmdNext"},
                                                       {btnUnitCMH, "btnUnitCMH"},
                                                       {btnUnitCMD, "btnUnitCMD"},
                                                       {btnUnitUS, "btnUnitUS"},
                                                       {btnUnitCustom, "btnUnitCustom"},
                                                       {txtNewProject, "txtNewProject"},
                                                       {txtDescription, "txtDescription"},
                                                       {txtElapsedTime, "txtElapsedTime"},
                                                       {txtNumTrains, "txtNumTrains"},
                                                       {txtTrainNumber, "txtTrainNumber"},
                                                       {chk2Bank, "chk2Bank"},
                                                       {chkSystemData, "chkSystemData"},
                                                       {chkAllTrains, "chkAllTrains"},
                                                       {lblDirections, "lblDirections"},
                                                       {lblReference, "lblReference"}};
    for (const auto& [w, name] : single)
        w->setObjectName(QLatin1String(name));
    auto arrayName = [](const char* name, int index) {
        return QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(index);
    };
    for (size_t i = 0; i < optBanks.size(); ++i)
        optBanks[i]->setObjectName(arrayName("optBanks", int(i)));
    for (size_t i = 0; i < txtData.size(); ++i)
        txtData[i]->setObjectName(arrayName("txtData", int(i)));
    for (size_t i = 0; i < cboElements.size(); ++i)
        cboElements[i]->setObjectName(arrayName("cboElements", int(i)));
    for (auto& [i, w] : txtFields)
        w->setObjectName(arrayName("txtFields", i));
    for (auto& [i, w] : lblFields)
        w->setObjectName(arrayName("lblFields", i));
    for (auto& [i, w] : lblUnits)
        w->setObjectName(arrayName("lblUnits", i));
    for (auto& [i, w] : lblLabels)
        w->setObjectName(arrayName("lblLabels", i));
}

void frmProject::connectHandlers() {
    connect(cmdGo, &QPushButton::clicked, this, &frmProject::cmdGo_Click);
    connect(cmdSelect, &QPushButton::clicked, this, &frmProject::cmdSelect_Click);
    connect(cbProject, &DropDownCombo::dropDown, this, &frmProject::cbProject_DropDown);
    connect(cmdEdit, &QPushButton::clicked, this, &frmProject::cmdEdit_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmProject::cmdSave_Click);
    connect(cmdCreate, &QPushButton::clicked, this, &frmProject::cmdCreate_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmProject::cmdCancel_Click);
    connect(cmdBack, &QPushButton::clicked, this, &frmProject::cmdBack_Click);
    connect(cmdNext, &QPushButton::clicked, this, &frmProject::cmdNext_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmProject::cmdClose_Click);
    connect(btnUnitCMD, &QPushButton::clicked, this, &frmProject::btnUnitCMD_Click);
    connect(btnUnitCMH, &QPushButton::clicked, this, &frmProject::btnUnitCMH_Click);
    connect(btnUnitUS, &QPushButton::clicked, this, &frmProject::btnUnitUS_Click);
    connect(btnUnitCustom, &QPushButton::clicked, this, &frmProject::btnUnitCustom_Click);
    for (QLineEdit* e : txtData)
        e->installEventFilter(this);
    for (auto& [i, e] : txtFields)
        e->installEventFilter(this);
    for (QComboBox* c : cboElements)
        c->installEventFilter(this);
    for (QLineEdit* e : {txtElapsedTime, txtNumTrains, txtTrainNumber, txtNewProject})
        e->installEventFilter(this);

    // What the user types into the wizard is asked about before the window closes over it.
    const auto typed = [this] {
        if (CreatingProject) typedUnsaved_ = true;
    };
    std::vector<QLineEdit*> entries = txtData;
    for (auto& [i, e] : txtFields)
        entries.push_back(e);
    for (QLineEdit* e : {txtElapsedTime, txtNumTrains, txtTrainNumber, txtNewProject, txtDescription})
        entries.push_back(e);
    for (QLineEdit* e : entries)
        connect(e, &QLineEdit::textEdited, this, typed);
    for (QComboBox* c : cboElements)
        connect(c, &QComboBox::activated, this, typed);
    // An edit stores what was typed, even where it equals what was shown over a Null.
    for (size_t i = 0; i < txtData.size(); ++i)
        connect(txtData[i], &QLineEdit::textEdited, this, [this, i] { typedBoxes_.data[i] = true; });
    for (auto& [i, e] : txtFields)
        connect(e, &QLineEdit::textEdited, this, [this, i = i] { typedBoxes_.typeField(i); });
    for (size_t c = 0; c < cboElements.size(); ++c)
        connect(cboElements[c], &QComboBox::activated, this, [this, c] { typedBoxes_.elements[c] = true; });
    connect(txtDescription, &QLineEdit::textEdited, this, [this] { typedBoxes_.description = true; });
}

// Escape does what "Cancel" does: closes, asking first over typed values.
void frmProject::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        cmdClose_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void frmProject::closeEvent(QCloseEvent* event) {
    if (CreatingProject && typedUnsaved_ &&
        p_.prompts.message("The values you typed have not been saved. Close and lose them?", Buttons::YesNo,
                           Icon::Question) != Answer::Yes) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

int frmProject::dataIndexOf(const QObject* w) const {
    for (size_t i = 0; i < txtData.size(); ++i)
        if (txtData[i] == w) return int(i);
    return -1;
}

int frmProject::fieldIndexOf(const QObject* w) const {
    for (auto& [i, e] : txtFields)
        if (e == w) return i;
    return -1;
}

bool frmProject::hasKeyFilter(const QWidget* w) const {
    return dataIndexOf(w) >= 0 || fieldIndexOf(w) >= 0 || w == txtElapsedTime || w == txtNumTrains ||
           w == txtTrainNumber;
}

// The key handler of an entry box; false for a box without one.
bool frmProject::keyPressFor(QWidget* w, int& key) {
    if (int i = dataIndexOf(w); i >= 0)
        txtData_KeyPress(i, key);
    else if (int f = fieldIndexOf(w); f >= 0)
        txtFields_KeyPress(f, key);
    else if (w == txtElapsedTime)
        txtElapsedTime_KeyPress(key);
    else if (w == txtNumTrains)
        txtNumTrains_KeyPress(key);
    else if (w == txtTrainNumber)
        txtTrainNumber_KeyPress(key);
    else
        return false;
    return true;
}

// Key presses and focus changes of the entry boxes go to their handlers.
bool frmProject::eventFilter(QObject* watched, QEvent* event) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w) return QWidget::eventFilter(watched, event);
    auto dataIndex = [&] { return dataIndexOf(w); };
    auto fieldIndex = [&] { return fieldIndexOf(w); };
    if (auto* e = qobject_cast<QLineEdit*>(w);
        e && hasKeyFilter(e) && filterBoxInput(e, event, [this, e](int& key) { keyPressFor(e, key); }))
        return true;
    if (event->type() == QEvent::FocusIn) {
        if (int f = fieldIndex(); f >= 0) txtFields_GotFocus(f);
        return false;
    }
    if (event->type() == QEvent::FocusOut) {
        // Only a move to another control of this window counts as leaving the box.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || !w->isEnabled() ||
            !isVisible())
            return false;
        if (int i = dataIndex(); i >= 0)
            txtData_LostFocus(i);
        else if (int f = fieldIndex(); f >= 0)
            txtFields_LostFocus(f);
        else if (w == txtNumTrains)
            txtNumTrains_LostFocus();
        else if (w == txtTrainNumber)
            txtTrainNumber_LostFocus();
        else if (w == txtNewProject)
            txtNewProject_LostFocus();
        else
            for (size_t c = 0; c < cboElements.size(); ++c)
                if (cboElements[c] == w) cboElements_LostFocus(int(c));
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

// ---- The boxes for the logic ----

ProjectBoxes frmProject::boxes() const {
    ProjectBoxes b;
    for (size_t i = 0; i < 27; ++i)
        b.txtData[i] = txtData[i]->text();
    for (auto& [i, e] : txtFields)
        b.field(i) = e->text();
    for (size_t c = 0; c < 4; ++c)
        b.cboElements[c] = cboElements[c]->currentIndex();
    b.chkSystemData = chkSystemData->isChecked();
    b.chk2Bank = chk2Bank->isChecked();
    b.chkAllTrains = chkAllTrains->isChecked();
    b.txtNumTrains = txtNumTrains->text();
    b.txtTrainNumber = txtTrainNumber->text();
    b.txtElapsedTime = txtElapsedTime->text();
    b.txtNewProject = txtNewProject->text();
    b.txtDescription = txtDescription->text();
    b.dataHeld = held_.dataHeld;
    b.gridHeld = held_.gridHeld;
    b.elapsedHeld = held_.elapsedHeld;
    return b;
}

void frmProject::setBoxes(const ProjectBoxes& b) {
    // A text put into a box shows from its start, not scrolled to its end.
    auto put = [](QLineEdit* e, const QString& t) {
        if (e->text() == t) return;
        e->setText(t);
        e->setCursorPosition(0);
    };
    for (size_t i = 0; i < 27; ++i)
        put(txtData[i], b.txtData[i]);
    for (auto& [i, e] : txtFields)
        put(e, b.field(i));
    for (size_t c = 0; c < 4; ++c)
        if (cboElements[c]->currentIndex() != b.cboElements[c])
            cboElements[c]->setCurrentIndex(b.cboElements[c]);
    chkSystemData->setChecked(b.chkSystemData);
    chk2Bank->setChecked(b.chk2Bank);
    chkAllTrains->setChecked(b.chkAllTrains);
    put(txtNumTrains, b.txtNumTrains);
    put(txtTrainNumber, b.txtTrainNumber);
    put(txtElapsedTime, b.txtElapsedTime);
    put(txtNewProject, b.txtNewProject);
    put(txtDescription, b.txtDescription);
    held_.dataHeld = b.dataHeld;
    held_.gridHeld = b.gridHeld;
    held_.elapsedHeld = b.elapsedHeld;
}

void frmProject::focusOn(const FocusTarget& t) {
    switch (t.kind) {
    case FocusTarget::Data:
        txtData[size_t(t.index)]->setFocus();
        break;
    case FocusTarget::Field:
        txtFields.at(t.index)->setFocus();
        break;
    case FocusTarget::ElapsedTime:
        txtElapsedTime->setFocus();
        break;
    case FocusTarget::NewProject:
        txtNewProject->setFocus();
        break;
    case FocusTarget::NumTrains:
        txtNumTrains->setFocus();
        break;
    case FocusTarget::TrainNumber:
        txtTrainNumber->setFocus();
        break;
    case FocusTarget::None:
        break;
    }
}

void frmProject::reportDbError(const RunError& e) {
    p_.prompts.message(GetMlString(1127, "error ") + QString::number(e.number()) + " - " + e.description(),
                       Buttons::OK, Icon::Critical);
}

int frmProject::bankCount() const {
    return std::clamp<int>(FormProject.NumBanks, 1, 3);
}

// ---- Start-up and the project list ----

void frmProject::Form_Load() {
    CreatingProject = false;
    typedUnsaved_ = false;
    FillComboBoxes();
    InitializeForm();
    SelectReady = false;
    cmdGo_Click();
    if (p_.ProjectSelectMode) SelectReady = true;
}

void frmProject::InitializeForm() {
    held_ = ProjectBoxes{};
    txtDescription->clear();
    for (int i = 0; i < 27; ++i) {
        txtData[size_t(i)]->clear();
        lblUnits[i]->setText(GetMlString(173, "Units"));
    }
    for (int i = 100; i <= 103; ++i)
        lblUnits[i]->clear();
    for (int row : {100, 200, 300, 400})
        for (int c = 0; c < 4; ++c)
            txtFields[row + c]->setText("0");
    txtNumTrains->setText("1");
    txtTrainNumber->setText("1");
    chk2Bank->setChecked(false);
    chk2Bank->setEnabled(true);
    chkAllTrains->setChecked(true);
    chkSystemData->setEnabled(true);
    chkSystemData->setChecked(true);
    optBanks[0]->setChecked(true);
    cmdSelect->setEnabled(false);
    cmdEdit->setEnabled(false);
    txtNewProject->hide();
    cmdCreate->hide();
}

void frmProject::FillComboBoxes() {
    cbProject->clear();
    for (QComboBox* c : cboElements)
        c->clear();
    try {
        const ProjectListing list = ListProjectTrains(p_, p_.ProjectCreateMode);
        for (qsizetype i = 0; i < list.items.size(); ++i) {
            cbProject->addItem(list.items[i]);
            const auto& key = list.keys[size_t(i)];
            if (!key) continue; // a placeholder names no train
            cbProject->setItemData(int(i), key->projectId.isNull() ? QString("") : key->projectId,
                                   ProjectIdRole);
            cbProject->setItemData(int(i), key->train, TrainNumberRole);
        }
        cbProject->setCurrentIndex(list.selected);
    } catch (const RunError& e) {
        reportDbError(e);
        if (p_.ProjectCreateMode && cbProject->count() == 0) cbProject->addItem(StartNewProjectItem);
    }
    const QStringList models = ElementModels(p_);
    for (QComboBox* c : cboElements) {
        c->addItems(models);
        c->setCurrentIndex(models.isEmpty() ? -1 : 0);
        widenToItems(c, c->count(), ElementColumnWidth, MaxWidth / 5);
    }
    // The list shows the longest train's item, up to a Project ID of 50 characters; while a
    // project is created it shows its first item only, beside the new ID.
    widenToItems(cbProject, p_.ProjectCreateMode ? 1 : cbProject->count(), 0,
                 ProjectIdWidth(*cbProject) + 120);
}

// ---- Buttons ----

void frmProject::makeCurrent() {
    LoadMyProject();
    WriteIni(p_);
    p_.status.setText(1, "Project: " + p_.CurrentProject.ProjectID +
                             " Train: " + QString::number(p_.CurrentProject.TrainNumber));
    QCoreApplication::processEvents();
    if (QWidget* main = p_.windows.find("frmMain")) main->update();
}

// Data entry and the spreadsheet import store readings under the current project: while
// one of them is open no other train becomes current.
bool frmProject::refuseWhileCollecting() {
    if (p_.DataEntryOpen)
        p_.prompts.message(CloseDataEntryFirst);
    else if (p_.ImportWindowOpen)
        p_.prompts.message(CloseImportFirst);
    else
        return false;
    return true;
}

void frmProject::cmdGo_Click() {
    ConfigureForm();
    WizardDone = false;
    if (SelectReady) {
        if (refuseWhileCollecting()) return;
        makeCurrent();
        if (p_.ProjectSelectMode) hide();
    } else if (p_.ProjectEditMode) {
        // The current train shown again is no change of project.
        const bool current = shownKey_.projectId == p_.CurrentProject.ProjectID &&
                             shownKey_.train == p_.CurrentProject.TrainNumber;
        if (!current && refuseWhileCollecting()) return;
        LoadMyProject();
    }
}

void frmProject::cmdSelect_Click() {
    if (refuseWhileCollecting()) return;
    makeCurrent();
    close();
}

void frmProject::cbProject_DropDown() {
    cmdSelect->setEnabled(false);
}

void frmProject::cmdEdit_Click() {
    const Answer a = p_.prompts.message("Editing an existing project will NOT change any NORMALIZED data "
                                        "previously entered. It will only change "
                                        "data going forward.\r\n\r\nDo you want to continue? You will will "
                                        "have final opportunity to save or cancel.",
                                        Buttons::YesNo, Icon::Question);
    if (a != Answer::Yes) {
        cmdSave->setEnabled(false);
        return;
    }
    cmdSave->setEnabled(true);
    EnableControls();
    cmdClose->setEnabled(true);
    ConfigElements();
    chk2Bank->setEnabled(false);
    chkSystemData->setEnabled(false);
    chkAllTrains->setEnabled(false);
}

void frmProject::cmdSave_Click() {
    ValidatenewData();
    if (!DataValid) {
        // The check has said what is wrong and where.
        cmdSave->setEnabled(true);
        return;
    }
    GetFormData();
    if (!UpdateProject()) return;
    // Show again, and offer to recalculate, the train that was saved.
    if (!(listedTrain() == shownKey_)) {
        int found = -1;
        for (int i = 0; i < cbProject->count() && found < 0; ++i)
            if (cbProject->itemData(i, ProjectIdRole).isValid() &&
                ProjectTrainOf(cbProject->itemData(i, ProjectIdRole),
                               cbProject->itemData(i, TrainNumberRole)) == shownKey_)
                found = i;
        if (found >= 0)
            cbProject->setCurrentIndex(found);
        else
            cbProject->setEditText(shownKey_.projectId); // an ID typed into the list
    }
    // Data entry or the import keeps another train current: a recalculation would run that
    // one, not the train saved.
    const bool keptFromCurrent =
        (p_.DataEntryOpen || p_.ImportWindowOpen) && !(shownKey_.projectId == p_.CurrentProject.ProjectID &&
                                                       shownKey_.train == p_.CurrentProject.TrainNumber);
    cmdGo_Click();
    if (keptFromCurrent) {
        p_.prompts.message("Updated Project Information!\r\n\r\nProject " + shownKey_.projectId +
                               " Train: " + QString::number(shownKey_.train) +
                               " is not the current project and was not recalculated. If you changed any "
                               "essential project reference data, select it and recalculate it once data "
                               "entry and the import are closed.",
                           Buttons::OK, Icon::Information);
        return;
    }
    const QString converted = convertedReadings_ > 0 ? QString::number(convertedReadings_) +
                                                           " stored readings were converted to the new "
                                                           "units.\r\n\r\n"
                                                     : QString();
    const Answer a = p_.prompts.message(
        "Updated Project Information!\r\n\r\n" + converted +
            "If you changed any essential project reference data you should recalculate the project.\r\n\r\n"
            "This will change ALL of your data. If unsure, please Export your project first using the Export "
            "HV "
            "Project "
            "function as a backup.\r\n\r\n"
            "If this change represents a change in the system configuration for data going forward only then "
            "select "
            "NO.\r\n\r\n"
            "Recalculate the Current Project displayed in the Project drop down box?",
        Buttons::YesNo, Icon::Question);
    if (a != Answer::Yes) return;
    if (QWidget* main = p_.windows.find("frmMain")) {
        main->raise();
        main->activateWindow();
    }
    try {
        RecalculateCurrentProject(p_);
    } catch (const RunError& e) {
        reportDbError(e);
    }
}

void frmProject::cmdCreate_Click() {
    if (refuseWhileCollecting()) return;
    // The ID stays editable after its step.
    if (const QString fault = ProjectIdFault(txtNewProject->text()); !fault.isEmpty()) {
        p_.prompts.message(fault, Buttons::OK, Icon::None);
        txtNewProject->setFocus();
        return;
    }
    // The finish shows this button whatever its checks found: nothing is stored unless
    // the data pass them now.
    ValidatenewData();
    if (!DataValid) {
        // The check has said what is wrong and where.
        cmdCreate->setEnabled(true);
        return;
    }
    if (!SaveNewProject()) return;
    if (FormProject.NumTrains < 2)
        p_.prompts.message(
            "Project Created! Project is selected for use. Use the EDIT CURRENT PROJECT INFORMATION "
            "feature to make changes.");
    else
        p_.prompts.message(
            "Multiple Projects Created! Project and first train is selected. Use the EDIT CURRENT "
            "PROJECT INFORMATION feature to make changes.");
    p_.ProjectCreateMode = false;
    p_.ProjectSelectMode = true;
    p_.ProjectEditMode = false;
    txtNewProject->hide();
    CreatingProject = false;
    cmdCreate->setEnabled(false);
    cmdEdit->setEnabled(false);
    cmdSelect->setEnabled(true);
    cbProject->setEnabled(true);
    cmdBack->hide();
    cmdNext->hide();
    FillComboBoxes();
    ConfigElements();
    cmdGo_Click();
    cmdSelect_Click();
}

// Abandons the wizard and leaves the window: nothing of the run is stored, and the question
// just answered is not asked again by the close.
void frmProject::cmdCancel_Click() {
    if (p_.prompts.message("Cancel project creation?", Buttons::YesNo, Icon::Question) != Answer::Yes) return;
    typedUnsaved_ = false;
    close();
}

void frmProject::cmdBack_Click() {
    CreateNewProject(-1);
}
void frmProject::cmdNext_Click() {
    CreateNewProject(1);
}
void frmProject::cmdClose_Click() {
    close();
}

// ---- Units ----

void frmProject::btnUnitCMD_Click() {
    ApplyUnitPreset(p_, UnitPreset::CMD);
    ConfigUnits();
}

void frmProject::btnUnitCMH_Click() {
    ApplyUnitPreset(p_, UnitPreset::CMH);
    ConfigUnits();
}

void frmProject::btnUnitUS_Click() {
    ApplyUnitPreset(p_, UnitPreset::US);
    ConfigUnits();
}

void frmProject::btnUnitCustom_Click() {
    {
        dlgUnits dialog(p_, this);
        dialog.exec();
    }
    ConfigUnits();
}

void frmProject::showRowUnits(int flowUnit, int pressUnit, int tempUnit) {
    for (int i = 0; i < 27; ++i)
        if (auto caption = RowUnitCaption(i, flowUnit, pressUnit, tempUnit)) lblUnits[i]->setText(*caption);
}

void frmProject::ConfigUnits() {
    // A stored project's boxes hold values in the units it had: they keep what they mean.
    const ProjectUnits shown = UnitsOf(FormProject);
    const ProjectUnits chosen{p_.FlowUnit, p_.TemperatureUnit, p_.PressureUnit, p_.FluxUnit};
    if (!CreatingProject && !(shown == chosen)) {
        ProjectBoxes b = boxes();
        ConvertReferenceBoxes(b, shown, chosen);
        setBoxes(b);
    }
    FormProject.unitFlow = p_.FlowUnit;
    FormProject.unitTemp = p_.TemperatureUnit;
    FormProject.unitPress = p_.PressureUnit;
    FormProject.unitFlux = p_.FluxUnit;
    lblUnits[100]->setText(FlowSummary(p_.FlowUnit));
    lblUnits[101]->setText(TemperatureSummary(p_.TemperatureUnit));
    lblUnits[102]->setText(PressureSummary(p_.PressureUnit));
    lblUnits[103]->setText(FluxSummary(p_.FluxUnit));
    showRowUnits(p_.FlowUnit, p_.PressureUnit, p_.TemperatureUnit);
    // The fluxes follow the new units.
    ProjectBoxes b = boxes();
    UnitChangeRefresh(p_, b, FormProject.NumBanks, FormProject.unitFlow);
    setBoxes(b);
}

// ---- Display ----

void frmProject::ConfigureForm() {
    const bool select = p_.ProjectSelectMode, edit = !select && p_.ProjectEditMode,
               create = !select && !edit && p_.ProjectCreateMode;
    if (select) {
        setWindowTitle("SELECT PROJECT");
        cmdSelect->setEnabled(true);
        cmdSelect->hide();
        cmdEdit->setEnabled(false);
        cmdCreate->hide();
        lblDirections->hide();
    } else if (edit) {
        setWindowTitle("EDIT PROJECT");
        cmdSelect->setEnabled(true);
        cmdSelect->show();
        cmdEdit->setEnabled(true);
        cmdCreate->hide();
        lblDirections->hide();
    } else if (create) {
        setWindowTitle("CREATE NEW PROJECT");
        cmdSelect->setEnabled(false);
        cmdEdit->setEnabled(false);
        cmdCreate->show();
        cmdCreate->setEnabled(false);
        lblDirections->show();
    }
    cmdSave->setEnabled(false);
    cmdCancel->setVisible(create);
    CreatingProject = create;
    lblReference->hide();
    for (QRadioButton* o : optBanks)
        o->setEnabled(create);
    if (create) {
        CreateNewProject(-100);
        return;
    }

    try {
        GetRSData();
    } catch (const RunError& e) {
        reportDbError(e);
    }
    ProjectBoxes b = boxes();
    ShowProjectBoxes(p_, FormProject, b);
    setBoxes(b);

    // One bank first; the bank controls appear for the banks the train has.
    optBanks[0]->setChecked(true);
    for (int i : {10, 11, 12, 13, 21, 22, 23, 24, 25, 26}) {
        txtData[size_t(i)]->hide();
        lblFields[i]->hide();
        lblUnits[i]->hide();
    }
    lblFields[1]->setText("Reference Permeate Flow System");
    lblFields[7]->setText("Reference Permeate uSiemens System");
    lblFields[5]->setText(DataBoxCaption(5));
    if (FormProject.NumBanks >= 2) {
        for (int i : {10, 11, 12, 13, 21}) {
            txtData[size_t(i)]->show();
            lblFields[i]->show();
            lblUnits[i]->show();
        }
        if (!FormProject.SystemData) {
            optBanks[2]->setChecked(true);
            lblFields[1]->setText("Reference Permeate Flow Bank 1");
            lblFields[7]->setText("Reference Permeate uSiemens Bank 1");
            lblFields[5]->setText("Reference Permeate Back Pressure Bank 1");
        } else {
            optBanks[1]->setChecked(true);
            lblFields[5]->setText("Reference Permeate Back Pressure System");
        }
    }
    if (FormProject.NumBanks == 3) {
        optBanks[3]->setChecked(true);
        for (int i = 21; i <= 26; ++i) {
            txtData[size_t(i)]->show();
            lblFields[i]->show();
            lblUnits[i]->show();
        }
    }
    ConfigElements();

    lblUnits[100]->setText(FlowSummary(FormProject.unitFlow));
    lblUnits[101]->setText(TemperatureSummary(FormProject.unitTemp));
    lblUnits[102]->setText(PressureSummary(FormProject.unitPress));
    lblUnits[103]->setText(FluxSummary(FormProject.unitFlux));
    p_.FlowUnit = FormProject.unitFlow;
    p_.TemperatureUnit = FormProject.unitTemp;
    p_.PressureUnit = FormProject.unitPress;
    p_.FluxUnit = FormProject.unitFlux;
    showRowUnits(FormProject.unitFlow, FormProject.unitPress, FormProject.unitTemp);
    DisableControls();
    shownRecord_ = FormProject;
    hv::GetFormData(p_, boxes(), shownRecord_);
    typedBoxes_ = TypedBoxes{};
}

// The train the list names: the chosen item's key. Text typed into the list is a project
// ID whose train is the one in the train number box.
ProjectTrainKey frmProject::listedTrain() const {
    const QString text = cbProject->currentText();
    int i = cbProject->currentIndex();
    if (i < 0 || cbProject->itemText(i) != text)
        i = cbProject->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (i >= 0 && cbProject->itemData(i, ProjectIdRole).isValid())
        return ProjectTrainOf(cbProject->itemData(i, ProjectIdRole), cbProject->itemData(i, TrainNumberRole));
    return {text, qint16(CountBoxValue(txtTrainNumber->text(), 1).value_or(0))};
}

void frmProject::GetRSData() {
    shownKey_ = listedTrain();
    ReadProjectTrain(p_, shownKey_.projectId, shownKey_.train, FormProject);
}

// ---- Storing ----

void frmProject::GetFormData() {
    hv::GetFormData(p_, boxes(), FormProject);
}

bool frmProject::SaveNewProject() {
    GetFormData();
    const qint16 first = FormProject.TrainNumber;
    try {
        if (!InsertProjectTrains(p_, FormProject)) return false;
    } catch (const RunError& e) {
        reportDbError(e);
        return false;
    }
    typedUnsaved_ = false;
    const qint16 last = FormProject.TrainNumber;
    FormProject.TrainNumber = first;
    LoadMyProject();
    FormProject.TrainNumber = last;
    p_.prompts.message(GetMlString(1250, "Data Saved OK!"));
    return true;
}

bool frmProject::UpdateProject() {
    convertedReadings_ = 0;
    try {
        FormProject.ProjectID = shownKey_.projectId;
        FormProject.TrainNumber = shownKey_.train;
        // A change of units converts the train's stored readings with the reference.
        const std::optional<ProjectUnits> stored = StoredUnits(p_, shownKey_.projectId, shownKey_.train);
        const ProjectUnits wanted = UnitsOf(FormProject);
        std::optional<ProjectUnits> convertFrom;
        if (stored && !(*stored == wanted)) {
            const int readings = CountTrainReadings(p_, shownKey_.projectId, shownKey_.train);
            if (readings > 0) {
                const bool current = shownKey_.projectId == p_.CurrentProject.ProjectID &&
                                     shownKey_.train == p_.CurrentProject.TrainNumber;
                if (current && (p_.DataEntryOpen || p_.ImportWindowOpen)) {
                    p_.prompts.message("The units of Project " + shownKey_.projectId +
                                           " Train: " + QString::number(shownKey_.train) +
                                           " cannot change while data entry or the import stores readings "
                                           "in them. Close them first; nothing was saved.",
                                       Buttons::OK, Icon::Warning);
                    return false;
                }
                const Answer a = p_.prompts.message(
                    "The units of Project " + shownKey_.projectId +
                        " Train: " + QString::number(shownKey_.train) + " change from " + UnitsText(*stored) +
                        " to " + UnitsText(wanted) + ".\r\n\r\n" + QString::number(readings) +
                        (readings == 1 ? " stored reading" : " stored readings") +
                        " will be converted to the new units, with the reference values.\r\n\r\n"
                        "Convert them and save?",
                    Buttons::YesNo, Icon::Question);
                if (a != Answer::Yes) return false;
                convertFrom = *stored;
            }
        }
        convertedReadings_ = UpdateProjectRow(p_, FormProject, convertFrom ? &*convertFrom : nullptr,
                                              &shownRecord_, typedBoxes_);
    } catch (const RunError& e) {
        reportDbError(e);
        return false;
    }
    return true;
}

void frmProject::LoadMyProject() {
    CopyToCurrentProject(p_, FormProject);
}

// ---- Checks ----

void frmProject::ValidatenewData() {
    ProjectBoxes b = boxes();
    const ValidationResult r = hv::ValidatenewData(p_, b, FormProject);
    setBoxes(b);
    DataValid = r.dataValid;
    focusOn(r.focus);
    if (r.stopped) return;
    if (DataValid) {
        if (CreatingProject)
            cmdCreate->setEnabled(true);
        else
            cmdSave->setEnabled(true);
    } else {
        cmdCreate->setEnabled(false);
        cmdSave->setEnabled(false);
    }
}

// ---- Wizard ----

void frmProject::CreateNewProject(int direction) {
    CreatingProject = true;
    if (direction == -100) {
        WizardStep = 0;
        direction = 1;
    }
    if (WizardStep == 0) {
        DisableControls();
        cbProject->setEnabled(false);
        cmdNext->show();
        lblDirections->show();
    }
    if (WizardStep > 1) cmdBack->show();
    WizardStep = qint16(WizardStep + direction);
    if (WizardStep == 10 && !WizardDone) WizardStep = 9;

    switch (WizardStep) {
    case 1:
        lblDirections->setText(WizardDirections(1));
        cmdBack->hide();          // nothing comes before the ID
        if (direction < 0) break; // back from step 2: what was typed stays
        txtNumTrains->setText("1");
        txtTrainNumber->setText("1");
        txtNewProject->show();
        {
            // The date in the computer's own form; the seconds keep two offers apart.
            const QDateTime now = p_.system.now();
            txtNewProject->setText(GetMlString(1178, "New Project.") + ShortDateText(now.date()) + ' ' +
                                   now.time().toString(QStringLiteral("HH:mm:ss")));
        }
        break;
    case 2:
        if (const QString fault = ProjectIdFault(txtNewProject->text()); !fault.isEmpty()) {
            p_.prompts.message(fault, Buttons::OK, Icon::None);
            txtNewProject->setFocus();
            WizardStep = 1; // a project needs its ID before anything else
            return;
        }
        lblDirections->setText(WizardDirections(2));
        // The layout is chosen here, and only here: coming back to this step frees it again.
        for (QRadioButton* o : optBanks)
            o->setEnabled(true);
        optBanks[0]->setFocus();
        break;
    case 3: {
        int layout = 0;
        for (int i = 0; i < 4; ++i)
            if (optBanks[size_t(i)]->isChecked()) layout = i;
        FormProject.NumBanks = qint16(layout == 0 ? 1 : layout == 3 ? 3 : 2);
        chk2Bank->setEnabled(true);
        chkSystemData->setEnabled(true);
        chk2Bank->setChecked(layout == 1 || layout == 2);
        chkSystemData->setChecked(layout == 1);
        FormProject.SystemData = layout == 1;
        chk2Bank->setEnabled(false);
        chkSystemData->setEnabled(false);
        // Later steps are laid out for this bank count; a change needs step 2 again.
        for (QRadioButton* o : optBanks)
            o->setEnabled(false);
        lblDirections->setText(
            WizardDirections(FormProject.NumBanks == 2 && chkSystemData->isChecked() ? 31 : 3));
        break;
    }
    case 4:
        if (chkSystemData->isChecked()) {
            lblFields[1]->setText("Reference Permeate Flow System");
            lblFields[7]->setText("Reference Permeate uSiemens System");
        } else {
            lblFields[1]->setText("Reference Permeate Flow Bank_1");
            lblFields[7]->setText("Reference Permeate uSiemens Bank _1");
        }
        lblDirections->setText(WizardDirections(4));
        for (QPushButton* b : {btnUnitCMD, btnUnitCMH, btnUnitUS, btnUnitCustom})
            b->setEnabled(true);
        break;
    case 5: {
        const int banks = bankCount();
        for (int c = 0; c <= banks; ++c) {
            cboElements[size_t(c)]->setEnabled(false);
            for (int row : GridRows)
                txtFields[row + c]->setEnabled(false);
        }
        const int from = banks == 1 ? 0 : 1, to = banks == 1 ? 0 : banks;
        for (int c = from; c <= to; ++c) {
            cboElements[size_t(c)]->setEnabled(true);
            for (int row : GridRows)
                txtFields[row + c]->setEnabled(true);
        }
        cboElements[size_t(from)]->setFocus();
        lblDirections->setText(WizardDirections(5));
        break;
    }
    case 6: {
        ProjectBoxes b = boxes();
        WizardElementCounts(p_, b, FormProject);
        setBoxes(b);
        lblDirections->setText(WizardDirections(6));
        const int banks = bankCount();
        for (int i = 1; i <= 26; ++i) {
            bool on = i <= 9;
            if (banks >= 2 && (i <= 13 || i == 21)) on = true;
            if (banks == 3 && i >= 21) on = true;
            if (i >= 14 && i <= 20) on = false;
            txtData[size_t(i)]->setEnabled(on);
        }
        txtElapsedTime->setEnabled(true);
        txtData[0]->setEnabled(true);
        txtData[0]->setFocus();
        break;
    }
    case 7: {
        lblDirections->setText(WizardDirections(7));
        ProjectBoxes b = boxes();
        const CheckResult r = WizardStep7Checks(p_, b, FormProject, WizardDone);
        setBoxes(b);
        if (r.stopped) {
            focusOn(r.focus);
            return;
        }
        CalcFlux();
        break;
    }
    case 8:
        lblDirections->setText(WizardDirections(8));
        chkAllTrains->setEnabled(true);
        chkAllTrains->setFocus();
        break;
    case 9:
        lblDirections->setText(WizardDirections(9));
        txtNumTrains->setEnabled(true);
        txtNumTrains->setFocus();
        WizardDone = true;
        break;
    default:
        break;
    }
    if (WizardStep <= 9) return;

    // Values corrected after a failed step-7 check must reach the derived boxes the finish reads.
    ProjectBoxes b = boxes();
    const CheckResult derived = WizardStep7Checks(p_, b, FormProject, WizardDone);
    setBoxes(b);
    if (derived.stopped) {
        focusOn(derived.focus);
        return;
    }
    CalcFlux();
    b = boxes();
    const CheckResult r = WizardFinishChecks(p_, b, FormProject);
    setBoxes(b);
    focusOn(r.focus);
    if (r.stopped) return;
    ValidatenewData();
    lblDirections->setText(GetMlString(1236, "Use the 'CREATE PROJECT' Button to create your project."));
    cmdCreate->show();
    cmdCreate->setEnabled(true);
    cmdBack->hide();
    cmdNext->hide();
}

// ---- Element grid ----

void frmProject::ConfigElements() {
    for (int c = 0; c < 4; ++c) {
        for (int row : GridRows)
            txtFields[row + c]->hide();
        lblLabels[200 + c]->hide();
        lblLabels[300 + c]->hide();
        cboElements[size_t(c)]->hide();
    }
    const int banks = bankCount();
    const int last = banks == 1 ? 0 : banks;
    for (int c = 0; c <= last; ++c) {
        for (int row : GridRows)
            txtFields[row + c]->show();
        lblLabels[200 + c]->show();
        lblLabels[300 + c]->show();
        cboElements[size_t(c)]->show();
        cboElements[size_t(c)]->setEnabled(true);
        txtFields[100 + c]->setEnabled(false);
    }
    if (banks == 1) return;
    for (int row : GridRows)
        txtFields[row]->setEnabled(false);
    cboElements[0]->setEnabled(false);
}

void frmProject::CalcFlux() {
    ProjectBoxes b = boxes();
    hv::CalcFlux(p_, b, FormProject.NumBanks, FormProject.unitFlow);
    setBoxes(b);
}

void frmProject::txtFields_GotFocus(int Index) {
    txtFields.at(Index)->selectAll();
}

void frmProject::txtFields_KeyPress(int Index, int& KeyAscii) {
    const int row = Index / 100;
    if (row == 2 || row == 3) {
        KeyAscii = 0;
        return;
    }
    KeyAscii = NumericKeyFilter(KeyAscii);
    if (KeyAscii != 13) return;
    if (Index == 400)
        txtFields[500]->setFocus();
    else if (Index == 401)
        txtFields[501]->setFocus();
    KeyAscii = 0;
}

void frmProject::txtFields_LostFocus(int Index) {
    ProjectBoxes b = boxes();
    VesselBoxLeft(b, Index);
    hv::CalcFlux(p_, b, FormProject.NumBanks, FormProject.unitFlow);
    setBoxes(b);
}

void frmProject::cboElements_LostFocus(int Index) {
    ProjectBoxes b = boxes();
    ElementListLeft(p_, b, Index, FormProject.NumBanks, FormProject.unitFlow);
    setBoxes(b);
}

// ---- Entry boxes ----

void frmProject::txtData_KeyPress(int Index, int& KeyAscii) {
    if (Index >= 1) KeyAscii = NumericKeyFilter(KeyAscii);
    if (KeyAscii != 13) return;
    KeyAscii = 0;
    const int banks = FormProject.NumBanks;
    int next = -1;
    if (Index == 0) {
        if (!txtData[1]->isEnabled()) {
            cmdNext->setFocus();
            return;
        }
        next = 1;
    } else if (Index <= 8 || (Index >= 10 && Index <= 12)) {
        next = Index + 1;
    } else if (Index == 9) {
        next = banks >= 2 ? 10 : 1;
    } else if (Index == 13) {
        next = 21;
    } else if (Index >= 21 && Index <= 25) {
        next = banks == 3 ? Index + 1 : 0;
    } else if (Index == 26) {
        next = 0;
    }
    if (next >= 0) txtData[size_t(next)]->setFocus();
}

void frmProject::txtData_LostFocus(int Index) {
    if (Index != 0 || ParseEntryDate(txtData[0]->text())) return;
    // A button that checks the whole input, or drops it, says what it finds itself: one
    // mistake, one message.
    const QWidget* next = QApplication::focusWidget();
    for (const QWidget* b : {cmdNext, cmdCreate, cmdSave, cmdCancel, cmdClose})
        if (next == b) return;
    const Answer a = p_.prompts.message("Please enter a valid date in the correct format.\r\n" +
                                            ReferenceDateNamed(txtData[0]->text()),
                                        Buttons::RetryCancel, Icon::None);
    if (a == Answer::Retry) txtData[0]->setFocus();
}

void frmProject::txtElapsedTime_KeyPress(int& KeyAscii) {
    KeyAscii = NumericKeyFilter(KeyAscii, MinusKey::Allowed);
}

void frmProject::txtNumTrains_KeyPress(int& KeyAscii) {
    KeyAscii = NumericKeyFilter(KeyAscii);
}

void frmProject::txtTrainNumber_KeyPress(int& KeyAscii) {
    KeyAscii = NumericKeyFilter(KeyAscii);
}

void frmProject::txtNumTrains_LostFocus() {
    txtNumTrains->setText(TrainBoxText(txtNumTrains->text()));
}

void frmProject::txtTrainNumber_LostFocus() {
    txtTrainNumber->setText(TrainBoxText(txtTrainNumber->text()));
}

void frmProject::txtNewProject_LostFocus() {
    if (txtNewProject->text().size() <= 50) return;
    txtNewProject->setText(txtNewProject->text().left(50));
    p_.prompts.message("Project Name too long (50 max). It has been shortened to fit.", Buttons::OK,
                       Icon::None);
}

void frmProject::DisableControls() {
    txtElapsedTime->setEnabled(false);
    for (QLineEdit* e : txtData)
        e->setEnabled(false);
    for (int c = 0; c < 4; ++c)
        for (int row : {100, 400, 500})
            txtFields[row + c]->setEnabled(false);
    for (QComboBox* c : cboElements)
        c->setEnabled(false);
    for (QPushButton* b : {btnUnitCMD, btnUnitCMH, btnUnitUS, btnUnitCustom})
        b->setEnabled(false);
    txtNumTrains->setEnabled(false);
    for (QCheckBox* c : {chkAllTrains, chk2Bank, chkSystemData})
        c->setEnabled(false);
}

void frmProject::EnableControls() {
    txtElapsedTime->setEnabled(true);
    for (QLineEdit* e : txtData)
        e->setEnabled(true);
    for (int c = 0; c <= std::min<int>(FormProject.NumBanks, 3); ++c)
        for (int row : {100, 300, 200, 400, 500})
            txtFields[row + c]->setEnabled(true);
    for (size_t c = 1; c < 4; ++c)
        cboElements[c]->setEnabled(true);
    for (QPushButton* b : {btnUnitCMD, btnUnitCMH, btnUnitUS, btnUnitCustom})
        b->setEnabled(true);
    txtNumTrains->setEnabled(true);
    for (QCheckBox* c : {chkAllTrains, chk2Bank, chkSystemData})
        c->setEnabled(true);
}

} // namespace hv
