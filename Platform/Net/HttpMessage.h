#pragma once
#include "Platform/Net/HttpHeaders.h"
#include "Platform/Net/URL.h"

#include <optional>
#include <string>

namespace net {

// The head of a request: method, URL, version and the caller's header fields. The transport
// adds "Host" (unless set) and the body's framing when it sends it.
class HttpRequestHead {
public:
    // Nothing when the method is not a token.
    static std::optional<HttpRequestHead> make(std::string method, URL url, bool http10 = false);

    const std::string& method() const { return m_method; }
    const URL& url() const { return m_url; }
    bool isHttp10() const { return m_http10; }
    const HttpHeaders& headers() const { return m_headers; }
    HttpHeaders& headers() { return m_headers; }
    // Replaces the field; false (and nothing changed) when the name or value is refused.
    bool setHeader(std::string_view name, std::string_view value) { return m_headers.set(name, value); }

    // The request line and fields as sent: origin-form target, or absolute-form for an HTTP
    // proxy; `extra` fields follow the caller's.
    std::string serialize(bool absoluteForm, const HttpHeaders& extra = {}) const;

private:
    HttpRequestHead(std::string method, URL url, bool http10)
        : m_method(std::move(method)), m_url(std::move(url)), m_http10(http10) {}

    std::string m_method;
    URL m_url;
    bool m_http10;
    HttpHeaders m_headers;
};

// The head of an answer as read from the wire.
struct HttpResponseHead {
    int status = 0;
    int versionMajor = 1;
    int versionMinor = 1;
    // The reason phrase as sent (may be empty).
    std::string reason;
    HttpHeaders headers;

    // "HTTP/1.1"
    std::string version() const;
    // "HTTP/1.1 200 OK"
    std::string statusLine() const;
    bool isHttp10() const { return versionMajor == 1 && versionMinor == 0; }
};

} // namespace net
