// What the fixture's serial ends saw and sent. Bytes are grouped into messages: a message ends
// when its port has been quiet for a while (50 ms), as the AT device ends a command.
#pragma once

#include <optional>
#include <string>

#include "event_list.h"

namespace bench {

inline constexpr double kMessageQuietMs = 50.0;

struct SerialMessage {
    double tMs = 0;  // run time of the first byte
    std::string bytes;
};

class MessageAssembler {
public:
    void Add(const std::string& bytes, double runMs, double monotonicMs);
    // The message, once the port has been quiet for kMessageQuietMs.
    std::optional<SerialMessage> TakeIfQuiet(double monotonicMs);
    // Whatever is collected, complete or not.
    std::optional<SerialMessage> TakeAll();
    // Monotonic time at which the message in progress completes; 0 when there is none.
    double Deadline() const;
    // Bytes of the message in progress.
    size_t Pending() const { return m_message.bytes.size(); }

private:
    SerialMessage m_message;
    double m_lastMonotonicMs = 0;
};

// Adds {"port", "dir", "t_ms", "len", "text", "hex"} to the transcript; `dir` is "rx" for bytes
// the tool wrote on the port, "tx" for bytes the fixture sent to the tool.
void RecordSerialMessage(EventList& transcript, const std::string& port, const char* dir,
                         const SerialMessage& message);

}  // namespace bench
