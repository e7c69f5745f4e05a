#pragma once
#include "Platform/Base/Value.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace base {

class Digest {
public:
    // Lower-case hexadecimal MD5.
    static std::string md5Hex(const Bytes& bytes);
    static std::string md5Hex(std::string_view text);
    // A random (version 4) UUID in upper-case canonical form, 8-4-4-4-12.
    static std::string uuidString();

    // Bytes from the system's random source.
    static Bytes randomBytes(size_t count);
    // PBKDF2 with HMAC-SHA256: `length` bytes, or empty when iterations or length is 0.
    static Bytes pbkdf2Sha256(std::string_view secret, const Bytes& salt, uint32_t iterations, size_t length);
    // Equal length and bytes; the time taken does not depend on where they differ.
    static bool constantTimeEquals(std::string_view a, std::string_view b);

    // A secret kept at rest: "pbkdf2-sha256$<iterations>$<salt>$<hash>", salt (16 random
    // bytes) and hash (32 bytes) in lower-case hexadecimal.
    static constexpr uint32_t kPasswordHashIterations = 100000;
    static std::string passwordHash(std::string_view secret, uint32_t iterations = kPasswordHashIterations);
    // Whether the secret gives the stored hash; NO for any text not of that form, and for
    // iteration counts outside 1..10,000,000 (a stored text must not stall the caller).
    static bool verifyPasswordHash(std::string_view secret, std::string_view stored);
};

} // namespace base
