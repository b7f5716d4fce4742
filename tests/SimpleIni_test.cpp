#include "SimpleIni.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class SimpleIniTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/devuze-ini-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Write(const std::string& text, const std::string& name = "t.ini") {
        const std::string path = dir_ + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Loads `text` and saves it again, returning what was written.
    std::string RoundTrip(const std::string& text) {
        SimpleIni ini(Write(text));
        const std::string out = dir_ + "/out.ini";
        EXPECT_TRUE(ini.SaveAs(out));
        return Read(out);
    }
    std::string dir_;
};

TEST_F(SimpleIniTest, ReadsTheTestModeOfTheApplicationSection) {
    SimpleIni ini("");
    EXPECT_TRUE(ini.Load(Write("[APP]\nTestMode=1\n")));
    EXPECT_EQ(ini.GetValue<int>("APP", "TestMode", 0), 1);
    EXPECT_EQ(ini.GetValue("APP", "TestMode", "x"), "1");
}

TEST_F(SimpleIniTest, TrimsKeyAndValueAndKeepsTheCommentUntrimmed) {
    SimpleIni ini(Write("[APP]\n  Speed \t=  fast lane \t; the comment \n"));
    EXPECT_EQ(ini.GetValue("APP", "Speed", ""), "fast lane");
    EXPECT_EQ(ini.GetComment("APP", "Speed"), " the comment ");
}

TEST_F(SimpleIniTest, CrLfLinesLoadLikeLfLines) {
    SimpleIni lf(Write("[APP]\nA=1\nB=two\n", "lf.ini"));
    SimpleIni crlf(Write("[APP]\r\nA=1\r\nB=two\r\n", "crlf.ini"));
    EXPECT_EQ(crlf.GetValue("APP", "B", ""), "two");
    EXPECT_EQ(crlf.GetValue<int>("APP", "A", 9), 1);
    std::vector<std::string> lfKeys, crlfKeys;
    for (auto it = lf.beginKey("APP"); it != lf.endKey("APP"); ++it) lfKeys.push_back((*it).first);
    for (auto it = crlf.beginKey("APP"); it != crlf.endKey("APP"); ++it)
        crlfKeys.push_back((*it).first);
    EXPECT_EQ(lfKeys, crlfKeys);
}

TEST_F(SimpleIniTest, ParasitCarRemovesOneTrailingControlCharacter) {
    std::string text = "a=1\t\r";
    SimpleIni::ParasitCar(text);
    EXPECT_EQ(text, "a=1\t");
    SimpleIni::ParasitCar(text);
    EXPECT_EQ(text, "a=1");
    SimpleIni::ParasitCar(text);
    EXPECT_EQ(text, "a=1");
    std::string empty;
    SimpleIni::ParasitCar(empty);
    EXPECT_EQ(empty, "");
}

TEST_F(SimpleIniTest, TrimRemovesOnlyBlanksAndTabs) {
    EXPECT_EQ(SimpleIni::Trim(" \t a b \t "), "a b");
    EXPECT_EQ(SimpleIni::Trim(" \t "), "");
    EXPECT_EQ(SimpleIni::Trim("\na\n"), "\na\n");
}

TEST_F(SimpleIniTest, HeaderVariants) {
    SimpleIni ini(Write("[ My Sec ]junk\nA=1\n[Open \nB=2\n [APP]\nC=3\n"));
    EXPECT_EQ(ini.GetValue("My Sec", "A", ""), "1");
    EXPECT_EQ(ini.GetValue("Open", "B", ""), "2");
    // A header with a leading blank is a key with an empty value.
    EXPECT_EQ(ini.GetValue("Open", "[APP]", "missing"), "");
    EXPECT_EQ(ini.GetValue("Open", "C", ""), "3");
    EXPECT_EQ(ini.GetValue("APP", "C", "none"), "none");
}

TEST_F(SimpleIniTest, KeysBeforeTheFirstHeaderBelongToTheUnnamedSection) {
    SimpleIni ini(Write("top=1\n[S]\nk=2\n"));
    EXPECT_EQ(ini.GetValue("", "top", ""), "1");
    EXPECT_EQ(ini.GetValue("S", "top", "no"), "no");
}

TEST_F(SimpleIniTest, LaterDuplicateKeyWinsAndRepeatedHeadersMerge) {
    SimpleIni ini(Write("[S]\nk=1 ;first\n[T]\nx=0\n[S]\nk=2 ;second\nj=3\n"));
    EXPECT_EQ(ini.GetValue("S", "k", ""), "2");
    EXPECT_EQ(ini.GetComment("S", "k"), "second");
    EXPECT_EQ(ini.GetValue("S", "j", ""), "3");
    int sections = 0;
    for (auto it = ini.beginSection(); it != ini.endSection(); ++it) ++sections;
    EXPECT_EQ(sections, 2);
}

TEST_F(SimpleIniTest, ValueMayHoldEqualsButNotCommentMarkers) {
    SimpleIni ini(Write("[S]\nexpr=a=b\nurl=http://x#frag\nnoval\n=lead\n"));
    EXPECT_EQ(ini.GetValue("S", "expr", ""), "a=b");
    EXPECT_EQ(ini.GetValue("S", "url", ""), "http://x");
    EXPECT_EQ(ini.GetComment("S", "url"), "frag");
    EXPECT_EQ(ini.GetValue("S", "noval", "d"), "");
    EXPECT_EQ(ini.GetValue("S", "", "d"), "lead");
}

TEST_F(SimpleIniTest, IntegerLookUp) {
    SimpleIni ini(
        Write("[N]\ntext=abc\nempty=\nhex=0x10\nmixed=12abc\nneg= -7\nfrac=3.9\n"
              "big=99999999999\nsmall=-99999999999\nplus=+5\n"));
    EXPECT_EQ(ini.GetValue<int>("N", "text", 99), 0);
    EXPECT_EQ(ini.GetValue<int>("N", "empty", 99), 0);
    EXPECT_EQ(ini.GetValue<int>("N", "hex", 99), 0);
    EXPECT_EQ(ini.GetValue<int>("N", "mixed", 99), 12);
    EXPECT_EQ(ini.GetValue<int>("N", "neg", 99), -7);
    EXPECT_EQ(ini.GetValue<int>("N", "frac", 99), 3);
    EXPECT_EQ(ini.GetValue<int>("N", "big", 99), INT_MAX);
    EXPECT_EQ(ini.GetValue<int>("N", "small", 99), INT_MIN);
    EXPECT_EQ(ini.GetValue<int>("N", "plus", 99), 5);
    EXPECT_EQ(ini.GetValue<int>("N", "missing", 99), 99);
    EXPECT_EQ(ini.GetValue<int>("Nope", "text", -3), -3);
    ini.SetValue("N", "blank", " \t ");
    EXPECT_EQ(ini.GetValue<int>("N", "blank", 99), 0);
    ini.SetValue("N", "marker", ";");
    EXPECT_EQ(ini.GetValue<int>("N", "marker", 5), 5);
}

TEST_F(SimpleIniTest, ConstructorThrowsForAnUnreadablePath) {
    const std::string path = dir_ + "/absent.ini";
    try {
        SimpleIni ini(path);
        FAIL() << "no exception";
    } catch (const std::string& text) {
        EXPECT_EQ(text, "Unable to open the file " + path + " in read mode.");
    }
}

TEST_F(SimpleIniTest, FailedLoadEmptiesTheDocumentButRemembersThePath) {
    SimpleIni ini(Write("[S]\nk=1\n"));
    const std::string missing = dir_ + "/new.ini";
    EXPECT_FALSE(ini.Load(missing));
    EXPECT_EQ(ini.GetValue("S", "k", "d"), "d");
    EXPECT_EQ(ini.beginSection(), ini.endSection());
    ini.SetValue("S", "k", "2");
    EXPECT_TRUE(ini.Save());
    EXPECT_EQ(Read(missing), "[S]\nk=2\n");
}

TEST_F(SimpleIniTest, SettersCreateAndKeepTheOtherField) {
    SimpleIni ini("");
    ini.SetComment("S", "k", "why");
    EXPECT_EQ(ini.GetValue("S", "k", "d"), "");
    ini.SetValue("S", "k", "v");
    EXPECT_EQ(ini.GetComment("S", "k"), "why");
    EXPECT_EQ(ini.GetValue("S", "k", "d"), "v");
    EXPECT_EQ(ini.GetComment("S", "nope"), "");
}

TEST_F(SimpleIniTest, DeleteKeyOnAMissingSectionLeavesAnEmptySection) {
    SimpleIni ini("");
    ini.SetValue("A", "k", "1");
    ini.SetValue("A", "j", "2");
    ini.DeleteKey("A", "k");
    ini.DeleteKey("A", "absent");
    ini.DeleteKey("Ghost", "k");
    EXPECT_EQ(ini.GetValue("A", "k", "gone"), "gone");
    const std::string out = dir_ + "/out.ini";
    ASSERT_TRUE(ini.SaveAs(out));
    EXPECT_EQ(Read(out), "[A]\nj=2\n\n[Ghost]\n");
}

TEST_F(SimpleIniTest, IteratesInByteOrder) {
    SimpleIni ini(Write("[b]\nz=1\nA=2\na=3\n[B]\n[a]\n"));
    std::vector<std::string> sections;
    for (auto it = ini.beginSection(); it != ini.endSection(); ++it) sections.push_back(it->first);
    EXPECT_EQ(sections, (std::vector<std::string>{"B", "a", "b"}));
    std::vector<std::string> keys;
    for (auto it = ini.beginKey("b"); it != ini.endKey("b"); ++it) keys.push_back(it->first);
    EXPECT_EQ(keys, (std::vector<std::string>{"A", "a", "z"}));
    EXPECT_EQ(ini.beginKey("B"), ini.endKey("B"));
    EXPECT_EQ(ini.beginKey("missing"), ini.endKey("missing"));
    EXPECT_EQ(ini.beginSection(), ini.beginSection());
}

TEST_F(SimpleIniTest, EmptyDocumentSavesAsAnEmptyFile) {
    SimpleIni ini("");
    const std::string out = Write("old content");
    ASSERT_TRUE(ini.SaveAs(out));
    EXPECT_EQ(Read(out), "");
    EXPECT_FALSE(ini.SaveAs(dir_ + "/no/such/dir.ini"));
}

TEST_F(SimpleIniTest, SavesInItsOwnSortedLayout) {
    const std::string text =
        "; about b\n# second line\n[b]\nz = 9 ; zc\n;about a\na=1\n"
        "   ;indented\n[a]\nk=v\n";
    EXPECT_EQ(RoundTrip(text),
              "[a]\nk=v\n"
              "\n"
              "# about b\n# second line\n[b]\n#indented\n#about a\na=1\nz=9\t; zc\n");
}

TEST_F(SimpleIniTest, DescriptionsKeepMarkersContentAndEmptyInnerLines) {
    // An empty comment line adds nothing at the start of a description but keeps its place
    // inside one; a comment at the end of the file is lost.
    EXPECT_EQ(RoundTrip("#\n#a;b\n;\n#c\n[S]\nk=1\n# trailing\n"), "#a;b\n#\n#c\n[S]\nk=1\n");
}

TEST_F(SimpleIniTest, DescriptionsAboveAKeyLineWithTrailingComment) {
    EXPECT_EQ(RoundTrip("[S]\n#d1\n#d2\nk=v #c\n"), "[S]\n#d1\n#d2\nk=v\t;c\n");
}

TEST_F(SimpleIniTest, UnnamedKeyWritesOnlyItsComment) {
    SimpleIni ini("");
    ini.SetValue("S", "", "hidden");
    ini.SetComment("S", "", "note");
    ini.SetValue("S", "k", "v");
    const std::string out = dir_ + "/out.ini";
    ASSERT_TRUE(ini.SaveAs(out));
    EXPECT_EQ(Read(out), "[S]\n#note\nk=v\n");
    SimpleIni again(out);
    // Written back as a description of k, so the unnamed key is gone.
    EXPECT_EQ(again.GetValue("S", "", "gone"), "gone");
}

TEST_F(SimpleIniTest, ReloadKeepsEarlierDescriptionsWhereTheNewFileHasNone) {
    SimpleIni ini(Write("#old\n[S]\nk=1\n", "first.ini"));
    ini.Load(Write("[S]\nk=2\n[T]\n#new\nj=3\n", "second.ini"));
    const std::string out = dir_ + "/out2.ini";
    ASSERT_TRUE(ini.SaveAs(out));
    EXPECT_EQ(Read(out), "#old\n[S]\nk=2\n\n[T]\n#new\nj=3\n");
}

TEST_F(SimpleIniTest, SavedFileLoadsBackToTheSameDocument) {
    const std::string text = "[x]\na = 1 ;c1\nb=\n[y]\n#d\nq=w=e\n";
    SimpleIni first(Write(text));
    const std::string out = dir_ + "/out.ini";
    ASSERT_TRUE(first.SaveAs(out));
    SimpleIni second(out);
    for (const char* key : {"a", "b"}) {
        EXPECT_EQ(first.GetValue("x", key, "?"), second.GetValue("x", key, "!"));
        EXPECT_EQ(first.GetComment("x", key), second.GetComment("x", key));
    }
    EXPECT_EQ(second.GetValue("y", "q", ""), "w=e");
}

}  // namespace
