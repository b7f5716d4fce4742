#include "parse/runCauses.h"

#include <map>

namespace yield {
namespace {

struct DeviceCount {
    long long tested = 0, failed = 0;
};

}  // namespace

std::string DeviceOf(const std::string& family) {
    return family == kDiFamily || family == kDoFamily ? kDioDevice : family;
}

std::vector<std::string> RunCauses(const std::vector<PortResult>& ports, Verdict verdict) {
    std::map<std::string, DeviceCount> devices;
    for (const PortResult& p : ports) {
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
    for (const PortResult& p : ports)
        if (!p.passed && !whole(DeviceOf(p.family))) causes.push_back(p.Name());
    if (causes.empty() && verdict == Verdict::Err) causes.push_back(kNoPortCause);
    return causes;
}

}  // namespace yield
