#include "tests/Support/TestCertificates.h"

#include <filesystem>
#include <mutex>
#include <unistd.h>

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace testsupport {

namespace {

void writePem(const std::string& path, X509* cert, EVP_PKEY* key)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    if (cert)
        PEM_write_X509(f, cert);
    if (key)
        PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr);
    std::fclose(f);
}

X509* readCert(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "r");
    X509* x = f ? PEM_read_X509(f, nullptr, nullptr, nullptr) : nullptr;
    if (f)
        std::fclose(f);
    return x;
}

EVP_PKEY* readKey(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "r");
    EVP_PKEY* k = f ? PEM_read_PrivateKey(f, nullptr, nullptr, nullptr) : nullptr;
    if (f)
        std::fclose(f);
    return k;
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
    if (!ext)
        throw std::runtime_error("extension");
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

} // namespace

namespace {

// Folders made by this process, removed when it exits so runs leave nothing behind in /tmp.
struct MadeFolders {
    std::mutex mutex;
    std::vector<std::string> paths;
    pid_t owner = ::getpid();
    ~MadeFolders()
    {
        if (::getpid() != owner) // a forked child exiting must not take its parent's folders
            return;
        for (const auto& path : paths) {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    }
};

MadeFolders& madeFolders()
{
    static MadeFolders folders;
    return folders;
}

} // namespace

std::string makeTemporaryFolder(const std::string& prefix)
{
    std::string pattern = "/tmp/" + prefix + "XXXXXX";
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp");
    auto& folders = madeFolders();
    std::lock_guard lock(folders.mutex);
    folders.paths.push_back(pattern);
    return pattern;
}

CertificateFiles makeCertificate(const std::string& folder, const std::string& fileStem,
                                 const std::vector<std::string>& names, const CertificateFiles* issuer, bool isCA)
{
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    X509_set_version(cert, 2);
    static long serial = 1;
    ASN1_INTEGER_set(X509_get_serialNumber(cert), serial++);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 86400);
    X509_set_pubkey(cert, key);
    X509_NAME* subject = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(names.at(0).c_str()), -1, -1, 0);

    X509* issuerCert = issuer ? readCert(issuer->certificate) : nullptr;
    EVP_PKEY* issuerKey = issuer ? readKey(issuer->key) : nullptr;
    if (issuer && (!issuerCert || !issuerKey))
        throw std::runtime_error("issuer files");
    X509_set_issuer_name(cert, issuerCert ? X509_get_subject_name(issuerCert) : subject);

    std::string san;
    for (const auto& name : names) {
        unsigned char buf[16];
        bool ip = ::inet_pton(AF_INET, name.c_str(), buf) == 1 || ::inet_pton(AF_INET6, name.c_str(), buf) == 1;
        san += (san.empty() ? "" : ",") + std::string(ip ? "IP:" : "DNS:") + name;
    }
    addExtension(cert, issuerCert ? issuerCert : cert, NID_basic_constraints, isCA ? "critical,CA:TRUE" : "CA:FALSE");
    if (!isCA)
        addExtension(cert, issuerCert ? issuerCert : cert, NID_subject_alt_name, san);
    addExtension(cert, issuerCert ? issuerCert : cert, NID_subject_key_identifier, "hash");
    X509_sign(cert, issuerKey ? issuerKey : key, EVP_sha256());

    CertificateFiles files{folder + "/" + fileStem + ".crt", folder + "/" + fileStem + ".key"};
    writePem(files.certificate, cert, nullptr);
    writePem(files.key, nullptr, key);
    X509_free(cert);
    EVP_PKEY_free(key);
    if (issuerCert)
        X509_free(issuerCert);
    if (issuerKey)
        EVP_PKEY_free(issuerKey);
    return files;
}

} // namespace testsupport
