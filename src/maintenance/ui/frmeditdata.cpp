#include "maintenance/ui/frmeditdata.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLocale>
#include <QSignalBlocker>
#include <algorithm>

#include "core/mlstring.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "maintenance/exchangefile.h"

namespace hv {

namespace {

// The editor's boxes by index: the key columns, the values of the exchange file's reading lines
// up to TurbidityRaw, the note, the bank 3 values, and the specific-flux columns.
const QStringList& Columns() {
    static const QStringList names = [] {
        const QStringList file = ExchangeDataColumns(false);
        const qsizetype from = file.indexOf("ElapsedTimeHrs"), note = file.indexOf("TurbidityRaw") + 1;
        QStringList c = QStringList{"ProjectID", "TrainNumber", "TheDate"} + file.mid(from, note - from);
        c << "Note1";
        for (QString name : file.mid(note)) {
            // The file keeps its writer's spelling; the caption shows the column's own.
            if (name == QLatin1String("PermBackpress_3")) name = QStringLiteral("PermBackPress_3");
            c << name;
        }
        return c + QStringList{"SpecFlux", "SpecFlux_1", "SpecFlux_2", "SpecFlux_3"};
    }();
    return names;
}

QString caption(int index) {
    static const char* SpecFlux[] = {"System Specific Flux", "Bank 1 Specific Flux", "Bank 2 Specific Flux",
                                     "Bank 3 Specific Flux"};
    if (index >= 62) return SpecFlux[index - 62];
    if (index >= 51) return Columns()[index];
    return Columns()[index] + ":";
}

const QString RecalcTitle = "RECALCULATION MAY BE REQUIRED";

// The picker shows its date as ShortDateTimeText writes it: the computer's short date form
// with a four-digit year, seconds only where the date has them.
QString pickerForm(bool seconds) {
    QString f = QLocale().dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy"))) f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f + (seconds ? QStringLiteral(" HH:mm:ss") : QStringLiteral(" HH:mm"));
}

} // namespace

frmEditData::frmEditData(Program& p, QWidget* parent) : RecordEditorWindow(p, "Data", parent) {
    recordText_ = "Record: ";
    addText_ = "Add record";

    auto* top = new QHBoxLayout;
    cbProject = new DropDownCombo(this);
    cbProject->setObjectName("cbProject");
    cbProject->setMinimumWidth(240);
    cmdGo = new QPushButton("GO", this);
    cmdGo->setObjectName("cmdGo");
    Label1 = new QLabel("Skip to Date ==>", this);
    Label1->setObjectName("Label1");
    cmdSkip = new QPushButton("Skip to:", this);
    cmdSkip->setObjectName("cmdSkip");
    DTPicker1 = new QDateTimeEdit(this);
    DTPicker1->setObjectName("DTPicker1");
    DTPicker1->setCalendarPopup(true);
    DTPicker1->setDisplayFormat(pickerForm(false));
    DTPicker1->setToolTip(ShortDateTimeHint());
    cmdDelAll = new QPushButton("Delete ALL DATA Records in Current Project and Train Number", this);
    cmdDelAll->setObjectName("cmdDelAll");
    Command1 = new QPushButton("Close/Exit", this);
    Command1->setObjectName("Command1");
    for (QPushButton* b : {cmdGo, cmdSkip, cmdDelAll, Command1})
        b->setAutoDefault(false);
    top->addWidget(cbProject);
    top->addWidget(cmdGo);
    top->addSpacing(12);
    top->addWidget(Label1);
    top->addWidget(cmdSkip);
    top->addWidget(DTPicker1);
    top->addStretch(1);
    top->addWidget(Command1);
    body_->addLayout(top);

    auto* second = new QHBoxLayout;
    second->addWidget(cmdDelAll);
    const char* del[] = {"Deleting", "", "of"};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(del[i], this);
        l->setObjectName(QString("lblDel_%1").arg(i));
        l->hide();
        second->addWidget(l);
        lblDel.push_back(l);
    }
    second->addStretch(1);
    body_->addLayout(second);

    lblReference = addDirectEditNote();

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    constexpr int PerRow = 4;
    int row = 0;
    for (int i = 0; i <= 50; ++i)
        addField(grid, i / PerRow, (i % PerRow) * 2, i, Columns()[i], caption(i));
    row = 50 / PerRow + 1;
    Label2 = new QLabel("Bank 3 Information", this);
    Label2->setObjectName("Label2");
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);
    grid->addWidget(Label2, row++, 0, 1, 2);
    for (int i = 51; i < int(Columns().size()); ++i) {
        const int k = i - 51;
        addField(grid, row + k / PerRow, (k % PerRow) * 2, i, Columns()[i], caption(i));
    }
    for (int c = 1; c < PerRow * 2; c += 2)
        grid->setColumnStretch(c, 1);
    txtFields[2]->setToolTip(ShortDateTimeHint());
    // A project ID of 20 characters and a date to the second show whole.
    fitBoxTo(txtFields[0], QString(20, QLatin1Char('N')));
    fitBoxTo(txtFields[2], ShortDateTimeText(QDateTime(QDate(2000, 12, 28), QTime(23, 58, 58))));
    body_->addLayout(grid);
    cmdAdd->setEnabled(false);
    cmdAdd->hide();
    resize(1240, 700);
    finishForm();

    connect(cmdGo, &QPushButton::clicked, this, &frmEditData::cmdGo_Click);
    connect(cmdSkip, &QPushButton::clicked, this, &frmEditData::cmdSkip_Click);
    connect(cmdDelAll, &QPushButton::clicked, this, &frmEditData::cmdDelAll_Click);
    connect(Command1, &QPushButton::clicked, this, &frmEditData::cmdClose_Click);
    connect(cbProject, &DropDownCombo::dropDown, this, &frmEditData::cbProject_DropDown);
    connect(cbProject, &QComboBox::activated, this, &frmEditData::cbProject_Change);
    connect(DTPicker1, &QDateTimeEdit::dateTimeChanged, this, &frmEditData::DTPicker1_Change);
}

bool frmEditData::Form_Load() {
    if (!openProjectList(db_, cbProject)) return false;
    cmdGo_Click();
    return true;
}

void frmEditData::setRecordButtons(bool enabled, bool navigation) {
    for (QPushButton* b : {cmdDelete, cmdUpdate, cmdEdit})
        b->setEnabled(enabled);
    if (navigation)
        for (QPushButton* b : {cmdNext, cmdFirst, cmdPrevious, cmdLast})
            b->setEnabled(enabled);
}

void frmEditData::cmdGo_Click() {
    if (EditMode || AddMode || busy_) return;
    const std::optional<TrainKey> key = trainToOpen(cbProject);
    if (!key) return;
    SelectedProjectID = key->projectId;
    SelectedTrainNumber = key->train;
    const QStringList& columns = Columns();
    try {
        auto rs = TrainReadingRecords(*db_, columns, SelectedProjectID, SelectedTrainNumber);
        // Before the first reading is shown, so that its date is in the computer's form too.
        rs->setDateColumns({"TheDate"});
        bind(std::move(rs));
        // An edit keeps the reading under a project train, one reading per train and date.
        adoPrimaryRS->beforeUpdate = [this](const RecordSet& r) {
            if (!r.changed("ProjectID") && !r.changed("TrainNumber") && !r.changed("TheDate")) return;
            const QString why = ReadingKeyRefusal(*db_, r.bookmark(), r.value("ProjectID"),
                                                  r.value("TrainNumber"), r.value("TheDate"));
            if (!why.isEmpty()) throw DbError(dberr::InvalidArgument, why);
        };
        // The newest reading first.
        if (adoPrimaryRS->recordCount() > 1) adoPrimaryRS->moveLast();
    } catch (const DbError& e) {
        message(e.description());
        return;
    }
    const QDateTime shown =
        adoPrimaryRS->hasCurrent() ? parseDbDate(adoPrimaryRS->value("TheDate").toString()) : QDateTime();
    {
        // Presetting the picker is not a jump.
        QSignalBlocker block(DTPicker1);
        const QDateTime preset = (shown.isValid() ? shown : p_.system.now()).addDays(-30);
        DTPicker1->setDisplayFormat(pickerForm(preset.time().second() != 0));
        DTPicker1->setDateTime(preset);
    }
    setRecordButtons(true, true);

    try {
        const QHash<QString, QString> captions = UserDefinedCaptions(*db_, SelectedProjectID);
        const std::pair<int, const char*> labels[] = {
            {43, "ORP"}, {45, "SDIFeed"}, {46, "SDIRaw"}, {48, "TurbidityFeed"}, {49, "TurbidityRaw"}};
        // A caption the project lacks leaves the label as it was.
        for (const auto& [index, column] : labels)
            if (const auto c = captions.constFind(QLatin1String(column)); c != captions.cend())
                lblLabels[index]->setText(*c);
    } catch (const DbError& e) {
        message(e.description());
    }
}

void frmEditData::cbProject_Change() {
    setRecordButtons(false, false);
}

void frmEditData::cbProject_DropDown() {
    setRecordButtons(false, true);
    QCoreApplication::processEvents();
}

void frmEditData::SkipToDate() {
    // While Delete ALL runs the readings go; the jump waits for it.
    if (!adoPrimaryRS || adoPrimaryRS->recordCount() == 0 || EditMode || AddMode || busy_) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The reading jumped to may have been deleted meanwhile (another window, another program).
    trap([this] {
        std::vector<QDateTime> dates;
        dates.reserve(size_t(adoPrimaryRS->recordCount()));
        for (int i = 0; i < adoPrimaryRS->recordCount(); ++i) {
            const QVariant v = adoPrimaryRS->valueAt(i, "TheDate");
            dates.push_back(conv::isNull(v) ? QDateTime() : parseDbDate(v.toString()));
        }
        const int target = SkipToDateIndex(dates, std::max(0, adoPrimaryRS->index()), DTPicker1->dateTime());
        if (target >= 0) adoPrimaryRS->moveTo(target);
    });
    QApplication::restoreOverrideCursor();
}

void frmEditData::DTPicker1_KeyPress(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    if (!DTPicker1->dateTime().isValid()) {
        message("Not a valid date");
        return;
    }
    SkipToDate();
}

void frmEditData::DTPicker1_Change() {
    if (DTPicker1->dateTime().isValid()) SkipToDate();
}

void frmEditData::cmdDelAll_Click() {
    if (busy_ || EditMode || AddMode) return;
    if (!adoPrimaryRS || adoPrimaryRS->recordCount() == 0) {
        message("No records to delete.");
        return;
    }
    const int total = adoPrimaryRS->recordCount();
    lblDel[0]->setText("Deleting");
    lblDel[1]->setText("Waiting for OK");
    lblDel[2]->setText("of " + QString::number(total));
    for (QLabel* l : lblDel)
        l->show();
    qint64 deleted = 0;
    if (p_.prompts.message("Are you sure?", Buttons::OKCancel, Icon::None, Title) == Answer::OK) {
        std::vector<qint64> ids;
        ids.reserve(size_t(total));
        for (int i = 0; i < total; ++i)
            ids.push_back(adoPrimaryRS->valueAt(i, "ID").toLongLong());
        setBusy(true);
        try {
            DeleteRowsById(*db_, "Data", ids, [this, &deleted](qint64 n) {
                deleted = n;
                lblDel[1]->setText(QString::number(n));
                QCoreApplication::processEvents();
            });
        } catch (const DbError& e) {
            message(e.description());
        }
        setBusy(false);
        if (deleted > 0) recordChanged();
        try {
            adoPrimaryRS->requery();
        } catch (const DbError& e) {
            message(e.description());
        }
    }
    message("Deleted " + QString::number(deleted) + " records!");
    for (QLabel* l : lblDel)
        l->hide();
}

void frmEditData::cmdDelete_Click() {
    // The shown readings must be those of the chosen project train.
    const std::optional<TrainKey> key = chosenTrain(cbProject);
    if (adoPrimaryRS && (!key || key->projectId != SelectedProjectID || key->train != SelectedTrainNumber)) {
        message(GetMlString(788, "Please select the 'GO' button first to validate your selection"));
        return;
    }
    RecordEditorWindow::cmdDelete_Click();
}

QString frmEditData::noRecordText() const {
    return GetMlString(789, "No more records left");
}

void frmEditData::recordChanged() {
    DataChanged = true;
    const TrainKey k{SelectedProjectID, SelectedTrainNumber};
    if (std::find(ChangedTrains.begin(), ChangedTrains.end(), k) == ChangedTrains.end())
        ChangedTrains.push_back(k);
}

void frmEditData::Form_Unload() {
    if (!DataChanged) return;
    const TrainKey current{p_.CurrentProject.ProjectID, p_.CurrentProject.TrainNumber};
    const bool currentChanged =
        std::find(ChangedTrains.begin(), ChangedTrains.end(), current) != ChangedTrains.end();
    QStringList others;
    for (const TrainKey& k : ChangedTrains)
        if (!(k == current)) others << ProjectTrainText(k);
    const QString note =
        others.isEmpty() ? QString() : "\r\n\r\nReadings were changed in: " + others.join(", ") + ".";
    const QString lead =
        "If you changed any raw data that will affect normalization you should recalculate the "
        "project.\r\n\r\n";
    const QString how =
        " go to 'Projects' an the Hevrin main menu and select\r\n'Recalculate the Current Project.' "
        "This process will normalize any changed data in your project.";
    if (!currentChanged) {
        p_.prompts.message(lead + "To recalculate your project data," + how + note, Buttons::OK, Icon::None,
                           RecalcTitle);
    } else {
        const Answer a = p_.prompts.message(
            lead + "To recalculate your project data later," + how + note +
                "\r\n\r\nSelect YES to recalculate immediately, NO to exit without recalculating.",
            Buttons::YesNo, Icon::None, RecalcTitle);
        if (a == Answer::Yes) {
            if (QWidget* main = p_.windows.find("frmMain")) {
                main->raise();
                main->activateWindow();
            }
            try {
                if (p_.RecalculateProject) p_.RecalculateProject(current.projectId, current.train);
            } catch (const RunError& e) {
                message("Error #" + QString::number(e.number()) + " " + e.description());
            }
        }
    }
    DataChanged = false;
    ChangedTrains.clear();
}

bool frmEditData::eventFilter(QObject* watched, QEvent* event) {
    auto* w = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress && w && w == QApplication::focusWidget() &&
        (w == DTPicker1 || DTPicker1->isAncestorOf(w))) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) return RecordEditorWindow::eventFilter(watched, event);
        DTPicker1_KeyPress(key);
        return QWidget::eventFilter(watched, event); // the picker keeps its other keys
    }
    return RecordEditorWindow::eventFilter(watched, event);
}

} // namespace hv
