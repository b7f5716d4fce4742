#include "archive.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>
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

namespace {
// The file name a command's quoted destination ends in.
std::string DestinationName(const std::string& cmd) {
    std::string dest = cmd.substr(0, cmd.size() - 1);
    return dest.substr(dest.rfind('/') + 1);
}
}  // namespace

TEST(Archive, LongValuesGiveWholeCommandsAndNamesThatFit) {
    FakeSys sys;
    std::string longPoint = "/run/media/" + std::string(400, 's');
    UsbList usb({longPoint});
    std::string host(300, 'h');
    mvLogFileName(host.c_str(), "2021_11_05_11_51_23", std::string(300, 'i').c_str(), -1);
    auto cmds = sys.SystemCommands();
    ASSERT_EQ(5u, cmds.size());
    EXPECT_NE(std::string::npos,
              cmds[3].find(longPoint + "/TestQ7[ERR]/deVuzeV7_" + host.substr(0, 55) + "~"));
    EXPECT_EQ("_2021_11_05_11_51_23.log\"", cmds[3].substr(cmds[3].size() - 25));
    EXPECT_EQ(255u, DestinationName(cmds[1]).size());
    for (const auto& cmd : {cmds[1], cmds[3], cmds[4]})
        EXPECT_LE(DestinationName(cmd).size(), 255u) << cmd;
}

TEST(ArchiveNames, ShortPartsStayWholeAndEscaped) {
    std::string host, id;
    ArchiveNameParts("bench\n5=[RtLog] x/y", "0x1A\r", "2021_11_05_11_51_23", host, id);
    EXPECT_EQ("bench\\n5=[RtLog] x_y", host);
    EXPECT_EQ("0x1A\\r", id);
    // 40 bytes besides host and ID in deVuzeV7_H[I]_T[ERR].log: 215 fit exactly.
    ArchiveNameParts(std::string(64, 'h').c_str(), std::string(151, 'i').c_str(),
                     "2021_11_05_11_51_23", host, id);
    EXPECT_EQ(std::string(64, 'h') + std::string(151, 'i'), host + id);
}

TEST(ArchiveNames, LongIdIsCutFirstAndTaggedWithItsChecksum) {
    std::string host, id;
    const std::string longId(230, 'I');
    ArchiveNameParts("bench1", longId.c_str(), "2021_11_05_11_51_23", host, id);
    EXPECT_EQ("bench1", host);
    EXPECT_EQ(209u, id.size());
    EXPECT_EQ(std::string(200, 'I'), id.substr(0, 200));
    EXPECT_EQ(ShortNamePart(longId.c_str(), 209), id);
    // IDs that differ only past the cut keep different names.
    std::string other = longId;
    other.back() = 'J';
    EXPECT_NE(ShortNamePart(longId.c_str(), 209), ShortNamePart(other.c_str(), 209));
    // The longest host (64 bytes, every byte a line feed: 128 once escaped) and a long ID.
    ArchiveNameParts(std::string(64, '\n').c_str(), std::string(255, 'I').c_str(),
                     "2021_11_05_11_51_23", host, id);
    EXPECT_EQ(63u, host.size()) << "an escape is never split: 27 whole escapes, then the tag";
    EXPECT_EQ(0u, host.find("\\n\\n"));
    EXPECT_EQ('~', host[54]);
    EXPECT_EQ(152u, id.size());
}

TEST(ArchiveNames, ShortNamePartKeepsWholeCharactersAndAFixedTag) {
    EXPECT_EQ("short", ShortNamePart("short", 5));
    std::string cut = ShortNamePart("abcdefghijkl", 11);
    EXPECT_EQ(11u, cut.size());
    EXPECT_EQ("ab~", cut.substr(0, 3));
    EXPECT_EQ(std::string::npos, cut.find_first_not_of("0123456789ABCDEF", 3));
    // A two-byte character is never split.
    std::string eAcute8;
    for (int i = 0; i < 8; ++i) eAcute8 += "\xC3\xA9";
    EXPECT_EQ("\xC3\xA9~", ShortNamePart(eAcute8.c_str(), 12).substr(0, 3));
    EXPECT_EQ("a~", ShortNamePart(("a" + eAcute8).c_str(), 11).substr(0, 2));
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

// A medium that takes only the first bytes (a file size limit stands for a full flash): the
// record is cut short, which is a storage failure like a file that does not open.
TEST(RecordFile, ShortWriteIsAStorageFailureWithTheSetUpFailurePattern) {
    TempLog log;
    const std::string path = log.Path() + ".js";
    constexpr rlim_t kRoom = 8;
    fflush(nullptr);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        FakeSys sys;
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {kRoom, kRoom};
        setrlimit(RLIMIT_FSIZE, &limit);
        char doc[64] = "{\"a\":[ {\"b\":1} ";
        const int result = RecordhwTestTo(path.c_str(), doc, static_cast<int>(strlen(doc)));
        auto cmds = sys.SystemCommands();
        const long failLed = std::count(cmds.begin(), cmds.end(), "echo SON=5 > /dev/vxdio");
        _exit(result == -1 && failLed == 8 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(0, WEXITSTATUS(status)) << "no -1 or no set-up failure pattern";
    std::ifstream in(path);
    std::stringstream got;
    got << in.rdbuf();
    EXPECT_EQ("{\"a\":[ {", got.str());
}
