#pragma once
#include <QSize>
#include <QStringList>

class QWidget;

// Whether a window shows every text whole, for the window tests of every area.
//
//   w->show();
//   const QStringList cut = hv::test::cutOffTexts(w);
//   QVERIFY2(cut.isEmpty(), qPrintable(cut.join('\n')));
//
// Looks at every control the window shows (hidden ones and those of hidden parents are
// skipped) after its layouts have settled, and lists each text that does not fit:
//   - labels (a word-wrapped label needs the height its width gives), line edits, push
//     buttons, check boxes and radio buttons, group box titles, tab titles;
//   - every item of a combo box, as the box shows it when the item is chosen (only the
//     chosen one of a disabled box);
//   - the header sections of item views (tables, trees);
//   - a control that lies partly outside the window (not counting scrolled content).
//   - a scroll area whose content is larger than what it shows: a form that fits needs no
//     scrolling (item views, which scroll their rows, are not counted).
// The window itself must fit a 1280 x 800 screen with a desktop's frame: at most
// MaxWindowSize, and no larger minimum size. Each entry names the control (object name,
// or class and text), the text and the widths that did not fit.
namespace hv::test {

inline constexpr QSize MaxWindowSize{1270, 760};

QStringList cutOffTexts(QWidget* window);

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
