#pragma once
#include "projects/formproject.h"
#include "projects/projectboxes.h"

namespace hv {

struct Program;

// Fills the record from the window's boxes and completes it by the bank layout in
// rec.NumBanks: totals, the values of the banks or of the system that were not entered,
// pressure drops, concentrate conductivity by mass balance, recovery, creation factors.
// With one bank, SystemData stays as rec holds it. Checks nothing; a zero divisor gives 0.
void GetFormData(const Program& p, const ProjectBoxes& b, FormProjectRecord& rec);

// The concentrate conductivity by mass balance over the record's feed and permeate flows
// and conductivities; 0 without a concentrate flow.
double MassBalanceConcuS(const FormProjectRecord& rec);

} // namespace hv
