// Mount helpers for building the fake root. Every failure comes back as a message that names
// the path and the system's reason.
#pragma once

#include <string>

namespace bench {

bool MakeDirs(const std::string& path, unsigned mode, std::string& error);
bool MountTmpfs(const std::string& source, const std::string& target, const std::string& options,
                std::string& error);
// Binds `source` (file or directory) at `target`, creating the target; read-only on request.
bool BindMount(const std::string& source, const std::string& target, bool readOnly,
               std::string& error);
// Makes an existing mount read-only, keeping the flags it already has (a user namespace
// refuses to drop locked ones).
bool RemountReadOnly(const std::string& target, std::string& error);
bool CopyFile(const std::string& from, const std::string& to, unsigned mode, std::string& error);
bool WriteFile(const std::string& path, const std::string& content, std::string& error);

}  // namespace bench
