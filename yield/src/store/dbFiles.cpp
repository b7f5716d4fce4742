#include "store/dbFiles.h"

#include <sys/stat.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace yield {
namespace {

constexpr const char* kJournalSuffixes[] = {"-wal", "-shm", "-journal"};
constexpr const char* kServerPrefixes[] = {"postgresql:", "postgres://"};

}  // namespace

std::vector<std::string> DatabaseFiles(const std::string& db) {
    for (const char* prefix : kServerPrefixes) {
        if (db.rfind(prefix, 0) == 0) return {};
    }
    std::vector<std::string> names{db};
    // SQLite keeps the journal files beside the file a symbolic link leads to.
    std::error_code ec;
    fs::path real = fs::canonical(db, ec);
    if (!ec && real != fs::absolute(db, ec).lexically_normal()) names.push_back(real.string());
    std::vector<std::string> files;
    for (const std::string& name : names) {
        files.push_back(name);
        for (const char* suffix : kJournalSuffixes) files.push_back(name + suffix);
    }
    return files;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {};
    struct stat sb {};
    if (stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0)
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    std::error_code ea, eb;
    fs::path ca = fs::weakly_canonical(fs::absolute(a, ea), ea);
    fs::path cb = fs::weakly_canonical(fs::absolute(b, eb), eb);
    return !ea && !eb && ca == cb;
}

bool IsDatabaseFile(const std::string& db, const std::string& path) {
    for (const std::string& f : DatabaseFiles(db)) {
        if (SameFile(f, path)) return true;
    }
    return false;
}

}  // namespace yield
