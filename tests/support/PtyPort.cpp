#include "PtyPort.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

PtyPort::PtyPort(const std::string& linkPath) : link_(linkPath) {
    char name[256] = {0};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    if (symlink(name, link_.c_str()) != 0) throw std::runtime_error("symlink failed: " + link_);
}

PtyPort::~PtyPort() {
    unlink(link_.c_str());
    close(master_);
    close(slave_);
}

void PtyPort::Send(const std::string& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
}

std::string PtyPort::Drain() const {
    std::string out;
    char chunk[4096];
    ssize_t n;
    while ((n = read(master_, chunk, sizeof chunk)) > 0) out.append(chunk, static_cast<size_t>(n));
    return out;
}

TempDir::TempDir() {
    char tmpl[] = "/tmp/devuze-serial-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}
