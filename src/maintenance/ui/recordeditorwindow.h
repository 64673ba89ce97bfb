#pragma once
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "maintenance/recordeditor.h"
#include "platform/ui/dropdowncombo.h"

class QGridLayout;
class QVBoxLayout;

namespace hv {

struct Program;
class DbError;

// The window every record editor is built on: bound boxes over one record set, the
// record buttons (Add / Edit / Update / Cancel / Delete / Refresh / Close), the navigation
// buttons around the "Record: n" label and the navigation keys. Boxes can be typed into
// only while a record is edited or added, so browsing never changes a record.
class RecordEditorWindow : public QWidget {
    Q_OBJECT
public:
    RecordEditorWindow(Program& p, const QString& caption, QWidget* parent = nullptr);
    ~RecordEditorWindow() override;

    std::map<int, QLineEdit*> txtFields;
    std::map<int, QLabel*> lblLabels;
    QWidget* picButtons = nullptr;
    QWidget* picStatBox = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdUpdate = nullptr;
    QPushButton* cmdEdit = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdRefresh = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdFirst = nullptr;
    QPushButton* cmdPrevious = nullptr;
    QPushButton* cmdNext = nullptr;
    QPushButton* cmdLast = nullptr;
    QLabel* lblStatus = nullptr;

    std::unique_ptr<RecordSet> adoPrimaryRS;
    bool EditMode = false;
    bool AddMode = false;
    qint64 SavedBookmark = 0; // the record Add left; 0 for none
    bool DataChanged = false;

    // Sounds the end-of-records beep; tests count it.
    std::function<void()> Beep;

    RecordMode mode() const;

    // Opens the window's records; false (its message shown) when they cannot be read,
    // and the window is then not shown.
    virtual bool Form_Load() = 0;

    virtual void cmdAdd_Click();
    virtual void cmdEdit_Click();
    virtual void cmdUpdate_Click();
    virtual void cmdCancel_Click();
    virtual void cmdDelete_Click();
    void cmdRefresh_Click();
    void cmdClose_Click();
    void cmdFirst_Click();
    void cmdPrevious_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void ToggleRecordButtons(bool browsing);
    // The window's key preview: the navigation keys while browsing.
    void Form_KeyDown(int key, Qt::KeyboardModifiers shift);

protected:
    // A bound box at `index` for `column` with its caption, placed in the grid.
    QLineEdit* addField(QGridLayout* grid, int row, int column, int index, const QString& dataField,
                        const QString& caption, bool enabled = true);
    // A bound box without a caption; the caller places it.
    QLineEdit* addBox(int index, const QString& dataField, bool enabled = true);
    // Widens a box so that it shows `sample` whole: the longest text its column holds.
    static void fitBoxTo(QLineEdit* box, const QString& sample);
    // Makes `rs` the window's record set and shows its first record.
    void bind(std::unique_ptr<RecordSet> rs);
    RecordSet& rs(); // error 91 when no record set is open
    void showRecord();
    void storeBoxes(); // the typed values into the pending record
    // Stores the pending record and goes back to browsing, on the new row after an add.
    void updateAndBrowse();
    // Runs a button's work; an error ends it with the editor's message.
    void trap(const std::function<void()>& work);
    virtual void reportError(const DbError& e);
    // The answer to "no current record" (3021); empty shows the error's own description.
    virtual QString noRecordText() const { return {}; }
    // "Record: " and the current record's position; an empty set shows position 0.
    QString positionText(const RecordSet& r) const;
    virtual void addDefaults() {}
    virtual void recordShown() {}   // after the boxes show the current record
    virtual void recordChanged() {} // after a row was stored or deleted
    virtual void Form_Unload() {}
    virtual bool keepsAddHidden() const { return false; }
    // Installs the key preview on every control; call after the controls exist.
    void finishForm();
    void message(const QString& text);
    // While a long deletion runs the strips are disabled and the window stays open.
    void setBusy(bool busy);
    // The project trains of the database in the list; the current project train is
    // selected when `selectCurrent` (none when it is not listed), else the first one.
    void fillProjectList(QComboBox* combo, Database& db, bool selectCurrent);
    // Opens the project database on the window's own connection and lists its projects with the
    // current one chosen; false, with the database's words shown, when it cannot be opened.
    bool openProjectList(std::unique_ptr<Database>& db, QComboBox* combo);
    // The selected entry's project train; nullopt when none is selected.
    static std::optional<TrainKey> chosenTrain(const QComboBox* combo);
    // The train GO opens; with none selected the window says so and it is nullopt.
    std::optional<TrainKey> trainToOpen(const QComboBox* combo);
    // The note over the boxes of a window that edits stored rows directly, in the body.
    QLabel* addDirectEditNote();

    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    Program& p_;
    QVBoxLayout* body_ = nullptr; // the editor's own controls go here, above the strips
    QString recordText_;          // "Record: "
    QString addText_;             // "Add record"
    bool busy_ = false;           // a long deletion runs; the window stays open until it ends

private:
    void setBoxesEditable(bool editable);
    // True when nothing typed is pending or the user lets it go (the edit is then cancelled).
    bool mayDiscardTyped();
    bool typed_ = false; // the user typed into a box since the edit began
    std::map<int, QString> dataFields_;
    std::map<int, QString> shown_;
};

} // namespace hv
