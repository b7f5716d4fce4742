// The screen's static files: its page, style and script (src/serve/page, embedded at build time).
// The page holds no inline script or style, so the Content-Security-Policy can forbid both; its
// script writes data with textContent only.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace yield {

struct StaticFile {
    const char* path;
    std::string body;
    const char* type;
};

// The screen's page with the routes (routes.h) filled in, its stylesheet and its script, each at
// its path. Made once.
const std::vector<StaticFile>& ScreenFiles();

// `page` with each {{name}} replaced by the HTML-escaped value of that name in `values`. Throws
// std::invalid_argument on a name `values` does not hold or an unclosed {{.
std::string FilledPage(std::string_view page,
                       const std::vector<std::pair<const char*, const char*>>& values);

}  // namespace yield
