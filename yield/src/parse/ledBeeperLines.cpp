// The LED section's lines: the beeper and the two LEDs switched, as hwtest/ledBeeper.cpp writes
// them. LED-n of the result document is system output kFirstLedOutput + n - 1.
#include <cstring>
#include <vector>

#include "parse/readerState.h"

namespace yield::parse {
namespace {
using namespace tracefmt;

constexpr char kLevelSeparator[] = "=";

bool Switch(const Measurement& x) { return x.unit == kUnitLevel; }

// The board passes an LED for a cycle when either of its switches read back: a failed switch
// beside one that passed is reported, not a failure of the LED (whose document entry passed).
void JudgeLikeTheBoard(ReaderState& st, const std::string& port) {
    const std::vector<Measurement>& ms = st.run.measurements;
    for (auto x = ms.rbegin(); x != ms.rend() && x->cycle == st.cycle; ++x) {
        if (x->port == port && Switch(*x) && x->outcome == kOutcomePass) {
            Overrule(st, port, Switch);
            return;
        }
    }
}

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
    } else {
        // The line gives the level asked (or the write's error code), never the level read
        // back: a failure with no limits rather than a value inside them.
        x.outcome = kOutcomeFail;
        Fail(st, port, m);
    }
    JudgeLikeTheBoard(st, port);
}

}  // namespace yield::parse
