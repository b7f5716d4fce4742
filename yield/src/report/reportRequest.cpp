#include "report/reportRequest.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <tuple>

#include "parse/calendar.h"
#include "report/escape.h"
#include "report/reportSelection.h"
#include "report/reportWriters.h"
#include "store/store.h"

namespace yield {
namespace {

constexpr char kOptionLead[] = "--";
constexpr char kNameEnd[] = ": ";
constexpr char kNotADay[] = "not a day (YYYY-MM-DD): ";
constexpr char kBadDays[] = "not a whole number from 1 to ";
constexpr char kBadFormat[] = "not a format (";
constexpr char kBadFormatEnd[] = "): ";
constexpr char kBadToday[] = "takes 1 only: ";
constexpr char kAnd[] = " and ";
constexpr char kConflictWith[] = " conflict with ";
constexpr char kConflictsWith[] = " conflicts with ";
constexpr char kIsAfter[] = " is after ";
constexpr char kOnlyFor[] = " is for ";
constexpr char kOnly[] = " only";
constexpr char kNoTable[] = "no table named ";
constexpr char kTableNames[] = "; the tables: ";
constexpr char kOneTablePerFile[] = " writes one table per file: name one with ";
constexpr char kOrFolder[] = ", or give -o a folder";
constexpr char kUnknownParameter[] = "no report parameter named ";
constexpr char kNothingSelected[] = "no stored run matches";
constexpr char kNoRun[] = "no run of processor ID ";
constexpr char kListComma[] = ", ";
constexpr char kListOr[] = " or ";
constexpr char kHexPrefix[] = "0x";
constexpr size_t kMostListed = 20;
constexpr char kAndMore[] = " and ";
constexpr char kMore[] = " more";
constexpr char kNone[] = "none";
constexpr char kStationsStored[] = "; the stations stored: ";
constexpr char kHostsStored[] = "; the hosts stored: ";
constexpr char kDaysStored[] = "; the days stored: ";
constexpr char kDaysTo[] = " to ";

void WriteText(const ReportModel& m, const std::string&, std::ostream& out) {
    WriteReportText(m, out);
}
void WriteCsv(const ReportModel& m, const std::string& table, std::ostream& out) {
    WriteReportCsvTable(m, table, out);
}
void WriteJson(const ReportModel& m, const std::string&, std::ostream& out) {
    WriteReportJson(m, out);
}
void WriteHtml(const ReportModel& m, const std::string&, std::ostream& out) {
    WriteReportHtml(m, out);
}

const std::vector<ReportFormat> kFormats = {{"text", kTextType, false, WriteText, true},
                                            {"csv", kCsvType, true, WriteCsv, false},
                                            {"json", kJsonType, false, WriteJson, false},
                                            {"html", kHtmlType, false, WriteHtml, true}};

// The parts a query may name.
const char* const kQueryParts[] = {kFormatPart, kTablePart,   kSincePart, kUntilPart,
                                   kHostPart,   kStationPart, kTodayPart, kDaysPart};

std::string Wrong(Door door, const char* part, const std::string& what) {
    return Spelled(door, part) + kNameEnd + what;
}

std::string Listed(const std::vector<std::string>& names, const char* last) {
    std::string list;
    for (size_t i = 0; i < names.size(); ++i)
        list += (i == 0 ? "" : i + 1 == names.size() ? last : kListComma) + names[i];
    return list;
}

void CheckDay(Door door, const char* part, const std::string& day) {
    if (!day.empty() && !IsDay(day))
        throw RequestError(Wrong(door, part, NotADay(PrintableText(day))));
}

void CheckFilter(Door door, const RunFilter& f) {
    CheckDay(door, kSincePart, f.since);
    CheckDay(door, kUntilPart, f.until);
    if (!f.since.empty() && !f.until.empty() && f.since > f.until)
        throw RequestError(SwappedDays(door, f));
}

const ReportFormat& CheckedFormat(const ReportRequest& r) {
    if (!r.format) return kFormats.front();
    const ReportFormat* format = FindReportFormat(*r.format);
    if (format == nullptr)
        throw RequestError(
            Wrong(r.door, kFormatPart,
                  kBadFormat + ReportFormatNames() + kBadFormatEnd + PrintableText(*r.format)));
    return *format;
}

// The recent days asked: today 1, days N, neither 0.
int CheckedDays(const ReportRequest& r) {
    const Door d = r.door;
    if (r.today && r.todayValue != kTodayValue)
        throw RequestError(Wrong(d, kTodayPart, kBadToday + PrintableText(r.todayValue)));
    if (r.today && r.days)
        throw RequestError(Spelled(d, kDaysPart) + kConflictsWith + Spelled(d, kTodayPart));
    int n = r.today ? 1 : 0;
    if (r.days && !ParseDays(*r.days, n))
        throw RequestError(
            Wrong(d, kDaysPart,
                  kBadDays + std::to_string(kMostDays) + kNameEnd + PrintableText(*r.days)));
    if (n != 0 && r.filter.HasDayBound())
        throw RequestError(Spelled(d, kTodayPart) + kAnd + Spelled(d, kDaysPart) + kConflictWith +
                           Spelled(d, kSincePart) + kAnd + Spelled(d, kUntilPart));
    return n;
}

std::string TableList() { return kTableNames + Listed(CsvTableNames(), kListComma); }

// The tables a format of tables writes: the one asked; else each to a file of its own in a
// folder, or in a query (one answer) the first.
std::vector<std::string> CheckedTables(const ReportRequest& r, const ReportFormat& format) {
    const Door d = r.door;
    if (!format.ofTables) {
        if (!r.table.empty())
            throw RequestError(Spelled(d, kTablePart) + kOnlyFor + Spelled(d, kFormatPart) + " " +
                               kFormats[1].name + kOnly);
        return {};
    }
    std::vector<std::string> names = CsvTableNames();
    if (!r.table.empty()) {
        if (std::find(names.begin(), names.end(), r.table) == names.end())
            throw RequestError(kNoTable + PrintableText(r.table) + TableList());
        return {r.table};
    }
    // An answer over HTTP is one file: a table must be named, as on the command line.
    if (!r.toFolder)
        throw RequestError(Spelled(d, kFormatPart) + " " + format.name + kOneTablePerFile +
                           Spelled(d, kTablePart) + (d == Door::kCommandLine ? kOrFolder : "") +
                           TableList());
    return names;
}

void DescribeBound(std::string& out, Door door, const char* part, const std::string& value) {
    if (!value.empty()) out += " " + Spelled(door, part) + " " + PrintableText(value);
}

// `chipId` without a leading 0x in either case.
std::string WithoutHexPrefix(const std::string& chipId) {
    bool prefixed = chipId.size() > 2 && chipId[0] == kHexPrefix[0] &&
                    std::tolower(static_cast<unsigned char>(chipId[1])) == kHexPrefix[1];
    return prefixed ? chipId.substr(2) : chipId;
}

// Names for a message: the first kMostListed, then how many more.
std::string ShortList(const std::vector<std::string>& names) {
    std::vector<std::string> shown;
    for (size_t i = 0; i < names.size() && i < kMostListed; ++i)
        shown.push_back(PrintableText(names[i]));
    std::string list = Listed(shown, kListComma);
    if (names.size() > kMostListed)
        list += kAndMore + std::to_string(names.size() - kMostListed) + kMore;
    return list.empty() ? kNone : list;
}

// What the store holds of each part the filter names.
std::string WhatThereIs(const RunFilter& f, const StoredChoices& c) {
    std::string out;
    if (!f.station.empty()) out += kStationsStored + ShortList(c.stations);
    if (!f.host.empty()) out += kHostsStored + ShortList(c.hosts);
    if (f.HasDayBound())
        out += kDaysStored +
               (c.firstDay.empty() ? std::string(kNone) : c.firstDay + kDaysTo + c.lastDay);
    return out;
}

}  // namespace

std::string Spelled(Door door, const char* part) {
    return door == Door::kCommandLine ? kOptionLead + std::string(part) : std::string(part);
}

const std::vector<ReportFormat>& ReportFormats() { return kFormats; }

const ReportFormat* FindReportFormat(const std::string& name) {
    for (const ReportFormat& f : kFormats)
        if (name == f.name) return &f;
    return nullptr;
}

std::string ReportFormatNames() {
    std::vector<std::string> names;
    names.reserve(kFormats.size());
    for (const ReportFormat& f : kFormats) names.emplace_back(f.name);
    return Listed(names, kListOr);
}

RunFilter ReportAsked::FilterFrom(const std::string& today) const {
    RunFilter f = filter;
    if (days > 0) std::tie(f.since, f.until) = RecentDays(today, days);
    return f;
}

ReportAsked CheckReportRequest(const ReportRequest& request) {
    ReportAsked asked;
    asked.door = request.door;
    CheckFilter(request.door, request.filter);
    asked.filter = request.filter;
    asked.days = CheckedDays(request);
    asked.format = &CheckedFormat(request);
    asked.tables = CheckedTables(request, *asked.format);
    return asked;
}

ReportRequest RequestOfQuery(const std::map<std::string, std::string>& query) {
    ReportRequest r;
    r.door = Door::kQuery;
    for (const auto& parameter : query) {
        const std::string& name = parameter.first;
        auto known = [&name](const char* part) { return name == part; };
        if (std::none_of(std::begin(kQueryParts), std::end(kQueryParts), known))
            throw RequestError(kUnknownParameter + PrintableText(name));
    }
    auto value = [&query](const char* part) {
        auto it = query.find(part);
        return it == query.end() ? std::string() : it->second;
    };
    if (query.count(kFormatPart) != 0) r.format = value(kFormatPart);
    r.table = value(kTablePart);
    r.filter.since = value(kSincePart);
    r.filter.until = value(kUntilPart);
    r.filter.host = value(kHostPart);
    r.filter.station = value(kStationPart);
    r.today = query.count(kTodayPart) != 0;
    r.todayValue = value(kTodayPart);
    if (query.count(kDaysPart) != 0) r.days = value(kDaysPart);
    return r;
}

std::string NotADay(const std::string& value) { return kNotADay + value; }

std::string SwappedDays(Door door, const RunFilter& filter) {
    return Spelled(door, kSincePart) + " " + PrintableText(filter.since) + kIsAfter +
           Spelled(door, kUntilPart) + " " + PrintableText(filter.until);
}

void RefuseEmptySelection(Door door, const RunFilter& filter, long long runs, ReadStore& store) {
    std::string named;
    DescribeBound(named, door, kSincePart, filter.since);
    DescribeBound(named, door, kUntilPart, filter.until);
    DescribeBound(named, door, kHostPart, filter.host);
    DescribeBound(named, door, kStationPart, filter.station);
    if (runs != 0 || named.empty()) return;
    throw NothingSelected(kNothingSelected + named + WhatThereIs(filter, store.Choices()));
}

void WriteAsked(const ReportModel& m, const ReportAsked& asked, std::ostream& out) {
    asked.format->write(m, asked.tables.empty() ? std::string() : asked.tables.front(), out);
}

std::vector<BoardRuns> FindBoard(ReadStore& store, const std::string& asked) {
    std::vector<long long> ids = store.RunIdsOfChip(asked);
    if (!ids.empty()) return {{asked, ids}};
    std::vector<BoardRuns> found;
    for (const std::string& alike : store.ChipIdsLike(WithoutHexPrefix(asked)))
        found.push_back({alike, store.RunIdsOfChip(alike)});
    return found;
}

std::string NoRunOf(const std::string& asked) { return kNoRun + PrintableText(asked); }

}  // namespace yield
