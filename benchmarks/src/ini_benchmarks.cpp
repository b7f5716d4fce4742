#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "SimpleIni.h"
#include "ini_corpus.h"
#include "ini_peers.h"
#include "micro_benchmarks.h"
#include "temp_dir.h"
#include "vxProfile.h"

namespace devbench {

namespace {
constexpr int kValueSize = 256;

struct IniInput {
    std::string path;
    std::vector<IniProbe> probes;
};

// Lives for the whole run; the benchmarks refer to it.
IniInput g_input;

void SimpleIniLoad(benchmark::State& state) {
    for (auto _ : state) {
        SimpleIni ini("");
        if (!ini.Load(g_input.path)) state.SkipWithError("SimpleIni::Load failed");
        benchmark::DoNotOptimize(ini);
    }
}

void PropertyTreeLoad(benchmark::State& state) {
    for (auto _ : state) {
        auto tree = LoadWithPropertyTree(g_input.path);
        benchmark::DoNotOptimize(tree);
    }
}

void InihLoad(benchmark::State& state) {
    for (auto _ : state) {
        InihDocument document = LoadWithInih(g_input.path);
        if (document.parseResult != 0) state.SkipWithError("ini_parse failed");
        benchmark::DoNotOptimize(document);
    }
}

// The floor under every reader: the file's bytes into memory, nothing parsed.
void BareRead(benchmark::State& state) {
    std::vector<char> buffer(vxprofile::kBufSize);
    for (auto _ : state) {
        FILE* file = fopen(g_input.path.c_str(), "r");
        size_t got = file != nullptr ? fread(buffer.data(), 1, buffer.size(), file) : 0;
        if (file != nullptr) fclose(file);
        benchmark::DoNotOptimize(got);
    }
}

void SimpleIniLookUps(benchmark::State& state) {
    SimpleIni ini("");
    ini.Load(g_input.path);
    for (auto _ : state) {
        for (const IniProbe& probe : g_input.probes)
            benchmark::DoNotOptimize(ini.GetValue(probe.section, probe.key, ""));
    }
    state.SetItemsProcessed(state.iterations() * kProbesPerIteration);
}

void PropertyTreeLookUps(benchmark::State& state) {
    auto tree = LoadWithPropertyTree(g_input.path);
    for (auto _ : state) {
        for (const IniProbe& probe : g_input.probes)
            benchmark::DoNotOptimize(LookUp(tree, probe.section, probe.key));
    }
    state.SetItemsProcessed(state.iterations() * kProbesPerIteration);
}

void InihLookUps(benchmark::State& state) {
    InihDocument document = LoadWithInih(g_input.path);
    for (auto _ : state) {
        for (const IniProbe& probe : g_input.probes)
            benchmark::DoNotOptimize(LookUp(document, probe.section, probe.key));
    }
    state.SetItemsProcessed(state.iterations() * kProbesPerIteration);
}

// The key the profile functions find last: the whole text is scanned.
void ReadProfileStringLastKey(benchmark::State& state) {
    const IniProbe& probe = g_input.probes.back();
    char value[kValueSize];
    for (auto _ : state) {
        int found = read_profile_string(probe.section.c_str(), probe.key.c_str(), value,
                                        sizeof value, "", g_input.path.c_str());
        if (found != 1) state.SkipWithError("read_profile_string did not find the key");
        benchmark::DoNotOptimize(value);
    }
}

struct Entry {
    const char* name;
    void (*function)(benchmark::State&);
};

constexpr Entry kEntries[] = {
    {"SimpleIni::Load", SimpleIniLoad},
    {"ptree::read_ini", PropertyTreeLoad},
    {"inih::ini_parse", InihLoad},
    {"bare_read_file", BareRead},
    {"SimpleIni::GetValue", SimpleIniLookUps},
    {"ptree::get", PropertyTreeLookUps},
    {"inih_map::find", InihLookUps},
    {"read_profile_string/last_key", ReadProfileStringLastKey},
};
}  // namespace

bool RegisterIniBenchmarks(const std::string& dir, std::string& error) {
    int sections = 0;
    g_input.path = dir + "/profile.ini";
    std::string text = MakeIniText(vxprofile::kMaxFileLen, sections);
    if (!WriteWholeFile(g_input.path, text)) {
        error = "cannot write " + g_input.path;
        return false;
    }
    g_input.probes = SpreadProbes(sections, kProbesPerIteration);
    for (const Entry& entry : kEntries)
        benchmark::RegisterBenchmark(entry.name, entry.function)->UseRealTime();
    return true;
}

std::vector<RatioPair> IniPairs() {
    const int probes = kProbesPerIteration;
    return {
        {"SimpleIni::Load vs Boost.PropertyTree read_ini", "SimpleIni::Load", "ptree::read_ini", 1,
         "load", 1.0, true},
        {"SimpleIni::Load vs inih ini_parse (to maps)", "SimpleIni::Load", "inih::ini_parse", 1,
         "load", 0, false},
        {"SimpleIni::Load vs bare read of the file", "SimpleIni::Load", "bare_read_file", 1, "load",
         0, false},
        {"SimpleIni look-up vs Boost.PropertyTree get", "SimpleIni::GetValue", "ptree::get", probes,
         "key", 0, false},
        {"SimpleIni look-up vs inih's maps", "SimpleIni::GetValue", "inih_map::find", probes, "key",
         0, false},
        {"read_profile_string (last key) vs Load", "read_profile_string/last_key",
         "SimpleIni::Load", 1, "call", 0, false},
        {"read_profile_string (last key) vs bare read", "read_profile_string/last_key",
         "bare_read_file", 1, "call", 0, false},
    };
}

}  // namespace devbench
