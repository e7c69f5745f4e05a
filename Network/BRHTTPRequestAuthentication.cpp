// Answering server and proxy challenges: credentials from the request, the session stores or
// the saved ones, else from the delegate, the queue, the blocks or the dialog.
#include "Network/BRAuthenticationDialog.h"
#include "Network/BRHTTPRequestShared.h"

namespace {

const char kApplyFailed[] = "Failed to apply credentials to request";
const char kApplyProxyFailed[] = "Failed to apply proxy credentials to request";
const char kNoAuthenticationObject[] = "Failed to get authentication object from response headers";

// "DOMAIN\user" names its account domain when none is set.
void splitAccountDomain(BRCredentials& credentials, const std::string& domain, const std::string& fallback)
{
    if (!domain.empty()) {
        credentials.domain = domain;
        return;
    }
    size_t slash = credentials.username.find('\\');
    if (slash != std::string::npos && credentials.username.find('\\', slash + 1) == std::string::npos) {
        credentials.domain = credentials.username.substr(0, slash);
        credentials.username = credentials.username.substr(slash + 1);
        return;
    }
    credentials.domain = fallback;
}

} // namespace

void BRHTTPRequest::attemptToApplyCredentialsAndResume()
{
    if (m_authenticationNeeded == 2) {
        attemptToApplyProxyCredentialsAndResume();
        return;
    }
    handleChallenge(false);
}

void BRHTTPRequest::attemptToApplyProxyCredentialsAndResume() { handleChallenge(true); }

void BRHTTPRequest::handleChallenge(bool proxy)
{
    auto me = self();
    std::lock_guard lock(m_cancelledLock);
    if (m_error || m_cancelled)
        return;
    auto& shared = Shared::get();
    auto& authentication = proxy ? m_proxyAuthentication : m_requestAuthentication;
    auto& credentials = proxy ? m_proxyCredentials : m_requestCredentials;
    auto headers = responseHeaders();
    int status = m_responseStatusCode;

    if (!authentication) {
        authentication = headers ? net::HttpAuthentication::fromResponse(*headers, status) : nullptr;
        if (!authentication) {
            cancelLoad();
            failWithError(brRequestError(BRInternalErrorWhileApplyingCredentialsType, kNoAuthenticationObject));
            return;
        }
        (proxy ? m_proxyAuthenticationScheme : m_authenticationScheme) = authentication->method();
    } else if (headers && m_readStream) {
        // Judged against this answer's challenge.
        authentication->updateWithResponse(*headers, status);
    }
    auto& realm = proxy ? m_proxyAuthenticationRealm : m_authenticationRealm;
    realm.reset();
    if (!authentication->requiresAccountDomain())
        realm = authentication->realm();

    auto sessionRecord = [&] {
        return proxy ? findSessionProxyAuthenticationCredentials() : findSessionAuthenticationCredentials();
    };
    auto apply = [&](const BRCredentialsPtr& c) { return proxy ? applyProxyCredentials(c) : applyCredentials(c); };
    auto willAsk = [&] {
        return proxy ? (willAskDelegateForProxyCredentials() || showProxyAuthenticationDialog())
                     : (willAskDelegateForCredentials() || showAuthenticationDialog());
    };

    if (!authentication->isValid()) {
        int reason = authentication->validityError();
        authentication.reset();
        if (reason == net::HttpAuthentication::kErrorBadUserName ||
            reason == net::HttpAuthentication::kErrorBadPassword) {
            std::unique_lock ask(shared.delegateAuthenticationLock);
            if (proxy)
                removeProxyAuthenticationCredentialsFromSessionStore(credentials);
            else
                removeAuthenticationCredentialsFromSessionStore(credentials);
            credentials.reset();
            if (m_error || m_cancelled)
                return;
            // Another record may answer the refreshed challenge.
            if (headers)
                authentication = net::HttpAuthentication::fromResponse(*headers, status);
            if (m_useSessionPersistence && authentication) {
                if (auto record = sessionRecord(); record && apply(record->credentials)) {
                    ask.unlock();
                    cancelLoad();
                    startRequest();
                    return;
                }
            }
            m_lastActivityTime = 0;
            if (authentication && willAsk()) {
                cancelLoad();
                return;
            }
        }
        cancelLoad();
        failWithError(shared.authenticationError);
        return;
    }

    cancelLoad();
    if (credentials) {
        int& retries = proxy ? m_proxyAuthenticationRetryCount : m_authenticationRetryCount;
        bool ntlm = authentication->method() == "NTLM";
        if ((!ntlm || retries < 2) && apply(credentials)) {
            startRequest();
        } else if (ntlm && retries == 2) {
            failWithError(shared.authenticationError);
        } else {
            failWithError(brRequestError(BRInternalErrorWhileApplyingCredentialsType,
                                         proxy ? kApplyProxyFailed : kApplyFailed));
        }
        return;
    }
    if (!authentication->requiresUserNameAndPassword()) {
        // Nothing more would happen: the request must not wait for ever.
        failWithError(shared.authenticationError);
        return;
    }
    std::unique_lock ask(shared.delegateAuthenticationLock);
    if (m_error || m_cancelled)
        return;
    // A request that waited for the lock finds what the one before it applied.
    if (m_useSessionPersistence) {
        if (auto record = sessionRecord(); record && apply(record->credentials)) {
            ask.unlock();
            startRequest();
            return;
        }
    }
    if (auto found = proxy ? findProxyCredentials() : findCredentials()) {
        bool applied = apply(found);
        ask.unlock();
        if (applied)
            startRequest();
        else
            failWithError(brRequestError(BRInternalErrorWhileApplyingCredentialsType,
                                         proxy ? kApplyProxyFailed : kApplyFailed));
        return;
    }
    if (willAsk())
        return;
    ask.unlock();
    failWithError(shared.authenticationError);
}

// ---- Applying and finding

bool BRHTTPRequest::applyCredentials(const BRCredentialsPtr& credentials)
{
    ++m_authenticationRetryCount;
    if (!credentials || !m_requestAuthentication || !m_request)
        return false;
    if (!m_requestAuthentication->applyCredentials({credentials->username, credentials->password, credentials->domain},
                                                   *m_request)) {
        removeAuthenticationCredentialsFromSessionStore(credentials);
        return false;
    }
    if (m_useKeychainPersistence)
        saveCredentialsToKeychain(*credentials);
    if (m_useSessionPersistence) {
        BRCredentialRecord record;
        record.credentials = credentials;
        record.authentication = m_requestAuthentication;
        record.url = m_url;
        record.authenticationScheme = m_authenticationScheme;
        record.authenticationRealm = m_authenticationRealm;
        storeAuthenticationCredentialsInSessionStore(std::move(record));
    }
    m_requestCredentials = credentials;
    return true;
}

bool BRHTTPRequest::applyProxyCredentials(const BRCredentialsPtr& credentials)
{
    ++m_proxyAuthenticationRetryCount;
    if (!credentials || !m_proxyAuthentication || !m_request)
        return false;
    if (!m_proxyAuthentication->applyCredentials({credentials->username, credentials->password, credentials->domain},
                                                 *m_request)) {
        removeProxyAuthenticationCredentialsFromSessionStore(credentials);
        return false;
    }
    if (m_useKeychainPersistence)
        saveProxyCredentialsToKeychain(*credentials);
    if (m_useSessionPersistence) {
        BRCredentialRecord record;
        record.credentials = credentials;
        record.authentication = m_proxyAuthentication;
        record.host = m_proxyHost;
        record.port = m_proxyPort;
        record.authenticationScheme = m_proxyAuthenticationScheme;
        storeProxyAuthenticationCredentialsInSessionStore(std::move(record));
    }
    m_proxyCredentials = credentials;
    return true;
}

bool BRHTTPRequest::inConnectionHandshake() const
{
    if ((m_requestAuthentication && m_requestAuthentication->method() == "NTLM") ||
        (m_proxyAuthentication && m_proxyAuthentication->method() == "NTLM"))
        return true;
    // An exchange opened ahead of any challenge, from a session record.
    if (!m_request)
        return false;
    for (const char* name : {"Authorization", "Proxy-Authorization"})
        if (auto value = m_request->headers().first(name); value && value->starts_with("NTLM "))
            return true;
    return false;
}

BRCredentialsPtr BRHTTPRequest::findCredentials()
{
    std::optional<std::string> user, password;
    auto mainRequest = m_mainRequest.lock();
    if (m_url && m_url->user() && m_url->password()) {
        user = m_url->user();
        password = m_url->password();
    } else if (mainRequest && !mainRequest->m_username.empty() && !mainRequest->m_password.empty()) {
        user = mainRequest->m_username;
        password = mainRequest->m_password;
    } else if ((!m_username.empty() && !m_password.empty()) || m_credentialsSupplied) {
        user = m_username;
        password = m_password;
    } else if (m_useKeychainPersistence && m_url) {
        if (auto saved = savedCredentialsForHostPortProtocolRealm(m_url->host(), m_url->effectivePort(),
                                                                  m_url->scheme(), m_authenticationRealm.value_or(""))) {
            user = saved->user;
            password = saved->password;
        }
    }
    m_credentialsSupplied = false;
    if (!user || !password)
        return nullptr;
    BRCredentials credentials{*user, *password, {}};
    if (m_requestAuthentication && m_requestAuthentication->requiresAccountDomain())
        splitAccountDomain(credentials, m_domain, "");
    return std::make_shared<const BRCredentials>(std::move(credentials));
}

BRCredentialsPtr BRHTTPRequest::findProxyCredentials()
{
    std::optional<std::string> user, password;
    auto mainRequest = m_mainRequest.lock();
    if (mainRequest && !mainRequest->m_proxyUsername.empty() && !mainRequest->m_proxyPassword.empty()) {
        user = mainRequest->m_proxyUsername;
        password = mainRequest->m_proxyPassword;
    } else if ((!m_proxyUsername.empty() && !m_proxyPassword.empty()) || m_credentialsSupplied) {
        user = m_proxyUsername;
        password = m_proxyPassword;
    } else if (m_proxyAuthenticationScheme == "NTLM" && !m_username.empty() && !m_password.empty()) {
        user = m_username;
        password = m_password;
    } else if (auto saved = savedCredentialsForProxyPortProtocolRealm(m_proxyHost, m_proxyPort,
                                                                      m_url ? m_url->scheme() : std::string(),
                                                                      m_proxyAuthenticationRealm.value_or(""))) {
        user = saved->user;
        password = saved->password;
    }
    m_credentialsSupplied = false;
    if (!user || !password)
        return nullptr;
    BRCredentials credentials{*user, *password, {}};
    if (m_proxyAuthentication && m_proxyAuthentication->requiresAccountDomain())
        splitAccountDomain(credentials, m_proxyDomain, m_domain);
    return std::make_shared<const BRCredentials>(std::move(credentials));
}

void BRHTTPRequest::saveCredentialsToKeychain(const BRCredentials& credentials)
{
    if (!m_url)
        return;
    net::Credential credential{credentials.username, credentials.password, net::Credential::Persistence::Permanent};
    saveCredentialsForHostPortProtocolRealm(credential, m_url->host(), m_url->effectivePort(), m_url->scheme(),
                                            m_authenticationRealm.value_or(""));
}

void BRHTTPRequest::saveProxyCredentialsToKeychain(const BRCredentials& credentials)
{
    net::Credential credential{credentials.username, credentials.password, net::Credential::Persistence::Permanent};
    saveCredentialsForProxyPortRealm(credential, m_proxyHost, m_proxyPort, m_proxyAuthenticationRealm.value_or(""));
}

// ---- Asking

bool BRHTTPRequest::willAskDelegateForCredentials()
{
    return askPartyForCredentials(false);
}

bool BRHTTPRequest::willAskDelegateForProxyCredentials()
{
    return askPartyForCredentials(true);
}

// The delegate, else the queue, else the block is asked on the main thread; the server and the
// proxy questions differ only in which operation and block they use.
bool BRHTTPRequest::askPartyForCredentials(bool proxy)
{
    if (m_isSynchronous)
        return false;
    auto answers = [proxy](BRHTTPRequestDelegate& party) {
        return proxy ? party.answersProxyAuthenticationNeeded() : party.answersAuthenticationNeeded();
    };
    auto asked = delegate();
    if (!asked)
        asked = queue();
    const auto& block = proxy ? m_proxyAuthenticationNeededBlock : m_authenticationNeededBlock;
    if (!(asked && answers(*asked)) && !block)
        return false;
    base::RunLoop::main().post([me = self(), proxy, answers] {
        BRHTTPRequest& r = *me;
        auto party = r.delegate();
        if (!party)
            party = r.queue();
        const auto& callback = proxy ? r.m_proxyAuthenticationNeededBlock : r.m_authenticationNeededBlock;
        if (party && answers(*party)) {
            if (proxy)
                party->proxyAuthenticationNeededForRequest(r);
            else
                party->authenticationNeededForRequest(r);
        } else if (callback) {
            callback();
        }
    });
    return true;
}

bool BRHTTPRequest::showAuthenticationDialog()
{
    if (m_isSynchronous || !m_shouldPresentAuthenticationDialog)
        return false;
    onMain([](BRHTTPRequest& r) { BRAuthenticationDialog::presentAuthenticationDialogForRequest(r.self()); });
    return true;
}

bool BRHTTPRequest::showProxyAuthenticationDialog()
{
    if (m_isSynchronous || !m_shouldPresentProxyAuthenticationDialog)
        return false;
    onMain([](BRHTTPRequest& r) { BRAuthenticationDialog::presentAuthenticationDialogForRequest(r.self()); });
    return true;
}

// ---- Answers

void BRHTTPRequest::retryUsingSuppliedCredentials()
{
    auto me = self();
    threadForRequest(this).post([me] {
        // What the answer set counts even when empty.
        me->m_credentialsSupplied = true;
        if (me->m_request)
            me->attemptToApplyCredentialsAndResume();
        else
            me->main();
    });
}

void BRHTTPRequest::cancelAuthentication()
{
    auto me = self();
    threadForRequest(this).post([me] { me->failAuthentication(); });
}

void BRHTTPRequest::failAuthentication()
{
    std::lock_guard lock(m_cancelledLock);
    if (m_error || m_cancelled)
        return;
    failWithError(Shared::get().authenticationError);
}
