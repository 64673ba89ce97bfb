#include "maintenance/ui/frmelementspecs.h"

#include <QGridLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <cmath>

#include "core/elementdb.h"
#include "core/mlstring.h"
#include "core/program.h"

namespace hv {

namespace {
const QString Tcf = ", 1500-3500, exp(TCF*(1/298-1/(T+273))";
const QString TcfSalt = ", 1500-7000, exp(TCF*(1/298-1/(T+273))";
} // namespace

frmElementSpecs::frmElementSpecs(Program& p, QWidget* parent)
    : RecordEditorWindow(p, "Create/Edit/Delete Custom Elements", parent) {
    setMouseTracking(true);
    Label1 = new QLabel("You may create Custom elements here. You will need to know the temperature "
                        "correction coefficients, a "
                        "delta pressure geometric coefficient, and the area. If in doubt use the default "
                        "values. Use the EDIT "
                        "button then Update to change data.",
                        this);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    body_->addWidget(Label1);

    auto* grid = new QGridLayout;
    addField(grid, 0, 0, 0, "Model", "Model: (50 chars max)")->setMaxLength(50);
    addField(grid, 1, 0, 1, "DP3",
             "DP Coef: 1.25 typical, Form is: (refavgFlow / avgFlow) ^ (DPCoef), element specific");
    addField(grid, 2, 0, 2, "SE", "Area, m^2: 400 ft^2 = 37.17 m^2 (10.76 ft^2/m^2)");
    addField(grid, 3, 0, 3, "TA(<=25)", "TCF Flow, <= 25C" + Tcf);
    addField(grid, 4, 0, 4, "TA(>25)", "TCF Flow, > 25C" + Tcf);
    addField(grid, 5, 0, 5, "TB(<=25)", "TCF Salt Passage, <= 25C" + TcfSalt);
    addField(grid, 6, 0, 6, "TB(>25)", "TCF Salt Passage, > 25C" + TcfSalt);
    addField(grid, 7, 0, 7, "Custom", "Custom:");
    txtFields[7]->hide();
    lblLabels[7]->hide();
    addField(grid, 8, 0, 8, "ID", "ID: (Cannot be changed, assigned automatically)", false);
    for (auto& [i, l] : lblLabels)
        l->setWordWrap(true);
    // Explain buttons beside the model (4), DP (0), area (1), flow (2) and salt passage (3) boxes.
    const int rows[] = {1, 2, 3, 5, 0};
    for (int i = 0; i < 5; ++i) {
        auto* b = new QPushButton("Explain", this);
        b->setObjectName(QString("cmdHelp_%1").arg(i));
        b->setAutoDefault(false);
        grid->addWidget(b, rows[i], 2);
        connect(b, &QPushButton::clicked, this, [this, i] { cmdHelp_Click(i); });
        cmdHelp.push_back(b);
    }
    grid->setColumnStretch(0, 2);
    grid->setColumnStretch(1, 1);
    body_->addLayout(grid);
    body_->addStretch(1);
    resize(760, 420);
    finishForm();
}

bool frmElementSpecs::Form_Load() {
    try {
        db_ = std::make_unique<Database>(Database::open(ElementDatabasePath(p_)));
        bind(std::make_unique<RecordSet>(
            *db_, "ElementSpecs",
            QStringList{"Model", "DP3", "SE", "TA(<=25)", "TA(>25)", "TB(<=25)", "TB(>25)", "Custom", "ID"},
            "Custom <> 0", QVariantList{}, "ID"));
        return true;
    } catch (const DbError& e) {
        message(e.description() + "\r\nCould not open element database at: \r\n" + ElementDatabasePath(p_));
        return false;
    }
}

QString frmElementSpecs::noRecordText() const {
    return GetMlString(789, "No more records left");
}

void frmElementSpecs::addDefaults() {
    txtFields[0]->setText(GetMlString(809, "Custom Element"));
    txtFields[1]->setText(QLocale().toString(1.4));
    txtFields[2]->setText(QLocale().toString(37.2));
    for (int i = 3; i <= 6; ++i)
        txtFields[i]->setText("2500");
    txtFields[7]->setText("-1");
}

void frmElementSpecs::cmdUpdate_Click() {
    try {
        storeBoxes();
        // Every row this window writes is a custom element, whatever the hidden box holds.
        rs().setValue(GetMlString(810, "Custom"), -1);
        updateAndBrowse();
    } catch (const DbError& e) {
        // Only a second row of one model breaks a constraint; a read-only or locked database, a full
        // disk and the like are reported in the database's own words.
        if (e.description().contains("UNIQUE constraint", Qt::CaseInsensitive)) {
            message(GetMlString(
                550, "Duplicate element Model. Please change model name. Use EDIT to make changes."));
            txtFields[0]->setFocus();
        } else {
            message(GetMlString(811, "Error Number ") + QString::number(e.number()) + " " + e.description());
        }
    }
}

void frmElementSpecs::cmdDelete_Click() {
    trap([this] {
        RecordSet& r = rs();
        if (!r.hasCurrent()) r.value("ID"); // no current record: 3021 before the question
        const Answer a = p_.prompts.message(
            "If you delete an element which is in use in your project, be sure to go to EDIT PROJECT "
            "INFORMATION and select a new element before you enter any new operating data. Once the new "
            "element is selected subsequent data entry will use the new element values.  \r\n\r\nTo correct "
            "all values in the past with the new element, be sure to do RECALCULATE PROJECT.\r\n\r\nAre you "
            "sure you want to delete this element?",
            Buttons::YesNo, Icon::None, "DELETE ELEMEMT");
        if (a != Answer::Yes) return;
        r.deleteCurrent();
        if (r.eof()) r.moveLast();
    });
}

void frmElementSpecs::cmdHelp_Click(int index) {
    static const char* Texts[] = {
        nullptr, "The active membrane area of the element is required in sq meters (m^2). 1 m^2 = 10.76 ft^2",
        "This is a factor in the equation which corrects flow rate for water temperature.  Typical values "
        "are in "
        "the range of 2000 to 4000.  At 25 deg C the correction factor (the result of solving the equation) "
        "is "
        "1.00. At temperatures below 25 C the value is less than 1.0.",
        "This is a factor in the equation which corrects salt passage for water temperature.  Typical values "
        "are "
        "in the range of 2500 to 5000.  At 25 deg C the correction factor (the result of solving the "
        "equation) is "
        "1.00. At temperatures below 25 C the value is less than 1.0.",
        "Enter a description of your custom element. It can be up to 50 characters long."};
    if (index == 0) {
        QWidget* help = p_.windows.find("frmElementSpecHelp");
        if (!help) {
            help = new frmElementSpecHelp;
            p_.windows.add("frmElementSpecHelp", help);
        }
        help->show();
        help->raise();
    } else if (index >= 1 && index <= 4) {
        message(Texts[index]);
    }
}

void frmElementSpecs::mouseMoveEvent(QMouseEvent* event) {
    if (QWidget* help = p_.windows.find("frmElementSpecHelp")) help->hide();
    RecordEditorWindow::mouseMoveEvent(event);
}

void frmElementSpecs::Form_Unload() {
    // The window's connection goes first, so the reload reads what was stored.
    adoPrimaryRS.reset();
    db_.reset();
    LoadElementSpecs(p_);
}

frmElementSpecHelp::frmElementSpecHelp(QWidget* parent)
    : HelpWindow("frmElementSpecHelp", "DP Specs", parent) {
    auto* grid = new QGridLayout(this);
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    Label1->setText(
        QStringList{GetMlString(1403, "Differential pressure is estimated by the formula:"), QString(),
                    GetMlString(1404, "Constant * AvgFlow^DPCoef, where flow is in gpm and DP is in psi."),
                    GetMlString(1405, "For NORMALIZATION purposes, the units and <constant> cancel out "
                                      "and the normalized DP is"),
                    GetMlString(1406, "DP Norm = DP Actual * (AvgFlowActual / AvgFlowRef) ^ DPCoef"),
                    GetMlString(1407, "Typically DPCoef is 1.4 to 1.5. Unless you have better "
                                      "information, accept the default value."),
                    QString(),
                    GetMlString(1408, "The graph shows a typical curve for a hypothetical 8 inch "
                                      "element.")}
            .join("\r\n"));
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    // A typical element: DP = 0.012 * flow^1.45, flow 0 to 60 gpm.
    QPixmap pic(320, 200);
    pic.fill(Qt::white);
    {
        QPainter g(&pic);
        g.setRenderHint(QPainter::Antialiasing);
        const QRect plot(40, 10, 270, 160);
        g.drawRect(plot);
        QPainterPath curve;
        const double top = 0.012 * std::pow(60.0, 1.45);
        for (int i = 0; i <= 60; ++i) {
            const QPointF pt(plot.left() + plot.width() * i / 60.0,
                             plot.bottom() - plot.height() * 0.012 * std::pow(double(i), 1.45) / top);
            if (i == 0)
                curve.moveTo(pt);
            else
                curve.lineTo(pt);
        }
        g.setPen(QPen(Qt::blue, 2));
        g.drawPath(curve);
        g.setPen(Qt::black);
        g.drawText(QRect(40, 175, 270, 20), Qt::AlignCenter, "Average flow, gpm");
        g.save();
        g.translate(15, 130);
        g.rotate(-90);
        g.drawText(0, 0, "DP, psi");
        g.restore();
    }
    Image1->setPixmap(pic);
    cmdClose = addCloseButton("cmdClose", "Close", false);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Image1, 1, 0, Qt::AlignCenter);
    grid->addWidget(cmdClose, 2, 0, Qt::AlignRight);
}

} // namespace hv
