// Small text helpers shared by the tool's modules.
#pragma once

#include <cstdarg>
#include <string>

// printf into a string of whatever length the result needs: never cut.
std::string StrPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string StrVPrintf(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));

// A text for one line of the log or a file name: line feed, carriage return and tab become
// "\n", "\r" and "\t", every other control character (below 0x20, and 0x7F) "\xHH"; all other
// bytes are kept as they are.
std::string EscapeControls(const char* text);

// Length (1 to 4) of the well-formed UTF-8 character that starts at `p`, or 0 when the bytes
// there are not one (a stray continuation byte, a cut or overlong sequence, a surrogate, a code
// point past U+10FFFF). The text must be zero-terminated.
int Utf8CharLength(const char* p);
