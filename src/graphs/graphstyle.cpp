#include "graphs/graphstyle.h"

#include "core/program.h"
#include "core/settings.h"

namespace hv {

namespace {

const char* Section = "Graph Styles";

const struct {
    const char* name;
    qint32 color;
} Colors[] = {{"Green", 32768},  {"Red", 200},        {"Blue", 13107200}, {"Black", 0},
              {"Yellow", 65535}, {"Purple", 8388672}, {"Orange", 33023}};

QString key(const char* pattern, int k) {
    return QString(pattern).arg(k);
}

} // namespace

QStringList GraphStyleKeys() {
    QStringList keys;
    for (const char* pattern : {"Line%1Color", "Line%1Style", "Symbol%1Color", "Symbol%1Style"})
        for (int k = 1; k <= 4; ++k)
            keys << key(pattern, k);
    keys << "LineThickness"
         << "SymbolThickness"
         << "YMax"
         << "Y2Max"
         << "YMin"
         << "Y2Min";
    return keys;
}

void LoadGraphStyles(const Program& p, GraphStyle& s) {
    const GraphStyle d;
    const QString& f = p.IniFilePath;
    for (int k = 0; k < 4; ++k)
        s.LineColor[k] = ReadIniLong(Section, key("Line%1Color", k + 1), d.LineColor[k], f);
    for (int k = 0; k < 4; ++k)
        s.LineStyle[k] = ReadIniInteger(Section, key("Line%1Style", k + 1), d.LineStyle[k], f);
    for (int k = 0; k < 4; ++k)
        s.SymbolColor[k] = ReadIniLong(Section, key("Symbol%1Color", k + 1), d.SymbolColor[k], f);
    for (int k = 0; k < 4; ++k)
        s.SymbolStyle[k] = ReadIniInteger(Section, key("Symbol%1Style", k + 1), d.SymbolStyle[k], f);
    s.LineThickness = ReadIniInteger(Section, "LineThickness", d.LineThickness, f);
    s.SymbolThickness = ReadIniInteger(Section, "SymbolThickness", d.SymbolThickness, f);
    s.YMax = ReadIniDouble(p, Section, "YMax", AutoLimit, f);
    s.Y2Max = ReadIniDouble(p, Section, "Y2Max", AutoLimit, f);
    s.YMin = ReadIniDouble(p, Section, "YMin", AutoLimit, f);
    s.Y2Min = ReadIniDouble(p, Section, "Y2Min", AutoLimit, f);
}

void SaveGraphStyles(const Program& p, const GraphStyle& s) {
    const QString& f = p.IniFilePath;
    for (int k = 0; k < 4; ++k)
        WriteIniLong(Section, key("Line%1Color", k + 1), f, s.LineColor[k]);
    for (int k = 0; k < 4; ++k)
        WriteIniInteger(Section, key("Line%1Style", k + 1), f, s.LineStyle[k]);
    for (int k = 0; k < 4; ++k)
        WriteIniLong(Section, key("Symbol%1Color", k + 1), f, s.SymbolColor[k]);
    for (int k = 0; k < 4; ++k)
        WriteIniInteger(Section, key("Symbol%1Style", k + 1), f, s.SymbolStyle[k]);
    WriteIniInteger(Section, "LineThickness", f, s.LineThickness);
    WriteIniInteger(Section, "SymbolThickness", f, s.SymbolThickness);
    WriteIniDouble(Section, "YMax", f, s.YMax);
    WriteIniDouble(Section, "Y2Max", f, s.Y2Max);
    WriteIniDouble(Section, "YMin", f, s.YMin);
    WriteIniDouble(Section, "Y2Min", f, s.Y2Min);
}

QStringList ColorNames() {
    QStringList names;
    for (const auto& c : Colors)
        names << c.name;
    return names;
}

QStringList LineStyleNames() {
    return {"None", "Solid", "Dash", "Dotted", "Short Dash"};
}

QStringList SymbolStyleNames() {
    return {"None",     "Dot",       "Box",   "Tri",    "Diamond", "Star",
            "VertLine", "HorizLine", "Cross", "Circle", "Square"};
}

qint32 NameToColor(const QString& name) {
    for (const auto& c : Colors)
        if (name == QLatin1String(c.name)) return c.color;
    return 16776960;
}

QString ColorToName(qint32 color) {
    for (const auto& c : Colors)
        if (color == c.color) return c.name;
    return "Black";
}

} // namespace hv
