// The yield tool's log parser on arbitrary bytes, with the file name taken from the input's first
// line. Properties: the records carry consecutive numbers from 0, and a run comes with a key.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "logLines.h"
#include "logParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view all(reinterpret_cast<const char*>(data), size);
    size_t cut = all.find('\n');
    std::string_view name = cut == std::string_view::npos ? std::string_view() : all.substr(0, cut);
    std::string_view bytes = cut == std::string_view::npos ? all : all.substr(cut + 1);

    std::vector<yield::LogRecord> recs = yield::SplitRecords(bytes);
    for (size_t i = 0; i < recs.size(); ++i) FUZZ_CHECK(recs[i].seq == static_cast<long>(i));

    yield::ParseResult r = yield::ParseLog(bytes, name);
    if (r.kind == yield::ParseResult::Kind::Run) {
        FUZZ_CHECK(r.run.records == static_cast<int>(recs.size()));
        FUZZ_CHECK(r.run.records > 0);
        FUZZ_CHECK(r.run.bytes == static_cast<long long>(bytes.size()));
        for (const yield::PortResult& p : r.run.ports) FUZZ_CHECK(!p.family.empty());
    } else {
        FUZZ_CHECK(!r.reason.empty());
    }
    return 0;
}
