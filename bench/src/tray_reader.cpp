#include "tray_reader.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include "text_util.h"

namespace bench {

namespace {
constexpr size_t kLargestMessage = 8192;

struct QueueMessage {
    long type;
    char payload[kLargestMessage];
};

int32_t LittleEndianInt(const std::string& bytes, size_t offset) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4; ++i)
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
    return static_cast<int32_t>(value);
}
}  // namespace

TrayReader::~TrayReader() { Stop(); }

bool TrayReader::Start(std::string& error) {
    m_queue = msgget(kTrayQueueKey, IPC_CREAT | 0666);
    if (m_queue < 0) {
        error = std::string("cannot create the tray message queue: ") + strerror(errno);
        return false;
    }
    m_thread = std::thread([this] { Loop(); });
    return true;
}

void TrayReader::Stop() {
    if (m_queue >= 0) msgctl(m_queue, IPC_RMID, nullptr);
    m_queue = -1;
    if (m_thread.joinable()) m_thread.join();
}

nlohmann::json TrayReader::Describe(long type, const std::string& payload) {
    nlohmann::json entry = {
        {"type", type}, {"len", payload.size()}, {"payload_hex", HexBytes(payload)}};
    if (payload.size() >= 8) {
        entry["int0"] = LittleEndianInt(payload, 0);
        entry["int1"] = LittleEndianInt(payload, 4);
    }
    return entry;
}

void TrayReader::Loop() {
    int queue = m_queue;
    auto message = std::make_unique<QueueMessage>();
    for (;;) {
        ssize_t n = msgrcv(queue, message.get(), kLargestMessage, 0, MSG_NOERROR);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return;  // the queue was removed
        m_messages.Add(
            Describe(message->type, std::string(message->payload, static_cast<size_t>(n))));
    }
}

}  // namespace bench
