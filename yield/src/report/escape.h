// Host names and processor IDs come from the board and can hold anything: every writer passes
// them through one of these. UTF-8 itself is read in utf8.h.
#pragma once

#include <string>
#include <string_view>

namespace yield {

std::string HtmlEscape(std::string_view text);  // also for XML text and attributes
// A CSV cell: quoted when needed; a cell starting with =, +, - or @ gets a leading ' so that a
// spreadsheet does not take it for a formula. Bytes that are not UTF-8 become U+FFFD.
std::string CsvCell(std::string_view text);
// Control characters (C0, DEL and C1) and bytes that are not UTF-8 as \n, \t or \xHH, and the
// characters that reorder a line (bidirectional controls, line and paragraph separators) as
// \uHHHH, for a terminal.
std::string PrintableText(std::string_view text);
// Letters, digits, '.', '-' and '_' kept, anything else '_': for file names.
std::string SafeFileName(std::string_view text);
// Drops bytes that are not valid UTF-8 and control characters XML 1.0 cannot carry.
std::string XmlSafe(std::string_view text);

}  // namespace yield
