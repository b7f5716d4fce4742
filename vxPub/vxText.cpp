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
