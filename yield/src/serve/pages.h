// The pages the server makes on request from the store: one board's runs, and the report in any
// of its formats with the command line's selections. Each is built whole before it is sent.
#pragma once

#include <map>
#include <string>

#include "report/reportRequest.h"
#include "store/store.h"

namespace yield {

// A request the pages cannot answer: a wrong parameter (400) or nothing selected (404), as the
// report's request refuses it.
using BadRequest = RequestError;
using NothingFound = NothingSelected;

struct Page {
    std::string contentType;
    std::string body;
};

// Every run of one processor ID, newest first, and the desk's dispositions of it, as an HTML
// page (every text escaped); with `desk`, the form that records a disposition.
Page BoardPage(ReadStore& store, const std::string& chipId, bool desk = false);

// Throws BadRequest unless `query` is a report request (reportRequest.h) with its parts as
// parameters: each known, with a value it takes; else the request as checked.
ReportAsked CheckReportQuery(const std::map<std::string, std::string>& query);

// The report as `report` writes it (its query checked by CheckReportQuery). `query`: format (text,
// csv, json, html; csv takes table), since, until, host, station, today=1, days=N; `today` is the
// local day the screen counts from.
Page ReportPage(ReadStore& store, const std::map<std::string, std::string>& query,
                const std::string& today, const std::string& database);

}  // namespace yield
