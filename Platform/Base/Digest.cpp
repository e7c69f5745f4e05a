#include "Platform/Base/Digest.h"

#include <cstdlib>
#include <memory>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace base {

namespace {

struct MdCtxFree {
    void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};

std::string hex(const unsigned char* data, size_t size, const char* digits)
{
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 0x0f];
    }
    return out;
}

std::string md5(const void* data, size_t size)
{
    std::unique_ptr<EVP_MD_CTX, MdCtxFree> ctx(EVP_MD_CTX_new());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_md5(), nullptr) != 1
        || EVP_DigestUpdate(ctx.get(), data, size) != 1
        || EVP_DigestFinal_ex(ctx.get(), digest, &length) != 1)
        std::abort(); // MD5 is always available in the default provider
    return hex(digest, length, "0123456789abcdef");
}

} // namespace

std::string Digest::md5Hex(const Bytes& bytes)
{
    return md5(bytes.data(), bytes.size());
}

std::string Digest::md5Hex(std::string_view text)
{
    return md5(text.data(), text.size());
}

std::string Digest::uuidString()
{
    unsigned char b[16];
    if (RAND_bytes(b, sizeof b) != 1)
        std::abort(); // without randomness identifiers could collide silently
    b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40); // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80); // RFC 4122 variant
    const char* digits = "0123456789ABCDEF";
    return hex(b, 4, digits) + "-" + hex(b + 4, 2, digits) + "-" + hex(b + 6, 2, digits) + "-"
        + hex(b + 8, 2, digits) + "-" + hex(b + 10, 6, digits);
}

} // namespace base
