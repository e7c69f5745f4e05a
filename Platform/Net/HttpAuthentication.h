#pragma once
#include "Platform/Net/HttpHeaders.h"
#include "Platform/Net/HttpMessage.h"
#include "Platform/Net/NtlmMessages.h"

#include <memory>
#include <mutex>
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
// what it takes to answer it: Basic, Digest (MD5 or SHA-256, qop "auth") or NTLMv2. Validity
// is judged against the latest challenge: once Basic or Digest credentials are refused by a
// new challenge of the same space, the object is not valid and says the password was refused.
// An NTLM object stays valid; its user counts the attempts. Safe to share between threads.
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
    int validityError() const;
    bool isValid() const { return validityError() == 0; }

    // Takes the challenge of a later answer to the same request.
    void updateWithResponse(const HttpHeaders& headers, int status);
    // Sets "Authorization" (401) or "Proxy-Authorization" (407) on the message.
    bool applyCredentials(const AuthenticationCredentials& credentials, HttpRequestHead& message);

    // The Digest "response" value, in lower-case hex; nothing for an unknown algorithm.
    static std::optional<std::string> digestResponse(const std::string& algorithm, const std::string& user,
                                                     const std::string& realm, const std::string& password,
                                                     const std::string& method, const std::string& uri,
                                                     const std::string& nonce, const std::string& nc,
                                                     const std::string& cnonce, const std::string& qop);

private:
    bool parseChallenge(const HttpHeaders& headers, int status);
    std::optional<std::string> digestHeader(const AuthenticationCredentials& credentials,
                                            const HttpRequestHead& message);
    std::optional<std::string> ntlmHeader(const AuthenticationCredentials& credentials);

    mutable std::mutex m_mutex;
    std::string m_method;
    std::optional<std::string> m_realm;
    bool m_proxy = false;
    bool m_applied = false;
    int m_error = 0;
    // Digest
    std::string m_algorithm, m_nonce, m_opaque;
    bool m_hasOpaque = false, m_qopAuth = false, m_stale = false;
    unsigned m_nonceCount = 0;
    // NTLM: the server's challenge message, until it is answered.
    std::optional<ntlm::Challenge> m_ntlmChallenge;
};

} // namespace net
