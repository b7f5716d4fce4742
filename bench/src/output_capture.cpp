#include "output_capture.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace bench {

OutputCapture::OutputCapture() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) == 0) {
        m_readFd = fds[0];
        m_writeFd = fds[1];
    }
}

OutputCapture::~OutputCapture() {
    m_worker.Stop();
    CloseWriteEnd();
    if (m_readFd >= 0) close(m_readFd);
}

void OutputCapture::CloseWriteEnd() {
    if (m_writeFd >= 0) close(m_writeFd);
    m_writeFd = -1;
}

bool OutputCapture::Start() {
    if (m_readFd < 0) return false;
    m_worker.Start([this] { Loop(); });
    return true;
}

void OutputCapture::Finish(int graceMs) {
    for (int waited = 0; waited < graceMs; waited += 10) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_ended) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_worker.Stop();
}

std::string OutputCapture::Text() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_text;
}

void OutputCapture::Loop() {
    struct pollfd fds[2] = {{m_readFd, POLLIN, 0}, {m_worker.StopFd(), POLLIN, 0}};
    char buffer[4096];
    for (;;) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) return;
        ssize_t n = read(m_readFd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text.append(buffer, static_cast<size_t>(n));
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ended = true;
}

}  // namespace bench
