#pragma once
#include "projects/formproject.h"
#include "projects/projectboxes.h"

namespace hv {

struct Program;

// Outcome of a run of checks: whether the run was stopped by a failure and where the
// user is sent. The messages have been shown through the program's prompts.
struct CheckResult {
    bool stopped = false;
    FocusTarget focus;
};

// The reference-data validation before a project is stored. Stores each parsed value in
// the record, fills the derived boxes 14 to 20 and the bank-1 or system flux. DataValid
// is the result; a stop leaves the Create and Save buttons as they were, otherwise they
// follow DataValid.
struct ValidationResult : CheckResult {
    bool dataValid = true;
};
ValidationResult ValidatenewData(Program& p, ProjectBoxes& b, FormProjectRecord& rec);

// The wizard's checks on entering step 7; sets wizardDone with two or three banks.
CheckResult WizardStep7Checks(Program& p, ProjectBoxes& b, FormProjectRecord& rec, bool& wizardDone);

// The wizard's checks at the start of every finish. Only a negative elapsed time the user
// wants to re-enter and, with data per bank, no system permeate flow stop it.
CheckResult WizardFinishChecks(Program& p, ProjectBoxes& b, FormProjectRecord& rec);

// Why a new project's ID cannot be used, or empty when it can. Blanks around it are lost when
// the settings file reads it back, and the exchange file cannot carry ";" or a line break.
QString ProjectIdFault(const QString& id);

// The reference date box and what it holds, as the messages about a bad date name them.
QString ReferenceDateNamed(const QString& typed);

// Display of the derived recovery and rejection, in percent; empty where undefined.
QString RecoveryText(double permFlow, double feedFlow);
QString RejectionText(double permuS, double concuS, double feeduS);

} // namespace hv
