// The LED section's lines: the beeper and the two LEDs switched, as hwtest/ledBeeper.cpp writes
// them. LED-n of the result document is system output kFirstLedOutput + n - 1.
#include <cstring>

#include "parse/readerState.h"

namespace yield::parse {
namespace {
using namespace tracefmt;

constexpr char kLevelSeparator[] = "=";

}  // namespace

void ReadLedLine(ReaderState& st, const std::string& m) {
    int o = 0, v = 0;
    char word[8] = {0};
    if (!ScanAll(m, kSdoSwitchScan, &o, &v, word)) {
        GeneralError(st, m, kDocLed);
        return;
    }
    bool passed = std::strcmp(word, kLineOk) == 0;
    std::string port = Port(kDocLed, o - kFirstLedOutput + 1);
    std::string name = kSystemOutputName + std::to_string(o) + kLevelSeparator + std::to_string(v);
    Measurement& x = AddMeasurement(st, port, name, v, kUnitLevel, m);
    if (passed) {
        Judge(x, v, v, true);
        return;
    }
    // The line gives the level asked (or the write's error code), never the level read back: a
    // failure with no limits rather than a value inside them.
    x.outcome = kOutcomeFail;
    Fail(st, port, m);
}

}  // namespace yield::parse
