#pragma once
#include <QString>

namespace hv {

// A new control under its name, as a form designer sets it, so that tests and tools find it.
template <class W> W* named(W* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

} // namespace hv
