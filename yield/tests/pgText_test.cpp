#include "store/pgText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "store/utf8.h"

using namespace yield;

namespace {

bool ValidUtf8WithoutNul(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        size_t n = s[i] == '\0' ? 0 : Utf8Length(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string RoundTrip(const std::string& text) {
    std::string scratch;
    return std::string(PgDecodeText(PgEncodeText(text), scratch));
}

}  // namespace

TEST(PgText, AnyBytesComeBackExactlyAsValidUtf8) {
    // Plain and valid text is stored as it is.
    for (std::string plain :
         {"", "bench1", "0x1A2B3C4D", "Gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x94\xa7"})
        EXPECT_EQ(PgEncodeText(plain), plain);
    // NUL, stray bytes, overlong forms, surrogates, past U+10FFFF, truncated sequences, and the
    // private-use characters the encoding itself uses.
    for (std::string odd :
         {std::string("a\0b", 3), std::string("\xff\xfe"), std::string("\xc0\xaf"),
          std::string("\xed\xa0\x80"), std::string("\xf4\x90\x80\x80"), std::string("\xe2\x82"),
          std::string("x\xef\x9c\x80y\xef\x9f\xbf"), std::string("\xef\x9c"),
          std::string("\xef\x9c\x41")}) {
        std::string stored = PgEncodeText(odd);
        EXPECT_TRUE(ValidUtf8WithoutNul(stored)) << odd;
        EXPECT_EQ(RoundTrip(odd), odd);
    }
    std::mt19937 random(7);
    for (int i = 0; i < 2000; ++i) {
        std::string bytes(random() % 24, '\0');
        for (char& c : bytes) c = static_cast<char>(random() % 8 == 0 ? 0xEF : random() % 256);
        std::string stored = PgEncodeText(bytes);
        ASSERT_TRUE(ValidUtf8WithoutNul(stored));
        ASSERT_EQ(RoundTrip(bytes), bytes);
    }
}

TEST(PgText, CopyFieldsRealsAndMessages) {
    std::string row;
    AppendCopyField(row, "a\\N\tb\nc\rd");
    EXPECT_EQ(row, "a\\\\N\\tb\\nc\\rd");

    for (double v : {0.1 + 0.2, -1e308, 4.9e-324, 1.0 / 3, 0.0, 12.34})
        EXPECT_EQ(std::strtod(PgReal(v).c_str(), nullptr), v) << PgReal(v);
    EXPECT_EQ(PgReal(std::numeric_limits<double>::quiet_NaN()), "NaN");
    EXPECT_EQ(PgReal(-std::numeric_limits<double>::infinity()), "-Infinity");

    EXPECT_EQ(OneLine("FATAL:  terminating connection due to administrator command\n"),
              "FATAL: terminating connection due to administrator command");
    EXPECT_EQ(OneLine("server closed the connection unexpectedly\n\tThis probably means the "
                      "server terminated abnormally\n\tbefore or while processing the request.\n"),
              "server closed the connection unexpectedly");
    EXPECT_EQ(OneLine("ERROR:  duplicate key\nDETAIL:  Key (id)=(1) already exists.\n"),
              "ERROR: duplicate key; DETAIL: Key (id)=(1) already exists.");
}
