#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QStyle>
#include <QTabBar>
#include <QtTest>

#include "core/units.h"
#include "graphs/ui/dlgprint2.h"
#include "graphs/ui/frmeditsavedgraphs.h"
#include "graphs/ui/frmgraphconfig.h"
#include "graphs/ui/frmgraphs.h"
#include "graphs/ui/frmprintgraph.h"
#include "graphs/ui/frmsavegraph.h"
#include "graphs/ui/graphimagewindows.h"
#include "graphtestsupport.h"

using namespace hv;
using namespace hv::test;

namespace {

QString plain(QString text) {
    return text.remove(QRegularExpression("&(?!&)"));
}

// Every visible text of the window that its box cuts: "name: needs W x H, has w x h".
QStringList cutTexts(QWidget* window) {
    QStringList out;
    auto check = [&](QWidget* w, QSize need) {
        if (w->width() < need.width() || w->height() < need.height())
            out << QString("%1: needs %2 x %3, has %4 x %5")
                       .arg(w->objectName())
                       .arg(need.width())
                       .arg(need.height())
                       .arg(w->width())
                       .arg(w->height());
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || (w->objectName().isEmpty() && !qobject_cast<QTabBar*>(w))) continue;
        const QFontMetrics fm = w->fontMetrics();
        if (auto* l = qobject_cast<QLabel*>(w)) {
            if (l->text().isEmpty()) continue;
            check(l, l->wordWrap() ? QSize(0, l->heightForWidth(l->width())) : l->sizeHint());
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (b->text().isEmpty()) continue;
            // A text button's hint has a least width of its own; the text is what has to fit.
            check(b, qobject_cast<QPushButton*>(b)
                         ? QSize(fm.horizontalAdvance(plain(b->text())) + 6, fm.height())
                         : b->sizeHint());
        } else if (auto* c = qobject_cast<QComboBox*>(w)) {
            QComboBox fitted;
            fitted.setFont(c->font());
            fitted.setEditable(c->isEditable());
            fitted.setSizeAdjustPolicy(QComboBox::AdjustToContents);
            for (int i = 0; i < c->count(); ++i)
                fitted.addItem(c->itemText(i));
            check(c, QSize(fitted.sizeHint().width(), fm.height()));
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            if (e->text().isEmpty()) continue;
            const int frame = 2 * e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e);
            check(e, QSize(fm.horizontalAdvance(e->text()) + frame + 4, fm.height()));
        } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
            check(g, QSize(fm.horizontalAdvance(g->title()) + 16, fm.height()));
        } else if (auto* tabs = qobject_cast<QTabBar*>(w)) {
            int all = 0;
            for (int i = 0; i < tabs->count(); ++i)
                all += tabs->tabRect(i).width();
            if (tabs->width() < all) out << QString("tabs: need %1, have %2").arg(all).arg(tabs->width());
        } else if (auto* list = qobject_cast<QListWidget*>(w)) {
            int widest = 0;
            for (int i = 0; i < list->count(); ++i)
                widest = std::max(widest, fm.horizontalAdvance(list->item(i)->text()));
            if (list->viewport()->width() < widest + 4)
                out << QString("%1: items need %2, has %3")
                           .arg(list->objectName())
                           .arg(widest + 4)
                           .arg(list->viewport()->width());
        }
    }
    return out;
}

// The window at the size it opens with: within 1280 x 760 (a 1280 x 800 screen less a frame),
// every text whole. With HEVRIN_SHOTS set, its picture is saved in that folder.
void verifyFits(QWidget* window) {
    window->show();
    QApplication::processEvents();
    if (const QByteArray shots = qgetenv("HEVRIN_SHOTS"); !shots.isEmpty())
        window->grab().save(QString::fromLocal8Bit(shots) + "/" + window->objectName() + ".png");
    QVERIFY2(window->width() <= 1280 && window->height() <= 760,
             qPrintable(QString("%1 x %2").arg(window->width()).arg(window->height())));
    const QStringList cut = cutTexts(window);
    QVERIFY2(cut.isEmpty(), qPrintable(window->objectName() + ": " + cut.join("; ")));
}

} // namespace

class tst_GraphWindowFit : public QObject {
    Q_OBJECT

    std::unique_ptr<TestEnv> env;
    Program& p() { return env->prog(); }
    QString db() { return p().ProjectDatabasePath; }

private slots:
    void init() {
        env = std::make_unique<TestEnv>();
        makeBlankDatabase(db());
        InitUnits(p());
        insertProjectInfo(db(), 3,
                          {{"ProjectID", "Desalination Plant North"}, {"TrainNumber", 1}, {"NumTrains", 12}});
        std::vector<GraphRow> rows;
        for (int d = 0; d < 30; ++d)
            rows.push_back({"Desalination Plant North",
                            1,
                            at(2024, 1, 1 + d, 10),
                            24.0 * d,
                            {{"NormalizedPermFlow", 50.0 - d}, {"NormalizedSaltPassage", 0.01}},
                            d % 3 == 0 ? 1 + (d / 3) % 5 : 0});
        insertGraphRows(db(), rows);
        insertRow(db(), "UserGraphs",
                  {{"ProjectID", "Desalination Plant North"},
                   {"TrainNumber", 1},
                   {"GraphName", "Normalized flow after the March cleaning"}});
        p().CurrentProject.ProjectID = "Desalination Plant North";
        p().CurrentProject.TrainNumber = 1;
        p().GraphPath = env->path("graphs");
        QDir().mkpath(p().GraphPath);
        RegisterGraphImageWindows(p());
    }
    void cleanup() {
        for (const QString& name : p().windows.loadedNames())
            delete p().windows.find(name);
        env.reset();
    }

    // The graph window with four series, its own period and the events list.
    void graphWindow() {
        frmGraphs w(p());
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        w.Form_Activate();
        for (int k = 0; k < 3; ++k)
            w.chkEnableDropDown[size_t(k)]->setChecked(true);
        for (int k = 0; k < 4; ++k)
            w.cboSeries[size_t(k)]->setCurrentIndex(w.cboSeries[size_t(k)]->findText(
                k == 3 ? "System Normalized Permeate Flow" : "Bank 1 Normalized Salt Passage"));
        w.ChkAllDates->setChecked(false);
        w.txtStartDate->setText("12/28/2023 10:00:00 AM");
        w.txtEndDate->setText("12/30/2024");
        w.chkShowEvents->setChecked(true);
        w.chkShowTarget->setChecked(true);
        w.cmdGraph->click();
        QVERIFY(w.lstEvents->count() > 5);
        verifyFits(&w);
    }

    void styleDialog() {
        GraphStyle style;
        LoadGraphStyles(p(), style);
        frmGraphConfig w(p(), style);
        verifyFits(&w);
    }

    void nameDialog() {
        frmSaveGraph w(p(), "Normalized flow after the March cleaning");
        verifyFits(&w);
    }

    void savedGraphBrowser() {
        auto* w = qobject_cast<frmEditSavedGraphs*>(p().windows.showSingle("frmEditSavedGraphs"));
        QVERIFY(w);
        w->setObjectName("frmEditSavedGraphs");
        verifyFits(w);
    }

    void gallery() {
        auto* w = qobject_cast<frmPrintGraph*>(p().windows.showSingle("frmPrintGraph"));
        QVERIFY(w);
        w->setObjectName("frmPrintGraph");
        w->Form_Activate();
        verifyFits(w);
    }

    void printDialogs() {
        for (const QString& name : {QString("dlgPrint"), QString("dlgPrint2")}) {
            QWidget* w = p().windows.showSingle(name);
            QVERIFY(w);
            w->setObjectName(name);
            verifyFits(w);
        }
    }
};

QTEST_MAIN(tst_GraphWindowFit)
#include "tst_graphwindowfit.moc"
