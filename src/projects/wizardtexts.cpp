#include "projects/wizardtexts.h"

#include "core/mlstring.h"

namespace hv {

QString WizardDirections(int step) {
    switch (step) {
    case 1:
        return GetMlString(1176, "Enter a unique PROJECTID of no more than 50 characters.") + "\r\n" +
               GetMlString(1177, "We will come back to TRAINS later.");
    case 2:
        return QStringLiteral("Select the number of BANKS using the round radio buttons. For 2 (two) banks "
                              "systems you have a choice "
                              "of how the data is entered.  <Two Banks, Enter Overall + Bank 2> means you "
                              "have full system data and "
                              "disrecte data for Bank 2. The program will calculate Bank 1 information.  "
                              "<Two Banks, Enter Data PER "
                              "bank> neans discrete data for Banks 1 and 2. The system level data will be "
                              "calculated from the bank "
                              "information. For three banks, bank level information must be available.");
    case 3:
        return QStringLiteral("You have selected to enter data by BANK.");
    case 31:
        return QStringLiteral(
            "You have elected to enter SYSTEM data plus data for Bank 2.\r\nYou will need System "
            "Permeate Flow, overall Permeate uSiemens, and Feed pressure to Bank 2.");
    case 4:
        return QStringLiteral(
            "Select the units you will use for entering data using the buttons above. Selecting "
            "US is psi/gpm/F/GFD. You may click multiple times to explore the options. Custom "
            "allows many varied and unusual selections.");
    case 5:
        return QStringLiteral(
            "Select the element Type in each Bank AND \r\nthe number of Vessels AND the number of "
            "Elements Per Vessel.Areas will be calculated when you are finished and flux after "
            "the permeate flow information is added.");
    case 6:
        return QStringLiteral(
            "A REFERENCE Date/Time plus a Reference Elapsed (in hours) is needed.\r\nFor example, suppose "
            "you are "
            "setting up a plant that has been in operation for say 1200 hours but will only have data from "
            "today "
            "going forward, you can put today's date in the Date field and put 1200 hours in the elapsed "
            "time "
            "field.\r\n\r\nPlease enter reference flow, pressure, conductivity, pH and temperature "
            "information.You "
            "may also enter upto 255 characters of optional descriptive information if you wish.");
    case 7:
        return QStringLiteral("Enter Data as required.");
    case 8:
        return GetMlString(
                   1225,
                   "Hevrin supports multiple trains for a single system PROJECT ID. The trains may be ") +
               GetMlString(1226,
                           "completely independent and use completely different reference information. In "
                           "this case they are essentially ") +
               GetMlString(1227,
                           "separate projects and reference data needs to be entered for each project.") +
               "\r\n" +
               GetMlString(
                   1228, "However, in most situations the trains will be identical and the creation process "
                         "will allow multiple trains ") +
               GetMlString(
                   1229, "to be created at setup time.  To use this feature, check the box 'All Trains Same "
                         "as Train 1'. ");
    case 9:
        return GetMlString(
            1230, "Hevrin supports multiple trains. Specify how many trains you will want to create.");
    default:
        return {};
    }
}

} // namespace hv
