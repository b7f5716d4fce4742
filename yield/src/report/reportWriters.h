// One writer per report format, all from the same model; the tables they write are defined once
// in reportTables.h. A new format is a new writer file.
#pragma once

#include <ostream>

#include "reportModel.h"

namespace yield {

void WriteReportText(const ReportModel& m, std::ostream& out);  // aligned tables
void WriteReportCsv(const ReportModel& m, std::ostream& out);   // one block per table
void WriteReportJson(const ReportModel& m, std::ostream& out);
void WriteReportHtml(const ReportModel& m, std::ostream& out);  // self-contained, inline SVG

}  // namespace yield
