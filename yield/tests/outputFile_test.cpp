// An output file is written whole or not at all; links are followed, devices written in place.
#include "report/outputFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "testSupport.h"

using namespace yield;

TEST(OutputFileTest, FailureLeavesNoHalfFileAndKeepsTheEarlierOne) {
    yieldtest::TempDir tmp;
    std::filesystem::path path = tmp.path() / "report.txt";
    yieldtest::WriteAll(path, "earlier report\n");
    auto files = [&tmp] {
        size_t n = 0;
        for (const auto& e : std::filesystem::directory_iterator(tmp.path())) n += e.exists();
        return n;
    };
    {
        OutputFile out(path.string());
        ASSERT_TRUE(out.ok());
        out.stream() << "half a rep";
        EXPECT_EQ(files(), 2u);
    }  // ended without Commit: a writer that threw
    EXPECT_EQ(yieldtest::ReadAll(path), "earlier report\n");
    EXPECT_EQ(files(), 1u);
    {
        OutputFile out(path.string());
        out.stream() << "half a rep";
        out.stream().setstate(std::ios::badbit);  // a write the disk refused
        EXPECT_FALSE(out.Commit());
    }
    EXPECT_EQ(yieldtest::ReadAll(path), "earlier report\n");
    EXPECT_EQ(files(), 1u);
    OutputFile out(path.string());
    out.stream() << "new report\n";
    EXPECT_TRUE(out.Commit());
    EXPECT_EQ(yieldtest::ReadAll(path), "new report\n");
    EXPECT_EQ(files(), 1u);
    EXPECT_FALSE(OutputFile((tmp.path() / "no/such/dir/r.txt").string()).Commit());
}

// A link to a report is followed and stays a link; a device is written in place, not replaced.

TEST(OutputFileTest, LinksAreFollowedAndDevicesWrittenInPlace) {
    yieldtest::TempDir tmp;
    std::filesystem::path target = tmp.path() / "day.html";
    std::filesystem::path link = tmp.path() / "latest.html";
    yieldtest::WriteAll(target, "old\n");
    std::filesystem::create_symlink(target, link);
    OutputFile out(link.string());
    out.stream() << "new\n";
    ASSERT_TRUE(out.Commit());
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(yieldtest::ReadAll(target), "new\n");
    std::filesystem::path pipe = tmp.path() / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] { got = yieldtest::ReadAll(pipe); });
    {
        OutputFile sink(pipe.string());
        sink.stream() << "through\n";
        EXPECT_TRUE(sink.Commit());
    }
    reader.join();
    EXPECT_EQ(got, "through\n");
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
}

// Each format defines its yields where they are shown and names the selection and the database.
