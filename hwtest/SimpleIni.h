// INI document kept in memory: sections of keys, each key a value with an optional trailing
// comment, plus the full-line comments ("descriptions") above headers and keys.
#pragma once

#include <fstream>
#include <map>
#include <string>

class SimpleIni {
public:
    struct IniLine {
        std::string strValue;    // trimmed value text
        std::string strComment;  // text after the comment marker, untrimmed; empty when none
    };

    using KeyMap = std::map<std::string, IniLine>;
    using SectionMap = std::map<std::string, KeyMap>;
    using DescriptionMap = std::map<std::string, std::map<std::string, std::string>>;

    // A position in the section table; dereferences to (section name, key table).
    class SectionIterator {
    public:
        SectionIterator() = default;
        explicit SectionIterator(SectionMap::iterator pos) : m_pos(pos) {}
        SectionMap::value_type& operator*() const { return *m_pos; }
        SectionMap::value_type* operator->() const { return &*m_pos; }
        SectionIterator& operator++() {
            ++m_pos;
            return *this;
        }
        bool operator==(const SectionIterator& other) const { return m_pos == other.m_pos; }
        bool operator!=(const SectionIterator& other) const { return m_pos != other.m_pos; }

    private:
        SectionMap::iterator m_pos{};
    };

    // A position in one section's key table; dereferences to (key name, IniLine).
    class KeyIterator {
    public:
        KeyIterator() = default;
        explicit KeyIterator(KeyMap::iterator pos) : m_pos(pos) {}
        KeyMap::value_type& operator*() const { return *m_pos; }
        KeyMap::value_type* operator->() const { return &*m_pos; }
        KeyIterator& operator++() {
            ++m_pos;
            return *this;
        }
        bool operator==(const KeyIterator& other) const { return m_pos == other.m_pos; }
        bool operator!=(const KeyIterator& other) const { return m_pos != other.m_pos; }

    private:
        KeyMap::iterator m_pos{};
    };

    // An empty path gives an empty document. Any other path is loaded; when it cannot be
    // opened the constructor throws std::string("Unable to open the file <path> in read mode.").
    explicit SimpleIni(const std::string& path);
    ~SimpleIni();

    // Replaces the keys with the file's content. False when the file cannot be opened (the
    // document is then left without keys, and the path is still remembered for Save).
    bool Load(const std::string& path);
    // Writes to the path of the last Load.
    bool Save();
    // Writes the whole document, sorted. False, and nothing written, when the file cannot be
    // opened for writing; write errors after that are not detected.
    bool SaveAs(const std::string& path);
    // Writes the description of a section (key "") or key, one "#" line per text line.
    void SaveDescription(std::string section, std::string key, std::ofstream& out);
    // Empties the key table; descriptions and the file name stay.
    void Free();

    // The key's value, or `def` when the section or key does not exist.
    std::string GetValue(const std::string& section, const std::string& key,
                         const std::string& def);
    std::string GetValue(const std::string& section, const std::string& key, const char* def) {
        return GetValue(section, key, std::string(def));
    }
    // Typed look-up; only int is provided. A missing key gives `def`; an existing value is read
    // as a decimal integer (leading white space, sign, digits), 0 when it holds no number,
    // clamped to the int range.
    template <class T>
    T GetValue(const std::string& section, const std::string& key, const T& def);

    // Set the value (comment kept) or the comment (value kept), creating section and key.
    void SetValue(const std::string& section, const std::string& key, const std::string& value);
    std::string GetComment(const std::string& section, const std::string& key);
    void SetComment(const std::string& section, const std::string& key, const std::string& comment);
    // Removes the key; a missing section is created empty, a missing key is no error.
    void DeleteKey(const std::string& section, const std::string& key);

    SectionIterator beginSection();
    SectionIterator endSection();
    // For a section that does not exist both give the same position (an empty range).
    KeyIterator beginKey(const std::string& section);
    KeyIterator endKey(const std::string& section);

    // Removes one trailing character with a code from 0 to 31 (the CR of a CR-LF line).
    static void ParasitCar(std::string& text);
    // The text without leading and trailing blanks and tabs.
    static std::string Trim(const std::string& text);

private:
    // One non-empty line of a file: a header, a full-line comment (added to the pending
    // description) or a key line.
    void AddLine(const std::string& line, std::string& section, std::string& pending);

    SectionMap m_mapIni;
    DescriptionMap m_mapDescription;
    std::string m_strFileName;
};

template <>
int SimpleIni::GetValue<int>(const std::string& section, const std::string& key, const int& def);
