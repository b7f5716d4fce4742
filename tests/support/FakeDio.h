// A stand-in for the DIO driver behind the DioDriver() seam: records every request in a
// timeline and answers from a small model of outputs and wired inputs. A temporary file stands
// for the device node.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "vxDioIoctl.h"

class FakeDio : public DioDriverOps {
public:
    FakeDio();            // installs itself as the driver
    ~FakeDio() override;  // puts back the driver it replaced
    FakeDio(const FakeDio&) = delete;
    FakeDio& operator=(const FakeDio&) = delete;
    const std::string& Path() const { return path_; }

    // Fixed answer to request `code` with `arg` (a negative value refuses it).
    void SetAnswer(unsigned long code, unsigned long arg, int answer);
    // Input `di` reads the state of output `out` (both index bytes).
    void Wire(unsigned long di, unsigned long out) { wires_[di] = out; }
    void SetCount(int type, int count) { counts_[type] = count; }

    // Every request as "<code>:0x<arg>", with whatever Note added, in order.
    const std::vector<std::string>& Timeline() const { return timeline_; }
    void Note(const std::string& event) { timeline_.push_back(event); }
    // Args of the requests with `code`, in order.
    std::vector<unsigned long> ArgsOf(unsigned long code) const;
    // Whether the descriptor of the latest request is still open.
    bool LastFdOpen() const;

    int Ioctl(int fd, unsigned long code, unsigned long arg) override;

private:
    int Answer(unsigned long code, unsigned long arg);

    DioDriverOps* replaced_ = nullptr;
    std::string path_;
    int lastFd_ = -1;
    std::vector<std::string> timeline_;
    std::vector<std::pair<unsigned long, unsigned long>> requests_;
    std::map<std::pair<unsigned long, unsigned long>, int> answers_;
    std::map<unsigned long, int> outputs_;
    std::map<unsigned long, unsigned long> wires_;
    std::map<int, int> counts_;
};
