// The DIO configuration counting on arbitrary file content.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "FuzzSupport.h"
#include "discovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FILE* conf = fmemopen(const_cast<uint8_t*>(data), size, "r");
    FUZZ_CHECK(conf != nullptr);
    uint16_t cntDI = 1000;
    uint16_t cntDO = 1000;
    CountDioConf(conf, cntDI, cntDO);
    fclose(conf);
    FUZZ_CHECK(cntDI == 1000 || cntDI <= 255);
    FUZZ_CHECK(cntDO == 1000 || cntDO <= 255);
    return 0;
}
