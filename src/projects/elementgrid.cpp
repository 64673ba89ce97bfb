#include "projects/elementgrid.h"

#include <array>

#include "core/numbers.h"
#include "core/program.h"
#include "core/units.h"
#include "projects/projecttext.h"

namespace hv {

double ColumnArea(const Program& p, int elementCount, int listIndex) {
    if (listIndex < 0 || listIndex >= p.ElementListUpper || listIndex >= int(p.ElementList.size())) return 0;
    return elementCount * p.ElementList[size_t(listIndex)].SE;
}

double FluxOf(double flow, double area, int flowUnit, int fluxUnit) {
    return FluxFromSI(FlowToSI(flow, flowUnit) / area, fluxUnit);
}

namespace {

// A count shown for the areas; a box that holds no whole number counts none (the checks name it).
int count(const QString& text) {
    return CountBoxValue(text).value_or(0);
}

// A flow the fluxes are shown for; a box that holds no number shows a flux of 0, as an empty one.
double flowIn(const ProjectBoxes& b, int i) {
    return DataBoxValue(b, i).value_or(0.0);
}

// The flow box of each column: system, bank 1, bank 2, bank 3.
constexpr std::array<int, 4> flowBox{14, 15, 10, 22};

void writeColumn(const Program& p, ProjectBoxes& b, int c, double area, double flow, int unitFlow) {
    if (area <= 0) return;
    b.field(300 + c) = ValueText(FluxOf(flow, area, unitFlow, p.FluxUnit));
    ShowGridNumber(b, 200 + c, area, ValueText(area));
}

struct Columns {
    std::array<double, 4> area{};
    std::array<double, 4> flow{};
    std::array<int, 4> count{};
};

Columns readColumns(const Program& p, const ProjectBoxes& b, int numBanks) {
    Columns k;
    for (int c = 0; c <= std::min(numBanks, 3); ++c) {
        k.count[size_t(c)] = count(b.field(100 + c));
        k.area[size_t(c)] = ColumnArea(p, k.count[size_t(c)], b.cboElements[size_t(c)]);
    }
    k.flow[0] = flowIn(b, 14);
    return k;
}

} // namespace

void CalcFlux(const Program& p, ProjectBoxes& b, int numBanks, int unitFlow) {
    Columns k = readColumns(p, b, numBanks);
    if (numBanks >= 1) writeColumn(p, b, 0, k.area[0], k.flow[0], unitFlow);
    if (numBanks >= 2) {
        for (int c = 1; c <= 2; ++c) {
            k.flow[size_t(c)] = flowIn(b, flowBox[size_t(c)]);
            writeColumn(p, b, c, k.area[size_t(c)], k.flow[size_t(c)], unitFlow);
        }
        writeColumn(p, b, 0, k.area[1] + k.area[2], k.flow[0], unitFlow);
    }
    if (numBanks >= 3) {
        k.flow[3] = flowIn(b, 22);
        writeColumn(p, b, 3, k.area[3], k.flow[3], unitFlow);
        writeColumn(p, b, 0, k.area[1] + k.area[2] + k.area[3], k.flow[0], unitFlow);
    }
}

void UnitChangeRefresh(const Program& p, ProjectBoxes& b, int numBanks, int unitFlow) {
    auto area = [&](int c) { return ColumnArea(p, count(b.field(100 + c)), b.cboElements[size_t(c)]); };
    auto flux = [&](int c, double a, double flow) {
        if (a > 0) b.field(300 + c) = FormatValue(FluxOf(flow, a, unitFlow, p.FluxUnit));
    };
    if (numBanks <= 1) {
        if (count(b.field(100)) < 1) return;
        flux(0, area(0), flowIn(b, 1));
        return;
    }
    const int banks = std::min(numBanks, 3);
    // The typed flow of each bank: bank 1's is derived from the system's with system data.
    const std::array<int, 4> typed{1, b.chkSystemData ? 15 : 1, 10, 22};
    double total = 0;
    for (int c = 1; c <= banks; ++c) {
        if (count(b.field(100 + c)) < 1) continue;
        const double a = area(c);
        if (a <= 0) continue;
        ShowGridNumber(b, 200 + c, a, FormatValue(a));
        flux(c, a, flowIn(b, typed[size_t(c)]));
        total += a;
    }
    // The system column shows the bank totals.
    const double systemFlow =
        b.chkSystemData ? flowIn(b, 1) : flowIn(b, 1) + flowIn(b, 10) + (banks == 3 ? flowIn(b, 22) : 0.0);
    flux(0, total, systemFlow);
}

void ElementListLeft(const Program& p, ProjectBoxes& b, int column, int numBanks, int unitFlow) {
    Columns k = readColumns(p, b, numBanks);
    if (column == 0) {
        if (k.count[0] >= 1) writeColumn(p, b, 0, k.area[0], k.flow[0], unitFlow);
        return;
    }
    if (column < 1 || column > 3 || k.count[size_t(column)] < 1) return;
    const double flow = flowIn(b, flowBox[size_t(column)]);
    if (k.area[size_t(column)] <= 0) return;
    writeColumn(p, b, column, k.area[size_t(column)], flow, unitFlow);
    double total = 0;
    for (int c = 1; c <= std::min(numBanks, 3); ++c)
        total += k.area[size_t(c)];
    writeColumn(p, b, 0, total, k.flow[0], unitFlow);
}

void VesselBoxLeft(ProjectBoxes& b, int index) {
    const int row = index / 100, c = index % 100;
    if ((row != 4 && row != 5) || c > 3) return;
    // A product beyond the stored range is shown as it is, for the checks to refuse.
    b.field(100 + c) = QString::number(count(b.field(400 + c)) * count(b.field(500 + c)));
}

void WizardElementCounts(const Program& p, ProjectBoxes& b, FormProjectRecord& f) {
    // A product beyond the stored range is shown as it is, for the checks to refuse, and counts none.
    std::array<int, 4> product{};
    std::array<qint16, 4> elements{};
    for (int c = 0; c <= 3; ++c) {
        product[size_t(c)] = count(b.field(400 + c)) * count(b.field(500 + c));
        elements[size_t(c)] = qint16(product[size_t(c)] > MaxCount ? 0 : product[size_t(c)]);
    }
    f.NumElementsBank = elements[0];
    f.NumElementsBank_1 = elements[1];
    f.NumElementsBank_2 = elements[2];
    f.NumElementsBank_3 = elements[3];
    const auto area = [&](int c) { return ColumnArea(p, elements[size_t(c)], b.cboElements[size_t(c)]); };
    if (f.NumBanks <= 1) {
        f.AreaBank = area(0);
        f.AreaBank_1 = f.AreaBank;
        f.NumElementsBank_1 = f.NumElementsBank;
        b.field(100) = b.field(101) = QString::number(product[0]);
        ShowGridNumber(b, 200, f.AreaBank, GeneralNumber(f.AreaBank));
        ShowGridNumber(b, 201, f.AreaBank, GeneralNumber(f.AreaBank));
        return;
    }
    double* areas[] = {nullptr, &f.AreaBank_1, &f.AreaBank_2, &f.AreaBank_3};
    double totalArea = 0;
    int totalCount = 0, totalVessels = 0;
    for (int c = 1; c <= std::min<int>(f.NumBanks, 3); ++c) {
        *areas[c] = area(c);
        b.field(100 + c) = QString::number(product[size_t(c)]);
        ShowGridNumber(b, 200 + c, *areas[c], GeneralNumber(*areas[c]));
        totalArea += *areas[c];
        totalCount += elements[size_t(c)];
        totalVessels += count(b.field(400 + c));
    }
    f.AreaBank = totalArea;
    f.NumElementsBank = qint16(std::min(totalCount, 32767));
    ShowGridNumber(b, 200, totalArea, GeneralNumber(totalArea));
    b.field(400) = QString::number(totalVessels);
    b.field(100) = QString::number(f.NumElementsBank);
}

void ShowGrid(const Program&, const FormProjectRecord& f, ProjectBoxes& b) {
    const std::array<qint16, 4> vessels{f.NumVessels, f.NumVessels_1, f.NumVessels_2, f.NumVessels_3};
    const std::array<qint16, 4> perVessel{f.ElementsPerVessel, f.ElementsPerVessel_1, f.ElementsPerVessel_2,
                                          f.ElementsPerVessel_3};
    const std::array<qint32, 4> counts{f.NumElementsBank, f.NumElementsBank_1, f.NumElementsBank_2,
                                       f.NumElementsBank_3};
    const std::array<double, 4> areas{f.AreaBank, f.AreaBank_1, f.AreaBank_2, f.AreaBank_3};
    const std::array<double, 4> flows{f.PermFlow, f.PermFlow_1, f.PermFlow_2, f.PermFlow_3};
    for (int c = 0; c <= 3; ++c) {
        b.field(400 + c) = QString::number(vessels[size_t(c)]);
        b.field(500 + c) = QString::number(perVessel[size_t(c)]);
        b.field(100 + c) = QString::number(counts[size_t(c)]);
        ShowGridNumber(b, 200 + c, areas[size_t(c)], GeneralNumber(areas[size_t(c)]));
        const double a = areas[size_t(c)];
        b.field(300 + c) =
            a <= 0 ? QStringLiteral("0") : ValueText(FluxOf(flows[size_t(c)], a, f.unitFlow, f.unitFlux));
    }
}

} // namespace hv
