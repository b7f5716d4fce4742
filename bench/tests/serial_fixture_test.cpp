#include "serial_fixture.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <sstream>

#include "private_devpts.h"
#include "run_clock.h"

namespace bench {
namespace {

constexpr char kPattern[] = "ABCDEFGHIJKLMNOPQRST1234567890!";  // with its zero byte: 32 bytes

// Opens a node as the tool does: raw, reads end after 0.2 s of silence.
int OpenRaw(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1;
    struct termios tio {};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tio.c_cc[VTIME] = 2;
    tio.c_cc[VMIN] = 0;
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

std::string ReadQuiet(int fd) {
    std::string bytes;
    char buffer[256];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0) bytes.append(buffer, static_cast<size_t>(n));
    return bytes;
}

std::string Pattern() { return std::string(kPattern, sizeof kPattern); }

// Sends the pattern on port `from` and returns what ports `to` and `from` then receive.
struct Exchange {
    std::string atPartner;
    std::string atSender;
};

Exchange Send(const std::string& dev, int from, int to, const std::string& bytes) {
    int a = OpenRaw(dev + "/RS232-" + std::to_string(from));
    int b = OpenRaw(dev + "/RS232-" + std::to_string(to));
    Exchange result;
    if (a < 0 || b < 0) return result;
    ssize_t written = write(a, bytes.data(), bytes.size());
    (void)written;
    usleep(100000);
    result.atPartner = ReadQuiet(b);
    result.atSender = ReadQuiet(a);
    close(a);
    close(b);
    return result;
}

std::string Expect(bool condition, const std::string& what) { return condition ? "" : what + "\n"; }

class SerialFixtureTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PrivateDevptsAvailable()) GTEST_SKIP() << "no private mount namespaces here";
    }

    // Builds the fixture of `setup` in the child's devpts and runs `check` against it.
    static void WithFixture(
        const SerialSetup& setup,
        const std::function<std::string(const std::string&, EventList&)>& check) {
        RunWithPrivateDevpts([&](const std::string& dev) {
            EventList transcript;
            SerialFixture fixture(setup, transcript);
            std::string error;
            if (!fixture.Create(dev, error)) return error;
            fixture.Start();
            return check(dev, transcript);
        });
    }
};

TEST_F(SerialFixtureTest, PairCarriesBytesBothWaysAndNotBack) {
    SerialSetup setup;
    setup.pairs = DefaultSerialPairs(5);
    EXPECT_EXIT(WithFixture(setup,
                            [](const std::string& dev, EventList&) {
                                Exchange forth = Send(dev, 1, 2, Pattern());
                                Exchange back = Send(dev, 4, 3, "xyz");
                                return Expect(forth.atPartner == Pattern(),
                                              "RS232-2 got " + forth.atPartner) +
                                       Expect(forth.atSender.empty(), "RS232-1 heard itself") +
                                       Expect(back.atPartner == "xyz",
                                              "RS232-3 got " + back.atPartner);
                            }),
                ::testing::ExitedWithCode(0), "^$");
}

TEST_F(SerialFixtureTest, CutPairCarriesNothing) {
    SerialSetup setup;
    setup.pairs = DefaultSerialPairs(5);
    setup.cut = {1, 2};
    EXPECT_EXIT(WithFixture(setup,
                            [](const std::string& dev, EventList&) {
                                Exchange forth = Send(dev, 1, 2, Pattern());
                                Exchange back = Send(dev, 2, 1, Pattern());
                                return Expect(forth.atPartner.empty() && back.atPartner.empty(),
                                              "bytes crossed");
                            }),
                ::testing::ExitedWithCode(0), "^$");
}

TEST_F(SerialFixtureTest, SelfHearingPortGetsItsOwnBytesToo) {
    SerialSetup setup;
    setup.pairs = DefaultSerialPairs(5);
    setup.selfHearing = {1};
    EXPECT_EXIT(
        WithFixture(setup,
                    [](const std::string& dev, EventList&) {
                        Exchange forth = Send(dev, 1, 2, Pattern());
                        Exchange back = Send(dev, 2, 1, "b");
                        return Expect(forth.atSender == Pattern(), "RS232-1 did not hear itself") +
                               Expect(forth.atPartner == Pattern(), "RS232-2 missed the bytes") +
                               Expect(back.atSender.empty(), "RS232-2 heard itself");
                    }),
        ::testing::ExitedWithCode(0), "^$");
}

TEST_F(SerialFixtureTest, CorruptedByteHasItsLowBitFlipped) {
    SerialSetup setup;
    setup.pairs = DefaultSerialPairs(5);
    setup.corruptByte[3] = 5;
    EXPECT_EXIT(WithFixture(setup,
                            [](const std::string& dev, EventList&) {
                                std::string expected = Pattern();
                                expected[5] ^= 0x01;
                                Exchange forth = Send(dev, 3, 4, Pattern());
                                Exchange again = Send(dev, 3, 4, Pattern());  // every burst
                                return Expect(forth.atPartner == expected,
                                              "got " + forth.atPartner) +
                                       Expect(again.atPartner == expected,
                                              "second burst " + again.atPartner);
                            }),
                ::testing::ExitedWithCode(0), "^$");
}

TEST_F(SerialFixtureTest, MissingNodeIsNotCreated) {
    SerialSetup setup;
    setup.missing = {1};
    setup.rs485Count = 2;
    EXPECT_EXIT(
        WithFixture(
            setup,
            [](const std::string& dev, EventList&) {
                return Expect(access((dev + "/RS232-1").c_str(), F_OK) != 0, "RS232-1 exists") +
                       Expect(access((dev + "/RS232-2").c_str(), F_OK) == 0, "RS232-2 missing") +
                       Expect(access((dev + "/RS485-2").c_str(), F_OK) == 0, "RS485-2 missing");
            }),
        ::testing::ExitedWithCode(0), "^$");
}

std::string AskAt(const std::string& dev, int port, const std::string& message) {
    int fd = OpenRaw(dev + "/RS232-" + std::to_string(port));
    if (fd < 0) return "open failed";
    ssize_t written = write(fd, message.data(), message.size());
    (void)written;
    usleep(500000);  // the tool's wait before it reads the answer
    std::string reply = ReadQuiet(fd);
    close(fd);
    return reply;
}

TEST_F(SerialFixtureTest, AtDeviceAnswersEachMessageAfterASilence) {
    SerialSetup setup;
    setup.atPort = 1;  // a one-port board: the AT port wins over the pair (1,2)
    setup.pairs = DefaultSerialPairs(5);
    setup.atReply = std::string("\0OK\r\n", 5);
    EXPECT_EXIT(
        WithFixture(
            setup,
            [](const std::string& dev, EventList& transcript) {
                std::string first = AskAt(dev, 1, "AT");
                std::string second = AskAt(dev, 1, "AT+ERR");
                std::string partner = ReadQuiet(OpenRaw(dev + "/RS232-2"));
                std::string failures =
                    Expect(first == std::string("\0OK\r\n", 5), "first reply " + first) +
                    Expect(second == std::string("\0OK\r\n", 5), "second reply " + second) +
                    Expect(partner.empty(), "the AT port relayed to its pair partner");
                std::string record = transcript.Sorted().dump();
                return failures +
                       Expect(record.find("\"text\":\"AT+ERR\"") != std::string::npos, record) +
                       Expect(record.find("\\\\x00OK\\\\r\\\\n") != std::string::npos, record);
            }),
        ::testing::ExitedWithCode(0), "^$");
}

TEST_F(SerialFixtureTest, SilentAtDeviceAnswersNothing) {
    SerialSetup setup;
    setup.atReply = "";
    EXPECT_EXIT(WithFixture(setup,
                            [](const std::string& dev, EventList&) {
                                return Expect(AskAt(dev, 5, "AT").empty(),
                                              "a silent device answered");
                            }),
                ::testing::ExitedWithCode(0), "^$");
}

TEST_F(SerialFixtureTest, TranscriptHoldsWhatEachEndSawAndSent) {
    SerialSetup setup;
    setup.pairs = DefaultSerialPairs(5);
    EXPECT_EXIT(
        WithFixture(
            setup,
            [](const std::string& dev, EventList& transcript) {
                Send(dev, 1, 2, Pattern());
                usleep(100000);
                nlohmann::json messages = transcript.Sorted();
                if (messages.size() != 2) return "expected 2 messages: " + messages.dump();
                const auto& rx = messages[0]["dir"] == "rx" ? messages[0] : messages[1];
                const auto& tx = messages[0]["dir"] == "rx" ? messages[1] : messages[0];
                return Expect(rx["port"] == "/dev/RS232-1" && rx["len"] == 32, rx.dump()) +
                       Expect(tx["port"] == "/dev/RS232-2" && tx["len"] == 32, tx.dump()) +
                       Expect(rx["text"] == "ABCDEFGHIJKLMNOPQRST1234567890!\\x00", rx.dump()) +
                       Expect(rx["hex"].get<std::string>().rfind("41 42 43", 0) == 0, rx.dump());
            }),
        ::testing::ExitedWithCode(0), "^$");
}

TEST(MessageAssemblerTest, MessageEndsAfterFiftyMillisecondsOfQuiet) {
    MessageAssembler assembler;
    assembler.Add("A", 10.0, 1000.0);
    assembler.Add("T", 11.0, 1020.0);
    EXPECT_FALSE(assembler.TakeIfQuiet(1060.0).has_value());
    EXPECT_DOUBLE_EQ(assembler.Deadline(), 1070.0);
    auto message = assembler.TakeIfQuiet(1070.0);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->bytes, "AT");
    EXPECT_DOUBLE_EQ(message->tMs, 10.0);
    EXPECT_EQ(assembler.Pending(), 0u);
    EXPECT_DOUBLE_EQ(assembler.Deadline(), 0.0);
    EXPECT_FALSE(assembler.TakeAll().has_value());
}

}  // namespace
}  // namespace bench
