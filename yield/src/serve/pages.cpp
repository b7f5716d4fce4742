#include "serve/pages.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <sstream>

#include "parse/failureCauses.h"
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
constexpr char kBoardTableEnd[] = "</table>\n";
constexpr char kBoardFoot[] = "<p><a href=\"/\">Back to the line</a></p></body></html>\n";
constexpr char kHistoryHead[] =
    "<h2>Dispositions</h2>\n<table id=\"dispositions\"><tr><th>When (UTC)</th><th>Status</th>"
    "<th>By</th><th>Note</th><th>Run</th></tr>\n";
constexpr char kDeskFormHead[] = "<form id=\"desk\" data-action=\"";
constexpr char kDeskFormHeader[] = "\" data-header=\"";
constexpr char kDeskFormKey[] = "\" data-key=\"";
constexpr char kDeskFormChip[] = "\" data-chip=\"";
constexpr char kDeskFormBody[] =
    "\"><h2>Record a disposition</h2>\n<p><label>Status <select name=\"status\">";
constexpr char kDeskFormFields[] =
    "</select></label> <label>By <input name=\"by\" maxlength=\"64\" required></label> "
    "<label>Note <input name=\"note\" maxlength=\"1000\" size=\"40\"></label> "
    "<label>Desk secret <input name=\"secret\" type=\"password\" autocomplete=\"off\">"
    "</label> <button type=\"submit\">Record</button></p>\n<p id=\"desk-result\"></p></form>\n"
    "<script src=\"";
constexpr char kDeskFormEnd[] = "\"></script>\n";
constexpr size_t kCauseLineBytes = 120;  // a log line quoted as a cause is cut to this

std::string H(const std::string& s) { return HtmlEscape(XmlSafe(s)); }

std::string FilesCell(ReadStore& store, long long id) {
    std::string out;
    for (const SourceRow& s : store.SourcesOf(id)) out += H(s.role) + " " + H(s.path) + "<br>";
    return out;
}

// What failed a run, each cause on a line of its own: its ports and value, or its line.
std::string FailingCell(const RunRecord& r) {
    std::string out;
    if (r.verdict != Verdict::Err) return out;
    for (const FailureCause& c : FailureCauses(r))
        out += (out.empty() ? "" : "<br>") + H(c.Text(kCauseLineBytes));
    return out;
}

void WriteBoardRows(std::ostream& out, ReadStore& store, const std::vector<long long>& ids) {
    for (long long id : ids) {
        RunRecord r = store.LoadRun(id);
        out << "<tr><td>" << H(r.timeStamp) << "</td><td>" << VerdictWord(r.verdict) << "</td><td>"
            << H(r.station) << "</td><td>" << H(r.host) << "</td><td>" << FailingCell(r)
            << "</td><td>" << FilesCell(store, id) << "</td></tr>\n";
    }
}

// The dispositions of every stored ID `board` finds, oldest first.
void WriteHistory(std::ostream& out, ReadStore& store, const std::vector<BoardRuns>& boards) {
    std::vector<Disposition> history;
    for (const BoardRuns& b : boards) {
        std::vector<Disposition> of = store.DispositionsOf(b.chipId);
        history.insert(history.end(), of.begin(), of.end());
    }
    if (history.empty()) return;
    std::sort(history.begin(), history.end(),
              [](const Disposition& a, const Disposition& b) { return a.id < b.id; });
    out << kHistoryHead;
    for (const Disposition& d : history) {
        out << "<tr><td>" << H(d.at) << "</td><td>" << H(d.status) << "</td><td>" << H(d.by)
            << "</td><td>" << H(d.note) << "</td><td>" << d.runId << "</td></tr>\n";
    }
    out << kBoardTableEnd;
}

// The form for the one stored ID, or the first of several (the form names it).
void WriteDeskForm(std::ostream& out, const std::string& chipId) {
    out << kDeskFormHead << H(routes::kDispositions) << kDeskFormHeader
        << H(routes::kDeskSecretHeader) << kDeskFormKey << H(routes::kDeskSecretKey)
        << kDeskFormChip << H(chipId) << kDeskFormBody;
    for (const std::string& word : DispositionWords()) out << "<option>" << H(word) << "</option>";
    out << kDeskFormFields << H(routes::kDeskScript) << kDeskFormEnd;
}

// The runs of every stored ID `board` finds for `chipId`, newest first.
std::vector<long long> RunsOfBoard(const std::vector<BoardRuns>& boards) {
    std::vector<long long> ids;
    for (const BoardRuns& board : boards)
        ids.insert(ids.end(), board.runIds.begin(), board.runIds.end());
    std::sort(ids.begin(), ids.end(), std::greater<>());
    return ids;
}

// As the command line builds it: every run of the filter's days, so that a station is compared
// with the others; the readings and the runs without a day are the filter's own.
ReportModel ModelOf(ReadStore& store, const RunFilter& filter, std::time_t now,
                    const ReportFormat& format) {
    ReadOptions o;
    o.now = now;
    o.quotedRepairs = QuotedRepairs(format);
    return ReadReport(store, filter, o);
}

}  // namespace

Page BoardPage(ReadStore& store, const std::string& chipId, bool desk) {
    std::vector<BoardRuns> boards = FindBoard(store, chipId);
    std::vector<long long> ids = RunsOfBoard(boards);
    if (ids.empty()) throw NothingFound(NoRunOf(chipId));
    std::ostringstream out;
    out << kBoardHeadToStyle << routes::kStyle << kBoardHeadFromStyle << "<h1>Processor ID "
        << H(chipId) << "</h1>\n<p>" << ids.size() << " run(s), newest first</p>\n"
        << kBoardTableHead;
    WriteBoardRows(out, store, ids);
    out << kBoardTableEnd;
    WriteHistory(out, store, boards);
    if (desk) WriteDeskForm(out, boards.front().chipId);
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
    std::time_t now = std::time(nullptr);
    ReportModel m = ModelOf(store, filter, now, *asked.format);
    RefuseEmptySelection(Door::kQuery, filter, m.summary.runs, store);
    m.selection.madeAt = UtcStamp(now);
    m.selection.database = DatabaseForPeople(database, store.ServerName());
    std::ostringstream out;
    WriteAsked(m, asked, out);
    return {asked.format->contentType, out.str()};
}

}  // namespace yield
