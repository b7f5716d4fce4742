// The command line and its database file: names that keep no file, outputs that would overwrite
// it, a database on a read-only mount, its own files inside an ingested folder, and files that
// could not be read the first time.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "testSupport.h"

namespace fs = std::filesystem;
using yieldtest::Q;
using yieldtest::Result;
using yieldtest::TempDir;
using yieldtest::Tool;

namespace {

// The tool run by `wrapper`, a shell command line that ends where the tool's path goes.
Result Wrapped(const std::string& wrapper, const std::string& args) {
    return yieldtest::Shell(wrapper + " '" + YIELD_TOOL + "' " + args);
}

// As an unprivileged user: file permissions hold even when the tests run as root.
const char kAsNobody[] = "unshare --user";

}  // namespace

TEST(CliDatabase, OutputThatIsTheDatabaseIsRefused) {
    TempDir tmp;
    fs::path db = tmp.path() / "y.db";
    ASSERT_EQ(Tool("ingest --db " + Q(db) + " " + Q(yieldtest::GoldenFlashLog("standard"))).status,
              0);
    std::string before = yieldtest::ReadAll(db);
    fs::create_directory(tmp.path() / "sub");
    for (const fs::path& out : {db, tmp.path() / "sub" / ".." / "y.db",
                                fs::path(db.string() + "-wal"), fs::path(db.string() + "-shm")}) {
        Result r = Tool("report --db " + Q(db) + " -o " + Q(out));
        EXPECT_EQ(r.status, 2) << out;
        EXPECT_NE(r.out.find("is the database's own file"), std::string::npos) << r.out;
    }
    fs::create_symlink(db, tmp.path() / "link.db");
    EXPECT_EQ(Tool("report --db " + Q(tmp.path() / "link.db") + " -o " + Q(db)).status, 2);
    EXPECT_EQ(Tool("export --db " + Q(db) + " --format json -o " + Q(db)).status, 2);
    EXPECT_EQ(yieldtest::ReadAll(db), before);
    EXPECT_EQ(Tool("report --db " + Q(db) + " -o " + Q(tmp.path() / "r.txt")).status, 0);
}

TEST(CliDatabase, NamesThatKeepNoFileAreRefused) {
    TempDir tmp;
    std::string memdb = "file:" + (tmp.path() / "m.db").string() + "?vfs=memdb";
    for (const std::string& name : {std::string(":memory:"), std::string("file:x?mode=memory"),
                                    std::string("file::memory:?cache=shared"), memdb}) {
        Result r = Tool("ingest --db " + Q(name) + " " + Q(YIELD_GOLDEN_DIR));
        EXPECT_EQ(r.status, 3) << name;
        bool uri = name.rfind("file:", 0) == 0;
        EXPECT_NE(r.out.find(uri ? "not a URI" : "names no file"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("runs new"), std::string::npos) << r.out;
    }
}

TEST(CliDatabase, AUriIsRefusedAndTheGuardsCompareTheRealFile) {
    TempDir tmp;
    fs::path db = tmp.path() / "y.db";
    ASSERT_EQ(Tool("ingest --db " + Q(db) + " " + Q(yieldtest::GoldenFlashLog("standard"))).status,
              0);
    std::string before = yieldtest::ReadAll(db);
    std::string uri = "file:" + db.string();
    for (const std::string& args :
         {"report --db " + Q(uri) + " -o " + Q(db),
          "report --db " + Q(uri) + " --format csv --table summary -o " + Q(db),
          "watch --db " + Q(uri) + " " + Q(tmp.path())}) {
        Result r = Tool(args);
        EXPECT_EQ(r.status, 3) << args << r.out;
        EXPECT_NE(r.out.find("not a URI"), std::string::npos) << r.out;
    }
    EXPECT_EQ(yieldtest::ReadAll(db), before);
    // Through a link from elsewhere, the file it leads to is still the database's own.
    fs::create_directory(tmp.path() / "other");
    fs::create_symlink(db, tmp.path() / "other" / "link.db");
    Result r = Tool("ingest --db " + Q(tmp.path() / "other" / "link.db") + " " + Q(tmp.path()));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("0 problems"), std::string::npos) << r.out;
}

TEST(CliDatabase, ABatchIsNotStoredIntoADeletedDatabase) {
    TempDir tmp;
    fs::path db = tmp.path() / "y.db";
    fs::create_directory(tmp.path() / "logs");
    // The watch's status, or 124 when it went on for 15 s after its database was deleted.
    Result r = yieldtest::Shell(
        "'" + std::string(YIELD_TOOL) + "' watch --db " + Q(db) + " " + Q(tmp.path() / "logs") +
        " >" + Q(tmp.path() / "out") + " 2>&1 & pid=$!; for i in $(seq 100); do [ -e " + Q(db) +
        " ] && break; sleep 0.05; done; sleep 0.5; rm " + Q(db) + "; cp " +
        Q(yieldtest::GoldenFlashLog("standard")) + " " + Q(tmp.path() / "logs" / "a.log") +
        "; for i in $(seq 150); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done; " +
        "kill -0 $pid 2>/dev/null && { kill $pid; wait $pid; exit 124; }; wait $pid");
    EXPECT_EQ(r.status, 3) << r.out;
    std::string said = yieldtest::ReadAll(tmp.path() / "out");
    EXPECT_NE(said.find("deleted or replaced"), std::string::npos) << said;
    EXPECT_EQ(said.find("runs new"), std::string::npos) << said;
}

TEST(CliDatabase, ReadingCommandsWorkOnAReadOnlyMount) {
    TempDir tmp;
    fs::path db = tmp.path() / "y.db";
    ASSERT_EQ(Tool("ingest --db " + Q(db) + " " + Q(YIELD_GOLDEN_DIR)).status, 0);
    std::string dir = tmp.path().string();  // a mkdtemp name: nothing to quote
    std::string readOnly = "unshare --user --map-root-user --mount sh -c 'mount --bind " + dir +
                           " " + dir + " && mount -o remount,bind,ro " + dir + " " + dir +
                           " && exec \"$0\" \"$@\"'";
    Result report = Wrapped(readOnly, "report --format json --db " + Q(db));
    EXPECT_EQ(report.status, 0) << report.out;
    EXPECT_NE(report.out.find("\"summary\""), std::string::npos);
    EXPECT_EQ(Wrapped(readOnly, "board --db " + Q(db) + " 0x1A2B3C4D").status, 0);
    Result ingest = Wrapped(readOnly, "ingest --db " + Q(db) + " " + Q(YIELD_GOLDEN_DIR));
    EXPECT_EQ(ingest.status, 3) << ingest.out;
}

TEST(CliDatabase, AnIngestOfTheDatabasesFolderLeavesItsOwnFilesOut) {
    TempDir tmp;
    yieldtest::WriteAll(tmp.path() / "logs" / "a.log",
                        yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard")));
    std::string args = "ingest --db " + Q(tmp.path() / "y.db") + " " + Q(tmp.path());
    for (int pass = 0; pass < 2; ++pass) {
        Result r = Tool(args);
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out.find("skipped"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("0 problems"), std::string::npos) << r.out;
    }
}

TEST(CliDatabase, AFileThatCouldNotBeReadIsReadOnceItCan) {
    TempDir tmp;
    fs::permissions(tmp.path(), fs::perms::all);
    fs::path log = tmp.path() / "logs" / "a.log";
    yieldtest::WriteAll(log, yieldtest::ReadAll(yieldtest::GoldenFlashLog("standard")));
    fs::permissions(tmp.path() / "logs", fs::perms::all);
    fs::permissions(log, fs::perms::none);
    std::string args = "ingest --db " + Q(tmp.path() / "y.db") + " " + Q(tmp.path() / "logs");
    for (int pass = 0; pass < 2; ++pass) {
        Result r = Wrapped(kAsNobody, args);
        ASSERT_EQ(r.status, 0) << r.out;
        EXPECT_NE(r.out.find("cannot read: Permission denied"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("0 unchanged, 1 problems"), std::string::npos) << r.out;
    }
    fs::permissions(log, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    Result r = Wrapped(kAsNobody, args);
    EXPECT_NE(r.out.find("1 runs new"), std::string::npos) << r.out;
    EXPECT_NE(Wrapped(kAsNobody, args).out.find("1 unchanged, 0 problems"), std::string::npos);
}
