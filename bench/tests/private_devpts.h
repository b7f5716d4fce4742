// Runs a check in a child process that has a private mount namespace (and a user namespace when
// not root) with a fresh devpts instance at <dir>/pts, so pseudo-terminal tests need nothing of
// the host's /dev. The check returns an empty text on success, else what went wrong.
#pragma once

#include <functional>
#include <string>

namespace bench {

// True when this machine lets a child make the namespaces (else tests skip).
bool PrivateDevptsAvailable();
// Use inside EXPECT_EXIT(..., ExitedWithCode(0), "^$"): prints the failure and exits 1, or
// exits 0.
[[noreturn]] void RunWithPrivateDevpts(const std::function<std::string(const std::string&)>& check);

}  // namespace bench
