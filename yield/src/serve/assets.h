// The screen's static files: the page, its style and its script (no inline script or style, so
// the Content-Security-Policy can forbid both). The script writes data with textContent only.
#pragma once

namespace yield {

extern const char kDashboardHtml[];
extern const char kDashboardCss[];
extern const char kDashboardJs[];

}  // namespace yield
