#include "text_util.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace bench {

namespace {
const char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(std::string& out, unsigned char byte) {
    out += kHexDigits[byte >> 4];
    out += kHexDigits[byte & 0x0F];
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

std::string EscapeBytes(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\\')
            out += "\\\\";
        else if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else {
            out += "\\x";
            AppendHexByte(out, c);
        }
    }
    return out;
}

std::string HexBytes(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        AppendHexByte(out, c);
    }
    return out;
}

std::string UnescapeText(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 >= text.size()) {
            out += text[i];
            continue;
        }
        char next = text[++i];
        if (next == 'r')
            out += '\r';
        else if (next == 'n')
            out += '\n';
        else if (next == 't')
            out += '\t';
        else if (next == '0')
            out += '\0';
        else if (next == '\\')
            out += '\\';
        else if (next == 'x' && i + 2 < text.size() + 0 && HexValue(text[i + 1]) >= 0 &&
                 HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += '\\';
            out += next;
        }
    }
    return out;
}

std::string TrimBlanks(const std::string& text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) return "";
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string> SplitList(const std::string& text, char sep) {
    std::vector<std::string> items;
    std::stringstream stream(text);
    std::string item;
    while (std::getline(stream, item, sep)) {
        item = TrimBlanks(item);
        if (!item.empty()) items.push_back(item);
    }
    return items;
}

bool ParseInt(const std::string& text, long& value) {
    std::string trimmed = TrimBlanks(text);
    const char* first = trimmed.data();
    const char* last = first + trimmed.size();
    if (first != last && *first == '+' && last - first > 1 && first[1] != '-') ++first;
    long parsed = 0;
    auto [end, status] = std::from_chars(first, last, parsed);
    if (status != std::errc() || end != last) return false;
    value = parsed;
    return true;
}

bool ReadFileText(const std::string& path, std::string& content) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    content = buffer.str();
    return true;
}

bool WriteFileText(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out << content;
    return static_cast<bool>(out.flush());
}

std::vector<std::string> ListFilesRecursive(const std::string& dir) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec)) files.push_back(fs::relative(it->path(), dir, ec).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) lines.push_back(line);
    return lines;
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    namespace fs = std::filesystem;
    if (dir.empty()) return name;
    fs::path joined = fs::path(dir) / fs::path(name).relative_path();
    // "/root/" and "/root" are one folder; only the root keeps its slash.
    if (!joined.has_filename() && joined.has_relative_path()) joined = joined.parent_path();
    return joined.string();
}

}  // namespace bench
