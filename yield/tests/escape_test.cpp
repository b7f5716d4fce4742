// Text from a log made safe for each place it goes: CSV cells, HTML, file names, XML, terminals.
#include "report/escape.h"

#include <gtest/gtest.h>

using namespace yield;

TEST(Escape, CsvCellsAreQuotedAndFormulasDefused) {
    EXPECT_EQ(CsvCell("plain"), "plain");
    EXPECT_EQ(CsvCell("=1+1"), "'=1+1");
    EXPECT_EQ(CsvCell("+1"), "'+1");
    EXPECT_EQ(CsvCell("-1"), "'-1");
    EXPECT_EQ(CsvCell("@SUM(A1)"), "'@SUM(A1)");
    EXPECT_EQ(CsvCell("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvCell("say \"hi\"\n"), "\"say \"\"hi\"\"\n\"");
    EXPECT_EQ(CsvCell("=a,b"), "\"'=a,b\"");
    EXPECT_EQ(CsvCell("bad\xFF\x01"), "bad\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(Escape, HtmlFileNamesAndTerminalText) {
    EXPECT_EQ(HtmlEscape("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
    EXPECT_EQ(SafeFileName("../etc/pass wd"), "_.._etc_pass_wd");
    EXPECT_EQ(SafeFileName(""), "_");
    EXPECT_EQ(PrintableText("a\nb\x1b[2J"), "a\\nb\\x1B[2J");
    // C1 controls and stray bytes (a lone 0x9B is a CSI to a terminal that is not in UTF-8)
    EXPECT_EQ(PrintableText("\2332J\302\2332J"), "\\x9B2J\\xC2\\x9B2J");  // octal: 0x9B, 0xC2
    EXPECT_EQ(PrintableText("\xc3\xa9 \xc2\xa0\xe2\x82\xac"), "\xc3\xa9 \xc2\xa0\xe2\x82\xac");
    // Bidirectional overrides and isolates would show a host name reversed or moved.
    EXPECT_EQ(PrintableText("a\u202Eb\u2066c\u2069\u200F\u061C\u2028"),
              "a\\u202Eb\\u2066c\\u2069\\u200F\\u061C\\u2028");
    EXPECT_EQ(PrintableText("\u2010\u2030\u2065"), "\u2010\u2030\u2065");  // neighbours kept
    EXPECT_EQ(XmlSafe(std::string("ok\x01\xff", 4)), "ok\xEF\xBF\xBD\xEF\xBF\xBD");
}

// Sequences of the right shape that are still not UTF-8 an XML parser accepts.

TEST(Escape, XmlSafeRefusesOverlongSurrogateAndOutOfRangeSequences) {
    const std::string bad = "\xEF\xBF\xBD";
    EXPECT_EQ(XmlSafe("\xC0\xAF"), bad + bad);                      // overlong '/'
    EXPECT_EQ(XmlSafe("\xE0\x80\xAF"), bad + bad + bad);            // overlong, 3 bytes
    EXPECT_EQ(XmlSafe("\xED\xA0\x80"), bad + bad + bad);            // surrogate U+D800
    EXPECT_EQ(XmlSafe("\xF4\x90\x80\x80"), bad + bad + bad + bad);  // past U+10FFFF
    EXPECT_EQ(XmlSafe("\xF5\x80\x80\x80"), bad + bad + bad + bad);
    EXPECT_EQ(XmlSafe("\xEF\xBF\xBF"), bad);  // U+FFFF
    EXPECT_EQ(XmlSafe("\xC3\xA9\xED\x9F\xBF\xF4\x8F\xBF\xBF"),
              "\xC3\xA9\xED\x9F\xBF\xF4\x8F\xBF\xBF");  // é, U+D7FF, U+10FFFF kept
}
