// The failure Pareto by cause (parse/runCauses.h), each board counted once per cause.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "parse/runCauses.h"
#include "store/runRows.h"

namespace yield {

struct CauseRow {
    std::string cause;
    long long boards = 0;   // boards with this cause in any selected complete run
    double share = 0;       // of all boards' causes
    double cumulative = 0;  // running share, largest first
};

class CauseTally {
public:
    // A selected complete run: its kept causes, else those its ports give.
    void Add(const RunSummary& run);
    std::vector<CauseRow> Rows() const;

private:
    std::set<std::pair<std::string, std::string>> seen_;  // cause, board
};

}  // namespace yield
