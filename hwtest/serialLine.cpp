#include "serialLine.h"

#include <fcntl.h>
#include <unistd.h>

#include "vxLog.h"

namespace {
constexpr char kLogModule[] = "devuzeV7";

struct SpeedEntry {
    int nSpeed;
    speed_t speed;
};
constexpr SpeedEntry kSpeeds[] = {
    {600, B600},     {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},
    {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400}};

speed_t SpeedConstant(int nSpeed) {
    for (const auto& entry : kSpeeds) {
        if (entry.nSpeed == nSpeed) return entry.speed;
    }
    return B115200;
}

tcflag_t SizeFlag(int nBits) {
    constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    return nBits >= 5 && nBits <= 8 ? kSizes[nBits - 5] : CS8;
}

void ApplyParity(termios& opt, char cParity) {
    switch (cParity) {
        case 'E':
        case 'e':
            opt.c_cflag |= PARENB;
            opt.c_cflag &= ~PARODD;
            opt.c_iflag |= INPCK;
            break;
        case 'O':
        case 'o':
            opt.c_cflag |= PARENB | PARODD;
            opt.c_iflag |= INPCK;
            break;
        case 'S':
        case 's':
            opt.c_cflag &= ~(PARENB | CSTOPB);
            opt.c_iflag |= INPCK;
            break;
        default:
            opt.c_cflag &= ~PARENB;
            opt.c_iflag &= ~INPCK;
            break;
    }
}

void ApplyFlow(termios& opt, char cFlow) {
    switch (cFlow) {
        case 'H':
        case 'h':
            opt.c_cflag |= CRTSCTS;
            opt.c_iflag &= ~(IXON | IXOFF | IXANY);
            break;
        case 'S':
        case 's':
            opt.c_cflag &= ~CRTSCTS;
            opt.c_iflag |= IXON | IXOFF | IXANY;
            break;
        default:  // no flow control, raw mode
            opt.c_cflag &= ~CRTSCTS;
            opt.c_iflag &= ~(IXON | IXOFF | IXANY | INLCR | IGNCR | ICRNL);
            opt.c_lflag &= ~(ICANON | ECHO | ECHOE | ISIG);
            opt.c_oflag &= ~(ONLCR | OCRNL);
            break;
    }
}
}  // namespace

namespace serial {

void ApplyLineOptions(termios& opt, int nSpeed, int nBits, char cParity, int nStop, char cFlow) {
    opt.c_cflag |= CLOCAL | CREAD;
    speed_t speed = SpeedConstant(nSpeed);
    cfsetispeed(&opt, speed);
    cfsetospeed(&opt, speed);
    opt.c_cflag &= ~CSIZE;
    opt.c_cflag |= SizeFlag(nBits);
    ApplyParity(opt, cParity);
    if (nStop == 2) {
        opt.c_cflag |= CSTOPB;
    } else {
        opt.c_cflag &= ~CSTOPB;
    }
    ApplyFlow(opt, cFlow);
    opt.c_oflag &= ~OPOST;
    opt.c_cc[VTIME] = 2;
    opt.c_cc[VMIN] = 0;
}

int OpenPort(const char* path) {
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 1) {
        // Descriptor 0 is not a usable port here (0 means "none" in the inventory), but it must
        // not stay open behind the caller's back.
        if (fd == 0) close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, 0);
    return fd;
}

}  // namespace serial

int set_opt(int fd, int nSpeed, int nBits, char cParity, int nStop, char cFlow) {
    termios opt{};
    if (tcgetattr(fd, &opt) != 0) {
        RTLOG("tcgetattr error");
        return -1;
    }
    tcflush(fd, TCIOFLUSH);
    serial::ApplyLineOptions(opt, nSpeed, nBits, cParity, nStop, cFlow);
    tcflush(fd, TCIOFLUSH);
    if (tcsetattr(fd, TCSANOW, &opt) != 0) {
        RTLOG("serial setup error");
        return -1;
    }
    return 0;
}

int Read(int fd, char* pBuf, int nReadLen) {
    if (fd <= 0) return -1;
    if (pBuf == nullptr || nReadLen < 1) return 0;
    ssize_t n = read(fd, pBuf, 1);
    int nCount = (n == 1 && pBuf[0] != '\0') ? 1 : 0;
    do {
        n = read(fd, pBuf + nCount, static_cast<size_t>(nReadLen - nCount));
        if (n <= 0) break;
        nCount += static_cast<int>(n);
    } while (nCount < nReadLen);
    return nCount;
}
