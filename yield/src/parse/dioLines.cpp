// The DIO section's lines: each output written, read back on its input, as
// hwtest/dioLoopback.cpp writes them. A system output has no entry of its own in the result
// document: its read-back is filed under the input it was read on.
#include <cstring>

#include "parse/readerState.h"

namespace yield::parse {
namespace {
using namespace tracefmt;

constexpr char kLevelSeparator[] = "=";
constexpr char kInputSeparator[] = ".DI";

// One read-back line of output k (a system output when `system`) at level s, read on input d:
// the level input d read, against the level the output took. A disagreeing input fails; an
// ordinary output keeps its pass (it took its level), so the line explains the input alone.
void ReadBack(ReaderState& st, bool system, int k, int s, int d, int v, const char* word,
              const std::string& m) {
    bool passed = std::strcmp(word, kLineOk) == 0 && v == s;
    std::string name = std::string(system ? kSystemOutputName : kOutputName) + std::to_string(k) +
                       kLevelSeparator + std::to_string(s) + kInputSeparator + std::to_string(d);
    std::string port = Port(kDocDi, d);
    Judge(AddMeasurement(st, port, name, v, kUnitLevel, m), s, s, passed);
    if (!passed) Fail(st, port, m);
}

// An output that failed before any read-back: its own port, or for a system output the input
// it lacks.
bool WriteFailure(ReaderState& st, const std::string& m) {
    int k = 0, s = 0, d = 0;
    if (ScanAll(m, kDoWriteErrScan, &k, &s) || ScanAll(m, kDoNoInputScan, &k, &s, &d)) {
        Fail(st, Port(kDocDo, k), m);
    } else if (ScanAll(m, kSdoNoInputScan, &k, &s, &d)) {
        Fail(st, Port(kDocDi, d), m);
    } else {
        return false;
    }
    return true;
}

}  // namespace

void ReadDioLine(ReaderState& st, const std::string& m) {
    int k = 0, s = 0, d = 0, v = 0;
    char word[8] = {0};
    if (ScanAll(m, kReadBackScanDo, &k, &s, &d, &v, word)) {
        ReadBack(st, false, k, s, d, v, word, m);
    } else if (ScanAll(m, kReadBackScanSdo, &k, &s, &d, &v, word)) {
        ReadBack(st, true, k, s, d, v, word, m);
    } else if (!WriteFailure(st, m)) {
        GeneralError(st, m, kSectionDio);
    }
}

}  // namespace yield::parse
