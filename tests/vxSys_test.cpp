#include "vxSys.h"

#include <fcntl.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "FakeDio.h"
#include "FakeSys.h"
#include "TempLog.h"
#include "indications.h"
#include "vxDioIoctl.h"

namespace {

// The failure messages `action` reports on this thread, kept from the running test.
std::vector<std::string> FailuresOf(const std::function<void()>& action) {
    ::testing::TestPartResultArray results;
    {
        ::testing::ScopedFakeTestPartResultReporter reporter(
            ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &results);
        action();
    }
    std::vector<std::string> out;
    for (int i = 0; i < results.size(); ++i) {
        std::string message = results.GetTestPartResult(i).message();
        const std::string head = "Failed\n";  // what ADD_FAILURE puts before the text
        if (message.rfind(head, 0) == 0) message.erase(0, head.size());
        out.push_back(message);
    }
    return out;
}

using Lines = std::vector<std::string>;

TEST(RefusingSeam, ToolRoutineWithoutAFakeFailsNamingTheCommand) {
    EXPECT_NONFATAL_FAILURE(TestEndTips(1), "unexpected System(\"echo SOFF=4,5 > /dev/vxdio\")");
}

TEST(RefusingSeam, EveryShellAndClockCallIsNamedAndAnswersFailure) {
    int status = 0;
    FILE* pipe = reinterpret_cast<FILE*>(1);
    EXPECT_EQ(FailuresOf([&] { status = Sys().System("killall duRurID"); }),
              Lines{"unexpected System(\"killall duRurID\")"});
    EXPECT_EQ(status, -1);
    EXPECT_EQ(FailuresOf([&] { pipe = Sys().Popen("df -h", "r"); }),
              Lines{"unexpected Popen(\"df -h\", \"r\")"});
    EXPECT_EQ(pipe, nullptr);
    EXPECT_EQ(FailuresOf([] { Sys().Usleep(500000); }), Lines{"unexpected Usleep(500000)"});
    EXPECT_EQ(FailuresOf([] { Sys().Sleep(1); }), Lines{"unexpected Sleep(1)"});
}

TEST(RefusingSeam, WriteAndTrayQueueReachNothing) {
    int ends[2];
    ASSERT_EQ(pipe2(ends, O_NONBLOCK), 0);
    ssize_t written = 0;
    EXPECT_EQ(FailuresOf([&] { written = Sys().Write(ends[1], "AT", 2); }),
              Lines{"unexpected Write(" + std::to_string(ends[1]) + ", 2 bytes)"});
    EXPECT_EQ(written, -1);
    char got = 0;
    EXPECT_EQ(read(ends[0], &got, 1), -1);  // the pipe stayed empty
    close(ends[0]);
    close(ends[1]);
    int id = 0;
    EXPECT_EQ(FailuresOf([&] { id = Sys().Msgget(0x900c, 01666); }),
              Lines{"unexpected Msgget(36876, 01666)"});
    EXPECT_EQ(id, -1);
    const long msg[2] = {1, 0};
    EXPECT_EQ(FailuresOf([&] { id = Sys().Msgsnd(7, msg, sizeof(long), 0); }),
              Lines{"unexpected Msgsnd(7, " + std::to_string(sizeof(long)) + " bytes)"});
}

TEST(RefusingSeam, DioRequestWithoutAFakeDriverIsRefused) {
    char path[] = "/tmp/devuze-refuse-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    TempLog log;
    ComDioIoctl dio;
    ASSERT_EQ(dio.init(path, 1), 0);
    int answer = 0;
    const Lines failures = FailuresOf([&] { answer = dio.SetDOOutput(0x03); });
    dio.uninit();
    unlink(path);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].rfind("unexpected ioctl(", 0), 0u) << failures[0];
    EXPECT_NE(failures[0].find(", 1, 3)"), std::string::npos) << failures[0];
    EXPECT_EQ(answer, -1);
}

TEST(RefusingSeam, FakesPutTheRefusingSeamsBack) {
    {
        FakeSys outer;
        {
            FakeSys inner;
            Sys().Usleep(1);
            EXPECT_EQ(inner.TotalSleepUs(), 1u);
        }
        Sys().Usleep(2);
        EXPECT_EQ(outer.TotalSleepUs(), 2u);
        FakeDio dev;
    }
    EXPECT_NONFATAL_FAILURE(Sys().Usleep(3), "unexpected Usleep(3)");
}

TEST(FakeSysFailures, ChosenCallsFailOnPurpose) {
    FakeSys sys;
    sys.FailSystem("false", 256);
    EXPECT_EQ(Sys().System("false"), 256);
    EXPECT_EQ(Sys().System("true"), 0);
    sys.ShortWrite(-1, EIO);
    errno = 0;
    EXPECT_EQ(Sys().Write(-1, "AT", 2), -1);
    EXPECT_EQ(errno, EIO);
    ASSERT_EQ(sys.Writes().size(), 1u);
    EXPECT_EQ(sys.Writes()[0].bytes, "AT");
    sys.FailMsgget(ENOSPC);
    EXPECT_EQ(Sys().Msgget(0x900c, 0), -1);
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(sys.QueueKeys(), std::vector<key_t>{0x900c});
}

}  // namespace
