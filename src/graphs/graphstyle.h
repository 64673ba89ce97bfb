#pragma once
#include <QString>
#include <QStringList>
#include <array>

namespace hv {

struct Program;

// Colours, styles, thicknesses and fixed axis limits of the four series of a graph, and
// its custom title. -1000 marks a limit as automatic.
struct GraphStyle {
    std::array<qint32, 4> LineColor{32768, 200, 13107200, 0}; // [k - 1] is series k
    std::array<qint16, 4> LineStyle{2, 2, 2, 2};
    std::array<qint32, 4> SymbolColor{32768, 200, 13107200, 0};
    std::array<qint16, 4> SymbolStyle{1, 1, 1, 1};
    qint16 SymbolThickness = 5;
    qint16 LineThickness = 2;
    double YMax = -1000;
    double Y2Max = -1000;
    double YMin = -1000;
    double Y2Min = -1000;
    QString Header = "None";
};

constexpr double AutoLimit = -1000;

// The 22 keys of section "Graph Styles", in their order.
QStringList GraphStyleKeys();
// Reads the keys into the record (defaults key by key); the title is left alone.
void LoadGraphStyles(const Program& p, GraphStyle& s);
void SaveGraphStyles(const Program& p, const GraphStyle& s);

// The style dialog's names.
QStringList ColorNames();     // "Green" ... "Orange"
QStringList LineStyleNames(); // code - 1 = position
QStringList SymbolStyleNames();
// An unknown name gives 16776960; an unknown number "Black". Names compare exactly.
qint32 NameToColor(const QString& name);
QString ColorToName(qint32 color);

} // namespace hv
