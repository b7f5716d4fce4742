#include "runNames.h"

#include "escape.h"

namespace yield {
namespace {

constexpr size_t kStemLength = 160;  // before cleaning; well inside a file name's 255 bytes

}  // namespace

std::string IsoTime(const std::string& logTime) {
    std::string iso = logTime;
    if (iso.size() == 19 && iso[10] == ' ') iso[10] = 'T';
    return iso;
}

std::string ExportStem(long long runId, const RunRecord& run) {
    std::string stem =
        std::to_string(runId) + "_" + run.chipId + "_" + run.timeStamp + "_" + run.host;
    return SafeFileName(stem.substr(0, kStemLength));
}

}  // namespace yield
