#pragma once
#include "projects/formproject.h"
#include "projects/projectboxes.h"

namespace hv {

struct Program;

// The boxes as a stored train shows them: train settings, the bank layout's check boxes,
// reference values, element choices, the grid with its fluxes and the derived values.
void ShowProjectBoxes(const Program& p, const FormProjectRecord& rec, ProjectBoxes& b);

// The list position of a stored element type number; -1 when the element is not loaded.
int ElementListPosition(const Program& p, int elementType);

} // namespace hv
