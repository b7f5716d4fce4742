#include "text_util.h"

#include <gtest/gtest.h>

namespace bench {
namespace {

TEST(Escaping, BytesBecomeReadableText) {
    EXPECT_EQ(EscapeBytes(std::string("OK\r\n\0\x7F\\", 7)), "OK\\r\\n\\x00\\x7F\\\\");
    EXPECT_EQ(EscapeBytes("AT+OK"), "AT+OK");
    EXPECT_EQ(HexBytes(std::string("AT\0", 3)), "41 54 00");
    EXPECT_EQ(HexBytes(""), "");
}

TEST(Escaping, UnescapeReversesEscape) {
    std::string bytes("\0OK\r\n\t\xFF\\", 8);
    EXPECT_EQ(UnescapeText(EscapeBytes(bytes)), bytes);
    EXPECT_EQ(UnescapeText("\\q\\x4"), "\\q\\x4");  // unknown escapes stay as written
}

TEST(Lists, SplitTrimsAndDropsEmptyItems) {
    EXPECT_EQ(SplitList(" a, b ,,c "), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(SplitList("").empty());
    EXPECT_EQ(SplitList("x y", ' '), (std::vector<std::string>{"x", "y"}));
}

TEST(Numbers, OnlyWholeNumbers) {
    long value = 0;
    EXPECT_TRUE(ParseInt(" -12 ", value));
    EXPECT_EQ(value, -12);
    EXPECT_FALSE(ParseInt("12a", value));
    EXPECT_FALSE(ParseInt("", value));
    EXPECT_FALSE(ParseInt("99999999999999999999", value));
    EXPECT_TRUE(ParseInt("+7", value));
    EXPECT_EQ(value, 7);
    EXPECT_FALSE(ParseInt("+-7", value));
    EXPECT_FALSE(ParseInt("+", value));
    EXPECT_FALSE(ParseInt("0x10", value));
}

TEST(Paths, JoinPutsOneSlashBetween) {
    EXPECT_EQ(JoinPath("/a/", "/b"), "/a/b");
    EXPECT_EQ(JoinPath("/", "dev"), "/dev");
    EXPECT_EQ(JoinPath("/root", "/"), "/root");
    EXPECT_EQ(JoinPath("", "x"), "x");
    EXPECT_EQ(JoinPath("/", "/"), "/");
    EXPECT_EQ(JoinPath("out", "media/sda1/"), "out/media/sda1");
}

}  // namespace
}  // namespace bench
