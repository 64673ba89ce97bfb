#pragma once
#include <QCoreApplication>
#include <QLocale>
#include <QPointer>
#include <QtTest>
#include <memory>

#include "collection/pollclock.h"
#include "collection/ui/frmdata.h"
#include "core/currentproject.h"
#include "core/elementdb.h"
#include "core/units.h"
#include "platform/database.h"
#include "support/fixtures.h"
#include "support/testenv.h"

namespace hv::test {

// A data folder with a blank project database, the element database loaded, the units
// of `locale`, and project P1 train 1 of the reference plant as the current project.
struct Plant {
    explicit Plant(int banks, const QVariantMap& project = {}, const QLocale& locale = QLocale::c()) {
        QLocale::setDefault(locale);
        Program& pr = p();
        makeBlankDatabase(pr.ProjectDatabasePath);
        makeElementDatabase(env.path("ostrelmem.mdb"));
        InitUnits(pr);
        if (!LoadElementSpecs(pr)) throw DbError(0, "element database not loaded");
        insertProjectInfo(pr.ProjectDatabasePath, banks, project);
        loadCurrent();
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
    ManualPollClock* clock = nullptr;
    QPointer<frmData> window;
};

// Sets the entry column of the row showing `item` (natural order: row = item).
inline void enter(frmData& w, int item, const QString& text) {
    w.txtData[item]->setText(text);
}

} // namespace hv::test
