#include "serial_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "run_clock.h"
#include "text_util.h"

namespace bench {

namespace {
constexpr int kIdlePollMs = 1000;

bool MakeRaw(int fd) {
    struct termios tio {};
    if (tcgetattr(fd, &tio) != 0) return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

std::string Errno(const std::string& what) { return what + ": " + strerror(errno); }
}  // namespace

SerialFixture::SerialFixture(const SerialSetup& setup, EventList& transcript)
    : m_setup(setup), m_transcript(transcript), m_at(setup.atReply) {}

SerialFixture::~SerialFixture() {
    Stop();
    for (auto& port : m_ports) {
        if (port->master >= 0) close(port->master);
        if (port->slave >= 0) close(port->slave);
    }
}

bool SerialFixture::Create(const std::string& devDir, std::string& error) {
    for (int n = 1; n <= m_setup.rs232Count; ++n) {
        if (m_setup.missing.count(n)) continue;
        if (!CreatePort(devDir, "RS232-" + std::to_string(n), n, error)) return false;
    }
    for (int n = 1; n <= m_setup.rs485Count; ++n) {
        if (!CreatePort(devDir, "RS485-" + std::to_string(n), 0, error)) return false;
    }
    return true;
}

bool SerialFixture::CreatePort(const std::string& devDir, const std::string& name, int number,
                               std::string& error) {
    auto port = std::make_unique<Port>();
    port->name = name;
    port->number = number;
    std::string ptmx = JoinPath(devDir, "pts/ptmx");
    port->master = open(ptmx.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    int unlock = 0;
    if (port->master < 0 || ioctl(port->master, TIOCSPTLCK, &unlock) != 0 ||
        ioctl(port->master, TIOCGPTN, &port->pts) != 0) {
        error = Errno("cannot create a pseudo-terminal from " + ptmx);
        return false;
    }
    std::string slave = JoinPath(devDir, "pts/" + std::to_string(port->pts));
    port->slave = open(slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (port->slave < 0 || !MakeRaw(port->slave)) {
        error = Errno("cannot set up the pseudo-terminal " + slave);
        return false;
    }
    std::string link = JoinPath(devDir, name);
    if (symlink(("pts/" + std::to_string(port->pts)).c_str(), link.c_str()) != 0) {
        error = Errno("cannot create " + link);
        return false;
    }
    m_ports.push_back(std::move(port));
    return true;
}

void SerialFixture::Start() {
    if (!m_ports.empty()) m_worker.Start([this] { Loop(); });
}

void SerialFixture::Stop() {
    m_worker.Stop();
    double runMs = Clock().SinceToolStartMs();
    double monoMs = RunClock::MonotonicMs();
    for (auto& port : m_ports) ReadMaster(*port, runMs, monoMs);
    for (auto& port : m_ports) {
        if (auto message = port->fromTool.TakeAll())
            RecordSerialMessage(m_transcript, "/dev/" + port->name, "rx", *message);
        if (auto message = port->toTool.TakeAll())
            RecordSerialMessage(m_transcript, "/dev/" + port->name, "tx", *message);
    }
}

std::map<std::string, std::string> SerialFixture::Nodes() const {
    std::map<std::string, std::string> nodes;
    for (const auto& port : m_ports) nodes[port->name] = "pts/" + std::to_string(port->pts);
    return nodes;
}

void SerialFixture::Loop() {
    std::vector<struct pollfd> fds;
    for (const auto& port : m_ports) fds.push_back({port->master, POLLIN, 0});
    fds.push_back({m_worker.StopFd(), POLLIN, 0});
    for (;;) {
        int ready = poll(fds.data(), fds.size(), PollTimeoutMs(RunClock::MonotonicMs()));
        if (ready < 0 && errno != EINTR) return;
        if (fds.back().revents & POLLIN) return;
        double runMs = Clock().SinceToolStartMs();
        double monoMs = RunClock::MonotonicMs();
        for (size_t i = 0; i < m_ports.size(); ++i) {
            if (fds[i].revents & POLLIN) ReadMaster(*m_ports[i], runMs, monoMs);
        }
        FlushQuiet(runMs, monoMs);
    }
}

void SerialFixture::ReadMaster(Port& port, double runMs, double monoMs) {
    char buffer[4096];
    ssize_t n;
    while ((n = read(port.master, buffer, sizeof buffer)) > 0) {
        std::string bytes(buffer, static_cast<size_t>(n));
        port.fromTool.Add(bytes, runMs, monoMs);
        Route(port, bytes, runMs, monoMs);
    }
}

void SerialFixture::Route(Port& from, std::string bytes, double runMs, double monoMs) {
    if (from.number == 0 || from.number == m_setup.atPort) return;
    auto corrupt = m_setup.corruptByte.find(from.number);
    if (corrupt != m_setup.corruptByte.end()) {
        size_t index = static_cast<size_t>(corrupt->second);
        if (index >= from.burstBytes && index < from.burstBytes + bytes.size())
            bytes[index - from.burstBytes] ^= 0x01;
    }
    from.burstBytes += bytes.size();
    int partner = PartnerOf(from.number);
    Port* to = partner > 0 ? FindByNumber(partner) : nullptr;
    bool cut = m_setup.cut.count(from.number) || m_setup.cut.count(partner);
    if (to != nullptr && !cut && partner != m_setup.atPort) SendToTool(*to, bytes, runMs, monoMs);
    if (m_setup.selfHearing.count(from.number)) SendToTool(from, bytes, runMs, monoMs);
}

void SerialFixture::SendToTool(Port& port, const std::string& bytes, double runMs, double monoMs) {
    ssize_t written = write(port.master, bytes.data(), bytes.size());
    if (written > 0) port.toTool.Add(bytes.substr(0, static_cast<size_t>(written)), runMs, monoMs);
}

void SerialFixture::FlushQuiet(double runMs, double monoMs) {
    for (auto& port : m_ports) {
        if (auto message = port->fromTool.TakeIfQuiet(monoMs)) {
            port->burstBytes = 0;
            RecordSerialMessage(m_transcript, "/dev/" + port->name, "rx", *message);
            if (port->number != 0 && port->number == m_setup.atPort) {
                std::string reply = m_at.Answer(message->bytes);
                if (!reply.empty()) SendToTool(*port, reply, runMs, monoMs);
            }
        }
        if (auto message = port->toTool.TakeIfQuiet(monoMs))
            RecordSerialMessage(m_transcript, "/dev/" + port->name, "tx", *message);
    }
}

int SerialFixture::PollTimeoutMs(double monoMs) const {
    double next = 0;
    for (const auto& port : m_ports) {
        for (double deadline : {port->fromTool.Deadline(), port->toTool.Deadline()}) {
            if (deadline > 0 && (next == 0 || deadline < next)) next = deadline;
        }
    }
    if (next == 0) return kIdlePollMs;
    return std::clamp(static_cast<int>(next - monoMs) + 1, 1, kIdlePollMs);
}

SerialFixture::Port* SerialFixture::FindByNumber(int number) {
    for (auto& port : m_ports) {
        if (port->number == number) return port.get();
    }
    return nullptr;
}

int SerialFixture::PartnerOf(int number) const {
    for (const auto& [a, b] : m_setup.pairs) {
        if (a == number) return b;
        if (b == number) return a;
    }
    return 0;
}

}  // namespace bench
