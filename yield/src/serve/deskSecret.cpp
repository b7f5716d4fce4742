#include "serve/deskSecret.h"

#include <fstream>

namespace yield {
namespace {

constexpr char kCannotRead[] = "cannot read the desk secret file ";
constexpr char kBadSecret[] =
    "the desk secret file's first line must be 16 to 256 visible ASCII characters";
constexpr char kFirst = '!';
constexpr char kLast = '~';
// Read past the longest secret, so that a longer one is refused rather than cut.
constexpr size_t kReadBytes = kDeskSecretMaxBytes + 2;

}  // namespace

std::string ReadDeskSecret(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw DeskSecretError(kCannotRead + path);
    std::string text(kReadBytes, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) throw DeskSecretError(kCannotRead + path);
    text.resize(static_cast<size_t>(in.gcount()));
    std::string secret = text.substr(0, text.find('\n'));
    if (!secret.empty() && secret.back() == '\r') secret.pop_back();
    bool visible = true;
    for (char c : secret) visible = visible && c >= kFirst && c <= kLast;
    if (!visible || secret.size() < kDeskSecretMinBytes || secret.size() > kDeskSecretMaxBytes)
        throw DeskSecretError(kBadSecret);
    return secret;
}

bool SameDeskSecret(std::string_view given, std::string_view secret) {
    // Over the longest a secret can be, whatever the lengths.
    unsigned diff = given.size() == secret.size() ? 0U : 1U;
    for (size_t i = 0; i < kDeskSecretMaxBytes; ++i) {
        auto a = static_cast<unsigned char>(i < given.size() ? given[i] : 0);
        auto b = static_cast<unsigned char>(i < secret.size() ? secret[i] : 0);
        diff |= static_cast<unsigned>(a ^ b);
    }
    return diff == 0 && !secret.empty();
}

}  // namespace yield
