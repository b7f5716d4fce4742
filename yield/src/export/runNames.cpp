#include "runNames.h"

#include <cstdint>
#include <cstdio>

#include "escape.h"

namespace yield {
namespace {

// Per part, before cleaning (one byte gives one character): with the hash and the separators
// well inside a file name's 255 bytes.
constexpr size_t kChipLength = 40;
constexpr size_t kStampLength = 40;
constexpr size_t kHostLength = 80;
constexpr char kSeparator[] = "_";
constexpr uint64_t kFnvOffset = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;

// FNV-1a over the key's parts, each ended by a NUL so that no two keys give the same bytes.
uint64_t KeyHash(const RunRecord& run) {
    uint64_t h = kFnvOffset;
    for (const std::string* part : {&run.chipId, &run.timeStamp, &run.host}) {
        for (unsigned char c : *part) h = (h ^ c) * kFnvPrime;
        h *= kFnvPrime;  // the part's end
    }
    return h;
}

std::string Hex(uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

std::string Part(const std::string& text, size_t length) {
    return SafeFileName(std::string_view(text).substr(0, length));
}

}  // namespace

std::string IsoTime(const std::string& logTime) {
    std::string iso = logTime;
    if (iso.size() == 19 && iso[10] == ' ') iso[10] = 'T';
    return iso;
}

std::string ExportStem(const RunRecord& run) {
    return Part(run.chipId, kChipLength) + kSeparator + Part(run.timeStamp, kStampLength) +
           kSeparator + Part(run.host, kHostLength) + kSeparator + Hex(KeyHash(run));
}

}  // namespace yield
