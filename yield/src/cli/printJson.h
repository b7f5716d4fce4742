// A small JSON document on standard output, as the other JSON outputs write theirs: two spaces of
// indent, bytes that are not UTF-8 as U+FFFD.
#pragma once

#include <cstdio>
#include <nlohmann/json.hpp>

namespace yield {

constexpr char kFormatText[] = "text";
constexpr char kFormatJson[] = "json";
constexpr char kTextOrJson[] = "text (the default) or json";

inline void PrintJson(const nlohmann::json& document) {
    std::string text = document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
}

}  // namespace yield
