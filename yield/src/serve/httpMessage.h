// The HTTP side's texts and shapes: the headers every answer carries (the Content-Security-Policy
// among them), answers made from a status and a body, and a request's target decoded into its
// path and query parameters.
#pragma once

#include <boost/beast/http.hpp>
#include <map>
#include <string>

#include "report/reportRequest.h"  // the content types of the text, JSON and HTML answers

namespace yield {

namespace http = boost::beast::http;

constexpr char kPageCsp[] =
    "default-src 'none'; script-src 'self'; connect-src 'self'; style-src 'self'";
// The HTML report carries its own style and no script at all.
constexpr char kReportCsp[] = "default-src 'none'; style-src 'unsafe-inline'";
constexpr char kCssType[] = "text/css; charset=utf-8";
constexpr char kJsType[] = "text/javascript; charset=utf-8";
constexpr char kEventType[] = "text/event-stream";

using Answer = http::response<http::string_body>;

// The headers of every answer: `csp` and the defaults (no sniffing, no referrer, no caching).
void Decorate(http::fields& fields, const char* csp);

// An answer of `status` with `body` of `type`, decorated; HTTP/`version` (10 or 11).
Answer MakeAnswer(http::status status, unsigned version, std::string body,
                  const char* type = kTextType, const char* csp = kPageCsp);

// The head of a live page's stream: 200, the event stream's type, decorated, "Connection: close"
// and neither a length nor chunks (the stream ends with the connection), as the client's
// HTTP/`version` reads it.
std::string EventStreamHead(unsigned version);

struct Target {
    std::string path;                          // percent-decoded
    std::map<std::string, std::string> query;  // names and values decoded, '+' as a space
};

// `target` split and decoded; false when it is not a path with an optional query, holds a bad
// escape or a NUL, or names a query parameter twice.
bool DecodeTarget(const std::string& target, Target& out);

}  // namespace yield
