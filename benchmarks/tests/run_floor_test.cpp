#include "run_floor.h"

#include <gtest/gtest.h>

namespace devbench {
namespace {
using nlohmann::json;

std::string Log(const std::vector<std::string>& messages) {
    std::string log;
    int n = 0;
    for (const std::string& m : messages)
        log +=
            std::to_string(n++) + "=[RtLog][2021-11-05 11:51:23] " + m + "\tdevuzeV7 main line=1\n";
    return log;
}

json Ioctl(double t, const std::string& name, int port, int answer) {
    return {{"t_ms", t}, {"kind", "ioctl"}, {"name", name}, {"arg", port}, {"answer", answer}};
}

json Text(double t, const std::string& text) {
    return {{"t_ms", t}, {"kind", "text"}, {"text", text}, {"applied", true}};
}

json Record(const std::vector<std::string>& messages, json timeline = json::array(),
            const std::string& out = "") {
    return {{"log", Log(messages)},
            {"timeline", timeline},
            {"stdout", out},
            {"exit", {{"code", 0}, {"timed_out", false}}}};
}

double Part(const RunFloor& floor, const std::string& prefix, int* count = nullptr) {
    for (const FloorPart& part : floor.parts) {
        if (part.what.rfind(prefix, 0) == 0) {
            if (count != nullptr) *count = part.count;
            return part.totalMs;
        }
    }
    return 0;
}

TEST(ReadWait, OneQuietPeriodAfterBytesTwoWithout) {
    EXPECT_EQ(ReadWaitMs(32), wait_ms::kQuietLine);
    EXPECT_EQ(ReadWaitMs(0), 2 * wait_ms::kQuietLine);
    EXPECT_EQ(ReadWaitMs(-1), 0);
}

TEST(RunFloor, StartUpAndCyclePausesFollowTheLog) {
    RunFloor floor =
        ComputeFloor(Record({"***Load Port Info:***", "***************** test *******************",
                             "-----Try Test 1-----", "-----Try Test 2-----"}));
    EXPECT_EQ(Part(floor, "start-up: after the blink"), 200);
    EXPECT_EQ(Part(floor, "start-up: after stopping"), 200);
    EXPECT_EQ(Part(floor, "before the first cycle"), 200);
    EXPECT_EQ(Part(floor, "cycle: after stopping"), 100);
    EXPECT_EQ(Part(floor, "cycle: at its end"), 200);
    EXPECT_EQ(floor.totalMs, 900);
}

TEST(RunFloor, LoopBackReadsCountTheirQuietLinesAndOwnReadsTheEchoWait) {
    const std::string p = "0123456789ABCDEFGHIJKLMNOPQRSTU";
    RunFloor floor = ComputeFloor(Record({
        "Write RS232-1 msgSend:" + p + ",Read RS232-1 iread:0 msg: ",
        "Write RS232-1 msgSend:" + p + ",Read RS232-2 OK! iread:32 msg: " + p,
        "Write RS232-2 msgSend:" + p + ",Read RS232-2 Error! iread:32 msg: " + p,
        "Write RS232-2 msgSend:" + p + ",Read RS232-1 Error! iread:0 msg: ",
        "Write RS232-3 msgSend:" + p + ",Err! iwrite=-1",
    }));
    int writes = 0;
    EXPECT_EQ(Part(floor, "RS232 test: after each whole write", &writes), 600);
    EXPECT_EQ(writes, 2);
    EXPECT_EQ(Part(floor, "RS232 test: quiet line"), 400 + 200 + 200 + 400);
}

TEST(RunFloor, SensorTestWaitsForTheReplyAndItsQuietLine) {
    RunFloor answered =
        ComputeFloor(Record({"/dev/RS232-5 read:OK", "Port:/dev/RS232-5 Test OK !!! "}));
    EXPECT_EQ(Part(answered, "sensor test: between"), 500);
    EXPECT_EQ(Part(answered, "sensor test: quiet line"), 200);
    RunFloor silent =
        ComputeFloor(Record({"iwrite:2 iread:0 Err!!!", "Port:/dev/RS232-5 Test Err !!!"}));
    EXPECT_EQ(Part(silent, "sensor test: quiet line"), 400);
}

TEST(RunFloor, DioWaitsOnlyWhereTheToolSettlesAnOutput) {
    json timeline = json::array({
        Ioctl(1, "VXDIO_SET_DO_ON", 0x01, 0),
        Ioctl(2, "VXDIO_RD_DO", 0x01, 1),
        Ioctl(3, "VXDIO_SET_DO_ON", 0x02, -1),  // refused: no wait
        Ioctl(4, "VXDIO_SET_DO_ON", 0x81, 0),
        Ioctl(5, "VXDIO_RD_DO", 0x81, 1),  // right: wait
        Ioctl(6, "VXDIO_SET_DO_ON", 0x82, 0),
        Ioctl(7, "VXDIO_RD_DO", 0x82, 0),  // wrong: none
        Ioctl(8, "VXDIO_SET_DO_OFF", 0x83, 0),
        Ioctl(9, "VXDIO_RD_DO", 0x83, 0),
        Ioctl(10, "VXDIO_SET_DO_ON", 0x83, 0),
        Ioctl(11, "VXDIO_SET_DO_OFF", 0x84, -1),
    });
    RunFloor floor = ComputeFloor(Record({}, timeline));
    int settled = 0;
    EXPECT_EQ(Part(floor, "DIO test: per output", &settled), 200);
    EXPECT_EQ(settled, 2);
    EXPECT_EQ(Part(floor, "LED test: per output", &settled), 200);
    EXPECT_EQ(Part(floor, "LED test: after closing", &settled), 300);
    EXPECT_EQ(settled, 1);
}

TEST(RunFloor, UsbAlertIsTheBeeperSwitchingBeforeTheLastRequest) {
    json timeline = json::array({Text(1, "SON=5,4"), Text(2, "SOFF=3"), Text(3, "SON=3\n"),
                                 Ioctl(4, "VXDIO_SET_DO_OFF", 0x83, 0), Text(5, "SOFF=4,5"),
                                 Text(6, "SOFF=3"), Text(7, "SON=4")});
    RunFloor floor = ComputeFloor(Record({}, timeline));
    int switchings = 0;
    EXPECT_EQ(Part(floor, "USB alert", &switchings), 1200);
    EXPECT_EQ(switchings, 2);
}

TEST(RunFloor, WithoutDioRequestsTheAlertIsNotedNotGuessed) {
    RunFloor floor = ComputeFloor(Record({}, json::array({Text(1, "SOFF=3")})));
    EXPECT_EQ(Part(floor, "USB alert"), 0);
    ASSERT_FALSE(floor.notes.empty());
}

TEST(RunFloor, EndOfRunPausesPatternAndTipsMessage) {
    RunFloor floor =
        ComputeFloor(Record({"Test Q7 OK!!!"}, json::array(),
                            "/dev/RS232-5 iwrite:5 write:AT+OK /dev/RS232-5 read:OK\r\n"));
    int steps = 0;
    EXPECT_EQ(Part(floor, "end pattern", &steps), 7100);
    EXPECT_EQ(steps, 71);
    EXPECT_EQ(Part(floor, "end of the run: pauses"), 1500);
    EXPECT_EQ(Part(floor, "tips message: before"), 2000);
    EXPECT_EQ(Part(floor, "tips message: between"), 500);
    EXPECT_EQ(Part(floor, "tips message: quiet line"), 200);
    EXPECT_EQ(floor.totalMs, 7100 + 1500 + 2000 + 500 + 200);
}

TEST(RunFloor, TipsPortMissingWaitsOnlyTheLead) {
    RunFloor floor =
        ComputeFloor(Record({"Test Q7 Err!!!"}, json::array(), "open Port:/dev/RS232-5 Err!!!"));
    EXPECT_EQ(Part(floor, "tips message: before"), 2000);
    EXPECT_EQ(Part(floor, "tips message: between"), 0);
}

TEST(RunFloor, SilentTipsDeviceWaitsTwoQuietPeriods) {
    RunFloor floor =
        ComputeFloor(Record({"Test Q7 Err!!!"}, json::array(),
                            "/dev/RS232-5 iwrite:6 write:AT+ERR iwrite:6 iread:0 Err!!!"));
    EXPECT_EQ(Part(floor, "tips message: quiet line"), 400);
}

TEST(RunFloor, FailedResultFileAddsASecondPattern) {
    RunFloor floor =
        ComputeFloor(Record({"open file:/NandFlash/tmp/deVuzeV7.js error!!!", "Test Q7 Err!!!"}));
    int steps = 0;
    Part(floor, "end pattern", &steps);
    EXPECT_EQ(steps, 2 * wait_ms::kEndPatternSteps);
}

TEST(RunFloor, FailedDiscoveryHasStartUpAndOnePatternOnly) {
    RunFloor floor = ComputeFloor(Record({"Err Get Port Info!!!"}));
    EXPECT_EQ(floor.totalMs, 200 + 200 + 7100);
}

TEST(RunFloor, AnUnfinishedRunIsNoted) {
    auto mentionsStatus = [](const RunFloor& floor) {
        for (const std::string& note : floor.notes)
            if (note.find("status") != std::string::npos) return true;
        return false;
    };
    json record = Record({});
    record["exit"] = {{"signal", 9}, {"timed_out", true}};
    EXPECT_TRUE(mentionsStatus(ComputeFloor(record)));
    EXPECT_FALSE(mentionsStatus(ComputeFloor(Record({}))));
}

}  // namespace
}  // namespace devbench
