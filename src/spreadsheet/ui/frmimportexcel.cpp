#include "spreadsheet/ui/frmimportexcel.h"

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
#include <cmath>

#include "collection/entryhistory.h"
#include "collection/readingcheck.h"
#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/settings.h"
#include "normalization/calculate.h"
#include "platform/database.h"
#include "platform/links/linkerrors.h"
#include "spreadsheet/importlogic.h"

namespace hv {

namespace {

const QString Title = QStringLiteral("Hevrin");
const QString Green = QStringLiteral("background-color: #00ff00;");
constexpr int RowHeight = 20;
constexpr int WidePanel = 400; // 6000 twips
constexpr int BatchMs = 400;   // rows stored between two commits of an all-rows run
constexpr int PaintMs = 40;    // repaints between two commits

int keyAsciiOf(const QKeyEvent* e) {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) return 13;
    if (e->key() == Qt::Key_Backspace) return 8;
    const QString t = e->text();
    if (t.isEmpty() || !t.at(0).isPrint()) return 0;
    return t.at(0).unicode();
}

bool movesWithinWindow(const QEvent* e) {
    const Qt::FocusReason r = static_cast<const QFocusEvent*>(e)->reason();
    return r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason;
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

// The readings of an all-rows run, inserted in one transaction and normalized over one
// connection when the batch is committed: a commit per row would cost more than the row.
class ImportBatch {
public:
    explicit ImportBatch(Program& p) : p_(p), db_(Database::open(p.ProjectDatabasePath)) {}
    ~ImportBatch() {
        if (open_) db_.rollback();
    }
    int pending() const { return int(rows_.size()); }
    void insert(const ReadingValues& r, int eventId, const QString& note, bool raw) {
        if (!open_) {
            db_.begin();
            open_ = true;
        }
        InsertReading(db_, p_.CurrentProject, r, eventId, note);
        rows_.push_back({db_.lastInsertId(), raw});
    }
    // Commits the inserted rows, then normalizes each. `state` gets the calculation state
    // of the last row; `onFailed` runs after each failed normalization. A failed commit
    // leaves no row stored and raises.
    void commit(QString& state, bool& anyFailed, const std::function<void()>& onFailed) {
        if (!open_) return;
        open_ = false;
        const std::vector<Row> rows = std::move(rows_);
        rows_.clear();
        db_.commit();
        SqliteConnection c(p_.ProjectDatabasePath);
        DataRecordCalculator calc(p_, c);
        bool inTx = false;
        calc.beforeMessage = [&] {
            if (inTx) c.commit();
            inTx = false;
        };
        try {
            for (const Row& r : rows) {
                if (r.raw) {
                    state = QStringLiteral("Calculation Bypassed");
                    continue;
                }
                if (!inTx) c.begin();
                inTx = true;
                if (calc.calculateById(r.id)) {
                    state = QStringLiteral("Calculation Complete");
                } else {
                    if (inTx) c.commit();
                    inTx = false;
                    anyFailed = true;
                    state = QStringLiteral("Calculation Failed");
                    if (onFailed) onFailed();
                }
            }
            if (inTx) c.commit();
        } catch (...) {
            if (inTx) c.rollback();
            throw;
        }
    }

private:
    struct Row {
        qint64 id;
        bool raw;
    };
    Program& p_;
    Database db_;
    bool open_ = false;
    std::vector<Row> rows_;
};

frmImportExcel::frmImportExcel(Program& p, QWidget* parent) : QWidget(parent, Qt::Window), p_(p) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmImportExcel"));
    setWindowTitle(QStringLiteral("Batch Data Entry from Excel"));
    buildControls();
    connectHandlers();
    Form_Load();
}

frmImportExcel::~frmImportExcel() = default;

void frmImportExcel::setVisible(bool visible) {
    if (visible && unloaded_) return;
    QWidget::setVisible(visible);
}

void frmImportExcel::buildControls() {
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 4, 6, 0);
    root->setSpacing(3);
    auto named = [](auto* w, const QString& name) {
        w->setObjectName(name);
        return w;
    };
    auto label = [&](const QString& text, const QString& name) {
        return named(new QLabel(text, this), name);
    };

    auto* top = new QHBoxLayout;
    lblProjectID = label(QString(), "lblProjectID");
    QFont bold = lblProjectID->font();
    bold.setBold(true);
    lblProjectID->setFont(bold);
    txtTrain = named(new QLineEdit(this), "txtTrain");
    txtTrain->setReadOnly(true);
    txtTrain->setMaximumWidth(40);
    lblTrain = label("<== Train Number", "lblTrain");
    lblDataInfo = label(QString(), "lblDataInfo");
    lblDataInfo->setStyleSheet("color: #000080;");
    top->addWidget(label("Project:", "lblProject"));
    top->addWidget(lblProjectID);
    top->addSpacing(20);
    top->addWidget(txtTrain);
    top->addWidget(lblTrain);
    top->addSpacing(20);
    top->addWidget(lblDataInfo);
    top->addStretch();
    root->addLayout(top);

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
    for (int k = 0; k < ItemCount; ++k) {
        const int r = k + 2;
        auto check = [&](std::vector<QCheckBox*>& v, const char* name, int col) {
            v.push_back(named(new QCheckBox(this), QString("%1_%2").arg(name).arg(k)));
            grid->addWidget(v.back(), r, col, Qt::AlignHCenter);
        };
        auto edit = [&](const QString& name, int col, int width) {
            auto* e = named(new QLineEdit(this), name);
            e->setFixedSize(width, RowHeight);
            grid->addWidget(e, r, col);
            return e;
        };
        check(chkREQD, "chkREQD", cReqd);
        cbItem.push_back(named(new QComboBox(this), QString("cbItem_%1").arg(k)));
        cbItem.back()->setFixedSize(125, RowHeight);
        grid->addWidget(cbItem.back(), r, cItem);
        lblUnits.push_back(label(QString(), QString("lblUnits_%1").arg(k)));
        lblUnits.back()->setFixedSize(122, RowHeight - 2);
        grid->addWidget(lblUnits.back(), r, cUnits);
        for (int c = 0; c < 4; ++c) {
            QLineEdit* e = edit(QString("txtData_%1").arg(c * 100 + k), cNew + c, 108);
            e->setReadOnly(c > 0);
            txtData[c * 100 + k] = e;
        }
        check(chkDefault, "chkDefault", cDefault);
        check(chkScada, "chkScada", cScada);
        txtScadaApp.push_back(edit(QString("txtScadaApp_%1").arg(k), cApp, 68));
        txtScadaTopic.push_back(edit(QString("txtScadaTopic_%1").arg(k), cTopic, 80));
        txtScadaItem.push_back(edit(QString("txtScadaItem_%1").arg(k), cTag, 70));
        auto* link = new links::LinkClient(this);
        links.push_back(link);
        connect(link, &links::LinkClient::textChanged, txtData[k], &QLineEdit::setText);
    }
    root->addLayout(grid);

    auto* notes = new QHBoxLayout;
    cbEvent = named(new QComboBox(this), "cbEvent");
    cbEvent->setMinimumWidth(220);
    txtNotes = named(new QLineEdit(this), "txtNotes");
    notes->addWidget(label("Select Event ==>", "lblEvent"));
    notes->addWidget(cbEvent);
    notes->addWidget(label("Notes ==>", "lblNotes"));
    notes->addWidget(txtNotes, 1);
    root->addLayout(notes);

    auto button = [&](const QString& text, const QString& name) {
        return named(new QPushButton(text, this), name);
    };
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
    root->addLayout(buttons);

    auto* options = new QGridLayout;
    chkUseScada = named(new QCheckBox("Use SCADA Data?", this), "chkUseScada");
    optScada.push_back(named(new QRadioButton("Auto Link - Continuous Update", this), "optScada_0"));
    optScada.push_back(named(new QRadioButton("Polling Only (Less Bandwidth)", this), "optScada_1"));
    optScada[1]->setChecked(true);
    OptImport.push_back(
        named(new QRadioButton("Import One Row each click of Save Data Now", this), "OptImport_0"));
    OptImport.push_back(named(new QRadioButton("Import All Rows automatically", this), "OptImport_1"));
    OptImport[0]->setChecked(true);
    chkIgnore = named(new QCheckBox("Ignore Data Errors? Right Click for more info.", this), "chkIgnore");
    chkIgnore->setToolTip(
        "Critical Errors in data are ignored and all values are stored to the database.  Allows "
        "plotting of data when plant is offline.");
    txtSaveInterval = named(new QLineEdit("120", this), "txtSaveInterval");
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
    root->addLayout(options);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < 4; ++i) {
        auto* l = label(QString(), QString("StatusBar1_Panel%1").arg(i + 1));
        l->setFrameShape(QFrame::StyledPanel);
        panels.push_back(l);
        StatusBar1->addWidget(l, i == 3 ? 1 : 0);
    }
    root->addWidget(StatusBar1);
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
    lblDataInfo->installEventFilter(this);
    for (auto& [index, box] : txtData)
        box->installEventFilter(this);
    for (int k = 0; k < ItemCount; ++k) {
        cbItem[size_t(k)]->installEventFilter(this);
        txtScadaItem[size_t(k)]->installEventFilter(this);
        QLineEdit* box = txtData[k];
        connect(box, &QLineEdit::textEdited, this, [this, k, box](const QString& text) {
            if (itemOfRow(k) == item::TheDate) return;
            QString kept;
            for (const QChar c : text)
                if (NumericKeyFilter(c.unicode(), p_.DecimalSeparatorCode, true)) kept += c;
            if (kept != text) box->setText(kept);
        });
    }
    // Row 0's application and sheet serve every row.
    connect(txtScadaApp[0], &QLineEdit::textChanged, this, [this](const QString& t) {
        for (int k = 1; k < ItemCount; ++k)
            txtScadaApp[size_t(k)]->setText(t);
    });
    connect(txtScadaTopic[0], &QLineEdit::textChanged, this, [this](const QString& t) {
        for (int k = 1; k < ItemCount; ++k)
            txtScadaTopic[size_t(k)]->setText(t);
    });
    connect(txtSaveInterval, &QLineEdit::textEdited, this, [this](const QString& text) {
        QString kept;
        for (const QChar c : text)
            if (NumericKeyFilter(c.unicode(), p_.DecimalSeparatorCode)) kept += c;
        if (kept != text) txtSaveInterval->setText(kept);
    });
    connect(txtSaveInterval, &QLineEdit::returnPressed, this, [this] {
        if (ParsePercent(txtSaveInterval->text()) > 0 && chkUseScada->isChecked()) chkUseScada_Click();
    });
}

bool frmImportExcel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblDataInfo && event->type() == QEvent::MouseButtonRelease) {
        lblDataInfo_Click();
        return true;
    }
    if (watched == chkIgnore && event->type() == QEvent::MouseButtonPress) {
        const auto* m = static_cast<QMouseEvent*>(event);
        if (m->button() == Qt::RightButton) {
            chkIgnore_MouseDown(2);
            return true;
        }
        return false;
    }
    for (int k = 0; k < ItemCount; ++k) {
        if (watched == cbItem[size_t(k)]) {
            if ((event->type() == QEvent::FocusOut && movesWithinWindow(event)) ||
                (event->type() == QEvent::MouseButtonPress))
                CheckAllDifferent();
            return false;
        }
        if (watched == txtScadaItem[size_t(k)]) {
            if (event->type() == QEvent::FocusOut && movesWithinWindow(event)) txtScadaItem_LostFocus(k);
            return false;
        }
    }
    for (auto& [index, box] : txtData) {
        if (box != watched) continue;
        switch (event->type()) {
        case QEvent::FocusIn:
            if (movesWithinWindow(event)) txtData_GotFocus(index);
            break;
        case QEvent::FocusOut:
            if (movesWithinWindow(event)) txtData_LostFocus(index);
            break;
        case QEvent::KeyPress: {
            int key = keyAsciiOf(static_cast<QKeyEvent*>(event));
            if (key == 0) return false;
            txtData_KeyPress(index, key);
            return key == 0;
        }
        default:
            break;
        }
        return false;
    }
    return QWidget::eventFilter(watched, event);
}

void frmImportExcel::setStatus(int n, const QString& text, bool wide) {
    if (wide) panel(n)->setMinimumWidth(WidePanel);
    panel(n)->setText(text);
}

void frmImportExcel::say(const QString& text) {
    p_.prompts.message(text, Buttons::OK, Icon::None, Title);
}

int frmImportExcel::itemOfRow(int k) const {
    return cbItem[size_t(k)]->currentIndex();
}

std::array<int, ItemCount> frmImportExcel::rowOrder() const {
    std::array<int, ItemCount> order{};
    for (int k = 0; k < ItemCount; ++k)
        order[size_t(k)] = itemOfRow(k);
    return order;
}

void frmImportExcel::showRow(int k, bool visible) {
    const size_t r = size_t(k);
    cbItem[r]->setEnabled(visible);
    for (QWidget* w : std::initializer_list<QWidget*>{
             cbItem[r], lblUnits[r], txtData[k], txtData[100 + k], txtData[200 + k], txtData[300 + k],
             chkDefault[r], chkREQD[r], chkScada[r], txtScadaApp[r], txtScadaTopic[r], txtScadaItem[r]})
        w->setVisible(visible);
}

void frmImportExcel::Form_Load() {
    const ProjectInfoRecord& cp = p_.CurrentProject;
    try {
        p_.SaveIntervalMinutes = ParsePercent(ReadIniValue(
            "Projects", cp.ProjectID + ".Train" + QString::number(cp.TrainNumber) + ".SaveInterval", "120",
            p_.IniFilePath));
        txtSaveInterval->setText(QString::number(std::llround(p_.SaveIntervalMinutes)));
        DefineListItems();
        if (!Configure_cbItem(cp.ProjectID)) return;
        ConfigureAll();
        FillScadaInfo(cp.ProjectID, ToIntegerOrZero(txtTrain->text()));
    } catch (const DbError& e) {
        p_.prompts.message("The import window cannot be opened.\r\n\r\nError number = " +
                               QString::number(e.number()) + "  Description: " + e.description(),
                           Buttons::OK, Icon::Critical, Title);
        unloaded_ = true;
        deleteLater();
        return;
    }
    cmdSave[0]->setEnabled(false);
    lblNumberSample->setText(QLocale().toString(10000.0 / 3, 'f', 2));
    const QDateTime now = p_.system.now();
    lblDateSample->setText(QLocale().toString(now.date(), QLocale::ShortFormat) + " or " +
                           now.toString("yyyy-MM-dd HH:mm:ss"));
    resize(sizeHint().boundedTo(QSize(1270, 760)));
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
    for (QComboBox* c : cbItem) {
        c->clear();
        c->addItems(ItemCaptions);
    }
    if (projectId.isEmpty()) {
        say("Please use Select to select a project first!");
        unloaded_ = true;
        deleteLater();
        return false;
    }
    lblProjectID->setText(p_.CurrentProject.ProjectID);
    txtTrain->setText(QString::number(p_.CurrentProject.TrainNumber));
    const auto order = ReadImportOrder(p_, projectId, p_.CurrentProject.TrainNumber);
    for (int k = 0; k < ItemCount; ++k)
        cbItem[size_t(k)]->setCurrentIndex(order ? (*order)[size_t(k)] : k);
    return true;
}

void frmImportExcel::ConfigureAll() {
    const ProjectInfoRecord& cp = p_.CurrentProject;
    lblDataInfo->setVisible(cp.NumBanks == 2);
    if (cp.NumBanks == 2)
        lblDataInfo->setText(
            cp.SystemData ? GetMlString(590, "NB: PermFlow and PermuS refer to SYSTEM LEVEL data.")
                          : GetMlString(591, "NB: PermFlow and PermuS refer to BANK 1 data (not System)."));
    txtTrain->setVisible(cp.NumTrains > 1);
    lblTrain->setVisible(cp.NumTrains > 1);
    for (int k = 0; k < ItemCount; ++k) {
        const int i = itemOfRow(k);
        if (i < 0) continue;
        const UnitLabel u = importUnitLabel(i, cp, UserUnits);
        QLabel* l = lblUnits[size_t(k)];
        l->setText(u.text);
        l->setStyleSheet(u.green ? Green : QString());
    }
    for (int k = 0; k < ItemCount; ++k) {
        const int i = itemOfRow(k);
        if (i < 0) continue;
        const std::optional<bool> usable = ItemUsableForBanks(i, cp.NumBanks);
        if (!usable) continue;
        if (cp.NumBanks == 3)
            showRow(k, true);
        else if (!*usable)
            showRow(k, false);
    }
    txtScadaApp[0]->setVisible(true);
    txtScadaApp[0]->setEnabled(true);
    txtScadaTopic[0]->setVisible(true);
    txtScadaTopic[0]->setEnabled(true);

    const EntryHistory h = ReadEntryHistory(p_, rowOrder(), ParsePercent(txtSaveInterval->text()));
    const QString noData = GetMlString(595, "No Data");
    auto put = [](QLineEdit* box, const std::optional<QString>& text) {
        if (text) box->setText(*text);
    };
    const int dateRow = DateRow(rowOrder());
    for (int k = 0; k < ItemCount; ++k) {
        const size_t r = size_t(k);
        put(txtData[100 + k], h.earlier1[r]);
        put(txtData[200 + k], h.earlier2[r]);
        put(txtData[300 + k], h.reference[r]);
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
    for (int t = 0; t < 4; ++t)
        if (h.times[size_t(t)] && (t != 0 || !h.firstUse)) lblTime[t]->setText(*h.times[size_t(t)]);
    if (h.firstUse) {
        FirstReadingPending = true;
        OptImport[0]->setChecked(true);
        lblTime[0]->setText(h.times[3].value_or(QString()));
    }
    FillScadaInfo(cp.ProjectID, cp.TrainNumber);
}

bool frmImportExcel::CheckAllDifferent() {
    if (running_) return false;
    bool all = true;
    cmdSaveConfig->setEnabled(true);
    std::array<bool, ItemCount> good{};
    good.fill(true);
    for (int a = 0; a < ItemCount; ++a)
        for (int b = a + 1; b < ItemCount; ++b)
            if (itemOfRow(a) == itemOfRow(b)) good[size_t(a)] = good[size_t(b)] = false;
    for (int k = 0; k < ItemCount; ++k) {
        cbItem[size_t(k)]->setStyleSheet(good[size_t(k)] ? QString() : "background-color: #ffff00;");
        if (!good[size_t(k)]) {
            all = false;
            cmdSaveConfig->setEnabled(false);
        }
    }
    ConfigureAll();
    return all;
}

void frmImportExcel::FillScadaInfo(const QString& projectId, int train) {
    const std::vector<StoredImportLink> stored = ReadImportLinks(p_, projectId, train);
    auto apply = [this](int k, const ImportLink& l) {
        const size_t r = size_t(k);
        txtScadaApp[r]->setText(l.application);
        txtScadaTopic[r]->setText(l.topic);
        txtScadaItem[r]->setText(l.item);
        chkDefault[r]->setChecked(l.keep);
        chkScada[r]->setChecked(l.linked);
        chkREQD[r]->setChecked(l.required);
    };
    if (stored.empty()) {
        for (int k = 0; k < ItemCount; ++k)
            apply(k, BuiltInImportLink(k));
        return;
    }
    for (const StoredImportLink& s : stored)
        for (int k = 0; k < ItemCount; ++k) {
            const int i = itemOfRow(k);
            if (i >= 0 && ItemFields[i].toLower() == s.fieldValue.toLower()) apply(k, s.link);
        }
}

void frmImportExcel::SaveScadaConfig() {
    std::array<ImportLink, ItemCount> rows;
    QStringList fields;
    for (int k = 0; k < ItemCount; ++k) {
        const size_t r = size_t(k);
        rows[r] = {txtScadaApp[r]->text(),   txtScadaTopic[r]->text(), txtScadaItem[r]->text(),
                   chkScada[r]->isChecked(), chkREQD[r]->isChecked(),  chkDefault[r]->isChecked()};
        fields << (itemOfRow(k) >= 0 ? ItemFields[itemOfRow(k)] : QString());
    }
    SaveImportLinks(p_, p_.CurrentProject.ProjectID, p_.CurrentProject.TrainNumber, fields, rows);
    for (int k = 0; k < ItemCount; ++k)
        txtScadaItem[size_t(k)]->setText(rows[size_t(k)].item);
}

void frmImportExcel::cmdSaveConfig_Click() {
    if (running_) return;
    try {
        SaveImportOrder(p_, p_.CurrentProject.ProjectID, p_.CurrentProject.TrainNumber, rowOrder());
        p_.prompts.message(GetMlString(507, "Updated OK!"), Buttons::OK, Icon::None, Title);
    } catch (const DbError& e) {
        p_.prompts.message(QString::number(e.number()) + " - " + e.description() +
                               GetMlString(506, ", Update Failed. Make sure the database is not in use by "
                                                "someone else!"),
                           Buttons::OK, Icon::None, Title);
    }
    try {
        SaveScadaConfig();
    } catch (const DbError& e) {
        p_.prompts.message("The cell links were not saved.\r\n\r\nError number = " +
                               QString::number(e.number()) + "  Description: " + e.description(),
                           Buttons::OK, Icon::Critical, Title);
    }
}

void frmImportExcel::cmdDefault_Click() {
    if (running_) return;
    if (p_.prompts.message(GetMlString(504, "Reset to Default Input Order?"), Buttons::OKCancel, Icon::None,
                           Title) != Answer::OK)
        return;
    Configure_cbItem("Default");
    ConfigureAll();
}

// ---- Links ---------------------------------------------------------------------------

void frmImportExcel::chkUseScada_Click() {
    if (!chkUseScada->isChecked()) {
        for (links::LinkClient* l : links)
            l->setLinkMode(0);
        lblTime[0]->setText(lblTime[1]->text());
        return;
    }
    const bool automatic = optScada[0]->isChecked();
    for (int k = 0; k < ItemCount; ++k) {
        links::LinkClient* l = links[size_t(k)];
        const size_t r = size_t(k);
        l->setLinkMode(0);
        if (!chkScada[r]->isChecked()) {
            l->setLinkTopic(QString());
            l->setLinkItem(QString());
            continue;
        }
        l->setLinkTopic(txtScadaApp[r]->text() + "|" + txtScadaTopic[r]->text());
        l->setLinkItem(txtScadaItem[r]->text());
        if (l->setLinkMode(automatic ? 1 : 2) == links::NoServer) {
            if (automatic)
                say(GetMlString(493, "The ddeLink failed because there is no application called ") +
                    l->linkTopic() +
                    GetMlString(494,
                                " running on the system or it failed to work. You will need to start this "
                                "application and then retry. If Excel is used, check that Excel is running "
                                "and that the sheet you need is in the foreground."));
            break;
        }
    }
    lblTime[0]->setText(GetMlString(501, "Waiting"));
}

bool frmImportExcel::cmdTestPoll_Click() {
    if (running_ && sender() == cmdTestPoll) return false;
    if (!chkUseScada->isChecked()) {
        say(GetMlString(505,
                        "Polling not activated - please set the 'Use Scada Data' Check box to checked."));
        cmdSave[0]->setEnabled(true);
        return false;
    }
    chkUseScada_Click();
    for (int k = 0; k < ItemCount; ++k) {
        if (!chkScada[size_t(k)]->isChecked()) continue;
        const int e = links[size_t(k)]->linkRequest();
        if (e == links::NoLink) {
            say(GetMlString(1033,
                            "You must open Excel first.  Open an excel spreadsheet with valid data and try "
                            "again."));
            return false;
        }
        if (e != 0) return false;
    }
    yieldToWindow();
    const int dateRow = DateRow(rowOrder());
    const std::optional<QDateTime> d = ParseEntryDate(txtData[dateRow]->text());
    if (d) txtData[dateRow]->setText(d->toString("yyyy-MM-dd HH:mm"));
    lblTime[0]->setText(FormatHours(ElapsedHoursAt(d ? *d : p_.system.now(), p_.CurrentProject)));
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

// ---- Checks ---------------------------------------------------------------------------

int frmImportExcel::ValidateData() {
    p_.SkipRowCalculation = false;
    std::array<ImportRow, ItemCount> rows;
    for (int k = 0; k < ItemCount; ++k) {
        ImportRow& r = rows[size_t(k)];
        r.item = itemOfRow(k);
        r.caption = cbItem[size_t(k)]->currentText();
        r.text = txtData[k]->text();
        r.earlier1 = txtData[100 + k]->text();
        r.required = chkREQD[size_t(k)]->isChecked();
        r.keep = chkDefault[size_t(k)]->isChecked();
    }
    const ImportCheck c = CheckImportedRow(p_.CurrentProject, rows, lblTime[0]->text(), p_.IgnoreImportErrors,
                                           p_.DecimalSeparatorCode, Reading, p_.system.now());
    for (int k = 0; k < ItemCount; ++k)
        if (txtData[k]->text() != rows[size_t(k)].text) txtData[k]->setText(rows[size_t(k)].text);
    if (!c.messages.isEmpty()) flushBatch(); // no write lock is held while a message waits
    for (const QString& m : c.messages)
        say(m);
    if (c.elapsedCaption) lblTime[0]->setText(*c.elapsedCaption);
    if (c.panel2) setStatus(2, *c.panel2, true);
    if (c.panel4) setStatus(4, *c.panel4);
    if (c.focusRow >= 0) txtData[c.focusRow]->setFocus();
    p_.SkipRowCalculation = c.skipCalculation;
    return c.result;
}

void frmImportExcel::txtData_GotFocus(int Index) {
    if (Index > 24) return;
    txtData[Index]->selectAll();
    SavedEntryText = txtData[Index]->text();
}

void frmImportExcel::txtData_KeyPress(int Index, int& KeyAscii) {
    if (Index > 24) {
        say(GetMlString(517, "Data entry here is not allowed!"));
        KeyAscii = 0;
        return;
    }
    if (itemOfRow(Index) != item::TheDate)
        KeyAscii = NumericKeyFilter(KeyAscii, p_.DecimalSeparatorCode, true);
    if (KeyAscii != 13) return;
    KeyAscii = 0;
    if (Index == 24)
        cbEvent->setFocus();
    else if (!txtData[Index + 1]->isHidden())
        txtData[Index + 1]->setFocus();
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
        box->setText(SavedEntryText);
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
    lblTime[0]->setText(FormatHours(date ? ElapsedHoursAt(*date, p_.CurrentProject) : 0));
}

// ---- Saving ---------------------------------------------------------------------------

void frmImportExcel::yieldToWindow(bool force) {
    // The window is given a turn between rows; a batch is committed first, so that no
    // other window waits on the database while this one runs.
    if (!force && sinceYield_.isValid() && sinceYield_.elapsed() < BatchMs) {
        if (!sincePaint_.isValid() || sincePaint_.elapsed() >= PaintMs) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            sincePaint_.start();
        }
        return;
    }
    if (!flushBatch()) stopRequested_ = true;
    sinceYield_.start();
    QCoreApplication::processEvents();
}

bool frmImportExcel::flushBatch() {
    if (!batch_ || batch_->pending() == 0) return true;
    const int rows = batch_->pending();
    QString state;
    bool anyFailed = false;
    try {
        batch_->commit(state, anyFailed, [this] {
            say(GetMlString(602, "Calculation or calculated Data Storage Error ") + "0 " +
                "The calculated values could not be stored.");
        });
    } catch (const DbError& e) {
        batch_.reset();
        // The rows of the batch were not stored: the links go back to the first of them.
        ImportedRowCount -= rows;
        for (QLineEdit* box : txtScadaItem)
            if (const auto up = MoveReferenceUp(box->text(), rows)) box->setText(*up);
        say(SaveErrorText(e) + "\r\n\r\n" + QString::number(rows) +
            " rows were not stored; the links are back at the first of them.");
        setStatus(2, GetMlString(547, "A REQUIRED FIELD HAS NO DATA. SAVE FAILED!"), true);
        setStatus(3, GetMlString(1025, "Total Rows Imported = ") + QString::number(ImportedRowCount));
        return false;
    }
    setStatus(1, state);
    if (anyFailed && !p_.IgnoreImportErrors)
        setStatus(2, GetMlString(698, "Calculator returned and error. SAVE FAILED!"), true);
    return true;
}

bool frmImportExcel::SaveAllData() {
    const ProjectInfoRecord& cp = p_.CurrentProject;
    try {
        ReadingValues r = Reading;
        BalanceImportedReading(r, cp.NumBanks, cp.SystemData, p_.IgnoreImportErrors);
        const QString note = NoteForStorage(txtNotes->text());
        if (note != txtNotes->text()) txtNotes->setText(note);
        if (!batch_) batch_ = std::make_unique<ImportBatch>(p_);
        // Stored as it is shown, to the second, so the row is found by its date as well.
        r.TheDate = parseDbDate(dbDateText(r.TheDate));
        batch_->insert(r, std::max(cbEvent->currentIndex(), 0), note, p_.SkipRowCalculation);
        Reading = r;
    } catch (const DbError& e) {
        const bool kept = flushBatch();
        if (kept) {
            say(SaveErrorText(e));
            setStatus(2, GetMlString(547, "A REQUIRED FIELD HAS NO DATA. SAVE FAILED!"), true);
        }
        return false;
    }
    return true;
}

void frmImportExcel::RollOverData() {
    HistoryColumns h;
    std::array<bool, ItemCount> keep{};
    keep.fill(true); // the entry column stays until the next fetch
    for (int k = 0; k < ItemCount; ++k) {
        h.current[size_t(k)] = txtData[k]->text();
        h.earlier1[size_t(k)] = txtData[100 + k]->text();
        h.earlier2[size_t(k)] = txtData[200 + k]->text();
    }
    for (int t = 0; t < 3; ++t)
        h.times[size_t(t)] = lblTime[t]->text();
    RollOver(h, keep);
    for (int k = 0; k < ItemCount; ++k) {
        txtData[100 + k]->setText(h.earlier1[size_t(k)]);
        txtData[200 + k]->setText(h.earlier2[size_t(k)]);
    }
    lblTime[1]->setText(h.times[1]);
    lblTime[2]->setText(h.times[2]);
}

int frmImportExcel::advanceReferences() {
    int stored = -1;
    for (QLineEdit* box : txtScadaItem)
        if (const auto a = AdvanceCellReference(box->text())) {
            box->setText(a->text);
            stored = a->previousRow;
        }
    return stored;
}

void frmImportExcel::rewriteOtherRows(int dateRow) {
    for (int k = 0; k < ItemCount; ++k)
        if (k != dateRow && !txtData[k]->isHidden())
            txtData[k]->setText(GeneralNumber(ParsePercent(txtData[k]->text())));
}

// One pass of the import: check, store, roll over, advance. False when the run ends here.
bool frmImportExcel::importOneRow(bool allRows) {
    const int dateRow = DateRow(rowOrder());
    if (!ParseEntryDate(txtData[dateRow]->text())) {
        if (allRows) {
            cmdSave[0]->setEnabled(false);
        } else {
            setStatus(4, GetMlString(1029, "BAD DATE - Data Validation Failed. Current row not saved."));
            txtData[0]->setFocus();
        }
        return false;
    }
    yieldToWindow();
    const int r = ValidateData();
    if (p_.IgnoreImportErrors && r == -1000) {
        rewriteOtherRows(dateRow);
        p_.SkipRowCalculation = true;
    }
    if (r != -1 && r != -1000) {
        setStatus(4, GetMlString(1028, "Data Validation Failed. Current row not saved."));
        txtData[r]->setFocus();
        return false;
    }
    // A row that was not stored is neither rolled over, counted nor passed by the links.
    if (!SaveAllData()) return false;
    if (!allRows && !flushBatch()) return false;
    yieldToWindow();
    RollOverData();
    ++ImportedRowCount;
    const int sheetRow = advanceReferences();
    if (allRows) {
        setStatus(3, GetMlString(1025, "Total Rows Imported = ") + QString::number(ImportedRowCount));
        setStatus(4, GetMlString(1026, "Imported row # ") + QString::number(sheetRow) +
                         GetMlString(1027, " From Excel"));
    } else {
        setStatus(3, GetMlString(1026, "Imported row # ") + QString::number(sheetRow));
        setStatus(4, GetMlString(1025, "Total Rows Imported = ") + QString::number(ImportedRowCount));
    }
    return true;
}

void frmImportExcel::cmdSave_Click() {
    if (running_) return;
    running_ = true;
    stopRequested_ = false;
    sinceYield_.invalidate();
    if (OptImport[1]->isChecked()) {
        ImportedRowCount = 0;
        sinceYield_.start();
        while (!stopRequested_ && importOneRow(true)) {
            if (stopRequested_) break;
            // A fetch that failed leaves the row just stored in the boxes: the run ends
            // rather than store it again.
            if (!cmdTestPoll_Click()) break;
            yieldToWindow();
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
    if (closeAfterRun_) close();
}

void frmImportExcel::chkIgnore_Click() {
    if (SuppressIgnorePrompt) {
        SuppressIgnorePrompt = false;
        return;
    }
    if (p_.prompts.message("Save this setting as default?", Buttons::YesNo, Icon::Question, Title) ==
        Answer::Yes)
        WriteIniValue("Current Project", "Auto Data Entry Error Suppress", p_.IniFilePath,
                      chkIgnore->isChecked() ? "TRUE" : "FALSE");
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

void frmImportExcel::lblDataInfo_Click() {
    say(GetMlString(512, "Two choices for entering data were given in the Project Information Section. ") +
        "\r\n\r\n" +
        GetMlString(513,
                    "You chose SYSTEM LEVEL information so this means that PermFlwo, PermuS and "
                    "PermBackPress refer to the overall system data. The data items labeled PermuS_2, etc "
                    "refer to Bank 2). The correct values of PermuS Bank 1 and PermFlow Bank 1 are then "
                    "calculated and stored.") +
        "\r\n\r\n" + GetMlString(514, "You may change this in the project information section."));
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
    for (links::LinkClient* l : links)
        l->setLinkMode(0);
    p_.userStore.setValue("Locales", QString::number(p_.DecimalSeparatorCode));
    event->accept();
}

} // namespace hv
