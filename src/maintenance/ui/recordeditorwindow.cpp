#include "maintenance/ui/recordeditorwindow.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "core/mlstring.h"
#include "core/program.h"
#include "platform/dberror.h"

namespace hv {

namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, int width) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setFixedSize(width, 24);
    b->setAutoDefault(false);
    return b;
}

} // namespace

RecordEditorWindow::RecordEditorWindow(Program& p, const QString& caption, QWidget* parent)
    : QWidget(parent), p_(p), recordText_(GetMlString(786, "Record: ")),
      addText_(GetMlString(787, "Add record")) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(caption);
    Beep = [] { QApplication::beep(); };

    auto* outer = new QVBoxLayout(this);
    body_ = new QVBoxLayout;
    outer->addLayout(body_, 1);

    picButtons = new QWidget(this);
    picButtons->setObjectName("picButtons");
    auto* strip = new QHBoxLayout(picButtons);
    strip->setContentsMargins(0, 0, 0, 0);
    cmdAdd = makeButton(picButtons, "cmdAdd", "&Add", 80);
    cmdUpdate = makeButton(picButtons, "cmdUpdate", "&Update", 80);
    cmdEdit = makeButton(picButtons, "cmdEdit", "&Edit", 80);
    cmdCancel = makeButton(picButtons, "cmdCancel", "&Cancel", 80);
    cmdDelete = makeButton(picButtons, "cmdDelete", "&Delete", 80);
    cmdRefresh = makeButton(picButtons, "cmdRefresh", "&Refresh", 80);
    cmdClose = makeButton(picButtons, "cmdClose", "&Close", 80);
    for (QPushButton* b : {cmdAdd, cmdUpdate, cmdEdit, cmdCancel, cmdDelete, cmdRefresh, cmdClose})
        strip->addWidget(b);
    strip->addStretch(1);
    cmdUpdate->hide();
    cmdCancel->hide();
    outer->addWidget(picButtons);

    picStatBox = new QWidget(this);
    picStatBox->setObjectName("picStatBox");
    auto* stat = new QHBoxLayout(picStatBox);
    stat->setContentsMargins(0, 0, 0, 0);
    stat->setSpacing(2);
    cmdFirst = makeButton(picStatBox, "cmdFirst", "|<", 28);
    cmdPrevious = makeButton(picStatBox, "cmdPrevious", "<", 28);
    lblStatus = new QLabel(picStatBox);
    lblStatus->setObjectName("lblStatus");
    lblStatus->setFrameShape(QFrame::Panel);
    lblStatus->setFrameShadow(QFrame::Sunken);
    cmdNext = makeButton(picStatBox, "cmdNext", ">", 28);
    cmdLast = makeButton(picStatBox, "cmdLast", ">|", 28);
    stat->addWidget(cmdFirst);
    stat->addWidget(cmdPrevious);
    stat->addWidget(lblStatus, 1);
    stat->addWidget(cmdNext);
    stat->addWidget(cmdLast);
    outer->addWidget(picStatBox);

    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(cmdEdit, &QPushButton::clicked, this, [this] { cmdEdit_Click(); });
    connect(cmdUpdate, &QPushButton::clicked, this, [this] { cmdUpdate_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });
    connect(cmdRefresh, &QPushButton::clicked, this, &RecordEditorWindow::cmdRefresh_Click);
    connect(cmdClose, &QPushButton::clicked, this, &RecordEditorWindow::cmdClose_Click);
    connect(cmdFirst, &QPushButton::clicked, this, &RecordEditorWindow::cmdFirst_Click);
    connect(cmdPrevious, &QPushButton::clicked, this, &RecordEditorWindow::cmdPrevious_Click);
    connect(cmdNext, &QPushButton::clicked, this, &RecordEditorWindow::cmdNext_Click);
    connect(cmdLast, &QPushButton::clicked, this, &RecordEditorWindow::cmdLast_Click);
}

RecordEditorWindow::~RecordEditorWindow() = default;

QString RecordEditorWindow::positionText(const RecordSet& r) const {
    return recordText_ + QString::number(r.recordCount() == 0 ? 0 : r.absolutePosition());
}

RecordMode RecordEditorWindow::mode() const {
    if (AddMode) return RecordMode::Adding;
    if (EditMode) return RecordMode::Editing;
    return RecordMode::Browsing;
}

QLineEdit* RecordEditorWindow::addField(QGridLayout* grid, int row, int column, int index,
                                        const QString& dataField, const QString& caption, bool enabled) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(QString("lblLabels_%1").arg(index));
    QLineEdit* box = addBox(index, dataField, enabled);
    grid->addWidget(label, row, column);
    grid->addWidget(box, row, column + 1);
    lblLabels[index] = label;
    return box;
}

QLineEdit* RecordEditorWindow::addBox(int index, const QString& dataField, bool enabled) {
    auto* box = new QLineEdit(this);
    box->setObjectName(QString("txtFields_%1").arg(index));
    box->setEnabled(enabled);
    box->setReadOnly(true);
    txtFields[index] = box;
    dataFields_[index] = dataField;
    // Only the user's own edits count; the window's defaults and shown values do not.
    connect(box, &QLineEdit::textEdited, this, [this] { typed_ = true; });
    return box;
}

void RecordEditorWindow::fitBoxTo(QLineEdit* box, const QString& sample) {
    // The text, the frame and the box's inner margins on both sides.
    box->setMinimumWidth(box->fontMetrics().horizontalAdvance(sample) + 16);
}

void RecordEditorWindow::finishForm() {
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    installEventFilter(this);
}

void RecordEditorWindow::bind(std::unique_ptr<RecordSet> rs) {
    adoPrimaryRS = std::move(rs);
    adoPrimaryRS->onMoveComplete = [this] {
        lblStatus->setText(positionText(*adoPrimaryRS));
        showRecord();
    };
    adoPrimaryRS->onChanged = [this] { recordChanged(); };
    lblStatus->setText(positionText(*adoPrimaryRS));
    showRecord();
}

RecordSet& RecordEditorWindow::rs() {
    if (!adoPrimaryRS) throw DbError(91, "Object variable or With block variable not set");
    return *adoPrimaryRS;
}

void RecordEditorWindow::showRecord() {
    shown_.clear();
    for (auto& [index, box] : txtFields) {
        const QString& column = dataFields_[index];
        QString text;
        // A box whose column the table lacks stays unbound.
        if (adoPrimaryRS && adoPrimaryRS->hasColumn(column) && adoPrimaryRS->rowRead())
            text = adoPrimaryRS->textFor(column);
        box->setText(text);
        box->setCursorPosition(0);
        shown_[index] = text;
    }
    recordShown();
}

void RecordEditorWindow::storeBoxes() {
    RecordSet& r = rs();
    for (auto& [index, box] : txtFields) {
        const QString& column = dataFields_[index];
        if (!r.hasColumn(column)) continue;
        // A box showing its first text again keeps the stored value, also after a refused
        // Update left another value pending.
        if (box->text() == shown_[index])
            r.discardChange(column);
        else
            r.setValue(column, r.valueFromText(column, box->text()));
    }
}

void RecordEditorWindow::setBoxesEditable(bool editable) {
    for (auto& [index, box] : txtFields)
        box->setReadOnly(!editable);
}

void RecordEditorWindow::message(const QString& text) {
    p_.prompts.message(text, Buttons::OK, Icon::None, Title);
}

bool RecordEditorWindow::openProjectList(std::unique_ptr<Database>& db, QComboBox* combo) {
    try {
        db = std::make_unique<Database>(Database::open(p_.ProjectDatabasePath));
        fillProjectList(combo, *db, true);
    } catch (const DbError& e) {
        message(e.description());
        return false;
    }
    return true;
}

void RecordEditorWindow::fillProjectList(QComboBox* combo, Database& db, bool selectCurrent) {
    const std::vector<TrainKey> keys = ListProjectTrainKeys(db);
    combo->clear();
    int selected = -1;
    for (const TrainKey& k : keys) {
        combo->addItem(ProjectTrainText(k), QVariantList{k.projectId, k.train});
        if (k.projectId == p_.CurrentProject.ProjectID && k.train == p_.CurrentProject.TrainNumber)
            selected = combo->count() - 1;
    }
    if (!selectCurrent && combo->count() > 0) selected = 0;
    combo->setCurrentIndex(selected);
}

std::optional<TrainKey> RecordEditorWindow::chosenTrain(const QComboBox* combo) {
    if (combo->currentIndex() < 0) return std::nullopt;
    const QVariantList key = combo->currentData().toList();
    if (key.size() != 2) return std::nullopt;
    return TrainKey{key[0].toString(), qint16(key[1].toInt())};
}

std::optional<TrainKey> RecordEditorWindow::trainToOpen(const QComboBox* combo) {
    std::optional<TrainKey> key = chosenTrain(combo);
    if (!key) message(GetMlString(548, "No projects found.  Check that you have the correct database path."));
    return key;
}

QLabel* RecordEditorWindow::addDirectEditNote() {
    auto* note = new QLabel("Select the desired PROJECTID above and then select the desired train number "
                            "of multiple trains exist. "
                            "Use this form to DIRECTLY edit the stored data. Choose EDIT button below and "
                            "reenter as desired. Update "
                            "to end.  No Data Validation is done, so be careful to enter reasonable data.",
                            this);
    note->setObjectName("lblReference");
    note->setWordWrap(true);
    body_->addWidget(note);
    return note;
}

void RecordEditorWindow::setBusy(bool busy) {
    busy_ = busy;
    picButtons->setEnabled(!busy);
    picStatBox->setEnabled(!busy);
}

void RecordEditorWindow::reportError(const DbError& e) {
    const QString own = noRecordText();
    message(e.number() == dberr::NoCurrentRecord && !own.isEmpty() ? own : e.description());
}

void RecordEditorWindow::trap(const std::function<void()>& work) {
    try {
        work();
    } catch (const DbError& e) {
        reportError(e);
    }
}

void RecordEditorWindow::ToggleRecordButtons(bool browsing) {
    if (!keepsAddHidden()) cmdAdd->setVisible(browsing);
    for (QPushButton* b : {cmdEdit, cmdDelete, cmdClose, cmdRefresh})
        b->setVisible(browsing);
    cmdUpdate->setVisible(!browsing);
    cmdCancel->setVisible(!browsing);
    for (QPushButton* b : {cmdNext, cmdFirst, cmdLast, cmdPrevious})
        b->setEnabled(browsing);
    setBoxesEditable(!browsing);
    typed_ = false;
}

void RecordEditorWindow::cmdAdd_Click() {
    trap([this] {
        RecordSet& r = rs();
        if (!(r.bof() && r.eof())) SavedBookmark = r.bookmark();
        r.addNew();
        lblStatus->setText(addText_);
        addDefaults();
        AddMode = true;
        ToggleRecordButtons(false);
    });
}

void RecordEditorWindow::cmdEdit_Click() {
    trap([this] {
        rs();
        lblStatus->setText(GetMlString(790, "Edit record"));
        EditMode = true;
        ToggleRecordButtons(false);
    });
}

void RecordEditorWindow::cmdUpdate_Click() {
    trap([this] {
        storeBoxes();
        updateAndBrowse();
    });
}

void RecordEditorWindow::updateAndBrowse() {
    RecordSet& r = rs();
    r.update();
    if (AddMode)
        r.moveLast();
    else
        showRecord();
    // Browsing again: the label names the record, not the edit.
    lblStatus->setText(positionText(r));
    EditMode = false;
    AddMode = false;
    ToggleRecordButtons(true);
}

void RecordEditorWindow::cmdCancel_Click() {
    const bool adding = AddMode;
    ToggleRecordButtons(true);
    EditMode = false;
    AddMode = false;
    if (!adoPrimaryRS) return;
    // An edit let go shows its record as stored; an add the record it left.
    const qint64 back = adding ? SavedBookmark : adoPrimaryRS->bookmark();
    adoPrimaryRS->cancelUpdate();
    try {
        if (back > 0 && adoPrimaryRS->setBookmark(back)) return;
        adoPrimaryRS->moveFirst();
    } catch (const DbError& e) {
        // Nothing left to show, or the record could not be read again: the boxes show nothing
        // rather than what was let go, and a move reads it again.
        showRecord();
        lblStatus->setText(positionText(*adoPrimaryRS));
        if (adoPrimaryRS->recordCount() > 0) message(e.description());
    }
}

void RecordEditorWindow::cmdDelete_Click() {
    trap([this] {
        RecordSet& r = rs();
        r.deleteCurrent();
        if (r.eof()) r.moveLast();
    });
}

void RecordEditorWindow::cmdRefresh_Click() {
    trap([this] { rs().requery(); });
}

void RecordEditorWindow::cmdClose_Click() {
    close();
}

void RecordEditorWindow::cmdFirst_Click() {
    trap([this] { rs().moveFirst(); });
}

void RecordEditorWindow::cmdLast_Click() {
    trap([this] { rs().moveLast(); });
}

void RecordEditorWindow::cmdNext_Click() {
    trap([this] {
        RecordSet& r = rs();
        if (!r.eof()) r.moveNext();
        if (r.eof() && r.recordCount() > 0) {
            Beep();
            r.moveLast();
        }
    });
}

void RecordEditorWindow::cmdPrevious_Click() {
    trap([this] {
        RecordSet& r = rs();
        if (!r.bof()) r.movePrevious();
        if (r.bof() && r.recordCount() > 0) {
            Beep();
            r.moveFirst();
        }
    });
}

void RecordEditorWindow::Form_KeyDown(int key, Qt::KeyboardModifiers shift) {
    if (EditMode || AddMode || busy_) return;
    const bool ctrlOnly =
        (shift & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == Qt::ControlModifier;
    switch (key) {
    case Qt::Key_Escape:
        cmdClose_Click();
        break;
    case Qt::Key_End:
        cmdLast_Click();
        break;
    case Qt::Key_Home:
        cmdFirst_Click();
        break;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        if (ctrlOnly)
            cmdFirst_Click();
        else
            cmdPrevious_Click();
        break;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        if (ctrlOnly)
            cmdLast_Click();
        else
            cmdNext_Click();
        break;
    default:
        break;
    }
}

bool RecordEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        // Only the control the key was sent to previews it, not the parents it bubbles to.
        QWidget* focus = QApplication::focusWidget();
        const bool target = watched == focus || (watched == this && (!focus || !isAncestorOf(focus)));
        if (target) {
            auto* k = static_cast<QKeyEvent*>(event);
            // An open list takes its own navigation keys.
            auto* combo = qobject_cast<QComboBox*>(watched);
            if (!(combo && combo->view() && combo->view()->isVisible()))
                Form_KeyDown(k->key(), k->modifiers());
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool RecordEditorWindow::mayDiscardTyped() {
    if (!typed_) return true;
    if (p_.prompts.message("The values you typed have not been saved. Close and lose them?", Buttons::YesNo,
                           Icon::Question, Title) != Answer::Yes)
        return false;
    cmdCancel_Click();
    return true;
}

void RecordEditorWindow::closeEvent(QCloseEvent* event) {
    if (busy_ || !mayDiscardTyped()) {
        event->ignore();
        return;
    }
    QApplication::restoreOverrideCursor();
    Form_Unload();
    event->accept();
}

} // namespace hv
