// The one request both doors fill: its checks and their messages as each door spells them, the
// table of formats, and the board lookup.
#include "report/reportRequest.h"

#include <gtest/gtest.h>

#include <map>

#include "ingest/ingest.h"
#include "report/reportWriters.h"
#include "store/openStore.h"
#include "testSupport.h"

using namespace yield;

namespace {

std::string Refusal(const ReportRequest& r) {
    try {
        CheckReportRequest(r);
    } catch (const RequestError& e) {
        return e.what();
    }
    return "accepted";
}

}  // namespace

TEST(ReportRequest, FormatsAreOneTable) {
    EXPECT_EQ(ReportFormatNames(), "text, csv, json or html");
    EXPECT_EQ(ReportFormats().front().name, std::string("text"));
    ASSERT_NE(FindReportFormat("csv"), nullptr);
    EXPECT_STREQ(FindReportFormat("csv")->contentType, kCsvType);
    EXPECT_TRUE(FindReportFormat("csv")->ofTables);
    EXPECT_FALSE(FindReportFormat("html")->ofTables);
    EXPECT_EQ(FindReportFormat("CSV"), nullptr);
    EXPECT_EQ(FindReportFormat(""), nullptr);
}

// Each wrong request is refused by both doors with one message, naming the part as the door does.
TEST(ReportRequest, BothDoorsRefuseAlikeInTheirOwnSpelling) {
    const std::pair<std::map<std::string, std::string>, std::string> wrongs[] = {
        {{{"days", "0"}}, "days: not a whole number from 1 to 36500: 0"},
        {{{"days", ""}}, "days: not a whole number from 1 to 36500: "},
        {{{"today", "1"}, {"days", "2"}}, "days conflicts with #today"},
        {{{"days", "2"}, {"until", "2026-12-01"}},
         "today and #days conflict with #since and #until"},
        {{{"since", "2026-12-08"}, {"until", "2026-12-01"}},
         "since 2026-12-08 is after #until 2026-12-01"},
        {{{"since", "2026-02-30"}}, "since: not a day (YYYY-MM-DD): 2026-02-30"},
        {{{"format", "pdf"}}, "format: not a format (text, csv, json or html): pdf"},
        {{{"format", ""}}, "format: not a format ("},
        {{{"table", "pareto"}}, "table is for #format csv only"},
        {{{"format", "csv"}, {"table", "nope"}},
         "no table named nope; the tables: repair, repair_ports, summary"},
    };
    for (const auto& [query, message] : wrongs) {
        for (Door door : {Door::kCommandLine, Door::kQuery}) {
            ReportRequest r = RequestOfQuery(query);
            r.door = door;
            std::string lead = door == Door::kCommandLine ? "--" : "";
            std::string expected = message;
            for (size_t at; (at = expected.find('#')) != std::string::npos;)
                expected.replace(at, 1, lead);
            if (expected.rfind("no table", 0) != 0) expected = lead + expected;
            EXPECT_EQ(Refusal(r).rfind(expected, 0), 0u) << expected;
        }
    }
    EXPECT_EQ(Refusal(RequestOfQuery({{"today", "yes"}})), "today: takes 1 only: yes");
    EXPECT_THROW(RequestOfQuery({{"dayz", "7"}}), RequestError);
}

// CSV writes one table per file: the one asked, or each in a folder; an answer over HTTP is one
// file, so it must name its table as the command line must. An empty selection names what there
// is.
TEST(ReportRequest, TablesAndRecentDaysAsEachDoorTakesThem) {
    ReportRequest r;
    r.format = "csv";
    EXPECT_NE(Refusal(r).find("give -o a folder"), std::string::npos);
    r.toFolder = true;
    EXPECT_EQ(CheckReportRequest(r).tables, CsvTableNames());
    ReportRequest query = RequestOfQuery({{"format", "csv"}});
    EXPECT_EQ(Refusal(query).rfind("format csv writes one table per file: name one with table; "
                                   "the tables: repair, repair_ports, summary",
                                   0),
              0u)
        << Refusal(query);

    yieldtest::TempDir tmp;
    std::string db = (tmp.path() / "y.db").string();
    Ingest(*OpenStore(db, true), {yieldtest::GoldenFlashLog("standard").string()}, nullptr, {}, "");
    auto store = OpenReadStore(db);
    ReportRequest days = RequestOfQuery({{"days", "3"}, {"host", "bench2"}});
    RunFilter f = CheckReportRequest(days).FilterFrom("2026-12-08");
    EXPECT_EQ(f.since + " " + f.until + " " + f.host, "2026-12-06 2026-12-08 bench2");
    try {
        RefuseEmptySelection(Door::kQuery, f, 0, *store);
        ADD_FAILURE() << "an empty selection was taken";
    } catch (const NothingSelected& e) {
        EXPECT_STREQ(e.what(),
                     "no stored run matches since 2026-12-06 until 2026-12-08 host bench2; the "
                     "hosts stored: bench1; the days stored: 2026-12-07 to 2026-12-07");
    }
    EXPECT_NO_THROW(RefuseEmptySelection(Door::kQuery, RunFilter(), 0, *store));
}

TEST(ReportRequest, ABoardIsFoundAsLoggedElseInAnyCaseAndPrefix) {
    yieldtest::TempDir tmp;
    std::string db = (tmp.path() / "y.db").string();
    auto store = OpenStore(db, true);
    Ingest(*store, {yieldtest::GoldenFlashLog("standard").string()}, nullptr, {}, "");
    for (const char* asked : {"0x1A2B3C4D", "1a2b3c4d", "0X1a2B3c4D", "1A2B3C4D"}) {
        std::vector<BoardRuns> found = FindBoard(*OpenReadStore(db), asked);
        ASSERT_EQ(found.size(), 1u) << asked;
        EXPECT_EQ(found[0].chipId, "0x1A2B3C4D");
        EXPECT_EQ(found[0].runIds.size(), 1u);
    }
    EXPECT_TRUE(FindBoard(*OpenReadStore(db), "0x1A2B3C4").empty());
    EXPECT_EQ(NoRunOf("0x\x1b"), "no run of processor ID 0x\\x1B");
}
