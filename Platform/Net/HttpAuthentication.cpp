#include "Platform/Net/HttpAuthentication.h"

#include <openssl/evp.h>

#include <cctype>

namespace net {

namespace {

std::string base64(const std::string& text)
{
    std::string out(4 * ((text.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                            reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    out.resize(size_t(n));
    return out;
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
        std::string key = params.substr(at, eq - at);
        while (!key.empty() && key.back() == ' ')
            key.pop_back();
        size_t v = eq + 1;
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
            value = params.substr(v, end == std::string::npos ? std::string::npos : end - v);
            v = end == std::string::npos ? params.size() : end;
        }
        if (HttpHeaders::equalsIgnoringCase(key, name))
            return value;
        at = v;
    }
    return std::nullopt;
}

} // namespace

std::shared_ptr<HttpAuthentication> HttpAuthentication::fromResponse(const HttpHeaders& headers, int status)
{
    auto authentication = std::make_shared<HttpAuthentication>();
    if (!authentication->parseChallenge(headers, status))
        return nullptr;
    return authentication;
}

bool HttpAuthentication::parseChallenge(const HttpHeaders& headers, int status)
{
    m_proxy = status == 407;
    auto challenges = headers.all(m_proxy ? "Proxy-Authenticate" : "WWW-Authenticate");
    if (challenges.empty())
        return false;
    // The first scheme this side speaks, else the first offered.
    std::string chosen = challenges.front();
    for (const auto& c : challenges)
        if (HttpHeaders::equalsIgnoringCase(c.substr(0, c.find(' ')), "Basic")) {
            chosen = c;
            break;
        }
    size_t space = chosen.find(' ');
    std::string scheme = chosen.substr(0, space);
    std::string params = space == std::string::npos ? std::string() : chosen.substr(space + 1);
    m_method = HttpHeaders::equalsIgnoringCase(scheme, "Basic") ? "Basic" : scheme;
    m_realm = parameter(params, "realm");
    m_error = m_method == "Basic" ? 0 : kErrorUnsupportedScheme;
    return true;
}

void HttpAuthentication::updateWithResponse(const HttpHeaders& headers, int status)
{
    auto previousRealm = m_realm;
    bool applied = m_applied;
    if (!parseChallenge(headers, status))
        return;
    // A new challenge of the same space after credentials were sent refuses them.
    if (m_error == 0 && applied && m_realm == previousRealm)
        m_error = kErrorBadPassword;
    m_applied = false;
}

bool HttpAuthentication::applyCredentials(const AuthenticationCredentials& credentials, HttpRequestHead& message)
{
    if (m_error != 0)
        return false;
    std::string value = "Basic " + base64(credentials.username + ":" + credentials.password);
    if (!message.setHeader(m_proxy ? "Proxy-Authorization" : "Authorization", value))
        return false;
    m_applied = true;
    return true;
}

} // namespace net
