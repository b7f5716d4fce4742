#include "serve/httpMessage.h"

#include <sstream>

namespace yield {
namespace {

constexpr char kCspHeader[] = "Content-Security-Policy";
constexpr char kNoSniffHeader[] = "X-Content-Type-Options";
constexpr char kNoSniff[] = "nosniff";
constexpr char kReferrerHeader[] = "Referrer-Policy";
constexpr char kNoReferrer[] = "no-referrer";
constexpr char kNoStore[] = "no-store";
constexpr char kClose[] = "close";
constexpr char kHex[] = "0123456789abcdef0123456789ABCDEF";
constexpr int kHexCaseOffset = 16;

int HexValue(char c) {
    for (int i = 0; kHex[i] != '\0'; ++i)
        if (kHex[i] == c) return i % kHexCaseOffset;
    return -1;
}

// `text` with its %XX escapes decoded (and '+' as a space in a query); false on a bad escape or
// a NUL.
bool Unescape(const std::string& text, bool plusIsSpace, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+' && plusIsSpace) {
            c = ' ';
        } else if (c == '%') {
            int hi = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
            int lo = hi < 0 ? -1 : HexValue(text[i + 2]);
            if (lo < 0) return false;
            c = static_cast<char>(hi * kHexCaseOffset + lo);
            i += 2;
        }
        if (c == '\0') return false;
        out += c;
    }
    return true;
}

bool DecodeQuery(const std::string& query, std::map<std::string, std::string>& out) {
    size_t from = 0;
    while (from <= query.size()) {
        size_t end = std::min(query.find('&', from), query.size());
        std::string pair = query.substr(from, end - from);
        from = end + 1;
        if (pair.empty()) continue;
        size_t eq = std::min(pair.find('='), pair.size());
        std::string name, value;
        if (!Unescape(pair.substr(0, eq), true, name)) return false;
        if (eq < pair.size() && !Unescape(pair.substr(eq + 1), true, value)) return false;
        if (!out.emplace(name, value).second) return false;
    }
    return true;
}

}  // namespace

void Decorate(http::fields& fields, const char* csp) {
    fields.set(kCspHeader, csp);
    fields.set(kNoSniffHeader, kNoSniff);
    fields.set(kReferrerHeader, kNoReferrer);
    fields.set(http::field::cache_control, kNoStore);
}

Answer MakeAnswer(http::status status, unsigned version, std::string body, const char* type,
                  const char* csp) {
    Answer a{status, version};
    Decorate(a, csp);
    if (!body.empty()) a.set(http::field::content_type, type);
    a.body() = std::move(body);
    a.prepare_payload();
    return a;
}

std::string EventStreamHead(unsigned version) {
    http::response_header<> head;
    head.result(http::status::ok);
    head.version(version);
    head.set(http::field::content_type, kEventType);
    Decorate(head, kPageCsp);
    head.set(http::field::connection, kClose);
    std::ostringstream out;
    out << head;
    return out.str();
}

bool DecodeTarget(const std::string& target, Target& out) {
    if (target.empty() || target.front() != '/') return false;
    const size_t mark = std::min(target.find('?'), target.size());
    out.query.clear();
    if (!Unescape(target.substr(0, mark), false, out.path)) return false;
    return mark == target.size() || DecodeQuery(target.substr(mark + 1), out.query);
}

}  // namespace yield
