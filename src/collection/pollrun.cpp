#include "collection/pollrun.h"

#include "core/typedinput.h"

namespace hv {

PolledValues PollLinks(const PollSetup& setup, PollLinkSource& source) {
    PolledValues v;
    for (size_t k = 0; k < v.texts.size(); ++k)
        v.texts[k] = setup.rows[k].text;
    std::array<QString, ItemCount> texts = v.texts;
    v.fetch = source.fetch(setup.links, texts);
    if (v.fetch) return v;
    std::array<int, ItemCount> order{};
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = setup.rows[k].item;
    const size_t dateRow = size_t(DateRow(order));
    if (setup.rows[dateRow].item == item::TheDate) {
        // The seconds the control system gave are kept.
        const std::optional<QDateTime> d = ParseEntryDate(texts[dateRow]);
        if (d) texts[dateRow] = ShortDateTimeText(*d);
        v.elapsed = FormatHours(ElapsedHoursAt(d ? *d : setup.now, setup.project));
    }
    v.texts = texts;
    return v;
}

PollOutcome RunPoll(Program& p, const PollSetup& setup, PollLinkSource& source, RunProgress& progress) {
    PollOutcome out;
    progress.setBusy(true);
    struct Idle {
        RunProgress& progress;
        ~Idle() { progress.setBusy(false); }
    } idle{progress};

    out.read = PollLinks(setup, source);
    if (out.read.fetch) {
        out.end = PollOutcome::End::FetchFailed;
        return out;
    }
    // The answers' events get their turn before the reading is checked.
    if (progress.yieldAndCheckCancel()) {
        out.end = PollOutcome::End::Stopped;
        return out;
    }

    std::array<EntryRow, ItemCount> rows = setup.rows;
    for (size_t k = 0; k < rows.size(); ++k)
        rows[k].text = out.read.texts[k];
    out.check = CheckReading(setup.project, rows, out.read.elapsed.value_or(QString()), false,
                             setup.decimalCode, out.reading, setup.now);
    for (size_t k = 0; k < rows.size(); ++k)
        out.read.texts[k] = rows[k].text;
    if (out.check.elapsedCaption) out.read.elapsed = out.check.elapsedCaption;
    if (!out.check.passed()) {
        out.end = PollOutcome::End::Refused;
        return out;
    }

    try {
        ReadingValues balanced = out.reading;
        ApplyBankBalance(balanced, setup.project.NumBanks, setup.project.SystemData);
        out.note = NoteForStorage(setup.note);
        out.saved = StoreReading(p, setup.project, balanced, setup.eventId, out.note);
        out.reading = balanced;
    } catch (const RunError& e) {
        out.end = PollOutcome::End::SaveFailed;
        out.error = e;
        return out;
    }
    out.end = PollOutcome::End::Taken;
    return out;
}

} // namespace hv
