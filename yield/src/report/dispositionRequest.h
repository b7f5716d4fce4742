// One disposition asked for, whichever door it comes through: the command line (`dispose`) or
// the board page's form (serve). Checked here once, the board found as `board` finds it, and
// written through the store's one write for it.
#pragma once

#include <ctime>
#include <string>

#include "report/reportRequest.h"
#include "store/store.h"

namespace yield {

struct DispositionAsked {
    std::string chipId;  // as asked: any case, with or without 0x
    std::string status;
    std::string by;
    std::string note;
};

// Records `asked` at `now` for the one stored processor ID `asked.chipId` names. Throws
// RequestError for fields CheckDisposition refuses or an ID that names several stored boards,
// NothingSelected for an ID without a stored run, StoreError when the database fails.
Disposition RecordDisposition(RunStore& store, const DispositionAsked& asked, std::time_t now);

// What a person reads about one disposition: "2026-12-07T22:22:47Z repaired by ana: note".
std::string DispositionLine(const Disposition& d);

}  // namespace yield
