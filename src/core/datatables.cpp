#include "core/datatables.h"

namespace hv::schema {

const Table Data{"Data", detail::DataColumns};
const Table ProjectInfo{"ProjectInfo", detail::ProjectInfoColumns};

const Column* Find(const Table& t, const QString& name) {
    for (const Column& c : t.columns)
        if (name.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) return &c;
    return nullptr;
}

} // namespace hv::schema
