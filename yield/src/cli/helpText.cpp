#include "cli/helpText.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace yield {
namespace {

constexpr char kColumnsVariable[] = "COLUMNS";
constexpr std::size_t kDefaultWidth = 80;
constexpr std::size_t kMinWidth = 40;
constexpr std::size_t kMaxWidth = 200;
constexpr std::size_t kNameColumn = 30;  // CLI11's own, on a wide enough terminal

std::size_t TerminalWidth() {
    if (const char* columns = std::getenv(kColumnsVariable)) {
        long n = std::strtol(columns, nullptr, 10);
        if (n > 0) return static_cast<std::size_t>(n);
    }
    winsize ws{};
    if (isatty(STDOUT_FILENO) && ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return kDefaultWidth;
}

void AppendWord(std::string& out, std::size_t& col, std::string word, const std::string& pad,
                std::size_t width) {
    std::size_t room = width > pad.size() ? width - pad.size() : 1;
    if (col > pad.size() && col + 1 + word.size() > width) {
        out += '\n' + pad;
        col = pad.size();
    }
    while (word.size() > room) {
        out += word.substr(0, room) + '\n' + pad;
        word.erase(0, room);
    }
    if (col > pad.size()) {
        out += ' ';
        ++col;
    }
    out += word;
    col += word.size();
}

// The words of `text` split at spaces, but for spaces inside quotes: a quoted argument of an
// example is one word, never broken across lines.
std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    char quote = 0;
    for (char c : text) {
        if (quote == 0 && c == ' ') {
            if (!word.empty()) words.push_back(word);
            word.clear();
            continue;
        }
        bool opens = quote == 0 && (word.empty() || word.back() == '=');
        if ((c == '\'' || c == '"') && (opens || c == quote)) quote = opens ? c : 0;
        word += c;
    }
    if (!word.empty()) words.push_back(word);
    return words;
}

std::string WrapLine(const std::string& line, std::size_t width) {
    std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string::npos) return std::string();
    std::string pad(indent, ' ');
    std::string out = pad;
    std::size_t col = indent;
    for (const std::string& word : Words(line.substr(indent)))
        AppendWord(out, col, word, pad, width);
    return out;
}

// CLI11's layout, with every text wrapped to the width: options and subcommands in the list of
// them beside their names column, the rest across the whole width.
class WrappingFormatter : public CLI::Formatter {
public:
    explicit WrappingFormatter(std::size_t width) : width_(width) {
        column_width(std::min(kNameColumn, width / 3));
    }
    std::string make_description(const CLI::App* app) const override {
        return WrapText(Formatter::make_description(app), width_) + "\n";
    }
    std::string make_subcommand(const CLI::App* sub) const override {
        std::stringstream out;
        CLI::detail::format_help(out, sub->get_display_name(true),
                                 WrapText(sub->get_description(), Beside()), column_width_);
        return out.str();
    }
    std::string make_option_desc(const CLI::Option* opt) const override {
        return WrapText(Formatter::make_option_desc(opt), Beside());
    }
    std::string make_footer(const CLI::App* app) const override {
        std::string footer = Formatter::make_footer(app);
        return footer.empty() ? footer : WrapText(footer, width_) + "\n";
    }

private:
    std::size_t Beside() const { return width_ - column_width_; }
    std::size_t width_;
};

}  // namespace

std::size_t HelpWidth() { return std::clamp(TerminalWidth(), kMinWidth, kMaxWidth); }

std::string WrapText(const std::string& text, std::size_t width) {
    std::string out;
    std::istringstream lines(text);
    std::string line;
    bool first = true;
    while (std::getline(lines, line)) {
        if (!first) out += '\n';
        out += WrapLine(line, width);
        first = false;
    }
    return out;
}

void UseWrappingHelp(CLI::App& app, std::size_t width) {
    app.formatter(std::make_shared<WrappingFormatter>(width));
}

}  // namespace yield
