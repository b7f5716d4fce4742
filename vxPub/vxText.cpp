#include "vxText.h"

#include <cstdarg>
#include <cstdio>

std::string StrVPrintf(const char* fmt, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int len = vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string out;
    if (len > 0) {
        out.resize(static_cast<size_t>(len) + 1);
        vsnprintf(out.data(), out.size(), fmt, args);
        out.resize(static_cast<size_t>(len));
    }
    return out;
}

std::string StrPrintf(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::string out = StrVPrintf(fmt, args);
    va_end(args);
    return out;
}

std::string EscapeControls(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            out += StrPrintf("\\x%02X", c);
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

namespace {
bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of a character from its first byte; 0 for a byte no character starts with.
int LeadLength(unsigned char c) {
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return 2;
    if (c >= 0xE0 && c <= 0xEF) return 3;
    if (c >= 0xF0 && c <= 0xF4) return 4;
    return 0;
}

// The range the second byte must lie in after lead byte `lead`, which also rules out overlong
// forms, surrogates and code points past U+10FFFF.
void SecondByteRange(unsigned char lead, unsigned char& low, unsigned char& high) {
    low = 0x80;
    high = 0xBF;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
}
}  // namespace

int Utf8CharLength(const char* p) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(p);
    int len = LeadLength(s[0]);
    if (len <= 1) return len;
    unsigned char low = 0, high = 0;
    SecondByteRange(s[0], low, high);
    if (s[1] < low || s[1] > high) return 0;
    for (int i = 2; i < len; ++i) {
        if (!IsContinuation(s[i])) return 0;
    }
    return len;
}
