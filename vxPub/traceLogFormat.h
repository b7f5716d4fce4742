// The trace log's format: every text of the log that a reader relies on, defined once for the
// tool that writes it and the host tools that read it back. A printf format the tool writes with
// has a scanf twin ("...Scan") that reads the same text back: every twin fills all of its
// targets and ends in "%n", so a reader can check that it took the whole message (the message
// is what follows the record prefix, without the caller tail). A line a value ends without a
// scannable end (a host name, the result document) is read by its key instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tracefmt {

// Compile-time text helpers, for the checks below that tie a format to its key.
constexpr bool StartsWith(const char* text, const char* prefix) {
    for (; *prefix != '\0'; ++text, ++prefix) {
        if (*text != *prefix) return false;
    }
    return true;
}

constexpr size_t Length(const char* text) {
    size_t n = 0;
    while (text[n] != '\0') ++n;
    return n;
}

constexpr bool EndsWith(const char* text, const char* suffix) {
    size_t t = Length(text);
    size_t s = Length(suffix);
    return t >= s && StartsWith(text + (t - s), suffix);
}

constexpr bool SameText(const char* a, const char* b) {
    return StartsWith(a, b) && Length(a) == Length(b);
}

constexpr bool Contains(const char* text, const char* part) {
    for (; *text != '\0'; ++text) {
        if (StartsWith(text, part)) return true;
    }
    return *part == '\0';
}

// ---- Records --------------------------------------------------------------------------------

// Every record: "<n>=[<tag>][YYYY-MM-DD hh:mm:ss] <message>". n counts from 0 and starts again
// at 0 after a rotation; a record line that does not carry the next number continues the
// message before it (a message may hold line feeds of its own).
inline constexpr char kRecordPrefixFmt[] = "%ld=[%s][%d-%02d-%02d %02d:%02d:%02d] ";
// Reads the prefix up to the "]" that closes the time; the blank after it is the caller's to
// check (a scanf blank would take any run of white space). Targets: n, tag, the six fields.
inline constexpr char kRecordPrefixScan[] = "%11ld=[%64[^]]][%4d-%2d-%2d %2d:%2d:%2d]%n";
inline constexpr char kSeqEnd[] = "=[";
// The time field and the blank after it, with '0' for every digit.
inline constexpr char kTimeFieldShape[] = "[0000-00-00 00:00:00] ";
// The same time for strftime, for programs that make or rewrite records.
inline constexpr char kRecordTimeFmt[] = "%Y-%m-%d %H:%M:%S";
inline constexpr size_t kRecordTimeLength = 19;
inline constexpr size_t kMaxSeqDigits = 11;
inline constexpr size_t kMaxTagLength = 64;
// The tag of every message of the tool.
inline constexpr char kTag[] = "RtLog";
// Every message ends in "\t<module> <function> line=<n>\n", which readers strip.
inline constexpr char kCallerTailFmt[] = "\t%s %s line=%d\n";
inline constexpr char kCallerTailLine[] = " line=";

// ---- Zones ----------------------------------------------------------------------------------

// 42 stars: before and after the header's values, after the last cycle, after the summary.
inline constexpr char kStars[] = "******************************************";
// Between the set-up lines and the first cycle.
inline constexpr char kCyclesStart[] = "***************** test *******************";

// ---- Header ---------------------------------------------------------------------------------

// First line: the program and its arguments, each argument after one blank.
inline constexpr char kArgsFmt[] = "%s %s";
// "<key><value>": the value runs to the end of the message (control characters escaped).
inline constexpr char kHostKey[] = "hostname:";
inline constexpr char kHostFmt[] = "hostname:%s";
// The start time, formatted with kTimeStampFmt; also the time in the archive names.
inline constexpr char kDateTimeKey[] = "DateTime:";
inline constexpr char kDateTimeFmt[] = "DateTime:%s";
inline constexpr char kTimeStampFmt[] = "%Y_%m_%d_%H_%M_%S";  // strftime
inline constexpr size_t kTimeStampLength = 19;
inline constexpr char kBuildKey[] = "Build:";
inline constexpr char kBuildFmt[] = "Build:%s %s";  // compile date and time
inline constexpr char kVersionKey[] = "Version:";
inline constexpr char kVersionFmt[] = "Version:%s";
inline constexpr char kTestModeKey[] = "TestMode:";
inline constexpr char kTestModeFmt[] = "TestMode:%d";
inline constexpr char kTestModeScan[] = "TestMode:%9d%n";
inline constexpr char kChipIdKey[] = "iMx6ull:";
inline constexpr char kChipIdFmt[] = "iMx6ull:%s";

static_assert(StartsWith(kHostFmt, kHostKey) && StartsWith(kDateTimeFmt, kDateTimeKey));
static_assert(StartsWith(kBuildFmt, kBuildKey) && StartsWith(kVersionFmt, kVersionKey));
static_assert(StartsWith(kTestModeFmt, kTestModeKey) && StartsWith(kTestModeScan, kTestModeKey));
static_assert(StartsWith(kChipIdFmt, kChipIdKey));
static_assert(Length(kStars) == 42 && Length(kCyclesStart) == 42);

// ---- Set-up ---------------------------------------------------------------------------------

// Every count line starts so; the first one ends the header.
inline constexpr char kSetUpMark[] = "@:";
inline constexpr char kTestCntFmt[] = "@:nTestCnt:%d";
inline constexpr char kTestCntScan[] = "@:nTestCnt:%9d%n";
inline constexpr char kPortSelectFmt[] = "@:iPortSelect:%d";
inline constexpr char kPortSelectScan[] = "@:iPortSelect:%9d%n";
inline constexpr char kLoadPortInfo[] = "***Load Port Info:***";
// "@:<name> Cnt:<n>", one per family. Two names differ from the family: kCountUsb and
// kCountLed stand for "USB" and "LED".
inline constexpr char kCountFmt[] = "@:%s Cnt:%d";
inline constexpr char kCountScan[] = "@:%15s Cnt:%9d%n";
inline constexpr char kCountRs485[] = "RS485";
inline constexpr char kCountRs232[] = "RS232";
inline constexpr char kCountDo[] = "DO";
inline constexpr char kCountDi[] = "DI";
inline constexpr char kCountAi[] = "AI";
inline constexpr char kCountUsb[] = "cntUSB";
inline constexpr char kCountLed[] = "cntLED";
// Discovery failed: the run ends here with verdict code kSetUpFailureCode, without cycles.
inline constexpr char kSetUpFailed[] = "Err Get Port Info!!!";

static_assert(StartsWith(kTestCntFmt, kSetUpMark) && StartsWith(kCountFmt, kSetUpMark));

// ---- Cycles ---------------------------------------------------------------------------------

inline constexpr char kCycleFmt[] = "-----Try Test %d-----";
inline constexpr char kCycleScan[] = "-----Try Test %9d-----%n";
// "****Try Test <section> <cycle>*****" opens each family's lines within a cycle.
inline constexpr char kSectionFmt[] = "****Try Test %s %d*****";
inline constexpr char kSectionScan[] = "****Try Test %15s %9d*****%n";
inline constexpr char kSectionUsb[] = "USB";
inline constexpr char kSectionDio[] = "DIO";
inline constexpr char kSectionRs232[] = "RS232";
inline constexpr char kSectionAdc[] = "ADC";
inline constexpr char kSectionLed[] = "SDO";

// The outcome words that end a test line.
inline constexpr char kLineOk[] = "OK!";
inline constexpr char kLineErr[] = "Err!";
// A line of a section that none of its formats below reads reports an error when it holds one
// of these words (an error the routine logs in its own words, such as a device that would not
// open).
inline constexpr char kErrWord[] = "Err";
inline constexpr char kErrorWord[] = "error";

// USB section: one line per stick found, then the count of sticks and of TF cards.
inline constexpr char kUsbCountFmt[] = "USB Dev Cnt:%d";
inline constexpr char kUsbCountScan[] = "USB Dev Cnt:%9d%n";
inline constexpr char kTfCountFmt[] = "TF card mount nCnttmp:%d";
inline constexpr char kTfCountScan[] = "TF card mount nCnttmp:%9d%n";
inline constexpr char kTfNone[] = "TF card not mount";

// DIO section. "Write DO<k>:<level> Read DI<d>:<read> OK!|Err!", and the same for the system
// outputs as "Write SDO<j>:...". A system output has no entry of its own in the result
// document: readers file its read-back under the input DI<d> it was read on.
inline constexpr char kDoReadBackFmt[] = "Write DO%d:%d Read DI%d:%d %s";
inline constexpr char kSdoReadBackFmt[] = "Write SDO%d:%d Read DI%d:%d %s";
inline constexpr char kReadBackScanDo[] = "Write DO%9d:%9d Read DI%9d:%9d %7s%n";
inline constexpr char kReadBackScanSdo[] = "Write SDO%9d:%9d Read DI%9d:%9d %7s%n";
// The outputs as these lines name them: an ordinary output and a system output.
inline constexpr char kOutputName[] = "DO";
inline constexpr char kSystemOutputName[] = "SDO";
static_assert(Contains(kDoReadBackFmt, kOutputName) &&
              Contains(kSdoReadBackFmt, kSystemOutputName));
// An output that would not take its level, and an output whose input is missing.
inline constexpr char kDoWriteErrFmt[] = "Write DO%d:%d Err!";
inline constexpr char kDoWriteErrScan[] = "Write DO%9d:%9d Err!%n";
inline constexpr char kDoNoInputFmt[] = "Write DO%d:%d no DI%d to read, Err!";
inline constexpr char kDoNoInputScan[] = "Write DO%9d:%9d no DI%9d to read, Err!%n";
inline constexpr char kSdoNoInputFmt[] = "Write SDO%d:%d no DI%d to read, Err!";
inline constexpr char kSdoNoInputScan[] = "Write SDO%9d:%9d no DI%9d to read, Err!%n";

// ADC section: the read command (kAdcReadFmt, with kAdcReadLineFmt) names the channel, then
// "AI<input>: nDatRead=<raw> nValTmp=<hundredths of a volt> OK!|Err!", or "Err nDatRead:<raw>"
// for a reading outside kAdcRawMin..kAdcRawMax (with the line as read when it is no number).
inline constexpr char kAdcReadFmt[] = "cat /sys/bus/iio/devices/iio:device0/in_voltage%d_raw";
inline constexpr char kAdcReadLineFmt[] = "%s...";
// Reads the start of the read command's line: the channel.
inline constexpr char kAdcReadScan[] = "cat /sys/bus/iio/devices/iio:device0/in_voltage%9d_raw";
inline constexpr char kAdcFmt[] = "AI%d: nDatRead=%d nValTmp=%d %s";
inline constexpr char kAdcScan[] = "AI%9d: nDatRead=%9d nValTmp=%9d %7s%n";
inline constexpr char kAdcErrFmt[] = "Err nDatRead:%d";
inline constexpr char kAdcErrScan[] = "Err nDatRead:%9d%n";
inline constexpr char kAdcErrTextFmt[] = "Err nDatRead:%.*s";
inline constexpr int kAdcRawMin = 1;
inline constexpr int kAdcRawMax = 4095;  // full scale, 3.3 V
// Inputs 1..5 are channels 1..5; from input 6 on, the channel is the input + 2.
inline constexpr int kAdcLastDirectChannel = 5;
inline constexpr int kAdcSkippedChannels = 2;
// The window an input must read within, in hundredths of a volt: 1.50 V to 1.70 V.
inline constexpr int kAdcLowHundredths = 150;
inline constexpr int kAdcHighHundredths = 170;

// RS232 section: every pattern exchanged carries this many bytes (31 characters and the zero
// byte); a read of the partner that got them all is "OK!".
inline constexpr int kLoopBackBytes = 32;
// A pair's exchange: port a sends, then a reads its own line (no outcome word) and its partner b
// reads ("OK!" or "Error!" after b's number). The message is the pattern itself.
inline constexpr char kPairReadOkFmt[] =
    "Write RS232-%d msgSend:%s,Read RS232-%d OK! iread:%d msg: %s";
inline constexpr char kPairReadErrFmt[] =
    "Write RS232-%d msgSend:%s,Read RS232-%d Error! iread:%d msg: %s";
inline constexpr char kOwnReadFmt[] = "Write RS232-%d msgSend:%s,Read RS232-%d iread:%d msg: %s";
inline constexpr char kPairSendErrFmt[] = "Write RS232-%d msgSend:%s,Err! iwrite=%d";
inline constexpr char kPartnerSendErrFmt[] = "Err Write RS232-%d msgSend:%s iwrite=%d";
inline constexpr char kNoPartnerFmt[] = "RS232-%d has no partner, not tested!!!";
inline constexpr char kNoPartnerScan[] = "RS232-%9d has no partner, not tested!!!%n";
// The keys a reader takes an exchange line by: the sender from its start, then the reader.
inline constexpr char kPairSendScan[] = "Write RS232-%9d msgSend:";
inline constexpr char kPartnerSendErrScan[] = "Err Write RS232-%9d";
inline constexpr char kPairReadKey[] = ",Read RS232-";
inline constexpr char kPairReadOk[] = " OK! ";
inline constexpr char kPairReadErr[] = " Error! ";
inline constexpr char kPairSendErr[] = ",Err!";
inline constexpr char kReadCountKey[] = "iread:";
inline constexpr char kReadCountScan[] = "iread:%9d";
// A port that would not open or take its settings: "<key><path> Err!!!".
inline constexpr char kOpenPortErrFmt[] = "open Port:%s Err!!!";
inline constexpr char kSetOptErrFmt[] = "set_opt Port:%s Err!!!";
inline constexpr char kOpenPortErrKey[] = "open Port:";
inline constexpr char kSetOptErrKey[] = "set_opt Port:";
inline constexpr char kPortErrEnd[] = " Err!!!";
// Every serial port's path starts so ("/dev/RS232-<n>"); the port's name is what follows.
inline constexpr char kPortPathStart[] = "/dev/";

// The AT probe of the sensor port, within the RS232 section: the probe sent, the answer read,
// then the port's outcome.
inline constexpr char kAtSendFmt[] = "%s iwrite:%d write:%s szMsgRec[0]=%02X,szMsgRec[1]==%02X";
inline constexpr char kAtSendErrFmt[] = "%s write Err iwrite=%d";
inline constexpr char kAtNoAnswerFmt[] = "iwrite:%d iread:%d Err!!!";
inline constexpr char kAtNoAnswerScan[] = "iwrite:%9d iread:%9d Err!!!%n";
inline constexpr char kAtAnswerFmt[] = "%s read:%s";
inline constexpr char kAtAnswerErrFmt[] = "%s read:%s Err!!!";
inline constexpr char kAtPassFmt[] = "Port:%s Test OK !!! ";
inline constexpr char kAtFailFmt[] = "Port:%s Test Err !!!";
// The keys a reader takes the AT lines by.
inline constexpr char kAtSendKey[] = " iwrite:";
inline constexpr char kAtAnswerKey[] = " read:";
inline constexpr char kAtErrMark[] = " Err";
inline constexpr char kAtOutcomeStart[] = "Port:";
inline constexpr char kAtOutcomeKey[] = " Test ";
inline constexpr char kAtPassEnd[] = " Test OK !!! ";
inline constexpr char kAtFailEnd[] = " Test Err !!!";

static_assert(StartsWith(kPairReadOkFmt, "Write RS232-%d msgSend:") &&
              StartsWith(kPairReadErrFmt, "Write RS232-%d msgSend:") &&
              StartsWith(kOwnReadFmt, "Write RS232-%d msgSend:") &&
              StartsWith(kPairSendErrFmt, "Write RS232-%d msgSend:"));
static_assert(StartsWith(kOpenPortErrFmt, kOpenPortErrKey) &&
              EndsWith(kOpenPortErrFmt, kPortErrEnd) && StartsWith(kSetOptErrFmt, kSetOptErrKey) &&
              EndsWith(kSetOptErrFmt, kPortErrEnd));
static_assert(EndsWith(kAtAnswerErrFmt, kPortErrEnd) && StartsWith(kAtPassFmt, kAtOutcomeStart) &&
              EndsWith(kAtPassFmt, kAtPassEnd) && StartsWith(kAtFailFmt, kAtOutcomeStart) &&
              EndsWith(kAtFailFmt, kAtFailEnd) && StartsWith(kAtPassEnd, kAtOutcomeKey) &&
              StartsWith(kAtFailEnd, kAtOutcomeKey) && StartsWith(kPortErrEnd, kAtErrMark));

// LED section: "Write SDO<output>:<level> OK!|Err!" for the beeper and the two LEDs.
inline constexpr char kSdoSwitchFmt[] = "Write SDO%d:%d %s";
inline constexpr char kSdoSwitchScan[] = "Write SDO%9d:%9d %7s%n";

// ---- The board's numbering that the log carries ------------------------------------------

// Two system outputs, SDO1 and SDO2, follow DO1..DO<count> in the DO entries and tallies: the
// DO tally lines past the "@:DO Cnt:" count are theirs, and the result document leaves them out.
inline constexpr int kSystemOutputs = 2;

// The beeper and the two LEDs, as system outputs and in test order. The result document numbers
// them 1, 2, 3 in this order; the summary names them and gives them other numbers (the Led-<n>
// of its lines), so readers number an LED by its name.
inline constexpr int kBeeperOutput = 3;
inline constexpr int kLedD3Output = 4;
inline constexpr int kLedD2Output = 5;
inline constexpr int kFirstLedOutput = kBeeperOutput;  // LED-n of the document is SDO(n + 2)

struct Led {
    const char* name;  // in the summary's "Led-<n>[<name>]"
    int summaryNumber;
    int output;
};
inline constexpr Led kLeds[] = {
    {"Beep", 0, kBeeperOutput},
    {"D3", 2, kLedD3Output},
    {"D2", 1, kLedD2Output},
};
inline constexpr int kLedCount = static_cast<int>(sizeof kLeds / sizeof kLeds[0]);

// ---- Summary --------------------------------------------------------------------------------

// "<family>-<n><variant>Test Succ Cnt <passes>,Error Cnt <failures>", ports numbered from 1.
// The digital families have two variants: outputs off ("NO") and outputs on ("NC").
inline constexpr char kTallyFmt[] = "%s-%d%sTest Succ Cnt %d,Error Cnt %d";
inline constexpr char kTallyPlain[] = ":";
inline constexpr char kTallyOff[] = ":NO ";
inline constexpr char kTallyOn[] = ":NC ";
inline constexpr char kTallyScan[] = "%15[A-Z0-9]-%9d:Test Succ Cnt %9d,Error Cnt %9d%n";
// Targets: family, port, "NO" or "NC", passes, failures.
inline constexpr char kTallyVariantScan[] =
    "%15[A-Z0-9]-%9d:%2[NOC] Test Succ Cnt %9d,Error Cnt %9d%n";
// The counts every tally line ends in, and the keys before each count.
inline constexpr char kTallyCounts[] = "Test Succ Cnt %d,Error Cnt %d";
inline constexpr char kTallySuccKey[] = "Test Succ Cnt ";
inline constexpr char kTallyErrKey[] = ",Error Cnt ";
inline constexpr char kTallyRs485[] = "RS485";
inline constexpr char kTallyUsb[] = "USB";
inline constexpr char kTallyRs232[] = "RS232";
inline constexpr char kTallyDo[] = "DO";
inline constexpr char kTallyDi[] = "DI";
inline constexpr char kTallyAi[] = "AI";  // the result document's "ADC"
// "Led-<summaryNumber>[<name>]:Test Succ Cnt <passes>,Error Cnt <failures>".
inline constexpr char kLedTallyFmt[] = "Led-%d[%s]:Test Succ Cnt %d,Error Cnt %d";
// Targets: summary number, name, passes, failures.
inline constexpr char kLedTallyScan[] = "Led-%9d[%15[^]]]:Test Succ Cnt %9d,Error Cnt %9d%n";

static_assert(EndsWith(kTallyFmt, kTallyCounts) && EndsWith(kLedTallyFmt, kTallyCounts));
static_assert(StartsWith(kTallyCounts, kTallySuccKey));

// ---- End of the run -------------------------------------------------------------------------

// "write <path> ok:<document> !!!": the result document as written to the result file.
inline constexpr char kResultDocFmt[] = "write %s ok:%s !!!";
inline constexpr char kResultDocStart[] = "write ";
inline constexpr char kResultDocMark[] = " ok:";
inline constexpr char kResultDocEnd[] = " !!!";
// The document: {"logDate":[{"name":"<family>","info":[{"port":1},{"port":0},...]},...], one
// entry per port in port order; "port" 1 is a port that passed. Readers name ports as the
// document names their families.
inline constexpr char kDocSections[] = "logDate";
inline constexpr char kDocFamily[] = "name";
inline constexpr char kDocEntries[] = "info";
inline constexpr char kDocPassed[] = "port";
inline constexpr int kDocPassedValue = 1;
inline constexpr char kDocRs485[] = "RS485";
inline constexpr char kDocRs232[] = "RS232";
inline constexpr char kDocDo[] = "DO";
inline constexpr char kDocDi[] = "DI";
inline constexpr char kDocUsb[] = "USB";
inline constexpr char kDocAdc[] = "ADC";
inline constexpr char kDocLed[] = "LED";
inline constexpr char kVerdictCodeFmt[] = "iTestSta:%d";
inline constexpr char kVerdictCodeScan[] = "iTestSta:%9d%n";
inline constexpr char kVerdictOk[] = "Test Q7 OK!!!";
inline constexpr char kVerdictErr[] = "Test Q7 Err!!!";
// Verdict codes: 0 passed, -1 failed, kSetUpFailureCode when discovery failed.
inline constexpr int kSetUpFailureCode = -2;

static_assert(StartsWith(kResultDocFmt, kResultDocStart) && EndsWith(kResultDocFmt, kResultDocEnd));

// ---- Archive names --------------------------------------------------------------------------

// The log's archived copies: "deVuzeV7_<host>[<chip ID>]_<time stamp>[<verdict>].log" on the
// flash, the same without "[<verdict>]" on a stick and beside the log. Host and chip ID may
// hold "[" and "]" themselves: a reader takes the time stamp and verdict from the right.
inline constexpr char kArchiveNameFmt[] = "deVuzeV7_%s[%s]_%s[%s].log";
inline constexpr char kArchivePlainNameFmt[] = "deVuzeV7_%s[%s]_%s.log";
inline constexpr char kArchivePrefix[] = "deVuzeV7_";
inline constexpr char kArchiveSuffix[] = ".log";
inline constexpr char kArchiveVerdictOk[] = "OK";
inline constexpr char kArchiveVerdictErr[] = "ERR";

static_assert(StartsWith(kArchiveNameFmt, kArchivePrefix) &&
              EndsWith(kArchiveNameFmt, kArchiveSuffix));
static_assert(StartsWith(kArchivePlainNameFmt, kArchivePrefix) &&
              EndsWith(kArchivePlainNameFmt, kArchiveSuffix));

// A host or chip ID part too long for the name keeps its beginning and ends in this mark and the
// eight upper-case hex digits of NameChecksum of the whole part, so that parts which differ only
// at the end still give different names.
inline constexpr char kShortenedMark = '~';
inline constexpr size_t kShortenedTagLength = 9;

// 32-bit FNV-1a.
constexpr uint32_t NameChecksum(std::string_view text) {
    uint32_t hash = 2166136261u;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

struct ShortenedTag {
    char text[kShortenedTagLength + 1] = {};
};

// kShortenedMark and `checksum` in eight upper-case hex digits.
constexpr ShortenedTag MakeShortenedTag(uint32_t checksum) {
    constexpr char kHex[] = "0123456789ABCDEF";
    ShortenedTag tag;
    tag.text[0] = kShortenedMark;
    for (size_t i = kShortenedTagLength - 1; i > 0; --i, checksum >>= 4)
        tag.text[i] = kHex[checksum & 0xF];
    return tag;
}
static_assert(MakeShortenedTag(0xE40C292Cu).text[1] == 'E' &&
              MakeShortenedTag(0xE40C292Cu).text[8] == 'C');

}  // namespace tracefmt
