// The floor of a whole run: the sum of the fixed waits the tool made, counted from what the
// run record shows (log lines, DIO requests and text commands, standard output), each wait's
// length a named constant below. Everything a run takes beyond this floor is overhead.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace devbench {

// The tool's fixed waits, in milliseconds.
namespace wait_ms {
inline constexpr double kAfterStartTimer = 200;  // start-up, after the blink timer starts
inline constexpr double kAfterStopApp = 200;     // start-up, after stopping the application
inline constexpr double kBeforeCycles = 200;     // after the inventory is set up
inline constexpr double kAfterEndTimer = 50;     // every cycle, after stopping the timer
inline constexpr double kCycleEnd = 100;         // every cycle, at its end
inline constexpr double kUsbAlertStep = 600;     // every beeper switching of the USB alert
inline constexpr double kOutputSettle = 100;     // DIO and LED tests, per settled output
inline constexpr double kLedTestClose = 300;     // LED test, after closing the device
inline constexpr double kSerialEcho = 300;       // loop-back test, after each whole write
inline constexpr double kQuietLine = 200;        // one read timeout of the serial line
inline constexpr double kSensorReply = 500;      // sensor test, between probe and reply
inline constexpr double kEndPause = 500;         // end of the run, three of them
inline constexpr double kEndPatternStep = 100;   // end pattern, per step
inline constexpr int kEndPatternSteps = 71;      // steps 0 to 70 each wait once
inline constexpr double kTipsLead = 2000;        // tips message, before opening the port
inline constexpr double kTipsReply = 500;        // tips message, between message and reply
}  // namespace wait_ms

struct FloorPart {
    std::string what;
    int count = 0;  // how many waits of this kind the record shows
    double totalMs = 0;
};

struct RunFloor {
    std::vector<FloorPart> parts;
    double totalMs = 0;
    std::vector<std::string> notes;  // what could not be derived, or looks incomplete
};

// A serial Read ends after one quiet period when bytes came and after two when none did.
double ReadWaitMs(long bytesRead);

RunFloor ComputeFloor(const nlohmann::json& record);

}  // namespace devbench
