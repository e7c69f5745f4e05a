// Challenge objects: the published worked examples of Digest and NTLMv2, and how each object
// judges itself against the next challenge.
#include "Platform/Net/HttpAuthentication.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>

using namespace net;

namespace {

HttpHeaders challenge(std::initializer_list<std::string> values, const char* name = "WWW-Authenticate")
{
    HttpHeaders h;
    for (const auto& v : values)
        h.add(name, v);
    return h;
}

std::string param(const std::string& header, const std::string& name)
{
    size_t at = header.find(name + "=");
    if (at == std::string::npos)
        return "<none>";
    at += name.size() + 1;
    if (header[at] == '"')
        return header.substr(at + 1, header.find('"', at + 1) - at - 1);
    return header.substr(at, header.find(',', at) - at);
}

std::string hex(const uint8_t* p, size_t n)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i)
        out += {digits[p[i] >> 4], digits[p[i] & 15]};
    return out;
}
template <class C> std::string hex(const C& c) { return hex(c.data(), c.size()); }

ntlm::Bytes b64decode(const std::string& text)
{
    ntlm::Bytes out(text.size());
    int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    out.resize(size_t(n) - (text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0));
    return out;
}

// A security buffer of a message: its bytes.
ntlm::Bytes field(const ntlm::Bytes& message, size_t at)
{
    size_t length = message[at] | message[at + 1] << 8;
    size_t offset = message[at + 4] | message[at + 5] << 8;
    return ntlm::Bytes(message.begin() + long(offset), message.begin() + long(offset + length));
}

const char kNonce[] = "7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v";
const char kOpaque[] = "FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS";
const char kCnonce[] = "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ";

TEST(HttpAuthentication, DigestReproducesTheWorkedExampleAndJudgesTheNextChallenge)
{
    auto md5 = HttpAuthentication::digestResponse("MD5", "Mufasa", "http-auth@example.org", "Circle of Life", "GET",
                                                  "/dir/index.html", kNonce, "00000001", kCnonce, "auth");
    EXPECT_EQ(md5, "8ca523f5e9506fed4657c9700eebdbec");
    auto sha = HttpAuthentication::digestResponse("SHA-256", "Mufasa", "http-auth@example.org", "Circle of Life",
                                                  "GET", "/dir/index.html", kNonce, "00000001", kCnonce, "auth");
    EXPECT_EQ(sha, "753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1");
    EXPECT_FALSE(HttpAuthentication::digestResponse("SHA-512-256", "u", "r", "p", "GET", "/", "n", "1", "c", "auth"));

    // The example's two offers: the stronger algorithm is chosen over Basic and MD5.
    std::string offer = std::string("realm=\"http-auth@example.org\", qop=\"auth, auth-int\", nonce=\"") + kNonce +
                        "\", opaque=\"" + kOpaque + "\"";
    auto headers = challenge({"Basic realm=\"x\"", "Digest " + offer + ", algorithm=MD5",
                              "Digest " + offer + ", algorithm=SHA-256"});
    auto auth = HttpAuthentication::fromResponse(headers, 401);
    ASSERT_TRUE(auth && auth->isValid());
    EXPECT_EQ(auth->method(), "Digest");
    EXPECT_EQ(auth->realm(), "http-auth@example.org");
    auto message = HttpRequestHead::make("GET", *URL::parse("http://example.org/dir/index.html?a=1"));
    ASSERT_TRUE(auth->applyCredentials({"Mufasa", "Circle of Life", {}}, *message));
    std::string sent = *message->headers().first("Authorization");
    EXPECT_EQ(param(sent, "algorithm"), "SHA-256");
    EXPECT_EQ(param(sent, "uri"), "/dir/index.html?a=1");
    EXPECT_EQ(param(sent, "nc"), "00000001");
    EXPECT_EQ(param(sent, "qop"), "auth");
    EXPECT_EQ(param(sent, "opaque"), kOpaque);
    EXPECT_EQ(param(sent, "response"),
              HttpAuthentication::digestResponse("SHA-256", "Mufasa", "http-auth@example.org", "Circle of Life", "GET",
                                                 "/dir/index.html?a=1", kNonce, "00000001", param(sent, "cnonce"),
                                                 "auth"));
    ASSERT_TRUE(auth->applyCredentials({"Mufasa", "Circle of Life", {}}, *message));
    EXPECT_EQ(param(*message->headers().first("Authorization"), "nc"), "00000002");

    // A stale nonce asks again for the same credentials; a fresh challenge refuses them.
    auth->updateWithResponse(challenge({"Digest realm=\"http-auth@example.org\", nonce=\"n2\", qop=\"auth\", stale=true"}), 401);
    EXPECT_TRUE(auth->isValid());
    ASSERT_TRUE(auth->applyCredentials({"Mufasa", "Circle of Life", {}}, *message));
    EXPECT_EQ(param(*message->headers().first("Authorization"), "nc"), "00000001");
    auth->updateWithResponse(challenge({"Digest realm=\"http-auth@example.org\", nonce=\"n3\""}), 401);
    EXPECT_EQ(auth->validityError(), HttpAuthentication::kErrorBadPassword);
    EXPECT_FALSE(auth->applyCredentials({"Mufasa", "Circle of Life", {}}, *message));

    // Offers this side cannot answer.
    EXPECT_FALSE(HttpAuthentication::fromResponse(challenge({"Negotiate"}), 401)->isValid());
    EXPECT_FALSE(HttpAuthentication::fromResponse(challenge({"Digest realm=\"r\", nonce=\"n\", qop=\"auth-int\""}), 401)
                     ->isValid());
    EXPECT_FALSE(HttpAuthentication::fromResponse(challenge({}), 401));
}

// The NTLMv2 example published with the protocol: user "User", domain "Domain", password
// "Password", workstation "COMPUTER", server challenge 0123456789abcdef, client challenge aa..aa,
// time 0, target information naming domain "Domain" and server "Server".
ntlm::Challenge exampleChallenge()
{
    ntlm::Challenge c;
    c.flags = 0xe28a8233;
    c.serverChallenge = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};
    auto avPair = [&](uint16_t id, const std::string& text) {
        auto value = ntlm::utf16le(text);
        c.targetInfo.insert(c.targetInfo.end(), {uint8_t(id), 0, uint8_t(value.size()), 0});
        c.targetInfo.insert(c.targetInfo.end(), value.begin(), value.end());
    };
    avPair(2, "Domain");
    avPair(1, "Server");
    c.targetInfo.insert(c.targetInfo.end(), 4, 0);
    return c;
}

ntlm::AuthenticateInput exampleInput()
{
    ntlm::AuthenticateInput in;
    in.user = "User";
    in.domain = "Domain";
    in.password = "Password";
    in.workstation = "COMPUTER";
    in.clientChallenge.fill(0xaa);
    return in;
}

TEST(HttpAuthentication, NtlmV2AuthenticateMessageMatchesThePublishedExample)
{
    auto key = ntlm::ntowfV2("Password", "User", "Domain");
    ASSERT_TRUE(key) << "MD4 unavailable";
    EXPECT_EQ(hex(*key), "0c868a403bfd7a93a3001ef22ef02e3f");

    auto message = ntlm::authenticateMessage(exampleChallenge(), exampleInput());
    ASSERT_TRUE(message);
    EXPECT_EQ(std::string(message->begin(), message->begin() + 12), std::string("NTLMSSP\0\3\0\0\0", 12));
    EXPECT_EQ(hex(field(*message, 12)), "86c35097ac9cec102554764a57cccc19aaaaaaaaaaaaaaaa");
    auto nt = field(*message, 20);
    ASSERT_GT(nt.size(), 16u);
    EXPECT_EQ(hex(nt.data(), 16), "68cd0ab851e51c96aabc927bebef6a1c");
    // The client's blob: header, zero time, client challenge, then the target information.
    EXPECT_EQ(hex(nt.data() + 16, 28), "0101000000000000" "0000000000000000" "aaaaaaaaaaaaaaaa" "00000000");
    EXPECT_EQ(ntlm::Bytes(nt.begin() + 44, nt.end() - 4), exampleChallenge().targetInfo);
    EXPECT_EQ(field(*message, 28), ntlm::utf16le("Domain"));
    EXPECT_EQ(field(*message, 36), ntlm::utf16le("User"));
    EXPECT_EQ(field(*message, 44), ntlm::utf16le("COMPUTER"));
    EXPECT_EQ(hex(ntlm::computeResponses(exampleChallenge(), exampleInput())->sessionBaseKey),
              "8de40ccadbc14a82f15cb0ad0de95ca3");
}

TEST(HttpAuthentication, NtlmOpensAnswersAndStaysValid)
{
    auto auth = HttpAuthentication::fromResponse(challenge({"Basic realm=\"r\"", "NTLM"}, "Proxy-Authenticate"), 407);
    ASSERT_TRUE(auth && auth->isValid());
    EXPECT_TRUE(auth->requiresAccountDomain());
    EXPECT_FALSE(auth->realm());
    auto message = HttpRequestHead::make("POST", *URL::parse("http://h/x"));
    ASSERT_TRUE(auth->applyCredentials({"User", "Password", "Domain"}, *message));
    auto type1 = b64decode(message->headers().first("Proxy-Authorization")->substr(5));
    ASSERT_EQ(type1.size(), 32u);
    EXPECT_EQ(type1[8], 1);

    // The server's challenge message, as a server would send it.
    auto c = exampleChallenge();
    ntlm::Bytes type2(48, 0);
    std::copy_n("NTLMSSP", 8, type2.begin());
    type2[8] = 2;
    for (int i = 0; i < 4; ++i)
        type2[20 + size_t(i)] = uint8_t(c.flags >> (8 * i));
    std::copy(c.serverChallenge.begin(), c.serverChallenge.end(), type2.begin() + 24);
    type2[40] = type2[42] = uint8_t(c.targetInfo.size());
    type2[44] = 48;
    type2.insert(type2.end(), c.targetInfo.begin(), c.targetInfo.end());
    std::string token(4 * ((type2.size() + 2) / 3) + 1, '\0');
    token.resize(size_t(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(token.data()), type2.data(), int(type2.size()))));
    auth->updateWithResponse(challenge({"NTLM " + token}, "Proxy-Authenticate"), 407);
    ASSERT_TRUE(auth->applyCredentials({"User", "Password", "Domain"}, *message));
    auto type3 = b64decode(message->headers().first("Proxy-Authorization")->substr(5));
    ASSERT_GE(type3.size(), 64u);
    EXPECT_EQ(type3[8], 3);
    EXPECT_EQ(field(type3, 28), ntlm::utf16le("Domain"));
    EXPECT_EQ(field(type3, 20).size(), 16u + 28u + c.targetInfo.size() + 4u);

    // Refused: the object stays valid and opens a new exchange; its user counts attempts.
    auth->updateWithResponse(challenge({"NTLM"}, "Proxy-Authenticate"), 407);
    EXPECT_TRUE(auth->isValid());
    ASSERT_TRUE(auth->applyCredentials({"User", "Password", "Domain"}, *message));
    EXPECT_EQ(b64decode(message->headers().first("Proxy-Authorization")->substr(5)).size(), 32u);
}

} // namespace
