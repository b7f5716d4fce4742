#include "thSensor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "FakeSys.h"
#include "PtyPort.h"
#include "SerialFixture.h"
#include "TempLog.h"
#include "serialLine.h"

namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The sensor port opened and configured as the loop-back test hands it over, with the fixture's
// AT device answering `reply`.
class SensorTest : public ::testing::Test {
protected:
    void Run(const std::string& reply) {
        port_ = std::make_unique<PtyPort>(dir_.Path() + "/RS232-5");
        fixture_.Answer(*port_, reply);
        fixture_.Start();
        entry_.fdPort = serial::OpenPort(port_->Path().c_str());
        ASSERT_GT(entry_.fdPort, 0);
        ASSERT_EQ(set_opt(entry_.fdPort, 115200, 8, 'n', 1, 'N'), 0);
        result_ = THSensorTest(entry_, port_->Path().c_str());
        fixture_.Stop();
        close(entry_.fdPort);
    }
    std::string PathOf() const { return port_->Path(); }

    TempDir dir_;
    TempLog log_;
    FakeSys sys_;
    SerialFixture fixture_;
    std::unique_ptr<PtyPort> port_;
    _tag_PortData_ entry_;
    int result_ = 99;
};

TEST_F(SensorTest, AnswerOkWithLineEndPasses) {
    Run("OK\r\n");
    EXPECT_EQ(result_, 0);
    EXPECT_EQ(entry_.cSta, STA_PASS);
    EXPECT_EQ(fixture_.Sent(*port_), "AT");
    const std::string text = log_.Text();
    EXPECT_NE(text.find(PathOf() + " iwrite:2 write:AT szMsgRec[0]=41,szMsgRec[1]==54\t"),
              std::string::npos);
    EXPECT_NE(text.find("] " + PathOf() + " read:OK\r\n\t"), std::string::npos);
    EXPECT_TRUE(Contains(log_.Messages(), "Port:" + PathOf() + " Test OK !!! "));
    ASSERT_EQ(sys_.Calls().size(), 1u);
    EXPECT_EQ(sys_.Calls()[0].usec, 500000u);
}

TEST_F(SensorTest, AnswerWithoutOkFails) {
    Run("ERROR");
    EXPECT_EQ(result_, -1);
    EXPECT_EQ(entry_.cSta, STA_RECV_ERR);
    const auto messages = log_.Messages();
    EXPECT_TRUE(Contains(messages, PathOf() + " read:ERROR"));
    EXPECT_TRUE(Contains(messages, PathOf() + " read:ERROR Err!!!"));
    EXPECT_TRUE(Contains(messages, "Port:" + PathOf() + " Test Err !!!"));
}

TEST_F(SensorTest, SilentSensorFails) {
    Run("");
    EXPECT_EQ(result_, -1);
    EXPECT_EQ(entry_.cSta, STA_RECV_ERR);
    EXPECT_TRUE(Contains(log_.Messages(), "iwrite:2 iread:0 Err!!!"));
    EXPECT_EQ(fixture_.Sent(*port_), "AT");
}

TEST_F(SensorTest, LeadingZeroByteIsDroppedBeforeTheCheck) {
    Run(std::string("\0OK", 3));
    EXPECT_EQ(result_, 0);
    EXPECT_EQ(entry_.cSta, STA_PASS);
    EXPECT_TRUE(Contains(log_.Messages(), PathOf() + " read:OK"));
}

TEST_F(SensorTest, OneByteAnswerFails) {
    Run("K");
    EXPECT_EQ(result_, -1);
    EXPECT_TRUE(Contains(log_.Messages(), "iwrite:2 iread:1 Err!!!"));
}

TEST_F(SensorTest, LowerCaseOkFails) {
    Run("ok\r\n");
    EXPECT_EQ(result_, -1);
    EXPECT_EQ(entry_.cSta, STA_RECV_ERR);
}

TEST_F(SensorTest, FullReplyWithoutZeroByteIsSearchedAndLoggedWhole) {
    const std::string reply = std::string(62, 'x') + "OK" + "tail-beyond-64";
    Run(reply);
    EXPECT_EQ(result_, 0);
    EXPECT_TRUE(Contains(log_.Messages(), PathOf() + " read:" + reply.substr(0, 64)));
}

TEST_F(SensorTest, FullReplyWithoutOkIsLoggedWholeAsError) {
    const std::string reply(64, 'z');
    Run(reply);
    EXPECT_EQ(result_, -1);
    EXPECT_TRUE(Contains(log_.Messages(), PathOf() + " read:" + reply + " Err!!!"));
}

TEST(SensorProbe, FailedWriteIsRecordedAndTheReplyStillRead) {
    TempLog log;
    FakeSys sys;
    _tag_PortData_ entry;
    entry.fdPort = open("/dev/null", O_RDONLY);  // every write fails
    ASSERT_GT(entry.fdPort, 0);
    EXPECT_EQ(THSensorTest(entry, "/dev/RS232-5"), -1);
    close(entry.fdPort);
    EXPECT_EQ(entry.cSta, STA_SEND_ERR | STA_RECV_ERR);
    const auto messages = log.Messages();
    EXPECT_TRUE(Contains(messages, "/dev/RS232-5 write Err iwrite=-1"));
    EXPECT_TRUE(Contains(messages, "iwrite:-1 iread:0 Err!!!"));
    EXPECT_EQ(sys.TotalSleepUs(), 500000u);
}

TEST_F(SensorTest, ShortWriteIsASendErrorAndTheReplyStillJudged) {
    sys_.ShortWrite(1);
    Run("OK\r\n");
    EXPECT_EQ(result_, -1);
    EXPECT_EQ(entry_.cSta, STA_SEND_ERR | STA_RECV_ERR);
    EXPECT_EQ(fixture_.Sent(*port_), "");
    ASSERT_EQ(sys_.Writes().size(), 1u);
    EXPECT_EQ(sys_.Writes()[0].bytes, "AT");
    const auto messages = log_.Messages();
    EXPECT_TRUE(Contains(messages, PathOf() + " write Err iwrite=1"));
    EXPECT_TRUE(Contains(messages, "Port:" + PathOf() + " Test Err !!!"));
}

}  // namespace
