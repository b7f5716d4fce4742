// What the parts of the log parser share while they read one run's records: the reader's state,
// the helpers that file a measurement or a failure, and each part's entry point. Private to the
// parser; the log's texts themselves are traceLogFormat.h's.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <string_view>

#include "parse/logLines.h"
#include "parse/recordWords.h"
#include "parse/runRecord.h"
#include "traceLogFormat.h"

namespace yield::parse {

// Where in the log the reader is: the run's header, the set-up lines, the cycles, the summary,
// after the verdict.
enum class Zone { Header, SetUp, Cycles, Summary, End };

// One part of a run's key as the header gives it.
struct KeyPart {
    bool whole = false;  // its record is whole: the run's value
    bool sure = false;   // and the next record follows it
    bool cut = false;    // its record is the cut end of the file
    std::string text;    // what a cut record kept of the value
};

struct ReaderState {
    explicit ReaderState(RunRecord& r) : run(r) {}
    RunRecord& run;
    Zone zone = Zone::Header;
    KeyPart host, time, chip;
    bool sawStars = false;
    int cycle = 0;
    int adcInput = 0;
    std::string section;
    std::string atPort;                // the port the AT probe went to
    std::map<int, size_t> lastAnswer;  // each cycle's last AT answer among the measurements
};

// The yield tool's own words for what it files.
inline constexpr char kPortSeparator[] = "-";

inline bool StartsWith(std::string_view s, std::string_view p) {
    return s.substr(0, p.size()) == p;
}
inline bool EndsWith(std::string_view s, std::string_view p) {
    return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

// sscanf that must fill every target and consume the whole text; every format ends in %n. The
// formats are traceLogFormat.h's, passed through here unchecked.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
template <class... T>
bool ScanAll(const std::string& text, const char* fmt, T*... out) {
    int used = -1;
    int n = std::sscanf(text.c_str(), fmt, out..., &used);
    return n == static_cast<int>(sizeof...(T)) && used == static_cast<int>(text.size());
}

// sscanf of the start of a text: true when it filled every target.
template <class... T>
bool ScanStart(const char* text, const char* fmt, T*... out) {
    return std::sscanf(text, fmt, out...) == static_cast<int>(sizeof...(T));
}
#pragma GCC diagnostic pop

std::string Port(const char* family, int n);
// "/dev/RS232-5" -> "RS232-5"; anything else unchanged.
std::string PortOfPath(std::string_view path);

// A value the current cycle reports, filed as "info" until Judge rules on it.
Measurement& AddMeasurement(ReaderState& st, const std::string& port, const std::string& name,
                            double value, const char* unit, const std::string& line);
void Judge(Measurement& x, double low, double high, bool passed);
void Fail(ReaderState& st, const std::string& port, const std::string& line);
// The board's later check of `port` in this cycle passed and overrules the earlier ones that
// `of` picks: those failed measurements are reported ("info"), and their lines fail no port.
void Overrule(ReaderState& st, const std::string& port, bool (*of)(const Measurement&));
// An error line the section's own formats do not name a port in.
void GeneralError(ReaderState& st, const std::string& m, const char* family);

// Header and set-up (headerSetUp.cpp).
void ReadHeaderLine(ReaderState& st, const LogRecord& rec, const LogRecord* before);
void ReadSetUpLine(ReaderState& st, const std::string& m);

// One line of a cycle's section, one file each.
void ReadUsbLine(ReaderState& st, const std::string& m);     // usbTfLines.cpp
void ReadDioLine(ReaderState& st, const std::string& m);     // dioLines.cpp
void ReadSerialLine(ReaderState& st, const std::string& m);  // serialAtLines.cpp
void ReadAdcLine(ReaderState& st, const std::string& m);     // analogueLines.cpp
void ReadLedLine(ReaderState& st, const std::string& m);     // ledBeeperLines.cpp

// Summary lines (summaryLines.cpp): a tally, the result document, the verdict code or the verdict;
// false for any other line.
bool ReadSummaryLine(ReaderState& st, const std::string& m);
// The run's port outcomes: from the result document when it parses, else from the tallies.
void FillPorts(RunRecord& run);

// Archive names (archiveName.cpp). A last header value the file may have cut stands only when
// the archive name agrees with it; the names are null without an archive name.
void DoubtLast(ReaderState& st, const std::string* host, const std::string* chip,
               const std::string* stamp);
// The key parts a cut header lost, from the archive name; false when the name does not give
// them.
bool KeyFromName(const ReaderState& st, std::string_view fileName, RunRecord& run);

}  // namespace yield::parse
