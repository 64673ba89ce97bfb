// The link test program. Without arguments it opens its window; with --serve it serves
// sheets and item lists without a window until it is ended, or until its standard
// input closes when that is a pipe (how a test that started it stops it).
#include <QApplication>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "ddetestwindow.h"
#include "platform/filelimits.h"
#include "platform/links/linkserver.h"
#include "platform/ui/qtprompts.h"

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

int usage() {
    QTextStream(stderr) << "usage: ddetest\n"
                           "       ddetest --serve NAME [--sheet FILE.csv ...] [--items FILE ...]\n";
    return 2;
}

int serve(QCoreApplication& app) {
    QString name;
    QStringList sheets, items;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        if (i + 1 >= args.size() || !(a == "--serve" || a == "--sheet" || a == "--items")) return usage();
        const QString value = args[++i];
        if (a == "--serve")
            name = value;
        else if (a == "--sheet")
            sheets << value;
        else
            items << value;
    }
    if (name.isEmpty()) return usage();
    hv::links::LinkServer server;
    for (const QString& f : sheets)
        if (!server.addSheetFile(f)) {
            QTextStream(stderr) << "ddetest: " << server.errorString() << "\n";
            return 1;
        }
    for (const QString& f : items)
        if (!server.addItemsFile(f)) {
            QTextStream(stderr) << "ddetest: " << server.errorString() << "\n";
            return 1;
        }
    if (!server.listen(name)) {
        QTextStream(stderr) << "ddetest: " << server.errorString() << "\n";
        return 1;
    }

    // Ended by a signal: leave through the event loop so the socket file goes too.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        auto* n = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(n, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
        std::signal(SIGTERM, onSignal);
        std::signal(SIGINT, onSignal);
        std::signal(SIGHUP, onSignal);
    }
    struct stat st {};
    if (::fstat(STDIN_FILENO, &st) == 0 && S_ISFIFO(st.st_mode)) {
        auto* n = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
        QObject::connect(n, &QSocketNotifier::activated, &app, [&app, n] {
            char buf[256];
            if (::read(STDIN_FILENO, buf, sizeof buf) <= 0) {
                n->setEnabled(false);
                app.quit();
            }
        });
    }
    QTextStream(stdout) << "ddetest: serving " << hv::links::socketNameFor(name) << Qt::endl;
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    hv::IgnoreFileSizeSignal();
    if (argc > 1) { // any argument means the command line, never the window
        QCoreApplication app(argc, argv);
        return serve(app);
    }
    QApplication app(argc, argv);
    hv::QtPrompts prompts;
    DdeTestWindow w(prompts);
    w.show();
    return app.exec();
}
