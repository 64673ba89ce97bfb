#include "collection/rowlinks.h"

#include <QPointer>

#include "collection/readingcheck.h"
#include "core/typedinput.h"
#include "platform/links/linkclient.h"
#include "platform/links/linkerrors.h"

namespace hv {

RowLinkFailure OpenRowLinks(const std::vector<links::LinkClient*>& clients, const std::vector<RowLink>& rows,
                            bool automatic, bool stopOnAnyFailure) {
    // A link waits for its program in the event loop, where the window that owns the links
    // may close.
    std::vector<QPointer<links::LinkClient>> alive(clients.begin(), clients.end());
    for (size_t k = 0; k < alive.size() && k < rows.size(); ++k) {
        if (!alive[k]) return {int(k), -1};
        links::LinkClient* l = alive[k];
        l->setLinkMode(0);
        if (!rows[k].linked) {
            l->setLinkTopic(QString());
            l->setLinkItem(QString());
            continue;
        }
        l->setLinkTopic(rows[k].application + "|" + rows[k].topic);
        l->setLinkItem(rows[k].item);
        const int error = l->setLinkMode(automatic ? 1 : 2);
        // A program that is not there, or that does not answer in time, is not asked again.
        if (error == links::NoServer || error == links::Timeout || (error != 0 && stopOnAnyFailure))
            return {int(k), error};
    }
    return {};
}

void CloseRowLinks(const std::vector<links::LinkClient*>& clients) {
    for (links::LinkClient* l : clients)
        l->setLinkMode(0);
}

RowLinkFailure FetchRowLinks(const std::vector<links::LinkClient*>& clients,
                             const std::vector<RowLink>& rows) {
    // A request waits in the event loop, where the window that owns the links may close.
    std::vector<QPointer<links::LinkClient>> alive(clients.begin(), clients.end());
    for (size_t k = 0; k < alive.size() && k < rows.size(); ++k) {
        if (!rows[k].linked) continue;
        if (!alive[k]) return {int(k), -1};
        if (const int error = alive[k]->linkRequest()) return {int(k), error};
    }
    return {};
}

FetchedRow FetchLinkedRow(LinkRowSource& source, const std::vector<RowLink>& rows,
                          std::array<QString, ItemCount>& texts, int dateRow,
                          const ProjectInfoRecord& project, const QDateTime& now) {
    FetchedRow out;
    out.failure = source.fetch(rows, texts);
    if (out.failure || dateRow < 0 || dateRow >= ItemCount) return out;
    const std::optional<QDateTime> d = ParseEntryDate(texts[size_t(dateRow)]);
    if (d) texts[size_t(dateRow)] = ShortDateTimeText(*d);
    out.elapsed = FormatHours(ElapsedHoursAt(d ? *d : now, project));
    return out;
}

} // namespace hv
