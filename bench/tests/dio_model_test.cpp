#include "dio_model.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace bench {
namespace {

DioSetup StandardDio() {
    DioSetup setup;
    setup.diCount = 6;
    setup.doCount = 4;
    return setup;
}

TEST(DioModelWiring, InputsFollowTheirWiredOutputs) {
    DioModel model(StandardDio());
    // DO1-DI1, DO2-DI2, SDO2-DI3, SDO1-DI4, DO3-DI5, DO4-DI6
    const std::pair<uint32_t, uint32_t> wiring[] = {{0x01, 1}, {0x02, 2}, {0x82, 3},
                                                    {0x81, 4}, {0x03, 5}, {0x04, 6}};
    for (auto [output, input] : wiring) {
        EXPECT_EQ(model.Request(kReadDi, input).value, 0) << "DI" << input;
        EXPECT_EQ(model.Request(kSetDoOn, output).value, 0);
        EXPECT_EQ(model.Request(kReadDi, input).value, 1) << "DI" << input;
        EXPECT_EQ(model.Request(kReadDo, output).value, 1);
        EXPECT_EQ(model.Request(kSetDoOff, output).value, 0);
        EXPECT_EQ(model.Request(kReadDi, input).value, 0) << "DI" << input;
    }
}

TEST(DioModelWiring, SwitchingOneOutputLeavesOtherInputsAlone) {
    DioModel model(StandardDio());
    model.Request(kSetDoOn, 0x03);
    for (uint32_t input : {1u, 2u, 3u, 4u, 6u}) EXPECT_EQ(model.Request(kReadDi, input).value, 0);
    EXPECT_EQ(model.Request(kReadDi, 5).value, 1);
}

TEST(DioModelWiring, WiredOutputTable) {
    EXPECT_EQ(DioModel::WiredOutput(1), 0x01);
    EXPECT_EQ(DioModel::WiredOutput(2), 0x02);
    EXPECT_EQ(DioModel::WiredOutput(3), 0x82);
    EXPECT_EQ(DioModel::WiredOutput(4), 0x81);
    EXPECT_EQ(DioModel::WiredOutput(5), 0x03);
    EXPECT_EQ(DioModel::WiredOutput(122), 120);
    EXPECT_EQ(DioModel::WiredOutput(0), 0);
}

TEST(DioModelRequests, PortsTheBoardLacksAreRefused) {
    DioModel model(StandardDio());
    EXPECT_EQ(model.Request(kSetDoOn, 0x05).value, -1);
    EXPECT_EQ(model.Request(kSetDoOn, 0x05).err, EINVAL);
    EXPECT_EQ(model.Request(kReadDi, 0x07).value, -1);
    EXPECT_EQ(model.Request(kReadDo, 0x86).value, -1);
    EXPECT_EQ(model.Request(kReadDi, 0x81).value, -1);  // no system inputs on this board
    EXPECT_EQ(model.Request(kSetDoOn, 0x00).value, -1);
}

TEST(DioModelRequests, CountsByKind) {
    DioModel model(StandardDio());
    EXPECT_EQ(model.Request(kGetNum, 1).value, 6);
    EXPECT_EQ(model.Request(kGetNum, 2).value, 4);
    EXPECT_EQ(model.Request(kGetNum, 3).value, 0);
    EXPECT_EQ(model.Request(kGetNum, 4).value, 5);
    EXPECT_EQ(model.Request(kGetNum, 7).value, 0);
}

TEST(DioModelRequests, UnknownCodesFailWithEnotty) {
    DioModel model(StandardDio());
    for (uint32_t code : {2u, 9u, 19u, 0x5401u}) {
        DioAnswer answer = model.Request(code, 1);
        EXPECT_EQ(answer.value, -1) << code;
        EXPECT_EQ(answer.err, ENOTTY) << code;
    }
}

TEST(DioModelRequests, GroupReadsPackPortsFromBitZero) {
    DioSetup setup = StandardDio();
    setup.diCount = 20;
    setup.doCount = 20;
    DioModel model(setup);
    model.Request(kSetDoOn, 0x01);  // DI1
    model.Request(kSetDoOn, 0x0A);  // DO10 -> DI12
    model.Request(kSetDoOn, 0x13);  // DO19
    EXPECT_EQ(model.Request(kReadDoGroup, 0x01).value, 0x01);
    EXPECT_EQ(model.Request(kReadDoGroup, 0x02).value, 0x02);  // DO10 is bit 1 of group 2
    EXPECT_EQ(model.Request(kReadDoGroups2, 0x01).value, 0x0201);
    EXPECT_EQ(model.Request(kReadDoGroups3, 0x01).value, 0x040201);  // DO19: bit 18
    EXPECT_EQ(model.Request(kReadDiGroup, 0x02).value, 0x08);        // DI12: bit 3 of group 2
    EXPECT_EQ(model.Request(kReadDiGroups2, 0x01).value, 0x0801);
    model.Request(kSetDoOn, 0x85);
    EXPECT_EQ(model.Request(kReadDoGroup, 0x81).value, 0x10);  // SDO5
}

TEST(DioModelFaults, StuckInputIgnoresItsOutput) {
    DioSetup setup = StandardDio();
    setup.stuckInputs[5] = 0;
    setup.stuckInputs[6] = 1;
    DioModel model(setup);
    model.Request(kSetDoOn, 0x03);
    EXPECT_EQ(model.Request(kReadDi, 5).value, 0);
    EXPECT_EQ(model.Request(kReadDi, 6).value, 1);
    model.Request(kSetDoOn, 0x04);
    model.Request(kSetDoOff, 0x04);
    EXPECT_EQ(model.Request(kReadDi, 6).value, 1);
}

TEST(DioModelFaults, RefusedWriteFailsAndKeepsTheLevel) {
    DioSetup setup = StandardDio();
    setup.refusedOutputs.insert(0x02);
    DioModel model(setup);
    DioAnswer answer = model.Request(kSetDoOn, 0x02);
    EXPECT_EQ(answer.value, -1);
    EXPECT_EQ(answer.err, EIO);
    EXPECT_EQ(model.Request(kReadDo, 0x02).value, 0);
    EXPECT_EQ(model.Request(kReadDi, 2).value, 0);
}

TEST(DioModelFaults, WrongReadBackAnswersItsFixedValue) {
    DioSetup setup = StandardDio();
    setup.fixedReadBack[0x83] = 1;
    DioModel model(setup);
    EXPECT_EQ(model.Request(kSetDoOff, 0x83).value, 0);
    EXPECT_EQ(model.Request(kReadDo, 0x83).value, 1);
    EXPECT_EQ(model.OutputLevel(0x83), 0);  // the real level still follows the writes
}

TEST(DioModelText, CommandsSwitchSystemOutputs) {
    DioModel model(StandardDio());
    EXPECT_TRUE(model.ApplyText("SON=5,4"));
    EXPECT_EQ(model.OutputLevel(0x84), 1);
    EXPECT_EQ(model.OutputLevel(0x85), 1);
    EXPECT_TRUE(model.ApplyText("SOFF=4,5"));
    EXPECT_EQ(model.OutputLevel(0x84), 0);
    EXPECT_TRUE(model.ApplyText("SON=3"));
    EXPECT_EQ(model.OutputLevel(0x83), 1);
    EXPECT_EQ(model.Request(kReadDo, 0x83).value, 1);
}

TEST(DioModelText, MalformedCommandsChangeNothing) {
    DioModel model(StandardDio());
    for (const char* line :
         {"SON=", "SON=6", "SON=0", "SON=3,4,5", "son=3", "SON=x", "ON=3", "SON=3,9"}) {
        EXPECT_FALSE(model.ApplyText(line)) << line;
    }
    for (int n = 1; n <= 5; ++n) EXPECT_EQ(model.OutputLevel(static_cast<uint8_t>(0x80 | n)), 0);
}

TEST(DioModelNames, RequestAndPortNames) {
    EXPECT_EQ(DioModel::RequestName(kReadDoGroups3), "VXDIO_RD_DO_GRP3");
    EXPECT_EQ(DioModel::RequestName(3), "UNKNOWN");
    EXPECT_EQ(DioModel::PortName(0x83, true), "SDO3");
    EXPECT_EQ(DioModel::PortName(0x05, false), "DI5");
}

}  // namespace
}  // namespace bench
