#include "collection/ui/frmdata.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPointer>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <functional>

#include "collection/entryhistory.h"
#include "collection/readingcheck.h"
#include "collection/ui/frmscadahelp.h"
#include "core/elementdb.h"
#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/refusal.h"
#include "core/settings.h"
#include "core/ui/keyfilter.h"
#include "platform/database.h"
#include "platform/links/linkclient.h"
#include "platform/links/linkerrors.h"

namespace hv {

namespace {

bool isBankTwoItem(int i) {
    return i >= item::PermFlow_2 && i <= item::ConcPressure_1;
}

// Clears a busy flag when the work ends, unless the window went away meanwhile.
class BusyGuard {
public:
    BusyGuard(QObject* owner, bool& flag) : owner_(owner), flag_(flag) { flag_ = true; }
    ~BusyGuard() {
        if (owner_) flag_ = false;
    }

private:
    QPointer<QObject> owner_;
    bool& flag_;
};

// The window's links as a poll's source. Once the rows are fetched, further updates of
// automatic links wait (`hold`) until the poll has shown what it read.
class WindowLinks : public LinkRowSource {
public:
    WindowLinks(const std::vector<links::LinkClient*>& clients, bool& hold, QObject* owner)
        : clients_(clients), alive_(clients.begin(), clients.end()), hold_(hold), owner_(owner) {}
    RowFetchFailure fetch(const std::vector<RowLink>& rows, std::array<QString, ItemCount>& texts) override {
        RowFetchFailure closed;
        closed.row = 0;
        closed.windowClosed = true;
        const RowLinkFailure f = FetchRowLinks(clients_, rows);
        if (!owner_) return closed;
        if (f) {
            if (f.error < 0 || !alive_[size_t(f.row)]) return closed;
            const links::LinkClient& l = *alive_[size_t(f.row)];
            return {f.row, f.error, l.lastErrorText(), l.applicationMissing(), false};
        }
        for (size_t k = 0; k < rows.size() && k < alive_.size(); ++k) {
            if (!rows[k].linked) continue;
            if (!alive_[k]) return closed;
            texts[k] = alive_[k]->text();
        }
        hold_ = true;
        return {};
    }

private:
    std::vector<links::LinkClient*> clients_;
    std::vector<QPointer<links::LinkClient>> alive_;
    bool& hold_;
    QPointer<QObject> owner_;
};

// A poll's turn of the window system after its requests: the updates they brought are
// delivered, and a window closed meanwhile stops the poll.
class WindowPollProgress : public RunProgress {
public:
    explicit WindowPollProgress(std::function<bool()> gone) : gone_(std::move(gone)) {}
    bool yieldAndCheckCancel() override {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return gone_();
    }

private:
    std::function<bool()> gone_;
};

} // namespace

frmData::frmData(Program& p, std::unique_ptr<PollClock> clock, QWidget* parent)
    : EntryForm(p, QStringLiteral("frmData"), QStringLiteral("Data Entry and Collection"), parent),
      clock_(std::move(clock)) {
    if (!clock_) clock_ = std::make_unique<TimerPollClock>(60000);
    Timer1 = clock_.get();
    Timer1->onTick = [this] { Timer1_Timer(); };
    Timer1->setEnabled(true);
    buildControls();
    connectHandlers();
    Form_Load();
}

frmData::~frmData() {
    Timer1->onTick = nullptr;
    p_.DataEntryOpen = false;
}

void frmData::buildControls() {
    buildProjectLine();
    lblDataInfo->setToolTip("Right Click for more information");

    // The rows.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(3);
    grid->setVerticalSpacing(0);
    enum Col {
        cReqd,
        cItem,
        cUnits,
        cNew,
        cE1,
        cE2,
        cRef,
        cHide,
        cDefault,
        cScada,
        cApp,
        cTopic,
        cTag,
        cHours
    };
    lblReqd = label("Req'd", "lblReqd");
    grid->addWidget(lblReqd, 0, cReqd);
    const char* fieldCaptions[6] = {"Field", "Units", "Current Value", "Earlier-1", "Earlier-2", "Reference"};
    for (int i = 0; i < 6; ++i) {
        lblField.push_back(label(fieldCaptions[i], QString("lblField_%1").arg(i)));
        grid->addWidget(lblField.back(), 0, cItem + i);
    }
    const char* flagCaptions[3] = {"S C A D A", "D E F A U L T", "H I D E ?"};
    for (int i = 0; i < 3; ++i) {
        Label1.push_back(label(flagCaptions[i], QString("Label1_%1").arg(i)));
        // The spaced-out headings stand over narrow columns: keep them apart.
        Label1.back()->setContentsMargins(4, 0, 4, 0);
        Label1.back()->setAlignment(Qt::AlignCenter);
    }
    grid->addWidget(Label1[2], 0, cHide);
    grid->addWidget(Label1[1], 0, cDefault);
    grid->addWidget(Label1[0], 0, cScada);
    const char* scadaCaptions[3] = {"Application", "Topic/Sheet", "Row#Col# / Tag"};
    for (int i = 0; i < 3; ++i) {
        lblScada.push_back(label(scadaCaptions[i], QString("lblScada_%1").arg(i)));
        grid->addWidget(lblScada.back(), 0, cApp + i);
    }
    lblTime[10] = label("Elapsed Time", "lblTime_10");
    grid->addWidget(lblTime[10], 1, cItem, 1, 2, Qt::AlignRight);
    for (int i = 0; i < 4; ++i) {
        lblTime[i] = label(QString(), QString("lblTime_%1").arg(i));
        grid->addWidget(lblTime[i], 1, cNew + i);
    }
    lblTime[4] = label("Hours", "lblTime_4");
    grid->addWidget(lblTime[4], 1, cHide, 1, 2);

    const RowColumns columns{cReqd,  cItem, cUnits, cNew, cDefault, cScada, cApp,
                             cTopic, cTag,  112,    68,   68,       85};
    for (int k = 0; k < ItemCount; ++k) {
        buildRow(grid, k + 2, k, columns);
        cbItem.back()->setToolTip(
            "Use this control to set the ENTRY ORDER. You must not have duplicates - all the "
            "boxes must be white before you can save or use the configuration.");
        ChkHide.push_back(new QCheckBox(this));
        ChkHide.back()->setObjectName(QString("ChkHide_%1").arg(k));
        grid->addWidget(ChkHide.back(), k + 2, cHide, Qt::AlignHCenter);
    }
    grid->setColumnStretch(cHours, 1);
    root_->addLayout(grid);

    buildNotesLine();

    // The alarm lines of the last save: room for all three, so the window keeps its size.
    lblWarnings = label(QString(), "lblWarnings");
    lblWarnings->setStyleSheet("color: #c00000;");
    lblWarnings->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblWarnings->setWordWrap(true);
    lblWarnings->setFixedHeight(lblWarnings->fontMetrics().lineSpacing() * 3 + 2);
    root_->addWidget(lblWarnings);

    // Buttons and polling controls.
    auto* bottom = new QHBoxLayout;
    auto* left = new QGridLayout;
    left->setVerticalSpacing(2);
    cmdSave = button("Save Data Now", "cmdSave");
    cmdSave->setDefault(true);
    cmdClose = button("Close and Exit", "cmdClose");
    cmdSaveConfig = button("Save Config", "cmdSaveConfig");
    cmdDefault = button("Revert to Default Input Order", "cmdDefault");
    cmdChange = button("Change?", "cmdChange");
    cmdHelp = button("SCADA?", "cmdHelp");
    cmdTestPoll = button("Test/Poll Now", "cmdTestPoll");
    int col = 0;
    for (QPushButton* b : {cmdSave, cmdClose, cmdChange, cmdSaveConfig, cmdDefault, cmdHelp, cmdTestPoll})
        left->addWidget(b, 0, col++);
    auto* polling = new QHBoxLayout;
    buildPollingControls("SCADA - Read Continuously (Auto)", "SCADA - Read at Cycle Rate Below");
    Label2 = label("SCADA Cycle Rate (and Auto Save) - minutes", "Label2");
    chkWarnings = new QCheckBox("Surpress Warnings", this);
    chkWarnings->setObjectName("chkWarnings");
    for (QWidget* w : std::initializer_list<QWidget*>{chkUseScada, optScada[0], optScada[1], Label2,
                                                      txtSaveInterval, chkWarnings})
        polling->addWidget(w);
    polling->addStretch();
    left->addLayout(polling, 1, 0, 1, col);
    bottom->addLayout(left);
    bottom->addStretch();
    root_->addLayout(bottom);

    buildStatusBar();

    for (int k = 0; k < ItemCount; ++k) {
        auto* link = new links::LinkClient(this);
        link->setObjectName(QString("txtData_%1_link").arg(k));
        connect(link, &links::LinkClient::textChanged, this,
                [this, k](const QString& t) { onLinkText(k, t); });
        ddeLinks.push_back(link);
    }
}

void frmData::connectHandlers() {
    connect(cmdSave, &QPushButton::clicked, this, &frmData::cmdSave_Click);
    connect(cmdClose, &QPushButton::clicked, this, &frmData::cmdClose_Click);
    connect(cmdChange, &QPushButton::clicked, this, &frmData::cmdChange_Click);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, cmdClose,
            &QPushButton::click);
    // A check box set from code runs its handler as a click would.
    connect(chkWarnings, &QCheckBox::toggled, this, &frmData::chkWarnings_Click);
    connect(chkUseScada, &QCheckBox::toggled, this, &frmData::chkUseScada_Click);
    connect(cmdTestPoll, &QPushButton::clicked, this, &frmData::cmdTestPoll_Click);
    connect(cmdSaveConfig, &QPushButton::clicked, this, &frmData::cmdSaveConfig_Click);
    connect(cmdDefault, &QPushButton::clicked, this, &frmData::cmdDefault_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &frmData::cmdHelp_Click);
    cbEvent->installEventFilter(this);
    for (int i = 0; i < 2; ++i)
        connect(optScada[size_t(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) optScada_Click(i);
        });
    for (int k = 0; k < ItemCount; ++k) {
        connect(ChkHide[size_t(k)], &QCheckBox::toggled, this, [this, k] { ChkHide_Click(k); });
        connect(chkScada[size_t(k)], &QCheckBox::toggled, this, [this, k] { chkScada_Click(k); });
        txtScadaItem[size_t(k)]->installEventFilter(this);
    }
    connectEntryBoxes();
    watchTyping();
    // A value typed after a failed poll makes a reading of the user's own.
    for (int k = 0; k < ItemCount; ++k)
        connect(txtData[k], &QLineEdit::textEdited, cmdSave, [this] { cmdSave->setEnabled(true); });
}

bool frmData::eventFilter(QObject* watched, QEvent* event) {
    if (watched == cbEvent) {
        if (event->type() == QEvent::KeyPress) {
            int key = keyAsciiOf(static_cast<QKeyEvent*>(event));
            if (key != 13) return false;
            cbEvent_KeyPress(key);
            return true;
        }
        if (event->type() == QEvent::FocusOut && movesWithinWindow(event)) cbEvent_LostFocus();
        return false;
    }
    for (int k = 0; k < ItemCount; ++k)
        if (watched == txtScadaItem[size_t(k)]) {
            if (event->type() != QEvent::KeyPress) return false;
            int key = keyAsciiOf(static_cast<QKeyEvent*>(event));
            if (key != 13) return false;
            txtScadaItem_KeyPress(k, key);
            return key == 0;
        }
    if (watched == txtSaveInterval) {
        if (filterBoxInput(txtSaveInterval, event, [this](int& key) { txtSaveInterval_KeyPress(key); }))
            return true;
        if (event->type() == QEvent::FocusOut && movesWithinWindow(event)) txtSaveInterval_LostFocus();
        return false;
    }
    return entryBoxEvent(watched, event) || QWidget::eventFilter(watched, event);
}

void frmData::showLoadFailure(const QString& text) {
    p_.prompts.message(text, Buttons::OK, Icon::Critical, Title);
    unloadDuringLoad();
}

void frmData::unloadDuringLoad() {
    unloaded_ = true;
    p_.DataEntryOpen = false;
    Timer1->setEnabled(false);
    hide();
    deleteLater();
}

void frmData::Form_Load() {
    p_.DataEntryOpen = true;
    DdeFailureCount = 0;
    DdeFailed = false;
    try {
        const QString interval = ReadIniValue(
            "Projects",
            TrainSettingKey(p_.CurrentProject.ProjectID, p_.CurrentProject.TrainNumber, "SaveInterval"),
            "120", p_.IniFilePath);
        p_.SaveIntervalMinutes = IntervalMinutesOf(interval);
        const QString intervalText = QString::number(std::nearbyint(p_.SaveIntervalMinutes), 'f', 0);
        txtSaveInterval->setText(intervalText);
        if (!DefineUserItems()) return;
        DefineListItems();
        if (!Configure_cbItem(p_.CurrentProject.ProjectID)) return;
        ConfigureAll();
        FillScadaInfo(p_.CurrentProject.ProjectID, ToIntegerOrZero(txtTrain->text()));
        const PollingSettings polling =
            ReadPollingSettings(p_, p_.CurrentProject.ProjectID, p_.CurrentProject.TrainNumber);
        txtSaveInterval->setText(intervalText);
        setStatus(2, GetMlString(502, "SCADA STATUS: ") + GetMlString(652, "Off"));
        optScada[polling.autoLink ? 0 : 1]->setChecked(true);
        chkUseScada->setChecked(polling.useScada);
        ConfigBoxes();
        tickFromSetting(chkWarnings, SuppressWarningsPrompt, "Manual Data Entry Error Suppress");
    } catch (const RunError& e) {
        showLoadFailure(failureText("The data entry form cannot open.", e));
        return;
    }
    if (FirstUseSave) {
        cmdSave_Click();
        FirstUseSave = false;
    }
}

bool frmData::DefineUserItems() {
    const std::optional<UserItems> user = ReadUserItems(p_, p_.CurrentProject.ProjectID);
    if (!user) {
        showLoadFailure(
            "The captions of the user-defined data fields cannot be found: table UserDefined has no "
            "row for this project and no 'Default' row.\r\n\r\nThe data entry form will close.");
        return false;
    }
    UserUnits = *user;
    return true;
}

void frmData::DefineListItems() {
    ItemCaptions = ItemCaptionList(UserUnits);
    ItemFields = ItemFieldList();
}

bool frmData::Configure_cbItem(const QString& projectId) {
    cbEvent->clear();
    fillItemChoosers();
    if (projectId.isEmpty()) {
        showLoadFailure(GetMlString(589, "Please use Select to select a project first!"));
        return false;
    }
    showOrder(projectId);
    Events = ReadEventList(p_);
    for (const EventEntry& e : Events)
        cbEvent->addItem(e.text);
    cbEvent->setCurrentIndex(-1);
    return true;
}

void frmData::ConfigureAll() {
    const ProjectInfoRecord& cp = p_.CurrentProject;
    showProjectNotes();
    showUnitLabels([&](int i) { return UnitLabelFor(i, cp, UserUnits); });
    showRowsForBanks([this](int k, bool visible) { ChkHide[size_t(k)]->setVisible(visible); });
    for (int k = 0; k < ItemCount; ++k)
        if (ChkHide[size_t(k)]->isChecked()) showRowControls(k, false);

    const EntryHistory h = ReadEntryHistory(p_, rowOrder(), IntervalMinutesOf(txtSaveInterval->text()));
    for (int k = 0; k < ItemCount; ++k)
        put(txtData[k], h.current[size_t(k)]);
    showHistory(h);
    if (h.times[0]) lblTime[0]->setText(*h.times[0]);
    if (h.firstUse) FirstUseSave = true;

    FillScadaInfo(cp.ProjectID, cp.TrainNumber);
    setStatus(1, GetMlString(647, "Num Recs: ") +
                     QString::number(CountProjectDataRecords(p_, cp.ProjectID, cp.TrainNumber)));
}

void frmData::FillScadaInfo(const QString& projectId, int trainNumber) {
    const std::vector<ScadaRow> stored = ReadScadaRows(p_, projectId, trainNumber);
    // A changed DDE box relinks; the rows are loaded first and linked once.
    bool relink = false;
    fillingScada_ = true;
    showLinkRows(stored, [&](int k, const ScadaRow& s) {
        const size_t r = size_t(k);
        relink = relink || chkScada[r]->isChecked() != s.useScada;
        ChkHide[r]->setChecked(s.hide);
        if (s.hide)
            ChkHide[r]->setVisible(false);
        else if (!txtData[k]->isHidden())
            ChkHide[r]->setVisible(true); // a row shown again gets its hide box back
    });
    fillingScada_ = false;
    if (relink) chkUseScada_Click();
}

void frmData::ConfigBoxes() {
    const bool unlocked = p_.DataEntryConfigUnlocked;
    for (int k = 0; k < ItemCount; ++k) {
        const size_t r = size_t(k);
        const std::initializer_list<QWidget*> controls = {cbItem[r],        chkDefault[r],  chkREQD[r],
                                                          chkScada[r],      txtScadaApp[r], txtScadaItem[r],
                                                          txtScadaTopic[r], ChkHide[r]};
        if (!unlocked) {
            for (QWidget* w : controls)
                w->setEnabled(false);
        } else if (!isBankTwoItem(itemOfRow(k)) || p_.CurrentProject.NumBanks >= 2) {
            for (QWidget* w : controls)
                w->setEnabled(true);
            // A row the bank count hides gets no hide box of its own.
            const int i = itemOfRow(k);
            ChkHide[r]->setVisible(i < 0 || ItemUsableForBanks(i, p_.CurrentProject.NumBanks).value_or(true));
        }
    }
    cmdDefault->setEnabled(unlocked);
    cmdSaveConfig->setEnabled(unlocked);
}

void frmData::ChkHide_Click(int Index) {
    const bool hide = ChkHide[size_t(Index)]->isChecked();
    // A row the bank count hides stays hidden when its hide box is cleared.
    const int i = itemOfRow(Index);
    const std::optional<bool> usable =
        i < 0 ? std::nullopt : ItemUsableForBanks(i, p_.CurrentProject.NumBanks);
    if (!hide && usable && !*usable) return;
    showRowControls(Index, !hide);
}

// ---- Input order ----------------------------------------------------------------------

bool frmData::rebuildRows() {
    try {
        ConfigureAll();
        return true;
    } catch (const RunError& e) {
        sayFailure("The rows cannot be rebuilt.", e);
        return false;
    }
}

bool frmData::CheckAllDifferent() {
    const bool result = markRepeatedItems();
    rebuildRows();
    return result;
}

std::vector<ScadaRow> frmData::scadaRows() const {
    std::vector<ScadaRow> rows;
    for (int k = 0; k < ItemCount; ++k) {
        rows.push_back(linkRow(k));
        rows.back().hide = ChkHide[size_t(k)]->isChecked();
    }
    return rows;
}

void frmData::cmdSaveConfig_Click() {
    const ProjectInfoRecord& cp = p_.CurrentProject;
    // The order and the rows' DDE settings are stored together or not at all.
    if (storeOrder([&] { SaveInputConfig(p_, cp.ProjectID, cp.TrainNumber, rowOrder(), scadaRows()); }))
        linksTyped_ = false;
    saveScadaPollingData();
}

void frmData::saveScadaPollingData() {
    PollingSettings s;
    s.intervalMinutes = IntervalMinutesOf(txtSaveInterval->text());
    s.useScada = chkUseScada->isChecked();
    s.autoLink = optScada[0]->isChecked();
    p_.SaveIntervalMinutes =
        WritePollingSettings(p_, p_.CurrentProject.ProjectID, p_.CurrentProject.TrainNumber, s);
}

void frmData::cmdDefault_Click() {
    if (p_.prompts.message(GetMlString(504, "Reset to Default Input Order?"), Buttons::OKCancel,
                           Icon::Question, Title) != Answer::OK)
        return;
    try {
        Configure_cbItem(GetMlString(654, "Default"));
    } catch (const RunError& e) {
        sayFailure("The default input order cannot be read.", e);
        return;
    }
    // The boxes' colours follow the order now shown.
    CheckAllDifferent();
}

void frmData::cbEvent_KeyPress(int& KeyAscii) {
    if (KeyAscii != 13) return;
    KeyAscii = 0;
    txtNotes->setFocus();
}

void frmData::cbEvent_LostFocus() {
    txtNotes->setFocus();
}

// ---- Polling --------------------------------------------------------------------------

void frmData::onLinkText(int k, const QString& text) {
    // A save or a poll in progress works on the values it checked; what came meanwhile
    // follows it.
    if (saving_ || holdLinks_)
        heldUpdates_[k] = text;
    else
        txtData[k]->setText(text);
}

QString frmData::entryElapsedText() const {
    for (int k = 0; k < ItemCount; ++k)
        if (itemOfRow(k) == item::TheDate) {
            if (const std::optional<QDateTime> d = ParseEntryDate(txtData.at(k)->text()))
                return FormatHours(ElapsedHoursAt(*d, p_.CurrentProject));
            break;
        }
    return lblTime.at(1)->text();
}

void frmData::chkScada_Click(int Index) {
    (void)Index;
    if (!fillingScada_) chkUseScada_Click();
}

void frmData::chkUseScada_Click() {
    const QString waiting = GetMlString(501, "Waiting");
    QString status;
    if (!chkUseScada->isChecked()) {
        status = GetMlString(652, "Off");
        cmdSave->setEnabled(true); // typed readings again
        CloseRowLinks(ddeLinks);
        Timer1->setEnabled(false);
        lblTime[0]->setText(lblTime[1]->text());
    } else {
        // Every poll takes its date from the control system: without the date row's link
        // the first poll would store the proposed date and every later one be refused.
        const int dateRow = DateRow(rowOrder());
        if (itemOfRow(dateRow) == item::TheDate && !chkScada[size_t(dateRow)]->isChecked()) {
            tell(DateRowUnlinkedText(cbItem[size_t(dateRow)]->currentText()), Icon::Warning);
            chkUseScada->setChecked(false); // runs the switch-off
            return;
        }
        status = GetMlString(648, "Link ");
        txtSaveInterval->setEnabled(true);
        const bool automatic = optScada[0]->isChecked();
        status += automatic ? GetMlString(81, "Auto") : GetMlString(650, "Polling");
        // An automatic link that fails at all is a failure; one on request only when its
        // program does not answer (a refused item shows at the request).
        const RowLinkFailure failed = openLinks(ddeLinks, automatic, automatic);
        if (closed_) return;
        const int failedRow = failed.row;
        const int error = failed.error;
        // The link layer names the cause: no such program, a topic it does not serve, an
        // answer that is no link message.
        const links::LinkClient* link = failedRow >= 0 ? ddeLinks[size_t(failedRow)] : nullptr;
        const QString cause =
            !link ? QString()
            : error == links::NoServer
                ? OpenFailedText(link->linkTopic(), link->applicationMissing(), link->lastErrorText())
                : RequestFailedText(error, link->lastErrorText() + " (" +
                                               cbItem[size_t(failedRow)]->currentText() + ", " +
                                               link->linkItem() + ")");
        // Switched on by hand, polling goes off again with the reason; the clock's poll
        // counts the failure and tries again at the next one.
        if (failedRow >= 0 && !automatic && !unattended()) {
            p_.prompts.message(cause + "\r\n\r\n" + PollingSwitchedOffText(), Buttons::OK, Icon::Warning,
                               Title);
            chkUseScada->setChecked(false); // runs the switch-off
            return;
        }
        if (failedRow >= 0) {
            ++DdeFailureCount;
            const QString caption = cbItem[size_t(failedRow)]->currentText();
            const QString count = FailureCountText(DdeFailureCount, caption);
            lblWarnings->setText(cause);
            if (error == links::NoServer) {
                setStatus(3, count);
            } else if (error == links::ItemRefused) {
                setStatus(3, count);
                if (!Timer1->isEnabled()) tell(count, Icon::Warning);
            } else {
                tell(GetMlString(497, "DDE Failure #") + QString::number(DdeFailureCount) + " " + caption +
                         "\r\n" + cause,
                     Icon::Warning);
            }
            DdeFailed = true;
        }
        Timer1->setEnabled(true);
        const QDateTime now = p_.system.now();
        NextSaveTime = now.addSecs(qint64(std::llround(IntervalMinutesOf(txtSaveInterval->text()) * 60)));
        if (DdeFailed)
            setStatus(4, GetMlString(498, "Last Save:") + lblTime[1]->text() +
                             GetMlString(499, ", Next Try at: ") + NextSaveTime.toString("HH:mm"));
        else
            setStatus(4, GetMlString(500, "Next Poll/Save at: ") + NextSaveTime.toString("HH:mm"));
        lblTime[0]->setText(waiting);
    }
    if (DdeFailed)
        setStatus(2, GetMlString(653, "DDE Failure @") + p_.system.now().toString("HH:mm"));
    else
        setStatus(2, GetMlString(502, "SCADA STATUS: ") + status);
}

bool frmData::unattended() const {
    return clockPoll_;
}

void frmData::sayUnattended(const QString& text) {
    // Beside the rows and on the status bar, where it stays until the next poll says more.
    lblWarnings->setText(text);
    setStatus(4,
              "Poll at " + p_.system.now().toString("HH:mm") + ": " + text.section(QLatin1Char('\r'), 0, 0),
              true);
}

void frmData::tell(const QString& text, Icon icon) {
    if (unattended())
        sayUnattended(text);
    else
        p_.prompts.message(text, Buttons::OK, icon, Title);
}

void frmData::optScada_Click(int Index) {
    (void)Index;
    chkUseScada_Click();
}

void frmData::cmdTestPoll_Click() {
    poll(false);
}

PollSetup frmData::pollSetup() const {
    PollSetup s;
    s.project = p_.CurrentProject;
    s.rows = entryRows(false);
    s.links = rowLinks();
    const int chosen = cbEvent->currentIndex();
    s.eventId = chosen < 0 ? 0 : Events[size_t(chosen)].id;
    s.note = txtNotes->text();
    s.now = p_.system.now();
    s.decimalCode = p_.DecimalSeparatorCode;
    return s;
}

void frmData::poll(bool store) {
    DdeFailed = false;
    if (!chkUseScada->isChecked()) {
        p_.prompts.message(GetMlString(505,
                                       "Polling not activated - please set the 'Use Scada Data' Check box "
                                       "to checked."),
                           Buttons::OK, Icon::None, Title);
        return;
    }
    const QPointer<frmData> self(this);
    BusyGuard busy(this, polling_);
    // Save stores only what a poll brought in whole, or what the user types.
    cmdSave->setEnabled(false);
    const std::array<QString, ItemCount> before = entryTexts();
    chkUseScada_Click();
    // A failed link has been reported; requests without links would only hide that report.
    if (!self || closed_ || DdeFailed || !chkUseScada->isChecked()) return;

    WindowLinks source(ddeLinks, holdLinks_, this);
    WindowPollProgress progress([self] { return !self || self->closed_; });
    const PollSetup setup = pollSetup();
    if (!store) {
        // Test/Poll Now: the values shown, for Save to store.
        const PolledValues read = PollLinks(setup, source);
        if (!self) return;
        if (read.fetch) {
            reportFetchFailure(read.fetch, before);
            return;
        }
        if (progress.yieldAndCheckCancel()) return;
        showPolled(read);
        cmdSave->setEnabled(true);
        applyHeldUpdates();
        return;
    }
    const PollOutcome out = RunPoll(p_, setup, source, progress);
    if (!self) return;
    if (out.end == PollOutcome::End::FetchFailed)
        reportFetchFailure(out.read.fetch, before);
    else
        showPollOutcome(out);
    if (self) applyHeldUpdates();
}

void frmData::reportFetchFailure(const RowFetchFailure& f, const std::array<QString, ItemCount>& before) {
    holdLinks_ = false;
    if (f.windowClosed || closed_) return;
    const int k = f.row;
    const int error = f.error;
    // The link layer's own words name the cause: a refused item, a timeout, an answer too
    // long or malformed, a program that closed the link.
    const QString cause =
        f.cause + " (" + cbItem[size_t(k)]->currentText() + ", " + ddeLinks[size_t(k)]->linkItem() + ")";
    if (error == links::ItemRefused || error == links::Timeout || error == links::NoLink)
        lblWarnings->setText(RequestFailedText(error, cause));
    else
        tell(GetMlString(509, "Failure error:") + QString::number(error) + " " + cause + "\r\n" +
                 GetMlString(508, "The DDE connection may failed. Be sure a DDE Server such "
                                  "as Excel is running and all of your topic, item and "
                                  "application data is correct."),
             Icon::Warning);
    // A poll that failed part way has no reading to save: the boxes show again what they held.
    setEntryTexts(before);
    DdeFailed = true;
    setStatus(2, GetMlString(653, "DDE Failure @") + p_.system.now().toString("HH:mm"));
}

void frmData::showPolled(const PolledValues& read) {
    setEntryTexts(read.texts);
    if (read.elapsed) lblTime[0]->setText(*read.elapsed);
}

void frmData::showPollOutcome(const PollOutcome& out) {
    using End = PollOutcome::End;
    if (out.end == End::Stopped || out.end == End::FetchFailed || closed_) return;
    // The boxes show what was polled, as checked.
    showPolled(out.read);
    cmdSave->setEnabled(true);
    Reading = out.reading;
    if (out.end == End::Refused) {
        const QPointer<frmData> self(this);
        for (const QString& m : out.check.messages) {
            say(m);
            if (!self) return;
        }
        if (out.check.messages.isEmpty()) tell(RefusalText(out.check, entryRows(false)), Icon::Warning);
        return;
    }
    if (out.end == End::SaveFailed) {
        if (out.error) showSaveFailure(*out.error);
        return;
    }
    if (showSaved(out.saved)) {
        valuesTyped_ = false;
        RollOverData();
        countReadings();
    }
}

void frmData::applyHeldUpdates() {
    holdLinks_ = false;
    const std::map<int, QString> held = std::move(heldUpdates_);
    heldUpdates_.clear();
    for (const auto& [k, text] : held)
        txtData[k]->setText(text);
}

void frmData::Timer1_Timer() {
    // A tick inside a running poll or save (a link wait, a message box) is skipped; the
    // reading is still due at the next one.
    if (polling_ || saving_) return;
    DdeFailed = false;
    if (chkUseScada->isChecked() && NextSaveTime < p_.system.now()) {
        const QPointer<frmData> self(this);
        BusyGuard byClock(this, clockPoll_);
        poll(true);
        if (!self) return;
        if (DdeFailureCount > 20) {
            // Said without a message box, as the polls go on meanwhile.
            sayUnattended(GetMlString(515, "The DDE Polling process is experiencing multiple failures (more "
                                           "than 20).  Please investigate and be sure all of the "
                                           "applications, items and topics are correct.") +
                          "\r\n" +
                          GetMlString(516, "You may want to stop the polling process and restart it."));
            DdeFailureCount = 0;
        }
    }
    if (!chkUseScada->isChecked()) Timer1->setEnabled(false);
}

void frmData::txtScadaItem_KeyPress(int Index, int& KeyAscii) {
    if (KeyAscii != 13) return;
    KeyAscii = 0;
    if (Index == 18) {
        txtScadaItem[0]->setFocus();
        return;
    }
    if (Index > 17) return;
    for (int k = Index + 1; k < ItemCount; ++k)
        if (!txtScadaItem[size_t(k)]->isHidden()) {
            txtScadaItem[size_t(k)]->setFocus();
            return;
        }
}

void frmData::cmdHelp_Click() {
    auto* help = new frmScadaHelp(this);
    help->show();
}

// ---- Checks ---------------------------------------------------------------------------

int frmData::ValidateData() {
    std::array<EntryRow, ItemCount> rows = entryRows(false);
    // Before a poll the entry column's hours read "Waiting"; its date gives them.
    const QString elapsed =
        lblTime[0]->text() == GetMlString(501, "Waiting") ? entryElapsedText() : lblTime[0]->text();
    const EntryCheck res = CheckReading(p_.CurrentProject, rows, elapsed, false, p_.DecimalSeparatorCode,
                                        Reading, p_.system.now());
    takeEntryTexts(rows);
    for (const QString& m : res.messages)
        say(m);
    if (res.elapsedCaption) lblTime[0]->setText(*res.elapsedCaption);
    if (res.passed()) return -1;
    // Every refusal names its own cause, in place of whatever an earlier one said.
    setStatus(4, RefusalText(res, rows), true);
    // A failed rule whose item no row shows still stops the save: the focus goes to the
    // date row then.
    return res.focusRow >= 0 ? res.focusRow : DateRow(rowOrder());
}

void frmData::txtData_LostFocus(int Index) {
    if (Index > 24) return;
    QLineEdit* box = txtData[Index];
    auto backToBox = [box] {
        box->setFocus();
        box->selectAll();
    };
    if (itemOfRow(Index) != item::TheDate) {
        const std::optional<double> change = ChangeAgainstPrevious(box->text(), txtData[Index + 100]->text());
        if (!change || *change <= 0.25 || chkWarnings->isChecked()) return;
        if (p_.prompts.message(ChangeWarningText(*change), Buttons::OKCancel, Icon::None, Title) ==
            Answer::Cancel) {
            box->setText(LastFieldText);
            backToBox();
        }
        return;
    }
    if (box->text().isEmpty()) return;
    const DateLeft left =
        leaveDateBox(Index,
                     "Current Date is OLDER than prior Date. Please Verify OK or Cancel to re-enter!"
                     "\r\n\r\nCheck the 'Surpress Warnings' box to eliminate this message in the future",
                     !chkWarnings->isChecked());
    const std::optional<QDateTime> date = left.date;
    if (left.retype) return;
    if (!date) return;
    double hours = ElapsedHoursAt(*date, p_.CurrentProject);
    if (hours < 0) {
        QString shown = QString::number(hours, 'f', 1);
        shown.replace('.', QLocale().decimalPoint());
        p_.prompts.message(GetMlString(520, "The Date you entered results in an elapsed time of ") + shown +
                               GetMlString(521, ", which is less than zero and not allowed! The elapsed time "
                                                "will be set to zero. You can change the date if needed."),
                           Buttons::OKCancel, Icon::None, Title);
        hours = 0;
    }
    lblTime[0]->setText(FormatHours(hours));
}

void frmData::txtSaveInterval_KeyPress(int& KeyAscii) {
    KeyAscii = NumericKeyFilter(KeyAscii);
    if (KeyAscii != 13) return;
    if (IntervalMinutesOf(txtSaveInterval->text()) < 30) {
        p_.prompts.message(GetMlString(606, "Minimum data automatic collection interval is 30 minutes."),
                           Buttons::OK, Icon::None, Title);
        txtSaveInterval->setText("30");
    }
    if (chkUseScada->isChecked() && IntervalMinutesOf(txtSaveInterval->text()) > 0) optScada_Click(0);
}

void frmData::txtSaveInterval_LostFocus() {
    if (IntervalMinutesOf(txtSaveInterval->text()) < 30) {
        p_.prompts.message(GetMlString(600, "Minimum data automatic collection interval is 30 minutes."),
                           Buttons::OK, Icon::None, Title);
        txtSaveInterval->setText("30");
    }
    optScada_Click(0);
}

void frmData::chkWarnings_Click() {
    offerAsDefault(SuppressWarningsPrompt, "Manual Data Entry Error Suppress", chkWarnings->isChecked());
}

// ---- Saving ---------------------------------------------------------------------------

void frmData::cmdSave_Click() {
    if (saving_) return;
    const QPointer<frmData> self(this);
    {
        BusyGuard busy(this, saving_);
        const int focus = ValidateData();
        if (!self) return;
        if (focus != -1) {
            txtData[focus]->setFocus();
        } else if (SaveAllData() && self) {
            valuesTyped_ = false;
            RollOverData();
            countReadings();
        }
    }
    if (!self) return;
    applyHeldUpdates();
}

bool frmData::event(QEvent* e) {
    // Back from another window, which may have stored or deleted readings of this train.
    if (e->type() == QEvent::WindowActivate && !saving_ && !polling_) {
        try {
            setStatus(1, GetMlString(647, "Num Recs: ") +
                             QString::number(CountProjectDataRecords(p_, p_.CurrentProject.ProjectID,
                                                                     p_.CurrentProject.TrainNumber)));
        } catch (const DbError&) {
            // The count stays as it was; a save says what is wrong with the database.
        }
    }
    return EntryForm::event(e);
}

void frmData::countReadings() {
    try {
        setStatus(1, GetMlString(647, "Num Recs: ") +
                         QString::number(CountProjectDataRecords(p_, p_.CurrentProject.ProjectID,
                                                                 p_.CurrentProject.TrainNumber)));
    } catch (const DbError& e) {
        sayFailure("The readings cannot be counted.", e);
    }
}

bool frmData::SaveAllData() {
    const ProjectInfoRecord& cp = p_.CurrentProject;
    SavedReading saved;
    try {
        ReadingValues balanced = Reading;
        ApplyBankBalance(balanced, cp.NumBanks, cp.SystemData);
        const int chosen = cbEvent->currentIndex();
        const int eventId = chosen < 0 ? 0 : Events[size_t(chosen)].id;
        const QString note = NoteForStorage(txtNotes->text());
        if (note != txtNotes->text()) txtNotes->setText(note);
        saved = StoreReading(p_, cp, balanced, eventId, note);
        Reading = balanced;
    } catch (const RunError& e) {
        showSaveFailure(e);
        return false;
    }
    return showSaved(saved);
}

void frmData::showSaveFailure(const RunError& e) {
    tell(SaveErrorText(e), Icon::Critical);
    setStatus(4, "SAVE FAILED! " + e.description(), true);
}

bool frmData::showSaved(const SavedReading& saved) {
    const ProjectInfoRecord& cp = p_.CurrentProject;
    using O = ReadingIntake::Outcome;
    switch (saved.outcome) {
    case O::AlreadyStored: {
        const QString text =
            AlreadyStoredText(cp, Reading.TheDate) + " " + GetMlString(601, "Data was not saved.");
        // Polling goes on unattended: a stalled date is only reported.
        tell(text, Icon::Warning);
        setStatus(4, text, true);
        return false;
    }
    case O::CalculationFailed:
        tell(Refusal::calculationFailed(saved.failure).text + "\r\n\r\n" +
                 GetMlString(601, "Data was not saved."),
             Icon::Critical);
        setStatus(4, GetMlString(698, "Calculator returned and error. SAVE FAILED!"), true);
        return false;
    case O::NoElement:
        // Stored raw: the message names the missing element and says so.
        if (const std::optional<QString> missing = MissingElementText(cp, p_.ElementTable))
            tell(*missing, Icon::Critical);
        setStatus(4, GetMlString(698, "Calculator returned and error. SAVE FAILED!"), true);
        break;
    case O::Normalized:
    case O::Raw: {
        lblWarnings->setText(saved.alarms);
        const double minutes = IntervalMinutesOf(txtSaveInterval->text());
        const QDateTime now = p_.system.now();
        const QDateTime next = now.addSecs(qint64(std::llround(minutes * 60)));
        if (chkUseScada->isChecked())
            setStatus(4, GetMlString(542, "Next Auto Save at: ") + next.toString("HH:mm"));
        else
            setStatus(4, GetMlString(543, "Waiting for Manual Data Input"));
        setStatus(3, GetMlString(544, "Data Last Saved OK at: ") + now.toString("HH:mm"));
        NextSaveTime = next;
        break;
    }
    }
    // The event and the note belong to the reading they were chosen for.
    cbEvent->setCurrentIndex(cbEvent->count() > 0 ? 0 : -1);
    txtNotes->clear();
    return true;
}

void frmData::RollOverData() {
    std::array<bool, ItemCount> keep{};
    for (int k = 0; k < ItemCount; ++k)
        keep[size_t(k)] = chkDefault[size_t(k)]->isChecked();
    rollOverHistory(keep);
}

void frmData::cmdChange_Click() {
    p_.DataEntryConfigUnlocked = p_.prompts.message(GetMlString(503, "Enable Configuration Changes?"),
                                                    Buttons::YesNo, Icon::Question, Title) == Answer::Yes;
    ConfigBoxes();
}

// ---- Closing --------------------------------------------------------------------------

void frmData::cmdClose_Click() {
    close();
}

void frmData::closeEvent(QCloseEvent* event) {
    if (keepCloseForLinks(event)) return;
    if (!mayDiscardTyped()) {
        event->ignore();
        return;
    }
    closed_ = true;
    p_.DataEntryOpen = false;
    Timer1->setEnabled(false);
    event->accept();
}

} // namespace hv
