#include "vxText.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(EscapeControls, ControlCharactersBecomeVisibleAndTheRestStays) {
    EXPECT_EQ("bench1\\n5=[RtLog] Test Q7 OK!!!",
              EscapeControls("bench1\n5=[RtLog] Test Q7 OK!!!"));
    EXPECT_EQ("a\\r\\tb\\x01\\x1B\\x7F", EscapeControls("a\r\tb\x01\x1b\x7f"));
    EXPECT_EQ("back\\slash \"q\" \xC3\xA9\xFF", EscapeControls("back\\slash \"q\" \xC3\xA9\xFF"));
    EXPECT_EQ("", EscapeControls(""));
}

TEST(Utf8CharLength, WellFormedCharactersOnly) {
    EXPECT_EQ(1, Utf8CharLength("a"));
    EXPECT_EQ(2, Utf8CharLength("\xC3\xA9"));
    EXPECT_EQ(3, Utf8CharLength("\xE2\x82\xAC"));
    EXPECT_EQ(4, Utf8CharLength("\xF0\x9F\x98\x80"));
    EXPECT_EQ(4, Utf8CharLength("\xF4\x8F\xBF\xBF"));  // U+10FFFF, the last code point
    for (const char* bad : {"\x80", "\xBF", "\xC0\xAF", "\xC1\xBF", "\xC3", "\xC3x", "\xE0\x9F\xBF",
                            "\xED\xA0\x80", "\xE2\x82", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80",
                            "\xF5\x80\x80\x80", "\xFF", "\xF0\x9F\x98"})
        EXPECT_EQ(0, Utf8CharLength(bad)) << static_cast<unsigned>(static_cast<uint8_t>(bad[0]));
}
