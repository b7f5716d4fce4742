#include "record.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "text_util.h"

namespace bench {

nlohmann::json CollectFiles(const std::string& hostDir, const std::string& shownPrefix) {
    nlohmann::json files = nlohmann::json::object();
    for (const std::string& relative : ListFilesRecursive(hostDir)) {
        std::string hostPath = JoinPath(hostDir, relative);
        struct stat info {};
        if (stat(hostPath.c_str(), &info) != 0) continue;
        nlohmann::json entry = {{"size", info.st_size}};
        std::string content;
        if (static_cast<size_t>(info.st_size) <= kLargestRecordedFile &&
            ReadFileText(hostPath, content))
            entry["content"] = content;
        files[JoinPath(shownPrefix, relative)] = entry;
    }
    return files;
}

nlohmann::json ExitRecord(int waitStatus, bool timedOut, bool interrupted) {
    nlohmann::json exit = {
        {"status", waitStatus}, {"timed_out", timedOut}, {"interrupted", interrupted}};
    if (WIFEXITED(waitStatus)) {
        exit["code"] = WEXITSTATUS(waitStatus);
    } else if (WIFSIGNALED(waitStatus)) {
        const char* abbrev = sigabbrev_np(WTERMSIG(waitStatus));
        exit["signal"] = WTERMSIG(waitStatus);
        exit["signal_name"] = abbrev != nullptr ? std::string("SIG") + abbrev : "";
    }
    return exit;
}

nlohmann::json VerdictOf(const std::string& log) {
    bool ok = log.find("Test Q7 OK!!!") != std::string::npos;
    bool err = log.find("Test Q7 Err!!!") != std::string::npos;
    if (err) return "ERR";
    if (ok) return "OK";
    return nullptr;
}

bool CopyTree(const std::string& from, const std::string& to, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::create_directories(to, ec);
    fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    if (ec) error = "cannot copy " + from + " to " + to + ": " + ec.message();
    return !ec;
}

bool WriteRecord(const std::string& path, const nlohmann::json& record, std::string& error) {
    std::ofstream out(path, std::ios::trunc);
    out << record.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
    if (!out.flush()) {
        error = "cannot write " + path + ": " + strerror(errno);
        return false;
    }
    return true;
}

}  // namespace bench
