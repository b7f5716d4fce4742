// Text on its way to and from a PostgreSQL server. A UTF-8 database refuses NUL bytes and bytes
// that are not UTF-8, yet a log may carry both (a board's host name can hold anything). They are
// stored as characters of a private-use block, one per byte, and read back as the bytes; a
// character of that block in the log itself is stored the same way, byte by byte, so every text
// comes back exactly as it went in.
#pragma once

#include <string>
#include <string_view>

namespace yield {

// `text` as the database keeps it: valid UTF-8 without NUL.
std::string PgEncodeText(std::string_view text);
// The bytes `stored` stands for. A text without private-use characters is `stored` itself.
std::string_view PgDecodeText(std::string_view stored, std::string& scratch);

// One field of a COPY row (text format): `encoded` with backslash, tab, line feed and carriage
// return escaped.
void AppendCopyField(std::string& row, std::string_view encoded);
// A double as PostgreSQL reads it back to the same value (NaN and the infinities by name).
std::string PgReal(double v);

// A server's message on one line: lines joined with "; ", blanks squeezed, the hints libpq
// indents under a message left out.
std::string OneLine(std::string_view message);

}  // namespace yield
