#include "serve/assets.h"

#include <algorithm>
#include <utility>

#include "pageFiles.h"
#include "report/escape.h"
#include "serve/httpMessage.h"
#include "serve/routes.h"

namespace yield {
namespace {

constexpr std::string_view kOpen = "{{";
constexpr std::string_view kClose = "}}";
constexpr char kUnknownName[] = "the page names no route called ";
constexpr char kUnclosed[] = "the page has an unclosed {{";

using Values = std::vector<std::pair<const char*, const char*>>;

// What the page's HTML names, and the data attributes its script reads them from.
const Values kPageRoutes = {{"style", routes::kStyle},
                            {"script", routes::kScript},
                            {"screen_json", routes::kScreenJson},
                            {"events", routes::kEvents},
                            {"event", routes::kScreenEvent},
                            {"board", routes::kBoardPrefix},
                            {"report", routes::kReport},
                            {"alarms", routes::kAlarmsPrefix},
                            {"acknowledge", routes::kAcknowledgeSuffix},
                            {"clear", routes::kClearSuffix},
                            {"clear_header", routes::kClearHeader},
                            {"desk_header", routes::kDeskSecretHeader},
                            {"desk_key", routes::kDeskSecretKey}};
// The wall's page: its own style and script, the same JSON and events.
const Values kWallRoutes = {{"style", routes::kWallStyle},        {"script", routes::kWallScript},
                            {"screen_json", routes::kScreenJson}, {"events", routes::kEvents},
                            {"event", routes::kScreenEvent},      {"screen", routes::kScreen}};

std::string ValueOf(const Values& values, std::string_view name) {
    auto it = std::find_if(values.begin(), values.end(),
                           [name](const auto& v) { return name == v.first; });
    if (it == values.end()) throw std::invalid_argument(kUnknownName + std::string(name));
    return HtmlEscape(it->second);
}

}  // namespace

std::string FilledPage(std::string_view page, const Values& values) {
    std::string out;
    size_t from = 0;
    for (size_t open = page.find(kOpen); open != std::string_view::npos;
         open = page.find(kOpen, from)) {
        const size_t close = page.find(kClose, open);
        if (close == std::string_view::npos) throw std::invalid_argument(kUnclosed);
        out.append(page.substr(from, open - from));
        out += ValueOf(values, page.substr(open + kOpen.size(), close - open - kOpen.size()));
        from = close + kClose.size();
    }
    out.append(page.substr(from));
    return out;
}

const std::vector<StaticFile>& ScreenFiles() {
    static const std::vector<StaticFile> files = {
        {routes::kScreen, FilledPage(kScreenHtml, kPageRoutes), kHtmlType},
        {routes::kStyle, std::string(kStyleCss), kCssType},
        {routes::kScript, std::string(kScreenJs), kJsType},
        {routes::kWall, FilledPage(kWallHtml, kWallRoutes), kHtmlType},
        {routes::kWallStyle, std::string(kWallCss), kCssType},
        {routes::kWallScript, std::string(kWallJs), kJsType},
        {routes::kDeskScript, std::string(kDeskJs), kJsType}};
    return files;
}

}  // namespace yield
