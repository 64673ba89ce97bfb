#include "normalization/referencestate.h"

#include "normalization/normalize.h"
#include "platform/dberror.h"

namespace hv {

namespace {

// The reference state normalized as a stored reading holding it would be; nullopt when it
// cannot be normalized.
std::optional<DataWorking> normalizedReferenceState(const ProjectInfoRecord& reference,
                                                    const std::vector<ElementSpecRecord>& elements) {
    // The reference state as a stored reading holds it.
    DataWorking w;
    w.ElapsedTimeHrs = reference.ElapsedTimeRef;
    w.Temperature = reference.FeedTemp;
    w.FeeduS = reference.FeeduS;
    w.PermuS = reference.PermuS;
    w.ConcuS = reference.ConcuS;
    w.PermFlow = reference.PermFlow;
    w.ConcFlow = reference.ConcFlow;
    w.FeedFlow = reference.PermFlow + reference.ConcFlow;
    w.FeedPressure = reference.FeedPressure;
    w.ConcPressure = reference.ConcPressure;
    w.ConcPressure_1 = reference.ConcPressure_1;
    w.PermBackPress = reference.PermBackPress;
    w.PermuS_1 = reference.PermuS_1;
    w.PermuS_2 = reference.PermuS_2;
    w.PermFlow_1 = reference.PermFlow_1;
    w.PermFlow_2 = reference.PermFlow_2;
    w.FeedPressure_2 = reference.FeedPressure_2;
    w.PermBackPress_1 = reference.PermBackPress_1;
    w.PermBackPress_2 = reference.PermBackPress_2;
    w.PermFlow_3 = reference.PermFlow_3;
    w.PermuS_3 = reference.PermuS_3;
    w.FeedPressure_3 = reference.FeedPressure_3;
    w.ConcPressure_2 = reference.ConcPressure_2;
    w.PermbackPress_3 = reference.PermBackPress_3;
    // The normalization changes the record it works against: keep the caller's as it is.
    ProjectInfoRecord copy = reference;
    try {
        NormalizeReading(w, copy, elements);
    } catch (const RunError&) {
        return std::nullopt;
    }
    return w;
}

} // namespace

std::optional<double> ReferenceSaltPassage(const ProjectInfoRecord& reference,
                                           const std::vector<ElementSpecRecord>& elements) {
    const std::optional<DataWorking> w = normalizedReferenceState(reference, elements);
    return w ? std::optional<double>(w->NormalizedSaltPassage) : std::nullopt;
}

std::optional<double> ReferenceNormalizedDP(const ProjectInfoRecord& reference,
                                            const std::vector<ElementSpecRecord>& elements) {
    const std::optional<DataWorking> w = normalizedReferenceState(reference, elements);
    return w ? std::optional<double>(w->NormalizedDP) : std::nullopt;
}

} // namespace hv
