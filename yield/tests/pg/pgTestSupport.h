// What the tests that need a PostgreSQL server share: many distinct runs made from one golden
// log, the tool started in the background, a server of a test's own.
#pragma once

#include <fcntl.h>
#include <libpq-fe.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "testSupport.h"

namespace yieldtest {

// Writes the standard golden log as `count` runs of processor IDs 0x1A2B0000 + first, ... into
// `dir`, one file each; `shortCopies` cuts each in half (no verdict); `reversed` names the files
// so that the walk meets them in the opposite order.
inline void MakeRuns(const std::filesystem::path& dir, int first, int count, bool shortCopies,
                     bool reversed = false) {
    std::string log = ReadAll(GoldenFlashLog("standard"));
    size_t at = log.find("0x1A2B3C4D");
    if (shortCopies) log.resize(log.size() / 2);
    for (int i = first; i < first + count; ++i) {
        char chip[16];
        std::snprintf(chip, sizeof chip, "0x1A2B%04X", static_cast<unsigned>(i));
        log.replace(at, 10, chip);
        char name[64];
        std::snprintf(name, sizeof name, "run%05d.log", reversed ? 99999 - i : i);
        WriteAll(dir / name, log);
    }
}

// The tool with `args` in the background, standard output and error into `out`.
inline pid_t StartTool(const std::string& args, const std::filesystem::path& out) {
    std::string cmd =
        std::string("exec '") + YIELD_TOOL + "' " + args + " >" + Q(out) + " 2>&1 </dev/null";
    pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

inline int WaitTool(pid_t pid) {
    int st = -1;
    if (waitpid(pid, &st, 0) != pid) return -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// A server of the test's own, in a folder of its own, stopped and removed at the end even when
// the test fails.
class OwnServer {
public:
    OwnServer() : dir_(tmp_.path() / "pg") {
        // The server runs as an unprivileged user when the tests run as root.
        std::filesystem::permissions(tmp_.path(), std::filesystem::perms::owner_all |
                                                      std::filesystem::perms::others_exec |
                                                      std::filesystem::perms::group_exec);
        ok_ = Server("start") == 0;
    }
    ~OwnServer() { Server("stop"); }
    OwnServer(const OwnServer&) = delete;
    OwnServer& operator=(const OwnServer&) = delete;
    bool ok() const { return ok_; }
    int StopServer() { return Server("stop-server"); }
    int Restart() { return Server("restart"); }
    // Every process of the server stopped (SIGSTOP), and let go on.
    int Freeze() { return Server("freeze"); }
    int Thaw() { return Server("thaw"); }
    // The URI of database `name` on it (the socket is in its folder).
    std::string Url(const std::string& name) const {
        return "postgresql:///" + name + "?host=" + dir_.string() + "&port=" YIELD_PG_PORT;
    }

private:
    int Server(const char* what) {
        std::string cmd =
            std::string("'") + YIELD_PG_SERVER + "' " + what + " " + Q(dir_) + " >/dev/null";
        int st = std::system(cmd.c_str());
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    TempDir tmp_;
    std::filesystem::path dir_;
    bool ok_ = false;
};

// The runs stored so far, or -1 while the server does not answer or has no tables yet.
inline long long StoredRuns(const std::string& url) {
    PGconn* c = PQconnectdb(url.c_str());
    long long n = -1;
    PGresult* r = PQexec(c, "SELECT count(*) FROM runs");
    if (PQresultStatus(r) == PGRES_TUPLES_OK) n = std::stoll(PQgetvalue(r, 0, 0));
    PQclear(r);
    PQfinish(c);
    return n;
}

// A report as both engines give it: with `db`, which each report names, as DB. Reports to compare
// are made with kFixedReportTime before the command, so that they state the same time.
// `text` with the database `db` named "DB", and without the server a report says it reached
// (" (server HOST port PORT, database NAME)", which differs between the engines).
inline std::string WithoutDatabase(std::string text, const std::string& db) {
    for (size_t at = text.find(db); at != std::string::npos; at = text.find(db, at + 2))
        text.replace(at, db.size(), "DB");
    const std::string server = " (server ";
    for (size_t at = text.find(server); at != std::string::npos; at = text.find(server, at)) {
        size_t end = text.find(')', at);
        if (end == std::string::npos) break;
        text.erase(at, end + 1 - at);
    }
    // A CSV cell quoted for the server's comma is plain without it.
    const std::string quoted = ",\"DB\"\r\n";
    for (size_t at = text.find(quoted); at != std::string::npos; at = text.find(quoted, at))
        text.replace(at, quoted.size(), ",DB\r\n");
    return text;
}
constexpr char kFixedReportTime[] = "SOURCE_DATE_EPOCH=1765000000 ";

}  // namespace yieldtest
