#include "Platform/Base/Digest.h"

#include <gtest/gtest.h>
#include <set>

using base::Digest;

TEST(Digest, Md5MatchesKnownVectors)
{
    EXPECT_EQ(Digest::md5Hex(std::string_view("abc")), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Digest::md5Hex(std::string_view("")), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Digest::md5Hex(std::string_view("The quick brown fox jumps over the lazy dog")),
              "9e107d9d372bb6826bd81d3542a419d6");
    base::Bytes bytes = {'a', 'b', 'c'};
    EXPECT_EQ(Digest::md5Hex(bytes), Digest::md5Hex(std::string_view("abc")));
    EXPECT_NE(Digest::md5Hex(std::string_view("a\0c", 3)), Digest::md5Hex(std::string_view("a")));
}

TEST(Digest, UuidsAreCanonicalVersion4AndDistinct)
{
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i) {
        std::string uuid = Digest::uuidString();
        ASSERT_EQ(uuid.size(), 36u);
        for (size_t k = 0; k < uuid.size(); ++k) {
            if (k == 8 || k == 13 || k == 18 || k == 23)
                ASSERT_EQ(uuid[k], '-') << uuid;
            else
                ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(uuid[k])) || (uuid[k] >= 'A' && uuid[k] <= 'F')) << uuid;
        }
        EXPECT_EQ(uuid[14], '4') << uuid;
        EXPECT_NE(std::string("89AB").find(uuid[19]), std::string::npos) << uuid;
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 1000u);
}

namespace {

std::string hexOf(const base::Bytes& bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

} // namespace

TEST(Digest, Pbkdf2MatchesPublishedVectors)
{
    // The PBKDF2-HMAC-SHA256 vectors published with the scrypt memo.
    struct Case {
        const char* secret;
        const char* salt;
        uint32_t iterations;
        const char* expected;
    } cases[] = {
        {"passwd", "salt", 1,
         "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
         "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
        {"Password", "NaCl", 80000,
         "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
         "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
    };
    for (const auto& c : cases) {
        std::string_view salt(c.salt);
        base::Bytes saltBytes(salt.begin(), salt.end());
        EXPECT_EQ(hexOf(Digest::pbkdf2Sha256(c.secret, saltBytes, c.iterations, 64)), c.expected) << c.secret;
    }
    EXPECT_TRUE(Digest::pbkdf2Sha256("x", {}, 0, 32).empty());
    EXPECT_TRUE(Digest::pbkdf2Sha256("x", {}, 1, 0).empty());
}

TEST(Digest, ConstantTimeComparisonNeedsEveryByte)
{
    struct Case {
        std::string_view a, b;
        bool equal;
    } cases[] = {
        {"", "", true},
        {"abc", "abc", true},
        {"abc", "abd", false},
        {"abc", "ab", false},
        {std::string_view("a\0b", 3), std::string_view("a\0c", 3), false},
        {"", "a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Digest::constantTimeEquals(c.a, c.b), c.equal) << c.a << " / " << c.b;
}

TEST(Digest, PasswordHashesVerifyOnlyTheirSecret)
{
    std::string first = Digest::passwordHash("ca6c5d8960b5f761e1676d26b282889c", 1000);
    std::string second = Digest::passwordHash("ca6c5d8960b5f761e1676d26b282889c", 1000);
    ASSERT_EQ(first.rfind("pbkdf2-sha256$1000$", 0), 0u) << first;
    // salt 16 bytes, hash 32, both in hex
    EXPECT_EQ(first.size(), std::string("pbkdf2-sha256$1000$").size() + 32 + 1 + 64);
    EXPECT_NE(first, second) << "the salt is random";
    EXPECT_EQ(Digest::passwordHash("x").rfind("pbkdf2-sha256$100000$", 0), 0u);

    // A hand-made one from the published vector's parameters: salt "salt", one iteration.
    std::string known = "pbkdf2-sha256$1$73616c74$55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc";
    struct Case {
        std::string secret;
        std::string stored;
        bool ok;
    } cases[] = {
        {"ca6c5d8960b5f761e1676d26b282889c", first, true},
        {"ca6c5d8960b5f761e1676d26b282889c", second, true},
        {"CA6C5D8960B5F761E1676D26B282889C", first, false},
        {"", first, false},
        {"passwd", known, true},
        {"passwe", known, false},
        {"passwd", "pbkdf2-sha256$2$73616c74$55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc", false},
        {"passwd", "pbkdf2-sha1$1$73616c74$55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc", false},
        {"passwd", "pbkdf2-sha256$01$73616c74$55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc", false},
        {"passwd", "pbkdf2-sha256$0$73616c74$55ac", false},
        {"passwd", "pbkdf2-sha256$99999999$73616c74$55ac", false},
        {"passwd", "pbkdf2-sha256$1$73616C74$55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc", false},
        {"passwd", "pbkdf2-sha256$1$$55ac", false},
        {"passwd", "pbkdf2-sha256$1$73616c74$", false},
        {"passwd", "pbkdf2-sha256$1$73616c74$55ac$", false},
        {"passwd", "passwd", false},
        {"", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Digest::verifyPasswordHash(c.secret, c.stored), c.ok) << c.secret << " against " << c.stored;
}
