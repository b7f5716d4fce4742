// What the repair desk decided about a board: repaired, scrapped or returned, with a note, who
// and when. Recorded from the command line (`dispose`) and from the board page, through one
// check and one writer; kept in a history that is only ever added to.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace yield {

// The words a disposition takes, and the queue's word for a board repaired and not yet tested
// again (the SQL views spell them too).
#define YIELD_DISPOSE_REPAIRED "repaired"
#define YIELD_DISPOSE_SCRAPPED "scrapped"
#define YIELD_DISPOSE_RETURNED "returned"
#define YIELD_REPAIR_AWAITING_RETEST "repaired, awaiting retest"
constexpr char kDisposeRepaired[] = YIELD_DISPOSE_REPAIRED;
constexpr char kDisposeScrapped[] = YIELD_DISPOSE_SCRAPPED;
constexpr char kDisposeReturned[] = YIELD_DISPOSE_RETURNED;
// Bounds of who and the note, in bytes.
constexpr size_t kDisposeByBytes = 64;
constexpr size_t kDisposeNoteBytes = 1000;

struct Disposition {
    long long id = 0;     // handed out in the order they were recorded
    std::string chipId;   // the processor ID as stored
    long long runId = 0;  // the board's newest stored run when it was recorded
    std::string status;   // kDisposeRepaired, kDisposeScrapped or kDisposeReturned
    std::string note;     // may be empty
    std::string by;       // who
    std::string at;       // UTC, 2026-12-07T22:22:47Z
};

using DispositionSink = std::function<void(const Disposition&)>;

// The three words, in the order a list of them gives them.
const std::vector<std::string>& DispositionWords();
// "" when `status`, `by` and `note` may be recorded; else what is wrong with them: a status that
// is none of the words, an empty who, a who or note past its bound, not UTF-8, or holding a
// control character (a note may hold line feeds).
std::string CheckDisposition(const std::string& status, const std::string& by,
                             const std::string& note);

// Whether `d` still speaks for a board whose queue shows run `runId`: it was recorded when that
// run was stored already. A run stored after it is a new test of the board.
inline bool DispositionCovers(const Disposition& d, long long runId) {
    return runId != 0 && runId <= d.runId;
}

}  // namespace yield
