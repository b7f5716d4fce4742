// The screen's files as the server hands them out: the page with the server's routes filled in,
// and the one stylesheet the HTML report carries too.
#include "serve/assets.h"

#include <gtest/gtest.h>

#include <sstream>

#include "pageFiles.h"
#include "report/escape.h"
#include "report/reportWriters.h"
#include "serve/routes.h"

using namespace yield;

namespace {

const StaticFile& Served(const char* path) {
    for (const StaticFile& f : ScreenFiles())
        if (std::string(f.path) == path) return f;
    throw std::runtime_error(std::string("not served: ") + path);
}

}  // namespace

TEST(ServeAssets, ThePageIsHandedEveryRouteAndNamesNoOtherPath) {
    const std::string page = Served(routes::kScreen).body;
    EXPECT_EQ(page.find("{{"), std::string::npos);
    for (const std::string& attribute :
         {std::string(" href=\"") + routes::kStyle + "\"",
          std::string(" src=\"") + routes::kScript + "\"",
          std::string(" data-screen-json=\"") + routes::kScreenJson + "\"",
          std::string(" data-events=\"") + routes::kEvents + "\"",
          std::string(" data-event=\"") + routes::kScreenEvent + "\"",
          std::string(" data-board=\"") + routes::kBoardPrefix + "\"",
          std::string(" data-report=\"") + routes::kReport + "\"",
          std::string(" data-alarms=\"") + routes::kAlarmsPrefix + "\"",
          std::string(" data-clear=\"") + routes::kClearSuffix + "\"",
          std::string(" data-clear-header=\"") + routes::kClearHeader + "\""})
        EXPECT_NE(page.find(attribute), std::string::npos) << attribute;
    // The script takes every path from the page.
    const std::string script = Served(routes::kScript).body;
    for (const char* path : {routes::kScreenJson, routes::kEvents, routes::kBoardPrefix,
                             routes::kReport, routes::kAlarmsPrefix, routes::kClearHeader})
        EXPECT_EQ(script.find(path), std::string::npos) << path;
}

TEST(ServeAssets, FilledPageEscapesItsValuesAndRefusesWhatItCannotFill) {
    const std::vector<std::pair<const char*, const char*>> values = {{"a", "\"<x>&"}};
    EXPECT_EQ(FilledPage("<p title=\"{{a}}\">{{a}}</p>", values),
              "<p title=\"" + HtmlEscape("\"<x>&") + "\">" + HtmlEscape("\"<x>&") + "</p>");
    EXPECT_EQ(FilledPage("no names", values), "no names");
    EXPECT_THROW(FilledPage("{{b}}", values), std::invalid_argument);
    EXPECT_THROW(FilledPage("x {{a", values), std::invalid_argument);
}

TEST(ServeAssets, TheScreenTheBoardPageAndTheReportShareOneStylesheet) {
    EXPECT_EQ(Served(routes::kStyle).body, std::string(kStyleCss));
    std::ostringstream report;
    WriteReportHtml(ReportModel{}, report);
    EXPECT_NE(report.str().find("<style>" + std::string(kStyleCss) + "</style>"),
              std::string::npos);
}
