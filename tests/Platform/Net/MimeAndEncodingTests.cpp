#include "Platform/Net/MimeTypes.h"
#include "Platform/Net/StringEncoding.h"

#include <gtest/gtest.h>

using net::MimeTypes;

namespace {

TEST(MimeTypes, ReadsTheTableFormatFirstTypeWinning)
{
    MimeTypes table("# comment line\n"
                    "application/pdf\t\tpdf\n"
                    "image/jpeg jpeg jpg jpe # trailing comment\n"
                    "image/x-other jpg\n"
                    "text/plain\n");
    EXPECT_EQ(table.typeForExtension("pdf"), "application/pdf");
    EXPECT_EQ(table.typeForExtension(".JPG"), "image/jpeg");
    EXPECT_EQ(table.typeForExtension("jpe"), "image/jpeg");
    EXPECT_EQ(table.typeForExtension("comment"), MimeTypes::kFallback);
    EXPECT_EQ(table.typeForExtension(""), MimeTypes::kFallback);
    EXPECT_EQ(table.typeForPath("/a.b/file.PDF"), "application/pdf");
    EXPECT_EQ(table.typeForPath("/a.pdf/README"), MimeTypes::kFallback);
}

TEST(MimeTypes, TheSystemTableKnowsTheCommonTypes)
{
    const auto& system = MimeTypes::system();
    EXPECT_EQ(system.typeForPath("doc.pdf"), "application/pdf");
    EXPECT_EQ(system.typeForPath("photo.png"), "image/png");
    EXPECT_EQ(system.typeForPath("page.html"), "text/html");
    EXPECT_EQ(system.typeForPath("archive.zip"), "application/zip");
    EXPECT_EQ(system.typeForPath("blob.nosuchextension"), "application/octet-stream");
}

TEST(StringEncoding, NamesMapToTheApplicationsNumbersAndBack)
{
    EXPECT_EQ(net::encodingForCharset("UTF-8"), 4u);
    EXPECT_EQ(net::encodingForCharset("\"utf8\""), 4u);
    EXPECT_EQ(net::encodingForCharset("us-ascii"), 1u);
    EXPECT_EQ(net::encodingForCharset("ISO-8859-1"), 5u);
    EXPECT_EQ(net::encodingForCharset("latin1"), 5u);
    EXPECT_EQ(net::encodingForCharset("GBK"), 0x80000631u);
    EXPECT_FALSE(net::encodingForCharset("no-such-charset"));
    EXPECT_FALSE(net::encodingForCharset(""));
    for (auto n : {1u, 4u, 5u, 10u, 12u, 0x80000632u, 0x80000A03u})
        EXPECT_EQ(net::encodingForCharset(*net::charsetForEncoding(n)), n) << n;
    EXPECT_FALSE(net::charsetForEncoding(0));
}

TEST(StringEncoding, DecodesToUTF8AndRefusesInvalidBytes)
{
    EXPECT_EQ(net::decodeToUTF8("caf\xe9", net::encoding::ISOLatin1), "caf\xc3\xa9");
    EXPECT_EQ(net::decodeToUTF8("\x80", net::encoding::WindowsCP1252), "\xe2\x82\xac");
    EXPECT_EQ(net::decodeToUTF8("\xd6\xd0\xce\xc4", *net::encodingForCharset("gb2312")), "\xe4\xb8\xad\xe6\x96\x87");
    EXPECT_EQ(net::encodeFromUTF8("caf\xc3\xa9", net::encoding::ISOLatin1), "caf\xe9");
    EXPECT_EQ(net::encodeFromUTF8("\xe4\xb8\xad", net::encoding::ISOLatin1), std::nullopt);
    EXPECT_EQ(net::encodeFromUTF8("a b", net::encoding::UTF8), "a b");
    EXPECT_EQ(net::decodeToUTF8(std::string_view("\xff\xfe" "A\0", 4), net::encoding::UTF16), "A");
    EXPECT_EQ(net::decodeToUTF8("", net::encoding::UTF8), "");
    std::string big(100000, 'x');
    EXPECT_EQ(net::decodeToUTF8(big, net::encoding::ASCII), big);

    EXPECT_FALSE(net::decodeToUTF8("caf\xe9", net::encoding::UTF8));
    EXPECT_FALSE(net::decodeToUTF8("\xc3", net::encoding::UTF8)); // cut inside a character
    EXPECT_FALSE(net::decodeToUTF8("\x80", net::encoding::ASCII));
    EXPECT_FALSE(net::decodeToUTF8("abc", 0x12345));
}

} // namespace
