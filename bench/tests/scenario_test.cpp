#include "scenario.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace bench {
namespace {

namespace fs = std::filesystem;

class ScenarioFolder : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() /
                 ("bench-scenario-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }

    void Write(const std::string& relative, const std::string& content) {
        fs::create_directories((m_root / relative).parent_path());
        std::ofstream(m_root / relative, std::ios::binary) << content;
    }

    bool Load(const std::string& name, Scenario& scenario, std::string& error) {
        return LoadScenario(name, m_root.string(), scenario, error);
    }

    fs::path m_root;
};

TEST(ShippedScenarios, EveryFolderLoads) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(DEVUZE_BENCH_SCENARIOS)) {
        Scenario scenario;
        std::string error;
        EXPECT_TRUE(
            LoadScenario(entry.path().filename().string(), DEVUZE_BENCH_SCENARIOS, scenario, error))
            << entry.path() << ": " << error;
        ++count;
    }
    EXPECT_GE(count, 30);
}

TEST(ShippedScenarios, StandardBoardIsExactlyAsAgreed) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(LoadScenario("standard", DEVUZE_BENCH_SCENARIOS, s, error)) << error;
    EXPECT_EQ(s.board.hostname, "bench1");
    EXPECT_EQ(s.board.userland, Userland::kHost);
    EXPECT_EQ(s.board.workdir, "/home/root");
    EXPECT_TRUE(s.board.duRurId);
    EXPECT_EQ(s.serial.rs232Count, 5);
    EXPECT_EQ(s.serial.rs485Count, 0);
    EXPECT_TRUE(s.serial.missing.empty());
    EXPECT_EQ(s.serial.atPort, 5);
    EXPECT_EQ(s.serial.atReply, "OK\r\n");
    EXPECT_EQ(s.vxdioConf.value_or(""), "vx_di=1,2,3,4,5,6\nvx_do=1,2,3,4\n");
    EXPECT_EQ(s.devuzeIni.value_or(""), "[APP]\nTestMode=0\n");
    EXPECT_EQ(s.fuseId.value_or(""), "0x1A2B3C4D\n");
    EXPECT_EQ(s.dio.diCount, 6);
    EXPECT_EQ(s.dio.doCount, 4);
    ASSERT_EQ(s.adcRaw.size(), 5u);
    for (int channel = 0; channel <= 4; ++channel) EXPECT_EQ(s.adcRaw[channel], "2048\n");
    ASSERT_EQ(s.storage.sticks.size(), 2u);
    EXPECT_EQ(s.storage.sticks[0].name, "sda1");
    EXPECT_EQ(s.storage.sticks[1].name, "sdb1");
    EXPECT_FALSE(s.storage.tfCard);
    EXPECT_TRUE(s.defaultArgs.empty());
}

TEST(ShippedScenarios, HostileHostNamesComeVerbatimFromTheirFiles) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(LoadScenario("hostname-quote", DEVUZE_BENCH_SCENARIOS, s, error)) << error;
    EXPECT_EQ(s.board.hostname, "bench\";touch pwned;\"");
    ASSERT_TRUE(LoadScenario("hostname-subst", DEVUZE_BENCH_SCENARIOS, s, error)) << error;
    EXPECT_EQ(s.board.hostname, "bench$(touch pwned)");
}

TEST(ShippedScenarios, FaultScenariosChangeOnlyTheirPart) {
    Scenario s;
    std::string error;
    ASSERT_TRUE(LoadScenario("missing-vxdio-conf", DEVUZE_BENCH_SCENARIOS, s, error)) << error;
    EXPECT_FALSE(s.vxdioConf.has_value());
    EXPECT_TRUE(s.fuseId.has_value());
    ASSERT_TRUE(LoadScenario("adc-seven-inputs", DEVUZE_BENCH_SCENARIOS, s, error)) << error;
    EXPECT_EQ(s.adcRaw.size(), 8u);
    EXPECT_EQ(s.adcRaw.count(6), 0u);
    EXPECT_EQ(s.defaultArgs, std::vector<std::string>{"FPC=1"});
    ASSERT_TRUE(LoadScenario("dio-120", DEVUZE_BENCH_SCENARIOS, s, error)) << error;
    EXPECT_EQ(s.dio.diCount, 120);
    EXPECT_EQ(s.dio.doCount, 120);
    ASSERT_TRUE(LoadScenario("testmode-1", DEVUZE_BENCH_SCENARIOS, s, error)) << error;
    EXPECT_EQ(s.devuzeIni.value_or(""), "[APP]\nTestMode=1\n");
    EXPECT_EQ(s.serial.rs485Count, 3);
    EXPECT_TRUE(s.defaultArgs.empty());
}

TEST_F(ScenarioFolder, BaseGivesWhatTheScenarioDoesNotSay) {
    Write("base/scenario.ini",
          "[board]\nhostname=basehost\n[serial]\nrs232=8\n[at]\nreply=error\n");
    Write("base/vxdio.conf", "vx_di=1,2\nvx_do=1\n");
    Write("base/fuse_id", "0xBASE\n");
    Write("child/scenario.ini",
          "[scenario]\nbase=base\n[serial]\nrs232=2\n[files]\nfuse_id=none\n");
    Scenario s;
    std::string error;
    ASSERT_TRUE(Load("child", s, error)) << error;
    EXPECT_EQ(s.serial.rs232Count, 2);
    EXPECT_EQ(s.serial.atReply, "ERROR\r\n");
    EXPECT_EQ(s.board.hostname, "basehost");
    EXPECT_EQ(s.vxdioConf.value_or(""), "vx_di=1,2\nvx_do=1\n");
    EXPECT_EQ(s.dio.diCount, 2);
    EXPECT_EQ(s.dio.doCount, 1);
    EXPECT_FALSE(s.fuseId.has_value());
    EXPECT_FALSE(s.devuzeIni.has_value());  // neither folder has one
}

TEST_F(ScenarioFolder, HostnameFileWinsOverTheIniKeyOfItsLevel) {
    Write("a/scenario.ini", "[board]\nhostname=plain\n");
    Write("a/hostname", "odd;#\"name\r\n");
    Write("b/scenario.ini", "[scenario]\nbase=a\n[board]\nhostname=child\n");
    Scenario s;
    std::string error;
    ASSERT_TRUE(Load("a", s, error)) << error;
    EXPECT_EQ(s.board.hostname, "odd;#\"name");
    ASSERT_TRUE(Load("b", s, error)) << error;
    EXPECT_EQ(s.board.hostname, "child");
}

TEST_F(ScenarioFolder, CommentsBlanksAndRepeatsReadAsAlways) {
    Write("c/scenario.ini",
          "; a comment\r\n# another\n\n[ serial ]\n  rs232 = 7 ; seven\nrs485=1 # one\n"
          "rs485=2\n[at]\nreply=custom\ntext=A;B#C\n");
    Scenario s;
    std::string error;
    ASSERT_TRUE(Load("c", s, error)) << error;
    EXPECT_EQ(s.serial.rs232Count, 7);
    EXPECT_EQ(s.serial.rs485Count, 2);
    EXPECT_EQ(s.serial.atReply, "A;B#C");
}

TEST_F(ScenarioFolder, BrokenLinesAreNamed) {
    Write("h/scenario.ini", "[serial\nrs232=1\n");
    Write("l/scenario.ini", "[scenario]\ndescription=" + std::string(5000, 'x') + "\n");
    Write("n/scenario.ini", std::string("[serial]\nrs232=1\0\n", 18));
    Scenario s;
    std::string error;
    EXPECT_FALSE(Load("h", s, error));
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
    EXPECT_FALSE(Load("l", s, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    EXPECT_FALSE(Load("n", s, error));
    EXPECT_NE(error.find("line 2"), std::string::npos) << error;
}

TEST_F(ScenarioFolder, StandardContentOnRequest) {
    Write("s/scenario.ini",
          "[files]\nvxdio_conf=standard\ndevuzeV7_ini=standard\nfuse_id=standard\n");
    Scenario s;
    std::string error;
    ASSERT_TRUE(Load("s", s, error)) << error;
    EXPECT_EQ(s.vxdioConf.value_or(""), kStandardVxdioConf);
    EXPECT_EQ(s.devuzeIni.value_or(""), kStandardDevuzeIni);
    EXPECT_EQ(s.fuseId.value_or(""), kStandardFuseId);
}

TEST_F(ScenarioFolder, FaultsAndWiringAreParsed) {
    Write("f/scenario.ini",
          "[serial]\nmissing=1,3-4\ncut=1,2\nself_hear=6\ncorrupt=3:5\npairs=1-2,7-8\n"
          "[at]\nport=1\nreply=custom\ntext=\\x00OK\\r\\n\n"
          "[dio]\nstuck=DI5:0,DI6:1\nrefuse=DO2,SDO1\nreadback=SDO3:1\n"
          "[adc]\nchannels=0-2,8\nvalue=100\nch2=abc\n"
          "[storage]\nsticks=sda1,sda2\nfull=sda2\nreadonly=sda1\ntf=1\nnand_readonly=1\n"
          "[run]\nargs=Cnt=3  FPC=1\n");
    Scenario s;
    std::string error;
    ASSERT_TRUE(Load("f", s, error)) << error;
    EXPECT_EQ(s.serial.missing, (std::set<int>{1, 3, 4}));
    EXPECT_EQ(s.serial.cut, (std::set<int>{1, 2}));
    EXPECT_EQ(s.serial.selfHearing, (std::set<int>{6}));
    EXPECT_EQ(s.serial.corruptByte.at(3), 5);
    EXPECT_EQ(s.serial.pairs, (std::vector<std::pair<int, int>>{{1, 2}, {7, 8}}));
    EXPECT_EQ(s.serial.atPort, 1);
    EXPECT_EQ(s.serial.atReply, std::string("\0OK\r\n", 5));
    EXPECT_EQ(s.dio.stuckInputs, (std::map<uint8_t, int>{{5, 0}, {6, 1}}));
    EXPECT_EQ(s.dio.refusedOutputs, (std::set<uint8_t>{0x02, 0x81}));
    EXPECT_EQ(s.dio.fixedReadBack, (std::map<uint8_t, int>{{0x83, 1}}));
    EXPECT_EQ(s.adcRaw,
              (std::map<int, std::string>{{0, "100\n"}, {1, "100\n"}, {2, "abc\n"}, {8, "100\n"}}));
    ASSERT_EQ(s.storage.sticks.size(), 2u);
    EXPECT_TRUE(s.storage.sticks[0].readOnly);
    EXPECT_FALSE(s.storage.sticks[0].full);
    EXPECT_TRUE(s.storage.sticks[1].full);
    EXPECT_TRUE(s.storage.tfCard);
    EXPECT_TRUE(s.storage.nandReadOnly);
    EXPECT_EQ(s.defaultArgs, (std::vector<std::string>{"Cnt=3", "FPC=1"}));
}

TEST_F(ScenarioFolder, BadValuesAreReportedWithTheirKey) {
    const std::pair<const char*, const char*> cases[] = {
        {"[serial]\nrs232=five\n", "[serial] rs232"},
        {"[serial]\npairs=1+2\n", "[serial] pairs"},
        {"[dio]\nstuck=DO1:0\n", "[dio] stuck"},
        {"[dio]\nrefuse=X3\n", "[dio] refuse"},
        {"[at]\nreply=maybe\n", "[at] reply"},
        {"[board]\nuserland=alpine\n", "[board] userland"},
        {"[board]\nworkdir=relative\n", "[board] workdir"},
        {"[storage]\nsticks=../x\n", "[storage] sticks"},
        {"[adc]\nchannels=5-1\n", "[adc] channels"},
    };
    for (const auto& [ini, key] : cases) {
        Write("bad/scenario.ini", ini);
        Scenario s;
        std::string error;
        EXPECT_FALSE(Load("bad", s, error)) << ini;
        EXPECT_NE(error.find(key), std::string::npos) << error;
    }
}

TEST_F(ScenarioFolder, MissingFolderAndBaseLoopsFail) {
    Scenario s;
    std::string error;
    EXPECT_FALSE(Load("nothing-here", s, error));
    EXPECT_NE(error.find("scenario.ini"), std::string::npos);
    Write("x/scenario.ini", "[scenario]\nbase=y\n");
    Write("y/scenario.ini", "[scenario]\nbase=x\n");
    EXPECT_FALSE(Load("x", s, error));
    EXPECT_NE(error.find("deeper"), std::string::npos);
}

TEST(ScenarioHelpers, DefaultPairsFollowTheToolsSteps) {
    EXPECT_EQ(DefaultSerialPairs(5), (std::vector<std::pair<int, int>>{{1, 2}, {3, 4}}));
    EXPECT_EQ(DefaultSerialPairs(8), (std::vector<std::pair<int, int>>{{1, 2}, {3, 4}, {6, 7}}));
    EXPECT_EQ(DefaultSerialPairs(12),
              (std::vector<std::pair<int, int>>{{1, 2}, {3, 4}, {6, 7}, {9, 10}, {11, 12}}));
    EXPECT_TRUE(DefaultSerialPairs(1).empty());
}

TEST(ScenarioHelpers, DioPortNames) {
    uint8_t index = 0;
    EXPECT_TRUE(ParseDioPortName("DO3", true, index));
    EXPECT_EQ(index, 0x03);
    EXPECT_TRUE(ParseDioPortName("SDO1", true, index));
    EXPECT_EQ(index, 0x81);
    EXPECT_TRUE(ParseDioPortName("SDI2", false, index));
    EXPECT_EQ(index, 0x82);
    EXPECT_FALSE(ParseDioPortName("DI3", true, index));
    EXPECT_FALSE(ParseDioPortName("DO0", true, index));
    EXPECT_FALSE(ParseDioPortName("DO128", true, index));
    EXPECT_FALSE(ParseDioPortName("DO", true, index));
}

TEST(ScenarioHelpers, DioConfCounts) {
    int di = 0, doCount = 0;
    CountDioConf("# comment\nvx_di=1,2,3\nvx_do=1,2\n", di, doCount);
    EXPECT_EQ(di, 3);
    EXPECT_EQ(doCount, 2);
}

}  // namespace
}  // namespace bench
