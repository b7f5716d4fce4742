// The yield tool's log parser on arbitrary bytes, with the file name taken from the input's first
// line. Properties: the records carry consecutive numbers from 0, a run comes with a key, its
// size counts a CR LF line end as one byte, and neither a prefix of the log (a copy cut short)
// nor the log with CR LF line ends is a run under another key than the whole log's.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "parse/logLines.h"
#include "parse/logParser.h"

namespace {

std::string WithCrLf(std::string_view bytes) {
    std::string out;
    for (char c : bytes) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

bool SameKey(const yield::RunRecord& a, const yield::RunRecord& b) {
    return a.host == b.host && a.chipId == b.chipId && a.timeStamp == b.timeStamp;
}

// The archive name of the run's key, when it reads back as that key; else "".
std::string NameOf(const yield::RunRecord& run) {
    std::string name = "deVuzeV7_" + run.host + "[" + run.chipId + "]_" + run.timeStamp + ".log";
    std::string host, chip, stamp;
    bool same = yield::ParseArchiveName(name, host, chip, stamp) && host == run.host &&
                chip == run.chipId && stamp == run.timeStamp;
    return same ? name : "";
}

// A copy that is a run has the whole log's key, whether it is read under the run's own archive
// name or under none.
void CheckCopy(std::string_view copy, const yield::RunRecord& whole, const std::string& name) {
    for (std::string_view n : {std::string_view(name), std::string_view()}) {
        yield::ParseResult r = yield::ParseLog(copy, n);
        if (r.kind == yield::ParseResult::Kind::Run) FUZZ_CHECK(SameKey(r.run, whole));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t cut = all.find('\n');
    std::string_view name = cut == std::string_view::npos ? std::string_view() : all.substr(0, cut);
    std::string_view bytes = cut == std::string_view::npos ? all : all.substr(cut + 1);

    std::vector<yield::LogRecord> recs = yield::SplitRecords(bytes);
    for (size_t i = 0; i < recs.size(); ++i) FUZZ_CHECK(recs[i].seq == static_cast<long>(i));

    yield::ParseResult r = yield::ParseLog(bytes, name);
    if (r.kind != yield::ParseResult::Kind::Run) {
        FUZZ_CHECK(!r.reason.empty());
        return 0;
    }
    FUZZ_CHECK(r.run.records == static_cast<int>(recs.size()));
    FUZZ_CHECK(r.run.records > 0);
    FUZZ_CHECK(r.run.bytes == static_cast<long long>(bytes.size()) - yield::LineEndCrs(bytes));
    for (const yield::PortResult& p : r.run.ports) FUZZ_CHECK(!p.family.empty());

    // The copies are judged against a run that is sure of its key: one its header gives whole.
    yield::ParseResult plain = yield::ParseLog(bytes);
    if (plain.kind != yield::ParseResult::Kind::Run || r.run.headerless) return 0;
    std::string ownName = NameOf(plain.run);
    size_t at = bytes.empty() ? 0 : static_cast<unsigned char>(bytes.back()) * bytes.size() / 256;
    CheckCopy(bytes.substr(0, at), plain.run, ownName);
    std::string crlf = WithCrLf(bytes);
    CheckCopy(crlf, plain.run, ownName);
    CheckCopy(std::string_view(crlf).substr(0, at), plain.run, ownName);
    return 0;
}
