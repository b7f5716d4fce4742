// The store's reading side over one connection: the runs, readings and files the reports, board
// and exports read, in scans merged by run where a join would repeat each run's columns.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "store/sqlConnection.h"

namespace yield {

namespace sql {
struct FilterText;
}

class SqlReading {
public:
    explicit SqlReading(SqlConnection& conn) : conn_(conn) {}

    // As ReadStore's methods of the same names.
    void ForEachRun(const RunFilter& filter, const RunSink& take);
    void ForEachVoltReading(const RunFilter& filter, const ReadingSink& take);
    void ForEachNotableRun(const RunFilter& filter, const RunSink& take);
    void ForEachPortTally(const RunFilter& filter, const PortTallySink& take);
    void ForEachRunTally(const RunFilter& filter, const RunTallySink& take);
    void ForEachBoard(const RunFilter& filter, const BoardSink& take);
    void ForEachPlainBoards(const RunFilter& filter, const PlainBoardsSink& take);
    void ForEachNotableBoard(const RunFilter& filter, const BoardSink& take);
    long long BoardsTestingPort(const RunFilter& filter, const std::string& station,
                                const std::string& port);
    std::vector<long long> RunIds(const RunFilter& filter);
    std::vector<long long> NewestRunIds(long long n);
    std::vector<RunSummary> NewestRuns(long long n);
    long long CountRunsWithoutDay(const RunFilter& filter);
    std::vector<long long> RunIdsOfChip(const std::string& chipId);
    std::vector<std::string> ChipIdsLike(const std::string& chipId);
    StoredChoices Choices();
    RunRecord LoadRun(long long id);
    void ForEachFailing(const std::vector<long long>& ids, const FailingSink& take);
    std::vector<SourceRow> SourcesOf(long long runId);
    std::vector<SourceRow> ProblemFiles();
    std::vector<StationUpload> StationUploads(const std::string& sinceDay);

private:
    std::pair<long long, long long> RunIdSpan(const RunFilter& filter);
    void ReadBoards(const sql::FilterText& text, const RunFilter& filter, const BoardSink& take);

    SqlConnection& conn_;
};

}  // namespace yield
