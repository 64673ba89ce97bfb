#pragma once
#include <QString>

namespace hv {

// The directions the new-project wizard shows at each step. Step 3 has two: 3 for data
// by bank, 31 for system data plus bank 2.
QString WizardDirections(int step);

} // namespace hv
