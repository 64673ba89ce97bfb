#pragma once
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "core/elementrecord.h"

// Test databases built in code from the templates the build makes, and quick
// row builders for scenarios.
//
// Every builder writes the file at `path` (replacing one that is there) and
// returns `path`. A failure throws hv::DbError with the reason, so a test can
// simply call it; QVERIFY_THROWS_NO_EXCEPTION reports it nicely if wanted.
//
//   const QString db = hv::test::makeBlankDatabase(env.path("db.hv3.mdb"));
//   hv::test::insertProjectInfo(db, 2, {{"ProjectID", "Plant A"}, {"FeedTemp", 15.0}});
//   hv::test::insertReading(db, 2, {{"ProjectID", "Plant A"}, {"Temperature", 15.0}});
namespace hv::test {

// The blank three-bank project database: version 1.3.38, every table, the
// default rows (51 graph series, events 0 to 5, the 'Default' rows).
QString makeBlankDatabase(const QString& path);

// A three-bank database from before the specific-flux upgrade: no SpecFlux to
// SpecFlux_3 in Data, the 47 graph series without the four specific-flux rows,
// and `version` (default "1.3.5") as its only Version row.
QString makePreSpecFluxDatabase(const QString& path, const QString& version = "1.3.5");

// A two-bank database (minor version below 3, default "1.2.7"): without the
// bank-3 columns of ProjectInfo, Data and InputOrder, without the specific-flux
// columns, and with the 39 graph series that name neither bank 3 nor specific flux.
QString makeTwoBankDatabase(const QString& path, const QString& version = "1.2.7");

// A copy of the element database (catalogue elements with IDs 1 to 12).
QString makeElementDatabase(const QString& path);

// The bank-3 columns a two-bank database lacks, and the specific-flux columns.
QStringList bank3ProjectInfoColumns();
QStringList bank3DataColumns();
QStringList bank3InputOrderColumns();
QStringList specFluxColumns();

// A complete, self-consistent reference row for ProjectInfo with 1, 2 or 3 banks,
// as the project window would store it: project "P1", train 1, one train,
// reference date 2020-01-01 00:00:00, units m3/hr, deg C, bar, l/m2/hr, element
// "HV-BW 8040-400" (type 2) in every bank, 60 m3/hr permeate at 75 % recovery,
// system data entry (Systemdata -1). `overrides` replace or add columns last;
// derived values are not recomputed from them.
QVariantMap projectInfoRow(int numBanks, const QVariantMap& overrides = {});

// Raw values of a reading taken at the reference state of projectInfoRow(numBanks),
// one day after the reference date (ElapsedTimeHrs 24), as the data collection
// window stores it (system PermFlow and PermuS after the bank balance, FeedFlow,
// Bank, EventID 0). Calculated columns are left to their defaults.
QVariantMap readingRow(int numBanks, const QVariantMap& overrides = {});

// Inserts one row of the given column values into `table` of the database at
// `dbPath`; returns the new ID. A column the table lacks is an error (3265).
qint64 insertRow(const QString& dbPath, const QString& table, const QVariantMap& values);

// Inserts projectInfoRow / readingRow. Default columns the database lacks (the
// bank-3 columns of a two-bank database) are left out; override columns must exist.
qint64 insertProjectInfo(const QString& dbPath, int numBanks, const QVariantMap& overrides = {});
qint64 insertReading(const QString& dbPath, int numBanks, const QVariantMap& overrides = {});

// What the normalization reads of an element: the flow (TA) and salt passage (TB) temperature
// coefficients up to 25 deg C and above, and the pressure-drop terms DP3 and DP4.
struct Coefficients {
    double taLow, taHigh, tbLow, tbHigh, dp3, dp4;
};

// An element of the table the normalization looks types up in (type = ID - 1), with this
// membrane area.
ElementSpecRecord element(int id, const Coefficients& c, bool custom = false, double area = 0);

} // namespace hv::test
