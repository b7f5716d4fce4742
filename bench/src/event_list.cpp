#include "event_list.h"

#include <algorithm>

#include "run_clock.h"

namespace bench {

void EventList::Add(nlohmann::json entry) {
    if (!entry.contains("t_ms")) entry["t_ms"] = Clock().SinceToolStartMs();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.push_back(std::move(entry));
}

nlohmann::json EventList::Sorted() const {
    std::vector<nlohmann::json> copy;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        copy = m_entries;
    }
    std::stable_sort(copy.begin(), copy.end(), [](const auto& a, const auto& b) {
        return a["t_ms"].template get<double>() < b["t_ms"].template get<double>();
    });
    return nlohmann::json(copy);
}

}  // namespace bench
