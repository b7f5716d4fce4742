// Stations at ingest: marker files and --station, what a marker may hold, and the digest of each
// file read.
#include "ingest/stationMarker.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <map>

#include "ingest/fileDigest.h"
#include "ingest/ingest.h"
#include "store/openStore.h"
#include "testSupport.h"

namespace fs = std::filesystem;
using namespace yield;
using yieldtest::Q;
using yieldtest::Result;
using yieldtest::TempDir;
using yieldtest::Tool;
using yieldtest::WriteAll;

namespace {

// The standard golden log as runs of processor IDs 0x1A2B0000 + first, ..., one file each.
void MakeRuns(const fs::path& dir, int first, int count) {
    std::string log = yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard"));
    size_t at = log.find("0x1A2B3C4D");
    for (int i = first; i < first + count; ++i) {
        char chip[16];
        std::snprintf(chip, sizeof chip, "0x1A2B%04X", static_cast<unsigned>(i));
        log.replace(at, 10, chip);
        WriteAll(dir / ("run" + std::to_string(i) + ".log"), log);
    }
}

// The station of each stored run, by processor ID.
std::map<std::string, std::string> Stations(const fs::path& db) {
    auto store = OpenStore(db.string(), false);
    std::map<std::string, std::string> out;
    store->ForEachRun({}, [&](const RunSummary& r) { out[r.chipId] = r.station; });
    return out;
}

}  // namespace

TEST(StationName, TrimmedOneLineOfPrintableAsciiWithinItsBound) {
    std::string station, why;
    EXPECT_TRUE(ParseStation("  fixture-A \r\n", station, why));
    EXPECT_EQ(station, "fixture-A");
    EXPECT_TRUE(ParseStation(std::string(kMaxStationBytes, 'x'), station, why));
    for (const std::string& bad :
         {std::string(" \n\t"), std::string(kMaxStationBytes + 1, 'x'), std::string("a\nb"),
          std::string("fix\x1b[2Jture"), std::string("st\xc3\xa4tion"), std::string("a\0b", 3)}) {
        EXPECT_FALSE(ParseStation(bad, station, why)) << bad;
        EXPECT_FALSE(why.empty());
        EXPECT_EQ(station, "");
    }
}

TEST(FileDigest, Sha256OfKnownTexts) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// Markers are looked for from a log's folder up to the path given, never above it; the nearest
// wins; a bad one is listed and gives no station; --station wins over them all.
TEST(StationMarkers, NearestMarkerUpToTheGivenPathNamesTheStation) {
    TempDir tmp;
    fs::path pile = tmp.path() / "pile";
    WriteAll(tmp.path() / kStationMarker, "above-the-pile\n");
    WriteAll(pile / "A" / kStationMarker, "fixture-A\n");
    WriteAll(pile / "A" / "B" / kStationMarker, "fixture-B");
    WriteAll(pile / "C" / kStationMarker, std::string(100, 'c'));
    MakeRuns(pile / "A" / "deep" / "er", 1, 1);
    MakeRuns(pile / "A" / "B", 2, 1);
    MakeRuns(pile / "C", 3, 1);
    MakeRuns(pile / "none", 4, 1);
    fs::path db = tmp.path() / "y.db";
    {
        auto store = OpenStore(db.string(), true);
        IngestStats stats = Ingest(*store, {pile.string()}, nullptr);
        EXPECT_EQ(stats.total, 4);  // the markers are not read as logs
        ASSERT_EQ(stats.problemList.size(), 1u);
        EXPECT_EQ(stats.problemList[0].first, (pile / "C" / kStationMarker).string());
        EXPECT_EQ(stats.problems, 1);
    }
    std::map<std::string, std::string> expected = {{"0x1A2B0001", "fixture-A"},
                                                   {"0x1A2B0002", "fixture-B"},
                                                   {"0x1A2B0003", ""},
                                                   {"0x1A2B0004", ""}};
    EXPECT_EQ(Stations(db), expected);
    fs::path slash = tmp.path() / "slash.db";
    Ingest(*OpenStore(slash.string(), true), {pile.string() + "/"}, nullptr);
    EXPECT_EQ(Stations(slash), expected);

    // A file given by itself: its own folder's marker.
    fs::path again = tmp.path() / "again.db";
    {
        auto store = OpenStore(again.string(), true);
        Ingest(*store, {(pile / "A" / "B" / "run2.log").string()}, nullptr);
    }
    EXPECT_EQ(Stations(again), (std::map<std::string, std::string>{{"0x1A2B0002", "fixture-B"}}));

    // --station over every marker, and given to the runs stored without one.
    Result r = Tool("ingest --db " + Q(db) + " --station ' fixture-X ' " + Q(pile));
    ASSERT_EQ(r.status, 0) << r.out;
    expected["0x1A2B0003"] = expected["0x1A2B0004"] = "fixture-X";
    EXPECT_EQ(Stations(db), expected);
    EXPECT_NE(r.out.find("0 runs new, 0 replaced, 0 copies, 4 unchanged"), std::string::npos)
        << r.out;
    EXPECT_EQ(Tool("ingest --db " + Q(db) + " --station '' " + Q(pile)).status, 2);
}

// A marker that is not a regular file (a FIFO, a folder) is listed and never waited on; the logs
// under it get no station, not even one a marker above it names.
TEST(StationMarkers, MarkerThatIsNotARegularFileIsListed) {
    TempDir tmp;
    fs::path pile = tmp.path() / "pile";
    WriteAll(pile / kStationMarker, "fixture-top\n");
    MakeRuns(pile / "fifo", 1, 1);
    ASSERT_EQ(mkfifo((pile / "fifo" / kStationMarker).c_str(), 0600), 0);
    MakeRuns(pile / "folder", 2, 1);
    fs::create_directories(pile / "folder" / kStationMarker);
    fs::path db = tmp.path() / "y.db";
    IngestStats stats = Ingest(*OpenStore(db.string(), true), {pile.string()}, nullptr);
    ASSERT_EQ(stats.problemList.size(), 2u);
    for (const auto& [marker, why] : stats.problemList)
        EXPECT_EQ(why, "station marker is not a regular file") << marker;
    EXPECT_EQ(Stations(db),
              (std::map<std::string, std::string>{{"0x1A2B0001", ""}, {"0x1A2B0002", ""}}));
}

TEST(StationMarkers, EachFileReadIsStoredWithItsDigest) {
    TempDir tmp;
    MakeRuns(tmp.path() / "logs", 1, 1);
    WriteAll(tmp.path() / "logs" / "notes.txt", "not a log");
    fs::path db = tmp.path() / "y.db";
    auto store = OpenStore(db.string(), true);
    Ingest(*store, {(tmp.path() / "logs").string()}, nullptr);
    std::vector<long long> ids = store->RunIds({});
    ASSERT_EQ(ids.size(), 1u);
    std::vector<SourceRow> sources = store->SourcesOf(ids[0]);
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_EQ(sources[0].sha256, Sha256Hex(yieldtest::ReadAll(sources[0].path)));
    std::vector<SourceRow> problems = store->ProblemFiles();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].sha256, Sha256Hex("not a log"));
}

TEST(StationMarkers, StationFilterThatSelectsNoRunIsRefused) {
    TempDir tmp;
    MakeRuns(tmp.path() / "logs", 1, 2);
    fs::path db = tmp.path() / "y.db";
    ASSERT_EQ(
        Tool("ingest --db " + Q(db) + " --station fixture-A " + Q(tmp.path() / "logs")).status, 0);
    EXPECT_EQ(Tool("report --db " + Q(db) + " --station fixture-A").status, 0);
    Result none = Tool("export --db " + Q(db) + " --format json --station fixture-B -o " +
                       Q(tmp.path() / "x"));
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("--station fixture-B"), std::string::npos) << none.out;
}
