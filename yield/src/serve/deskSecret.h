// The repair desk's secret: what lets the board page record a disposition. Read from a file (so
// that it is not on the command line for `ps` to show) and compared in constant time.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace yield {

// Bounds of a secret, in bytes; it is visible ASCII (it travels in a request header).
constexpr size_t kDeskSecretMinBytes = 16;
constexpr size_t kDeskSecretMaxBytes = 256;

struct DeskSecretError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The secret the file at `path` holds: its first line, without the line end. Throws
// DeskSecretError for a file that cannot be read or a secret out of bounds.
std::string ReadDeskSecret(const std::string& path);

// Whether `given` is `secret`, in a time that depends on neither's bytes nor on the secret's
// length.
bool SameDeskSecret(std::string_view given, std::string_view secret);

}  // namespace yield
