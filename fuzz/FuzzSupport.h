// Helpers shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Stops the run with a message when a property of the code under test does not hold.
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : fuzz::Fail(#cond, __FILE__, __LINE__))

namespace fuzz {

[[noreturn]] void Fail(const char* what, const char* file, int line);

// An anonymous in-memory file reachable by a path (/proc/self/fd/N), reused between inputs.
class MemFile {
public:
    explicit MemFile(const char* name);
    ~MemFile();
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;
    const std::string& Path() const { return path_; }
    void Set(const std::string& content);
    std::string Get() const;

private:
    int fd_;
    std::string path_;
};

// Splits an input into fields separated by zero bytes; the last field takes the rest.
class Fields {
public:
    Fields(const uint8_t* data, size_t size) : text_(reinterpret_cast<const char*>(data), size) {}
    std::string Next();
    std::string Rest();
    bool AtEnd() const { return pos_ >= text_.size(); }

private:
    std::string text_;
    size_t pos_ = 0;
};

}  // namespace fuzz
