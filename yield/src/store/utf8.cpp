#include "store/utf8.h"

namespace yield {

size_t Utf8Length(std::string_view s, size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    }
    unsigned char c1 = n > 1 ? static_cast<unsigned char>(s[i + 1]) : 0;
    bool bad = (n == 2 && c < 0xC2) || (c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0) ||
               (c == 0xF0 && c1 < 0x90) || (c == 0xF4 && c1 >= 0x90) || c > 0xF4;
    return bad ? 0 : n;
}

}  // namespace yield
