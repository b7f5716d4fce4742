#include "ini_corpus.h"

#include <gtest/gtest.h>

#include "SimpleIni.h"
#include "ini_peers.h"
#include "temp_dir.h"
#include "vxProfile.h"

namespace devbench {
namespace {

TEST(IniCorpus, HasTheExactSizeAndNoLineOverTheLimit) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{2}, size_t{5000}, size_t{5001},
                        static_cast<size_t>(vxprofile::kMaxFileLen)}) {
        int sections = -1;
        std::string text = MakeIniText(size, sections);
        EXPECT_EQ(text.size(), size);
        EXPECT_GE(sections, 0);
        size_t start = 0;
        for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
            EXPECT_LE(end + 1 - start, kLongestLine) << "line at " << start;
            start = end + 1;
        }
        EXPECT_EQ(start, text.size()) << "the text ends with a line feed";
    }
}

TEST(IniCorpus, ProbesSpanTheFirstAndLastKeys) {
    std::vector<IniProbe> probes = SpreadProbes(10, 5);
    ASSERT_EQ(probes.size(), 5u);
    EXPECT_EQ(probes.front().section, SectionName(0));
    EXPECT_EQ(probes.front().key, KeyName(0));
    EXPECT_EQ(probes.back().section, SectionName(9));
    EXPECT_EQ(probes.back().key, KeyName(kKeysPerSection - 1));
    EXPECT_TRUE(SpreadProbes(0, 5).empty());
}

// Every reader must see the same document, or the comparison would be of different work.
class CorpusReaders : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.Path().empty());
        path = dir.File("profile.ini");
        ASSERT_TRUE(WriteWholeFile(path, MakeIniText(vxprofile::kMaxFileLen, sections)));
        probes = SpreadProbes(sections, 16);
    }
    TempDir dir{"corpus-test"};
    std::string path;
    int sections = 0;
    std::vector<IniProbe> probes;
};

TEST_F(CorpusReaders, AllReadersAgreeOnEveryProbe) {
    SimpleIni ini("");
    ASSERT_TRUE(ini.Load(path));
    auto tree = LoadWithPropertyTree(path);
    InihDocument document = LoadWithInih(path);
    ASSERT_EQ(document.parseResult, 0);
    char value[256];
    for (const IniProbe& p : probes) {
        EXPECT_EQ(ini.GetValue(p.section, p.key, "missing"), p.value);
        EXPECT_EQ(LookUp(tree, p.section, p.key).value_or("missing"), p.value);
        EXPECT_EQ(LookUp(document, p.section, p.key).value_or("missing"), p.value);
        ASSERT_EQ(read_profile_string(p.section.c_str(), p.key.c_str(), value, sizeof value, "",
                                      path.c_str()),
                  1);
        EXPECT_EQ(std::string(value), p.value);
    }
}

TEST_F(CorpusReaders, AllReadersHoldEveryKey) {
    SimpleIni ini("");
    ASSERT_TRUE(ini.Load(path));
    auto tree = LoadWithPropertyTree(path);
    InihDocument document = LoadWithInih(path);
    size_t keys = 0;
    for (auto s = ini.beginSection(); s != ini.endSection(); ++s) keys += s->second.size();
    size_t treeKeys = 0;
    for (const auto& section : tree) treeKeys += section.second.size();
    size_t inihKeys = 0;
    for (const auto& section : document.sections) inihKeys += section.second.size();
    const size_t expected = static_cast<size_t>(sections) * kKeysPerSection;
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(treeKeys, expected);
    EXPECT_EQ(inihKeys, expected);
}

TEST_F(CorpusReaders, MissingKeysAreMissingEverywhere) {
    auto tree = LoadWithPropertyTree(path);
    InihDocument document = LoadWithInih(path);
    EXPECT_FALSE(LookUp(tree, SectionName(0), "no_such_key"));
    EXPECT_FALSE(LookUp(tree, "no_such_section", KeyName(0)));
    EXPECT_FALSE(LookUp(document, SectionName(0), "no_such_key"));
    EXPECT_FALSE(LookUp(document, "no_such_section", KeyName(0)));
}

TEST(IniPeers, InihReportsAFileItCannotOpen) {
    EXPECT_EQ(LoadWithInih("/nonexistent/profile.ini").parseResult, -1);
}

}  // namespace
}  // namespace devbench
