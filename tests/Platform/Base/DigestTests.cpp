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
