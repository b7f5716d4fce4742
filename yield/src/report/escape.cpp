#include "report/escape.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "store/utf8.h"

namespace yield {

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string CsvCell(std::string_view text) {
    std::string cell = XmlSafe(text);  // a CSV file stays valid UTF-8
    if (!cell.empty() && (cell[0] == '=' || cell[0] == '+' || cell[0] == '-' || cell[0] == '@' ||
                          cell[0] == '\t' || cell[0] == '\r')) {
        cell.insert(cell.begin(), '\'');
    }
    if (cell.find_first_of(",\"\r\n") == std::string::npos) return cell;
    std::string out = "\"";
    for (char c : cell) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

namespace {

void HexEscape(std::string_view bytes, std::string& out) {
    for (char c : bytes) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned char>(c));
        out += hex;
    }
}

// Characters that reorder or break what a terminal shows around them: the bidirectional marks,
// embeddings, overrides and isolates (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066 to
// U+2069), and the line and paragraph separators (U+2028, U+2029).
bool Reorders(uint32_t cp) {
    return cp == 0x061C || cp == 0x200E || cp == 0x200F || (cp >= 0x2028 && cp <= 0x202E) ||
           (cp >= 0x2066 && cp <= 0x2069);
}

uint32_t CodePoint(std::string_view utf8) {
    auto b = [&utf8](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(utf8[i]));
    };
    switch (utf8.size()) {
        case 2:
            return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
        case 3:
            return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
        default:
            return utf8.empty() ? 0 : b(0);
    }
}

void CodePointEscape(uint32_t cp, std::string& out) {
    char text[16];
    std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(cp));
    out += text;
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        unsigned char u = static_cast<unsigned char>(text[i]);
        size_t valid = Utf8Length(text, i);
        size_t n = std::max<size_t>(valid, 1);
        // C1 controls (U+0080 to U+009F; 0x9B alone is a CSI to some terminals) as well as C0.
        bool c1 = n == 2 && u == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (u == '\n')
            out += "\\n";
        else if (u == '\t')
            out += "\\t";
        else if (u < 0x20 || u == 0x7F || c1 || valid == 0)
            HexEscape(text.substr(i, n), out);
        else if (Reorders(CodePoint(text.substr(i, n))))
            CodePointEscape(CodePoint(text.substr(i, n)), out);
        else
            out.append(text.substr(i, n));
        i += n;
    }
    return out;
}

std::string SafeFileName(std::string_view text) {
    std::string out;
    for (char c : text) {
        bool keep = isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
        out += keep ? c : '_';
    }
    if (out.empty() || out[0] == '.') out.insert(out.begin(), '_');
    return out;
}

std::string XmlSafe(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        size_t n = Utf8Length(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
            continue;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool nonCharacter = n == 3 && c == 0xEF && text[i + 1] == '\xBF' &&
                            (text[i + 2] == '\xBE' || text[i + 2] == '\xBF');  // U+FFFE, U+FFFF
        if ((n == 1 && c < 0x20 && c != '\n' && c != '\t' && c != '\r') || nonCharacter) {
            out += "\xEF\xBF\xBD";
        } else {
            out.append(text.substr(i, n));
        }
        i += n;
    }
    return out;
}

}  // namespace yield
