#include "archive.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "FakeSys.h"
#include "TempLog.h"
#include "portInfo.h"

namespace {
struct UsbList {
    explicit UsbList(std::vector<std::string> points) { g_USBDEV = std::move(points); }
    ~UsbList() { g_USBDEV.clear(); }
};
}  // namespace

TEST(Archive, OrdinaryValuesGiveTheUsualCommands) {
    FakeSys sys;
    UsbList usb({"/run/media/sda1"});
    mvLogFileName("bench1", "2021_11_05_11_51_23", "X", 0);
    std::vector<std::string> want = {
        "mkdir -p /NandFlash/test",
        "cp -f /NandFlash/tmp/deVuzeV7.log "
        "\"/NandFlash/test/deVuzeV7_bench1[X]_2021_11_05_11_51_23[OK].log\"",
        " mkdir -p \"/run/media/sda1/TestQ7[OK]\"",
        "cp -f /NandFlash/tmp/deVuzeV7.log "
        "\"/run/media/sda1/TestQ7[OK]/deVuzeV7_bench1[X]_2021_11_05_11_51_23.log\"",
        "mv -f /NandFlash/tmp/deVuzeV7.log "
        "\"/NandFlash/tmp/deVuzeV7_bench1[X]_2021_11_05_11_51_23.log\""};
    EXPECT_EQ(want, sys.SystemCommands());
}

TEST(Archive, FailedVerdictsUseErrAndEveryListedStickInOrder) {
    FakeSys sys;
    UsbList usb({"/run/media/sda1", "/run/media/sdb1", "/run/media/sda1"});
    mvLogFileName("h", "t", "i", -2);
    auto cmds = sys.SystemCommands();
    ASSERT_EQ(9u, cmds.size());
    EXPECT_NE(std::string::npos, cmds[1].find("_t[ERR].log\""));
    EXPECT_EQ(" mkdir -p \"/run/media/sdb1/TestQ7[ERR]\"", cmds[4]);
    EXPECT_NE(std::string::npos,
              cmds[7].find("\"/run/media/sda1/TestQ7[ERR]/deVuzeV7_h[i]_t.log\""));
}

TEST(Archive, NoStickOnlyFlashCopyAndMove) {
    FakeSys sys;
    UsbList usb({});
    mvLogFileName("h", "t", "i", -1);
    EXPECT_EQ(3u, sys.SystemCommands().size());
}

TEST(Archive, FailingCommandsDoNotStopTheOthers) {
    FakeSys sys;
    UsbList usb({"/run/media/sda1"});
    sys.FailSystem("mkdir -p /NandFlash/test", 256);
    sys.FailSystem(" mkdir -p \"/run/media/sda1/TestQ7[ERR]\"", 256);
    mvLogFileName("h", "t", "i", -1);
    const auto cmds = sys.SystemCommands();
    ASSERT_EQ(5u, cmds.size());
    EXPECT_EQ("mv -f /NandFlash/tmp/deVuzeV7.log \"/NandFlash/tmp/deVuzeV7_h[i]_t.log\"", cmds[4]);
}

TEST(Archive, HostileValuesCannotRunAnything) {
    EXPECT_EQ("bench\\\";touch pwned;\\\"", ShellEscapeInQuotes("bench\";touch pwned;\""));
    EXPECT_EQ("bench\\$(touch pwned)\\`x\\`\\\\", ShellEscapeInQuotes("bench$(touch pwned)`x`\\"));
    EXPECT_EQ("a_b_c", FileNamePart("a/b/c"));
    // The command must parse back to the original destination in a real shell.
    char dir[] = "/tmp/devuze-quote-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(dir));
    std::string host = std::string("b$(touch ") + dir + "/pwned)\";`touch " + dir + "/p2`*[]";
    std::string cmd = "printf %s " +
                      FlashCopyCommand(host, "i", "t", "OK")
                          .substr(std::string("cp -f /NandFlash/tmp/deVuzeV7.log ").size()) +
                      " > " + dir + "/out";
    ASSERT_EQ(0, system(cmd.c_str()));
    std::ifstream in(std::string(dir) + "/out");
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ("/NandFlash/test/deVuzeV7_" + host + "[i]_t[OK].log", got.str());
    EXPECT_FALSE(std::filesystem::exists(std::string(dir) + "/pwned"));
    EXPECT_FALSE(std::filesystem::exists(std::string(dir) + "/p2"));
    std::filesystem::remove_all(dir);
}

TEST(Archive, LongValuesAreNeverCut) {
    FakeSys sys;
    std::string longPoint = "/run/media/" + std::string(400, 's');
    UsbList usb({longPoint});
    std::string host(300, 'h');
    mvLogFileName(host.c_str(), "t", std::string(300, 'i').c_str(), 0);
    auto cmds = sys.SystemCommands();
    ASSERT_EQ(5u, cmds.size());
    EXPECT_NE(std::string::npos, cmds[3].find(longPoint + "/TestQ7[OK]/deVuzeV7_" + host + "["));
    EXPECT_EQ(".log\"", cmds[3].substr(cmds[3].size() - 5));
}

TEST(RecordFile, AppendsClosingAndWritesWholeDocument) {
    TempLog log;
    std::string path = log.Path() + ".js";
    char doc[16] = "{\"a\":[ ";
    EXPECT_EQ(0, RecordhwTestTo(path.c_str(), doc, 7));
    std::ifstream in(path);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ("{\"a\":[ ]}", got.str());
    EXPECT_STREQ("{\"a\":[ ]}", doc);
    ASSERT_EQ(1u, log.Messages().size());
    EXPECT_EQ("write " + path + " ok:{\"a\":[ ]} !!!", log.Messages()[0]);
}

TEST(RecordFile, EmptyDocumentStillGivesClosing) {
    TempLog log;
    std::string path = log.Path() + ".js";
    char doc[4] = {};
    EXPECT_EQ(0, RecordhwTestTo(path.c_str(), doc, 0));
    std::ifstream in(path);
    std::string got;
    std::getline(in, got);
    EXPECT_EQ("]}", got);
}

TEST(RecordFile, UnopenableFileReportsAndPlaysSetUpFailure) {
    TempLog log;
    FakeSys sys;
    char doc[8] = "x";
    EXPECT_EQ(-1, RecordhwTestTo("/nonexistent-devuze/x.js", doc, 1));
    EXPECT_EQ("open file:/nonexistent-devuze/x.js error!!!", log.Messages().at(0));
    auto cmds = sys.SystemCommands();
    ASSERT_FALSE(cmds.empty());
    EXPECT_EQ("echo SOFF=4,5 > /dev/vxdio", cmds[0]);
    EXPECT_EQ(-1, RecordhwTest(nullptr, 0));
}
