// watch's loop against a folder, without a database: which files reach a batch, under which
// root, and how it ends.
#include "watch/lineWatch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "ingest/stationMarker.h"
#include "testSupport.h"

namespace fs = std::filesystem;
using namespace yield;
using yieldtest::TempDir;
using yieldtest::WriteAll;

namespace {

constexpr auto kDeadline = std::chrono::seconds(20);
constexpr LineWatchTimes kQuick{std::chrono::milliseconds(10), std::chrono::milliseconds(100),
                                std::chrono::milliseconds(100)};

// The loop in a thread of its own, each batch's files kept; stopped at the end.
class Loop {
public:
    explicit Loop(const std::vector<std::string>& paths, LineWatchTimes times = kQuick) {
        EXPECT_EQ(pipe(stop_), 0);
        thread_ = std::thread([this, paths, times] {
            LineWatch line(
                paths, stop_[0],
                [this](const std::vector<FoundFile>& files) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    BatchOutcome outcome;
                    for (const FoundFile& f : files) {
                        found_[f.path] = found_[f.path + "#" + std::to_string(++seen_[f.path])] =
                            f.root;
                        if (says_.erase("held " + f.path) > 0) outcome.held.push_back(f.path);
                        if (says_.count("unread " + f.path) > 0) outcome.unread.push_back(f.path);
                    }
                    return outcome;
                },
                times,
                [this](const std::string& folder, const std::string&) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    unwatched_.push_back(folder);
                },
                [this](const std::string& from, const std::string& to) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    found_[from + " -> " + to] = to;
                });
            line.Run();
        });
    }
    ~Loop() {
        Stop();
        close(stop_[0]);
        close(stop_[1]);
    }
    void Stop() {
        if (!thread_.joinable()) return;
        EXPECT_EQ(write(stop_[1], "x", 1), 1);
        thread_.join();
    }
    // The root `path` came under, once it came; "" when it did not within the deadline.
    std::string WaitFor(const fs::path& path) {
        auto end = std::chrono::steady_clock::now() + kDeadline;
        while (std::chrono::steady_clock::now() < end) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                auto it = found_.find(path.string());
                if (it != found_.end()) return it->second;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return {};
    }
    void Forget() {
        std::lock_guard<std::mutex> lock(mutex_);
        found_.clear();
    }
    std::vector<std::string> Unwatched() {
        std::lock_guard<std::mutex> lock(mutex_);
        return unwatched_;
    }
    bool Has(const fs::path& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        return found_.count(path.string()) > 0;
    }
    // What the batches say of `path`: "held" (the next one), "unread" (every one). The n-th
    // batch that holds a path is found as "PATH#n", a move as "FROM -> TO".
    void Say(const std::string& what, const fs::path& path) {
        std::lock_guard<std::mutex> lock(mutex_);
        says_.insert(what + " " + path.string());
    }

private:
    int stop_[2] = {-1, -1};
    std::thread thread_;
    std::mutex mutex_;
    std::map<std::string, std::string> found_;
    std::vector<std::string> unwatched_;
    std::map<std::string, int> seen_;
    std::set<std::string> says_;
};

TEST(LineWatch, FollowsFoldersAndFilesUnderEachRoot) {
    TempDir tmp;
    fs::path line = tmp.path() / "line", lone = tmp.path() / "lone.log";
    WriteAll(line / "old" / "a.log", "a");
    WriteAll(tmp.path() / "outside.log", "x");
    Loop loop({line.string(), lone.string()});
    EXPECT_EQ(loop.WaitFor(line / "old" / "a.log"), line.string());
    // A folder moved in whole, with its files: they were written before it was watched.
    WriteAll(tmp.path() / "staging" / "deep" / "b.log", "b");
    fs::rename(tmp.path() / "staging", line / "moved");
    EXPECT_EQ(loop.WaitFor(line / "moved" / "deep" / "b.log"), line.string());
    // A file given by name, made after the start; its folder's other files are not its business.
    WriteAll(lone, "lone");
    EXPECT_EQ(loop.WaitFor(lone), lone.string());
    WriteAll(tmp.path() / "beside.log", "beside");
    WriteAll(line / "last.log", "last");
    EXPECT_EQ(loop.WaitFor(line / "last.log"), line.string());
    loop.Stop();
    EXPECT_FALSE(loop.Has(tmp.path() / "beside.log"));
    EXPECT_FALSE(loop.Has(tmp.path() / "outside.log"));
}

TEST(LineWatch, ARootReplacedIsReadWholeAgain) {
    TempDir tmp;
    fs::path stick = tmp.path() / "stick";
    WriteAll(stick / "a.log", "a");
    Loop loop({stick.string()});
    EXPECT_EQ(loop.WaitFor(stick / "a.log"), stick.string());
    // Another stick in the same place: a new folder holding a file written before it got there.
    WriteAll(tmp.path() / "other" / "a.log", "a again");
    loop.Forget();
    fs::remove_all(stick);
    fs::rename(tmp.path() / "other", stick);
    EXPECT_EQ(loop.WaitFor(stick / "a.log"), stick.string());
    // And it is followed as the first was.
    WriteAll(stick / "sub" / "b.log", "b");
    EXPECT_EQ(loop.WaitFor(stick / "sub" / "b.log"), stick.string());
}

// A station marker copied after the logs it names: the files under its folder are read again,
// so that they take its station; the files beside that folder are not.
TEST(LineWatch, AMarkerThatComesLateHasItsFolderReadAgain) {
    TempDir tmp;
    fs::path line = tmp.path() / "line";
    fs::path stick = line / "fixture-C" / "stick";
    WriteAll(stick / "TestQ7[OK]" / "a.log", "a");
    WriteAll(line / "desk" / "d.log", "d");
    Loop loop({line.string()});
    EXPECT_EQ(loop.WaitFor(stick / "TestQ7[OK]" / "a.log"), line.string());
    EXPECT_EQ(loop.WaitFor(line / "desk" / "d.log"), line.string());
    loop.Forget();
    WriteAll(stick / kStationMarker, "fixture-C\n");
    EXPECT_EQ(loop.WaitFor(stick / "TestQ7[OK]" / "a.log"), line.string());
    loop.Stop();
    EXPECT_FALSE(loop.Has(line / "desk" / "d.log"));
}

// Files to be looked at again: one held as not whole yet comes back once quiet; one that could
// not be read is tried again; one whose attributes changed (made readable) is read again. A file
// or folder renamed within the roots is told as a move.
TEST(LineWatch, HeldUnreadChangedAndRenamedFilesComeAgain) {
    TempDir tmp;
    fs::path line = tmp.path() / "line";
    WriteAll(line / "a" / "chmod.log", "c");
    LineWatchTimes times = kQuick;
    times.quiet = times.unreadRetry = std::chrono::milliseconds(200);
    Loop loop({line.string()}, times);
    loop.Say("held", line / "held.log");
    loop.Say("unread", line / "unread.log");
    WriteAll(line / "held.log", "h");
    WriteAll(line / "unread.log", "u");
    EXPECT_EQ(loop.WaitFor(line / "a" / "chmod.log#1"), line.string());
    fs::permissions(line / "a" / "chmod.log", fs::perms::owner_read);
    EXPECT_EQ(loop.WaitFor(line / "held.log#2"), line.string());
    EXPECT_EQ(loop.WaitFor(line / "unread.log#3"), line.string());
    EXPECT_EQ(loop.WaitFor(line / "a" / "chmod.log#2"), line.string());
    fs::rename(line / "a", line / "b");
    EXPECT_EQ(loop.WaitFor(line.string() + "/a -> " + line.string() + "/b"), (line / "b").string());
    fs::rename(line / "b" / "chmod.log", line / "c.log");
    EXPECT_EQ(loop.WaitFor(line.string() + "/b/chmod.log -> " + line.string() + "/c.log"),
              (line / "c.log").string());
}

}  // namespace

// A folder past the bound is not followed: it is named once, and what is written there is still
// read, by the rescan.
TEST(LineWatch, FolderPastTheBoundIsNamedAndRescanned) {
    TempDir tmp;
    fs::path root = tmp.path() / "root";
    fs::create_directories(root / "a");
    fs::create_directories(root / "b");
    LineWatchTimes times = kQuick;
    times.rescan = std::chrono::milliseconds(200);
    times.mostFolders = 2;  // root and a
    Loop loop({root.string()}, times);
    WriteAll(root / "a" / "first.log", "x");
    EXPECT_EQ(loop.WaitFor(root / "a" / "first.log"), root.string());
    WriteAll(root / "b" / "late.log", "x");
    EXPECT_EQ(loop.WaitFor(root / "b" / "late.log"), root.string());
    loop.Stop();
    EXPECT_EQ(loop.Unwatched(), std::vector<std::string>{(root / "b").string()});
}
