#include <QApplication>
#include <QMainWindow>

#include "core/program.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Hevrin");
    QApplication::setApplicationName("Hevrin");
    hv::QtPrompts prompts;
    hv::SystemInfo system;
    hv::UserStore store;
    hv::Program program(prompts, system, store);
    QMainWindow w;
    w.setWindowTitle("Hevrin");
    w.resize(800, 600);
    w.show();
    return app.exec();
}
