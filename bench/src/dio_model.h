// The driver behind /dev/vxdio as the fixture sees it: outputs that keep their level, inputs
// wired to outputs (DO1-DI1, DO2-DI2, SDO2-DI3, SDO1-DI4, DOk-DI(k+2)), the numbered requests
// and the text commands, and the faults of a scenario. Thread-safe.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "scenario.h"

namespace bench {

enum DioRequest : uint32_t {
    kSetDoOff = 0,
    kSetDoOn = 1,
    kReadDi = 10,
    kReadDo = 11,
    kGetNum = 12,
    kReadDiGroup = 13,
    kReadDiGroups2 = 14,
    kReadDiGroups3 = 15,
    kReadDoGroup = 16,
    kReadDoGroups2 = 17,
    kReadDoGroups3 = 18,
};

struct DioAnswer {
    int32_t value = 0;
    int32_t err = 0;  // errno when value is negative
};

class DioModel {
public:
    explicit DioModel(const DioSetup& setup);

    DioAnswer Request(uint32_t code, uint32_t arg);
    // "SON=3", "SOFF=4,5" (line end already removed). False, and nothing changed, when the
    // line is not such a command or names an output the board does not have.
    bool ApplyText(const std::string& line);

    // Level of an output by index byte (0x80 for system outputs); -1 when it does not exist.
    int OutputLevel(uint8_t index) const;
    // The index byte of the output wired to input `number`, 0 when no output is wired.
    static uint8_t WiredOutput(int input);

    static std::string RequestName(uint32_t code);
    // "DO3", "SDO1", "DI5"... for the record.
    static std::string PortName(uint8_t index, bool output);

private:
    DioAnswer SetOutput(uint8_t index, int level);
    DioAnswer ReadOutput(uint8_t index) const;
    DioAnswer ReadInput(uint8_t index) const;
    DioAnswer Count(uint32_t type) const;
    DioAnswer ReadGroups(bool output, uint8_t arg, int firstGroup, int groups) const;
    bool OutputExists(uint8_t index) const;
    bool InputExists(uint8_t index) const;

    DioSetup m_setup;
    std::map<uint8_t, int> m_levels;  // outputs switched on or off so far
    mutable std::mutex m_mutex;
};

}  // namespace bench
