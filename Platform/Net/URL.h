#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace net {

// An absolute URI reference split into its generic parts. Components are kept as written
// (percent-encoded); the scheme and the host are lower-cased. A URL is always absolute:
// relative references exist only as input to resolve().
class URL {
public:
    // Nothing unless `text` is an absolute URI (a scheme, then the rest) with no forbidden
    // characters (spaces, controls, non-ASCII bytes, bad percent escapes, bad ports).
    static std::optional<URL> parse(std::string_view text);
    // `reference` resolved against `base` (strict resolution: a reference with a scheme is
    // taken as it is).
    static std::optional<URL> parse(std::string_view reference, const URL& base);
    std::optional<URL> resolve(std::string_view reference) const { return parse(reference, *this); }

    const std::string& scheme() const { return m_scheme; }
    bool hasAuthority() const { return m_hasAuthority; }
    // Decoded user and password; nothing when absent (an empty one is "").
    std::optional<std::string> user() const;
    std::optional<std::string> password() const;
    // Without brackets for IPv6 literals.
    const std::string& host() const { return m_host; }
    // The port written in the URL, if any.
    std::optional<int> port() const { return m_port; }
    // The written port, else the scheme's default, else -1.
    int effectivePort() const;
    static int defaultPort(std::string_view scheme);
    const std::string& path() const { return m_path; }
    const std::optional<std::string>& query() const { return m_query; }
    const std::optional<std::string>& fragment() const { return m_fragment; }

    // The whole URL, recomposed.
    std::string string() const;
    // Path and query as sent in a request line ("/" for an empty path), no fragment.
    std::string requestTarget() const;
    // Host (bracketed when IPv6) with ":port" when a non-default port is written: a "Host"
    // header value.
    std::string hostAndPort() const;
    // Without the user and the password.
    URL withoutUserInfo() const;
    URL withoutFragment() const;

    bool operator==(const URL& other) const { return string() == other.string(); }

private:
    URL() = default;
    std::string authority() const;

    std::string m_scheme;
    bool m_hasAuthority = false;
    std::optional<std::string> m_userInfo; // raw, "user[:password]"
    std::string m_host;
    bool m_ipv6 = false;
    std::optional<int> m_port;
    std::string m_path;
    std::optional<std::string> m_query;
    std::optional<std::string> m_fragment;
};

// Percent-encodes every byte except the unreserved characters and those in `keep`.
std::string percentEncode(std::string_view text, std::string_view keep = {});
// Nothing when a "%" is not followed by two hex digits.
std::optional<std::string> percentDecode(std::string_view text);

} // namespace net
