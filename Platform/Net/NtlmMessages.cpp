#include "Platform/Net/NtlmMessages.h"

#include <openssl/evp.h>
#include <openssl/provider.h>

#include <chrono>
#include <cstring>

namespace net::ntlm {

namespace {

const char kSignature[] = "NTLMSSP";

void put16(Bytes& out, size_t at, uint16_t v)
{
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
}

void put32(Bytes& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = uint8_t(v >> (8 * i));
}

uint32_t get32(const Bytes& in, size_t at)
{
    return uint32_t(in[at]) | uint32_t(in[at + 1]) << 8 | uint32_t(in[at + 2]) << 16 | uint32_t(in[at + 3]) << 24;
}

uint16_t get16(const Bytes& in, size_t at) { return uint16_t(in[at] | in[at + 1] << 8); }

Bytes header(uint32_t type, size_t size)
{
    Bytes out(size, 0);
    std::memcpy(out.data(), kSignature, sizeof kSignature);
    put32(out, 8, type);
    return out;
}

// MD4 lives in the legacy provider; a private library context keeps the default one as it is.
EVP_MD* md4()
{
    static EVP_MD* md = [] {
        OSSL_LIB_CTX* context = OSSL_LIB_CTX_new();
        if (!context || !OSSL_PROVIDER_load(context, "legacy") || !OSSL_PROVIDER_load(context, "default"))
            return static_cast<EVP_MD*>(nullptr);
        return EVP_MD_fetch(context, "MD4", nullptr);
    }();
    return md;
}

std::optional<std::array<uint8_t, 16>> hmacMd5(const uint8_t* key, size_t keyLength, const Bytes& data)
{
    std::array<uint8_t, 16> out{};
    size_t length = 0;
    if (!EVP_Q_mac(nullptr, "HMAC", nullptr, "MD5", nullptr, key, keyLength, data.data(), data.size(), out.data(),
                   out.size(), &length) ||
        length != out.size())
        return std::nullopt;
    return out;
}

Bytes concat(std::initializer_list<const Bytes*> parts)
{
    Bytes out;
    for (const Bytes* p : parts)
        out.insert(out.end(), p->begin(), p->end());
    return out;
}

} // namespace

Bytes utf16le(const std::string& utf8)
{
    Bytes out;
    for (size_t i = 0; i < utf8.size();) {
        uint32_t c = uint8_t(utf8[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra)
            c &= 0x3Fu >> extra;
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            c = c << 6 | (uint8_t(utf8[i]) & 0x3F);
        if (c >= 0x10000) {
            c -= 0x10000;
            uint16_t high = uint16_t(0xD800 + (c >> 10)), low = uint16_t(0xDC00 + (c & 0x3FF));
            out.insert(out.end(), {uint8_t(high), uint8_t(high >> 8), uint8_t(low), uint8_t(low >> 8)});
        } else {
            out.insert(out.end(), {uint8_t(c), uint8_t(c >> 8)});
        }
    }
    return out;
}

uint64_t currentTimestamp()
{
    using namespace std::chrono;
    // 1601 to 1970, in tenths of microseconds.
    constexpr uint64_t kEpochOffset = 116444736000000000ull;
    auto since = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return kEpochOffset + uint64_t(since) * 10;
}

Bytes negotiateMessage()
{
    Bytes out = header(1, 32);
    put32(out, 12, kNegotiateFlags);
    return out;
}

std::optional<Challenge> parseChallengeMessage(const Bytes& message)
{
    if (message.size() < 32 || std::memcmp(message.data(), kSignature, sizeof kSignature) != 0 ||
        get32(message, 8) != 2)
        return std::nullopt;
    Challenge challenge;
    challenge.flags = get32(message, 20);
    std::memcpy(challenge.serverChallenge.data(), message.data() + 24, 8);
    if (message.size() >= 48) {
        size_t length = get16(message, 40), offset = get32(message, 44);
        if (offset > message.size() || length > message.size() - offset)
            return std::nullopt;
        challenge.targetInfo.assign(message.begin() + long(offset), message.begin() + long(offset + length));
    }
    return challenge;
}

std::optional<std::array<uint8_t, 16>> ntHash(const std::string& password)
{
    EVP_MD* md = md4();
    if (!md)
        return std::nullopt;
    Bytes text = utf16le(password);
    std::array<uint8_t, 16> out{};
    unsigned length = 0;
    if (!EVP_Digest(text.data(), text.size(), out.data(), &length, md, nullptr) || length != out.size())
        return std::nullopt;
    return out;
}

std::optional<std::array<uint8_t, 16>> ntowfV2(const std::string& password, const std::string& user,
                                               const std::string& domain)
{
    auto hash = ntHash(password);
    if (!hash)
        return std::nullopt;
    // Only the user name is upper-cased; ASCII suffices for the names met in practice.
    std::string upper = user;
    for (auto& c : upper)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    Bytes identity = utf16le(upper + domain);
    return hmacMd5(hash->data(), hash->size(), identity);
}

std::optional<Responses> computeResponses(const Challenge& challenge, const AuthenticateInput& input)
{
    auto key = ntowfV2(input.password, input.user, input.domain);
    if (!key)
        return std::nullopt;
    Bytes server(challenge.serverChallenge.begin(), challenge.serverChallenge.end());
    Bytes client(input.clientChallenge.begin(), input.clientChallenge.end());

    Bytes blob(28, 0);
    blob[0] = 1;
    blob[1] = 1;
    for (int i = 0; i < 8; ++i)
        blob[8 + size_t(i)] = uint8_t(input.timestamp >> (8 * i));
    std::memcpy(blob.data() + 16, client.data(), 8);
    blob.insert(blob.end(), challenge.targetInfo.begin(), challenge.targetInfo.end());
    blob.insert(blob.end(), 4, 0);

    auto proof = hmacMd5(key->data(), key->size(), concat({&server, &blob}));
    auto lm = hmacMd5(key->data(), key->size(), concat({&server, &client}));
    if (!proof || !lm)
        return std::nullopt;
    Bytes proofBytes(proof->begin(), proof->end());
    auto sessionKey = hmacMd5(key->data(), key->size(), proofBytes);
    if (!sessionKey)
        return std::nullopt;
    Responses r;
    r.ntResponse = concat({&proofBytes, &blob});
    r.lmResponse.assign(lm->begin(), lm->end());
    r.lmResponse.insert(r.lmResponse.end(), client.begin(), client.end());
    r.sessionBaseKey = *sessionKey;
    return r;
}

std::optional<Bytes> authenticateMessage(const Challenge& challenge, const AuthenticateInput& input)
{
    auto responses = computeResponses(challenge, input);
    if (!responses)
        return std::nullopt;
    Bytes domain = utf16le(input.domain), user = utf16le(input.user), workstation = utf16le(input.workstation);
    Bytes out = header(3, 64);
    // Security buffers in header order: LM, NT, domain, user, workstation, session key.
    auto append = [&](size_t field, const Bytes& data) {
        put16(out, field, uint16_t(data.size()));
        put16(out, field + 2, uint16_t(data.size()));
        put32(out, field + 4, uint32_t(out.size()));
        out.insert(out.end(), data.begin(), data.end());
    };
    append(28, domain);
    append(36, user);
    append(44, workstation);
    append(12, responses->lmResponse);
    append(20, responses->ntResponse);
    append(52, {});
    put32(out, 60, (challenge.flags & kNegotiateFlags) | 0x1);
    return out;
}

} // namespace net::ntlm
