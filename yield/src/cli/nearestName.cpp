#include "cli/nearestName.h"

#include <algorithm>

#include "report/escape.h"

namespace yield {
namespace {

constexpr char kUnknown[] = "unknown ";
constexpr char kQuote[] = "'";
constexpr char kDidYouMean[] = "; did you mean '";
constexpr char kQuestion[] = "'?";
constexpr size_t kLeastSlack = 2;
constexpr size_t kSlackPart = 3;

// Optimal string alignment distance.
size_t Edits(const std::string& a, const std::string& b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t change = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + change});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

}  // namespace

std::string NearestName(const std::string& typed, const std::vector<std::string>& names) {
    constexpr size_t kLongest = 64;  // a longer word is no slip of a name
    if (typed.size() > kLongest) return std::string();
    std::string best;
    size_t bestEdits = 0;
    for (const std::string& name : names) {
        size_t edits = Edits(typed, name);
        if (best.empty() || edits < bestEdits) {
            best = name;
            bestEdits = edits;
        }
    }
    size_t slack = std::max(kLeastSlack, best.size() / kSlackPart);
    return bestEdits <= slack ? best : std::string();
}

std::string UnknownName(const char* what, const std::string& typed,
                        const std::vector<std::string>& names) {
    std::string message =
        kUnknown + std::string(what) + " " + kQuote + PrintableText(typed) + kQuote;
    std::string near = NearestName(typed, names);
    return near.empty() ? message : message + kDidYouMean + near + kQuestion;
}

}  // namespace yield
