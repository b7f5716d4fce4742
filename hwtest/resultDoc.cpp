#include "resultDoc.h"

#include <cstdio>
#include <vector>

#include "selectMask.h"
#include "traceLogFormat.h"
#include "vxText.h"

namespace {
constexpr char kHeaderFmt[] =
    "{\"devuzeV7\":\"testData\",\"DevType\":\"%s\",\"DateTime\":\"%s\" ,\"logDate\":[";
constexpr char kOpenRs485[] = "{\"name\":\"RS485\",\"info\":[";
constexpr char kOpenRs232[] = "{ \"name\":\"RS232\", \"info\":[ ";
constexpr char kOpenDo[] = "{ \"name\":\"DO\", \"info\":[ ";
constexpr char kOpenDi[] = "]},{ \"name\":\"DI\", \"info\":[ ";
constexpr char kOpenUsb[] = "{\"name\":\"USB\",\"info\":[";
constexpr char kOpenAdc[] = "{\"name\":\"ADC\",\"info\":[";
constexpr char kOpenLed[] = "{\"name\":\"LED\",\"info\":[";
constexpr char kClose[] = "]},";
constexpr char kPortFmt[] = "{\"port\":%d}%s";

// The names and keys readers take the document by (traceLogFormat.h).
constexpr bool Opens(const char* open, const char* family) {
    return tracefmt::Contains(open, tracefmt::kDocFamily) &&
           tracefmt::Contains(open, tracefmt::kDocEntries) && tracefmt::Contains(open, family);
}
static_assert(tracefmt::Contains(kHeaderFmt, tracefmt::kDocSections) &&
              tracefmt::Contains(kPortFmt, tracefmt::kDocPassed));
static_assert(Opens(kOpenRs485, tracefmt::kDocRs485) && Opens(kOpenRs232, tracefmt::kDocRs232) &&
              Opens(kOpenDo, tracefmt::kDocDo) && Opens(kOpenDi, tracefmt::kDocDi) &&
              Opens(kOpenUsb, tracefmt::kDocUsb) && Opens(kOpenAdc, tracefmt::kDocAdc) &&
              Opens(kOpenLed, tracefmt::kDocLed));

// Appends one entry per port; a port that did not pass sets the verdict to -1.
template <class Passed>
void AppendPorts(std::string& doc, int count, Passed passed, int& verdict) {
    for (int i = 0; i < count; ++i) {
        bool ok = passed(i);
        if (!ok) verdict = -1;
        doc += StrPrintf(kPortFmt, ok ? tracefmt::kDocPassedValue : 0, i < count - 1 ? "," : "");
    }
}

void AppendSection(std::string& doc, const char* opening, const std::vector<_tag_TestSta_>& sta,
                   int count, int& verdict) {
    doc += opening;
    AppendPorts(
        doc, count, [&](int i) { return PortPassed(sta[i]); }, verdict);
    doc += kClose;
}

void AppendDualPorts(std::string& doc, const std::vector<_tag_TestSta_>& no,
                     const std::vector<_tag_TestSta_>& nc, int count, int& verdict) {
    AppendPorts(
        doc, count, [&](int i) { return PortPassed(no[i]) && PortPassed(nc[i]); }, verdict);
}

// Appends the character at `p` as it stands in a JSON string; returns the bytes it took.
size_t AppendJsonChar(std::string& out, const char* p) {
    unsigned char c = static_cast<unsigned char>(*p);
    int len = Utf8CharLength(p);
    if (c == '"' || c == '\\') {
        out += '\\';
        out += static_cast<char>(c);
    } else if (c < 0x20 || len == 0) {
        out += StrPrintf("\\u%04x", c);  // a control character or a byte that is not UTF-8
    } else {
        out.append(p, static_cast<size_t>(len));
        return static_cast<size_t>(len);
    }
    return 1;
}
}  // namespace

std::string JsonEscape(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0';) p += AppendJsonChar(out, p);
    return out;
}

std::string FormatDocHeader(const char* host, const char* timeStamp) {
    return StrPrintf(kHeaderFmt, JsonEscape(host).c_str(), JsonEscape(timeStamp).c_str());
}

int AppendDocSections(std::string& doc, int iPortSelect, const _tag_VxPortInfo_& info) {
    int verdict = 0;
    if (iPortSelect & kSelectRs485) {
        AppendSection(doc, kOpenRs485, info.staRS485, info.cntRS485, verdict);
    }
    if (iPortSelect & kSelectRs232) {
        AppendSection(doc, kOpenRs232, info.staRS232, info.cntRS232, verdict);
    }
    if (iPortSelect & kSelectDio) {
        doc += kOpenDo;
        AppendDualPorts(doc, info.staDO_NO, info.staDO_NC, info.cntDO, verdict);
        doc += kOpenDi;
        AppendDualPorts(doc, info.staDI_NO, info.staDI_NC, info.cntDI, verdict);
        doc += kClose;
    }
    AppendSection(doc, kOpenUsb, info.staUSB, info.cntUSB, verdict);
    AppendSection(doc, kOpenAdc, info.staAI, info.cntAI, verdict);
    AppendSection(doc, kOpenLed, info.staLED, info.cntLED, verdict);
    doc.back() = ' ';
    return verdict;
}
