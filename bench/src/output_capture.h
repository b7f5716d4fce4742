// Collects what the tool writes to a pipe (its stdout or stderr) on a thread of its own.
#pragma once

#include <mutex>
#include <string>

#include "worker.h"

namespace bench {

class OutputCapture {
public:
    OutputCapture();
    ~OutputCapture();

    // The end the tool writes to; closed in the bench after the tool has started.
    int WriteEnd() const { return m_writeFd; }
    void CloseWriteEnd();
    bool Start();
    // Waits up to `graceMs` for the end of the output (processes the tool left behind may
    // still hold the pipe), then stops.
    void Finish(int graceMs);
    std::string Text() const;

private:
    void Loop();

    int m_readFd = -1;
    int m_writeFd = -1;
    bool m_ended = false;
    mutable std::mutex m_mutex;
    std::string m_text;
    Worker m_worker;
};

}  // namespace bench
