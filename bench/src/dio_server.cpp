#include "dio_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "vxdio_wire.h"

namespace bench {

namespace {
constexpr int kClientTimeoutMs = 2000;

bool ReadAll(int fd, void* data, size_t size) {
    char* bytes = static_cast<char*>(data);
    size_t done = 0;
    while (done < size) {
        struct pollfd pfd = {fd, POLLIN, 0};
        if (poll(&pfd, 1, kClientTimeoutMs) <= 0) return false;
        ssize_t n = read(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::string Hex2(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "0x%02X", value);
    return text;
}
}  // namespace

DioServer::DioServer(DioModel& model, EventList& timeline) : m_model(model), m_timeline(timeline) {}

DioServer::~DioServer() {
    Stop();
    if (m_fifoFd >= 0) close(m_fifoFd);
    if (m_listenFd >= 0) close(m_listenFd);
}

bool DioServer::Create(const std::string& fifoPath, const std::string& socketPath,
                       std::string& error) {
    if (!fifoPath.empty()) {
        if (mkfifo(fifoPath.c_str(), 0666) != 0 || chmod(fifoPath.c_str(), 0666) != 0) {
            error = "cannot create the DIO FIFO " + fifoPath + ": " + strerror(errno);
            return false;
        }
        // Held open for reading and writing, so writers never block and reads never see EOF.
        m_fifoFd = open(fifoPath.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
        if (m_fifoFd < 0) {
            error = "cannot open the DIO FIFO " + fifoPath + ": " + strerror(errno);
            return false;
        }
    }
    struct sockaddr_un addr {};
    if (socketPath.size() >= sizeof addr.sun_path) {
        error = "socket path too long: " + socketPath;
        return false;
    }
    addr.sun_family = AF_UNIX;
    strncpy(addr.sun_path, socketPath.c_str(), sizeof addr.sun_path - 1);
    m_listenFd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0 || bind(m_listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        chmod(socketPath.c_str(), 0666) != 0 || listen(m_listenFd, 16) != 0) {
        error = "cannot serve the DIO socket " + socketPath + ": " + strerror(errno);
        return false;
    }
    return true;
}

void DioServer::Start() {
    if (m_fifoFd >= 0) m_fifoWorker.Start([this] { FifoLoop(); });
    if (m_listenFd >= 0) m_socketWorker.Start([this] { SocketLoop(); });
}

void DioServer::Stop() {
    m_fifoWorker.Stop();
    m_socketWorker.Stop();
    if (m_fifoFd >= 0) DrainFifo();
    if (!m_pending.empty()) HandleText(m_pending);  // a last command without its line end
    m_pending.clear();
}

DioAnswer DioServer::Serve(uint32_t code, uint32_t arg, int tid) {
    DioAnswer answer = m_model.Request(code, arg);
    nlohmann::json entry = {
        {"kind", "ioctl"}, {"code", code},         {"name", DioModel::RequestName(code)},
        {"arg", arg},      {"arg_hex", Hex2(arg)}, {"answer", answer.value},
        {"tid", tid}};
    if (code == kReadDi) entry["port"] = DioModel::PortName(static_cast<uint8_t>(arg), false);
    if (code == kSetDoOff || code == kSetDoOn || code == kReadDo)
        entry["port"] = DioModel::PortName(static_cast<uint8_t>(arg), true);
    if (answer.value < 0) entry["errno"] = answer.err;
    m_timeline.Add(std::move(entry));
    return answer;
}

void DioServer::HandleText(const std::string& line) {
    bool applied = m_model.ApplyText(line);
    m_timeline.Add({{"kind", "text"}, {"text", line}, {"applied", applied}});
}

void DioServer::FifoLoop() {
    struct pollfd fds[2] = {{m_fifoFd, POLLIN, 0}, {m_fifoWorker.StopFd(), POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) return;
        DrainFifo();
    }
}

void DioServer::DrainFifo() {
    char buffer[4096];
    ssize_t n;
    while ((n = read(m_fifoFd, buffer, sizeof buffer)) > 0) {
        m_pending.append(buffer, static_cast<size_t>(n));
        size_t end;
        while ((end = m_pending.find('\n')) != std::string::npos) {
            HandleText(m_pending.substr(0, end));
            m_pending.erase(0, end + 1);
        }
    }
}

void DioServer::SocketLoop() {
    struct pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_socketWorker.StopFd(), POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0 && errno != EINTR) return;
        if (fds[1].revents & POLLIN) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int client = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        ServeClient(client);
        close(client);
    }
}

void DioServer::ServeClient(int client) {
    vxdio_wire_request request{};
    if (!ReadAll(client, &request, sizeof request) || request.magic != VXDIO_WIRE_MAGIC) return;
    DioAnswer answer = Serve(request.code, request.arg, request.tid);
    vxdio_wire_answer wire{answer.value, answer.err};
    ssize_t sent = send(client, &wire, sizeof wire, MSG_NOSIGNAL);
    (void)sent;
}

}  // namespace bench
