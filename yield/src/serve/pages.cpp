#include "serve/pages.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <sstream>

#include "report/escape.h"
#include "report/readReport.h"
#include "report/reportRequest.h"
#include "report/reportSelection.h"
#include "report/reportWriters.h"
#include "serve/httpMessage.h"
#include "serve/routes.h"

namespace yield {
namespace {

constexpr char kBoardHeadToStyle[] =
    "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><link rel=\"stylesheet\" "
    "href=\"";
constexpr char kBoardHeadFromStyle[] = "\"><title>devuzeV7 board</title></head><body>";
constexpr char kBoardTableHead[] =
    "<table><tr><th>Start</th><th>Verdict</th><th>Station</th><th>Host</th><th>Failing</th>"
    "<th>Files</th></tr>\n";
constexpr char kBoardFoot[] = "</table><p><a href=\"/\">Back to the line</a></p></body></html>\n";

std::string H(const std::string& s) { return HtmlEscape(XmlSafe(s)); }

std::string FilesCell(ReadStore& store, long long id) {
    std::string out;
    for (const SourceRow& s : store.SourcesOf(id)) out += H(s.role) + " " + H(s.path) + "<br>";
    return out;
}

void WriteBoardRows(std::ostream& out, ReadStore& store, const std::vector<long long>& ids) {
    for (long long id : ids) {
        RunRecord r = store.LoadRun(id);
        std::string failing;
        for (const std::string& p : r.FailingPorts()) failing += (failing.empty() ? "" : ", ") + p;
        out << "<tr><td>" << H(r.timeStamp) << "</td><td>" << VerdictWord(r.verdict) << "</td><td>"
            << H(r.station) << "</td><td>" << H(r.host) << "</td><td>" << H(failing) << "</td><td>"
            << FilesCell(store, id) << "</td></tr>\n";
    }
}

// The runs of every stored ID `board` finds for `chipId`, newest first.
std::vector<long long> RunsOfBoard(ReadStore& store, const std::string& chipId) {
    std::vector<long long> ids;
    for (const BoardRuns& board : FindBoard(store, chipId))
        ids.insert(ids.end(), board.runIds.begin(), board.runIds.end());
    std::sort(ids.begin(), ids.end(), std::greater<>());
    return ids;
}

// As the command line builds it: every run of the filter's days, so that a station is compared
// with the others; the readings and the runs without a day are the filter's own.
ReportModel ModelOf(ReadStore& store, const RunFilter& filter) { return ReadReport(store, filter); }

}  // namespace

Page BoardPage(ReadStore& store, const std::string& chipId) {
    std::vector<long long> ids = RunsOfBoard(store, chipId);
    if (ids.empty()) throw NothingFound(NoRunOf(chipId));
    std::ostringstream out;
    out << kBoardHeadToStyle << routes::kStyle << kBoardHeadFromStyle << "<h1>Processor ID "
        << H(chipId) << "</h1>\n<p>" << ids.size() << " run(s), newest first</p>\n"
        << kBoardTableHead;
    WriteBoardRows(out, store, ids);
    out << kBoardFoot;
    return {kHtmlType, out.str()};
}

ReportAsked CheckReportQuery(const std::map<std::string, std::string>& query) {
    return CheckReportRequest(RequestOfQuery(query));
}

Page ReportPage(ReadStore& store, const std::map<std::string, std::string>& query,
                const std::string& today, const std::string& database) {
    ReportAsked asked = CheckReportQuery(query);
    RunFilter filter = asked.FilterFrom(today);
    ReportModel m = ModelOf(store, filter);
    RefuseEmptySelection(Door::kQuery, filter, m.summary.runs, store);
    m.selection.madeAt = UtcStamp(std::time(nullptr));
    m.selection.database = DatabaseForPeople(database, store.ServerName());
    std::ostringstream out;
    WriteAsked(m, asked, out);
    return {asked.format->contentType, out.str()};
}

}  // namespace yield
