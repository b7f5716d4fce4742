#include "vxProfile.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {
struct Positions {
    int secStart = -1;
    int secEnd = -1;
    int keyStart = -1;
    int keyEnd = -1;
    int valueStart = -1;
    int valueEnd = -1;
};

struct FileCloser {
    void operator()(FILE* file) const { fclose(file); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// The text ends at the zero byte load_ini_file puts behind it, so the bytes after it are never
// read and the buffer is not cleared first.
using TextBuffer = std::unique_ptr<char[]>;
TextBuffer NewTextBuffer() { return TextBuffer(new char[vxprofile::kBufSize]); }

bool IsName(const char* text) { return text != nullptr && text[0] != '\0'; }

bool IsBlankOrLineEnd(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool HasLineEnd(const char* text) { return strpbrk(text, "\r\n") != nullptr; }

// The requested name begins with the `len` bytes at `text`.
bool BeginsWith(const char* requested, const char* text, int len) {
    return strncmp(requested, text, static_cast<size_t>(len)) == 0;
}

bool IsHeaderStart(const char* buf, int pos) {
    return left_barce(buf[pos]) && (pos == 0 || newline(buf[pos - 1]));
}

int LineEnd(const char* buf, int pos) {
    while (!end_of_string(buf[pos]) && !newline(buf[pos])) ++pos;
    return pos;
}

int NextLine(const char* buf, int lineEnd) { return newline(buf[lineEnd]) ? lineEnd + 1 : lineEnd; }

// Position of the "]" closing the name that starts at `pos`, or of the terminating zero byte.
int HeaderClose(const char* buf, int pos) {
    while (!end_of_string(buf[pos]) && !isright_brace(buf[pos])) ++pos;
    return pos;
}

// Position of the "=" ending the key text of the body line [line, lineEnd), or -1 when the line
// is no key line (a comment, no "=", an empty key text).
int KeyLineEquals(const char* buf, int line, int lineEnd) {
    if (buf[line] == ';') return -1;
    const void* eq = memchr(buf + line, '=', static_cast<size_t>(lineEnd - line));
    if (eq == nullptr) return -1;
    const int eqPos = static_cast<int>(static_cast<const char*>(eq) - buf);
    return eqPos == line ? -1 : eqPos;
}

// Matches one body line [line, lineEnd) against `key`; fills the key positions on a match.
bool MatchKeyLine(const char* key, const char* buf, int line, int lineEnd, Positions& pos) {
    const int eqPos = KeyLineEquals(buf, line, lineEnd);
    if (eqPos < 0 || !BeginsWith(key, buf + line, eqPos - line)) return false;
    pos.keyStart = line;
    pos.keyEnd = eqPos - 1;
    pos.valueStart = eqPos + 1;
    pos.valueEnd = lineEnd;
    return true;
}

// Searches the body that starts at `line`; returns where the scan goes on (the next header or
// the end of the text), or -1 when the key was found.
int SearchBody(const char* key, const char* buf, int line, Positions& pos) {
    while (!end_of_string(buf[line]) && !IsHeaderStart(buf, line)) {
        const int lineEnd = LineEnd(buf, line);
        if (MatchKeyLine(key, buf, line, lineEnd, pos)) return -1;
        line = NextLine(buf, lineEnd);
    }
    return line;
}

int SkipBlanks(const char* buf, int pos) {
    while (IsBlankOrLineEnd(buf[pos])) ++pos;
    return pos;
}

bool FindKey(const char* section, const char* key, const char* buf, Positions& pos) {
    int i = 0;
    while (!end_of_string(buf[i])) {
        if (!IsHeaderStart(buf, i)) {
            ++i;
            continue;
        }
        const int nameStart = i + 1;
        const int close = HeaderClose(buf, nameStart);
        const bool matches = BeginsWith(section, buf + nameStart, close - nameStart);
        if (end_of_string(buf[close])) {
            if (matches) {
                pos.secStart = nameStart;
                pos.secEnd = -1;
            }
            return false;
        }
        if (!matches) {
            i = close;
            continue;
        }
        pos.secStart = nameStart;
        pos.secEnd = SkipBlanks(buf, close + 1);
        i = SearchBody(key, buf, pos.secEnd, pos);
        if (i < 0) return true;
    }
    return false;
}

void Store(const Positions& pos, int* sec_start, int* sec_end, int* key_start, int* key_end,
           int* value_start, int* value_end) {
    *sec_start = pos.secStart;
    *sec_end = pos.secEnd;
    *key_start = pos.keyStart;
    *key_end = pos.keyEnd;
    *value_start = pos.valueStart;
    *value_end = pos.valueEnd;
}

// Copies at most size - 1 bytes of `text` (`len` bytes long) into `out`, zero-filling the rest.
void CopyBounded(char* out, int size, const char* text, size_t len) {
    memset(out, 0, static_cast<size_t>(size));
    memcpy(out, text, len < static_cast<size_t>(size - 1) ? len : static_cast<size_t>(size - 1));
}

// True when the text ends inside a header: a header start after the last "]".
bool EndsInsideHeader(const char* buf, int len) {
    int start = len;
    while (start > 0 && !isright_brace(buf[start - 1])) --start;
    for (int i = start; i < len; ++i) {
        if (IsHeaderStart(buf, i)) return true;
    }
    return false;
}

// A key line written with these names can be found again by the same grammar.
bool CanReadBack(const char* section, const char* key, const char* value) {
    if (HasLineEnd(section) || HasLineEnd(key) || HasLineEnd(value)) return false;
    if (key[0] == ';' || left_barce(key[0])) return false;
    // A "]" would end the written header early, and the rest could read as a key line.
    if (strchr(section, ']') != nullptr) return false;
    return strchr(key, '=') == nullptr;
}

// One of the two names begins with the other, so some requested name matches both.
bool Comparable(const char* a, int aLen, const char* b, int bLen) {
    return strncmp(a, b, static_cast<size_t>(aLen < bLen ? aLen : bLen)) == 0;
}

// Whether a key line inserted at the start of the body at pos.secEnd would change what another
// entry reads: the rest of a header line that starts with "[" would become a header of its
// own, and a later key line that some request could reach through the same header name would
// be hidden behind the new one.
bool InsertDisturbs(const char* key, const char* buf, const Positions& pos) {
    if (!newline(buf[pos.secEnd - 1]) && left_barce(buf[pos.secEnd])) return true;
    const char* owner = buf + pos.secStart;
    const int ownerLen = HeaderClose(buf, pos.secStart) - pos.secStart;
    const int keyLen = static_cast<int>(strlen(key));
    const char* name = nullptr;
    int nameLen = 0;
    int line = 0;
    while (!end_of_string(buf[line])) {
        if (IsHeaderStart(buf, line)) {
            const int close = HeaderClose(buf, line + 1);
            if (end_of_string(buf[close])) return false;
            name = buf + line + 1;
            nameLen = close - line - 1;
            line = SkipBlanks(buf, close + 1);
            continue;
        }
        const int lineEnd = LineEnd(buf, line);
        const int eqPos = KeyLineEquals(buf, line, lineEnd);
        if (line >= pos.secEnd && name != nullptr && eqPos >= 0 &&
            Comparable(name, nameLen, owner, ownerLen) &&
            Comparable(buf + line, eqPos - line, key, keyLen))
            return true;
        line = NextLine(buf, lineEnd);
    }
    return false;
}

std::string NewContent(const char* section, const char* key, const char* value, const char* old,
                       int oldLen, const Positions& pos) {
    const std::string keyLine = std::string(key) + "=" + value + "\n";
    if (pos.valueStart >= 0) {
        return std::string(old, static_cast<size_t>(pos.valueStart)) + value +
               std::string(old + pos.valueEnd, static_cast<size_t>(oldLen - pos.valueEnd));
    }
    if (pos.secEnd >= 0) {
        return std::string(old, static_cast<size_t>(pos.secEnd)) + keyLine +
               std::string(old + pos.secEnd, static_cast<size_t>(oldLen - pos.secEnd));
    }
    const std::string header = std::string("[") + section + "]\n";
    if (oldLen == 0) return header + keyLine;
    return std::string(old, static_cast<size_t>(oldLen)) + "\n" + header + keyLine;
}

// The content after the write, or false when the entry could not be read back from it or the
// result would not fit the text buffer.
bool BuildContent(const char* section, const char* key, const char* value, const char* old,
                  int oldLen, std::string& content) {
    if (memchr(old, '\0', static_cast<size_t>(oldLen)) != nullptr) return false;
    Positions pos;
    FindKey(section, key, old, pos);
    // A section appended behind an unclosed header would become part of its name.
    if (pos.secEnd < 0 && EndsInsideHeader(old, oldLen)) return false;
    // A new key line starts a section's body, whose leading white space the reader skips.
    if (pos.valueStart < 0 && IsBlankOrLineEnd(key[0])) return false;
    if (pos.valueStart < 0 && pos.secEnd >= 0 && InsertDisturbs(key, old, pos)) return false;
    content = NewContent(section, key, value, old, oldLen, pos);
    return content.size() <= static_cast<size_t>(vxprofile::kMaxFileLen);
}

int WriteWhole(const char* file, const std::string& content) {
    FILE* raw = fopen(file, "w");
    if (raw == nullptr) return 0;
    const bool written = fwrite(content.data(), 1, content.size(), raw) == content.size();
    const bool flushed = fflush(raw) == 0;
    const bool closed = fclose(raw) == 0;
    return written && flushed && closed ? 1 : 0;
}

int ToIntClamped(const char* text) {
    const long long number = strtoll(text, nullptr, 10);
    if (number > INT_MAX) return INT_MAX;
    if (number < INT_MIN) return INT_MIN;
    return static_cast<int>(number);
}
}  // namespace

bool newline(char c) { return c == '\n' || c == '\r'; }

bool end_of_string(char c) { return c == '\0'; }

bool left_barce(char c) { return c == '['; }

bool isright_brace(char c) { return c == ']'; }

int load_ini_file(const char* file, char* buf, int* file_len, int buf_size) {
    if (file_len != nullptr) *file_len = 0;
    if (buf != nullptr && buf_size > 0) buf[0] = '\0';
    if (file == nullptr || buf == nullptr || file_len == nullptr || buf_size <= 0) return 0;
    FilePtr in(fopen(file, "r"));
    if (!in) return 0;
    const size_t room = static_cast<size_t>(buf_size - 1);
    const size_t got = fread(buf, 1, room, in.get());
    const bool readError = ferror(in.get()) != 0;
    const bool more = !readError && got == room && fgetc(in.get()) != EOF;
    if (readError || more || ferror(in.get())) {
        buf[0] = '\0';
        return vxprofile::kFileUnusable;
    }
    buf[got] = '\0';
    *file_len = static_cast<int>(got);
    return 1;
}

int parse_file(const char* section, const char* key, const char* buf, int* sec_start, int* sec_end,
               int* key_start, int* key_end, int* value_start, int* value_end) {
    if (!sec_start || !sec_end || !key_start || !key_end || !value_start || !value_end) return 0;
    Positions pos;
    Store(pos, sec_start, sec_end, key_start, key_end, value_start, value_end);
    if (buf == nullptr || !IsName(section) || !IsName(key)) return 0;
    const bool found = FindKey(section, key, buf, pos);
    Store(pos, sec_start, sec_end, key_start, key_end, value_start, value_end);
    return found ? 1 : 0;
}

int read_profile_string(const char* section, const char* key, char* value, int size,
                        const char* def_value, const char* file) {
    if (!IsName(section) || !IsName(key) || value == nullptr || size <= 0 || file == nullptr)
        return 0;
    const TextBuffer buf = NewTextBuffer();
    int len = 0;
    Positions pos;
    const bool found = load_ini_file(file, buf.get(), &len) == 1 &&
                       parse_file(section, key, buf.get(), &pos.secStart, &pos.secEnd,
                                  &pos.keyStart, &pos.keyEnd, &pos.valueStart, &pos.valueEnd) == 1;
    if (!found) {
        if (def_value != nullptr) CopyBounded(value, size, def_value, strlen(def_value));
        return 0;
    }
    CopyBounded(value, size, buf.get() + pos.valueStart,
                static_cast<size_t>(pos.valueEnd - pos.valueStart));
    return 1;
}

int read_profile_int(const char* section, const char* key, int def_value, const char* file) {
    char value[32] = {};
    if (read_profile_string(section, key, value, sizeof value, nullptr, file) != 1)
        return def_value;
    return ToIntClamped(value);
}

int write_profile_string(const char* section, const char* key, const char* value,
                         const char* file) {
    if (!IsName(section) || !IsName(key) || value == nullptr || file == nullptr) return 0;
    if (!CanReadBack(section, key, value)) return 0;
    const TextBuffer old = NewTextBuffer();
    int oldLen = 0;
    if (load_ini_file(file, old.get(), &oldLen) == vxprofile::kFileUnusable) return 0;
    std::string content;
    if (!BuildContent(section, key, value, old.get(), oldLen, content)) return 0;
    return WriteWhole(file, content);
}
