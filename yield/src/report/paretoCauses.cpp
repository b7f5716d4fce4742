#include "report/paretoCauses.h"

#include <algorithm>
#include <map>

namespace yield {
namespace {

// Families whose ports one device serves.
const std::map<std::string, std::string> kSharedDevices = {{"DI", "DIO"}, {"DO", "DIO"}};

struct DeviceCount {
    long long tested = 0, failed = 0;
};

}  // namespace

std::string DeviceOf(const std::string& family) {
    auto it = kSharedDevices.find(family);
    return it == kSharedDevices.end() ? family : it->second;
}

std::vector<std::string> RunCauses(const RunSummary& run) {
    std::map<std::string, DeviceCount> devices;
    for (const PortResult& p : run.ports) {
        DeviceCount& d = devices[DeviceOf(p.family)];
        ++d.tested;
        d.failed += p.passed ? 0 : 1;
    }
    auto whole = [&devices](const std::string& device) {
        const DeviceCount& d = devices[device];
        return d.failed > 1 && d.failed == d.tested;
    };
    std::vector<std::string> causes;
    for (const auto& [device, d] : devices)
        if (whole(device))
            causes.push_back(device + kAllPortsWord + std::to_string(d.tested) + kPortsFailedWord);
    for (const PortResult& p : run.ports)
        if (!p.passed && !whole(DeviceOf(p.family))) causes.push_back(p.Name());
    if (causes.empty() && run.verdict == Verdict::Err) causes.push_back(kNoPortCause);
    return causes;
}

void CauseTally::Add(const RunSummary& run) {
    if (run.verdict == Verdict::Ok) return;
    for (std::string& cause : RunCauses(run)) seen_.emplace(std::move(cause), run.chipId);
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
