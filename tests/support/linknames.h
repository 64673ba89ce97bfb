#pragma once
#include <QString>

namespace hv::test {

// A link-server name of its own at each call, so that tests running side by side never meet.
QString uniqueServerName();

} // namespace hv::test
