// What one archived trace log says about one run: the record the log parser fills and the store
// keeps. Plain data; it knows nothing of files or databases.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace yield {

enum class Verdict { Incomplete, Ok, Err };

const char* VerdictWord(Verdict v);  // "OK", "ERR" or "INCOMPLETE"

// One summary line: "<family>-<n>:[NO |NC ]Test Succ Cnt a,Error Cnt b". `family` is the result
// document's name (AI is "ADC", the LEDs "LED" numbered in the document's order).
struct PortTally {
    std::string family;
    int number = 0;
    std::string variant;  // "", "NO" (outputs off) or "NC" (outputs on)
    int succ = 0;
    int err = 0;
};

// One port's outcome for the run: from the result document when the log carries it, else from
// the tallies.
struct PortResult {
    std::string family;
    int number = 0;
    bool passed = false;
    bool intermittent = false;  // both passed and failed cycles within the run
    std::string Name() const { return family + "-" + std::to_string(number); }
};

// One value the log reports in a cycle. `hasLimits` says whether low/high apply; `outcome` is
// "pass", "fail" or "info" (reported, not judged).
struct Measurement {
    int cycle = 0;
    std::string port;  // the port it belongs to ("ADC-1", "RS232-2", ...) or "" for the run
    std::string name;
    double value = 0;
    std::string text;  // a text value (the AT answer) or ""
    std::string unit;
    bool hasLimits = false;
    double low = 0;
    double high = 0;
    std::string outcome;
    std::string line;  // the log message it came from
};

// A log message that explains a failure, attributed to a port ("" when it names none).
struct FailureLine {
    int cycle = 0;
    std::string port;
    std::string line;
};

struct RunRecord {
    // Key: the identity the run's header gives.
    std::string host;
    std::string chipId;
    std::string timeStamp;  // "%Y_%m_%d_%H_%M_%S" as the run formed it

    // The fixture it ran in, as the ingest was told (--station or a marker file), or "": not part
    // of the log, and not of the key (every board of a line may carry the same host name).
    std::string station;

    std::string startedAt;  // first log line's time, "YYYY-MM-DD HH:MM:SS"
    std::string endedAt;    // last log line's time
    std::string args;
    std::string build;
    std::string version;
    int testMode = -1;
    int portSelect = -1;
    int cyclesAsked = 0;
    int cyclesRun = 0;
    std::map<std::string, int> counts;  // "RS485", "RS232", "DO", "DI", "AI", "USB", "LED"

    std::vector<PortTally> tallies;
    std::vector<PortResult> ports;
    std::vector<Measurement> measurements;
    std::vector<FailureLine> failures;

    std::string resultDoc;  // as the log's "write ... ok:" line carries it, or ""
    Verdict verdict = Verdict::Incomplete;
    bool hasVerdictCode = false;
    int verdictCode = 0;      // iTestSta; -2 for a set-up failure
    bool headerless = false;  // a rotated tail: identity taken from the archive name

    // Set by the ingest for a board whose clock was never set (parse/runClock.h): the stamp
    // says nothing of when the run was, so it is counted on the local day its file arrived.
    bool clockUnset = false;
    std::string arrivalDay;

    int records = 0;      // log lines that carried their sequence number
    long long bytes = 0;  // size of the file it came from, each line end counted as one byte

    bool Complete() const { return verdict != Verdict::Incomplete; }
    std::vector<std::string> FailingPorts() const;
    std::string Day() const;  // "YYYY-MM-DD" from the time stamp; "" when it is no calendar day
    int Hour() const;         // 0-23 from the time stamp; -1 when it gives none
    // The day the run is counted on: its arrival day when its clock was unset, else Day().
    std::string CountedDay() const;
};

// How much of a run a copy holds; a copy replaces another only when it ranks strictly higher:
// a copy with the verdict beats one without, then more records, then more bytes.
bool MoreComplete(const RunRecord& a, const RunRecord& b);
int CompareCompleteness(bool completeA, int recordsA, long long bytesA, bool completeB,
                        int recordsB, long long bytesB);

}  // namespace yield
