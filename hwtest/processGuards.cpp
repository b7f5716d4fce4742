#include "processGuards.h"

#include <fcntl.h>
#include <unistd.h>

#include <csignal>

namespace {
void OnBrokenPipe(int) {}
}  // namespace

void OpenMissingStandardDescriptors(const char* nullDevice) {
    // open hands out the lowest free descriptor: repeat until one past standard error comes back.
    for (;;) {
        const int fd = open(nullDevice, O_RDWR);
        if (fd < 0) return;
        if (fd > STDERR_FILENO) {
            close(fd);
            return;
        }
    }
}

void SurviveBrokenPipe() {
    struct sigaction action {};
    action.sa_handler = OnBrokenPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);
}
