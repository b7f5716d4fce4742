#include "worker.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>

namespace bench {

Worker::Worker() : m_stopFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

Worker::~Worker() {
    Stop();
    if (m_stopFd >= 0) close(m_stopFd);
}

void Worker::Start(std::function<void()> loop) { m_thread = std::thread(std::move(loop)); }

void Worker::Stop() {
    if (!m_thread.joinable()) return;
    uint64_t one = 1;
    ssize_t written = write(m_stopFd, &one, sizeof one);
    (void)written;
    m_thread.join();
}

}  // namespace bench
