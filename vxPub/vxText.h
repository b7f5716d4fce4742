// Small text helpers shared by the tool's modules.
#pragma once

#include <string>

// printf into a string of whatever length the result needs: never cut.
std::string StrPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
