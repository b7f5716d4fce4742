#include "FakeDio.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include "vxDioIoctl.h"

FakeDio::FakeDio() : replaced_(&DioDriver()) {
    char tmpl[] = "/tmp/devuze-dio-XXXXXX";
    int fd = mkstemp(tmpl);
    if (fd >= 0) close(fd);
    path_ = tmpl;
    SetDioDriver(this);
}

FakeDio::~FakeDio() {
    SetDioDriver(replaced_);
    unlink(path_.c_str());
}

void FakeDio::SetAnswer(unsigned long code, unsigned long arg, int answer) {
    answers_[{code, arg}] = answer;
}

std::vector<unsigned long> FakeDio::ArgsOf(unsigned long code) const {
    std::vector<unsigned long> out;
    for (const auto& r : requests_) {
        if (r.first == code) out.push_back(r.second);
    }
    return out;
}

bool FakeDio::LastFdOpen() const { return lastFd_ >= 0 && fcntl(lastFd_, F_GETFD) != -1; }

int FakeDio::Ioctl(int fd, unsigned long code, unsigned long arg) {
    lastFd_ = fd;
    requests_.emplace_back(code, arg);
    char event[32];
    snprintf(event, sizeof event, "%lu:0x%02lX", code, arg);
    timeline_.push_back(event);
    return Answer(code, arg);
}

int FakeDio::Answer(unsigned long code, unsigned long arg) {
    auto fixed = answers_.find({code, arg});
    if (fixed != answers_.end()) {
        if (fixed->second >= 0 && code <= VXDIO_SET_DO_ON) outputs_[arg] = static_cast<int>(code);
        return fixed->second;
    }
    switch (code) {
        case VXDIO_SET_DO_OFF:
        case VXDIO_SET_DO_ON:
            outputs_[arg] = static_cast<int>(code);
            return 0;
        case VXDIO_RD_DO:
            return outputs_[arg];
        case VXDIO_RD_DI:
            return wires_.count(arg) != 0 ? outputs_[wires_[arg]] : 0;
        case VXDIO_GET_NUM:
            return counts_[static_cast<int>(arg)];
        default:
            return 0;
    }
}
