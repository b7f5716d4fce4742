// Small text helpers shared by the tool's modules.
#pragma once

#include <cstdarg>
#include <string>

// printf into a string of whatever length the result needs: never cut.
std::string StrPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string StrVPrintf(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));
