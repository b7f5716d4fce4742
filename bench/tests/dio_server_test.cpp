#include "dio_server.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "vxdio_wire.h"

namespace bench {
namespace {

namespace fs = std::filesystem;
using IoctlFn = int (*)(int, unsigned long, ...);

// A DIO server on a FIFO and socket in a temporary folder, and the preload library loaded into
// this process so that its ioctl can be called directly.
class DioServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("bench-dio-" + std::to_string(getpid()));
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        m_setup.diCount = 6;
        m_setup.doCount = 4;
        m_model = std::make_unique<DioModel>(m_setup);
        m_server = std::make_unique<DioServer>(*m_model, m_timeline);
        std::string error;
        ASSERT_TRUE(m_server->Create(Node(), Socket(), error)) << error;
        m_server->Start();
        setenv(VXDIO_BENCH_SOCKET_ENV, Socket().c_str(), 1);
        setenv(VXDIO_BENCH_NODE_ENV, Node().c_str(), 1);
        m_library = dlopen(DEVUZE_BENCH_PRELOAD, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_library, nullptr) << dlerror();
        m_ioctl = reinterpret_cast<IoctlFn>(dlsym(m_library, "ioctl"));
        ASSERT_NE(m_ioctl, nullptr);
    }

    void TearDown() override {
        if (m_server) m_server->Stop();
        if (m_library) dlclose(m_library);
        unsetenv(VXDIO_BENCH_SOCKET_ENV);
        unsetenv(VXDIO_BENCH_NODE_ENV);
        fs::remove_all(m_dir);
    }

    std::string Node() const { return (m_dir / "vxdio").string(); }
    std::string Socket() const { return (m_dir / "dio.sock").string(); }

    void Echo(const std::string& text) {
        int fd = open(Node().c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
    }

    fs::path m_dir;
    DioSetup m_setup;
    EventList m_timeline;
    std::unique_ptr<DioModel> m_model;
    std::unique_ptr<DioServer> m_server;
    void* m_library = nullptr;
    IoctlFn m_ioctl = nullptr;
};

TEST_F(DioServerTest, IoctlOnTheNodeReachesTheModel) {
    int fd = open(Node().c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(m_ioctl(fd, 1, 0x03), 0);
    EXPECT_EQ(m_ioctl(fd, 10, 0x05), 1);  // DI5 follows DO3
    EXPECT_EQ(m_ioctl(fd, 12, 2), 4);
    errno = 0;
    EXPECT_EQ(m_ioctl(fd, 1, 0x09), -1);  // no DO9
    EXPECT_EQ(errno, EINVAL);
    close(fd);
    m_server->Stop();
    auto timeline = m_timeline.Sorted();
    ASSERT_EQ(timeline.size(), 4u);
    EXPECT_EQ(timeline[0]["name"], "VXDIO_SET_DO_ON");
    EXPECT_EQ(timeline[0]["port"], "DO3");
    EXPECT_EQ(timeline[0]["arg_hex"], "0x03");
    EXPECT_EQ(timeline[1]["port"], "DI5");
    EXPECT_EQ(timeline[1]["answer"], 1);
    EXPECT_EQ(timeline[3]["errno"], EINVAL);
    EXPECT_EQ(timeline[3]["answer"], -1);
}

TEST_F(DioServerTest, OtherDescriptorsGoToTheRealIoctl) {
    int fd = open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    int value = 0;
    errno = 0;
    EXPECT_EQ(m_ioctl(fd, FIONREAD, &value), -1);  // the real driver refuses it
    EXPECT_EQ(errno, ENOTTY);
    close(fd);
    m_server->Stop();
    EXPECT_TRUE(m_timeline.Sorted().empty());
}

TEST_F(DioServerTest, BenchGoneMeansEio) {
    int fd = open(Node().c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    setenv(VXDIO_BENCH_SOCKET_ENV, (m_dir / "nobody.sock").c_str(), 1);
    errno = 0;
    EXPECT_EQ(m_ioctl(fd, 11, 0x01), -1);
    EXPECT_EQ(errno, EIO);
    close(fd);
}

TEST_F(DioServerTest, TextCommandsArriveLineByLine) {
    Echo("SON=3\nSOFF=4,5\n");
    Echo("bogus\n");
    Echo("SON=5");  // no line end: taken when the server stops
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_server->Stop();
    auto timeline = m_timeline.Sorted();
    ASSERT_EQ(timeline.size(), 4u);
    EXPECT_EQ(timeline[0]["text"], "SON=3");
    EXPECT_EQ(timeline[0]["applied"], true);
    EXPECT_EQ(timeline[1]["text"], "SOFF=4,5");
    EXPECT_EQ(timeline[2]["text"], "bogus");
    EXPECT_EQ(timeline[2]["applied"], false);
    EXPECT_EQ(timeline[3]["text"], "SON=5");
    EXPECT_EQ(m_model->OutputLevel(0x83), 1);
    EXPECT_EQ(m_model->OutputLevel(0x85), 1);
}

TEST(DioServerAbsent, WithoutANodeOnlyTheSocketIsServed) {
    fs::path dir = fs::temp_directory_path() / ("bench-dio-absent-" + std::to_string(getpid()));
    fs::create_directories(dir);
    DioSetup setup;
    DioModel model(setup);
    EventList timeline;
    DioServer server(model, timeline);
    std::string error;
    EXPECT_TRUE(server.Create("", (dir / "dio.sock").string(), error)) << error;
    EXPECT_FALSE(fs::exists(dir / "vxdio"));
    server.Start();
    server.Stop();
    fs::remove_all(dir);
}

}  // namespace
}  // namespace bench
