// The help laid out for the terminal it is read on.
#pragma once

#include <cstddef>
#include <string>

namespace CLI {
class App;
}

namespace yield {

// The width the help is wrapped to: COLUMNS when set, else the terminal's, else 80.
std::size_t HelpWidth();

// `text` with each of its lines broken at spaces to at most `width` columns; a continuation keeps
// the indent of its line, and a word longer than a line is cut.
std::string WrapText(const std::string& text, std::size_t width);

// Lays out the help of `app`, and of the subcommands added to it afterwards, in `width` columns.
void UseWrappingHelp(CLI::App& app, std::size_t width);

}  // namespace yield
