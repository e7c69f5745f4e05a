#include "Platform/Net/Tls.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <mutex>
#include <tuple>

namespace net {

namespace {

// Socket I/O for the TLS library through send/recv, so a write to a closed peer gives EPIPE
// instead of the process-killing signal that plain write() raises.
BIO_METHOD* socketMethod()
{
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "nosigpipe socket");
        BIO_meth_set_write(m, [](BIO* b, const char* data, int len) -> int {
            int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(b)));
            BIO_clear_retry_flags(b);
            ssize_t n;
            do
                n = ::send(fd, data, size_t(len), MSG_NOSIGNAL);
            while (n < 0 && errno == EINTR);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                BIO_set_retry_write(b);
            return int(n);
        });
        BIO_meth_set_read(m, [](BIO* b, char* data, int len) -> int {
            int fd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(b)));
            BIO_clear_retry_flags(b);
            ssize_t n;
            do
                n = ::recv(fd, data, size_t(len), 0);
            while (n < 0 && errno == EINTR);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                BIO_set_retry_read(b);
            return int(n);
        });
        BIO_meth_set_puts(m, [](BIO*, const char*) -> int { return -1; });
        BIO_meth_set_ctrl(m, [](BIO*, int cmd, long, void*) -> long { return cmd == BIO_CTRL_FLUSH ? 1 : 0; });
        BIO_meth_set_create(m, [](BIO* b) -> int {
            BIO_set_init(b, 1);
            return 1;
        });
        return m;
    }();
    return method;
}

bool isIpLiteral(const std::string& host)
{
    unsigned char buf[16];
    return ::inet_pton(AF_INET, host.c_str(), buf) == 1 || ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

std::string takeErrors()
{
    std::string out;
    while (unsigned long e = ERR_get_error()) {
        char text[256];
        ERR_error_string_n(e, text, sizeof text);
        out += (out.empty() ? "" : "; ") + std::string(text);
    }
    return out;
}

// Contexts are costly (the system store is read each time), so one per distinct option set.
std::shared_ptr<SSL_CTX> contextFor(const TlsOptions& options, StreamError& error)
{
    static std::mutex mutex;
    static std::map<std::tuple<bool, const TlsIdentity*, std::string>,
                    std::pair<std::shared_ptr<SSL_CTX>, std::shared_ptr<const TlsIdentity>>>
        cache;
    std::lock_guard lock(mutex);
    auto key = std::make_tuple(options.validatesCertificate, options.identity.get(), options.extraTrustFile);
    if (auto it = cache.find(key); it != cache.end())
        return it->second.first;

    std::shared_ptr<SSL_CTX> ctx(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
    if (!ctx) {
        error = StreamError{ErrorKind::Tls, 0, "cannot make a TLS context: " + takeErrors()};
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION);
    // A close without close_notify reads as an end; the HTTP framing decides if it came early.
    SSL_CTX_set_options(ctx.get(), SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(ctx.get(), SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    if (options.validatesCertificate) {
        SSL_CTX_set_default_verify_paths(ctx.get());
        if (!options.extraTrustFile.empty() &&
            SSL_CTX_load_verify_locations(ctx.get(), options.extraTrustFile.c_str(), nullptr) != 1) {
            error = StreamError{ErrorKind::Tls, 0, "cannot read trusted certificates: " + takeErrors()};
            return nullptr;
        }
        SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_PEER, nullptr);
    } else {
        SSL_CTX_set_verify(ctx.get(), SSL_VERIFY_NONE, nullptr);
    }
    if (const auto& id = options.identity) {
        if (SSL_CTX_use_certificate(ctx.get(), id->certificate()) != 1 ||
            SSL_CTX_use_PrivateKey(ctx.get(), id->key()) != 1) {
            error = StreamError{ErrorKind::Tls, 0, "cannot use the client identity: " + takeErrors()};
            return nullptr;
        }
        for (X509* extra : id->chain())
            SSL_CTX_add1_chain_cert(ctx.get(), extra);
    }
    cache.emplace(key, std::make_pair(ctx, options.identity));
    return ctx;
}

} // namespace

std::shared_ptr<const TlsIdentity> TlsIdentity::fromPemFiles(const std::string& certificateFile,
                                                             const std::string& keyFile)
{
    std::shared_ptr<TlsIdentity> id(new TlsIdentity);
    FILE* f = std::fopen(certificateFile.c_str(), "r");
    if (!f)
        return nullptr;
    id->m_certificate = PEM_read_X509(f, nullptr, nullptr, nullptr);
    while (X509* extra = PEM_read_X509(f, nullptr, nullptr, nullptr))
        id->m_chain.push_back(extra);
    std::fclose(f);
    ERR_clear_error();
    f = std::fopen(keyFile.c_str(), "r");
    if (!f)
        return nullptr;
    id->m_key = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
    std::fclose(f);
    if (!id->m_certificate || !id->m_key || X509_check_private_key(id->m_certificate, id->m_key) != 1) {
        ERR_clear_error();
        return nullptr;
    }
    return id;
}

bool TlsIdentity::addChainCertificates(const std::string& pemFile)
{
    FILE* f = std::fopen(pemFile.c_str(), "r");
    if (!f)
        return false;
    size_t before = m_chain.size();
    while (X509* extra = PEM_read_X509(f, nullptr, nullptr, nullptr))
        m_chain.push_back(extra);
    std::fclose(f);
    ERR_clear_error();
    return m_chain.size() > before;
}

TlsIdentity::~TlsIdentity()
{
    X509_free(m_certificate);
    EVP_PKEY_free(m_key);
    for (X509* x : m_chain)
        X509_free(x);
}

std::unique_ptr<TlsSession> TlsSession::make(int fd, const std::string& host, const TlsOptions& options,
                                             StreamError& error)
{
    auto ctx = contextFor(options, error);
    if (!ctx)
        return nullptr;
    std::unique_ptr<TlsSession> session(new TlsSession);
    session->m_ctx = ctx;
    session->m_fd = fd;
    session->m_ssl = SSL_new(ctx.get());
    BIO* bio = BIO_new(socketMethod());
    BIO_set_data(bio, reinterpret_cast<void*>(intptr_t(fd)));
    SSL_set_bio(session->m_ssl, bio, bio);
    bool ip = isIpLiteral(host);
    // SNI names the host even when validation is off, so name-based servers pick the right site.
    if (!ip)
        SSL_set_tlsext_host_name(session->m_ssl, host.c_str());
    if (options.validatesCertificate) {
        X509_VERIFY_PARAM* param = SSL_get0_param(session->m_ssl);
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        if (ip ? X509_VERIFY_PARAM_set1_ip_asc(param, host.c_str()) != 1
               : X509_VERIFY_PARAM_set1_host(param, host.c_str(), host.size()) != 1) {
            error = StreamError{ErrorKind::Tls, 0, "cannot check the name \"" + host + "\""};
            return nullptr;
        }
    }
    SSL_set_connect_state(session->m_ssl);
    return session;
}

TlsSession::~TlsSession()
{
    if (m_ssl)
        SSL_free(m_ssl);
}

StreamError TlsSession::failure(int rc, const char* what)
{
    int err = SSL_get_error(m_ssl, rc);
    if (err == SSL_ERROR_SYSCALL) {
        int e = errno;
        ERR_clear_error();
        if (e == EPIPE || e == ENOTCONN)
            return errnoError(ErrorKind::BrokenPipe, e, what);
        if (e == ECONNRESET || e == 0)
            return StreamError{ErrorKind::ConnectionLost, e, std::string(what) + ": the connection was closed"};
        return errnoError(ErrorKind::Other, e, what);
    }
    long verify = SSL_get_verify_result(m_ssl);
    std::string detail = takeErrors();
    if (verify != X509_V_OK)
        return StreamError{ErrorKind::Tls, int(verify),
                           std::string(what) + ": certificate not accepted: " + X509_verify_cert_error_string(verify)};
    return StreamError{ErrorKind::Tls, err, std::string(what) + ": " + (detail.empty() ? "TLS failure" : detail)};
}

bool TlsSession::handshake(Want& want, StreamError& error)
{
    want = Want::None;
    ERR_clear_error();
    int rc = SSL_do_handshake(m_ssl);
    if (rc == 1)
        return true;
    int err = SSL_get_error(m_ssl, rc);
    if (err == SSL_ERROR_WANT_READ)
        want = Want::Read;
    else if (err == SSL_ERROR_WANT_WRITE)
        want = Want::Write;
    else {
        error = failure(rc, "TLS handshake");
        // A peer that hangs up during the handshake is a TLS failure, not a stale connection.
        if (error.kind == ErrorKind::ConnectionLost)
            error.kind = ErrorKind::Tls;
    }
    return false;
}

ssize_t TlsSession::read(void* buffer, size_t length, Want& want, StreamError& error)
{
    want = Want::None;
    ERR_clear_error();
    int rc = SSL_read(m_ssl, buffer, int(std::min<size_t>(length, 1 << 30)));
    if (rc > 0)
        return rc;
    int err = SSL_get_error(m_ssl, rc);
    if (err == SSL_ERROR_WANT_READ) {
        want = Want::Read;
        return 0;
    }
    if (err == SSL_ERROR_WANT_WRITE) {
        want = Want::Write;
        return 0;
    }
    if (err == SSL_ERROR_ZERO_RETURN)
        return 0;
    if (err == SSL_ERROR_SYSCALL && errno == 0) {
        // A close without close_notify: the HTTP framing decides whether that was the end.
        ERR_clear_error();
        return 0;
    }
    error = failure(rc, "TLS read");
    return -1;
}

ssize_t TlsSession::write(const void* buffer, size_t length, Want& want, StreamError& error)
{
    want = Want::None;
    ERR_clear_error();
    int rc = SSL_write(m_ssl, buffer, int(std::min<size_t>(length, 1 << 30)));
    if (rc > 0)
        return rc;
    int err = SSL_get_error(m_ssl, rc);
    if (err == SSL_ERROR_WANT_READ) {
        want = Want::Read;
        return 0;
    }
    if (err == SSL_ERROR_WANT_WRITE) {
        want = Want::Write;
        return 0;
    }
    error = failure(rc, "TLS write");
    return -1;
}

bool TlsSession::hasBufferedBytes() const { return SSL_pending(m_ssl) > 0; }

bool TlsSession::idleAndLive()
{
    // Session tickets and other records may wait unread; application data or a close may not.
    char byte;
    ERR_clear_error();
    int rc = SSL_peek(m_ssl, &byte, 1);
    if (rc > 0)
        return false;
    int err = SSL_get_error(m_ssl, rc);
    ERR_clear_error();
    return err == SSL_ERROR_WANT_READ;
}

std::string TlsSession::protocolVersion() const { return SSL_get_version(m_ssl); }

} // namespace net
