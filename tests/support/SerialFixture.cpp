#include "SerialFixture.h"

#include <poll.h>

SerialFixture::~SerialFixture() { Stop(); }

SerialFixture::Line& SerialFixture::LineOf(PtyPort& port) {
    Line& line = lines_[port.Master()];
    line.port = &port;
    return line;
}

void SerialFixture::Wire(PtyPort& from, const std::vector<PtyPort*>& to,
                         const std::string& trailer) {
    Line& line = LineOf(from);
    line.to = to;
    line.trailer = trailer;
}

void SerialFixture::Answer(PtyPort& port, const std::string& reply) { LineOf(port).reply = reply; }

void SerialFixture::Listen(PtyPort& port) { LineOf(port); }

void SerialFixture::Start() {
    stop_ = false;
    thread_ = std::thread([this] { Run(); });
}

void SerialFixture::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

std::string SerialFixture::Sent(const PtyPort& port) const {
    auto found = lines_.find(port.Master());
    return found == lines_.end() ? std::string() : found->second.sent;
}

void SerialFixture::Run() {
    std::vector<pollfd> fds;
    for (const auto& entry : lines_) fds.push_back({entry.first, POLLIN, 0});
    while (!stop_) {
        if (poll(fds.data(), fds.size(), 10) <= 0) continue;
        for (const auto& p : fds) {
            if ((p.revents & POLLIN) != 0) Carry(lines_[p.fd]);
        }
    }
}

void SerialFixture::Carry(Line& line) {
    const std::string burst = line.port->Drain();
    if (burst.empty()) return;
    line.sent += burst;
    for (PtyPort* to : line.to) to->Send(burst + line.trailer);
    if (!line.reply.empty()) line.port->Send(line.reply);
}
