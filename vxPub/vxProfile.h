// INI profile functions: read or change one entry of an INI file directly on disk.
//
// Grammar: a header is a "[" at the start of the text or right after a line end, its name runs
// to the first "]"; a header or key text matches every requested name that begins with it; the
// first matching key line wins, later headers of a matching name included; only a line whose
// first byte is ";" is a comment; CR and LF are each a line end. No function logs.
#pragma once

namespace vxprofile {
// Size of the text buffers; a usable file holds at most kBufSize - 1 bytes.
inline constexpr int kBufSize = 1048576;
inline constexpr int kMaxFileLen = kBufSize - 1;
// load_ini_file result for a file that was opened but could not be taken whole (too large,
// or a read error).
inline constexpr int kFileUnusable = -1;
}  // namespace vxprofile

// Reads `file` into `buf` (of `buf_size` bytes) and terminates it with a zero byte.
// Returns 1 when read whole, 0 when the file cannot be opened, kFileUnusable when it holds
// buf_size bytes or more or cannot be read; `file_len` is then 0 and `buf` holds empty text.
int load_ini_file(const char* file, char* buf, int* file_len, int buf_size = vxprofile::kBufSize);

// Finds `key` in `section` of the zero-terminated text `buf`. Returns 1 when found. Every
// out-position is -1 when not found; sec_start/sec_end are those of the last matching header
// (sec_end -1 with sec_start set: the text ends inside that header, which has no "]").
// key_end is the byte before "=", value_end the line end or the terminating zero byte.
// A null or empty name or a null pointer gives 0.
int parse_file(const char* section, const char* key, const char* buf, int* sec_start, int* sec_end,
               int* key_start, int* key_end, int* value_start, int* value_end);

// Copies the value (as it stands, blanks and ";" included) into `value`, at most size - 1
// bytes, zero-filled and terminated. When the key is not found, or the file is unreadable or
// too large, copies `def_value` the same way (if not null) and returns 0. Invalid arguments
// (null or empty names, null value or file, size <= 0) return 0 and leave `value` untouched.
int read_profile_string(const char* section, const char* key, char* value, int size,
                        const char* def_value, const char* file);

// The value read as a decimal integer (at most 31 characters, clamped to the int range), or
// `def_value` when the key is not found or the arguments are invalid.
int read_profile_int(const char* section, const char* key, int def_value, const char* file);

// Sets the key's value and rewrites the file: only the value bytes change; a new key becomes
// the first line of the section's body; a new section is appended. A missing or unopenable
// file counts as empty. Returns 1 when written. Returns 0 and leaves the file unchanged for:
// invalid arguments; names that could not be read back (line ends in any of them, "]" in the
// section, "=" in the key, a key starting with ";" or "[", a new key starting with white
// space); a file that is too large, holds a zero byte, or ends inside a header where a section
// would be appended; a new key that would change what another entry reads (the rest of its
// header's line starts with "[" and would become a header, or a later key line that a request
// could reach through the same header would be hidden behind it); new content over
// kMaxFileLen bytes; a file that cannot be opened for writing. A failing write after the open
// also returns 0. A write that returns 1 leaves every other entry reading what it read.
int write_profile_string(const char* section, const char* key, const char* value, const char* file);

bool newline(char c);
bool end_of_string(char c);
bool left_barce(char c);
bool isright_brace(char c);
