// The archived copies' names "deVuzeV7_<host>[<chip ID>]_<time stamp>[<verdict>].log", as
// hwtest/archive.cpp makes them: a rotated tail's key, and a check on a header value the file
// may have cut.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "parse/logParser.h"
#include "parse/readerState.h"

namespace yield {
namespace parse {
namespace {
using namespace tracefmt;

// What the board changes in a host or processor ID to put it into an archive name: control
// characters become escapes, '/' becomes '_'; a part too long ends in '~' and 8 hex digits.
constexpr std::string_view kNameReplacements = "\\_";
constexpr char kShortMark = tracefmt::kShortenedMark;
constexpr size_t kShortHexDigits = 8;
constexpr std::string_view kHexDigits = "0123456789ABCDEF";
constexpr char kHexEscapeFmt[] = "\\x%02X";
constexpr std::string_view kStampOpen = "]_";  // between the processor ID and the time stamp
static_assert(Contains(kArchiveNameFmt, "]_%s["));

constexpr char kPartOpen[] = "[";
constexpr char kPartClose[] = "]";

// One character as the board writes it into a name.
void AppendNameChar(std::string& out, char ch) {
    auto c = static_cast<unsigned char>(ch);
    if (c == '\n' || c == '\r' || c == '\t') {
        out += c == '\n' ? "\\n" : c == '\r' ? "\\r" : "\\t";
    } else if (c < 0x20 || c == 0x7F) {
        char hex[8];
        std::snprintf(hex, sizeof hex, kHexEscapeFmt, c);
        out += hex;
    } else {
        out += c == '/' ? '_' : ch;
    }
}

// The archive name's form of a host or processor ID, as the board makes it.
std::string FileNamePart(std::string_view text) {
    std::string out;
    for (char ch : text) AppendNameChar(out, ch);
    return out;
}

bool Shortened(std::string_view part) {
    if (part.size() <= kShortHexDigits) return false;
    std::string_view hex = part.substr(part.size() - kShortHexDigits);
    return part[part.size() - kShortHexDigits - 1] == kShortMark &&
           hex.find_first_not_of(kHexDigits) == std::string_view::npos;
}

// Whether `named` is the whole value a record cut inside its caller tail kept: the text before
// one of its tabs.
bool CutInTail(std::string_view cut, std::string_view named) {
    for (size_t tab = cut.find('\t'); tab != std::string_view::npos;
         tab = cut.find('\t', tab + 1)) {
        if (cut.substr(0, tab) == named) return true;
    }
    return false;
}

// The archive name's part `named` as a key part's value, given what the cut record kept of it:
// the name must agree with that, and must not have changed what the cut lost. `fromHeader`
// says that the board took the part from a header value it may have escaped or shortened.
bool NamedValue(std::string_view cut, std::string_view named, bool fromHeader, std::string& value) {
    if (fromHeader && Shortened(named)) return false;
    if (!CutInTail(cut, named)) {
        if (!StartsWith(named, cut)) return false;
        std::string_view lost = named.substr(cut.size());
        if (fromHeader && lost.find_first_of(kNameReplacements) != std::string_view::npos)
            return false;
    }
    value.assign(named);
    return true;
}

// Whether the archive name's part `named` can be the name of the value `value`.
bool NameAgrees(std::string_view value, std::string_view named, bool fromHeader) {
    if (value == named) return true;
    if (!fromHeader) return false;
    std::string part = FileNamePart(value);
    if (!Shortened(named)) return part == named;
    size_t head = named.size() - kShortHexDigits - 1;
    return StartsWith(part, named.substr(0, head)) &&
           std::strtoul(std::string(named.substr(head + 1)).c_str(), nullptr, 16) ==
               tracefmt::NameChecksum(part);
}

void DoubtPart(KeyPart& part, std::string& value, const std::string* named, bool fromHeader) {
    if (!part.whole || part.sure || (named && NameAgrees(value, *named, fromHeader))) return;
    part.whole = false;
    part.cut = true;
    part.text = std::move(value);
    value.clear();
}

bool PartFromName(const KeyPart& part, std::string_view named, bool fromHeader,
                  std::string& value) {
    return part.whole || NamedValue(part.text, named, fromHeader, value);
}

// Drops the "[OK]" or "[ERR]" the flash's copy carries.
void DropVerdict(std::string_view& name) {
    for (const char* word : {kArchiveVerdictOk, kArchiveVerdictErr}) {
        std::string part = std::string(kPartOpen) + word + kPartClose;
        if (EndsWith(name, part)) {
            name.remove_suffix(part.size());
            return;
        }
    }
}

}  // namespace

void DoubtLast(ReaderState& st, const std::string* host, const std::string* chip,
               const std::string* stamp) {
    DoubtPart(st.host, st.run.host, host, true);
    DoubtPart(st.chip, st.run.chipId, chip, true);
    DoubtPart(st.time, st.run.timeStamp, stamp, false);
}

bool KeyFromName(const ReaderState& st, std::string_view fileName, RunRecord& run) {
    std::string host, chip, stamp;
    return ParseArchiveName(fileName, host, chip, stamp) &&
           PartFromName(st.host, host, true, run.host) &&
           PartFromName(st.chip, chip, true, run.chipId) &&
           PartFromName(st.time, stamp, false, run.timeStamp);
}

}  // namespace parse

bool ParseArchiveName(std::string_view name, std::string& host, std::string& chipId,
                      std::string& timeStamp) {
    using namespace tracefmt;
    constexpr std::string_view kPrefix = kArchivePrefix;
    constexpr std::string_view kSuffix = kArchiveSuffix;
    size_t slash = name.rfind('/');
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    if (!parse::StartsWith(name, kPrefix) || !parse::EndsWith(name, kSuffix)) return false;
    name.remove_suffix(kSuffix.size());
    parse::DropVerdict(name);
    if (name.size() < kPrefix.size() + kTimeStampLength + 4) return false;
    std::string_view stamp = name.substr(name.size() - kTimeStampLength);
    name.remove_suffix(kTimeStampLength);
    if (!parse::EndsWith(name, parse::kStampOpen)) return false;
    name.remove_suffix(parse::kStampOpen.size());
    size_t open = name.rfind(parse::kPartOpen[0]);
    if (open == std::string_view::npos || open < kPrefix.size()) return false;
    host.assign(name.substr(kPrefix.size(), open - kPrefix.size()));
    chipId.assign(name.substr(open + 1));
    timeStamp.assign(stamp);
    return true;
}

}  // namespace yield
