#pragma once
#include "Platform/Net/NetError.h"

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;
typedef struct x509_st X509;
typedef struct evp_pkey_st EVP_PKEY;

namespace net {

// A client identity: a private key with its certificate, and certificates that complete the
// chain towards the server's trusted roots.
class TlsIdentity {
public:
    // PEM files; the certificate file may hold the chain after the leaf. Nothing when a file
    // cannot be read or the key does not match the certificate.
    static std::shared_ptr<const TlsIdentity> fromPemFiles(const std::string& certificateFile,
                                                            const std::string& keyFile);
    ~TlsIdentity();

    X509* certificate() const { return m_certificate; }
    EVP_PKEY* key() const { return m_key; }
    const std::vector<X509*>& chain() const { return m_chain; }
    // Extra certificates sent after the identity's (read from PEM files); false when unreadable.
    bool addChainCertificates(const std::string& pemFile);

private:
    TlsIdentity() = default;
    X509* m_certificate = nullptr;
    EVP_PKEY* m_key = nullptr;
    std::vector<X509*> m_chain;
};

struct TlsOptions {
    // Off: expired certificates and any root are accepted, the chain is not checked and no
    // peer name is required.
    bool validatesCertificate = true;
    std::shared_ptr<const TlsIdentity> identity;
    // Certificates of further trusted roots (PEM), besides the system store.
    std::string extraTrustFile;

    bool operator==(const TlsOptions& o) const
    {
        return validatesCertificate == o.validatesCertificate && identity == o.identity &&
               extraTrustFile == o.extraTrustFile;
    }
};

// A TLS 1.2+ client session over a non-blocking socket. Writes never raise SIGPIPE.
class TlsSession {
public:
    enum class Want { None, Read, Write };

    // Nothing when the context cannot be made (unreadable trust file, bad identity).
    static std::unique_ptr<TlsSession> make(int fd, const std::string& host, const TlsOptions& options,
                                            StreamError& error);
    ~TlsSession();

    // true when the handshake is done; false with `want` set while it waits, or with `error`.
    bool handshake(Want& want, StreamError& error);
    // > 0 bytes; 0 with `want` None: closed by the peer; 0 with `want` set: try later;
    // < 0: `error` set.
    ssize_t read(void* buffer, size_t length, Want& want, StreamError& error);
    ssize_t write(const void* buffer, size_t length, Want& want, StreamError& error);
    // Decrypted bytes held inside the session.
    bool hasBufferedBytes() const;
    // For a parked connection: false when the peer closed or sent anything unexpected.
    bool idleAndLive();
    std::string protocolVersion() const;

private:
    TlsSession() = default;
    StreamError failure(int rc, const char* what);

    std::shared_ptr<SSL_CTX> m_ctx;
    SSL* m_ssl = nullptr;
    int m_fd = -1;
};

} // namespace net
