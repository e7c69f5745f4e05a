#pragma once
// Certificates made at test time with the TLS library's API: self-signed, a CA, and leaves
// signed by that CA, written as PEM files.
#include <string>
#include <vector>

namespace testsupport {

struct CertificateFiles {
    std::string certificate;
    std::string key;
};

// A new empty folder under the system's temporary folder.
std::string makeTemporaryFolder(const std::string& prefix);

// `names` go into subjectAltName (IP addresses as IP entries); the first is also the CN.
// Without an issuer the certificate signs itself.
CertificateFiles makeCertificate(const std::string& folder, const std::string& fileStem,
                                 const std::vector<std::string>& names, const CertificateFiles* issuer = nullptr,
                                 bool isCA = false);

} // namespace testsupport
