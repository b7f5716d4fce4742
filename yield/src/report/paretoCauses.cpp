#include "report/paretoCauses.h"

#include <algorithm>

namespace yield {

void CauseTally::Add(const RunSummary& run) {
    if (run.verdict == Verdict::Ok) return;
    if (!run.causes.empty()) {
        for (const std::string& cause : run.causes) seen_.emplace(cause, run.chipId);
        return;
    }
    for (std::string& cause : RunCauses(run.ports, run.verdict))
        seen_.emplace(std::move(cause), run.chipId);
}

std::vector<CauseRow> CauseTally::Rows() const {
    std::vector<CauseRow> rows;
    size_t causes = 0;
    const std::string* last = nullptr;
    for (const auto& [cause, board] : seen_) {
        causes += last == nullptr || *last != cause ? 1 : 0;
        last = &cause;
    }
    rows.reserve(causes);
    for (const auto& [cause, board] : seen_) {
        if (rows.empty() || rows.back().cause != cause) rows.push_back(CauseRow{cause});
        ++rows.back().boards;
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const CauseRow& a, const CauseRow& b) { return a.boards > b.boards; });
    double total = static_cast<double>(seen_.size()), running = 0;
    for (CauseRow& r : rows) {
        r.share = static_cast<double>(r.boards) / total;
        running += r.share;
        r.cumulative = running;
    }
    return rows;
}

}  // namespace yield
