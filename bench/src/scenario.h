// A scenario: the simulated board and fixture of one run, read from a folder holding
// scenario.ini and verbatim files (vxdio.conf, devuzeV7.ini, fuse_id, hostname).
// A scenario may name another as `base` in [scenario]; every key and verbatim file it does not
// give itself comes from the base.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace bench {

enum class Userland { kHost, kBusybox };

struct BoardSpec {
    std::string hostname = "bench1";
    Userland userland = Userland::kHost;
    std::string workdir = "/home/root";
    std::string cpuLedTrigger = "heartbeat\n";  // initial content of the trigger file
    bool duRurId = true;                        // the device's application is running
    bool trayReader = true;                     // a tray process reads the message queue
    int timeoutSec = 300;                       // the tool is killed after this
};

struct SerialSetup {
    int rs232Count = 5;
    int rs485Count = 0;
    std::set<int> missing;                   // RS232 numbers without a node
    std::vector<std::pair<int, int>> pairs;  // fixture wiring by port number
    std::set<int> cut;                       // ports whose fixture wire is cut
    std::set<int> selfHearing;               // ports that also hear their own bytes
    std::map<int, int> corruptByte;          // port -> index of the byte flipped in each burst
    int atPort = 5;                          // 0: no AT device
    std::string atReply = "OK\r\n";          // empty: a silent device
};

struct DioSetup {
    bool present = true;
    int diCount = 6;
    int doCount = 4;
    int sysDiCount = 0;
    int sysDoCount = 5;
    std::map<uint8_t, int> stuckInputs;    // input index byte -> level it always reads
    std::set<uint8_t> refusedOutputs;      // output index bytes whose set requests fail
    std::map<uint8_t, int> fixedReadBack;  // output index byte -> what RD_DO always answers
};

struct StickSpec {
    std::string name;  // partition name: sda1 is mounted at /run/media/sda1 from /dev/sda1
    bool full = false;
    bool readOnly = false;
};

struct StorageSpec {
    std::vector<StickSpec> sticks;
    bool tfCard = false;
    bool nandReadOnly = false;
    std::string stickSize = "16m";
    std::string nandSize = "64m";  // tmpfs size of /NandFlash
};

struct Scenario {
    std::string name;
    std::string dir;
    std::string description;
    BoardSpec board;
    SerialSetup serial;
    DioSetup dio;
    std::map<int, std::string> adcRaw;  // IIO channel -> content of in_voltageN_raw
    StorageSpec storage;
    std::optional<std::string> vxdioConf;  // nullopt: /etc/vxdio.conf absent
    std::optional<std::string> devuzeIni;  // nullopt: no devuzeV7.ini in the working directory
    std::optional<std::string> fuseId;     // nullopt: no HW_OCOTP_CFG1
    std::vector<std::string> defaultArgs;  // tool arguments when the command line gives none
    std::set<int> closedFds;               // of 0, 1 and 2: closed when the tool starts
    bool stdoutClosedPipe = false;         // standard output a pipe whose reader is gone
};

// Standard contents, used when scenario.ini says `standard` for a verbatim file.
inline constexpr char kStandardVxdioConf[] = "vx_di=1,2,3,4,5,6\nvx_do=1,2,3,4\n";
inline constexpr char kStandardDevuzeIni[] = "[APP]\nTestMode=0\n";
inline constexpr char kStandardFuseId[] = "0x1A2B3C4D\n";

// Loads a scenario by name (a folder under `scenariosRoot`) or by folder path. On failure
// returns false with a message naming the file and key at fault.
bool LoadScenario(const std::string& nameOrDir, const std::string& scenariosRoot,
                  Scenario& scenario, std::string& error);

// Port names of the DIO: "DO3" -> 0x03, "SDO1" -> 0x81, "DI5" -> 0x05, "SDI2" -> 0x82.
// `output` selects DO/SDO or DI/SDI. Returns false for anything else.
bool ParseDioPortName(const std::string& name, bool output, uint8_t& index);

// The fixture's serial pairs for the tool's pairing: (1,2), (3,4), then (6,7), (9,10), ...
std::vector<std::pair<int, int>> DefaultSerialPairs(int maxPort);

// Counts the channels of the "vx_di" and "vx_do" lines of a vxdio.conf text.
void CountDioConf(const std::string& conf, int& diCount, int& doCount);

}  // namespace bench
