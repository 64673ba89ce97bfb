#pragma once
#include <QSize>
#include <QStringList>

class QWidget;

// Whether a window shows every text whole, the one window check of every area's tests.
//
//   w->show();
//   const QStringList cut = hv::test::cutOffTexts(w);
//   QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
//
// Looks at every control the window shows (hidden ones and those of hidden parents are
// skipped) after its layouts have settled, and lists each text that does not fit:
//   - labels (a word-wrapped label needs the height its width gives), line edits, spin and
//     date boxes, push buttons, check boxes and radio buttons, group box titles;
//   - every item of a combo box, as the box shows it when the item is chosen;
//   - every tab caption, whole and within its bar (not behind the bar's scroll buttons);
//   - the header sections of item views, the entries of lists and the cells of tables and
//     trees, each within its column;
//   - text boxes (plain or rich) and scroll areas that have to scroll to show their content
//     (item views, which scroll their rows, are not counted);
//   - a text shortened with an ellipsis whose tooltip does not hold the whole text;
//   - a control that lies partly outside the window (not counting scrolled content), and
//     two text controls lying over each other.
// The window itself must fit a 1280 x 800 screen with a desktop's frame: at most
// MaxWindowSize, and no larger minimum size. Each entry names the control (object name,
// or class and text), the text and the widths that did not fit.
//
// typedFreely names the boxes (line edits, text boxes, tables) whose text is the user's own
// typing of any length: they scroll it, and only their place in the window is checked.
// With HEVRIN_SHOTS set to a folder, a picture of the window is saved there as it is checked.
namespace hv::test {

// A 1280 x 800 screen less what a desktop adds: side borders, a title bar and a panel.
inline constexpr QSize MaxWindowSize{1260, 760};

QStringList cutOffTexts(QWidget* window, const QStringList& typedFreely = {});

// Under the offscreen platform, gives it one screen of 1280 x 800, the size the windows are
// made for (its own is smaller). Call before the application object is made, as
// HV_FIT_TEST_MAIN does; elsewhere it does nothing.
void useScreenOf1280x800();

} // namespace hv::test

// QTEST_MAIN on a screen of 1280 x 800.
#define HV_FIT_TEST_MAIN(TestObject)                                                                         \
    int main(int argc, char* argv[]) {                                                                       \
        hv::test::useScreenOf1280x800();                                                                     \
        QApplication app(argc, argv);                                                                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                             \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }
