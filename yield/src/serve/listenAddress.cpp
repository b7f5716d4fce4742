#include "serve/listenAddress.h"

#include <algorithm>
#include <boost/asio/ip/address.hpp>
#include <cctype>

namespace yield {
namespace {

constexpr char kDigits[] = "0123456789";
constexpr size_t kMostPortDigits = 5;
constexpr int kMostPort = 65535;
constexpr int kPortWhenNone = 80;
constexpr char kLocalhost[] = "localhost";

bool ParsePort(const std::string& text, int& port) {
    if (text.empty() || text.size() > kMostPortDigits) return false;
    if (text.find_first_not_of(kDigits) != std::string::npos) return false;
    port = std::stoi(text);
    return port <= kMostPort;
}

// The Host header's name (an IPv6 address without its brackets) and port; the port is
// kPortWhenNone when the header names none. False when it is not NAME[:PORT].
bool SplitHostHeader(const std::string& header, std::string& name, int& port) {
    port = kPortWhenNone;
    size_t nameEnd = 0;
    if (!header.empty() && header.front() == '[') {
        nameEnd = header.find(']');
        if (nameEnd == std::string::npos) return false;
        name = header.substr(1, nameEnd - 1);
        ++nameEnd;
    } else {
        nameEnd = std::min(header.find(':'), header.size());
        name = header.substr(0, nameEnd);
    }
    if (nameEnd == header.size()) return !name.empty();
    return header[nameEnd] == ':' && ParsePort(header.substr(nameEnd + 1), port) && !name.empty();
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

bool SplitListen(const std::string& listen, std::string& host, int& port) {
    size_t colon = listen.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    if (!ParsePort(listen.substr(colon + 1), port)) return false;
    host = listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return host.find_first_of("[]") == std::string::npos;
}

bool IsLoopbackAddress(const std::string& address) {
    boost::system::error_code ec;
    boost::asio::ip::address a = boost::asio::ip::make_address(address, ec);
    if (ec) return false;
    if (a.is_v4()) return a.to_v4().is_loopback();
    const boost::asio::ip::address_v6 v6 = a.to_v6();
    if (v6.is_v4_mapped())
        return boost::asio::ip::make_address_v4(boost::asio::ip::v4_mapped, v6).is_loopback();
    return v6.is_loopback();
}

bool HostAllowed(const std::string& address, int port, const std::string& hostHeader) {
    if (!IsLoopbackAddress(address)) return true;
    std::string name;
    int asked = 0;
    if (!SplitHostHeader(hostHeader, name, asked) || asked != port) return false;
    return Lower(name) == kLocalhost || IsLoopbackAddress(name);
}

bool ParseListen(const std::string& text, ListenAt& at) {
    at.text = text;
    return SplitListen(text, at.host, at.port);
}

}  // namespace yield
