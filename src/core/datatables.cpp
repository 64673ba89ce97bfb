#include "core/datatables.h"

namespace hv::schema {

const QStringList& ProjectCreationColumns() {
    static const QStringList names = [] {
        const QStringList all = Names(ProjectInfo, [](const Column&) { return true; });
        return all.mid(1, all.indexOf(QLatin1String(ProjectInfoName("DeltaPress_3"))));
    }();
    return names;
}

QStringList UserDefinedTextColumns() {
    return Names(UserDefined, [](const Column& c) { return c.byDefault != nullptr; });
}

const Column* Find(const Table& t, const QString& name) {
    for (const Column& c : t.columns)
        if (name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

} // namespace hv::schema
