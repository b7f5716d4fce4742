// A list of time-stamped record entries that several threads append to.
#pragma once

#include <mutex>
#include <nlohmann/json.hpp>
#include <vector>

namespace bench {

class EventList {
public:
    // Adds the entry; without a "t_ms" of its own it gets the run clock's time now.
    void Add(nlohmann::json entry);
    // The entries ordered by "t_ms" (entries of equal time keep their order).
    nlohmann::json Sorted() const;

private:
    mutable std::mutex m_mutex;
    std::vector<nlohmann::json> m_entries;
};

}  // namespace bench
