// The pages the server makes on request from the store: one board's runs, and the report in any
// of its formats with the command line's selections. Each is built whole before it is sent.
#pragma once

#include <map>
#include <stdexcept>
#include <string>

#include "store.h"

namespace yield {

// A request the pages cannot answer: a wrong parameter (400) or nothing selected (404).
struct BadRequest : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct NothingFound : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Page {
    std::string contentType;
    std::string body;
};

// Every run of one processor ID, newest first, as an HTML page (every text escaped).
Page BoardPage(ReadStore& store, const std::string& chipId);

// Throws BadRequest unless `query` names only the report's parameters, each once, with a value
// it takes: a known format, today=1, days from 1 to kMostDays.
void CheckReportQuery(const std::map<std::string, std::string>& query);

// The report as `report` writes it (its query checked by CheckReportQuery). `query`: format (text,
// csv, json, html; csv takes table), since, until, host, station, today=1, days=N; `today` is the
// local day the screen counts from.
Page ReportPage(ReadStore& store, const std::map<std::string, std::string>& query,
                const std::string& today, const std::string& database);

}  // namespace yield
