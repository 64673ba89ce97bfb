#include "spreadsheet/ui/frmimportexcel.h"

#include <QPointer>

#include <QButtonGroup>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QShortcut>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "collection/entryhistory.h"
#include "collection/readingcheck.h"
#include "core/currentproject.h"
#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/settings.h"
#include "platform/database.h"
#include "platform/links/linkerrors.h"
#include "spreadsheet/importlogic.h"

namespace hv {

namespace {

constexpr int PaintMs = 40; // repaints between two commits
// ValidateData's answer when the batch before the row could not be committed.
constexpr int BatchLost = -2;

QString noLinkedCellText() {
    return QStringLiteral("No row is linked to a cell. Tick the Link box of each row to be imported, then "
                          "try again.");
}

// The unit label of an import row: as the entry window's, with the system and bank tags
// of the pressures and second bank kept for three banks as well.
UnitLabel importUnitLabel(int i, const ProjectInfoRecord& cp, const UserItems& user) {
    if (cp.NumBanks < 3) return UnitLabelFor(i, cp, user);
    ProjectInfoRecord two = cp;
    two.NumBanks = 2;
    UnitLabel l = UnitLabelFor(i, two, user);
    if ((i == item::PermFlow || i == item::PermuS) && cp.SystemData)
        l = UnitLabelFor(i, cp, user); // no tag for three banks entered as system values
    return l;
}

} // namespace

frmImportExcel::frmImportExcel(Program& p, QWidget* parent)
    : EntryForm(p, QStringLiteral("frmImportExcel"), QStringLiteral("Batch Data Entry from Excel"), parent) {
    // The main window keeps the project and the database while this window may store.
    p_.ImportWindowOpen = true;
    buildControls();
    connectHandlers();
    Form_Load();
}

frmImportExcel::~frmImportExcel() {
    p_.ImportWindowOpen = false;
}

void frmImportExcel::buildControls() {
    buildProjectLine();

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(0);
    enum { cReqd, cItem, cUnits, cNew, cE1, cE2, cRef, cDefault, cScada, cApp, cTopic, cTag, cEnd };
    const char* heads[] = {"Req'd",     "Field", "Units", "Import Value", "Earlier-1",   "Earlier-2",
                           "Reference", "Keep",  "Link",  "Application",  "Topic/Sheet", "Row#Col#"};
    for (int c = 0; c < cEnd; ++c)
        grid->addWidget(label(heads[c], QString("lblHead_%1").arg(c)), 0, c);
    for (int i = 0; i < 4; ++i) {
        lblTime[i] = label(QString(), QString("lblTime_%1").arg(i));
        grid->addWidget(lblTime[i], 1, cNew + i);
    }
    const RowColumns columns{cReqd,  cItem, cUnits, cNew, cDefault, cScada, cApp,
                             cTopic, cTag,  108,    68,   80,       70};
    for (int k = 0; k < ItemCount; ++k) {
        buildRow(grid, k + 2, k, columns);
        auto* link = new links::LinkClient(this);
        links.push_back(link);
        connect(link, &links::LinkClient::textChanged, txtData[k], &QLineEdit::setText);
    }
    root_->addLayout(grid);

    buildNotesLine();

    cmdSave.push_back(button("Save Data Now", "cmdSave_0"));
    cmdTestPoll = button("Test Import Now", "cmdTestPoll");
    cmdTestPoll->setToolTip(
        "Hevrin converts Excel text to numbers or dates.  For a correct interpretation of the "
        "data, the Excel data MUST be using the same regional settings as the computer using "
        "Hevrin.");
    cmdClose = button("Close and Exit", "cmdClose");
    cmdFormat = button("More info - Date/Number Formats", "cmdFormat");
    cmdSaveConfig = button("Save / Change Configuration", "cmdSaveConfig");
    cmdDefault = button("Reset to Default", "cmdDefault");
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {cmdTestPoll, cmdSave[0], cmdClose, cmdSaveConfig, cmdDefault, cmdFormat})
        buttons->addWidget(b);
    buttons->addStretch();
    root_->addLayout(buttons);

    auto* options = new QGridLayout;
    auto radio = [&](const QString& text, const QString& name) {
        auto* r = new QRadioButton(text, this);
        r->setObjectName(name);
        return r;
    };
    chkUseScada = new QCheckBox("Use SCADA Data?", this);
    chkUseScada->setObjectName("chkUseScada");
    optScada.push_back(radio("Auto Link - Continuous Update", "optScada_0"));
    optScada.push_back(radio("Polling Only (Less Bandwidth)", "optScada_1"));
    optScada[1]->setChecked(true);
    OptImport.push_back(radio("Import One Row each click of Save Data Now", "OptImport_0"));
    OptImport.push_back(radio("Import All Rows automatically", "OptImport_1"));
    OptImport[0]->setChecked(true);
    chkIgnore = new QCheckBox("Ignore Data Errors? Right Click for more info.", this);
    chkIgnore->setObjectName("chkIgnore");
    chkIgnore->setToolTip(
        "Critical Errors in data are ignored and all values are stored to the database.  Allows "
        "plotting of data when plant is offline.");
    txtSaveInterval = new QLineEdit("120", this);
    txtSaveInterval->setObjectName("txtSaveInterval");
    txtSaveInterval->setMaximumWidth(60);
    lblNumberSample = label(QString(), "lblNumberSample");
    lblDateSample = label(QString(), "lblDateSample");
    auto* scadaGroup = new QButtonGroup(this);
    scadaGroup->addButton(optScada[0]);
    scadaGroup->addButton(optScada[1]);
    auto* importGroup = new QButtonGroup(this);
    importGroup->addButton(OptImport[0]);
    importGroup->addButton(OptImport[1]);
    options->addWidget(chkUseScada, 0, 0);
    options->addWidget(optScada[0], 0, 1);
    options->addWidget(optScada[1], 0, 2);
    options->addWidget(label("Interval (minutes)", "lblInterval"), 0, 3);
    options->addWidget(txtSaveInterval, 0, 4);
    options->addWidget(OptImport[0], 1, 0, 1, 2);
    options->addWidget(OptImport[1], 1, 2);
    options->addWidget(chkIgnore, 1, 3, 1, 2);
    options->addWidget(lblNumberSample, 2, 0, 1, 2);
    options->addWidget(lblDateSample, 2, 2, 1, 3);
    options->setColumnStretch(5, 1);
    root_->addLayout(options);

    buildStatusBar();
}

void frmImportExcel::connectHandlers() {
    connect(cmdSave[0], &QPushButton::clicked, this, &frmImportExcel::cmdSave_Click);
    connect(cmdTestPoll, &QPushButton::clicked, this, [this] { cmdTestPoll_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, &frmImportExcel::cmdClose_Click);
    connect(cmdFormat, &QPushButton::clicked, this, &frmImportExcel::cmdFormat_Click);
    connect(cmdDefault, &QPushButton::clicked, this, &frmImportExcel::cmdDefault_Click);
    connect(cmdSaveConfig, &QPushButton::clicked, this, &frmImportExcel::cmdSaveConfig_Click);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, cmdClose,
            &QPushButton::click);
    connect(chkUseScada, &QCheckBox::toggled, this, &frmImportExcel::chkUseScada_Click);
    for (QRadioButton* o : optScada)
        connect(o, &QRadioButton::toggled, this, [this](bool on) {
            if (on) chkUseScada_Click();
        });
    connect(chkIgnore, &QCheckBox::toggled, this, &frmImportExcel::chkIgnore_Click);
    chkIgnore->installEventFilter(this);
    connectEntryBoxes();
    for (std::vector<QLineEdit*>* boxes : {&txtScadaApp, &txtScadaTopic, &txtScadaItem})
        for (QLineEdit* box : *boxes)
            connect(box, &QLineEdit::textEdited, this, [this] { linksTyped_ = true; });
    for (int k = 0; k < ItemCount; ++k)
        connect(txtData[k], &QLineEdit::textEdited, this, [this] { valuesTyped_ = true; });
    for (QLineEdit* box : txtScadaItem)
        box->installEventFilter(this);
    // Row 0's application and sheet serve every row.
    connect(txtScadaApp[0], &QLineEdit::textChanged, this, [this](const QString& t) {
        for (int k = 1; k < ItemCount; ++k) {
            txtScadaApp[size_t(k)]->setText(t);
            txtScadaApp[size_t(k)]->setCursorPosition(0); // shown from its start
        }
    });
    connect(txtScadaTopic[0], &QLineEdit::textChanged, this, [this](const QString& t) {
        for (int k = 1; k < ItemCount; ++k) {
            txtScadaTopic[size_t(k)]->setText(t);
            txtScadaTopic[size_t(k)]->setCursorPosition(0);
        }
    });
    connect(txtSaveInterval, &QLineEdit::returnPressed, this, [this] {
        if (ParsePercent(txtSaveInterval->text()) > 0 && chkUseScada->isChecked()) chkUseScada_Click();
    });
}

bool frmImportExcel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == chkIgnore && event->type() == QEvent::MouseButtonPress) {
        const auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() == Qt::RightButton) {
            chkIgnore_MouseDown(2);
            return true;
        }
        return false;
    }
    for (int k = 0; k < ItemCount; ++k)
        if (watched == txtScadaItem[size_t(k)]) {
            if (event->type() == QEvent::FocusOut && movesWithinWindow(event)) txtScadaItem_LostFocus(k);
            return false;
        }
    return entryBoxEvent(watched, event) || QWidget::eventFilter(watched, event);
}

void frmImportExcel::Form_Load() {
    project_ = p_.CurrentProject;
    databasePath_ = p_.ProjectDatabasePath;
    const ProjectInfoRecord& cp = p_.CurrentProject;
    try {
        p_.SaveIntervalMinutes = ParsePercent(
            ReadIniValue("Projects", TrainSettingKey(cp.ProjectID, cp.TrainNumber, "SaveInterval"), "120",
                         p_.IniFilePath));
        txtSaveInterval->setText(QString::number(std::llround(p_.SaveIntervalMinutes)));
        DefineListItems();
        if (!Configure_cbItem(cp.ProjectID)) return;
        ConfigureAll();
        FillScadaInfo(cp.ProjectID, ToIntegerOrZero(txtTrain->text()));
    } catch (const RunError& e) {
        sayFailure("The import window cannot be opened.", e);
        unloaded_ = true;
        deleteLater();
        return;
    }
    cmdSave[0]->setEnabled(false);
    lblNumberSample->setText(QLocale().toString(10000.0 / 3, 'f', 2));
    const QDateTime now = p_.system.now();
    lblDateSample->setText(QLocale().toString(now.date(), QLocale::ShortFormat) + " or " +
                           now.toString("yyyy-MM-dd HH:mm:ss"));
    resize(sizeHint().boundedTo(QSize(1260, 760)));
    if (FirstReadingPending) {
        QCoreApplication::processEvents();
        for (int k = 0; k < ItemCount; ++k)
            if (txtData[k]->isEnabled()) txtData[k]->setText(txtData[300 + k]->text());
        cmdSave[0]->setEnabled(true);
        cmdSave_Click();
        FirstReadingPending = false;
        cmdSave[0]->setEnabled(false);
    }
    SuppressIgnorePrompt = true;
    const bool on = ReadIniValue("Current Project", "Auto Data Entry Error Suppress", "FALSE",
                                 p_.IniFilePath) == QLatin1String("TRUE");
    if (chkIgnore->isChecked() == on) SuppressIgnorePrompt = false; // no click will come
    chkIgnore->setChecked(on);
    p_.IgnoreImportErrors = on;
    SuppressIgnorePrompt = false;
}

void frmImportExcel::DefineListItems() {
    ItemFields = ItemFieldList();
    const std::optional<UserItems> user = ReadUserItems(p_, p_.CurrentProject.ProjectID);
    if (user) UserUnits = *user;
    ItemCaptions = ItemCaptionList(UserUnits);
}

bool frmImportExcel::Configure_cbItem(const QString& projectId) {
    cbEvent->clear();
    for (const char* e : {"None", "System Cleaning", "Instrument Calibration / Replacement",
                          "Pretreatment Event Occurred", "Long Shutdown", "Membrane Replacement"})
        cbEvent->addItem(QString::fromLatin1(e));
    cbEvent->setCurrentIndex(-1);
    fillItemChoosers();
    if (projectId.isEmpty()) {
        say("Please use Select to select a project first!");
        unloaded_ = true;
        deleteLater();
        return false;
    }
    showOrder(projectId);
    return true;
}

void frmImportExcel::ConfigureAll() {
    const ProjectInfoRecord& cp = p_.CurrentProject;
    showProjectNotes();
    showUnitLabels([&](int i) { return importUnitLabel(i, cp, UserUnits); });
    showRowsForBanks(nullptr);
    txtScadaApp[0]->setVisible(true);
    txtScadaApp[0]->setEnabled(true);
    txtScadaTopic[0]->setVisible(true);
    txtScadaTopic[0]->setEnabled(true);

    const EntryHistory h = ReadEntryHistory(p_, rowOrder(), ParsePercent(txtSaveInterval->text()));
    const QString noData = GetMlString(595, "No Data");
    showHistory(h);
    const int dateRow = DateRow(rowOrder());
    for (int k = 0; k < ItemCount; ++k) {
        const size_t r = size_t(k);
        if (h.firstUse) {
            txtData[k]->setText(noData);
        } else if (itemOfRow(k) >= 0 && (k != dateRow || itemOfRow(k) != item::TheDate)) {
            // Only the newest reading fills the entry column; a Null in the one before
            // leaves it alone.
            put(txtData[k], h.earlier1[r]);
        } else {
            put(txtData[k], h.current[r]);
        }
    }
    if (h.times[0] && !h.firstUse) lblTime[0]->setText(*h.times[0]);
    if (h.firstUse) {
        FirstReadingPending = true;
        OptImport[0]->setChecked(true);
        lblTime[0]->setText(h.times[3].value_or(QString()));
    }
    FillScadaInfo(cp.ProjectID, cp.TrainNumber);
}

bool frmImportExcel::CheckAllDifferent() {
    if (running_) return false;
    const bool all = markRepeatedItems();
    // The entry column shows the proposed reading then, no fetched row: Save waits for the
    // next fetch.
    cmdSave[0]->setEnabled(false);
    try {
        ConfigureAll();
    } catch (const RunError& e) {
        sayFailure("The rows cannot be rebuilt.", e);
    }
    return all;
}

void frmImportExcel::FillScadaInfo(const QString& projectId, int train) {
    showLinkRows(ReadScadaRows(p_, projectId, train, LinkTable::ScadaImport), nullptr);
}

void frmImportExcel::SaveScadaConfig() {
    std::vector<ScadaRow> rows;
    for (int k = 0; k < ItemCount; ++k)
        rows.push_back(linkRow(k));
    SaveImportLinks(p_, project_.ProjectID, project_.TrainNumber, rows);
    linksTyped_ = false;
    for (int k = 0; k < ItemCount; ++k)
        txtScadaItem[size_t(k)]->setText(rows[size_t(k)].item);
}

void frmImportExcel::cmdSaveConfig_Click() {
    if (running_) return;
    // The cell links are stored by item: an order refused for a repeated item keeps them
    // back too.
    const bool refused = FindOrderFault(rowOrder()).has_value();
    storeOrder([this] { SaveInputOrder(p_, project_.ProjectID, project_.TrainNumber, rowOrder()); });
    if (refused) return;
    try {
        SaveScadaConfig();
    } catch (const RunError& e) {
        sayFailure("The cell links were not saved.", e);
    }
}

void frmImportExcel::cmdDefault_Click() {
    if (running_) return;
    if (p_.prompts.message(GetMlString(504, "Reset to Default Input Order?"), Buttons::OKCancel, Icon::None,
                           Title) != Answer::OK)
        return;
    try {
        Configure_cbItem("Default");
    } catch (const RunError& e) {
        sayFailure("The default input order cannot be read.", e);
        return;
    }
    CheckAllDifferent();
}

// ---- Links ---------------------------------------------------------------------------

void frmImportExcel::chkUseScada_Click() {
    if (!chkUseScada->isChecked()) {
        CloseRowLinks(links);
        lblTime[0]->setText(lblTime[1]->text());
        return;
    }
    const bool automatic = optScada[0]->isChecked();
    // A cell refused shows at its fetch, where the row and the cause are named.
    const RowLinkFailure failed = openLinks(links, automatic, false);
    if (closed_) return;
    if (failed && automatic) {
        const links::LinkClient& l = *links[size_t(failed.row)];
        say(OpenFailedText(l.linkTopic(), l.applicationMissing(), l.lastErrorText()));
    }
    lblTime[0]->setText(GetMlString(501, "Waiting"));
}

bool frmImportExcel::cmdTestPoll_Click() {
    if (running_ && sender() == cmdTestPoll) return false;
    // Save stores only what a fetch brought in whole; until then it stays disabled.
    cmdSave[0]->setEnabled(false);
    if (!chkUseScada->isChecked()) {
        say(GetMlString(505,
                        "Polling not activated - please set the 'Use Scada Data' Check box to checked."));
        return false;
    }
    if (std::none_of(chkScada.begin(), chkScada.end(), [](QCheckBox* c) { return c->isChecked(); })) {
        say(noLinkedCellText());
        return false;
    }
    const std::array<QString, ItemCount> before = entryTexts();
    const QPointer<frmImportExcel> self(this);
    chkUseScada_Click();
    if (!self || closed_) return false;
    if (const RowLinkFailure failed = FetchRowLinks(links, rowLinks())) {
        if (!self) return false;
        // A row fetched in part is no reading: the boxes show again what they held.
        setEntryTexts(before);
        sayFetchFailure(failed.row, *links[size_t(failed.row)]);
        return false;
    }
    if (!self) return false;
    valuesTyped_ = false; // the fetched row replaced what was typed
    // Inside a run the window is repainted now and then, not after every row.
    if (running_)
        letWindowPaint();
    else
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const int dateRow = DateRow(rowOrder());
    const std::optional<QDateTime> d = ParseEntryDate(txtData[dateRow]->text());
    if (d) txtData[dateRow]->setText(EntryBoxDateText(*d));
    lblTime[0]->setText(FormatHours(ElapsedHoursAt(d ? *d : p_.system.now(), project_)));
    cmdSave[0]->setEnabled(true);
    return true;
}

void frmImportExcel::sayFetchFailure(int k, const links::LinkClient& link) {
    // No write lock is held while the message waits; a batch lost meanwhile says so itself.
    if (!flushBatch()) return;
    const QString text = "Cell " + link.linkItem() + " (" + cbItem[size_t(k)]->currentText() +
                         ") was not fetched: " + link.lastErrorText() + " (" +
                         QString::number(link.lastError()) + ").";
    setStatus(4, text);
    if (link.lastError() == links::NoLink)
        say(GetMlString(
            1033, "You must open Excel first.  Open an excel spreadsheet with valid data and try again."));
    else
        say(text);
}

void frmImportExcel::txtScadaItem_LostFocus(int Index) {
    if (Index != 0 || !txtScadaItem[0]->text().startsWith(QLatin1Char('r'), Qt::CaseInsensitive)) return;
    if (p_.prompts.message(GetMlString(1053, "Make all the Rows - RxxC the same?"), Buttons::YesNo,
                           Icon::Question, Title) != Answer::Yes)
        return;
    std::array<QString, ItemCount> refs;
    for (int k = 0; k < ItemCount; ++k)
        refs[size_t(k)] = txtScadaItem[size_t(k)]->text();
    CopyRowPart(refs);
    for (int k = 0; k < ItemCount; ++k)
        txtScadaItem[size_t(k)]->setText(refs[size_t(k)]);
}

// ---- Checks ---------------------------------------------------------------------------

int frmImportExcel::ValidateData() {
    p_.SkipRowCalculation = false;
    std::array<EntryRow, ItemCount> rows = entryRows(true);
    const EntryCheck c = CheckReading(project_, rows, lblTime[0]->text(), p_.IgnoreImportErrors,
                                      p_.DecimalSeparatorCode, Reading, p_.system.now());
    refusal_ = c.missingRow >= 0 ? MissingFieldText(rows[size_t(c.missingRow)].caption)
                                 : c.messages.value(0).section(QLatin1Char('\r'), 0, 0);
    takeEntryTexts(rows);
    // No write lock is held while a message waits.
    if (!c.messages.isEmpty() && !flushBatch()) return BatchLost;
    for (const QString& m : c.messages)
        say(m);
    if (c.elapsedCaption) lblTime[0]->setText(*c.elapsedCaption);
    if (c.missingRow >= 0 || c.dateFailed)
        setStatus(2, GetMlString(547, "A REQUIRED FIELD HAS NO DATA. SAVE FAILED!"), true);
    if (c.missingRow >= 0) {
        setStatus(4, MissingFieldText(rows[size_t(c.missingRow)].caption));
        txtData[c.missingRow]->setFocus();
    }
    p_.SkipRowCalculation = c.outcome == EntryCheck::StoreRaw;
    if (c.outcome == EntryCheck::Store) return -1;
    if (c.outcome == EntryCheck::StoreRaw) return -1000;
    return c.focusRow >= 0 ? c.focusRow : DateRow(rowOrder());
}

void frmImportExcel::txtData_LostFocus(int Index) {
    if (Index > 24 || itemOfRow(Index) != item::TheDate) return;
    QLineEdit* box = txtData[Index];
    if (!ParseEntryDate(box->text())) {
        if (p_.prompts.message(GetMlString(518, "Invalid Date / Time Format!"), Buttons::OKCancel, Icon::None,
                               Title) == Answer::OK) {
            box->setFocus();
            box->selectAll();
            return;
        }
        box->setText(LastFieldText);
    }
    const std::optional<QDateTime> date = ParseEntryDate(box->text());
    const std::optional<QDateTime> previous = ParseEntryDate(txtData[Index + 100]->text());
    if (date && previous && *date < *previous &&
        p_.prompts.message(
            GetMlString(519,
                        "Current Date is OLDER than prior Date. Please Verify OK or Cancel to re-enter!"),
            Buttons::OKCancel, Icon::None, Title) == Answer::Cancel) {
        box->setFocus();
        box->selectAll();
    }
    lblTime[0]->setText(FormatHours(date ? ElapsedHoursAt(*date, project_) : 0));
}

// ---- Saving ---------------------------------------------------------------------------

frmImportExcel::Shown frmImportExcel::snapshot() const {
    Shown s;
    for (int k = 0; k < ItemCount; ++k) {
        const size_t r = size_t(k);
        s.entry[r] = txtData.at(k)->text();
        s.earlier1[r] = txtData.at(100 + k)->text();
        s.earlier2[r] = txtData.at(200 + k)->text();
        s.cells[r] = txtScadaItem[r]->text();
    }
    for (int t = 0; t < 3; ++t)
        s.times[size_t(t)] = lblTime.at(t)->text();
    for (int n = 0; n < 4; ++n)
        s.panels[size_t(n)] = panels[size_t(n)]->text();
    s.count = ImportedRowCount;
    return s;
}

void frmImportExcel::restore(const Shown& s) {
    for (int k = 0; k < ItemCount; ++k) {
        const size_t r = size_t(k);
        txtData[k]->setText(s.entry[r]);
        txtData[100 + k]->setText(s.earlier1[r]);
        txtData[200 + k]->setText(s.earlier2[r]);
        txtScadaItem[r]->setText(s.cells[r]);
    }
    for (int t = 0; t < 3; ++t)
        lblTime[t]->setText(s.times[size_t(t)]);
    for (int n = 0; n < 4; ++n)
        panels[size_t(n)]->setText(s.panels[size_t(n)]);
    ImportedRowCount = s.count;
}

void frmImportExcel::letWindowPaint() {
    if (sincePaint_.isValid() && sincePaint_.elapsed() < PaintMs) return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    sincePaint_.start();
}

bool frmImportExcel::yieldToWindow(bool force) {
    // The window is given a turn between rows; a batch is committed first, so that no
    // other window waits on the database while this one runs.
    const int pending = batch_ ? batch_->pending() : 0;
    const bool due = force || yieldClock_.due(pending);
    if (!due) {
        letWindowPaint();
        return true;
    }
    const bool stored = flushBatch();
    yieldClock_.restart();
    QCoreApplication::processEvents();
    return stored;
}

ReadingIntake& frmImportExcel::batch() {
    if (!batch_) {
        // Each run normalizes against the reference the project train has now: an edit
        // saved in the project window since the window opened counts.
        ProjectInfoRecord reference = project_;
        {
            Database db = Database::open(databasePath_);
            if (const std::optional<ProjectInfoRecord> now =
                    ReadProjectRecord(db, project_.ProjectID, project_.TrainNumber))
                reference = *now;
        }
        batch_ = std::make_unique<ReadingIntake>(p_, databasePath_, reference, ReadingColumns(),
                                                 batchLimits.busyTimeoutMs);
    }
    return *batch_;
}

bool frmImportExcel::flushBatch() {
    if (!batch_) return true;
    try {
        batch_->commit();
    } catch (const RunError& e) {
        batchLost(e);
        return false;
    }
    takeCommitted();
    return true;
}

void frmImportExcel::batchLost(const RunError& e) {
    const int rows = batch_ ? batch_->pending() : 0;
    batch_.reset();
    stopRequested_ = true;
    QString text = SaveErrorText(e);
    if (rows > 0) {
        // None of the batch was stored: the window shows again the first reading of it,
        // with its links, count and panels, so that carrying on stores it next.
        restore(beforeBatch_);
        text += "\r\n\r\n" + QString::number(rows) +
                " rows were not stored; the links are back at the first of them.";
    }
    cmdSave[0]->setEnabled(true);
    say(text);
    setStatus(2, "SAVE FAILED! " + e.description(), true);
}

void frmImportExcel::takeCommitted() {
    if (!batch_) return;
    const ReadingIntake::Tally t = batch_->takeCommitted();
    if (t.stored() + t.failed == 0) return;
    runStored_ += t;
    // The state of the run so far: never complete while one of its readings lacks its values.
    const ReadingIntake::Tally& r = runStored_;
    if (r.failed + r.noElement > 0)
        setStatus(1, QStringLiteral("Calculation Failed"));
    else if (r.raw > 0)
        setStatus(1, QStringLiteral("Calculation Bypassed"));
    else
        setStatus(1, QStringLiteral("Calculation Complete"));
    if (t.failed > 0 && !p_.IgnoreImportErrors)
        setStatus(2, GetMlString(698, "Calculator returned and error. SAVE FAILED!"), true);
    if (t.noElement > 0)
        setStatus(2, MissingElementText(project_, batch_->missingElements(), r.noElement), true);
}

QString frmImportExcel::importedText() const {
    QString text = GetMlString(1025, "Total Rows Imported = ") + QString::number(ImportedRowCount);
    if (runSkipped_ > 0)
        text +=
            "; " + QString::number(runSkipped_) + (runSkipped_ == 1 ? " row" : " rows") + " already stored";
    return text;
}

bool frmImportExcel::SaveAllData() {
    ReadingValues r = Reading;
    try {
        BalanceImportedReading(r, project_.NumBanks, project_.SystemData, p_.IgnoreImportErrors);
    } catch (const RunError& e) {
        // The row's own failure: what the batch holds is stored before it is said.
        if (flushBatch()) {
            say(SaveErrorText(e));
            setStatus(2, GetMlString(547, "A REQUIRED FIELD HAS NO DATA. SAVE FAILED!"), true);
        }
        return false;
    }
    const QString note = NoteForStorage(txtNotes->text());
    if (note != txtNotes->text()) txtNotes->setText(note);
    try {
        ReadingIntake& b = batch();
        if (b.pending() == 0) beforeBatch_ = snapshot();
        // Stored as it is shown, to the second, so the row is found by its date as well.
        r.TheDate = parseDbDate(dbDateText(r.TheDate));
        const ReadingIntake::Outcome o =
            b.add(r.TheDate, ReadingColumnValues(b.project(), r, std::max(cbEvent->currentIndex(), 0), note),
                  p_.SkipRowCalculation);
        Reading = r;
        takeCommitted();
        if (o == ReadingIntake::Outcome::CalculationFailed) {
            // The row was not stored: what the batch holds is, before it is said.
            if (!flushBatch()) return false;
            const QString text = GetMlString(602, "Calculation or calculated Data Storage Error ") + "0 " +
                                 b.failureText() + "\r\n\r\n" + GetMlString(601, "Data was not saved.");
            if (!p_.IgnoreCalcErrors) say(text);
            setStatus(2, text, true);
            return false;
        }
    } catch (const RunError& e) {
        batchLost(e);
        return false;
    }
    return true;
}

void frmImportExcel::RollOverData() {
    std::array<bool, ItemCount> keep{};
    keep.fill(true); // the entry column stays until the next fetch
    rollOverHistory(keep);
}

int frmImportExcel::advanceReferences() {
    // The sheet row read is the one the date row's link named, else the first linked row's;
    // an unlinked row's reference moves on with the others but names no row that was read.
    const int dateRow = DateRow(rowOrder());
    int dateCell = -1, firstLinked = -1;
    for (int k = 0; k < ItemCount; ++k)
        if (const auto a = AdvanceCellReference(txtScadaItem[size_t(k)]->text())) {
            txtScadaItem[size_t(k)]->setText(a->text);
            if (!chkScada[size_t(k)]->isChecked()) continue;
            if (k == dateRow)
                dateCell = a->previousRow;
            else if (firstLinked < 0)
                firstLinked = a->previousRow;
        }
    return dateCell >= 0 ? dateCell : firstLinked;
}

QString frmImportExcel::badDateText(int dateRow) const {
    const QString text = txtData.at(dateRow)->text();
    const QString ref = txtScadaItem[size_t(dateRow)]->text();
    const auto cell = AdvanceCellReference(ref);
    if (!chkScada[size_t(dateRow)]->isChecked() || !cell)
        return "The date box holds \"" + text + "\", which is not a date.";
    return "Sheet row " + QString::number(cell->previousRow) + ", cell " + ref + " (" +
           cbItem[size_t(dateRow)]->currentText() + "), holds \"" + text + "\", which is not a date.";
}

void frmImportExcel::rewriteOtherRows(int dateRow) {
    for (int k = 0; k < ItemCount; ++k)
        if (k != dateRow && !txtData[k]->isHidden())
            txtData[k]->setText(GeneralNumber(ParsePercent(txtData[k]->text())));
}

// One pass of the import: check, store, roll over, advance. False when the run ends here.
bool frmImportExcel::importOneRow(bool allRows) {
    const int dateRow = DateRow(rowOrder());
    const std::optional<QDateTime> date = ParseEntryDate(txtData[dateRow]->text());
    if (!date) {
        // Only an empty date cell is the sheet's end; any other text there is a bad date.
        if (allRows && txtData[dateRow]->text().isEmpty()) {
            cmdSave[0]->setEnabled(false);
            return false;
        }
        const QString bad = GetMlString(1029, "BAD DATE - Data Validation Failed. Current row not saved.") +
                            " " + badDateText(dateRow);
        setStatus(4, bad, true);
        if (allRows) {
            // No write lock is held while the message waits.
            if (flushBatch()) say(bad);
        } else {
            txtData[0]->setFocus();
        }
        return false;
    }
    if (!yieldToWindow()) return false;
    // A sheet row imported before is passed over: one train has one reading at a date.
    bool stored = false;
    try {
        stored = batch().isStored(parseDbDate(dbDateText(*date)));
    } catch (const RunError& e) {
        batchLost(e);
        return false;
    }
    if (stored) {
        ++runSkipped_;
        advanceReferences();
        setStatus(allRows ? 3 : 4, importedText());
        return true;
    }
    const int r = ValidateData();
    if (r == BatchLost) return false;
    if (p_.IgnoreImportErrors && r == -1000) {
        rewriteOtherRows(dateRow);
        p_.SkipRowCalculation = true;
    }
    if (r != -1 && r != -1000) {
        // The check's own words stay: the field missing, or the rule that failed.
        setStatus(4,
                  GetMlString(1028, "Data Validation Failed. Current row not saved.") +
                      (refusal_.isEmpty() ? QString() : " " + refusal_),
                  !refusal_.isEmpty());
        txtData[r]->setFocus();
        return false;
    }
    // A row that was not stored is neither rolled over, counted nor passed by the links;
    // a failed commit has put the window back to the first row it lost.
    if (!SaveAllData()) return false;
    if (!allRows && !flushBatch()) return false;
    if (!yieldToWindow()) return false;
    valuesTyped_ = false;
    RollOverData();
    // The opening reading of a train without readings is the reference state, not a sheet
    // row: the links stay on the row they name, and nothing counts as imported.
    if (FirstReadingPending) return true;
    ++ImportedRowCount;
    const int sheetRow = advanceReferences();
    if (allRows) {
        setStatus(3, importedText());
        setStatus(4, GetMlString(1026, "Imported row # ") + QString::number(sheetRow) +
                         GetMlString(1027, " From Excel"));
    } else {
        setStatus(3, GetMlString(1026, "Imported row # ") + QString::number(sheetRow));
        setStatus(4, importedText());
    }
    return true;
}

void frmImportExcel::cmdSave_Click() {
    if (running_) return;
    running_ = true;
    stopRequested_ = false;
    runStored_ = {};
    runSkipped_ = 0;
    setStatus(2, QString()); // the panels speak of this run
    // The first turn is due at once, unless an all-rows run starts its first batch.
    yieldClock_ = BatchClock(batchLimits);
    yieldClock_.expire();
    if (OptImport[1]->isChecked()) {
        ImportedRowCount = 0;
        yieldClock_.restart();
        while (!stopRequested_ && importOneRow(true)) {
            if (stopRequested_) break;
            // A fetch that failed leaves the row just stored in the boxes: the run ends
            // rather than store it again.
            if (!cmdTestPoll_Click()) break;
            if (!yieldToWindow()) break;
        }
        flushBatch();
    } else {
        if (importOneRow(false)) {
            if (!FirstReadingPending) cmdTestPoll_Click();
            cmdSave[0]->setEnabled(false);
        }
    }
    batch_.reset();
    running_ = false;
    // Said once for the run, when nothing is held open any more.
    if (runStored_.noElement > 0)
        say(MissingElementText(project_, MissingElementTypes(project_, p_.ElementTable),
                               runStored_.noElement));
    if (closeAfterRun_) close();
}

void frmImportExcel::chkIgnore_Click() {
    if (offerAsDefault(SuppressIgnorePrompt, "Auto Data Entry Error Suppress", chkIgnore->isChecked()))
        p_.IgnoreImportErrors = chkIgnore->isChecked();
}

void frmImportExcel::chkIgnore_MouseDown(int Button) {
    if (Button != 2) return;
    p_.prompts.message("Critical Errors in data are ignored and all raw operating values are stored to the "
                       "database without any normalization applied. Allows plotting of data when plant is "
                       "offline.\r\n\r\nYou may always delete these records later using the record editor or "
                       "with Microsoft Access directly from the database.",
                       Buttons::OK, Icon::Information, "Hevrin Information");
}

void frmImportExcel::cmdFormat_Click() {
    p_.windows.showSingle(QStringLiteral("frmDate"));
}

void frmImportExcel::cmdClose_Click() {
    p_.windows.unload(QStringLiteral("frmImportHelp"));
    close();
}

void frmImportExcel::closeEvent(QCloseEvent* event) {
    if (running_) {
        // The run stops once the row in hand is stored; the window closes then.
        stopRequested_ = true;
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    if (keepCloseForLinks(event)) return;
    typedUnsaved_ = valuesTyped_ || linksTyped_;
    typedWhat_ = valuesTyped_ && linksTyped_ ? QStringLiteral("values and cell links")
                 : valuesTyped_              ? QStringLiteral("values")
                                             : QStringLiteral("cell links");
    if (!mayDiscardTyped()) {
        event->ignore();
        return;
    }
    closed_ = true;
    p_.ImportWindowOpen = false;
    for (links::LinkClient* l : links)
        l->setLinkMode(0);
    p_.userStore.setValue("Locales", QString::number(p_.DecimalSeparatorCode));
    event->accept();
}

} // namespace hv
