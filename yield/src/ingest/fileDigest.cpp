#include "ingest/fileDigest.h"

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>

namespace yield {
namespace {

constexpr char kHexDigits[] = "0123456789abcdef";
constexpr char kDigestFailed[] = "SHA-256: the digest could not be computed";

struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
    std::unique_ptr<EVP_MD_CTX, ContextFree> ctx(EVP_MD_CTX_new());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1 ||
        EVP_DigestUpdate(ctx.get(), bytes.data(), bytes.size()) != 1 ||
        EVP_DigestFinal_ex(ctx.get(), digest, &size) != 1) {
        throw std::runtime_error(kDigestFailed);
    }
    std::string hex;
    hex.reserve(2 * static_cast<size_t>(size));
    for (unsigned int i = 0; i < size; ++i) {
        hex += kHexDigits[digest[i] >> 4];
        hex += kHexDigits[digest[i] & 0xF];
    }
    return hex;
}

}  // namespace yield
