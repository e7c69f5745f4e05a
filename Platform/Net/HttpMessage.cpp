#include "Platform/Net/HttpMessage.h"

namespace net {

std::optional<HttpRequestHead> HttpRequestHead::make(std::string method, URL url, bool http10)
{
    if (!HttpHeaders::isValidName(method))
        return std::nullopt;
    return HttpRequestHead(std::move(method), std::move(url), http10);
}

std::string HttpRequestHead::serialize(bool absoluteForm, const HttpHeaders& extra) const
{
    std::string target = absoluteForm ? m_url.withoutUserInfo().withoutFragment().string() : m_url.requestTarget();
    std::string out = m_method + " " + target + (m_http10 ? " HTTP/1.0\r\n" : " HTTP/1.1\r\n");
    if (!m_headers.has("Host"))
        out += "Host: " + m_url.hostAndPort() + "\r\n";
    for (const auto* list : {&m_headers, &extra})
        for (const auto& [name, value] : list->fields())
            out += name + ": " + value + "\r\n";
    out += "\r\n";
    return out;
}

std::string HttpResponseHead::version() const
{
    return "HTTP/" + std::to_string(versionMajor) + "." + std::to_string(versionMinor);
}

std::string HttpResponseHead::statusLine() const
{
    std::string line = version() + " " + std::to_string(status);
    if (!reason.empty())
        line += " " + reason;
    return line;
}

} // namespace net
