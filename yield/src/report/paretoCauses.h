// The failure Pareto by cause, each board counted once per cause. A device all of whose ports a run
// tested failed (more than one: a missing DIO device, one USB stick of two) is one cause, said once
// for the device; any other failed port is its own cause; a failed run that names no failing port
// (a set-up failure) has kNoPortCause.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "store/runRows.h"

namespace yield {

constexpr char kNoPortCause[] = "run failed, no port named";
constexpr char kAllPortsWord[] = ": all ";
constexpr char kPortsFailedWord[] = " ports failed";

struct CauseRow {
    std::string cause;
    long long boards = 0;   // boards with this cause in any selected complete run
    double share = 0;       // of all boards' causes
    double cumulative = 0;  // running share, largest first
};

// The device a family's ports belong to: families that share one device are named after it.
std::string DeviceOf(const std::string& family);

// The causes of one failed run: each failed device whole, then each other failed port.
std::vector<std::string> RunCauses(const RunSummary& run);

class CauseTally {
public:
    void Add(const RunSummary& run);  // a selected complete run
    std::vector<CauseRow> Rows() const;

private:
    std::set<std::pair<std::string, std::string>> seen_;  // cause, board
};

}  // namespace yield
