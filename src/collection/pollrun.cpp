#include "collection/pollrun.h"

#include "core/typedinput.h"

namespace hv {

PolledValues PollLinks(const PollSetup& setup, LinkRowSource& source) {
    PolledValues v;
    for (size_t k = 0; k < v.texts.size(); ++k)
        v.texts[k] = setup.rows[k].text;
    std::array<QString, ItemCount> texts = v.texts;
    std::array<int, ItemCount> order{};
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = setup.rows[k].item;
    const int dateRow = DateRow(order);
    const bool dated = setup.rows[size_t(dateRow)].item == item::TheDate;
    const FetchedRow f =
        FetchLinkedRow(source, setup.links, texts, dated ? dateRow : -1, setup.project, setup.now);
    v.fetch = f.failure;
    if (v.fetch) return v;
    v.elapsed = f.elapsed;
    v.texts = texts;
    return v;
}

PollOutcome RunPoll(Program& p, const PollSetup& setup, LinkRowSource& source, RunProgress& progress) {
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
