#include "store/pgText.h"

#include <charconv>
#include <cmath>

#include "store/utf8.h"

namespace yield {
namespace {

// U+F700 + byte: EF 9C 80 to EF 9F BF in UTF-8.
constexpr unsigned char kLead = 0xEF;
constexpr unsigned char kFirstMid = 0x9C;
constexpr unsigned char kLastMid = 0x9F;

bool IsByteChar(std::string_view s, size_t i) {
    if (i + 2 >= s.size() || static_cast<unsigned char>(s[i]) != kLead) return false;
    auto mid = static_cast<unsigned char>(s[i + 1]);
    return mid >= kFirstMid && mid <= kLastMid;
}

void AppendByteChar(std::string& out, unsigned char byte) {
    unsigned code = 0xF700U + byte;
    out += static_cast<char>(kLead);
    out += static_cast<char>(0x80U | ((code >> 6) & 0x3FU));
    out += static_cast<char>(0x80U | (code & 0x3FU));
}

unsigned char ByteOf(std::string_view s, size_t i) {
    unsigned code = ((static_cast<unsigned char>(s[i + 1]) & 0x3FU) << 6) |
                    (static_cast<unsigned char>(s[i + 2]) & 0x3FU);
    return static_cast<unsigned char>(code & 0xFFU);
}

}  // namespace

std::string PgEncodeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t n = text[i] == '\0' || IsByteChar(text, i) ? 0 : Utf8Length(text, i);
        if (n == 0) {
            size_t bytes = IsByteChar(text, i) ? 3 : 1;
            for (size_t k = 0; k < bytes; ++k)
                AppendByteChar(out, static_cast<unsigned char>(text[i + k]));
            i += bytes;
        } else {
            out.append(text, i, n);
            i += n;
        }
    }
    return out;
}

std::string_view PgDecodeText(std::string_view stored, std::string& scratch) {
    size_t first = 0;
    while (first < stored.size() && !IsByteChar(stored, first)) ++first;
    if (first == stored.size()) return stored;
    scratch.assign(stored, 0, first);
    for (size_t i = first; i < stored.size();) {
        if (IsByteChar(stored, i)) {
            scratch += static_cast<char>(ByteOf(stored, i));
            i += 3;
        } else {
            scratch += stored[i++];
        }
    }
    return scratch;
}

void AppendCopyField(std::string& row, std::string_view encoded) {
    for (char c : encoded) {
        switch (c) {
            case '\\':
                row += "\\\\";
                break;
            case '\t':
                row += "\\t";
                break;
            case '\n':
                row += "\\n";
                break;
            case '\r':
                row += "\\r";
                break;
            default:
                row += c;
        }
    }
}

std::string PgReal(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

std::string OneLine(std::string_view message) {
    std::string out;
    size_t at = 0;
    while (at <= message.size()) {
        size_t end = message.find('\n', at);
        if (end == std::string_view::npos) end = message.size();
        std::string_view line = message.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line[0] == '\t') continue;  // libpq's hints under its message
        bool blank = false;
        bool started = false;
        for (char c : line) {
            if (c == ' ' || c == '\t' || c == '\r') {
                blank = started;
                continue;
            }
            if (!started && !out.empty()) out += "; ";
            if (blank) out += ' ';
            out += c;
            started = true;
            blank = false;
        }
    }
    return out;
}

}  // namespace yield
