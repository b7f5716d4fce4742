#include "store/store.h"

namespace yield {

ReportRows ReportRowsOf(ReadStore& store, const RunFilter& filter, bool tallies) {
    ReportRows rows;
    // A board counts its runs of every day, host and station: the builder selects.
    rows.runs = [&store](const RunSink& take) { store.ForEachRun(RunFilter(), take); };
    if (tallies && store.KeepsTallies()) {
        rows.runs = [&store, filter](const RunSink& take) {
            store.ForEachNotableRun(filter, take);
        };
        rows.portTallies = [&store, filter](const PortTallySink& take) {
            store.ForEachPortTally(filter, take);
        };
        rows.runTallies = [&store, filter](const RunTallySink& take) {
            store.ForEachRunTally(filter, take);
        };
        rows.boards = [&store, filter](const BoardSink& take) { store.ForEachBoard(filter, take); };
        rows.plainBoards = [&store, filter](const PlainBoardsSink& take) {
            store.ForEachPlainBoards(filter, take);
        };
        rows.notableBoards = [&store, filter](const BoardSink& take) {
            store.ForEachNotableBoard(filter, take);
        };
    }
    rows.voltReadings = [&store, filter](const ReadingSink& take) {
        store.ForEachVoltReading(filter, take);
    };
    rows.runsWithoutDay = [&store, filter] { return store.CountRunsWithoutDay(filter); };
    rows.failing = [&store](const std::vector<long long>& ids, const FailingSink& take) {
        store.ForEachFailing(ids, take);
    };
    rows.dispositions = [&store](const DispositionSink& take) {
        store.ForEachLatestDisposition(take);
    };
    return rows;
}

}  // namespace yield
