#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <vector>

#include "collection/entryhistory.h"
#include "collection/inputconfig.h"
#include "collection/reading.h"
#include "collection/readingcheck.h"
#include "collection/readingitems.h"
#include "collection/rowlinks.h"
#include "platform/dberror.h"

class QCloseEvent;

namespace hv {

struct Program;

// What the data entry window and the spreadsheet import share: the 25 input rows with
// their item choosers, value, history and reference boxes, link boxes and flags, the
// project line, the event and notes line, the status bar, and the rules of the value
// boxes and the item order.
class EntryForm : public QWidget {
    Q_OBJECT
public:
    EntryForm(Program& p, const QString& name, const QString& caption, QWidget* parent);

    // Input rows, indexed by row 0-24.
    std::vector<QCheckBox*> chkREQD, chkDefault, chkScada;
    std::vector<QComboBox*> cbItem;
    std::vector<QLabel*> lblUnits;
    std::vector<QLineEdit*> txtScadaApp, txtScadaTopic, txtScadaItem;
    // Value boxes: k new value, k+100 newest reading, k+200 the one before, k+300 reference.
    std::map<int, QLineEdit*> txtData;
    std::map<int, QLabel*> lblTime; // 0-3 elapsed hours of the columns

    QLabel* lblProject = nullptr;
    QLabel* lblProjectID = nullptr;
    QLineEdit* txtTrain = nullptr;
    QLabel* lblTrain = nullptr;
    QLabel* lblDataInfo = nullptr;
    QLabel* lblEvent = nullptr;
    QComboBox* cbEvent = nullptr;
    QLabel* lblNotes = nullptr;
    QLineEdit* txtNotes = nullptr;
    QPushButton* cmdClose = nullptr;
    QPushButton* cmdSaveConfig = nullptr;
    QPushButton* cmdDefault = nullptr;
    QPushButton* cmdTestPoll = nullptr;
    QCheckBox* chkUseScada = nullptr;
    std::vector<QRadioButton*> optScada;
    QLineEdit* txtSaveInterval = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::vector<QLabel*> panels; // StatusBar1's panels 1-4 at 0-3

    QStringList ItemCaptions;
    QStringList ItemFields;
    UserItems UserUnits;
    ReadingValues Reading;
    QString LastFieldText; // the text a value box held when it got the focus

    QLabel* panel(int n) const { return panels[size_t(n - 1)]; }
    void lblDataInfo_Click();
    void setVisible(bool visible) override;

    // True when the 25 rows show 25 different items; colours the choosers and rebuilds
    // the rows for the order shown. Runs when a chooser's list opens or a chooser is left.
    virtual bool CheckAllDifferent() = 0;
    void cbItem_DropDown(int Index);
    void cbItem_LostFocus(int Index);
    void txtData_GotFocus(int Index);
    void txtData_KeyPress(int Index, int& KeyAscii);
    virtual void txtData_LostFocus(int Index) = 0;

protected:
    // The grid columns of a row's controls; the four value columns follow `values`.
    struct RowColumns {
        int required, item, units, values, keep, link, application, topic, cell;
        int valueWidth, applicationWidth, topicWidth, cellWidth;
    };

    QHBoxLayout* buildProjectLine();
    void buildRow(QGridLayout* grid, int gridRow, int k, const RowColumns& c);
    QHBoxLayout* buildNotesLine();
    // Two options of which one holds, `name`_0 and `name`_1, in a group of their own.
    void optionPair(std::vector<QRadioButton*>& options, const char* name, const char* first,
                    const char* second, int on);
    // The links box, its two link options (`optScada`) and the interval box, for the
    // window's own layout.
    void buildPollingControls(const char* automatic, const char* polled);
    void buildStatusBar();
    QPushButton* button(const QString& text, const QString& name);
    QLabel* label(const QString& text, const QString& name);
    // Typed, pasted or dropped text of the value boxes and the interval box is filtered
    // alike; the value boxes' focus and keys go to the handlers below.
    void connectEntryBoxes();
    bool entryBoxEvent(QObject* watched, QEvent* event);

    void say(const QString& text);
    // Work no person started (the clock's poll and save) waits on nobody: what it would say
    // goes to sayUnattended, which shows it without a message box.
    virtual bool unattended() const { return false; }
    virtual void sayUnattended(const QString& text) { (void)text; }
    // Whether the window may close: typed values or links that were not stored are lost
    // only when the user says so.
    bool mayDiscardTyped();
    // The date box of row `k` left: a text that is no date asks to type it again (the box
    // keeps the focus: `retype`) or takes back what the box held; a date older than the newest
    // reading's asks `olderQuestion` when `askOlder`, Cancel giving the box the focus again.
    struct DateLeft {
        bool retype = false;
        std::optional<QDateTime> date;
    };
    DateLeft leaveDateBox(int k, const QString& olderQuestion, bool askOlder);
    // Typing into the value boxes, and into the link boxes or their ticks, counts as input
    // not stored until a save stores it.
    void watchTyping();
    bool valuesTyped_ = false;
    bool linksTyped_ = false;
    // A failure of the database in its own words: what failed, then its number and text.
    static QString failureText(const QString& what, const RunError& e);
    void sayFailure(const QString& what, const RunError& e);
    // "Updated OK!" once `store` has stored the order, else what failed; an order that
    // shows an item twice is refused, naming the item, and `store` does not run.
    // True when it stored.
    bool storeOrder(const std::function<void()>& store);
    // A warnings box's click: unless the load is setting it (`suppressPrompt`), asks
    // whether to keep it as the default under `key` of section "Current Project".
    // False when the load set it.
    bool offerAsDefault(bool& suppressPrompt, const char* key, bool on);
    // Ticks `box` as the setting `key` of section "Current Project" says, asking nothing.
    void tickFromSetting(QCheckBox* box, bool& suppressPrompt, const char* key);

    void setStatus(int n, const QString& text, bool wide = false);
    int itemOfRow(int k) const;
    RowOrder rowOrder() const;
    // The required and keep flags and texts of every row, as the checks read them; a
    // hidden required box counts when `hiddenRequired`.
    std::array<EntryRow, ItemCount> entryRows(bool hiddenRequired) const;
    // The entry texts after the checks filled required rows.
    void takeEntryTexts(const std::array<EntryRow, ItemCount>& rows);

    // Every item chooser offers the item captions.
    void fillItemChoosers();
    // The current project and train on the project line, and the stored order of
    // `projectId` for the current train in the choosers (the identity order without one).
    void showOrder(const QString& projectId);
    // The data note and the train boxes; the unit label of every row from `unitLabel`.
    void showProjectNotes();
    void showUnitLabels(const std::function<UnitLabel(int item)>& unitLabel);
    // Shows or hides a row's item chooser, value boxes, unit label, flags and link boxes.
    void showRowControls(int k, bool visible);
    // Rows by bank count: three banks show every row again, fewer hide the rows of the
    // items they lack; `shown` hears of each row so changed.
    void showRowsForBanks(const std::function<void(int k, bool visible)>& shown);
    // The stored link rows, matched to the rows by item, or the built-in ones when none
    // is stored; `apply` sets what else a window keeps of a row.
    void showLinkRows(const std::vector<ScadaRow>& stored,
                      const std::function<void(int k, const ScadaRow& s)>& apply);
    // A row's link settings as the boxes show them.
    ScadaRow linkRow(int k) const;
    // The history and reference columns from `h`, and the elapsed hours of columns 1-3.
    void showHistory(const EntryHistory& h);
    static void put(QLineEdit* box, const std::optional<QString>& text);
    // Colours repeated item choices and enables "save configuration" when none repeats.
    bool markRepeatedItems();
    // Only the colours; true when no item repeats.
    bool colourRepeatedItems();
    // Applies `apply` to every row whose item's column name is `field`.
    void forRowsOfField(const QString& field, const std::function<void(int k)>& apply);
    // The entry and history columns as shown, with their elapsed hours, and the same shown.
    HistoryColumns shownColumns() const;
    void showColumns(const HistoryColumns& h);
    // Shifts the history columns; the entry column is cleared where `keep` is false.
    void rollOverHistory(const std::array<bool, ItemCount>& keep);
    // The texts of the 25 entry boxes.
    std::array<QString, ItemCount> entryTexts() const;
    void setEntryTexts(const std::array<QString, ItemCount>& texts);
    // What each row's link boxes say it links to.
    std::vector<RowLink> rowLinks() const;

    // Sets up the rows' links as OpenRowLinks does. A link waits for its program in the
    // event loop, where a close may arrive: the window closes then once every link is set
    // up, not under the handler still running, and `closed_` tells that handler so.
    RowLinkFailure openLinks(const std::vector<links::LinkClient*>& clients, bool automatic,
                             bool stopOnAnyFailure);
    // The same for the links `rows` give rather than the boxes.
    RowLinkFailure openLinks(const std::vector<links::LinkClient*>& clients, const std::vector<RowLink>& rows,
                             bool automatic, bool stopOnAnyFailure);
    // Sets up the links for `rows` and fetches each linked row into its text in `texts`. A
    // program that is not there or does not answer in time ends it at set-up.
    RowFetchFailure fetchLinkedRows(const std::vector<links::LinkClient*>& clients,
                                    const std::vector<RowLink>& rows, bool automatic,
                                    std::array<QString, ItemCount>& texts);
    // True, with the close kept for later, while links are being set up.
    bool keepCloseForLinks(QCloseEvent* event);
    bool closed_ = false; // set by the window's close once accepted

    // Focus that moves between our own controls; a window losing or regaining the
    // activation (a message box opening or closing) is no entering or leaving of a box.
    static bool movesWithinWindow(const QEvent* e);

    Program& p_;
    QVBoxLayout* root_ = nullptr;
    bool unloaded_ = false;

private:
    int linkSetUps_ = 0;
    bool closeAfterLinks_ = false;
};

} // namespace hv
