// One writer per report format, all from the same model; the tables they write are defined once
// in reportTables.h. A new format is a new writer file.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "report/reportModel.h"

namespace yield {

void WriteReportText(const ReportModel& m, std::ostream& out);  // aligned tables
// The CSV report is one table per file: the tables' names (their CSV keys) in report order, and
// one table as a header row and its rows; false when no table has that name.
std::vector<std::string> CsvTableNames();
bool WriteReportCsvTable(const ReportModel& m, const std::string& name, std::ostream& out);
void WriteReportJson(const ReportModel& m, std::ostream& out);
void WriteReportHtml(const ReportModel& m, std::ostream& out);  // self-contained, inline SVG

}  // namespace yield
