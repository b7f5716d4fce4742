// UTF-8 as the writers (escape.h) and the PostgreSQL text encoder (pgText.h) both read it.
#pragma once

#include <cstddef>
#include <string_view>

namespace yield {

// Length of the valid UTF-8 sequence at `s[i]`, or 0. Overlong forms, surrogates and code
// points past U+10FFFF are not valid: an XML parser refuses them, as does a UTF-8 database.
size_t Utf8Length(std::string_view s, size_t i);

}  // namespace yield
