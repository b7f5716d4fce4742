#include "SimpleIni.h"

#include <climits>
#include <cstdlib>

namespace {
// Returned by the text look-up when the key is missing; no loaded value can be this text,
// because ";" always starts a comment in a file.
constexpr char kMissingValue[] = ";";

struct KeyLine {
    std::string key;
    std::string value;
    std::string comment;
};

// Splits a key line into key, value and trailing comment. `markerPos` is the position of the
// first ";" or "#" (npos when none); it is never 0 here, full-line comments are handled apart.
KeyLine SplitKeyLine(std::string line, std::string::size_type markerPos) {
    KeyLine result;
    if (markerPos != std::string::npos) {
        result.comment = line.substr(markerPos + 1);
        line.erase(markerPos);
    }
    const std::string::size_type eq = line.find('=');
    if (eq != std::string::npos) {
        result.value = SimpleIni::Trim(line.substr(eq + 1));
        line.erase(eq);
    }
    result.key = SimpleIni::Trim(line);
    return result;
}

std::string HeaderName(const std::string& line) {
    const std::string::size_type close = line.find(']');
    if (close == std::string::npos) return SimpleIni::Trim(line.substr(1));
    return SimpleIni::Trim(line.substr(1, close - 1));
}

void AppendDescription(std::string& pending, const std::string& text) {
    if (!pending.empty()) pending += '\n';
    pending += text;
}

int ClampToInt(long long number) {
    if (number > INT_MAX) return INT_MAX;
    if (number < INT_MIN) return INT_MIN;
    return static_cast<int>(number);
}
}  // namespace

SimpleIni::SimpleIni(const std::string& path) {
    if (path.empty()) return;
    if (!Load(path)) throw std::string("Unable to open the file " + path + " in read mode.");
}

SimpleIni::~SimpleIni() { Free(); }

bool SimpleIni::Load(const std::string& path) {
    Free();
    m_strFileName = path;
    std::ifstream in(path);
    if (!in.is_open()) return false;
    std::string section;
    std::string pending;
    std::string line;
    while (std::getline(in, line)) {
        ParasitCar(line);
        if (!line.empty()) AddLine(line, section, pending);
    }
    return true;
}

void SimpleIni::AddLine(const std::string& line, std::string& section, std::string& pending) {
    if (line[0] == '[') {
        section = HeaderName(line);
        m_mapIni[section];
        if (!pending.empty()) m_mapDescription[section][""] = pending;
        pending.clear();
        return;
    }
    const std::string::size_type marker = line.find_first_of(";#");
    if (marker == 0) {
        AppendDescription(pending, line.substr(1));
        return;
    }
    KeyLine parsed = SplitKeyLine(line, marker);
    m_mapIni[section][parsed.key] = IniLine{parsed.value, parsed.comment};
    if (!pending.empty()) m_mapDescription[section][parsed.key] = pending;
    pending.clear();
}

bool SimpleIni::Save() { return SaveAs(m_strFileName); }

bool SimpleIni::SaveAs(const std::string& path) {
    std::ofstream out(path, std::ios::out | std::ios::trunc);
    if (!out.is_open()) return false;
    bool first = true;
    for (const auto& [section, keys] : m_mapIni) {
        if (!first) out << std::endl;
        first = false;
        SaveDescription(section, "", out);
        if (!section.empty()) out << '[' << section << ']' << std::endl;
        for (const auto& [key, line] : keys) {
            // The empty key's description is the section's own, already written above.
            if (!key.empty()) SaveDescription(section, key, out);
            if (!key.empty()) out << key << '=' << line.strValue;
            if (!line.strComment.empty()) out << (key.empty() ? "#" : "\t;") << line.strComment;
            out << std::endl;
        }
    }
    return true;
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): the published signature takes copies.
void SimpleIni::SaveDescription(std::string section, std::string key, std::ofstream& out) {
    const auto sectionPos = m_mapDescription.find(section);
    if (sectionPos == m_mapDescription.end()) return;
    const auto keyPos = sectionPos->second.find(key);
    if (keyPos == sectionPos->second.end()) return;
    const std::string& text = keyPos->second;
    std::string::size_type start = 0;
    while (start < text.size()) {
        std::string::size_type end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out << '#' << text.substr(start, end - start) << std::endl;
        start = end + 1;
    }
}

void SimpleIni::Free() { m_mapIni.clear(); }

std::string SimpleIni::GetValue(const std::string& section, const std::string& key,
                                const std::string& def) {
    const auto sectionPos = m_mapIni.find(section);
    if (sectionPos == m_mapIni.end()) return def;
    const auto keyPos = sectionPos->second.find(key);
    if (keyPos == sectionPos->second.end()) return def;
    return keyPos->second.strValue;
}

template <>
int SimpleIni::GetValue<int>(const std::string& section, const std::string& key, const int& def) {
    const std::string text = GetValue(section, key, std::string(kMissingValue));
    if (text == kMissingValue) return def;
    const long long number = std::strtoll(text.c_str(), nullptr, 10);
    return ClampToInt(number);
}

void SimpleIni::SetValue(const std::string& section, const std::string& key,
                         const std::string& value) {
    m_mapIni[section][key].strValue = value;
}

std::string SimpleIni::GetComment(const std::string& section, const std::string& key) {
    const auto sectionPos = m_mapIni.find(section);
    if (sectionPos == m_mapIni.end()) return std::string();
    const auto keyPos = sectionPos->second.find(key);
    if (keyPos == sectionPos->second.end()) return std::string();
    return keyPos->second.strComment;
}

void SimpleIni::SetComment(const std::string& section, const std::string& key,
                           const std::string& comment) {
    m_mapIni[section][key].strComment = comment;
}

void SimpleIni::DeleteKey(const std::string& section, const std::string& key) {
    m_mapIni[section].erase(key);
}

SimpleIni::SectionIterator SimpleIni::beginSection() { return SectionIterator(m_mapIni.begin()); }

SimpleIni::SectionIterator SimpleIni::endSection() { return SectionIterator(m_mapIni.end()); }

SimpleIni::KeyIterator SimpleIni::beginKey(const std::string& section) {
    const auto pos = m_mapIni.find(section);
    if (pos == m_mapIni.end()) return KeyIterator();
    return KeyIterator(pos->second.begin());
}

SimpleIni::KeyIterator SimpleIni::endKey(const std::string& section) {
    const auto pos = m_mapIni.find(section);
    if (pos == m_mapIni.end()) return KeyIterator();
    return KeyIterator(pos->second.end());
}

void SimpleIni::ParasitCar(std::string& text) {
    if (text.empty()) return;
    const unsigned char last = static_cast<unsigned char>(text.back());
    if (last <= 31) text.pop_back();
}

std::string SimpleIni::Trim(const std::string& text) {
    const std::string::size_type first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const std::string::size_type last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}
