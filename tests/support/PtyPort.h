// A pseudo-terminal standing in for one serial device: the code under test opens the terminal
// side through a symbolic link, the test plays the far end of the line on the controlling side.
#pragma once

#include <string>

class PtyPort {
public:
    // Opens a pseudo-terminal and links `linkPath` to its terminal side.
    explicit PtyPort(const std::string& linkPath);
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    const std::string& Path() const { return link_; }
    // The far end: bytes written here arrive at the device, bytes the device sends are read here.
    int Master() const { return master_; }
    // Our own descriptor of the device side (kept open so the far end never sees a hang-up).
    int Slave() const { return slave_; }

    // Sends bytes from the far end to the device.
    void Send(const std::string& bytes) const;
    // Everything the device has sent and the far end not yet read.
    std::string Drain() const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string link_;
};

// A fresh temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};
