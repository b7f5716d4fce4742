// Small text and file helpers shared by the bench.
#pragma once

#include <string>
#include <vector>

namespace bench {

// Bytes as readable text: printable ASCII as is, \r \n \t \\ and \xHH for everything else.
std::string EscapeBytes(const std::string& bytes);
// Bytes as upper-case hex pairs separated by blanks ("41 54").
std::string HexBytes(const std::string& bytes);
// The reverse of EscapeBytes for \r \n \t \0 \\ and \xHH; other text stays as it is.
std::string UnescapeText(const std::string& text);

std::string TrimBlanks(const std::string& text);
// Splits on `sep`, trims each item and drops empty ones.
std::vector<std::string> SplitList(const std::string& text, char sep = ',');
// Whole decimal number (sign allowed); false for anything else.
bool ParseInt(const std::string& text, long& value);
// The lines of a text, without their line feeds; a last line without one counts.
std::vector<std::string> SplitLines(const std::string& text);

bool ReadFileText(const std::string& path, std::string& content);
bool WriteFileText(const std::string& path, const std::string& content);
// Every file under `dir`, as paths relative to it, sorted.
std::vector<std::string> ListFilesRecursive(const std::string& dir);
// "/a/b" + "c" with exactly one slash between.
std::string JoinPath(const std::string& dir, const std::string& name);

}  // namespace bench
