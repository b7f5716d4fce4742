#include "FakeSys.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

FakeSys::FakeSys() : replaced_(&Sys()) { SetSys(this); }

FakeSys::~FakeSys() {
    SetSys(replaced_);
    for (auto* text : open_) delete text;
}

void FakeSys::SetOutput(const std::string& command, const std::string& output) {
    outputs_[command] = output;
}

void FakeSys::SetFile(const std::string& path, const std::string& content) {
    files_[path] = content;
}

void FakeSys::FailPopen(const std::string& command) { failing_[command] = true; }

void FakeSys::FailSystem(const std::string& command, int status) { statuses_[command] = status; }

void FakeSys::ShortWrite(long written, int err, size_t afterWrites) {
    shortWrite_ = true;
    shortFrom_ = writes_.size() + afterWrites;
    written_ = written;
    writeErr_ = err;
}

int FakeSys::System(const char* command) {
    calls_.push_back({Call::kSystem, command, 0});
    auto found = statuses_.find(command);
    return found == statuses_.end() ? 0 : found->second;
}

FILE* FakeSys::Popen(const char* command, const char* mode) {
    calls_.push_back({Call::kPopen, command, 0});
    if (failing_.count(command) != 0) return nullptr;
    auto found = outputs_.find(command);
    auto* text = new std::string(found == outputs_.end() ? "" : found->second);
    open_.push_back(text);
    if (text->empty()) return fopen("/dev/null", mode);
    return fmemopen(text->data(), text->size(), mode);
}

int FakeSys::Pclose(FILE* stream) { return fclose(stream); }

FILE* FakeSys::Fopen(const char* path, const char* /*mode*/) {
    calls_.push_back({Call::kFopen, path, 0});
    auto found = files_.find(path);
    if (found == files_.end()) {
        errno = ENOENT;
        return nullptr;
    }
    auto* text = new std::string(found->second);
    open_.push_back(text);
    if (text->empty()) return fopen("/dev/null", "re");
    return fmemopen(text->data(), text->size(), "r");
}

int FakeSys::Fclose(FILE* stream) { return fclose(stream); }

void FakeSys::Usleep(unsigned int usec) {
    EXPECT_LT(usec, 1000000u) << "usleep may refuse a wait of a second or more";
    calls_.push_back({Call::kUsleep, "", usec});
}
void FakeSys::Sleep(unsigned int seconds) {
    calls_.push_back({Call::kSleep, "", seconds * 1000000u});
}

ssize_t FakeSys::Write(int fd, const void* data, size_t size) {
    writes_.push_back({fd, std::string(static_cast<const char*>(data), size)});
    if (!shortWrite_ || writes_.size() <= shortFrom_) return write(fd, data, size);
    errno = writeErr_;
    return written_;
}

int FakeSys::Msgget(key_t key, int /*flags*/) {
    keys_.push_back(key);
    if (msggetErr_ == 0) return kQueueId;
    errno = msggetErr_;
    return -1;
}

int FakeSys::Msgsnd(int queueId, const void* msg, size_t size, int flags) {
    TrayCall call{queueId, 0, "", flags};
    memcpy(&call.mtype, msg, sizeof call.mtype);
    call.payload.assign(static_cast<const char*>(msg) + sizeof(long), size);
    tray_.push_back(call);
    if (msgsndErr_ == 0) return 0;
    errno = msgsndErr_;
    return -1;
}

std::vector<std::string> FakeSys::SystemCommands() const {
    std::vector<std::string> out;
    for (const auto& c : calls_) {
        if (c.kind == Call::kSystem) out.push_back(c.text);
    }
    return out;
}

std::vector<std::string> FakeSys::PopenCommands() const {
    std::vector<std::string> out;
    for (const auto& c : calls_) {
        if (c.kind == Call::kPopen) out.push_back(c.text);
    }
    return out;
}

unsigned long FakeSys::TotalSleepUs() const {
    unsigned long total = 0;
    for (const auto& c : calls_) total += c.usec;
    return total;
}
