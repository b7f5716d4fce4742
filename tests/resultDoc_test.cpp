#include "resultDoc.h"

#include <gtest/gtest.h>

#include "selectMask.h"

namespace {
_tag_TestSta_ Pass() { return {2, 0}; }
_tag_TestSta_ Fail() { return {1, 1}; }

_tag_VxPortInfo_ ExampleBoard() {
    _tag_VxPortInfo_ info;
    info.cntRS232 = 2;
    info.cntDO = 1;
    info.cntDI = 1;
    info.cntUSB = 2;
    info.cntAI = 1;
    info.cntLED = 3;
    info.staRS232 = {Pass(), Pass()};
    info.staDO_NO = {Pass(), Fail(), Fail()};  // the two system outputs are not listed
    info.staDO_NC = {Pass(), Fail(), Fail()};
    info.staDI_NO = {Pass()};
    info.staDI_NC = {Pass()};
    info.staUSB = {Pass(), Fail()};
    info.staAI = {Pass()};
    info.staLED = {Pass(), Pass(), Pass()};
    return info;
}
}  // namespace

TEST(ResultDoc, MatchesTheReferenceDocumentByteForByte) {
    std::string doc = FormatDocHeader("bench1", "2021_11_05_11_51_23");
    int verdict = AppendDocSections(doc, kSelectAll, ExampleBoard());
    doc += "]}";
    EXPECT_EQ(
        "{\"devuzeV7\":\"testData\",\"DevType\":\"bench1\",\"DateTime\":\"2021_11_05_11_51_23\" "
        ",\"logDate\":[{\"name\":\"RS485\",\"info\":[]},{ \"name\":\"RS232\", \"info\":[ "
        "{\"port\":1},{\"port\":1}]},{ \"name\":\"DO\", \"info\":[ {\"port\":1}]},{ "
        "\"name\":\"DI\", \"info\":[ {\"port\":1}]},{\"name\":\"USB\",\"info\":[{\"port\":1},{"
        "\"port\":0}]},{\"name\":\"ADC\",\"info\":[{\"port\":1}]},{\"name\":\"LED\",\"info\":[{"
        "\"port\":1},{\"port\":1},{\"port\":1}]} ]}",
        doc);
    EXPECT_EQ(-1, verdict);
}

TEST(ResultDoc, EveryPortPassedGivesVerdictZero) {
    _tag_VxPortInfo_ info = ExampleBoard();
    info.staUSB[1] = Pass();
    std::string doc = FormatDocHeader("h", "t");
    EXPECT_EQ(0, AppendDocSections(doc, kSelectAll, info));
}

TEST(ResultDoc, UntestedRs485PortFailsTheRun) {
    _tag_VxPortInfo_ info = ExampleBoard();
    info.staUSB[1] = Pass();
    info.cntRS485 = 1;
    info.staRS485 = {{0, 0}};
    std::string doc = FormatDocHeader("h", "t");
    EXPECT_EQ(-1, AppendDocSections(doc, kSelectAll, info));
    EXPECT_NE(std::string::npos, doc.find("{\"name\":\"RS485\",\"info\":[{\"port\":0}]},"));
}

TEST(ResultDoc, OutputFailingOnlyWhenOnIsListedAsZero) {
    _tag_VxPortInfo_ info = ExampleBoard();
    info.staUSB[1] = Pass();
    info.staDO_NC[0] = Fail();
    std::string doc = FormatDocHeader("h", "t");
    EXPECT_EQ(-1, AppendDocSections(doc, kSelectAll, info));
    EXPECT_NE(std::string::npos, doc.find("{ \"name\":\"DO\", \"info\":[ {\"port\":0}]}"));
}

TEST(ResultDoc, OneFailedCycleOutOfFiveGivesZero) {
    _tag_VxPortInfo_ info = ExampleBoard();
    info.staUSB[1] = Pass();
    info.staAI[0] = {4, 1};
    std::string doc = FormatDocHeader("h", "t");
    EXPECT_EQ(-1, AppendDocSections(doc, kSelectAll, info));
    EXPECT_NE(std::string::npos, doc.find("{\"name\":\"ADC\",\"info\":[{\"port\":0}]}"));
}

TEST(ResultDoc, HostNameIsEscapedForJson) {
    EXPECT_EQ("bench1", JsonEscape("bench1"));
    EXPECT_EQ("a\\\"b\\\\c\\u0001\\u000a", JsonEscape("a\"b\\c\x01\n"));
    std::string doc = FormatDocHeader("be\"nch", "t");
    EXPECT_NE(std::string::npos, doc.find("\"DevType\":\"be\\\"nch\""));
}

TEST(ResultDoc, BytesThatAreNotUtf8BecomeEscapes) {
    EXPECT_EQ("b\\u00ffn\\u00e9\\u00c3", JsonEscape("b\xFFn\xE9\xC3"));
    EXPECT_EQ("\\u00ed\\u00a0\\u0080\\u00c0\\u00af", JsonEscape("\xED\xA0\x80\xC0\xAF"));
    EXPECT_EQ("h\\u000a\\u00fe\\u00f0\\u009f\\u0098", JsonEscape("h\n\xFE\xF0\x9F\x98"));
    // Well-formed characters are kept as they are, of every length.
    const char* text = "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\x7F";
    EXPECT_EQ(text, JsonEscape(text));
}

TEST(ResultDoc, LargeBoardIsBuiltWhole) {
    _tag_VxPortInfo_ info;
    info.cntDO = 120;
    info.cntDI = 120;
    info.cntUSB = 2;
    info.cntLED = 3;
    info.staDO_NO.assign(122, Pass());
    info.staDO_NC.assign(122, Pass());
    info.staDI_NO.assign(120, Pass());
    info.staDI_NC.assign(120, Pass());
    info.staUSB.assign(2, Pass());
    info.staLED.assign(3, Pass());
    std::string doc = FormatDocHeader(std::string(200, 'h').c_str(), "t");
    EXPECT_EQ(0, AppendDocSections(doc, kSelectAll, info));
    EXPECT_GT(doc.size(), 1024u);
    size_t ports = 0;
    for (size_t at = doc.find("{\"port\":1}"); at != std::string::npos;
         at = doc.find("{\"port\":1}", at + 1)) {
        ++ports;
    }
    EXPECT_EQ(245u, ports);
    EXPECT_EQ("]} ", doc.substr(doc.size() - 3));
}
