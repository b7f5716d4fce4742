// SimpleIni::Load on arbitrary file content, then every read path, a save and a reload.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "SimpleIni.h"

namespace {
void ReadEverything(SimpleIni& ini) {
    for (auto sec = ini.beginSection(); sec != ini.endSection(); ++sec) {
        const std::string section = (*sec).first;
        for (auto key = ini.beginKey(section); key != ini.endKey(section); ++key) {
            const std::string& name = key->first;
            FUZZ_CHECK(ini.GetValue(section, name, ";") == key->second.strValue);
            FUZZ_CHECK(ini.GetComment(section, name) == key->second.strComment);
            (void)ini.GetValue<int>(section, name, -1);
            FUZZ_CHECK(SimpleIni::Trim(key->second.strValue) == key->second.strValue);
        }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemFile source("ini-source");
    static fuzz::MemFile saved("ini-saved");
    source.Set(std::string(reinterpret_cast<const char*>(data), size));
    SimpleIni ini("");
    FUZZ_CHECK(ini.Load(source.Path()));
    ReadEverything(ini);
    FUZZ_CHECK(ini.SaveAs(saved.Path()));
    SimpleIni again(saved.Path());
    ReadEverything(again);
    again.DeleteKey("APP", "TestMode");
    FUZZ_CHECK(again.Save());
    return 0;
}
