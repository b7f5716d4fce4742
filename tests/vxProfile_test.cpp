#include "vxProfile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Found {
    int secStart, secEnd, keyStart, keyEnd, valueStart, valueEnd;
    int result;
};

Found Parse(const char* section, const char* key, const std::string& text) {
    Found f{};
    f.result = parse_file(section, key, text.c_str(), &f.secStart, &f.secEnd, &f.keyStart,
                          &f.keyEnd, &f.valueStart, &f.valueEnd);
    return f;
}

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/devuze-profile-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        path_ = dir_ + "/p.ini";
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string Read() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // The value as read back, or "<missing>".
    std::string Get(const char* section, const char* key, int size = 256) {
        std::vector<char> value(static_cast<size_t>(size), 'X');
        if (read_profile_string(section, key, value.data(), size, nullptr, path_.c_str()) != 1)
            return "<missing>";
        return std::string(value.data());
    }
    // Writes, checks the result, and reads the key back.
    void Put(const char* section, const char* key, const char* value) {
        ASSERT_EQ(write_profile_string(section, key, value, path_.c_str()), 1);
        EXPECT_EQ(Get(section, key), value);
    }
    // A write that must fail and leave the file as it was.
    void PutRefused(const char* section, const char* key, const char* value) {
        const std::string before = Read();
        EXPECT_EQ(write_profile_string(section, key, value, path_.c_str()), 0);
        EXPECT_EQ(Read(), before);
    }
    std::string dir_;
    std::string path_;
};

TEST(ProfileCharacters, Classes) {
    EXPECT_TRUE(newline('\n'));
    EXPECT_TRUE(newline('\r'));
    EXPECT_FALSE(newline('\v'));
    EXPECT_TRUE(end_of_string('\0'));
    EXPECT_FALSE(end_of_string('0'));
    EXPECT_TRUE(left_barce('['));
    EXPECT_FALSE(left_barce(']'));
    EXPECT_TRUE(isright_brace(']'));
    EXPECT_FALSE(isright_brace('['));
}

TEST(ProfileParse, PositionsOfAFoundKey) {
    const std::string text = "[APP]\n\n  \nTestMode=1\r\nx=2";
    Found f = Parse("APP", "TestMode", text);
    ASSERT_EQ(f.result, 1);
    EXPECT_EQ(f.secStart, 1);
    EXPECT_EQ(f.secEnd, 10);
    EXPECT_EQ(f.keyStart, 10);
    EXPECT_EQ(f.keyEnd, 17);
    EXPECT_EQ(f.valueStart, 19);
    EXPECT_EQ(f.valueEnd, 20);
    Found last = Parse("APP", "x", text);
    ASSERT_EQ(last.result, 1);
    EXPECT_EQ(last.valueEnd, static_cast<int>(text.size()));
}

TEST(ProfileParse, PrefixMatchesOfHeadersAndKeys) {
    EXPECT_EQ(Parse("APPLE", "TestMode", "[APP]\nTest=7\n").result, 1);
    EXPECT_EQ(Parse("APP", "Test", "[APPLE]\nTest=7\n").result, 0);
    EXPECT_EQ(Parse("APP", "Test", "[APP]\nTestMode=7\n").result, 0);
    EXPECT_EQ(Parse("x", "k", "[]\nk=1\n").result, 1);
    EXPECT_EQ(Parse("APP", "Key", "[app]\nKey=1\n").result, 0);
    EXPECT_EQ(Parse("A", "k", "[A]\nx=0\n k=1\nk =2\n").result, 0);
}

TEST(ProfileParse, MissesAndSectionPositions) {
    Found f = Parse("B", "k", "[A]\nk=1\n[B]\nj=2\n[B]\ni=3\n");
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.secStart, 17);  // the last matching header
    EXPECT_EQ(f.secEnd, 20);
    EXPECT_EQ(f.keyStart, -1);
    EXPECT_EQ(f.valueStart, -1);
    Found none = Parse("C", "k", "[A]\nk=1\n");
    EXPECT_EQ(none.secStart, -1);
    EXPECT_EQ(none.secEnd, -1);
}

TEST(ProfileParse, HeadersOnlyAtLineStartsAndCommentsOnlyAtFirstByte) {
    EXPECT_EQ(Parse("B", "k", "[A]\nx=1 [B]\nk=1\n").result, 0);
    EXPECT_EQ(Parse("A", "k", "[A]\n;k=1\n k;=2\n#k=3\n").result, 0);
    EXPECT_EQ(Parse("A", "#k", "[A]\n;k=1\n#k=3\n").result, 1);
    EXPECT_EQ(Parse("A", "k", "[A]\n=1\nk\nk=3\n").result, 1);
}

TEST(ProfileParse, HeaderNameMayRunAcrossLines) {
    EXPECT_EQ(Parse("A\nB", "k", "[A\nB]\nk=1\n").result, 1);
}

TEST(ProfileParse, TextEndingInsideAMatchingHeader) {
    Found f = Parse("APP", "k", "[APP]\nj=1\n[AP");
    EXPECT_EQ(f.result, 0);
    EXPECT_EQ(f.secStart, 11);
    EXPECT_EQ(f.secEnd, -1);
}

TEST(ProfileParse, InvalidArgumentsFailWithoutAbort) {
    int p[6];
    EXPECT_EQ(parse_file(nullptr, "k", "[a]\nk=1", &p[0], &p[1], &p[2], &p[3], &p[4], &p[5]), 0);
    EXPECT_EQ(p[0], -1);
    EXPECT_EQ(parse_file("a", "", "[a]\nk=1", &p[0], &p[1], &p[2], &p[3], &p[4], &p[5]), 0);
    EXPECT_EQ(parse_file("a", "k", nullptr, &p[0], &p[1], &p[2], &p[3], &p[4], &p[5]), 0);
    EXPECT_EQ(parse_file("a", "k", "[a]\nk=1", nullptr, &p[1], &p[2], &p[3], &p[4], &p[5]), 0);
}

TEST_F(ProfileTest, ReadsStringAndInt) {
    Write("[APP]\nTestMode=1\n");
    EXPECT_EQ(Get("APP", "TestMode"), "1");
    EXPECT_EQ(read_profile_int("APP", "TestMode", 9, path_.c_str()), 1);
    EXPECT_EQ(read_profile_int("APP", "Other", 9, path_.c_str()), 9);
}

TEST_F(ProfileTest, ValuesKeepBlanksAndComments) {
    Write("[S]\na= lead\nb=v ; note\nc=\n");
    EXPECT_EQ(Get("S", "a"), " lead");
    EXPECT_EQ(Get("S", "b"), "v ; note");
    EXPECT_EQ(Get("S", "c"), "");
}

TEST_F(ProfileTest, CrLfLineEndsAreNotPartOfTheValue) {
    Write("[S]\r\nk=val\r\nn=42\r\n");
    EXPECT_EQ(Get("S", "k"), "val");
    EXPECT_EQ(read_profile_int("S", "n", 0, path_.c_str()), 42);
}

TEST_F(ProfileTest, FirstMatchWinsAcrossRepeatedHeaders) {
    Write("[S]\nj=0\n[T]\nk=t\n[S]\nk=1\nk=2\n");
    EXPECT_EQ(Get("S", "k"), "1");
}

TEST_F(ProfileTest, ValueIsCutToSizeAndTerminated) {
    Write("[S]\nk=abcdef\n");
    EXPECT_EQ(Get("S", "k", 4), "abc");
    EXPECT_EQ(Get("S", "k", 1), "");
}

TEST_F(ProfileTest, DefaultIsCopiedBoundedAndTerminated) {
    Write("[S]\nk=1\n");
    char value[4];
    memset(value, 'X', sizeof value);
    EXPECT_EQ(read_profile_string("S", "none", value, 4, "defaults", path_.c_str()), 0);
    EXPECT_STREQ(value, "def");
    memset(value, 'X', sizeof value);
    EXPECT_EQ(read_profile_string("S", "none", value, 4, "d", path_.c_str()), 0);
    EXPECT_EQ(std::string(value, 4), std::string("d\0\0\0", 4));
    memset(value, 'X', sizeof value);
    EXPECT_EQ(read_profile_string("S", "none", value, 4, nullptr, path_.c_str()), 0);
    EXPECT_EQ(std::string(value, 4), "XXXX");
}

TEST_F(ProfileTest, MissingFileGivesDefaults) {
    char value[8] = "XXXXXXX";
    EXPECT_EQ(read_profile_string("S", "k", value, 8, "dv", path_.c_str()), 0);
    EXPECT_STREQ(value, "dv");
    EXPECT_EQ(read_profile_int("S", "k", -5, path_.c_str()), -5);
}

TEST_F(ProfileTest, IntegerConversion) {
    Write(
        "[N]\na= -12x\nb=abc\nc=0x10\nd=99999999999\ne=-99999999999\n"
        "f=1234567890123456789012345678901234567890\n");
    EXPECT_EQ(read_profile_int("N", "a", 7, path_.c_str()), -12);
    EXPECT_EQ(read_profile_int("N", "b", 7, path_.c_str()), 0);
    EXPECT_EQ(read_profile_int("N", "c", 7, path_.c_str()), 0);
    EXPECT_EQ(read_profile_int("N", "d", 7, path_.c_str()), INT_MAX);
    EXPECT_EQ(read_profile_int("N", "e", 7, path_.c_str()), INT_MIN);
    EXPECT_EQ(read_profile_int("N", "f", 7, path_.c_str()), INT_MAX);
}

TEST_F(ProfileTest, InvalidReadArgumentsFailWithoutAbort) {
    Write("[S]\nk=1\n");
    char value[4] = "ab";
    const char* file = path_.c_str();
    EXPECT_EQ(read_profile_string(nullptr, "k", value, 4, "d", file), 0);
    EXPECT_EQ(read_profile_string("", "k", value, 4, "d", file), 0);
    EXPECT_EQ(read_profile_string("S", nullptr, value, 4, "d", file), 0);
    EXPECT_EQ(read_profile_string("S", "", value, 4, "d", file), 0);
    EXPECT_EQ(read_profile_string("S", "k", nullptr, 4, "d", file), 0);
    EXPECT_EQ(read_profile_string("S", "k", value, 0, "d", file), 0);
    EXPECT_EQ(read_profile_string("S", "k", value, -1, "d", file), 0);
    EXPECT_EQ(read_profile_string("S", "k", value, 4, "d", nullptr), 0);
    EXPECT_STREQ(value, "ab");
    EXPECT_EQ(read_profile_int(nullptr, "k", 3, file), 3);
    EXPECT_EQ(read_profile_int("S", "k", 3, nullptr), 3);
    int len = 5;
    char buf[8];
    EXPECT_EQ(load_ini_file(nullptr, buf, &len), 0);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(load_ini_file(file, nullptr, &len), 0);
}

TEST_F(ProfileTest, LargestFileIsReadWhole) {
    std::string text(vxprofile::kMaxFileLen, 'x');
    const std::string tail = "\n[S]\nk=end";
    text.replace(text.size() - tail.size(), tail.size(), tail);
    text[0] = '\n';
    Write(text);
    EXPECT_EQ(Get("S", "k"), "end");
    std::vector<char> buf(vxprofile::kBufSize, 'Z');
    int len = 0;
    EXPECT_EQ(load_ini_file(path_.c_str(), buf.data(), &len), 1);
    EXPECT_EQ(len, vxprofile::kMaxFileLen);
    EXPECT_EQ(buf[static_cast<size_t>(len)], '\0');
    Put("S", "k", "fin");
}

TEST_F(ProfileTest, OversizeFileIsToldApartAndLeftAlone) {
    std::string text = "[S]\nk=1\n";
    text.resize(vxprofile::kBufSize, ' ');
    Write(text);
    std::vector<char> buf(vxprofile::kBufSize);
    int len = 7;
    EXPECT_EQ(load_ini_file(path_.c_str(), buf.data(), &len), vxprofile::kFileUnusable);
    EXPECT_EQ(len, 0);
    char value[8] = {};
    EXPECT_EQ(read_profile_string("S", "k", value, 8, "dflt", path_.c_str()), 0);
    EXPECT_STREQ(value, "dflt");
    EXPECT_EQ(read_profile_int("S", "k", 4, path_.c_str()), 4);
    PutRefused("S", "k", "2");
}

TEST_F(ProfileTest, LoadHonoursASmallBuffer) {
    Write("12345");
    char buf[6];
    int len = 0;
    EXPECT_EQ(load_ini_file(path_.c_str(), buf, &len, 6), 1);
    EXPECT_STREQ(buf, "12345");
    EXPECT_EQ(load_ini_file(path_.c_str(), buf, &len, 5), vxprofile::kFileUnusable);
}

TEST_F(ProfileTest, LoadOfAMissingFileGivesEmptyText) {
    char buf[8] = "[S]\nk=1";
    int len = 3;
    EXPECT_EQ(load_ini_file(path_.c_str(), buf, &len), 0);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(buf[0], '\0');
}

TEST_F(ProfileTest, WriteIntoAMissingFileCreatesIt) {
    Put("APP", "TestMode", "1");
    EXPECT_EQ(Read(), "[APP]\nTestMode=1\n");
}

TEST_F(ProfileTest, WriteIntoAnEmptyFileHasNoLeadingLineFeed) {
    Write("");
    Put("APP", "k", "v");
    EXPECT_EQ(Read(), "[APP]\nk=v\n");
}

TEST_F(ProfileTest, NewSectionIsAppended) {
    Write("[A]\nx=1");
    Put("B", "k", "v");
    EXPECT_EQ(Read(), "[A]\nx=1\n[B]\nk=v\n");
    EXPECT_EQ(Get("A", "x"), "1");
}

TEST_F(ProfileTest, NewKeyBecomesTheSectionsFirstLine) {
    const std::string before = "; head\r\n[A]\r\n\r\n  x = 1 \r\n[B]\r\ny=2\r\n";
    Write(before);
    Put("A", "k", "v");
    // The key goes behind the blanks that follow the header, so they now indent it.
    EXPECT_EQ(Read(), "; head\r\n[A]\r\n\r\n  k=v\nx = 1 \r\n[B]\r\ny=2\r\n");
    EXPECT_EQ(Get("B", "y"), "2");
}

TEST_F(ProfileTest, NewKeyGoesIntoTheLastMatchingHeader) {
    Write("[A]\nx=1\n[A]\ny=2\n");
    Put("A", "k", "v");
    EXPECT_EQ(Read(), "[A]\nx=1\n[A]\nk=v\ny=2\n");
}

TEST_F(ProfileTest, HeaderOnTheLastLineGetsTheKeyBehindItsBracket) {
    Write("[A]\nx=1\n[B]");
    Put("B", "k", "v");
    EXPECT_EQ(Read(), "[A]\nx=1\n[B]k=v\n");
}

TEST_F(ProfileTest, ExistingValueIsReplacedByteForByte) {
    Write("#top\n[S]\r\n a=0\r\nk= old ; c\r\nz=9");
    Put("S", "k", "new");
    EXPECT_EQ(Read(), "#top\n[S]\r\n a=0\r\nk=new\r\nz=9");
    Put("S", "z", "");
    EXPECT_EQ(Read(), "#top\n[S]\r\n a=0\r\nk=new\r\nz=");
}

TEST_F(ProfileTest, PrefixKeyLineIsTheOneWritten) {
    Write("[S]\nk=1\n");
    Put("S", "key", "2");
    EXPECT_EQ(Read(), "[S]\nk=2\n");
}

TEST_F(ProfileTest, TextEndingInsideAHeaderIsNotWritten) {
    Write("[A]\nx=1\n[S");
    PutRefused("S", "k", "v");
    PutRefused("Q", "k", "v");
    Put("A", "x", "2");
}

TEST_F(ProfileTest, UnreadableEntriesAreNotWritten) {
    Write("[S]\nk=1\n");
    PutRefused("S", "k", "a\nb");
    PutRefused("S", "k", "a\rb");
    PutRefused("S", "a=b", "v");
    PutRefused("S", ";k", "v");
    PutRefused("S", "[k", "v");
    PutRefused("S", "k\n", "v");
    PutRefused("S\n[T]", "k", "v");
    PutRefused("a]k=x", "k", "v");
    PutRefused("S", " j", "v");
    PutRefused("S", "\tj", "v");
    PutRefused("T", " j", "v");
}

// A new key line goes behind its header's bracket; there it would make the rest of the line a
// header of its own, or hide a later key that a longer requested name reaches.
TEST_F(ProfileTest, NewKeysThatWouldMoveOrHideAnotherEntryAreNotWritten) {
    Write("[A] [B]\nk=1\n");
    PutRefused("A", "x", "9");
    EXPECT_EQ(Get("A", "k"), "1");
    Write("[S]\nkey=1\n");
    PutRefused("S", "k", "9");
    Write("[A]\nx=1\n[AB]\nkey=1\n");
    PutRefused("A", "k", "9");
    EXPECT_EQ(Get("AB", "key"), "1");
    Put("A", "j", "9");  // nothing reaches a key line that "j" would hide
    EXPECT_EQ(Read(), "[A]\nj=9\nx=1\n[AB]\nkey=1\n");
    Write("[A] k=1\n");
    Put("A", "x", "9");
    EXPECT_EQ(Read(), "[A] x=9\nk=1\n");
    EXPECT_EQ(Get("A", "k"), "1");
}

TEST_F(ProfileTest, KeyWithALeadingBlankIsReplacedWhereItExists) {
    Write("[S]\nk=1\n j=2\n");
    Put("S", " j", "3");
    EXPECT_EQ(Read(), "[S]\nk=1\n j=3\n");
}

TEST_F(ProfileTest, InvalidWriteArgumentsFailWithoutAbort) {
    Write("[S]\nk=1\n");
    PutRefused(nullptr, "k", "v");
    PutRefused("", "k", "v");
    PutRefused("S", nullptr, "v");
    PutRefused("S", "", "v");
    PutRefused("S", "k", nullptr);
    EXPECT_EQ(write_profile_string("S", "k", "v", nullptr), 0);
}

TEST_F(ProfileTest, FileWithAZeroByteIsNotRewritten) {
    Write(std::string("[S]\nk=1\n\0[T]\nj=2\n", 17));
    EXPECT_EQ(Get("S", "k"), "1");
    EXPECT_EQ(Get("T", "j"), "<missing>");
    PutRefused("S", "k", "2");
}

TEST_F(ProfileTest, ContentThatWouldNotFitIsNotWritten) {
    std::string text = "[S]\nk=1\n";
    text.resize(vxprofile::kMaxFileLen - 2, 'x');
    Write(text);
    PutRefused("S", "k", "1234");
    PutRefused("S", "new", "1");
    Put("S", "k", "123");
    EXPECT_EQ(Read().size(), static_cast<size_t>(vxprofile::kMaxFileLen));
}

TEST_F(ProfileTest, UnwritableFileFailsAndCountsAsEmptyWhenUnreadable) {
    const std::string sub = dir_ + "/ro";
    ASSERT_EQ(mkdir(sub.c_str(), 0700), 0);
    EXPECT_EQ(write_profile_string("S", "k", "v", sub.c_str()), 0);
    EXPECT_EQ(write_profile_string("S", "k", "v", (sub + "/none/x.ini").c_str()), 0);
    char value[4] = {};
    EXPECT_EQ(read_profile_string("S", "k", value, 4, "d", sub.c_str()), 0);
    EXPECT_STREQ(value, "d");
}

}  // namespace
