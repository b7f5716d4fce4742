// The store's alarms over one connection (AlarmStore's and ReadStore::AlarmHistory's work). Each
// write is a batch of its own; Live and Version read afresh, ending any read snapshot the
// connection held, so that a server keeping the connection sees what others wrote.
#pragma once

#include <string>
#include <vector>

#include "store/sqlConnection.h"

namespace yield {

class SqlAlarms {
public:
    explicit SqlAlarms(SqlConnection& conn) : conn_(conn) {}

    // As AlarmStore's methods, and ReadStore::AlarmHistory.
    long long Raise(const AlarmRow& a);
    void End(long long id, const std::string& at);
    AlarmStepOutcome TakeStep(long long id, AlarmStep step, const AlarmNote& n);
    std::vector<AlarmRow> Live();
    std::string Version();
    std::vector<AlarmRow> History(long long n);

private:
    SqlConnection& conn_;
};

}  // namespace yield
