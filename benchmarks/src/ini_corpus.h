// A generated INI file of an exact size that every reader under comparison parses the same way:
// unique sections and keys, "key=value" without blanks, full-line ";" comments, lines well below
// the shortest line limit among the readers, no value holding ";", "#" or ".".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace devbench {

struct IniProbe {
    std::string section;
    std::string key;
    std::string value;  // what every reader must return
};

inline constexpr int kKeysPerSection = 16;
inline constexpr size_t kLongestLine = 120;  // line feed included

std::string SectionName(int section);
std::string KeyName(int key);
std::string ValueOf(int section, int key);

// The whole file text, exactly `size` bytes. Sections come first, then comment lines fill the
// rest; `sections` receives how many sections were written.
std::string MakeIniText(size_t size, int& sections);

// `count` probes spread evenly from the first key of the first section to the last key of the
// last one.
std::vector<IniProbe> SpreadProbes(int sections, int count);

}  // namespace devbench
