#include "ini_corpus.h"

#include <cstdio>

namespace devbench {

namespace {
// One comment line stands above every section and above every eighth key.
constexpr int kKeysPerDescription = 8;

std::string SectionText(int section) {
    std::string text = "; settings of group " + std::to_string(section) + "\n";
    text += "[" + SectionName(section) + "]\n";
    for (int key = 0; key < kKeysPerSection; ++key) {
        if (key % kKeysPerDescription == 0) text += ";-- block " + std::to_string(key) + "\n";
        text += KeyName(key) + "=" + ValueOf(section, key) + "\n";
    }
    return text;
}

// Comment lines (or a lone line feed) that add up to exactly `size` bytes.
std::string Filler(size_t size) {
    std::string text;
    while (size > 0) {
        size_t len = size < kLongestLine ? size : kLongestLine;
        if (len == 1) {
            text += "\n";
        } else {
            text += ";" + std::string(len - 2, '-') + "\n";
        }
        size -= len;
    }
    return text;
}
}  // namespace

std::string SectionName(int section) {
    char name[32];
    snprintf(name, sizeof name, "section_%05d", section);
    return name;
}

std::string KeyName(int key) {
    char name[32];
    snprintf(name, sizeof name, "key_%04d", key);
    return name;
}

std::string ValueOf(int section, int key) {
    char value[64];
    snprintf(value, sizeof value, "value %05d/%04d of the generated settings", section, key);
    return value;
}

std::string MakeIniText(size_t size, int& sections) {
    std::string text;
    sections = 0;
    for (;;) {
        std::string next = SectionText(sections);
        if (text.size() + next.size() > size) break;
        text += next;
        ++sections;
    }
    return text + Filler(size - text.size());
}

std::vector<IniProbe> SpreadProbes(int sections, int count) {
    std::vector<IniProbe> probes;
    const long last = static_cast<long>(sections) * kKeysPerSection - 1;
    for (int i = 0; i < count && last >= 0; ++i) {
        long flat = count > 1 ? last * i / (count - 1) : last;
        int section = static_cast<int>(flat / kKeysPerSection);
        int key = static_cast<int>(flat % kKeysPerSection);
        probes.push_back({SectionName(section), KeyName(key), ValueOf(section, key)});
    }
    return probes;
}

}  // namespace devbench
