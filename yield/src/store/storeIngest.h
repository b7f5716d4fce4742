// The store's ingest side over one connection: what a run's copies weigh, which copy is kept, and
// the rows of files. Uniqueness is left to the database: a run is inserted with a conflict clause
// on its key, and a copy weighed only once its run's row is held.
#pragma once

#include <optional>
#include <set>
#include <string>

#include "store/newTallies.h"
#include "store/sqlConnection.h"

namespace yield {

class SqlIngest {
public:
    // `pathCheck` (the store's, empty until set) must outlive this.
    SqlIngest(SqlConnection& conn, const PathCheck& pathCheck)
        : conn_(conn), pathCheck_(pathCheck) {}

    // As IngestStore's methods of the same names.
    void AnnounceChange(long long runsStored);
    bool KnownUnchanged(const SourceFile& file);
    PutOutcome PutRun(const RunRecord& run, const SourceFile& file);
    void MovePaths(const std::string& from, const std::string& to);
    void PutProblem(const SourceFile& file, const std::string& reason, bool unread);
    // The batch's tallies (sqlText.h): every run it wrote added, before its commit.
    void StartBatch();
    void Settle();

private:
    // A stored run as the weighing of copies sees it.
    struct StoredRun {
        long long id = 0;
        bool complete = false;
        int records = 0;
        long long bytes = 0;
        std::string station;
    };
    std::optional<StoredRun> FindRun(const RunRecord& run);
    std::optional<long long> InsertRun(const RunRecord& run, const SourceFile& file);
    void FillStation(long long id, const std::string& station);
    void ReplaceRun(long long id, const RunRecord& run, const std::string& station);
    void InsertChildren(long long id, const RunRecord& run);
    void InsertCauses(long long id, const std::vector<PortResult>& ports);
    std::optional<std::string> VanishedKept(long long id, const std::string& path);
    void DeleteSource(const std::string& path);
    void PutSource(const SourceFile& file, long long id, const char* role, const RunRecord& run);
    void Unsettle(long long id);
    void SettleTallies(long long sign, long long id);
    void SettleBoards();

    SqlConnection& conn_;
    const PathCheck& pathCheck_;
    // Runs of this batch whose rows are not in the tallies: added at Settle. The new runs' rows
    // are summed as they are written and added at Settle too; a new run that changes again in
    // the batch is taken out as any stored run, its rows as they were written.
    std::set<long long> unsettled_;
    NewTallies newTallies_;
    std::set<std::string> boardChips_;  // processor IDs of the runs the batch wrote or changed
};

}  // namespace yield
