// The bench's probe: run by `devuzeV7-bench --self-test` in place of the tool, inside the fake
// root. It exercises each simulated part the way the tool will and prints one report line per
// part: "probe <part> ok|fail key=value...". The bench compares the report with its record.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr char kPattern[] = "ABCDEFGHIJKLMNOPQRST1234567890!";  // 31 characters and its zero
constexpr size_t kPatternBytes = 32;
constexpr int kTrayKey = 0x9000;
constexpr long kTrayType = 36876;

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void Report(const char* part, bool ok, const std::string& details) {
    printf("probe %s %s %s\n", part, ok ? "ok" : "fail", details.c_str());
    fflush(stdout);
}

// Raw line, reads end after 0.2 s without a byte (VTIME=2, VMIN=0), blocking mode.
int OpenSerial(const char* path) {
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    fcntl(fd, F_SETFL, 0);
    struct termios tio {};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tio.c_cc[VTIME] = 2;
    tio.c_cc[VMIN] = 0;
    tcflush(fd, TCIOFLUSH);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

// Collects a reply until a read returns nothing; `quietMs` is the time from the last byte to
// that empty read.
std::string ReadReply(int fd, double& quietMs) {
    std::string reply;
    char buffer[256];
    double lastByte = NowMs();
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) break;
        reply.append(buffer, static_cast<size_t>(n));
        lastByte = NowMs();
    }
    quietMs = NowMs() - lastByte;
    return reply;
}

void ProbeLoopback() {
    int a = OpenSerial("/dev/RS232-1");
    int b = OpenSerial("/dev/RS232-2");
    if (a < 0 || b < 0) return Report("loopback", false, "open_failed=1");
    ssize_t written = write(a, kPattern, kPatternBytes);
    usleep(100000);
    double quietMs = 0;
    std::string reply = ReadReply(b, quietMs);
    bool same = reply.size() == kPatternBytes && memcmp(reply.data(), kPattern, kPatternBytes) == 0;
    Report("loopback", written == static_cast<ssize_t>(kPatternBytes) && same,
           "bytes=" + std::to_string(reply.size()) + " quiet_ms=" + std::to_string(int(quietMs)));
    close(a);
    close(b);
}

void ProbeAt() {
    int fd = OpenSerial("/dev/RS232-5");
    if (fd < 0) return Report("at", false, "open_failed=1");
    ssize_t written = write(fd, "AT", 2);
    usleep(500000);
    double quietMs = 0;
    std::string reply = ReadReply(fd, quietMs);
    Report("at", written == 2 && reply.find("OK") != std::string::npos,
           "reply_len=" + std::to_string(reply.size()));
    close(fd);
}

void ProbeIoctl() {
    int fd = open("/dev/vxdio", O_RDWR);
    if (fd < 0) return Report("ioctl", false, "open_failed=1");
    int setOn = ioctl(fd, 1, 0x01);
    int readDo = ioctl(fd, 11, 0x01);
    int readDi = ioctl(fd, 10, 0x01);
    int diCount = ioctl(fd, 12, 1);
    int setSdo1 = ioctl(fd, 1, 0x81);
    int readDi4 = ioctl(fd, 10, 0x04);
    close(fd);
    bool ok =
        setOn == 0 && readDo == 1 && readDi == 1 && diCount == 6 && setSdo1 == 0 && readDi4 == 1;
    Report("ioctl", ok,
           "di_count=" + std::to_string(diCount) + " di1=" + std::to_string(readDi) +
               " di4=" + std::to_string(readDi4));
}

void ProbeEcho() {
    int status = system("echo SON=3 > /dev/vxdio");
    Report("echo", status == 0, "status=" + std::to_string(status));
}

void ProbeDf() {
    FILE* df = popen("df", "r");
    if (df == nullptr) return Report("df", false, "popen_failed=1");
    std::string text;
    char line[1024];
    while (fgets(line, sizeof line, df) != nullptr) text += line;
    pclose(df);
    bool sda = text.find("/dev/sda1") != std::string::npos &&
               text.find("/run/media/sda1") != std::string::npos;
    bool sdb = text.find("/dev/sdb1") != std::string::npos &&
               text.find("/run/media/sdb1") != std::string::npos;
    Report("df", sda && sdb,
           std::string("sda1=") + (sda ? "1" : "0") + " sdb1=" + (sdb ? "1" : "0"));
}

void ProbeHostname() {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    Report("hostname", strcmp(host, "bench1") == 0, std::string("name=") + host);
}

void ProbeTray() {
    struct {
        long type;
        int values[19];  // 76 bytes: two values and 68 zero bytes
    } message = {kTrayType, {2, 0}};
    int queue = msgget(kTrayKey, IPC_CREAT | IPC_NOWAIT | 0666);
    int sent = queue < 0 ? -1 : msgsnd(queue, &message, sizeof message.values, IPC_NOWAIT);
    Report("tray", sent == 0, "queue=" + std::to_string(queue));
}

void ProbeStartUpCommands() {
    int killall = system("killall duRurID");
    int trigger = system("echo none > /sys/class/leds/cpu/trigger");
    Report("commands", killall == 0 && trigger == 0,
           "killall=" + std::to_string(killall) + " trigger=" + std::to_string(trigger));
}

}  // namespace

int main() {
    ProbeHostname();
    ProbeTray();
    ProbeStartUpCommands();
    ProbeLoopback();
    ProbeAt();
    ProbeIoctl();
    ProbeEcho();
    ProbeDf();
    return 0;
}
