#include "Platform/Base/Digest.h"

#include <climits>
#include <cstdlib>
#include <optional>
#include <vector>
#include <memory>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <cerrno>
#include <sys/random.h>

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

namespace {

// The system's own random source: ready from boot, and no generator of ours to set up on first
// use (a document's first identifier is made as the reader opens).
void fillRandom(unsigned char* out, size_t count)
{
    while (count > 0) {
        ssize_t got = getrandom(out, count, 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            std::abort(); // without randomness identifiers could collide and salts be guessed, silently
        out += got;
        count -= size_t(got);
    }
}

} // namespace

std::string Digest::uuidString()
{
    unsigned char b[16];
    fillRandom(b, sizeof b);
    b[6] = static_cast<unsigned char>((b[6] & 0x0f) | 0x40); // version 4
    b[8] = static_cast<unsigned char>((b[8] & 0x3f) | 0x80); // RFC 4122 variant
    const char* digits = "0123456789ABCDEF";
    return hex(b, 4, digits) + "-" + hex(b + 4, 2, digits) + "-" + hex(b + 6, 2, digits) + "-"
        + hex(b + 8, 2, digits) + "-" + hex(b + 10, 6, digits);
}

namespace {

constexpr std::string_view kPasswordHashScheme = "pbkdf2-sha256";
constexpr size_t kSaltBytes = 16;
constexpr size_t kHashBytes = 32;
constexpr uint32_t kMaxIterations = 10000000;

std::optional<Bytes> fromHex(std::string_view text)
{
    if (text.empty() || text.size() % 2)
        return std::nullopt;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    Bytes out;
    out.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = nibble(text[i]), lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    return out;
}

std::vector<std::string_view> splitDollar(std::string_view text)
{
    std::vector<std::string_view> parts;
    size_t from = 0;
    while (true) {
        size_t at = text.find('$', from);
        parts.push_back(text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos)
            return parts;
        from = at + 1;
    }
}

} // namespace

Bytes Digest::randomBytes(size_t count)
{
    Bytes out(count);
    fillRandom(out.data(), count);
    return out;
}

Bytes Digest::pbkdf2Sha256(std::string_view secret, const Bytes& salt, uint32_t iterations, size_t length)
{
    if (iterations == 0 || length == 0 || iterations > static_cast<uint32_t>(INT32_MAX))
        return {};
    Bytes out(length);
    if (PKCS5_PBKDF2_HMAC(secret.data(), static_cast<int>(secret.size()), salt.data(), static_cast<int>(salt.size()),
                          static_cast<int>(iterations), EVP_sha256(), static_cast<int>(length), out.data())
        != 1)
        return {};
    return out;
}

bool Digest::constantTimeEquals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    return a.empty() || CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string Digest::passwordHash(std::string_view secret, uint32_t iterations)
{
    Bytes salt = randomBytes(kSaltBytes);
    Bytes hash = pbkdf2Sha256(secret, salt, iterations, kHashBytes);
    if (hash.empty())
        return {};
    return std::string(kPasswordHashScheme) + "$" + std::to_string(iterations) + "$"
        + hex(salt.data(), salt.size(), "0123456789abcdef") + "$" + hex(hash.data(), hash.size(), "0123456789abcdef");
}

bool Digest::verifyPasswordHash(std::string_view secret, std::string_view stored)
{
    auto parts = splitDollar(stored);
    if (parts.size() != 4 || parts[0] != kPasswordHashScheme)
        return false;
    std::string_view count = parts[1];
    if (count.empty() || count.size() > 8 || count[0] == '0')
        return false;
    uint32_t iterations = 0;
    for (char c : count) {
        if (c < '0' || c > '9')
            return false;
        iterations = iterations * 10 + static_cast<uint32_t>(c - '0');
    }
    if (iterations > kMaxIterations)
        return false;
    auto salt = fromHex(parts[2]);
    auto expected = fromHex(parts[3]);
    if (!salt || !expected)
        return false;
    Bytes hash = pbkdf2Sha256(secret, *salt, iterations, expected->size());
    if (hash.size() != expected->size())
        return false;
    return CRYPTO_memcmp(hash.data(), expected->data(), hash.size()) == 0;
}

} // namespace base
