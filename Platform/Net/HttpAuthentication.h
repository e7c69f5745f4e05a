#pragma once
#include "Platform/Net/HttpHeaders.h"
#include "Platform/Net/HttpMessage.h"

#include <memory>
#include <optional>
#include <string>

namespace net {

// Credentials a user gives: the domain matters for schemes that need an account domain.
struct AuthenticationCredentials {
    std::string username;
    std::string password;
    std::string domain;
};

// The challenge of a 401 ("WWW-Authenticate") or a 407 ("Proxy-Authenticate") answer, and
// what it takes to answer it. Validity is judged against the latest challenge: once applied
// credentials are refused by a new challenge of the same space, the object is not valid and
// says whether the user name or the password was refused.
class HttpAuthentication {
public:
    static constexpr int kErrorBadUserName = -1001;
    static constexpr int kErrorBadPassword = -1002;
    static constexpr int kErrorUnsupportedScheme = -1000;

    // Nothing when the answer carries no challenge.
    static std::shared_ptr<HttpAuthentication> fromResponse(const HttpHeaders& headers, int status);

    const std::string& method() const { return m_method; }
    const std::optional<std::string>& realm() const { return m_realm; }
    bool requiresUserNameAndPassword() const { return true; }
    bool requiresAccountDomain() const { return m_method == "NTLM"; }
    // 0 when valid, else one of the errors above.
    int validityError() const { return m_error; }
    bool isValid() const { return m_error == 0; }

    // Takes the challenge of a later answer to the same request.
    void updateWithResponse(const HttpHeaders& headers, int status);
    // Sets "Authorization" (401) or "Proxy-Authorization" (407) on the message.
    bool applyCredentials(const AuthenticationCredentials& credentials, HttpRequestHead& message);

private:
    bool parseChallenge(const HttpHeaders& headers, int status);

    std::string m_method;
    std::optional<std::string> m_realm;
    bool m_proxy = false;
    bool m_applied = false;
    int m_error = 0;
};

} // namespace net
