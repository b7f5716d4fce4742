// Serial line set-up and the timed read that every serial exchange of the tool uses.
#pragma once

#include <termios.h>

// Puts the open serial device `fd` into the given line settings: speed (600 ... 230400 bit/s,
// anything else 115200), data bits (5 to 8, anything else 8), parity ('N', 'E', 'O', 'S' in either
// case, anything else none), stop bits (2, anything else 1) and flow control ('H' hardware,
// 'S' software, anything else none and raw mode). Reads then end after 0.2 s without a byte
// (VTIME 2, VMIN 0). Flags not named keep the device's values. Pending input and output are
// discarded. Returns 0 when applied, -1 (with a log line) when reading or applying failed.
int set_opt(int fd, int nSpeed, int nBits, char cParity, int nStop, char cFlow);

// Collects a reply of at most `nReadLen` bytes into `pBuf`: returns once the line has been quiet
// for 0.2 s after the last byte, or at once when the buffer is full. A leading zero byte is
// dropped. The buffer is neither cleared nor terminated. Returns the number of bytes stored
// (0 when nothing arrived, after about 0.4 s), -1 when `fd` is not positive. Relies on the
// blocking mode and read timing that set_opt leaves.
int Read(int fd, char* pBuf, int nReadLen);

namespace serial {

// Size of a short serial reply, and of the buffer that holds it as text even without a zero byte.
inline constexpr int kReplyLen = 64;
inline constexpr int kReplyBufSize = kReplyLen + 1;
// Wait between sending a command to the AT device and reading its reply.
inline constexpr unsigned kReplyWaitUs = 500000;

// The attribute changes of set_opt, applied to `opt` without touching any device.
void ApplyLineOptions(termios& opt, int nSpeed, int nBits, char cParity, int nStop, char cFlow);

// Opens a serial device read-write, not as controlling terminal, and switches it to blocking
// mode. Returns the descriptor, or -1 when the open gave none above 0.
int OpenPort(const char* path);

}  // namespace serial
