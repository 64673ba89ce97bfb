#include <QGuiApplication>
#include <QRegularExpression>
#include <QtTest>

#include "graphs/graphprint.h"
#include "graphs/ui/dlgprint.h"
#include "graphs/ui/dlgprint2.h"
#include "graphs/ui/graphimagewindows.h"
#include "support/files.h"
#include "support/readonlyfile.h"
#include "support/testenv.h"
#include "tst_graphprint_support.h"

using namespace hv;

namespace {

// What a PDF written by Qt shows: its pages, the size of the first, the text drawn (glyphs
// mapped back through the font's ToUnicode map) and the page content.
struct PdfPage {
    int pages = 0;
    QSizeF size;
    QString text;
    QByteArray content;
    QRectF picture; // where the test picture's 200 x 150 view box went, in twips from the page origin
};

QByteArray inflate(const QByteArray& raw) {
    QByteArray sized(4, '\0');
    sized[0] = char((raw.size() * 8) >> 24);
    sized[1] = char((raw.size() * 8) >> 16);
    sized[2] = char((raw.size() * 8) >> 8);
    sized[3] = char(raw.size() * 8);
    const QByteArray out = qUncompress(sized + raw);
    return out.isEmpty() ? raw : out;
}

PdfPage readPdf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray pdf = f.readAll();
    PdfPage page;
    for (auto it = QRegularExpression("/Type\\s*/Page[^s]").globalMatch(QString::fromLatin1(pdf));
         it.hasNext(); it.next())
        ++page.pages;
    const auto box = QRegularExpression("/MediaBox\\s*\\[\\s*0\\s+0\\s+([\\d.]+)\\s+([\\d.]+)")
                         .match(QString::fromLatin1(pdf));
    if (box.hasMatch()) page.size = QSizeF(box.captured(1).toDouble(), box.captured(2).toDouble());

    QHash<int, QChar> glyphs;
    QByteArray content;
    for (qsizetype at = pdf.indexOf("stream"); at >= 0; at = pdf.indexOf("stream", at + 6)) {
        if (at >= 3 && pdf.mid(at - 3, 3) == "end") continue;
        qsizetype start = at + 6;
        if (pdf[start] == '\r') ++start;
        if (pdf[start] == '\n') ++start;
        const qsizetype end = pdf.indexOf("endstream", start);
        if (end < 0) break;
        const QByteArray data = inflate(pdf.mid(start, end - start));
        if (data.contains("beginbfrange") || data.contains("beginbfchar")) {
            const QString map = QString::fromLatin1(data);
            auto ranges =
                QRegularExpression("<([0-9a-fA-F]+)>\\s*<([0-9a-fA-F]+)>\\s*(\\[[^\\]]*\\]|<[0-9a-fA-F]+>)")
                    .globalMatch(map);
            while (ranges.hasNext()) {
                const auto m = ranges.next();
                const int first = m.captured(1).toInt(nullptr, 16), last = m.captured(2).toInt(nullptr, 16);
                const QString target = m.captured(3);
                if (target.startsWith('[')) {
                    auto items = QRegularExpression("<([0-9a-fA-F]+)>").globalMatch(target);
                    for (int g = first; items.hasNext() && g <= last; ++g)
                        glyphs[g] = QChar(items.next().captured(1).left(4).toInt(nullptr, 16));
                } else {
                    const int u = target.mid(1, 4).toInt(nullptr, 16);
                    for (int g = first; g <= last; ++g)
                        glyphs[g] = QChar(u + g - first);
                }
            }
            auto chars = QRegularExpression("beginbfchar([^e]*)endbfchar").globalMatch(map);
            while (chars.hasNext()) {
                auto pairs = QRegularExpression("<([0-9a-fA-F]+)>\\s*<([0-9a-fA-F]+)>")
                                 .globalMatch(chars.next().captured(1));
                while (pairs.hasNext()) {
                    const auto m = pairs.next();
                    glyphs[m.captured(1).toInt(nullptr, 16)] =
                        QChar(m.captured(2).left(4).toInt(nullptr, 16));
                }
            }
        } else if (data.contains(" Tj") || data.contains(" re") || data.contains(" cm")) {
            content += data;
        }
        at = end;
    }
    page.content = content;
    // Device units per point from the page matrix, then the matrix the picture's frame is drawn under.
    const QString text = QString::fromLatin1(content);
    const auto base = QRegularExpression("([\\d.]+) 0 0 -[\\d.]+ [\\d.]+ [\\d.]+ cm").match(text);
    const auto frame =
        QRegularExpression("([\\d.]+) 0 0 ([\\d.]+) ([\\d.]+) ([\\d.]+) cm\\s+10 10 180 130 re").match(text);
    if (base.hasMatch() && frame.hasMatch()) {
        const double twips = 20 * base.captured(1).toDouble(); // twips per device unit
        page.picture =
            QRectF(frame.captured(3).toDouble() * twips, frame.captured(4).toDouble() * twips,
                   frame.captured(1).toDouble() * 200 * twips, frame.captured(2).toDouble() * 150 * twips);
    }
    auto shown = QRegularExpression("<([0-9a-fA-F]+)>\\s*Tj").globalMatch(QString::fromLatin1(content));
    while (shown.hasNext()) {
        const QString hex = shown.next().captured(1);
        for (int i = 0; i + 4 <= hex.size(); i += 4)
            page.text += glyphs.value(hex.mid(i, 4).toInt(nullptr, 16), '?');
    }
    // The font maps tab and space to one glyph, and the PDF's map names the tab for it.
    page.text.replace('\t', ' ');
    return page;
}

struct Env : test::TestEnv {
    Env() {
        RegisterGraphImageWindows(prog());
        prog().CurrentProject.ProjectID = "P1";
        prog().CurrentProject.TrainNumber = 2;
        prog().GraphPath = path("graphs");
        QDir().mkpath(prog().GraphPath);
        system.clock = QDateTime(QDate(2014, 3, 5), QTime(9, 15));
    }
    ~Env() {
        for (const QString& name : prog().windows.loadedNames())
            delete prog().windows.find(name);
    }
    dlgPrint* dialog(const QString& name) { return qobject_cast<dlgPrint*>(prog().windows.find(name)); }
};

} // namespace

class TestGraphPrint : public QObject {
    Q_OBJECT
private slots:
    void jpegFileName_data() {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("no extension") << "/g/graph"
                                      << "/g/graph.jpg";
        QTest::newRow("upper-case JPG") << "/g/a.JPG"
                                        << "/g/a.JPG";
        QTest::newRow("mixed-case jpg") << "/g/a.Jpg"
                                        << "/g/a.Jpg";
        QTest::newRow("jpeg") << "/g/a.jpeg"
                              << "/g/a.jpeg.jpg";
        QTest::newRow("jpg not last") << "/g/a.jpg.png"
                                      << "/g/a.jpg.png.jpg";
    }
    void jpegFileName() {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        QCOMPARE(JpegFileName(chosen), written);
    }

    // Cancel writes nothing; a chosen name is saved under the naming rule; a save that fails
    // says why and leaves the file that was there.
    void saveGraphJpeg() {
        Env env;
        QStringList saved;
        bool succeed = true;
        QByteArray picture = "first";
        auto jpeg = [&](const QString& path) {
            saved << QFileInfo(path).fileName();
            QFile f(path);
            if (f.open(QIODevice::WriteOnly)) f.write(picture);
            return test::writerResult(!succeed);
        };
        auto png = [&](const QString& path) {
            saved << "PNG";
            return jpeg(path);
        };
        env.prompts.onSaveFile("");
        SaveGraphJpeg(env.prog(), jpeg, png);
        QVERIFY(saved.isEmpty());
        env.prompts.onSaveFile(env.path("graphs/pumps"));
        SaveGraphJpeg(env.prog(), jpeg, png);
        QCOMPARE(saved, QStringList{"pumps.jpg.tmp"});
        // A PNG name in any case is a PNG picture under that name.
        env.prompts.onSaveFile(env.path("graphs/pumps.PNG"));
        SaveGraphJpeg(env.prog(), jpeg, png);
        QCOMPARE(saved, QStringList({"pumps.jpg.tmp", "PNG", "pumps.PNG.tmp"}));
        QCOMPARE(test::readFile(env.path("graphs/pumps.jpg")), QByteArray("first"));
        QCOMPARE(env.prompts.lastFilters.last(), QString("JPG Files (*.jpg)|*.jpg|All Files (*.*)|*.*"));

        succeed = false;
        picture = "second";
        env.prompts.onSaveFile(env.path("graphs/pumps.jpg"))
            .onMessage("The graph image could not be saved as " + env.path("graphs/pumps.jpg") +
                           ": the picture was not written",
                       Buttons::OK, "Hevrin", Answer::OK);
        SaveGraphJpeg(env.prog(), jpeg, png);
        QCOMPARE(test::readFile(env.path("graphs/pumps.jpg")), QByteArray("first"));
        QVERIFY(!QFile::exists(env.path("graphs/pumps.jpg.tmp")));
        env.prompts.onSaveFile("/nowhere/x.jpg")
            .onMessage("The graph image could not be saved as /nowhere/x.jpg: " + test::systemWords(ENOENT),
                       Buttons::OK, "Hevrin", Answer::OK);
        SaveGraphJpeg(env.prog(), jpeg, png);
        QCOMPARE(env.prompts.verify(), QString());
    }

    // The current-graph picture carries the padded legend only in the file; both dialogs print
    // their header line and the picture on one landscape page.
    void printToPdf_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("locale"); // the date in the computer's own short form
        QTest::newRow("current graph, English (UK)") << "dlgPrint"
                                                     << ""
                                                     << "      Lake, Train:3  Date Printed: 05/03/2014"
                                                     << "en_GB";
        QTest::newRow("current graph, German") << "dlgPrint"
                                               << ""
                                               << "      Lake, Train:3  Date Printed: 05.03.2014"
                                               << "de_DE";
        QTest::newRow("gallery, note") << "dlgPrint2"
                                       << "Pump A"
                                       << "      Pump A   ...Graph printed on: 05.03.2014"
                                       << "de_DE";
        QTest::newRow("gallery, no note") << "dlgPrint2"
                                          << ""
                                          << "         ...Graph printed on: 05/03/2014"
                                          << "en_GB";
    }
    void printToPdf() {
        QFETCH(QString, dialog);
        QFETCH(QString, note);
        QFETCH(QString, header);
        QFETCH(QString, locale);
        QLocale::setDefault(QLocale(locale));
        const auto restore = qScopeGuard([] { QLocale::setDefault(QLocale::c()); });
        Env env;
        QStringList legends;
        ChartPictureWriter chart{"Feed Pressure (bar)", [&](const QString& l) { legends << l; },
                                 [&](const QString& path) {
                                     legends << "saved " + path;
                                     test::writeTestSvg(path);
                                     return test::writerResult(false);
                                 }};
        if (dialog == "dlgPrint") {
            PrintCurrentGraph(env.prog(), chart, "Lake", 3); // not the current P1 train 2
            const QString chartx = env.path("Chartx.svg");
            QCOMPARE(env.prog().PrintFilePath, chartx);
            QCOMPARE(legends, QStringList({"Feed Pressure (bar)     ", "saved " + chartx + ".tmp",
                                           "Feed Pressure (bar)"}));
        } else {
            env.prog().PrintFilePath = env.path("graphs/Chart3.svg");
            test::writeTestSvg(env.prog().PrintFilePath);
            env.prog().windows.showSingle(dialog);
        }
        dlgPrint* dlg = env.dialog(dialog);
        QVERIFY(dlg);
        if (dlg->cbPrinters->findText(PrintToPdf) < 0)
            QSKIP("printers are installed here; the PDF entry is not offered");
        QCOMPARE(dlg->cbPrinters->currentText(), PrintToPdf);
        if (auto* dlg2 = qobject_cast<dlgPrint2*>(dlg)) dlg2->txtNote->setText(note);

        const QString pdf = env.path("page.pdf");
        // The file written is named: a PDF shows nowhere by itself.
        env.prompts.onSaveFile(pdf).onMessage("The graph was printed to " + pdf + ".", Buttons::OK, "Hevrin",
                                              Answer::OK);
        QTest::keyClick(dlg->btnOk, Qt::Key_Space);
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!env.dialog(dialog));

        const PdfPage page = readPdf(pdf);
        QCOMPARE(page.pages, 1);
        QVERIFY2(page.size.width() > page.size.height(), "landscape");
        QCOMPARE(page.text, header);
        // The picture, stretched to 12400 x 9000 twips at (500, 500) from an origin 360 right and
        // 720 down from the printable corner.
        QVERIFY2(page.content.contains("1 0 0 scn"), "the picture's red frame");
        QCOMPARE(page.picture.toRect(), QRect(860, 1220, 12400, 9000));
    }

    // "Print Current Graph" with a picture that cannot be written says why and offers nothing to
    // print: the older picture stays untouched, a print dialog left open from before is closed
    // and the file the next job prints stays as it was.
    void unwritablePictureIsNotPrinted_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("reason"); // the system's words; for a read-only file, the guard's
        QTest::newRow("Chartx.svg unchangeable") << "read-only file"
                                                 << "";
        QTest::newRow("data folder unchangeable") << "read-only folder"
                                                  << "";
        QTest::newRow("folder in its place") << "folder" << test::systemWords(EISDIR);
        QTest::newRow("writer fails") << "writer"
                                      << "the picture was not written";
    }
    void unwritablePictureIsNotPrinted() {
        QFETCH(QString, fault);
        QFETCH(QString, reason);
        Env env;
        const QString chartx = env.path("Chartx.svg");
        bool fail = false;
        QColor fill = Qt::red;
        ChartPictureWriter chart{"Feed Pressure (bar)", nullptr, [&](const QString& path) {
                                     test::writeTestSvg(path, fill);
                                     return test::writerResult(fail);
                                 }};
        PrintCurrentGraph(env.prog(), chart, "P1", 2);
        QVERIFY(env.dialog("dlgPrint") && env.dialog("dlgPrint")->isVisible());
        const QByteArray before = test::readFile(chartx);
        QVERIFY(!before.isEmpty());

        std::optional<test::ReadOnlyFile> locked;
        if (fault == "read-only file" || fault == "read-only folder") {
            locked.emplace(fault == "read-only file" ? chartx : env.dir.path());
            QVERIFY(locked->held());
            reason = locked->refusal();
        } else if (fault == "folder") {
            QVERIFY(QFile::remove(chartx));
            QVERIFY(QDir().mkdir(chartx));
        }
        fill = Qt::green; // another chart now
        fail = fault == "writer";
        env.prog().PrintFilePath = env.path("graphs/Chart3.svg");
        env.prompts.onMessage("The graph image could not be saved as " + chartx + ": " + reason, Buttons::OK,
                              "Hevrin", Answer::OK);
        PrintCurrentGraph(env.prog(), chart, "P1", 2);
        QCOMPARE(env.prompts.verify(), QString());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!env.dialog("dlgPrint"));
        QCOMPARE(env.prog().PrintFilePath, env.path("graphs/Chart3.svg"));
        if (fault != "folder") QCOMPARE(test::readFile(chartx), before);
        QVERIFY(!QFile::exists(chartx + ".tmp"));
    }

    // A missing or unreadable picture and a printer that cannot start are reported by both
    // dialogs; nothing is printed, the cursor is normal and the dialog is gone.
    void printFailures_data() {
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("picture"); // "missing", "garbage" or "good"
        QTest::addColumn<QString>("pdf");
        QTest::addColumn<QString>("message");
        QTest::newRow("current graph, no Chartx.svg")
            << "dlgPrint"
            << "missing"
            << "out.pdf"
            << "There is no file to print, please select a tab with a graph in it.";
        QTest::newRow("unreadable picture") << "dlgPrint"
                                            << "garbage"
                                            << "out.pdf"
                                            << "Error 481 Invalid picture";
        QTest::newRow("printer cannot start") << "dlgPrint"
                                              << "good"
                                              << "no/such/folder/out.pdf"
                                              << "Error 482 Printer error";
    }
    void printFailures() {
        QFETCH(QString, dialog);
        QFETCH(QString, picture);
        QFETCH(QString, pdf);
        QFETCH(QString, message);
        Env env;
        env.prog().PrintFilePath = env.path("Chartx.svg");
        if (picture == "good") test::writeTestSvg(env.prog().PrintFilePath);
        if (picture == "garbage") {
            QFile f(env.prog().PrintFilePath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a picture");
        }
        env.prog().windows.showSingle(dialog);
        dlgPrint* dlg = env.dialog(dialog);
        if (dlg->cbPrinters->findText(PrintToPdf) < 0)
            QSKIP("printers are installed here; the PDF entry is not offered");
        env.prompts.onSaveFile(env.path(pdf)).onMessage(message, Buttons::OK, "Hevrin", Answer::OK);
        dlg->btnOk_Click();
        QCOMPARE(env.prompts.verify(), QString());
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QVERIFY(!QFile::exists(env.path(pdf)));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!env.dialog(dialog));
    }
};

QTEST_MAIN(TestGraphPrint)
#include "tst_graphprint.moc"
