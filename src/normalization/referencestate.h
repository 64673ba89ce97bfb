#pragma once
#include <optional>
#include <vector>

#include "core/elementrecord.h"
#include "core/projectrecord.h"

namespace hv {

// The normalized salt passage that a reading taken at the reference state itself gets from
// the normalization: what a reading's normalized salt passage is compared with. nullopt
// when the reference state cannot be normalized.
std::optional<double> ReferenceSaltPassage(const ProjectInfoRecord& reference,
                                           const std::vector<ElementSpecRecord>& elements);

// The same for the normalized DP: with several banks the sum of the normalized bank DPs,
// which is not the reference's feed minus concentrate pressure.
std::optional<double> ReferenceNormalizedDP(const ProjectInfoRecord& reference,
                                            const std::vector<ElementSpecRecord>& elements);

} // namespace hv
