// The board's serial ports as pseudo-terminals and the fixture wired to their masters: pairs
// that carry each other's bytes, the AT device on one port, and the wiring faults of a scenario.
// The tool opens the slaves through /dev/RS232-N (and /dev/RS485-N) links in the fake root.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "at_device.h"
#include "event_list.h"
#include "scenario.h"
#include "serial_transcript.h"
#include "worker.h"

namespace bench {

class SerialFixture {
public:
    SerialFixture(const SerialSetup& setup, EventList& transcript);
    ~SerialFixture();

    // Creates one pty per node from the devpts instance at <devDir>/pts and links the nodes
    // in <devDir>. The slaves stay open in raw mode so nothing echoes and no input is lost.
    bool Create(const std::string& devDir, std::string& error);
    void Start();
    // Stops the relays and records every message still in progress.
    void Stop();

    // Node names created, e.g. "RS232-1" -> "pts/0".
    std::map<std::string, std::string> Nodes() const;

private:
    struct Port {
        std::string name;  // "RS232-1"
        int number = 0;    // RS232 number, 0 for RS485 nodes
        int master = -1;
        int slave = -1;
        int pts = -1;
        MessageAssembler fromTool;
        MessageAssembler toTool;
        size_t burstBytes = 0;  // bytes since the port last fell quiet, for the corruption fault
    };

    bool CreatePort(const std::string& devDir, const std::string& name, int number,
                    std::string& error);
    void Loop();
    void ReadMaster(Port& port, double runMs, double monoMs);
    void Route(Port& from, std::string bytes, double runMs, double monoMs);
    void SendToTool(Port& port, const std::string& bytes, double runMs, double monoMs);
    void FlushQuiet(double runMs, double monoMs);
    int PollTimeoutMs(double monoMs) const;
    Port* FindByNumber(int number);
    int PartnerOf(int number) const;

    SerialSetup m_setup;
    EventList& m_transcript;
    AtDevice m_at;
    std::vector<std::unique_ptr<Port>> m_ports;
    Worker m_worker;
};

}  // namespace bench
