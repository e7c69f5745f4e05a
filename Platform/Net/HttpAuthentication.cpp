#include "Platform/Net/HttpAuthentication.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cctype>
#include <cstdio>
#include <vector>

namespace net {

namespace {

std::string base64(const uint8_t* data, size_t size)
{
    std::string out(4 * ((size + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data, int(size));
    out.resize(size_t(n));
    return out;
}

std::string base64(const std::string& text)
{
    return base64(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::optional<ntlm::Bytes> unbase64(const std::string& text)
{
    if (text.empty() || text.size() % 4 != 0)
        return std::nullopt;
    ntlm::Bytes out(text.size() / 4 * 3);
    int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    if (n < 0)
        return std::nullopt;
    size_t padding = text.size() - text.find_last_not_of('=') - 1;
    out.resize(size_t(n) - std::min<size_t>(padding, 2));
    return out;
}

std::string trim(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
}

// The value of `name="..."` (or unquoted) in a challenge's parameters.
std::optional<std::string> parameter(const std::string& params, const std::string& name)
{
    size_t at = 0;
    while (at < params.size()) {
        while (at < params.size() && (params[at] == ' ' || params[at] == ','))
            ++at;
        size_t eq = params.find('=', at);
        if (eq == std::string::npos)
            return std::nullopt;
        std::string key = trim(params.substr(at, eq - at));
        size_t v = eq + 1;
        while (v < params.size() && params[v] == ' ')
            ++v;
        std::string value;
        if (v < params.size() && params[v] == '"') {
            ++v;
            while (v < params.size() && params[v] != '"') {
                if (params[v] == '\\' && v + 1 < params.size())
                    ++v;
                value += params[v++];
            }
            ++v;
        } else {
            size_t end = params.find(',', v);
            value = trim(params.substr(v, end == std::string::npos ? std::string::npos : end - v));
            v = end == std::string::npos ? params.size() : end;
        }
        if (HttpHeaders::equalsIgnoringCase(key, name))
            return value;
        at = v;
    }
    return std::nullopt;
}

std::string quotedText(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

const EVP_MD* digestFor(const std::string& algorithm)
{
    std::string base = algorithm;
    if (base.size() > 5 && HttpHeaders::equalsIgnoringCase(base.substr(base.size() - 5), "-sess"))
        base.resize(base.size() - 5);
    if (HttpHeaders::equalsIgnoringCase(base, "MD5"))
        return EVP_md5();
    if (HttpHeaders::equalsIgnoringCase(base, "SHA-256"))
        return EVP_sha256();
    return nullptr;
}

std::string hexDigest(const EVP_MD* md, const std::string& text)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_Digest(text.data(), text.size(), out, &length, md, nullptr);
    std::string hex;
    char byte[3];
    for (unsigned i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", out[i]);
        hex += byte;
    }
    return hex;
}

struct Offer {
    std::string scheme;
    std::string params;
    int rank = 0;
};

// Stronger schemes first; what this side cannot answer ranks 0.
Offer rankOffer(const std::string& challenge)
{
    Offer offer;
    std::string text = trim(challenge);
    size_t space = text.find(' ');
    offer.scheme = text.substr(0, space);
    offer.params = space == std::string::npos ? std::string() : trim(text.substr(space + 1));
    if (HttpHeaders::equalsIgnoringCase(offer.scheme, "Basic")) {
        offer.scheme = "Basic";
        offer.rank = 1;
    } else if (HttpHeaders::equalsIgnoringCase(offer.scheme, "NTLM")) {
        offer.scheme = "NTLM";
        offer.rank = 2;
    } else if (HttpHeaders::equalsIgnoringCase(offer.scheme, "Digest")) {
        offer.scheme = "Digest";
        std::string algorithm = parameter(offer.params, "algorithm").value_or("MD5");
        auto qop = parameter(offer.params, "qop");
        bool qopUsable = !qop;
        for (size_t at = 0; qop && at <= qop->size();) {
            size_t comma = qop->find(',', at);
            if (trim(qop->substr(at, comma == std::string::npos ? std::string::npos : comma - at)) == "auth")
                qopUsable = true;
            at = comma == std::string::npos ? qop->size() + 1 : comma + 1;
        }
        if (digestFor(algorithm) && qopUsable && parameter(offer.params, "nonce"))
            offer.rank = digestFor(algorithm) == EVP_sha256() ? 4 : 3;
    }
    return offer;
}

} // namespace

std::shared_ptr<HttpAuthentication> HttpAuthentication::fromResponse(const HttpHeaders& headers, int status)
{
    auto authentication = std::make_shared<HttpAuthentication>();
    if (!authentication->parseChallenge(headers, status))
        return nullptr;
    return authentication;
}

int HttpAuthentication::validityError() const
{
    std::lock_guard lock(m_mutex);
    return m_error;
}

bool HttpAuthentication::parseChallenge(const HttpHeaders& headers, int status)
{
    m_proxy = status == 407;
    auto challenges = headers.all(m_proxy ? "Proxy-Authenticate" : "WWW-Authenticate");
    if (challenges.empty())
        return false;
    Offer chosen = rankOffer(challenges.front());
    for (const auto& c : challenges)
        if (Offer offer = rankOffer(c); offer.rank > chosen.rank)
            chosen = offer;
    m_method = chosen.scheme;
    m_error = chosen.rank > 0 ? 0 : kErrorUnsupportedScheme;
    m_realm.reset();
    m_ntlmChallenge.reset();
    if (m_method == "NTLM") {
        // A bare "NTLM" opens the exchange; a token is the server's challenge message.
        if (!chosen.params.empty())
            if (auto bytes = unbase64(chosen.params))
                m_ntlmChallenge = ntlm::parseChallengeMessage(*bytes);
        return true;
    }
    m_realm = parameter(chosen.params, "realm");
    if (m_method == "Digest") {
        std::string nonce = parameter(chosen.params, "nonce").value_or("");
        if (nonce != m_nonce)
            m_nonceCount = 0;
        m_nonce = nonce;
        m_algorithm = parameter(chosen.params, "algorithm").value_or("MD5");
        auto opaque = parameter(chosen.params, "opaque");
        m_hasOpaque = opaque.has_value();
        m_opaque = opaque.value_or("");
        m_qopAuth = parameter(chosen.params, "qop").has_value();
        auto stale = parameter(chosen.params, "stale");
        m_stale = stale && HttpHeaders::equalsIgnoringCase(*stale, "true");
    }
    return true;
}

void HttpAuthentication::updateWithResponse(const HttpHeaders& headers, int status)
{
    std::lock_guard lock(m_mutex);
    auto previousRealm = m_realm;
    std::string previousMethod = m_method;
    bool applied = m_applied;
    if (!parseChallenge(headers, status))
        return;
    // A new challenge of the same space after credentials were sent refuses them; a stale
    // Digest nonce only asks for the same credentials again.
    if (m_error == 0 && applied && m_method != "NTLM" && m_method == previousMethod && m_realm == previousRealm &&
        !(m_method == "Digest" && m_stale))
        m_error = kErrorBadPassword;
    m_applied = false;
}

bool HttpAuthentication::applyCredentials(const AuthenticationCredentials& credentials, HttpRequestHead& message)
{
    std::lock_guard lock(m_mutex);
    if (m_error != 0)
        return false;
    std::optional<std::string> value;
    if (m_method == "Basic")
        value = "Basic " + base64(credentials.username + ":" + credentials.password);
    else if (m_method == "Digest")
        value = digestHeader(credentials, message);
    else if (m_method == "NTLM")
        value = ntlmHeader(credentials);
    if (!value || !message.setHeader(m_proxy ? "Proxy-Authorization" : "Authorization", *value))
        return false;
    m_applied = true;
    return true;
}

std::optional<std::string> HttpAuthentication::digestResponse(const std::string& algorithm, const std::string& user,
                                                              const std::string& realm, const std::string& password,
                                                              const std::string& method, const std::string& uri,
                                                              const std::string& nonce, const std::string& nc,
                                                              const std::string& cnonce, const std::string& qop)
{
    const EVP_MD* md = digestFor(algorithm);
    if (!md)
        return std::nullopt;
    std::string ha1 = hexDigest(md, user + ":" + realm + ":" + password);
    if (algorithm.size() > 5 && HttpHeaders::equalsIgnoringCase(algorithm.substr(algorithm.size() - 5), "-sess"))
        ha1 = hexDigest(md, ha1 + ":" + nonce + ":" + cnonce);
    std::string ha2 = hexDigest(md, method + ":" + uri);
    if (qop.empty())
        return hexDigest(md, ha1 + ":" + nonce + ":" + ha2);
    return hexDigest(md, ha1 + ":" + nonce + ":" + nc + ":" + cnonce + ":" + qop + ":" + ha2);
}

std::optional<std::string> HttpAuthentication::digestHeader(const AuthenticationCredentials& credentials,
                                                           const HttpRequestHead& message)
{
    uint8_t random[16];
    if (RAND_bytes(random, sizeof random) != 1)
        return std::nullopt;
    std::string cnonce = base64(random, sizeof random);
    char nc[9];
    std::snprintf(nc, sizeof nc, "%08x", ++m_nonceCount);
    std::string uri = message.url().requestTarget();
    std::string realm = m_realm.value_or("");
    std::string qop = m_qopAuth ? "auth" : "";
    auto response = digestResponse(m_algorithm, credentials.username, realm, credentials.password, message.method(),
                                   uri, m_nonce, nc, cnonce, qop);
    if (!response)
        return std::nullopt;
    std::string value = "Digest username=" + quotedText(credentials.username) + ", realm=" + quotedText(realm) +
                        ", uri=" + quotedText(uri) + ", algorithm=" + m_algorithm + ", nonce=" + quotedText(m_nonce);
    if (m_qopAuth)
        value += ", nc=" + std::string(nc) + ", cnonce=" + quotedText(cnonce) + ", qop=auth";
    value += ", response=" + quotedText(*response);
    if (m_hasOpaque)
        value += ", opaque=" + quotedText(m_opaque);
    return value;
}

std::optional<std::string> HttpAuthentication::ntlmHeader(const AuthenticationCredentials& credentials)
{
    if (!m_ntlmChallenge)
        return "NTLM " + base64(ntlm::negotiateMessage().data(), ntlm::negotiateMessage().size());
    ntlm::AuthenticateInput input;
    input.user = credentials.username;
    input.domain = credentials.domain;
    input.password = credentials.password;
    input.timestamp = ntlm::currentTimestamp();
    if (RAND_bytes(input.clientChallenge.data(), int(input.clientChallenge.size())) != 1)
        return std::nullopt;
    auto message = ntlm::authenticateMessage(*m_ntlmChallenge, input);
    // A challenge message is answered once; a later application opens a new exchange.
    m_ntlmChallenge.reset();
    if (!message)
        return std::nullopt;
    return "NTLM " + base64(message->data(), message->size());
}

} // namespace net
