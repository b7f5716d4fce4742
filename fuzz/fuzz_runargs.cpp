// The argument parsing on arbitrary arguments (separated by zero bytes in the input).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "startup.h"

namespace {
constexpr size_t kMaxArgs = 64;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Fields fields(data, size);
    std::vector<std::string> texts{"devuzeV7"};
    while (!fields.AtEnd() && texts.size() < kMaxArgs) texts.push_back(fields.Next());
    std::vector<char*> argv;
    for (std::string& text : texts) argv.push_back(text.data());
    argv.push_back(nullptr);
    RunArgs args;
    ParseRunArgs(static_cast<int>(texts.size()), argv.data(), args);
    FUZZ_CHECK(args.nTestCnt >= kMinTestCnt && args.nTestCnt <= kMaxTestCnt);
    FUZZ_CHECK(args.testMode >= 0 && args.testMode <= 255);
    FUZZ_CHECK(memchr(args.szArgs, '\0', sizeof args.szArgs) != nullptr);
    return 0;
}
