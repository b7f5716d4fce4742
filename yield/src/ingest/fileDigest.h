// The SHA-256 of a file's bytes, as the store keeps it: which copy a run came from can be proved
// against the file on a stick later.
#pragma once

#include <string>
#include <string_view>

namespace yield {

// Lower-case hex, 64 digits. Throws std::runtime_error when the library cannot compute it.
std::string Sha256Hex(std::string_view bytes);

}  // namespace yield
