#include "FakeSys.h"

#include <gtest/gtest.h>

#include <algorithm>

FakeSys::FakeSys() { SetSys(this); }

FakeSys::~FakeSys() {
    SetSys(nullptr);
    for (auto* text : open_) delete text;
}

void FakeSys::SetOutput(const std::string& command, const std::string& output) {
    outputs_[command] = output;
}

void FakeSys::FailPopen(const std::string& command) { failing_[command] = true; }

int FakeSys::System(const char* command) {
    calls_.push_back({Call::kSystem, command, 0});
    return 0;
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

void FakeSys::Usleep(unsigned int usec) {
    EXPECT_LT(usec, 1000000u) << "usleep may refuse a wait of a second or more";
    calls_.push_back({Call::kUsleep, "", usec});
}
void FakeSys::Sleep(unsigned int seconds) {
    calls_.push_back({Call::kSleep, "", seconds * 1000000u});
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
