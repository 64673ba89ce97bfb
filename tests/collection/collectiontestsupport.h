#pragma once
#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QtTest>
#include <functional>
#include <memory>
#include <utility>

#include "collection/pollclock.h"
#include "collection/ui/frmdata.h"
#include "core/currentproject.h"
#include "core/elementdb.h"
#include "core/units.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/linknames.h"
#include "support/plant.h"
#include "support/testenv.h"

namespace hv::test {

// The scripted prompts with a hook that runs while a message box is open, as the nested
// event loop of a real box would run a clock tick or a link update.
struct HookedPrompts : Prompts {
    explicit HookedPrompts(ScriptedPrompts& s) : script(s) {}
    ScriptedPrompts& script;
    std::function<void()> whileOpen;
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override {
        if (auto f = std::exchange(whileOpen, nullptr)) f();
        return script.message(text, buttons, icon, title);
    }
    std::optional<QString> input(const QString& p, const QString& t, const QString& d) override {
        return script.input(p, t, d);
    }
    QString openFile(const QString& t, const QString& f, const QString& i) override {
        return script.openFile(t, f, i);
    }
    QString saveFile(const QString& t, const QString& f, const QString& i) override {
        return script.saveFile(t, f, i);
    }
    QString chooseFolder(const QString& t, const QString& i) override { return script.chooseFolder(t, i); }
    bool choosePrinter(QPrinter& printer) override { return script.choosePrinter(printer); }
};

// A data folder with a blank project database, the element database loaded, the units
// of `locale`, and project P1 train 1 of the reference plant as the current project.
struct Plant {
    explicit Plant(int banks, const QVariantMap& project = {}, const QLocale& locale = QLocale::c()) {
        QLocale::setDefault(locale);
        env.program = std::make_unique<Program>(hooked, env.system, *env.store);
        env.program->AppDataFolder = env.dir.path();
        env.program->IniFilePath = env.path("hevrin.ini");
        env.program->ProjectDatabasePath = env.path("db.hv3.mdb");
        makeReferencePlant(p(), banks, project);
    }
    ~Plant() {
        delete window.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QLocale::setDefault(QLocale::c());
    }
    Program& p() { return env.prog(); }
    Database db() { return Database::open(p().ProjectDatabasePath); }
    void loadCurrent(const QString& id = "P1", int train = 1) {
        Database d = db();
        LoadProjectSettings(
            p(), d.select("SELECT * FROM ProjectInfo WHERE ProjectID = ? AND TrainNumber = ?", {id, train})
                     .first());
    }
    // A reading of the reference plant with these columns changed.
    void reading(int banks, const QVariantMap& o) { insertReading(p().ProjectDatabasePath, banks, o); }

    // Opens the window with a clock that ticks only by hand; null when it closed in its load.
    frmData* open() {
        auto c = std::make_unique<ManualPollClock>(60000);
        clock = c.get();
        QPointer<frmData> w = new frmData(p(), std::move(c));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!w) return nullptr;
        window = w;
        return w.data();
    }
    int dataRows() { return db().scalar("SELECT count(*) FROM Data").toInt(); }
    DbRow newest() { return db().select("SELECT * FROM Data ORDER BY ID DESC LIMIT 1").first(); }
    QString problems() const { return env.prompts.verify(); }

    TestEnv env;
    HookedPrompts hooked{env.prompts};
    ManualPollClock* clock = nullptr;
    QPointer<frmData> window;
};

// Sets the entry column of the row showing `item` (natural order: row = item).
inline void enter(frmData& w, int item, const QString& text) {
    w.txtData[item]->setText(text);
}

} // namespace hv::test
