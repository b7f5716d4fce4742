// `watch`: what ingest does, kept up as files arrive, until SIGINT or SIGTERM.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <memory>
#include <system_error>
#include <utility>

#include "cli/commands.h"
#include "ingest/ingest.h"
#include "report/escape.h"
#include "store/dbFiles.h"
#include "store/openStore.h"
#include "store/store.h"
#include "watch/lineWatch.h"

namespace yield {
namespace {

constexpr char kWatchLead[] = "watch: ";
constexpr char kPathsHelp[] =
    "folders and files to read and then follow; one that does not exist yet is looked for "
    "every second";
constexpr char kWaitingFor[] = "waiting for ";
constexpr char kWaitingWhy[] = " (it does not exist yet; looked for every second)";
constexpr char kNoPipe[] = "cannot make the stop pipe";
constexpr char kCannotFollow[] = "cannot follow ";
constexpr char kReadByRescan[] = "; what is written there is read by a rescan every minute";
constexpr char kStoppedWaiting[] =
    "stopped while the database server did not answer; the batch in progress was given up (the "
    "next ingest reads its files again)";

// Written by the signal handler, read by the loop: the only work the handler does.
int gStopWrite = -1;

extern "C" void OnStopSignal(int) {
    int saved = errno;
    char byte = 1;
    ssize_t ignored = write(gStopWrite, &byte, 1);
    static_cast<void>(ignored);
    StopStoreWaits();  // a call the database server does not answer ends too
    errno = saved;
}

// SIGINT and SIGTERM make the pipe's read end readable.
class StopPipe {
public:
    StopPipe() {
        if (pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
            throw std::system_error(errno, std::generic_category(), kNoPipe);
        gStopWrite = fds_[1];
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        for (int sig : {SIGINT, SIGTERM}) sigaction(sig, &sa, nullptr);
    }
    ~StopPipe() {
        for (int sig : {SIGINT, SIGTERM}) std::signal(sig, SIG_DFL);
        gStopWrite = -1;
        close(fds_[0]);
        close(fds_[1]);
    }
    StopPipe(const StopPipe&) = delete;
    StopPipe& operator=(const StopPipe&) = delete;
    int fd() const { return fds_[0]; }

private:
    int fds_[2] = {-1, -1};
};

bool Readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

// One line for each path that is not there yet, so that a watch that stores nothing says why.
void SayWhatItWaitsFor(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR)) continue;
        std::fprintf(stderr, "%s%s%s%s\n", kWatchLead, kWaitingFor, PrintableText(path).c_str(),
                     kWaitingWhy);
    }
}

int Follow(const StopPipe& stop, const std::string& db, const std::vector<std::string>& paths,
           const std::string& station) {
    auto store = OpenStore(db, true);
    SayWhatItWaitsFor(paths);
    int stopFd = stop.fd();
    IngestOptions options{nullptr, DatabaseFiles(db), station,
                          [stopFd] { return Readable(stopFd); }, kUnfinishedQuiet};
    auto batch = [&](const std::vector<FoundFile>& files) {
        IngestStats stats = IngestFound(*store, files, options);
        PrintIngestProblems(stats, stderr);
        if (stats.total > 0)
            std::fprintf(stderr, "%s%s\n", kWatchLead, IngestFigures(stats).c_str());
        return BatchOutcome{std::move(stats.held), std::move(stats.unread)};
    };
    try {
        auto unwatched = [](const std::string& folder, const std::string& why) {
            std::fprintf(stderr, "%s%s%s (%s)%s\n", kWatchLead, kCannotFollow,
                         PrintableText(folder).c_str(), why.c_str(), kReadByRescan);
        };
        auto moved = [&](const std::string& from, const std::string& to) {
            IngestMoved(*store, from, to);
        };
        LineWatch(paths, stopFd, batch, LineWatchTimes{}, unwatched, moved).Run();
    } catch (const std::system_error& e) {
        throw NotFoundError(e.what());  // no inotify to be had
    }
    return kExitOk;
}

int Watch(const std::string& db, const std::vector<std::string>& paths,
          const std::string& station) {
    StopPipe stop;
    try {
        return Follow(stop, db, paths, station);
    } catch (const StoreStopped&) {
        std::fprintf(stderr, "%s%s\n", kWatchLead, kStoppedWaiting);
        return kExitOk;
    }
}

}  // namespace

Handler AddWatchOptions(CLI::App& cmd) {
    auto paths = std::make_shared<std::vector<std::string>>();
    auto station = std::make_shared<std::string>();
    cmd.add_option("paths", *paths, kPathsHelp)->required();
    AddStationOption(cmd, *station);
    return [paths, station](const std::string& db) { return Watch(db, *paths, *station); };
}

}  // namespace yield
