#include "parse/runRecord.h"

#include "parse/calendar.h"
#include "parse/recordWords.h"

namespace yield {

const char* VerdictWord(Verdict v) {
    switch (v) {
        case Verdict::Ok:
            return kVerdictWordOk;
        case Verdict::Err:
            return kVerdictWordErr;
        case Verdict::Incomplete:
            break;
    }
    return kVerdictWordIncomplete;
}

std::vector<std::string> RunRecord::FailingPorts() const {
    std::vector<std::string> out;
    for (const PortResult& p : ports) {
        if (!p.passed) out.push_back(p.Name());
    }
    return out;
}

std::string RunRecord::Day() const { return StampDay(timeStamp); }

int RunRecord::Hour() const { return StampHour(timeStamp); }

std::string RunRecord::CountedDay() const { return clockUnset ? arrivalDay : Day(); }

int CompareCompleteness(bool completeA, int recordsA, long long bytesA, bool completeB,
                        int recordsB, long long bytesB) {
    if (completeA != completeB) return completeA ? 1 : -1;
    if (recordsA != recordsB) return recordsA > recordsB ? 1 : -1;
    if (bytesA != bytesB) return bytesA > bytesB ? 1 : -1;
    return 0;
}

bool MoreComplete(const RunRecord& a, const RunRecord& b) {
    return CompareCompleteness(a.Complete(), a.records, a.bytes, b.Complete(), b.records, b.bytes) >
           0;
}

}  // namespace yield
