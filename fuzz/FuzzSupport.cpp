#include "FuzzSupport.h"

#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include "TestLogPath.h"

namespace {
// The trace log of the code under test goes to a private temporary folder.
const std::string& g_logPath = testlog::UsePrivateLog("fuzz");
}  // namespace

namespace fuzz {

void Fail(const char* what, const char* file, int line) {
    fprintf(stderr, "FUZZ_CHECK failed: %s at %s:%d\n", what, file, line);
    abort();
}

MemFile::MemFile(const char* name) : fd_(memfd_create(name, 0)) {
    if (fd_ < 0) Fail("memfd_create", __FILE__, __LINE__);
    path_ = "/proc/self/fd/" + std::to_string(fd_);
}

MemFile::~MemFile() { close(fd_); }

void MemFile::Set(const std::string& content) {
    if (ftruncate(fd_, 0) != 0) Fail("ftruncate", __FILE__, __LINE__);
    size_t done = 0;
    while (done < content.size()) {
        const ssize_t n =
            pwrite(fd_, content.data() + done, content.size() - done, static_cast<off_t>(done));
        if (n <= 0) Fail("pwrite", __FILE__, __LINE__);
        done += static_cast<size_t>(n);
    }
}

std::string MemFile::Get() const {
    std::string content;
    char chunk[4096];
    off_t at = 0;
    ssize_t n;
    while ((n = pread(fd_, chunk, sizeof chunk, at)) > 0) {
        content.append(chunk, static_cast<size_t>(n));
        at += n;
    }
    return content;
}

std::string Fields::Next() {
    if (pos_ >= text_.size()) return std::string();
    size_t end = text_.find('\0', pos_);
    if (end == std::string::npos) end = text_.size();
    std::string field = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    return field;
}

std::string Fields::Rest() {
    if (pos_ >= text_.size()) return std::string();
    std::string rest = text_.substr(pos_);
    pos_ = text_.size();
    return rest;
}

}  // namespace fuzz
