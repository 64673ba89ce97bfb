#include "collection/ui/frmscadahelp.h"

#include <QVBoxLayout>

#include "core/mlstring.h"

namespace hv {

frmScadaHelp::frmScadaHelp(QWidget* parent)
    : HelpWindow(QStringLiteral("frmScadaHelp"), QStringLiteral("Scada Help"), parent) {
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setFixedWidth(560);
    const QStringList lines = {
        GetMlString(1261, "Connection to a plant control system (SCADA) is made by dynamic data exchange "
                          "(DDE): a DDE server program sends the values of the plant to this program."),
        GetMlString(1262, "A DDE server is any program that offers its values to other programs by "
                          "name, for example a spreadsheet or the data server of a control system."),
        GetMlString(1263, "For every value three pieces of information are needed: the application, the "
                          "topic and the item."),
        GetMlString(1264, "APPLICATION: the name of the server program. For a spreadsheet this is simply "
                          "\"Excel\"; for a control system it is the name its DDE server answers to, "
                          "for example \"PlantLink\"."),
        GetMlString(1265, "TOPIC: the group of values within the server. For a spreadsheet this is the "
                          "name of the sheet, for example \"Sheet1\"; for a control system a node or "
                          "tag group, for example \"Train1\"."),
        GetMlString(1266, "ITEM: the single value. For a spreadsheet a row and column reference such as "
                          "\"R6C3\" (row 6, column 3); for a control system a tag or register, for "
                          "example \"FT101.PV\"."),
        GetMlString(1267, "Enter the three in the Application, Topic/Sheet and Row#Col# / Tag boxes of "
                          "each row and tick its SCADA box."),
        GetMlString(1268, "This program works best when it runs on the same computer as the DDE server."),
        GetMlString(1269, "Otherwise the server's values can be reached over the network with networking "
                          "DDE server software."),
    };
    Label1->setText(lines.join('\n'));
    layout->addWidget(Label1);
    Command1 = addCloseButton(QStringLiteral("Command1"), QStringLiteral("Close"), true);
    layout->addWidget(Command1, 0, Qt::AlignHCenter);
}

} // namespace hv
