#pragma once
#include <QDateTime>
#include <QVariant>
#include <array>
#include <optional>
#include <vector>

#include "core/elementrecord.h"
#include "core/projectrecord.h"
#include "platform/database.h"

namespace hv {

// The working copy of one reading: the Data columns the normalization reads, named after
// them, and the values it computes. NormalizedPermFlow, NormalizedSaltPassage and
// NormalizedDP are the running values that end in LastNormalizedPermFlow,
// LastNormalizedSaltPassage and LastNormalizedDP.
struct DataWorking {
    double ElapsedTimeHrs = 0, Temperature = 0, FeeduS = 0, PermuS = 0, ConcuS = 0;
    double FeedFlow = 0, ConcFlow = 0, PermFlow = 0;
    double FeedPressure = 0, ConcPressure = 0, ConcPressure_1 = 0, PermBackPress = 0;
    double PermuS_1 = 0, PermuS_2 = 0, PermFlow_1 = 0, PermFlow_2 = 0;
    double FeedPressure_2 = 0, PermBackPress_1 = 0, PermBackPress_2 = 0;
    qint16 EventID = 0;
    double pH = 0, TurbidityRaw = 0, TurbidityFeed = 0, SDIRaw = 0, SDIFeed = 0, ORP = 0;
    double ActualRejection = 0, NormalizedPermFlow = 0, NormalizedSaltPassage = 0, NormalizedDP = 0;
    double NetTMP = 0, ActualFlux = 0, NormalizedFlux = 0;
    double NormalizedPermFlow_1 = 0, NormalizedSaltPassage_1 = 0, NormalizedDP_1 = 0, ActualFlux_1 = 0;
    double NormalizedPermFlow_2 = 0, NormalizedSaltPassage_2 = 0, NormalizedDP_2 = 0, ActualFlux_2 = 0;
    double SystemRecovery = 0, B1Recovery = 0, B2Recovery = 0, SystemDP = 0, B1DP = 0, B2DP = 0;
    double PermFlow_3 = 0, PermuS_3 = 0, FeedPressure_3 = 0, ConcPressure_2 = 0, PermbackPress_3 = 0;
    double NormalizedPermFlow_3 = 0, NormalizedSaltPassage_3 = 0, ActualFlux_3 = 0, NormalizedDP_3 = 0;
    double B3DP = 0, B3Recovery = 0;

    // Computed only.
    double SpecFlux = 0, SpecFlux_1 = 0, SpecFlux_2 = 0, SpecFlux_3 = 0;
    double Bank2FeedFlow = 0, Bank3FeedFlow = 0; // from the FeedFlow the calculation stores

    int columnsRead = 0; // how far the reading of the row got
};

// Unused: a raw measurement the normalization reads but never computes with; a Null there
// reads as 0, as FormatValue shows it, and the stored Null stays. Result: a value the
// normalization computes; a reading whose calculation failed holds a Null there.
enum class ReadKind { Number, Unused, Result, Integer, NullableText };
struct ReadColumn {
    const char* name;
    ReadKind kind;
    double DataWorking::*field; // for numbers
};
struct StoredColumn {
    const char* name;
    double DataWorking::*field;
};

// The columns read from a reading, in the order they are read.
constexpr int ReadColumnCount = 59;
extern const std::array<ReadColumn, ReadColumnCount> ReadColumns;
// The columns written back after ElapsedTimeHrs, in order; then the specific fluxes,
// which a database older than 1.3.20 lacks.
constexpr int StoredColumnCount = 40;
extern const std::array<StoredColumn, StoredColumnCount> StoredColumns;
extern const std::array<StoredColumn, 4> SpecFluxColumns;

// Reads the columns in order from `source`, which gives, for the i-th of ReadColumns,
// number(i) (a Double; a Null raises 94), int16(i) and present(i) (raises 3265 when the
// row lacks the column).
template <class Source> void ReadWorking(DataWorking& w, Source& source) {
    // A Null where the value is not computed with is no reason for the reading to fail.
    const auto orZero = [](auto read) {
        try {
            return read();
        } catch (const DbError& e) {
            if (e.number() != dberr::InvalidNull) throw;
            return decltype(read())(0);
        }
    };
    w.columnsRead = 0;
    for (int i = 0; i < ReadColumnCount; ++i) {
        const ReadColumn& c = ReadColumns[size_t(i)];
        switch (c.kind) {
        case ReadKind::Number:
            w.*c.field = source.number(i);
            break;
        case ReadKind::Unused:
        case ReadKind::Result:
            w.*c.field = orZero([&] { return source.number(i); });
            break;
        case ReadKind::Integer:
            w.EventID = orZero([&] { return source.int16(i); });
            break;
        case ReadKind::NullableText:
            source.present(i);
            break;
        }
        w.columnsRead = i + 1;
    }
}

// The reference side of the normalization, the same for every reading of a project
// train: computed once from the reference record. A failure is kept, to be raised where
// the reading's normalization reaches it.
struct ReferenceSide {
    std::optional<CalcError> failure;
    int stage = 1; // 2 once the recovery and pressure drops of the record are known
    double feedFlow = 0, overallRecovery = 0, deltaPress = 0;
    double refDP = 0, refDP1 = 0, refDP2 = 0, refDP3 = 0, refBank2Feed = 0, refBank3Feed = 0;
    double cfR = 0, cpR = 0, ccR = 0, cmR = 0, cp1R = 0, cp2R = 0, cp3R = 0, cc1R = 0, cc2R = 0;
    double cm1R = 0, cm2R = 0, cm3R = 0, tR = 0, pmR = 0, ppR = 0, pm1R = 0, pm2R = 0, pm3R = 0;
    double pp1R = 0, pp2R = 0, pp3R = 0, fR = 0, sR = 0, f1R = 0, f2R = 0, f3R = 0, s1R = 0, s2R = 0, s3R = 0;
};
void PrepareReference(ReferenceSide& r, const ProjectInfoRecord& reference,
                      const std::vector<ElementSpecRecord>& elements);

// The normalization of one reading whose raw values are read: the bank bookkeeping, the
// fluxes, the concentrations, osmotic pressures and correction factors of both sides and the
// normalized values. It changes the reference record as the normalization always has
// (FeedFlow, OverallRecovery, DeltaPress, DeltaPress_1 to _3). A failing step raises a
// CalcError with the run-time number; w then holds what was computed up to it. No value
// left in w after a normal return is infinite or NaN.
void NormalizeReading(DataWorking& w, ProjectInfoRecord& reference,
                      const std::vector<ElementSpecRecord>& elements);
// The same with the reference side prepared from `reference` beforehand.
void NormalizeReading(DataWorking& w, ProjectInfoRecord& reference,
                      const std::vector<ElementSpecRecord>& elements, const ReferenceSide& side);

// Days since 30 December 1899, the time as the fraction. An invalid date-time is day 0.
double DateSerial(const QDateTime& dt);
// The same for a stored TheDate value; raises 94 on Null and 13 on a text that is not a date.
double DateSerialOf(const QVariant& stored);
// Hours since the project's reference date plus its reference hours.
inline double ElapsedHours(double theDate, double dateReference, double elapsedTimeRef) {
    return (theDate - dateReference) * 24 + elapsedTimeRef;
}
// As stored: formatted with two decimals (the 15-significant-digit decimal rounded half
// away from zero), computed without text.
double RoundedElapsedHours(double hours);
// The same through text, as it was always done; the reference for the one above.
double RoundedElapsedHoursByText(double hours);

} // namespace hv
