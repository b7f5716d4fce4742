// The USB section's lines: the sticks found against the count discovered, and the TF card, as
// hwtest/usbTfMedia.cpp writes them.
#include "parse/readerState.h"

namespace yield::parse {
namespace {
using namespace tracefmt;

constexpr char kUsbCountName[] = "USB.count";
constexpr char kTfMountedName[] = "TF.mounted";
constexpr char kUnitSticks[] = "sticks";
constexpr char kUnitCards[] = "cards";

// The sticks found, judged against the count the set-up discovered.
void StickCount(ReaderState& st, int n, const std::string& m) {
    Measurement& x = AddMeasurement(st, kDocUsb, kUsbCountName, n, kUnitSticks, m);
    auto expected = st.run.counts.find(kDocUsb);
    if (expected == st.run.counts.end()) return;
    Judge(x, expected->second, expected->second, n >= expected->second);
    if (n < expected->second) Fail(st, kDocUsb, m);
}

}  // namespace

void ReadUsbLine(ReaderState& st, const std::string& m) {
    int n = 0;
    if (ScanAll(m, kUsbCountScan, &n)) {
        StickCount(st, n, m);
    } else if (m == kTfNone) {
        AddMeasurement(st, "", kTfMountedName, 0, kUnitCards, m);
    } else if (ScanAll(m, kTfCountScan, &n)) {
        AddMeasurement(st, "", kTfMountedName, n, kUnitCards, m);
    } else {
        GeneralError(st, m, kDocUsb);
    }
}

}  // namespace yield::parse
