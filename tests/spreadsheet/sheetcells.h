#pragma once
#include <QDateTime>
#include <QLocale>
#include <QString>

#include "collection/readingitems.h"
#include "platform/database.h"

namespace hv::test {

// The cell of item `i` on reading `r` (0 first) of a test sheet: readings a day apart from
// 2020-01-05 08:00, each value the reference row's of `info` as the sheet shows it in the
// computer's own settings, the optional items 1.
inline QString sheetCell(const DbRow& info, int r, int i) {
    if (i == item::TheDate) return QDateTime(QDate(2020, 1, 5 + r), QTime(8, 0)).toString("yyyy-MM-dd HH:mm");
    if (i >= item::FirstUser && i <= item::LastUser) return QStringLiteral("1");
    if (i == item::Temperature) return info.value("FeedTemp").toString();
    if (i == item::pH) return QStringLiteral("7");
    return QLocale().toString(info.value(ItemFieldList().at(i)).toDouble(), 'g', 15);
}

} // namespace hv::test
