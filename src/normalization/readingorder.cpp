#include "normalization/readingorder.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "normalization/intake.h"
#include "platform/database.h"
#include "platform/sqlite.h"

namespace hv {

QList<qint64> NewestReadingIds(Database& db, const QString& projectId, qint64 train, int count) {
    if (count <= 0) return {};
    SqliteConnection fast(db);
    SqliteStatement q(fast,
                      QStringLiteral("SELECT ID, TheDate FROM Data WHERE ProjectID = ? AND TrainNumber = ?"));
    q.bind(0, projectId);
    q.bind(1, train);
    // The newest `count` seen so far, by instant then ID, newest first.
    std::vector<std::pair<qint64, qint64>> top;
    const auto newer = [](const std::pair<qint64, qint64>& a, const std::pair<qint64, qint64>& b) {
        return a > b;
    };
    while (q.step()) {
        int n = 0;
        const char* t = q.text(1, &n);
        if (!t) continue;
        const std::optional<qint64> key = ReadingDateKey(t, n);
        if (!key) continue;
        const std::pair<qint64, qint64> e{*key, q.int64(0)};
        if (int(top.size()) == count && !newer(e, top.back())) continue;
        top.insert(std::upper_bound(top.begin(), top.end(), e, newer), e);
        if (int(top.size()) > count) top.pop_back();
    }
    QList<qint64> ids;
    for (const auto& e : top)
        ids << e.second;
    return ids;
}

} // namespace hv
