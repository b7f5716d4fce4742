// Stands in for the tray indicator process: reads the System V message queue with key 0x9000
// (inside the run's IPC namespace) and records every message.
#pragma once

#include <string>
#include <thread>

#include "event_list.h"

namespace bench {

inline constexpr int kTrayQueueKey = 0x9000;
inline constexpr size_t kTrayPayloadSize = 76;

class TrayReader {
public:
    explicit TrayReader(EventList& messages) : m_messages(messages) {}
    ~TrayReader();

    bool Start(std::string& error);
    // Removes the queue, which ends the reader.
    void Stop();

    // The record entry of one message: type, length, payload hex and its first two int32.
    static nlohmann::json Describe(long type, const std::string& payload);

private:
    void Loop();

    EventList& m_messages;
    int m_queue = -1;
    std::thread m_thread;
};

}  // namespace bench
