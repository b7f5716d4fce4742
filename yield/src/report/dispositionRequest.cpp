#include "report/dispositionRequest.h"

#include "report/reportSelection.h"

namespace yield {
namespace {

constexpr char kSeveralBoards[] = "the processor ID names several stored boards; give one of: ";
constexpr char kListSeparator[] = ", ";
constexpr char kBy[] = " by ";
constexpr char kNoteLead[] = ": ";

std::string OneBoard(ReadStore& store, const std::string& asked) {
    std::vector<BoardRuns> found = FindBoard(store, asked);
    if (found.empty()) throw NothingSelected(NoRunOf(asked));
    if (found.size() == 1) return found.front().chipId;
    std::string names;
    for (const BoardRuns& b : found) names += (names.empty() ? "" : kListSeparator) + b.chipId;
    throw RequestError(kSeveralBoards + names);
}

}  // namespace

Disposition RecordDisposition(RunStore& store, const DispositionAsked& asked, std::time_t now) {
    std::string wrong = CheckDisposition(asked.status, asked.by, asked.note);
    if (!wrong.empty()) throw RequestError(wrong);
    Disposition d;
    d.chipId = OneBoard(store, asked.chipId);
    d.status = asked.status;
    d.by = asked.by;
    d.note = asked.note;
    d.at = UtcStamp(now);
    std::optional<Disposition> made = store.Dispose(d);
    if (!made) throw NothingSelected(NoRunOf(asked.chipId));
    return *made;
}

std::string DispositionLine(const Disposition& d) {
    return d.at + " " + d.status + kBy + d.by + (d.note.empty() ? "" : kNoteLead + d.note);
}

}  // namespace yield
