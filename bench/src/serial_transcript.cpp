#include "serial_transcript.h"

#include "text_util.h"

namespace bench {

void MessageAssembler::Add(const std::string& bytes, double runMs, double monotonicMs) {
    if (bytes.empty()) return;
    if (m_message.bytes.empty()) m_message.tMs = runMs;
    m_message.bytes += bytes;
    m_lastMonotonicMs = monotonicMs;
}

std::optional<SerialMessage> MessageAssembler::TakeIfQuiet(double monotonicMs) {
    if (m_message.bytes.empty() || monotonicMs < Deadline()) return std::nullopt;
    return TakeAll();
}

std::optional<SerialMessage> MessageAssembler::TakeAll() {
    if (m_message.bytes.empty()) return std::nullopt;
    SerialMessage done = m_message;
    m_message = SerialMessage{};
    return done;
}

double MessageAssembler::Deadline() const {
    return m_message.bytes.empty() ? 0 : m_lastMonotonicMs + kMessageQuietMs;
}

void RecordSerialMessage(EventList& transcript, const std::string& port, const char* dir,
                         const SerialMessage& message) {
    nlohmann::json entry = {{"port", port},
                            {"dir", dir},
                            {"len", message.bytes.size()},
                            {"text", EscapeBytes(message.bytes)},
                            {"hex", HexBytes(message.bytes)},
                            {"t_ms", message.tMs}};
    transcript.Add(std::move(entry));
}

}  // namespace bench
