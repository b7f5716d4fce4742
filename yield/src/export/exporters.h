// Per-run exports: a JUnit XML file for the line's MES and CI tools, and a JSON test record
// (device, start and end, outcome, phases with measurements and limits).
#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>

#include "export/runNames.h"  // how the files and times are named
#include "parse/runRecord.h"
#include "store/store.h"

namespace yield {

// One test suite per run, in a <testsuites> with the same totals: a test case per port, per
// judged measurement no port case carries, and one for the run's verdict. A failed port's one
// failure names what its failed measurements expected and got, and carries the log lines that
// explain it.
void WriteRunJunitXml(const RunRecord& run, std::ostream& out);
// The JSON test record (yield/schema/run-record.schema.json); `kept` is the file the run's data
// comes from, null when unknown.
void WriteRunJsonRecord(const RunRecord& run, std::ostream& out, const SourceRow* kept = nullptr);
std::string RunJunitXml(const RunRecord& run);
std::string RunJsonRecord(const RunRecord& run, const SourceRow* kept = nullptr);

// "<name>: expected <limits>, got <value>" for a judged measurement.
std::string MeasurementExpectation(const Measurement& m);

// Why a run without a verdict is incomplete, as its record shows: where its log ends.
std::string IncompleteReason(const RunRecord& run);

// The log lines that explain why `port` failed: failure lines and failed measurements naming the
// port or its family.
std::vector<std::string> ExplainingLines(const RunRecord& run, const std::string& port);

// The same, for every port of a run: the failure lines indexed once by the port they name, so a
// run with many ports and many lines costs no more than its lines and its output.
class Explanations {
public:
    explicit Explanations(const RunRecord& run);
    // Calls `take` with each explaining line of `port`, in the log's order.
    void ForEach(const std::string& port,
                 const std::function<void(const std::string&)>& take) const;

private:
    const RunRecord& run_;
    std::map<std::string, std::vector<size_t>> byTag_;  // failure lines by the port they name
};

}  // namespace yield
