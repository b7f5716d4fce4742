#include "pages.h"

#include <algorithm>
#include <ctime>
#include <functional>
#include <iterator>
#include <sstream>
#include <tuple>

#include "calendar.h"
#include "escape.h"
#include "readReport.h"
#include "reportSelection.h"
#include "reportWriters.h"
#include "routes.h"

namespace yield {
namespace {

constexpr char kHtmlType[] = "text/html; charset=utf-8";
constexpr char kTextType[] = "text/plain; charset=utf-8";
constexpr char kCsvType[] = "text/csv; charset=utf-8";
constexpr char kJsonType[] = "application/json";
constexpr char kText[] = "text";
constexpr char kCsv[] = "csv";
constexpr char kJson[] = "json";
constexpr char kHtml[] = "html";
constexpr char kNoRun[] = "no run of processor ID ";
constexpr char kBadFormat[] = "format is text, csv, json or html";
constexpr char kBadDay[] = "not a day (YYYY-MM-DD): ";
constexpr char kBadDays[] = "days is a whole number from 1 to ";
constexpr char kBadToday[] = "today takes 1 only";
constexpr char kUnknownParameter[] = "no report parameter named ";
constexpr char kToday[] = "today";
constexpr char kDays[] = "days";
constexpr char kFormat[] = "format";
// The parameters of /report, as the command line's selections.
const char* const kReportParameters[] = {kFormat, "table",   "since", "until",
                                         "host",  "station", kToday,  kDays};
constexpr char kRecentConflict[] = "today and days conflict with since and until";
constexpr char kNoTable[] = "no table named ";
constexpr char kEmptySelection[] = "the selection holds no run";
constexpr char kBoardHeadToStyle[] =
    "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><link rel=\"stylesheet\" "
    "href=\"";
constexpr char kBoardHeadFromStyle[] = "\"><title>devuzeV7 board</title></head><body>";
constexpr char kBoardTableHead[] =
    "<table><tr><th>Start</th><th>Verdict</th><th>Station</th><th>Host</th><th>Failing</th>"
    "<th>Files</th></tr>\n";
constexpr char kBoardFoot[] = "</table><p><a href=\"/\">Back to the line</a></p></body></html>\n";

std::string H(const std::string& s) { return HtmlEscape(XmlSafe(s)); }

std::string Param(const std::map<std::string, std::string>& q, const char* name) {
    auto it = q.find(name);
    return it == q.end() ? std::string() : it->second;
}

std::string FilesCell(ReadStore& store, long long id) {
    std::string out;
    for (const SourceRow& s : store.SourcesOf(id)) out += H(s.role) + " " + H(s.path) + "<br>";
    return out;
}

void BoardRuns(std::ostream& out, ReadStore& store, const std::vector<long long>& ids) {
    for (long long id : ids) {
        RunRecord r = store.LoadRun(id);
        std::string failing;
        for (const std::string& p : r.FailingPorts()) failing += (failing.empty() ? "" : ", ") + p;
        out << "<tr><td>" << H(r.timeStamp) << "</td><td>" << VerdictWord(r.verdict) << "</td><td>"
            << H(r.station) << "</td><td>" << H(r.host) << "</td><td>" << H(failing) << "</td><td>"
            << FilesCell(store, id) << "</td></tr>\n";
    }
}

// `chipId` without a leading 0x in either case.
std::string WithoutHexPrefix(const std::string& chipId) {
    bool prefixed = chipId.size() > 2 && chipId[0] == '0' && (chipId[1] == 'x' || chipId[1] == 'X');
    return prefixed ? chipId.substr(2) : chipId;
}

// The runs of the ID as logged; else of every stored ID that is the same in another case or
// prefix, as `board` finds them.
std::vector<long long> RunsOfBoard(ReadStore& store, const std::string& chipId) {
    std::vector<long long> ids = store.RunIdsOfChip(chipId);
    if (!ids.empty()) return ids;
    for (const std::string& alike : store.ChipIdsLike(WithoutHexPrefix(chipId))) {
        std::vector<long long> more = store.RunIdsOfChip(alike);
        ids.insert(ids.end(), more.begin(), more.end());
    }
    std::sort(ids.begin(), ids.end(), std::greater<>());
    return ids;
}

std::string CheckedDay(const std::string& day) {
    if (!day.empty() && !IsDay(day)) throw BadRequest(kBadDay + PrintableText(day));
    return day;
}

int DaysAsked(const std::map<std::string, std::string>& q) {
    if (q.count(kToday) != 0) return 1;
    std::string days = Param(q, kDays);
    if (days.empty()) return 0;
    int n = 0;
    if (!ParseDays(days, n)) throw BadRequest(kBadDays + std::to_string(kMostDays));
    return n;
}

RunFilter FilterOf(const std::map<std::string, std::string>& q, const std::string& today) {
    RunFilter f;
    f.since = CheckedDay(Param(q, "since"));
    f.until = CheckedDay(Param(q, "until"));
    f.host = Param(q, "host");
    f.station = Param(q, "station");
    int n = DaysAsked(q);
    if (n == 0) return f;
    if (f.HasDayBound()) throw BadRequest(kRecentConflict);
    std::tie(f.since, f.until) = RecentDays(today, n);
    return f;
}

// As the command line builds it: every run of the filter's days, so that a station is compared
// with the others; the readings and the runs without a day are the filter's own.
ReportModel ModelOf(ReadStore& store, const RunFilter& filter) { return ReadReport(store, filter); }

bool NamesSomething(const RunFilter& f) {
    return f.HasDayBound() || !f.host.empty() || !f.station.empty();
}

Page Written(const ReportModel& m, const std::string& format, const std::string& table) {
    std::ostringstream out;
    if (format == kCsv) {
        std::string name = table.empty() ? CsvTableNames().front() : table;
        if (!WriteReportCsvTable(m, name, out)) throw BadRequest(kNoTable + PrintableText(name));
        return {kCsvType, out.str()};
    }
    if (format == kJson) {
        WriteReportJson(m, out);
        return {kJsonType, out.str()};
    }
    if (format == kHtml) {
        WriteReportHtml(m, out);
        return {kHtmlType, out.str()};
    }
    WriteReportText(m, out);
    return {kTextType, out.str()};
}

}  // namespace

Page BoardPage(ReadStore& store, const std::string& chipId) {
    std::vector<long long> ids = RunsOfBoard(store, chipId);
    if (ids.empty()) throw NothingFound(kNoRun + PrintableText(chipId));
    std::ostringstream out;
    out << kBoardHeadToStyle << routes::kStyle << kBoardHeadFromStyle << "<h1>Processor ID "
        << H(chipId) << "</h1>\n<p>" << ids.size() << " run(s), newest first</p>\n"
        << kBoardTableHead;
    BoardRuns(out, store, ids);
    out << kBoardFoot;
    return {kHtmlType, out.str()};
}

void CheckReportQuery(const std::map<std::string, std::string>& query) {
    for (const auto& parameter : query) {
        const std::string& name = parameter.first;
        auto known = [&name](const char* p) { return name == p; };
        if (std::none_of(std::begin(kReportParameters), std::end(kReportParameters), known))
            throw BadRequest(kUnknownParameter + PrintableText(name));
    }
    std::string format = Param(query, kFormat);
    if (!format.empty() && format != kText && format != kCsv && format != kJson && format != kHtml)
        throw BadRequest(kBadFormat);
    if (query.count(kToday) != 0 && Param(query, kToday) != "1") throw BadRequest(kBadToday);
    int n = 0;
    if (query.count(kDays) != 0 && !ParseDays(Param(query, kDays), n))
        throw BadRequest(kBadDays + std::to_string(kMostDays));
}

Page ReportPage(ReadStore& store, const std::map<std::string, std::string>& query,
                const std::string& today, const std::string& database) {
    CheckReportQuery(query);
    std::string format = Param(query, kFormat);
    if (format.empty()) format = kText;
    RunFilter filter = FilterOf(query, today);
    ReportModel m = ModelOf(store, filter);
    if (NamesSomething(filter) && m.summary.runs == 0) throw NothingFound(kEmptySelection);
    m.selection.madeAt = UtcStamp(std::time(nullptr));
    m.selection.database = database;
    return Written(m, format, Param(query, "table"));
}

}  // namespace yield
