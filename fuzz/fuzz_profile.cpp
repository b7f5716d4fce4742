// The INI profile functions on arbitrary file content.
// Input: section, key and value separated by zero bytes, then the file content.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "vxProfile.h"

namespace {
struct Found {
    int secStart, secEnd, keyStart, keyEnd, valueStart, valueEnd;
    bool found;
};

Found Parse(const std::string& section, const std::string& key, const char* text) {
    Found f{};
    f.found = parse_file(section.c_str(), key.c_str(), text, &f.secStart, &f.secEnd, &f.keyStart,
                         &f.keyEnd, &f.valueStart, &f.valueEnd) == 1;
    return f;
}

void CheckPositions(const Found& f, const char* text) {
    const int len = static_cast<int>(strlen(text));
    if (!f.found) {
        FUZZ_CHECK(f.keyStart == -1 && f.keyEnd == -1 && f.valueStart == -1 && f.valueEnd == -1);
        FUZZ_CHECK(f.secEnd == -1 || (f.secStart > 0 && f.secStart <= f.secEnd && f.secEnd <= len));
        return;
    }
    FUZZ_CHECK(f.secStart > 0 && f.secStart <= f.secEnd && f.secEnd <= f.keyStart);
    FUZZ_CHECK(f.keyStart <= f.keyEnd && f.keyEnd + 2 == f.valueStart);
    FUZZ_CHECK(text[f.valueStart - 1] == '=' && f.valueStart <= f.valueEnd && f.valueEnd <= len);
    FUZZ_CHECK(text[f.valueEnd] == '\0' || text[f.valueEnd] == '\n' || text[f.valueEnd] == '\r');
}

// Reads into a buffer of exactly `size` bytes, so any overrun is caught by the sanitizer.
void CheckRead(const std::string& section, const std::string& key, const std::string& content,
               const std::string& path, int size) {
    std::vector<char> value(static_cast<size_t>(size), 'Z');
    const int got =
        read_profile_string(section.c_str(), key.c_str(), value.data(), size, "dflt", path.c_str());
    if (section.empty() || key.empty()) {
        FUZZ_CHECK(got == 0 && std::count(value.begin(), value.end(), 'Z') == size);
        return;
    }
    FUZZ_CHECK(memchr(value.data(), '\0', value.size()) != nullptr);
    const Found f = Parse(section, key, content.c_str());
    FUZZ_CHECK(got == (f.found ? 1 : 0));
    if (!f.found) return;
    const size_t len =
        std::min(static_cast<size_t>(f.valueEnd - f.valueStart), static_cast<size_t>(size - 1));
    FUZZ_CHECK(std::string(value.data()) == content.substr(static_cast<size_t>(f.valueStart), len));
}

bool IsLineEnd(char c) { return c == '\n' || c == '\r'; }

// Every header name and every key text of `text`, with some more (names are cut at the first
// "]" or "=", key texts start at every line start and behind every "]" and its blanks), and
// at most kMaxNames of each. A requested name reads what its longest listed prefix reads, so
// these stand for every request.
constexpr size_t kMaxNames = 24;

void AddName(std::vector<std::string>& names, std::string name) {
    if (name.empty() || names.size() >= kMaxNames) return;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
}

void CollectNames(const std::string& text, std::vector<std::string>& sections,
                  std::vector<std::string>& keys) {
    for (size_t i = 0; i < text.size(); ++i) {
        const bool lineStart = i == 0 || IsLineEnd(text[i - 1]);
        size_t keyFrom = std::string::npos;
        if (lineStart) keyFrom = i;
        if (text[i] == ']') {
            keyFrom = text.find_first_not_of(" \t\n\r\v\f", i + 1);
        }
        if (lineStart && text[i] == '[') {
            const size_t close = text.find(']', i + 1);
            if (close != std::string::npos) AddName(sections, text.substr(i + 1, close - i - 1));
        }
        if (keyFrom == std::string::npos) continue;
        const size_t eq = text.find('=', keyFrom);
        const size_t lineEnd = text.find_first_of("\r\n", keyFrom);
        if (eq != std::string::npos && eq < lineEnd)
            AddName(keys, text.substr(keyFrom, eq - keyFrom));
    }
}

std::string ValueOf(const Found& f, const std::string& text) {
    return text.substr(static_cast<size_t>(f.valueStart),
                       static_cast<size_t>(f.valueEnd - f.valueStart));
}

// After a write that returned 1: the entry the request reached (or the new one) reads the new
// value, and every other entry that some request could read before reads the same.
void CheckOtherEntries(const std::string& section, const std::string& key, const std::string& value,
                       const std::string& before, const std::string& after) {
    std::vector<std::string> sections = {section};
    std::vector<std::string> keys = {key};
    CollectNames(before, sections, keys);
    CollectNames(after, sections, keys);
    const Found written = Parse(section, key, before.c_str());
    for (const std::string& s : sections) {
        for (const std::string& k : keys) {
            const Found was = Parse(s, k, before.c_str());
            if (!was.found) continue;
            const Found now = Parse(s, k, after.c_str());
            FUZZ_CHECK(now.found);
            const bool sameEntry = written.found && was.keyStart == written.keyStart;
            FUZZ_CHECK(ValueOf(now, after) == (sameEntry ? value : ValueOf(was, before)));
        }
    }
}

void CheckWrite(const std::string& section, const std::string& key, const std::string& value,
                fuzz::MemFile& file) {
    const std::string before = file.Get();
    const int written =
        write_profile_string(section.c_str(), key.c_str(), value.c_str(), file.Path().c_str());
    const std::string after = file.Get();
    if (written != 1) {
        FUZZ_CHECK(after == before);
        return;
    }
    FUZZ_CHECK(after.size() <= static_cast<size_t>(vxprofile::kMaxFileLen));
    std::vector<char> back(value.size() + 1, 'Z');
    FUZZ_CHECK(read_profile_string(section.c_str(), key.c_str(), back.data(),
                                   static_cast<int>(back.size()), nullptr,
                                   file.Path().c_str()) == 1);
    FUZZ_CHECK(std::string(back.data()) == value);
    CheckOtherEntries(section, key, value, before, after);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemFile file("profile");
    fuzz::Fields fields(data, size);
    const std::string section = fields.Next();
    const std::string key = fields.Next();
    const std::string value = fields.Next();
    const std::string content = fields.Rest();
    file.Set(content);
    CheckPositions(Parse(section, key, content.c_str()), content.c_str());
    for (int bufSize : {1, 4, 64}) CheckRead(section, key, content, file.Path(), bufSize);
    (void)read_profile_int(section.c_str(), key.c_str(), 7, file.Path().c_str());
    CheckWrite(section, key, value, file);
    return 0;
}
