#include "spreadsheet/ui/frmhelpwindows.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "core/mlstring.h"

namespace hv {

namespace {

// A spreadsheet column of real dates (right-aligned) and of text that only looks like one.
QPixmap datesPicture() {
    QPixmap pm(170, 190);
    pm.fill(Qt::white);
    QPainter g(&pm);
    g.setPen(Qt::lightGray);
    for (int r = 0; r <= 9; ++r)
        g.drawLine(0, r * 19, 169, r * 19);
    g.drawLine(0, 0, 0, 189);
    g.drawLine(169, 0, 169, 189);
    g.setPen(Qt::black);
    g.drawText(QRect(4, 0, 160, 19), Qt::AlignCenter, "DateTime");
    const char* real[] = {"24/05/07", "25/05/07", "26/05/07", "27/05/07", "28/05/07"};
    for (int i = 0; i < 5; ++i)
        g.drawText(QRect(4, (i + 1) * 19, 160, 19), Qt::AlignRight | Qt::AlignVCenter, real[i]);
    const char* text[] = {"13/6/2007", "14/6/2007", "15/6/2007"};
    for (int i = 0; i < 3; ++i)
        g.drawText(QRect(4, (i + 6) * 19, 160, 19), Qt::AlignLeft | Qt::AlignVCenter, text[i]);
    return pm;
}

} // namespace

frmDate::frmDate(QWidget* parent) : HelpWindow("frmDate", "Configure Input Date", parent) {
    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName("Text1");
    Text1->setReadOnly(true);
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setPixmap(datesPicture());
    Label1 = new QLabel("<== Probably not a real date values and may import incorrectly.", this);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    cmdCancel = addCloseButton("cmdCancel", "Close", true);
    auto* root = new QVBoxLayout(this);
    root->addWidget(Text1, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(Image1);
    row->addWidget(Label1, 1);
    root->addLayout(row);
    root->addWidget(cmdCancel, 0, Qt::AlignRight);
    const QStringList lines = {
        GetMlString(607,
                    "This program is designed to allow you to import data from any excel spreadsheet into "
                    "Hevrin."),
        QString(),
        GetMlString(750, "Hevrin and Excel makes use of a communication method known as DDE to exchange "
                         "information"),
        GetMlString(751, "so you must format the Excel information in a form that Hevrin will recognize "
                         "correctly.  "),
        QString(),
        GetMlString(
            752, "DDE only exchanges TEXT information and converts the Excel cells from text to numbers or "
                 "dates."),
        GetMlString(753,
                    "Problems can occur with different regional date settings and with the use of commas ',' "
                    "or decimals '.' "),
        GetMlString(754,
                    "If EXCEL and Hevrin are set to the same regional settings, all of the import functions "
                    "should work correctly."),
        GetMlString(755, "The boxes below the input area show what Hevrin is expecting"),
        QString(),
        GetMlString(756, "Some notes and warnings to look for:"),
        QString(),
        GetMlString(757, "Date alignments change in the same column"),
        GetMlString(758, "Numbers that do not look real"),
        QString(),
        GetMlString(759, "In general, when you do a Test Import, be sure that the data imported appears "
                         "reasonable."),
    };
    Text1->setPlainText(lines.join("\r\n") + "\r\n");
    // The note shows whole: as wide as its longest line and as high as all its lines.
    const QFontMetrics fm = Text1->fontMetrics();
    int widest = 0;
    for (const QString& line : lines)
        widest = std::max(widest, fm.horizontalAdvance(line));
    const int margins = 2 * (Text1->frameWidth() + int(Text1->document()->documentMargin()));
    Text1->setMinimumSize(widest + margins + fm.averageCharWidth(),
                          Text1->document()->blockCount() * fm.lineSpacing() + margins);
    resize(640, 520);
}

frmImportHelp::frmImportHelp(QWidget* parent) : HelpWindow("frmImportHelp", "Import Help", parent) {
    txtUserNote = new QPlainTextEdit(this);
    txtUserNote->setObjectName("txtUserNote");
    cmdClosebox = addCloseButton("cmdClosebox", "Close this box", false);
    auto* root = new QVBoxLayout(this);
    root->addWidget(txtUserNote, 1);
    root->addWidget(cmdClosebox, 0, Qt::AlignRight);
    txtUserNote->setPlainText(
        "To use this feature you must \r\n\r\n"
        "1. MAKE SURE THE SPREADSHEET YOU WANT TO USE IS OPEN AND SET TO THE SHEET WITH \r\n"
        "DATA. No other Excel workbooks should be open.\r\n\r\n"
        "2. In Excel have the raw data corresponding to the CURRENTLY SELECTED Hevrin project. The data \r\n"
        "must be in consecutive ROWS in Excel. Headings do not matter and are ignored for the import "
        "process.  \r\n"
        "The importer program assumes you will configure the proper location for each data item/cell "
        "(R#c#).\r\n\r\n"
        "3. Configure each Topic/Sheet name to match the Excel spreedsheet you are using.  For example, if "
        "the \r\n"
        "spreadsheet sheet name is \"mydata\" then each Excel \"topic/sheet\" must be set to mydata (no "
        "quotes). \r\n\r\n"
        "4. Configure each Row#Col#/Tag to match the data you want to import.  The columns do not have be "
        "\r\n"
        "consecutive so you may for example set Permflow = R6C2 and ConcFlow = R6C25.\r\n\r\n"
        "5. Start the Excel ROWS (The Row#Col#) at the first Row with valid data in the row. \r\n\r\n"
        "6. You MUST test the data import using the Test Import Now button.  This will populate the data "
        "entry \r\n"
        "boxes. \r\n"
        "Save the data using the Save Data Now buttom. \r\n"
        "You may make changes to the data manually before saving it if necessary and import the next row by "
        "\r\n"
        "again pressing the Test Import Now button followed by the Save Data Now command button.\r\n\r\n"
        "7. You can import one row at a time as above or ALL of the data by selecting the \"All Rows "
        "Automatically \r\n"
        "option button (Lower right of screen) and then pressing the Test Import Now button.\r\n"
        "button.\r\n");
    resize(760, 480);
}

} // namespace hv
