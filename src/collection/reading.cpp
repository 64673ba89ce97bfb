#include "collection/reading.h"

#include <QByteArray>
#include <cmath>

#include "core/datatables.h"
#include "core/mlstring.h"
#include "core/numbers.h"
#include "core/program.h"
#include "core/typedinput.h"
#include "normalization/calcerror.h"
#include "normalization/calculate.h"
#include "normalization/normalize.h"
#include "normalization/referencestate.h"
#include "platform/database.h"

namespace hv {

void ApplyBankBalance(ReadingValues& r, int numBanks, bool systemData) {
    ReadingValues b = r;
    const double pf2 = b[item::PermFlow_2], pus2 = b[item::PermuS_2];
    if (numBanks == 3 || (numBanks == 2 && !systemData)) {
        b.PermFlow_1 = b[item::PermFlow];
        b.PermuS_1 = b[item::PermuS];
        double flow = b.PermFlow_1 + pf2;
        double salt = b.PermuS_1 * b.PermFlow_1 + pus2 * pf2;
        if (numBanks == 3) {
            flow += b[item::PermFlow_3];
            salt += b[item::PermuS_3] * b[item::PermFlow_3];
        }
        b[item::PermFlow] = flow;
        b[item::PermuS] = calcerr::div(salt, flow);
        b.PermBackPress_1 = b[item::PermBackPress];
    } else if (numBanks == 2) {
        b.PermFlow_1 = b[item::PermFlow] - pf2;
        b.PermuS_1 = calcerr::div(b[item::PermuS] * b[item::PermFlow] - pus2 * pf2, b.PermFlow_1);
        b.PermBackPress_1 = b[item::PermBackPress];
    } else if (numBanks == 1) {
        b.PermBackPress_1 = 0;
    }
    b.FeedFlow = b[item::PermFlow] + b[item::ConcFlow];
    r = b;
}

QString NoteForStorage(const QString& note) {
    // Blanks alone are no note.
    if (note.trimmed().isEmpty()) return QString();
    return note.size() > 255 ? note.left(254) : note;
}

std::vector<EventEntry> ReadEventList(Program& p) {
    std::vector<EventEntry> list = {
        {0, GetMlString(579, "None")},
        {1, GetMlString(580, "System Cleaning")},
        {2, GetMlString(613, "Instrument Calibration / Replacement")},
        {3, GetMlString(582, "Pretreatment Event Occurred")},
        {4, GetMlString(583, "Long Shutdown")},
        {5, GetMlString(584, "Membrane Replacement")},
    };
    Database db = Database::open(p.ProjectDatabasePath);
    for (const DbRow& r :
         db.select("SELECT EventID, EventType FROM Events WHERE EventID > 5 ORDER BY EventID"))
        list.push_back({r.toInt32("EventID"), r.value("EventType").toString()});
    return list;
}

namespace {

// The value as stored: to the decimals the value's magnitude shows (three significant digits
// where it shows as a power of ten), taken from its 15 significant digits, halves away from
// zero, as the program shows it.
double stored(double x) {
    if (x == 0 || !std::isfinite(x) || x == std::floor(x)) return x;
    const SignificantDigits s = Significant15(std::fabs(x));
    const int decimals = FormatValueDecimals(std::fabs(x));
    const int keep = decimals < 0 ? 3 : s.exponent + 1 + decimals;
    if (keep >= 15) return x;
    if (keep < 0) return 0;
    uint64_t p = 1;
    for (int i = 0; i < 15 - keep; ++i)
        p *= 10;
    const uint64_t q = s.digits / p + (s.digits % p >= p / 2 ? 1 : 0);
    // The decimal q x 10^scale to the nearest Double, as a text of digits would read.
    const int scale = s.exponent - 14 + (15 - keep);
    const double v = (QByteArray::number(quint64(q)) + 'e' + QByteArray::number(scale)).toDouble();
    return x < 0 ? -v : v;
}

} // namespace

QStringList ReadingColumns() {
    return schema::Names(schema::Data, [](const schema::Column& c) { return c.kind == schema::Kind::Raw; });
}

QVariantList ReadingColumnValues(const ProjectInfoRecord& cp, const ReadingValues& r, int eventId,
                                 const QString& note) {
    using namespace item;
    // Every road stores a note by one rule, whatever its window did to the text first.
    const QString storedNote = NoteForStorage(note);
    // In the order of ReadingColumns, the raw columns of the description.
    const auto value = [&](int k) {
        return r.empty[size_t(k)] && ItemIsOptional(k) ? QVariant() : QVariant(stored(r[k]));
    };
    return {
        value(PermFlow),
        value(ConcFlow),
        value(FeedPressure),
        value(ConcPressure),
        value(ConcPressure_1),
        value(PermBackPress),
        value(FeeduS),
        value(PermuS),
        value(pH),
        value(Temperature),
        value(PermFlow_2),
        stored(r.PermuS_1),
        value(PermuS_2),
        value(FeedPressure_2),
        value(PermBackPress_2),
        value(TurbidityFeed),
        value(TurbidityRaw),
        value(ORP),
        value(SDIFeed),
        value(SDIRaw),
        RoundedElapsedHours(r.ElapsedTimeHrs),
        stored(r.FeedFlow),
        stored(r.PermFlow_1),
        stored(r.PermBackPress_1),
        qint64(cp.NumBanks),
        value(PermFlow_3),
        value(PermuS_3),
        value(FeedPressure_3),
        value(ConcPressure_2),
        value(PermBackPress_3),
        qint64(eventId),
        storedNote.isEmpty() ? QVariant() : QVariant(storedNote), // no note given: none stored
    };
}

QString AlarmLines(double npf, double ndp, double nsp, std::optional<double> referenceSaltPassage,
                   std::optional<double> referenceDP, const ProjectInfoRecord& cp) {
    QString lines;
    if (cp.PermFlow != 0 && npf / cp.PermFlow <= 0.85)
        lines +=
            GetMlString(603, "Normalized Permeate Flow is at least 15% below Reference Perm Flow.") + "\r\n";
    if (referenceDP && *referenceDP != 0 && ndp / *referenceDP >= 1.15)
        lines += GetMlString(604, "Normalized DP is at least 15% above Reference DP.") + "\r\n";
    if (referenceSaltPassage && *referenceSaltPassage != 0 && nsp / *referenceSaltPassage >= 1.15)
        lines += GetMlString(605, "Normalized Salt Passage is at least 15% above Reference Salt Passage.");
    return lines;
}

std::optional<QString> MissingElementText(const ProjectInfoRecord& cp,
                                          const std::vector<ElementSpecRecord>& elements) {
    struct Use {
        const char* column;
        qint16 type;
        bool computedWith; // a gap in the IDs there gives values of nothing
    };
    const int banks = cp.NumBanks;
    std::vector<Use> uses{{"ElementType", cp.ElementType, true}};
    if (banks >= 2) {
        uses.push_back({"ElementType_1", cp.ElementType_1, true});
        uses.push_back({"ElementType_2", cp.ElementType_2, true});
        uses.push_back({"ElementType_3", cp.ElementType_3, banks >= 3});
    }
    for (const Use& u : uses) {
        const bool outside = u.type < 0 || size_t(u.type) >= elements.size();
        if (!outside && (!u.computedWith || elements[size_t(u.type)].ID != 0)) continue;
        return "The element of this project (" + QLatin1String(u.column) + " " + QString::number(u.type) +
               ") is not in the element database." + "\r\n\r\n" +
               "The reading was stored without its calculated values.";
    }
    return std::nullopt;
}

SavedReading StoreReading(Program& p, const ProjectInfoRecord& cp, const ReadingValues& r, int eventId,
                          const QString& note) {
    ReadingIntake intake(p, p.ProjectDatabasePath, cp, ReadingColumns());
    SavedReading out;
    out.outcome = intake.add(r.TheDate, ReadingColumnValues(cp, r, eventId, note));
    out.failure = intake.failureText();
    intake.commit();
    if (out.outcome == ReadingIntake::Outcome::Normalized) {
        const LastNormalizedValues& last = intake.last();
        p.LastNormalizedPermFlow = last.value[0];
        p.LastNormalizedSaltPassage = last.value[1];
        p.LastNormalizedDP = last.value[2];
        // The normalization has filled the record's reference DP and flows.
        const ProjectInfoRecord& reference = intake.project();
        out.alarms = AlarmLines(last.value[0], last.value[2], last.value[1],
                                ReferenceSaltPassage(reference, p.ElementTable),
                                ReferenceNormalizedDP(reference, p.ElementTable), reference);
    }
    return out;
}

void RollOver(HistoryColumns& h, const std::array<bool, ItemCount>& keep, int dateRow) {
    for (size_t k = 0; k < size_t(ItemCount); ++k) {
        h.earlier2[k] = h.earlier1[k];
        h.earlier1[k] = h.current[k];
        if (!keep[k]) h.current[k].clear();
    }
    // The date stored is shown as every stored date is, not as it was typed ("16.11.26").
    if (dateRow >= 0 && dateRow < ItemCount)
        if (const std::optional<QDateTime> d = ParseEntryDate(h.earlier1[size_t(dateRow)]))
            h.earlier1[size_t(dateRow)] = ShortDateTimeText(*d);
    h.times[2] = h.times[1];
    h.times[1] = h.times[0];
}

QString SaveErrorText(const RunError& e) {
    return GetMlString(696,
                       "Error in saving data. Data may not have been saved. Please check data and retry.") +
           "\r\n\r\n" + GetMlString(545, "Verify the database is not in use by other programs or users.") +
           "\r\n\r\n" + GetMlString(697, "Error number = ") + QString::number(e.number()) +
           GetMlString(546, "  Description: ") + e.description();
}

} // namespace hv
