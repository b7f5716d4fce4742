#include "processGuards.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {
// Runs `body` in a child process and returns its exit status (-1 when it did not exit).
int InChild(const std::function<int()>& body) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) _exit(body());
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

bool IsOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }

// Closes `closed` (a bit per descriptor 0..2), opens the missing ones and checks that all three
// are open and that nothing else was left open. 0 when all holds.
int CheckWithClosed(unsigned closed) {
    const int firstFree = open("/dev/null", O_RDONLY);
    close(firstFree);
    for (int fd = 0; fd <= 2; ++fd) {
        if ((closed & (1u << fd)) != 0) close(fd);
    }
    OpenMissingStandardDescriptors("/dev/null");
    for (int fd = 0; fd <= 2; ++fd) {
        if (!IsOpen(fd)) return 10 + fd;
    }
    const int next = open("/dev/null", O_RDONLY);
    return next == firstFree ? 0 : 20;
}
}  // namespace

TEST(StandardDescriptors, EveryClosedCombinationEndsWithAllThreeOpenAndNoneExtra) {
    for (unsigned closed = 0; closed < 8; ++closed) {
        EXPECT_EQ(0, InChild([closed] { return CheckWithClosed(closed); })) << "closed " << closed;
    }
}

TEST(StandardDescriptors, MissingNullDeviceLeavesDescriptorsAlone) {
    EXPECT_EQ(0, InChild([] {
                  close(STDIN_FILENO);
                  OpenMissingStandardDescriptors("/nonexistent-devuze/null");
                  return IsOpen(STDIN_FILENO) ? 1 : 0;
              }));
}

TEST(BrokenPipe, WriteFailsInsteadOfEndingTheProcessAndShellsKeepTheDefault) {
    EXPECT_EQ(0, InChild([] {
                  SurviveBrokenPipe();
                  int ends[2];
                  if (pipe(ends) != 0) return 1;
                  close(ends[0]);
                  if (write(ends[1], "x", 1) != -1 || errno != EPIPE) return 2;
                  // A shell command sending itself SIGPIPE still dies of it.
                  int status = system("kill -PIPE $$");
                  return WIFSIGNALED(status) && WTERMSIG(status) == SIGPIPE ? 0 : 3;
              }));
}
