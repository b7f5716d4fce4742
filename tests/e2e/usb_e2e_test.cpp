// The USB sticks and TF card on the bench: entries, the beeper alert, the list of sticks that
// the archiving copies the log to.
#include <gtest/gtest.h>

#include <algorithm>

#include "bench_run.h"
#include "run_checks.h"
#include "suite_run.h"

namespace {
E2E_SUITE(UsbFirstOnly, "usb-first-only", "Cnt=1");
E2E_SUITE(UsbSecondOnly, "usb-second-only", "Cnt=1");
E2E_SUITE(UsbBothAndCard, "usb-both-tf", "Cnt=1");
E2E_SUITE(UsbTwoPartitions, "usb-two-partitions", "Cnt=1");
E2E_SUITE(UsbThreeCycles, "standard", "Cnt=3");
E2E_SUITE(UsbMountPointWithBlank, "usb-mount-blank", "Cnt=1");

// The beeper alert of the first cycle: text commands before the first DIO request.
std::vector<std::string> Alert(const e2e::BenchRun& run) {
    return e2e::WithoutBlink(e2e::CommandsBeforeFirstIoctl(run));
}

std::string UsbSection(const e2e::BenchRun& run) {
    std::string doc = run.record["result_document"];
    auto at = doc.find("{\"name\":\"USB\"");
    return at == std::string::npos ? "" : doc.substr(at, doc.find("]}", at) + 2 - at);
}

std::string StickCopy(const e2e::BenchRun& run, const std::string& mountPoint,
                      const std::string& verdict) {
    auto names =
        e2e::ExpectedArchive("bench1", "0x1A2B3C4D", e2e::LogValue(run, "DateTime:"), verdict);
    std::string text;
    run.FileContent(mountPoint + "/" + names.onStick, text);
    return text;
}
}  // namespace

TEST_F(UsbFirstOnly, FirstEntryPassesAndBeeperSwitchesEightTimes) {
    EXPECT_EQ(e2e::ReadExpectations("usb_alert_stick.txt"), Alert(*run));
    EXPECT_EQ("{\"name\":\"USB\",\"info\":[{\"port\":1},{\"port\":0}]}", UsbSection(*run));
    EXPECT_EQ(1, e2e::CountMessages(*run, "USB Dev Cnt:1"));
    EXPECT_FALSE(StickCopy(*run, "/run/media/sda1", "ERR").empty());
}

TEST_F(UsbSecondOnly, NeitherEntryPassesButTheStickGetsTheLog) {
    EXPECT_EQ(e2e::ReadExpectations("usb_alert_stick.txt"), Alert(*run));
    EXPECT_EQ("{\"name\":\"USB\",\"info\":[{\"port\":0},{\"port\":0}]}", UsbSection(*run));
    EXPECT_EQ(1, e2e::CountMessages(*run, "USB Dev:/run/media/sdb1"));
    EXPECT_FALSE(StickCopy(*run, "/run/media/sdb1", "ERR").empty());
}

TEST_F(UsbBothAndCard, CardSoundsTwentySwitchings) {
    EXPECT_EQ(e2e::ReadExpectations("usb_alert_card.txt"), Alert(*run));
    EXPECT_EQ(1, e2e::CountMessages(*run, "TF card mount nCnttmp:1"));
    EXPECT_EQ("{\"name\":\"USB\",\"info\":[{\"port\":1},{\"port\":1}]}", UsbSection(*run));
    // About 600 ms per switching.
    auto commands = run->TextCommands();
    std::vector<double> times;
    for (const auto& c : commands) {
        if (c["text"] == "SON=3" || c["text"] == "SOFF=3") times.push_back(c["t_ms"]);
    }
    ASSERT_GE(times.size(), 20u);
    EXPECT_NEAR(19 * 600, times[19] - times[0], 19 * 40);
}

TEST_F(UsbTwoPartitions, JoinedMountPointIsOneStick) {
    EXPECT_EQ(1, e2e::CountMessages(*run, "USB Dev:/run/media/sda1/run/media/sda2"));
    EXPECT_TRUE(Alert(*run).empty());
    EXPECT_EQ("{\"name\":\"USB\",\"info\":[{\"port\":1},{\"port\":1}]}", UsbSection(*run));
    // The copy lands in a nested folder on the first partition.
    EXPECT_FALSE(StickCopy(*run, "/run/media/sda1/run/media/sda2", "OK").empty());
    EXPECT_FALSE(StickCopy(*run, "/run/media/sdb1", "OK").empty());
}

TEST_F(UsbThreeCycles, EveryCycleListsBothSticksAgain) {
    EXPECT_EQ(3, e2e::CountMessages(*run, "USB Dev:/run/media/sda1"));
    EXPECT_EQ(3, e2e::CountMessages(*run, "USB Dev:/run/media/sdb1"));
    EXPECT_FALSE(StickCopy(*run, "/run/media/sda1", "OK").empty());
    EXPECT_FALSE(StickCopy(*run, "/run/media/sdb1", "OK").empty());
}

// df's sixth column for "/run/media/sda1 x" is "0%": no stick, and nothing is copied there.
TEST_F(UsbMountPointWithBlank, IsNotCountedAndNothingLandsInTheWorkingDirectory) {
    ASSERT_TRUE(run->Ok()) << run->Diagnostics();
    EXPECT_EQ(1, e2e::CountMessages(*run, "USB Dev:0% is no mount point, Err!"));
    EXPECT_EQ(1, e2e::CountMessages(*run, "USB Dev Cnt:1"));
    EXPECT_EQ("{\"name\":\"USB\",\"info\":[{\"port\":0},{\"port\":0}]}", UsbSection(*run));
    const auto& workdir = run->record["workdir_files"];
    ASSERT_TRUE(workdir.is_array());
    EXPECT_NE(workdir.end(), std::find(workdir.begin(), workdir.end(), "devuzeV7"));
    for (const auto& name : workdir) {
        EXPECT_EQ(std::string::npos, name.get<std::string>().find("TestQ7")) << name;
        EXPECT_EQ(std::string::npos, name.get<std::string>().find('%')) << name;
    }
    EXPECT_FALSE(StickCopy(*run, "/run/media/sdb1", "ERR").empty());
}
