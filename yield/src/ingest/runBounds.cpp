#include "ingest/runBounds.h"

#include <algorithm>
#include <cstdio>

#include "store/utf8.h"
#include "traceLogFormat.h"

namespace yield {
namespace {

// The longest beginning of `text` within `maxBytes` that ends between UTF-8 characters.
size_t CutPoint(std::string_view text, size_t maxBytes) {
    size_t end = 0;
    while (end < text.size()) {
        size_t unit = std::max<size_t>(Utf8Length(text, end), 1);
        if (end + unit > maxBytes) break;
        end += unit;
    }
    return end;
}

std::string Bytes(size_t n) { return std::to_string(n) + " bytes"; }

void ShortenName(std::string& value, const char* what, std::vector<std::string>& cuts) {
    if (value.size() <= kMaxNameBytes) return;
    cuts.push_back(std::string(what) + " of " + Bytes(value.size()) + " shortened to " +
                   std::to_string(kMaxNameBytes) + " with its checksum");
    value = ShortValue(value, kMaxNameBytes);
}

// Cuts `value` to `maxBytes`; true when it was longer.
bool CutText(std::string& value, size_t maxBytes) {
    if (value.size() <= maxBytes) return false;
    value.resize(CutPoint(value, maxBytes));
    return true;
}

void CutField(std::string& value, const char* what, std::vector<std::string>& cuts) {
    size_t was = value.size();
    if (CutText(value, kMaxTextBytes)) {
        cuts.push_back(std::string(what) + " of " + Bytes(was) + " cut to " +
                       std::to_string(kMaxTextBytes));
    }
}

bool BeyondBoard(const RunRecord& run) {
    if (run.ports.size() > kMaxPorts || run.tallies.size() > kMaxTallies) return true;
    for (const PortResult& p : run.ports) {
        if (p.number > kMaxPortNumber) return true;
    }
    for (const PortTally& t : run.tallies) {
        if (t.number > kMaxPortNumber) return true;
    }
    return false;
}

void BoundPorts(RunRecord& run, std::vector<std::string>& cuts) {
    if (!BeyondBoard(run)) return;
    cuts.push_back(std::to_string(run.ports.size()) + " ports and " +
                   std::to_string(run.tallies.size()) + " tallies, more than a board has (" +
                   std::to_string(kMaxPorts) + ", numbered to " + std::to_string(kMaxPortNumber) +
                   "): stored with its verdict, without them");
    run.ports.clear();
    run.ports.shrink_to_fit();
    run.tallies.clear();
    run.tallies.shrink_to_fit();
}

template <class Rows>
void BoundCount(Rows& rows, size_t max, const char* what, std::vector<std::string>& cuts) {
    if (rows.size() <= max) return;
    cuts.push_back(std::to_string(rows.size()) + " " + what + " cut to the first " +
                   std::to_string(max));
    rows.resize(max);
}

void BoundLines(RunRecord& run, std::vector<std::string>& cuts) {
    BoundCount(run.measurements, kMaxMeasurements, "measurements", cuts);
    BoundCount(run.failures, kMaxFailureLines, "failure lines", cuts);
    bool cut = false;
    for (Measurement& m : run.measurements) {
        for (std::string* s : {&m.port, &m.name, &m.text, &m.unit, &m.line})
            cut = CutText(*s, kMaxTextBytes) || cut;
    }
    for (FailureLine& f : run.failures) {
        cut = CutText(f.port, kMaxTextBytes) || cut;
        cut = CutText(f.line, kMaxTextBytes) || cut;
    }
    if (cut) {
        cuts.push_back("measurement or failure lines cut to " + std::to_string(kMaxTextBytes) +
                       " bytes");
    }
}

}  // namespace

std::string ShortValue(std::string_view value, size_t maxBytes) {
    if (value.size() <= maxBytes) return std::string(value);
    size_t keep =
        maxBytes > tracefmt::kShortenedTagLength ? maxBytes - tracefmt::kShortenedTagLength : 0;
    std::string out(value.substr(0, CutPoint(value, keep)));
    out += tracefmt::MakeShortenedTag(tracefmt::NameChecksum(value)).text;
    return out.substr(0, maxBytes);
}

std::vector<std::string> BoundRun(RunRecord& run) {
    std::vector<std::string> cuts;
    ShortenName(run.host, "host name", cuts);
    ShortenName(run.chipId, "processor ID", cuts);
    ShortenName(run.timeStamp, "start stamp", cuts);
    BoundPorts(run, cuts);
    CutField(run.args, "args", cuts);
    CutField(run.build, "build", cuts);
    CutField(run.version, "version", cuts);
    if (run.resultDoc.size() > kMaxResultDocBytes) {
        cuts.push_back("result document of " + Bytes(run.resultDoc.size()) + " not stored");
        run.resultDoc.clear();
        run.resultDoc.shrink_to_fit();
    }
    BoundLines(run, cuts);
    return cuts;
}

}  // namespace yield
