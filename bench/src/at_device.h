// The fixture's AT-command device: it takes each message the tool sends ("AT", "AT+OK",
// "AT+ERR", sent without a line end, so a message ends on a short silence) and answers with
// the scenario's reply, which may be empty (a silent device).
#pragma once

#include <string>
#include <vector>

namespace bench {

class AtDevice {
public:
    explicit AtDevice(std::string reply) : m_reply(std::move(reply)) {}

    // The bytes to send back for one received message.
    std::string Answer(const std::string& message);
    const std::vector<std::string>& Received() const { return m_received; }

private:
    std::string m_reply;
    std::vector<std::string> m_received;
};

}  // namespace bench
