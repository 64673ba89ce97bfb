#include "spreadsheet/ui/frmimportexcel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QShortcut>
#include <cmath>

#include "core/mlstring.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "spreadsheet/importlogic.h"

namespace hv {

namespace {

// "Total Rows Imported = <n>", with the rows passed over as already stored.
QString importedRowsText(const SheetImportReport::Count& c) {
    QString text = GetMlString(1025, "Total Rows Imported = ") + QString::number(c.imported);
    if (c.skipped > 0)
        text += "; " + QString::number(c.skipped) + (c.skipped == 1 ? " row" : " rows") + " already stored";
    return text;
}

QString saveFailedText(const SheetImportReport::SaveFailure& f) {
    using Failure = SheetImportReport::Failure;
    switch (f.what) {
    case Failure::MissingValue:
        return GetMlString(547, "A REQUIRED FIELD HAS NO DATA. SAVE FAILED!");
    case Failure::CalculatorError:
        return GetMlString(698, "Calculator returned and error. SAVE FAILED!");
    case Failure::CommitFailed:
        return "SAVE FAILED! " + f.cause;
    case Failure::MissingElement:
    case Failure::CalculationFailed:
        break;
    }
    return f.cause;
}

} // namespace

std::array<QString, 4> SheetImportPanels(const SheetImportReport& r, std::array<QString, 4> p) {
    using Calculation = SheetImportReport::Calculation;
    if (r.calculation)
        p[0] = *r.calculation == Calculation::Failed     ? QStringLiteral("Calculation Failed")
               : *r.calculation == Calculation::Bypassed ? QStringLiteral("Calculation Bypassed")
                                                         : QStringLiteral("Calculation Complete");
    if (r.saveFailed)
        p[1] = saveFailedText(*r.saveFailed);
    else if (r.begun)
        p[1].clear();
    // The number as the status line has always read it: -1 when no reference named a row.
    const QString stored =
        r.stored ? GetMlString(1026, "Imported row # ") + QString::number(r.stored->sheetRow.value_or(-1))
                 : QString();
    QString& countPanel = p[r.allRows ? 2 : 3];
    QString& rowPanel = p[r.allRows ? 3 : 2];
    if (r.count) countPanel = importedRowsText(*r.count);
    if (r.stored) rowPanel = r.allRows ? stored + GetMlString(1027, " From Excel") : stored;
    if (r.stop) p[3] = r.stop->text;
    return p;
}

// The window as the run's row source and progress: the event loop gets its turn between
// batches, where a stop the user asked for is seen.
class ImportWindowRun final : public SheetImportProgress, public LinkRowSource {
public:
    explicit ImportWindowRun(frmImportExcel& w) : w_(w) {}
    bool yieldAndCheckCancel() override {
        QCoreApplication::processEvents();
        return stopRequested;
    }
    void showState(const SheetImportState& s) override { w_.showState(s); }
    void showReport(const SheetImportReport& r) override { w_.showReport(r); }
    void say(const QString& text) override { w_.say(text); }
    RowFetchFailure fetch(const std::vector<RowLink>& rows, std::array<QString, ItemCount>& texts) override {
        return w_.fetchLinkedRows(w_.links, rows, w_.optScada[0]->isChecked(), texts);
    }
    bool stopRequested = false;

private:
    frmImportExcel& w_;
};

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
    buildPollingControls("Auto Link - Continuous Update", "Polling Only (Less Bandwidth)");
    optionPair(OptImport, "OptImport", "Import One Row each click of Save Data Now",
               "Import All Rows automatically", 0);
    chkIgnore = new QCheckBox("Ignore Data Errors? Right Click for more info.", this);
    chkIgnore->setObjectName("chkIgnore");
    chkIgnore->setToolTip(
        "Critical Errors in data are ignored and all values are stored to the database.  Allows "
        "plotting of data when plant is offline.");
    lblNumberSample = label(QString(), "lblNumberSample");
    lblDateSample = label(QString(), "lblDateSample");
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
    watchTyping();
    for (QLineEdit* box : txtScadaItem)
        box->installEventFilter(this);
    // Row 0's application and sheet serve every row, each shown from its start.
    for (std::vector<QLineEdit*>* boxes : {&txtScadaApp, &txtScadaTopic})
        connect(boxes->front(), &QLineEdit::textChanged, this, [boxes](const QString& t) {
            for (size_t k = 1; k < boxes->size(); ++k) {
                (*boxes)[k]->setText(t);
                (*boxes)[k]->setCursorPosition(0);
            }
        });
    connect(txtSaveInterval, &QLineEdit::returnPressed, this, [this] {
        if (ReadNumberText(txtSaveInterval->text()).value_or(0) > 0 && chkUseScada->isChecked())
            chkUseScada_Click();
    });
}

bool frmImportExcel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == chkIgnore && event->type() == QEvent::MouseButtonPress) {
        const bool right = static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        if (right) chkIgnore_MouseDown(2);
        return right;
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
        p_.SaveIntervalMinutes = ReadPollingSettings(p_, cp.ProjectID, cp.TrainNumber).intervalMinutes;
        txtSaveInterval->setText(QString::number(std::llround(p_.SaveIntervalMinutes)));
        DefineListItems();
        if (!Configure_cbItem(cp.ProjectID)) return;
        ConfigureAll();
    } catch (const RunError& e) {
        sayFailure("The import window cannot be opened.", e);
        unloaded_ = true;
        deleteLater();
        return;
    }
    cmdSave[0]->setEnabled(false);
    lblNumberSample->setText(QLocale().toString(10000.0 / 3, 'f', 2));
    const QDateTime now = p_.system.now();
    lblDateSample->setText(ShortDateTimeText(now) + " or " + now.toString("yyyy-MM-dd HH:mm:ss"));
    resize(sizeHint().boundedTo(QSize(1260, 760)));
    if (FirstReadingPending) {
        cmdSave_Click(); // the reference values the entry column shows

        FirstReadingPending = false;
        cmdSave[0]->setEnabled(false);
    }
    tickFromSetting(chkIgnore, SuppressIgnorePrompt, "Auto Data Entry Error Suppress");
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
    showUnitLabels([&](int i) { return ImportUnitLabel(i, cp, UserUnits); });
    showRowsForBanks(nullptr);
    txtScadaApp[0]->setVisible(true);
    txtScadaApp[0]->setEnabled(true);
    txtScadaTopic[0]->setVisible(true);
    txtScadaTopic[0]->setEnabled(true);

    const EntryHistory h = ReadEntryHistory(p_, rowOrder(), IntervalMinutesOf(txtSaveInterval->text()));
    showHistory(h);
    const std::array<std::optional<QString>, ItemCount> entry = ImportEntryColumn(h, rowOrder());
    for (int k = 0; k < ItemCount; ++k)
        put(txtData[k], entry[size_t(k)]);
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
    if (running_) return false;
    // Save stores only what a fetch brought in whole; until then it stays disabled.
    cmdSave[0]->setEnabled(false);
    if (!chkUseScada->isChecked()) {
        say(GetMlString(505,
                        "Polling not activated - please set the 'Use Scada Data' Check box to checked."));
        return false;
    }
    if (std::none_of(chkScada.begin(), chkScada.end(), [](QCheckBox* c) { return c->isChecked(); })) {
        say("No row is linked to a cell. Tick the Link box of each row to be imported, then try again.");
        return false;
    }
    const QPointer<frmImportExcel> self(this);
    const SheetImportSetup setup = runSetup(false);
    SheetImportState state = shownState();
    ImportWindowRun source(*this);
    const RowFetchFailure failed = FetchSheetRow(setup, state, source);
    if (!self || closed_ || failed.windowClosed) return false;
    // A row fetched in part is no reading: the boxes show again what they held.
    if (failed) {
        ReportFetchFailure(setup, state, failed, source);
        return false;
    }
    showState(state);
    valuesTyped_ = false; // the fetched row replaced what was typed
    cmdSave[0]->setEnabled(true);
    return true;
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

void frmImportExcel::txtData_LostFocus(int Index) {
    if (Index > 24 || itemOfRow(Index) != item::TheDate) return;
    const DateLeft left = leaveDateBox(
        Index,
        GetMlString(519, "Current Date is OLDER than prior Date. Please Verify OK or Cancel to re-enter!"),
        true);
    if (!left.retype) lblTime[0]->setText(FormatHours(left.date ? ElapsedHoursAt(*left.date, project_) : 0));
}

// ---- The run ---------------------------------------------------------------------------

SheetImportSetup frmImportExcel::runSetup(bool allRows) const {
    SheetImportSetup s;
    s.project = project_;
    s.databasePath = databasePath_;
    s.rows = entryRows(true);
    s.links = rowLinks();
    for (int k = 0; k < ItemCount; ++k)
        s.hidden[size_t(k)] = txtData.at(k)->isHidden();
    s.allRows = allRows;
    s.ignoreErrors = chkIgnore->isChecked();
    s.ignoreCalcErrors = p_.IgnoreCalcErrors;
    s.openingReading = FirstReadingPending;
    s.batch = batchLimits;
    s.eventId = std::max(cbEvent->currentIndex(), 0);
    s.note = NoteForStorage(txtNotes->text());
    s.now = p_.system.now();
    return s;
}

SheetImportState frmImportExcel::shownState() const {
    SheetImportState s;
    s.columns = shownColumns();
    for (int k = 0; k < ItemCount; ++k)
        s.cells[size_t(k)] = txtScadaItem[size_t(k)]->text();
    s.imported = ImportedRowCount;
    return s;
}

void frmImportExcel::showState(const SheetImportState& s) {
    showColumns(s.columns);
    const auto show = [](auto* w, const QString& text) {
        if (w->text() != text) w->setText(text);
    };
    for (size_t k = 0; k < s.cells.size(); ++k)
        show(txtScadaItem[k], s.cells[k]);
    showReport(s.report);
    ImportedRowCount = s.imported;
}

std::array<QString, 4> frmImportExcel::shownPanels() const {
    std::array<QString, 4> texts;
    for (size_t n = 0; n < texts.size(); ++n)
        texts[n] = panels[n]->text();
    return texts;
}

void frmImportExcel::showReport(const SheetImportReport& r) {
    const std::array<QString, 4> now = shownPanels();
    const std::array<QString, 4> shown = SheetImportPanels(r, running_ ? runPanels_ : now);
    for (int n = 0; n < 4; ++n) {
        const QString& text = shown[size_t(n)];
        if (text != now[size_t(n)]) setStatus(n + 1, text, (n == 1 || n == 3) && !text.isEmpty());
    }
}

void frmImportExcel::cmdSave_Click() {
    if (running_) return;
    running_ = true;
    const QString note = NoteForStorage(txtNotes->text());
    if (note != txtNotes->text()) txtNotes->setText(note);
    const SheetImportSetup setup = runSetup(OptImport[1]->isChecked());
    ImportWindowRun run(*this);
    run_ = &run;
    runPanels_ = shownPanels();
    const SheetImportOutcome o = RunSheetImport(p_, setup, shownState(), run, run);
    run_ = nullptr;
    showState(o.state);
    running_ = false;
    using End = SheetImportOutcome::End;
    // Save offers the lost batch's first row again; nothing until the next fetch once the
    // sheet has ended, a fetch failed or a click's row is done; else what it offered.
    if (o.end == End::SheetEnd || o.end == End::FetchFailed || o.end == End::RowDone)
        cmdSave[0]->setEnabled(false);
    if (o.end == End::BatchLost) cmdSave[0]->setEnabled(true);
    if (o.stored.stored() + o.skipped > 0) valuesTyped_ = false;
    if (o.end == End::Refused && o.focusRow) txtData[*o.focusRow]->setFocus();
    if (o.end == End::BadDate && !setup.allRows) txtData[0]->setFocus();
    if (closeAfterRun_) close();
}

void frmImportExcel::chkIgnore_Click() {
    offerAsDefault(SuppressIgnorePrompt, "Auto Data Entry Error Suppress", chkIgnore->isChecked());
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
        if (run_) run_->stopRequested = true;
        closeAfterRun_ = true;
        event->ignore();
        return;
    }
    if (keepCloseForLinks(event)) return;
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
