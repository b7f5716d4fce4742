#include "tipsMessage.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <string>

#include "FakeSys.h"
#include "PtyPort.h"
#include "SerialFixture.h"
#include "TempLog.h"

namespace {

// The tips port on a pseudo-terminal, the fixture's AT device answering `reply`; the standard
// output of the call is captured.
class TipsTest : public ::testing::Test {
protected:
    int Send(int iTestSta, const std::string& reply) {
        port_ = std::make_unique<PtyPort>(Path());
        fixture_.Answer(*port_, reply);
        fixture_.Start();
        testing::internal::CaptureStdout();
        const int result = MsgToTipsAt(Path().c_str(), iTestSta);
        out_ = testing::internal::GetCapturedStdout();
        fixture_.Stop();
        return result;
    }
    std::string Path() const { return dir_.Path() + "/RS232-5"; }
    std::string Sent() const { return fixture_.Sent(*port_); }

    TempDir dir_;
    TempLog log_;
    FakeSys sys_;
    SerialFixture fixture_;
    std::unique_ptr<PtyPort> port_;
    std::string out_;
};

TEST_F(TipsTest, PassedRunSendsOkAndIsAcknowledged) {
    EXPECT_EQ(Send(0, "OK\r\n"), 0);
    EXPECT_EQ(Sent(), "AT+OK");
    EXPECT_EQ(out_, Path() + " iwrite:5 write:AT+OK " + Path() + " read:OK\r\n");
    ASSERT_EQ(sys_.Calls().size(), 3u);
    // Waits of a whole second go through sleep, since usleep may refuse them.
    EXPECT_EQ(sys_.Calls()[0].kind, FakeSys::Call::kSleep);
    EXPECT_EQ(sys_.Calls()[0].usec, 1000000u);
    EXPECT_EQ(sys_.Calls()[1].kind, FakeSys::Call::kSleep);
    EXPECT_EQ(sys_.Calls()[1].usec, 1000000u);
    EXPECT_EQ(sys_.Calls()[2].kind, FakeSys::Call::kUsleep);
    EXPECT_EQ(sys_.Calls()[2].usec, 500000u);
    EXPECT_EQ(log_.Text(), "");  // nothing of it goes to the trace log
}

TEST_F(TipsTest, FailedVerdictSendsErr) {
    EXPECT_EQ(Send(-1, "OK"), 0);
    EXPECT_EQ(Sent(), "AT+ERR");
    EXPECT_EQ(out_, Path() + " iwrite:6 write:AT+ERR " + Path() + " read:OK");
}

TEST_F(TipsTest, SetUpFailureVerdictSendsErrToo) {
    Send(-2, "");
    EXPECT_EQ(Sent(), "AT+ERR");
}

TEST_F(TipsTest, SilentDeviceIsReported) {
    EXPECT_EQ(Send(0, ""), -1);
    EXPECT_EQ(Sent(), "AT+OK");
    EXPECT_EQ(out_, Path() + " iwrite:5 write:AT+OK iwrite:5 iread:0 Err!!!");
}

TEST_F(TipsTest, AnswerWithoutOkIsReported) {
    EXPECT_EQ(Send(-1, "ERROR"), -1);
    EXPECT_EQ(out_, Path() + " iwrite:6 write:AT+ERR " + Path() + " read:ERROR" + Path() +
                        " read:ERROR Err!!!");
}

TEST_F(TipsTest, FullReplyIsPrintedWholeAndNotTakenAsAFormat) {
    const std::string reply = std::string(60, 'y') + "%s%n";
    EXPECT_EQ(Send(0, reply), -1);
    EXPECT_EQ(out_, Path() + " iwrite:5 write:AT+OK " + Path() + " read:" + reply + Path() +
                        " read:" + reply + " Err!!!");
}

TEST_F(TipsTest, AbsentPortIsReportedAndNothingSent) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(MsgToTipsAt(Path().c_str(), 0), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "open Port:" + Path() + " Err!!!");
    EXPECT_EQ(sys_.TotalSleepUs(), 2000000u);
}

TEST_F(TipsTest, FailedWriteIsReportedWithoutWaitingForAnAnswer) {
    sys_.ShortWrite(-1, EIO);
    EXPECT_EQ(Send(0, "OK\r\n"), -1);
    EXPECT_EQ(Sent(), "");
    EXPECT_EQ(out_, Path() + " write Err iwrite=-1");
    EXPECT_EQ(sys_.TotalSleepUs(), 2000000u);
}

TEST_F(TipsTest, ShortWriteOfTheVerdictIsReported) {
    sys_.ShortWrite(3);
    EXPECT_EQ(Send(-1, "OK\r\n"), -1);
    ASSERT_EQ(sys_.Writes().size(), 1u);
    EXPECT_EQ(sys_.Writes()[0].bytes, "AT+ERR");
    EXPECT_EQ(out_, Path() + " write Err iwrite=3");
}

}  // namespace
