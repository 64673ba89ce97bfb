#pragma once
#include "projects/formproject.h"
#include "projects/projectboxes.h"

namespace hv {

struct Program;

// The membrane area of a column: its element count times the area of one element of the
// model chosen in its list; 0 when no model is chosen.
double ColumnArea(const Program& p, int elementCount, int listIndex);
// Flux of a flow (in the flow unit) over an area in m2, in the flux unit.
double FluxOf(double flow, double area, int flowUnit, int fluxUnit);

// Recomputes the areas and fluxes of the system column and of banks 1 to numBanks. With
// banks the system column ends with the sum of the bank areas and the flux over it. A
// column whose area is 0 keeps what its boxes showed.
void CalcFlux(const Program& p, ProjectBoxes& b, int numBanks, int unitFlow);

// After a change of units: the fluxes (and bank areas) again, from the typed reference
// flows, shown with FormatValue. With one bank the flow is box 1's and the area box stays.
void UnitChangeRefresh(const Program& p, ProjectBoxes& b, int numBanks, int unitFlow);

// Leaving element list c: that column and, for a bank, the system total.
void ElementListLeft(const Program& p, ProjectBoxes& b, int column, int numBanks, int unitFlow);

// Leaving a vessel or elements-per-vessel box: the column's element count, shown as it is
// even beyond the stored range, for the checks to refuse.
void VesselBoxLeft(ProjectBoxes& b, int index);

// Wizard: element counts and areas of the columns into the record and the grid; the
// system column holds the bank totals.
void WizardElementCounts(const Program& p, ProjectBoxes& b, FormProjectRecord& rec);

// The grid as a stored train shows it: counts, areas and the flux of each column.
void ShowGrid(const Program& p, const FormProjectRecord& rec, ProjectBoxes& b);

} // namespace hv
