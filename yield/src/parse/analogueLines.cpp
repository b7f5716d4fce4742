// The ADC section's lines: the channel each read command names, and the reading of each input
// judged against the board's window, as hwtest/adcInputs.cpp writes them.
#include <cstring>

#include "parse/readerState.h"

namespace yield::parse {
namespace {
using namespace tracefmt;

constexpr char kInputName[] = "AI";
constexpr char kRawName[] = ".raw";
constexpr double kHundredthsPerVolt = 100.0;

int InputOfChannel(int channel) {
    return channel <= kAdcLastDirectChannel ? channel : channel - kAdcSkippedChannels;
}

// "AI<input>: nDatRead=<raw> nValTmp=<hundredths> OK!|Err!": the raw count and the voltage.
void Reading(ReaderState& st, int input, int raw, int hundredths, const char* word,
             const std::string& m) {
    bool passed = std::strcmp(word, kLineOk) == 0;
    std::string port = Port(kDocAdc, input);
    std::string name = kInputName + std::to_string(input);
    AddMeasurement(st, port, name + kRawName, raw, kUnitCounts, m);
    Measurement& volts =
        AddMeasurement(st, port, name, hundredths / kHundredthsPerVolt, kUnitVolts, m);
    Judge(volts, kAdcLowHundredths / kHundredthsPerVolt, kAdcHighHundredths / kHundredthsPerVolt,
          passed);
    if (!passed) Fail(st, port, m);
}

// "Err nDatRead:<raw>": a raw count outside the converter's range, on the input last named.
void BadCount(ReaderState& st, int raw, const std::string& m) {
    std::string port = Port(kDocAdc, st.adcInput);
    std::string name = kInputName + std::to_string(st.adcInput) + kRawName;
    Judge(AddMeasurement(st, port, name, raw, kUnitCounts, m), kAdcRawMin, kAdcRawMax, false);
    Fail(st, port, m);
}

}  // namespace

void ReadAdcLine(ReaderState& st, const std::string& m) {
    int ch = 0, raw = 0, h = 0;
    char word[8] = {0};
    if (ScanStart(m.c_str(), kAdcReadScan, &ch)) {
        st.adcInput = InputOfChannel(ch);
    } else if (ScanAll(m, kAdcScan, &ch, &raw, &h, word)) {
        Reading(st, ch, raw, h, word, m);
    } else if (ScanAll(m, kAdcErrScan, &raw)) {
        BadCount(st, raw, m);
    } else {
        GeneralError(st, m, kDocAdc);
    }
}

}  // namespace yield::parse
