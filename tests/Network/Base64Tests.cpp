#include "Network/MBBase64.h"
#include "tests/Platform/Base/FileTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

namespace {

base::Bytes bytesOf(std::string_view text)
{
    return base::Bytes(text.begin(), text.end());
}

} // namespace

TEST(Base64Test, Rfc4648VectorsBothWays)
{
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
    };
    for (auto [plain, encoded] : vectors) {
        SCOPED_TRACE(plain);
        EXPECT_EQ(MBBase64::base64Encoding(bytesOf(plain)), encoded);
        EXPECT_EQ(MBBase64::dataWithBase64EncodedString(encoded), bytesOf(plain));
    }
}

TEST(Base64Test, DecodingSkipsWhiteSpaceAndPaddingAnywhere)
{
    base::Bytes data;
    for (int i = 0; i < 200; ++i)
        data.push_back(static_cast<uint8_t>(i * 7 + 3));
    std::string encoded = MBBase64::base64Encoding(data);
    EXPECT_EQ(encoded.find('\n'), std::string::npos);

    std::string wrapped;
    for (size_t i = 0; i < encoded.size(); i += 76)
        wrapped += encoded.substr(i, 76) + "\r\n";
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString(wrapped), data);
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString(" Zm 9v\tYg\n=="), bytesOf("foob"));
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString("Zm=9vYmFy"), bytesOf("foobar"));
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString("Zm9vYg"), bytesOf("foob"));
}

TEST(Base64Test, MalformedTextGivesNothing)
{
    // One symbol left over cannot make a byte.
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString("Zm9vY"), std::nullopt);
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString("Z==="), std::nullopt);
    // The URL-safe alphabet is not this one.
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString("ab-d"), std::nullopt);
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString("ab_d"), std::nullopt);
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString("Zm9v\xC3\xA9"), std::nullopt);
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString("Zm9v!"), std::nullopt);
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString(std::string_view("Zm\0v", 4)), std::nullopt);
    EXPECT_EQ(MBBase64::dataWithBase64EncodedString(""), base::Bytes());
}

TEST(Base64Test, OneMegabyteMatchesTheCoreutilsTool)
{
    basetest::TempDir dir;
    base::Bytes data(1 << 20);
    std::mt19937 random(20130507);
    for (auto& b : data)
        b = static_cast<uint8_t>(random());
    std::ofstream(dir / "random.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));

    std::string command = "base64 -w0 '" + (dir / "random.bin").string() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string expected;
    char buffer[65536];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        expected.append(buffer, n);
    ASSERT_EQ(pclose(pipe), 0);

    std::string encoded = MBBase64::base64Encoding(data);
    EXPECT_EQ(encoded.size(), (data.size() + 2) / 3 * 4);
    EXPECT_TRUE(encoded == expected);
    EXPECT_TRUE(MBBase64::dataWithBase64EncodedString(encoded) == data);
}
