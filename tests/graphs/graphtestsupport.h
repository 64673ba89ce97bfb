#pragma once
#include <QDateTime>
#include <QVariantMap>

#include "platform/database.h"
#include "support/fixtures.h"
#include "support/testenv.h"

namespace hv::test {

inline QDateTime at(int y, int m, int d, int hh = 0, int mm = 0) {
    return QDateTime(QDate(y, m, d), QTime(hh, mm));
}

// One Data row of a graph fixture.
struct GraphRow {
    QString project;
    int train;
    QDateTime when;
    double hours;
    QVariantMap values; // column -> value; an invalid QVariant stores Null
    int eventId = 0;
    int bank = 3;
};

inline void insertGraphRows(const QString& dbPath, const std::vector<GraphRow>& rows) {
    Database db = Database::open(dbPath);
    Transaction tx(db);
    for (const GraphRow& r : rows) {
        QStringList cols{"ProjectID", "TrainNumber", "TheDate", "ElapsedTimeHrs", "EventID", "Bank"};
        QVariantList vals{r.project, r.train, dbDateText(r.when), r.hours, r.eventId, r.bank};
        for (auto it = r.values.begin(); it != r.values.end(); ++it) {
            cols << it.key();
            vals << it.value();
        }
        QStringList marks;
        for (int i = 0; i < cols.size(); ++i)
            marks << "?";
        db.exec("INSERT INTO Data (" + cols.join(", ") + ") VALUES (" + marks.join(", ") + ")", vals);
    }
    tx.commit();
}

// Readings of one train every `minutes` from `start`, NormalizedPermFlow rising from 40.
inline void insertDenseRows(const QString& dbPath, const QString& project, int train, const QDateTime& start,
                            int count, int minutes) {
    Database db = Database::open(dbPath);
    Transaction tx(db);
    auto ins = db.prepare("INSERT INTO Data (ProjectID, TrainNumber, TheDate, ElapsedTimeHrs, EventID, Bank, "
                          "NormalizedPermFlow, "
                          "NormalizedDP) VALUES (?, ?, ?, ?, 0, 3, ?, ?)");
    for (int i = 0; i < count; ++i)
        ins->exec({project, train, dbDateText(start.addSecs(qint64(i) * minutes * 60)), i * minutes / 60.0,
                   40 + 10.0 * i / count + (i % 7), 1 + (i % 5) * 0.1});
    tx.commit();
}

} // namespace hv::test
