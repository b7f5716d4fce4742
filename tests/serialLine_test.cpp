#include "serialLine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "PtyPort.h"
#include "TempLog.h"

namespace {

// A termios with every flag set, so the tests see exactly which flags the tables clear.
termios AllSet() {
    termios opt;
    memset(&opt, 0xFF, sizeof opt);
    opt.c_cflag &= ~CBAUD;
    return opt;
}

termios AllClear() {
    termios opt;
    memset(&opt, 0, sizeof opt);
    return opt;
}

termios Applied(termios opt, int nSpeed, int nBits, char cParity, int nStop, char cFlow) {
    serial::ApplyLineOptions(opt, nSpeed, nBits, cParity, nStop, cFlow);
    return opt;
}

TEST(SetOptTable, SpeedsOfTheTableAndFallback) {
    const struct {
        int nSpeed;
        speed_t expected;
    } rows[] = {{600, B600},       {1200, B1200},     {2400, B2400},    {4800, B4800},
                {9600, B9600},     {19200, B19200},   {38400, B38400},  {57600, B57600},
                {115200, B115200}, {230400, B230400}, {300, B115200},   {1800, B115200},
                {0, B115200},      {-9600, B115200},  {460800, B115200}};
    for (const auto& row : rows) {
        termios opt = Applied(AllClear(), row.nSpeed, 8, 'N', 1, 'N');
        EXPECT_EQ(cfgetispeed(&opt), row.expected) << row.nSpeed;
        EXPECT_EQ(cfgetospeed(&opt), row.expected) << row.nSpeed;
    }
}

TEST(SetOptTable, DataBitsReplaceTheSizeField) {
    const struct {
        int nBits;
        tcflag_t expected;
    } rows[] = {{5, CS5}, {6, CS6}, {7, CS7}, {8, CS8}, {9, CS8}, {4, CS8}, {0, CS8}};
    for (const auto& row : rows) {
        EXPECT_EQ(Applied(AllSet(), 115200, row.nBits, 'N', 1, 'N').c_cflag & CSIZE, row.expected)
            << row.nBits;
        EXPECT_EQ(Applied(AllClear(), 115200, row.nBits, 'N', 1, 'N').c_cflag & CSIZE, row.expected)
            << row.nBits;
    }
}

TEST(SetOptTable, EvenAndOddParity) {
    for (char c : {'E', 'e'}) {
        termios set = Applied(AllSet(), 115200, 8, c, 1, 'N');
        EXPECT_TRUE(set.c_cflag & PARENB);
        EXPECT_FALSE(set.c_cflag & PARODD);
        EXPECT_TRUE(Applied(AllClear(), 115200, 8, c, 1, 'N').c_iflag & INPCK);
    }
    for (char c : {'O', 'o'}) {
        termios clear = Applied(AllClear(), 115200, 8, c, 1, 'N');
        EXPECT_TRUE(clear.c_cflag & PARENB);
        EXPECT_TRUE(clear.c_cflag & PARODD);
        EXPECT_TRUE(clear.c_iflag & INPCK);
    }
}

TEST(SetOptTable, SpaceParityAndStopBits) {
    for (char c : {'S', 's'}) {
        termios one = Applied(AllSet(), 115200, 8, c, 1, 'N');
        EXPECT_FALSE(one.c_cflag & PARENB);
        EXPECT_FALSE(one.c_cflag & CSTOPB);
        EXPECT_TRUE(one.c_iflag & INPCK);
        EXPECT_TRUE(one.c_cflag & PARODD);  // untouched
        // The stop bits come after the parity, so two stop bits survive "S".
        termios two = Applied(AllClear(), 115200, 8, c, 2, 'N');
        EXPECT_TRUE(two.c_cflag & CSTOPB);
        EXPECT_FALSE(two.c_cflag & PARENB);
        EXPECT_TRUE(two.c_iflag & INPCK);
    }
}

TEST(SetOptTable, NoParityForNAndAnyOtherLetter) {
    for (char c : {'N', 'n', 'x', '\0'}) {
        termios set = Applied(AllSet(), 115200, 8, c, 1, 'N');
        EXPECT_FALSE(set.c_cflag & PARENB) << c;
        EXPECT_TRUE(set.c_cflag & PARODD) << c;  // untouched
        EXPECT_FALSE(set.c_iflag & INPCK) << c;
    }
    for (int nStop : {1, 0, 3}) {
        EXPECT_FALSE(Applied(AllSet(), 115200, 8, 'N', nStop, 'N').c_cflag & CSTOPB) << nStop;
    }
}

TEST(SetOptTable, HardwareFlowKeepsLocalAndOutputFlags) {
    for (char c : {'H', 'h'}) {
        termios set = Applied(AllSet(), 115200, 8, 'N', 1, c);
        EXPECT_TRUE(Applied(AllClear(), 115200, 8, 'N', 1, c).c_cflag & CRTSCTS);
        EXPECT_EQ(set.c_iflag & (IXON | IXOFF | IXANY), 0u);
        EXPECT_EQ(set.c_iflag & (INLCR | IGNCR | ICRNL), INLCR | IGNCR | ICRNL);
        EXPECT_EQ(set.c_lflag, AllSet().c_lflag);  // canonical mode and echo stay
        EXPECT_EQ(set.c_oflag, AllSet().c_oflag & ~OPOST);
    }
}

TEST(SetOptTable, SoftwareFlowKeepsLocalFlags) {
    for (char c : {'S', 's'}) {
        termios clear = Applied(AllClear(), 115200, 8, 'N', 1, c);
        EXPECT_EQ(clear.c_iflag & (IXON | IXOFF | IXANY), IXON | IXOFF | IXANY);
        EXPECT_TRUE(Applied(AllSet(), 115200, 8, 'N', 1, c).c_lflag & ICANON);
        EXPECT_FALSE(Applied(AllSet(), 115200, 8, 'N', 1, c).c_cflag & CRTSCTS);
    }
}

TEST(SetOptTable, NoFlowMeansRawMode) {
    for (char c : {'N', 'n', 'q'}) {
        termios set = Applied(AllSet(), 115200, 8, 'N', 1, c);
        EXPECT_FALSE(set.c_cflag & CRTSCTS);
        EXPECT_EQ(set.c_iflag & (IXON | IXOFF | IXANY | INLCR | IGNCR | ICRNL), 0u);
        EXPECT_EQ(set.c_lflag & (ICANON | ECHO | ECHOE | ISIG), 0u);
        EXPECT_EQ(set.c_oflag & (ONLCR | OCRNL | OPOST), 0u);
        // Flags outside the tables keep the device's values.
        EXPECT_TRUE(set.c_lflag & IEXTEN);
        EXPECT_TRUE(set.c_iflag & IGNBRK);
        EXPECT_TRUE(set.c_oflag & ONOCR);
    }
}

TEST(SetOptTable, LineAlwaysEnabledWithReadTimer) {
    termios opt = Applied(AllClear(), 115200, 8, 'N', 1, 'N');
    EXPECT_EQ(opt.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    EXPECT_EQ(opt.c_cc[VTIME], 2);
    EXPECT_EQ(opt.c_cc[VMIN], 0);
    termios other = AllSet();
    other.c_cc[VEOF] = 4;
    termios applied = Applied(other, 9600, 7, 'E', 2, 'H');
    EXPECT_EQ(applied.c_cc[VEOF], 4);
    EXPECT_EQ(applied.c_cc[VTIME], 2);
    EXPECT_EQ(applied.c_cc[VMIN], 0);
}

// A device side of a pseudo-terminal configured as every caller does.
class SerialLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        port_ = std::make_unique<PtyPort>(dir_.Path() + "/RS232-1");
        fd_ = serial::OpenPort(port_->Path().c_str());
        ASSERT_GT(fd_, 0);
        ASSERT_EQ(set_opt(fd_, 115200, 8, 'n', 1, 'N'), 0);
    }
    void TearDown() override {
        if (fd_ > 0) close(fd_);
    }

    // Calls Read and measures how long it took, in seconds.
    int TimedRead(char* buf, int len, double& seconds) {
        auto start = std::chrono::steady_clock::now();
        int n = Read(fd_, buf, len);
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return n;
    }

    TempDir dir_;
    std::unique_ptr<PtyPort> port_;
    int fd_ = -1;
};

TEST_F(SerialLineTest, SetOptAppliesRawModeOnARealTerminal) {
    termios opt{};
    ASSERT_EQ(tcgetattr(port_->Slave(), &opt), 0);
    EXPECT_EQ(opt.c_lflag & (ICANON | ECHO | ECHOE | ISIG), 0u);
    EXPECT_EQ(opt.c_oflag & OPOST, 0u);
    EXPECT_EQ(opt.c_cc[VTIME], 2);
    EXPECT_EQ(opt.c_cc[VMIN], 0);
    EXPECT_EQ(cfgetospeed(&opt), B115200);
    EXPECT_EQ(fcntl(fd_, F_GETFL) & O_NONBLOCK, 0);  // blocking after the open
}

TEST_F(SerialLineTest, SetOptOnSomethingElseThanATerminalFails) {
    TempLog log;
    int fd = open("/dev/null", O_RDONLY);
    ASSERT_GT(fd, 0);
    EXPECT_EQ(set_opt(fd, 115200, 8, 'n', 1, 'N'), -1);
    close(fd);
    EXPECT_EQ(log.Messages(), std::vector<std::string>{"tcgetattr error"});
}

TEST_F(SerialLineTest, SilentLineGivesNothingAfterTwoQuietPeriods) {
    char buf[64] = {0};
    double seconds = 0;
    EXPECT_EQ(TimedRead(buf, 64, seconds), 0);
    EXPECT_NEAR(seconds, 0.4, 0.1);
}

TEST_F(SerialLineTest, OneBurstEndsAfterOneQuietPeriod) {
    const std::string msg(32, 'M');
    port_->Send(msg);
    char buf[256] = {0};
    double seconds = 0;
    ASSERT_EQ(TimedRead(buf, 256, seconds), 32);
    EXPECT_EQ(std::string(buf), msg);
    EXPECT_NEAR(seconds, 0.2, 0.08);
}

TEST_F(SerialLineTest, FullBufferReturnsWithoutWaitingForQuiet) {
    port_->Send("0123456789ABCDEF-and-more");
    char buf[17] = {0};
    double seconds = 0;
    ASSERT_EQ(TimedRead(buf, 16, seconds), 16);
    EXPECT_EQ(std::string(buf), "0123456789ABCDEF");
    EXPECT_LT(seconds, 0.12);
    // What did not fit stays on the line for the next read.
    char rest[64] = {0};
    EXPECT_EQ(Read(fd_, rest, 64), 9);
    EXPECT_EQ(std::string(rest), "-and-more");
}

TEST_F(SerialLineTest, LeadingZeroByteDroppedLaterOnesKept) {
    port_->Send(std::string("\0AB\0C", 5));
    char buf[16];
    memset(buf, 'x', sizeof buf);
    ASSERT_EQ(Read(fd_, buf, 16), 4);
    EXPECT_EQ(std::string(buf, 5), std::string("AB\0Cx", 5));  // not terminated by Read
}

TEST_F(SerialLineTest, BurstsWithShortGapsAreCollectedWhole) {
    std::thread writer([this] {
        port_->Send("ABCD");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port_->Send("EFGH");
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        port_->Send("IJ");
    });
    char buf[64] = {0};
    int n = Read(fd_, buf, 64);
    writer.join();
    EXPECT_EQ(n, 10);
    EXPECT_EQ(std::string(buf), "ABCDEFGHIJ");
}

TEST_F(SerialLineTest, BurstAfterALongGapIsNotPartOfTheReply) {
    std::thread writer([this] {
        port_->Send("ONE");
        std::this_thread::sleep_for(std::chrono::milliseconds(450));
        port_->Send("TWO");
    });
    char buf[64] = {0};
    EXPECT_EQ(Read(fd_, buf, 64), 3);
    writer.join();
    EXPECT_EQ(std::string(buf), "ONE");
}

TEST(SerialRead, NoDescriptorIsRefusedAtOnce) {
    char buf[8] = {0};
    EXPECT_EQ(Read(0, buf, 8), -1);
    EXPECT_EQ(Read(-1, buf, 8), -1);
}

TEST(SerialOpen, MissingDeviceGivesNoDescriptor) {
    TempDir dir;
    EXPECT_EQ(serial::OpenPort((dir.Path() + "/RS232-9").c_str()), -1);
}

}  // namespace
