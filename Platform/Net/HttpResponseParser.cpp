#include "Platform/Net/HttpResponseParser.h"

#include <http_parser.h>

#include <cstdint>
#include <limits>

namespace net {

struct HttpResponseParser::Callbacks {
    static HttpResponseParser& self(http_parser* p) { return *static_cast<HttpResponseParser*>(p->data); }

    static int onMessageBegin(http_parser* p)
    {
        auto& s = self(p);
        s.m_building = std::make_shared<HttpResponseHead>();
        s.m_field.clear();
        s.m_value.clear();
        s.m_reason.clear();
        s.m_inValue = false;
        s.m_blockBytes = 0;
        return 0;
    }

    static int onStatus(http_parser* p, const char* at, size_t len)
    {
        auto& s = self(p);
        s.m_blockBytes += len;
        if (s.m_reason.size() + len > s.m_limits.maxLine) {
            s.fail(ErrorKind::Protocol, "status line too long");
            return -1;
        }
        s.m_reason.append(at, len);
        return 0;
    }

    static int onHeaderField(http_parser* p, const char* at, size_t len)
    {
        return self(p).addHeaderBytes(true, at, len) ? 0 : -1;
    }

    static int onHeaderValue(http_parser* p, const char* at, size_t len)
    {
        return self(p).addHeaderBytes(false, at, len) ? 0 : -1;
    }

    static int onHeadersComplete(http_parser* p)
    {
        auto& s = self(p);
        s.commitField();
        // A status is three digits from 100 on; "020" would pass for a final answer.
        if (p->status_code < 100) {
            s.fail(ErrorKind::Protocol, "malformed status code");
            return -1;
        }
        if (p->status_code == 101 || p->upgrade) {
            s.fail(ErrorKind::Protocol, "unrequested protocol switch");
            return -1;
        }
        if ((p->flags & F_CONTENTLENGTH) && p->content_length > uint64_t(std::numeric_limits<int64_t>::max())) {
            s.fail(ErrorKind::Protocol, "Content-Length too large");
            return -1;
        }
        auto& head = *s.m_building;
        head.status = p->status_code;
        head.versionMajor = p->http_major;
        head.versionMinor = p->http_minor;
        head.reason = s.m_reason;
        if (p->status_code >= 100 && p->status_code < 200)
            return 1; // interim: no body, the final answer follows
        s.m_head = s.m_building;
        s.m_headDone = true;
        s.m_blockBytes = 0;
        if (s.m_method == "HEAD" || p->status_code == 204 || p->status_code == 304)
            return 1;
        if (s.m_method == "CONNECT" && p->status_code / 100 == 2)
            return 1;
        if (p->flags & F_CHUNKED) {
            // The library's chunk reader is lenient; ours takes over after the head.
            s.m_chunked = true;
            s.m_keepAlive = http_should_keep_alive(p) != 0;
            return 1;
        }
        return 0;
    }

    static int onBody(http_parser* p, const char* at, size_t len)
    {
        self(p).m_body->append(at, len);
        return 0;
    }

    static int onMessageComplete(http_parser* p)
    {
        auto& s = self(p);
        if (!s.m_headDone)
            return 0; // an interim answer: the final one follows
        if (s.m_chunked) {
            http_parser_pause(p, 1);
            return 0;
        }
        s.commitField();
        s.m_complete = true;
        s.m_keepAlive = http_should_keep_alive(p) != 0;
        // Stop here so that bytes after the answer are left unread.
        http_parser_pause(p, 1);
        return 0;
    }
};

HttpResponseParser::HttpResponseParser(Limits limits)
    : m_limits(limits)
    , m_parser(std::make_unique<http_parser>())
{
    http_parser_init(m_parser.get(), HTTP_RESPONSE);
    m_parser->data = this;
}

HttpResponseParser::~HttpResponseParser() = default;

void HttpResponseParser::setRequestMethod(const std::string& method) { m_method = method; }

void HttpResponseParser::fail(ErrorKind kind, const std::string& message)
{
    if (!m_error)
        m_error = StreamError{kind, 0, message};
}

void HttpResponseParser::commitField()
{
    if (!m_field.empty()) {
        HttpHeaders& target = m_headDone ? m_trailers : m_building->headers;
        target.add(m_field, m_value);
    }
    m_field.clear();
    m_value.clear();
    m_inValue = false;
}

bool HttpResponseParser::addHeaderBytes(bool isField, const char* at, size_t len)
{
    if (isField && m_inValue)
        commitField();
    m_inValue = !isField;
    (isField ? m_field : m_value).append(at, len);
    m_blockBytes += len;
    if (m_field.size() + m_value.size() > m_limits.maxLine) {
        fail(ErrorKind::Protocol, "header line too long");
        return false;
    }
    if (m_blockBytes > m_limits.maxBlock) {
        fail(ErrorKind::Protocol, m_headDone ? "trailers too long" : "header block too long");
        return false;
    }
    return true;
}

size_t HttpResponseParser::feed(const char* data, size_t len, std::string& body)
{
    if (m_complete || m_error || len == 0)
        return 0;
    m_sawByte = true;
    if (m_chunked)
        return feedChunks(data, len, body);
    static const http_parser_settings cb = [] {
        http_parser_settings v{};
        http_parser_settings_init(&v);
        v.on_message_begin = &Callbacks::onMessageBegin;
        v.on_status = &Callbacks::onStatus;
        v.on_header_field = &Callbacks::onHeaderField;
        v.on_header_value = &Callbacks::onHeaderValue;
        v.on_headers_complete = &Callbacks::onHeadersComplete;
        v.on_body = &Callbacks::onBody;
        v.on_message_complete = &Callbacks::onMessageComplete;
        return v;
    }();
    m_body = &body;
    size_t used = http_parser_execute(m_parser.get(), &cb, data, len);
    m_body = nullptr;
    auto err = HTTP_PARSER_ERRNO(m_parser.get());
    if (m_chunked && !m_error)
        return used + feedChunks(data + used, len - used, body);
    if (m_complete) {
        // The pause that ends the answer is no failure.
        if (err == HPE_PAUSED)
            http_parser_pause(m_parser.get(), 0);
        return used;
    }
    if (err != HPE_OK)
        fail(ErrorKind::Protocol, std::string("malformed answer: ") + http_errno_description(err));
    else if (m_parser->upgrade)
        fail(ErrorKind::Protocol, "unrequested protocol switch");
    return used;
}

size_t HttpResponseParser::feedChunks(const char* data, size_t len, std::string& body)
{
    size_t i = 0;
    auto bad = [&](const char* message) {
        fail(ErrorKind::Protocol, message);
        return i;
    };
    while (i < len && !m_complete) {
        char c = data[i];
        switch (m_chunk) {
        case Chunk::Size: {
            int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit >= 0) {
                // Sixteen digits hold any size; more only say the sender is lying.
                if (++m_chunkDigits > 16 || m_chunkLeft > (uint64_t(std::numeric_limits<int64_t>::max()) >> 4))
                    return bad("malformed answer: chunk size too large");
                m_chunkLeft = m_chunkLeft * 16 + uint64_t(digit);
                ++i;
                break;
            }
            if (m_chunkDigits == 0)
                return bad("malformed answer: invalid character in chunk size");
            if (c == ';' || c == ' ' || c == '\t') {
                m_chunk = Chunk::Extension;
                m_line.assign(1, c);
            } else if (c == '\r') {
                m_chunk = Chunk::SizeLF;
            } else {
                return bad("malformed answer: invalid character in chunk size");
            }
            ++i;
            break;
        }
        case Chunk::Extension:
            // Extensions are skipped, within a line's length; white space may only lead to one.
            if (c == '\r') {
                m_chunk = Chunk::SizeLF;
            } else if (c == '\n' || (m_line.find(';') == std::string::npos && c != ';' && c != ' ' && c != '\t')) {
                return bad("malformed answer: invalid chunk extension");
            } else {
                m_line += c;
                if (m_line.size() > m_limits.maxLine)
                    return bad("malformed answer: chunk extension too long");
            }
            ++i;
            break;
        case Chunk::SizeLF:
            if (c != '\n')
                return bad("malformed answer: chunk size line not ended by CRLF");
            ++i;
            m_chunkDigits = 0;
            m_line.clear();
            m_chunk = m_chunkLeft == 0 ? Chunk::Trailer : Chunk::Data;
            m_blockBytes = 0;
            break;
        case Chunk::Data: {
            size_t n = size_t(std::min<uint64_t>(m_chunkLeft, len - i));
            body.append(data + i, n);
            i += n;
            m_chunkLeft -= n;
            if (m_chunkLeft == 0)
                m_chunk = Chunk::DataCR;
            break;
        }
        case Chunk::DataCR:
            if (c != '\r')
                return bad("malformed answer: chunk data not followed by CRLF");
            m_chunk = Chunk::DataLF;
            ++i;
            break;
        case Chunk::DataLF:
            if (c != '\n')
                return bad("malformed answer: chunk data not followed by CRLF");
            m_chunk = Chunk::Size;
            ++i;
            break;
        case Chunk::Trailer:
            if (c == '\r') {
                m_chunk = Chunk::TrailerLF;
            } else if (c == '\n') {
                return bad("malformed answer: trailer line not ended by CRLF");
            } else {
                m_line += c;
                if (m_line.size() > m_limits.maxLine)
                    return bad("malformed answer: trailer line too long");
                if (++m_blockBytes > m_limits.maxBlock)
                    return bad("malformed answer: trailers too long");
            }
            ++i;
            break;
        case Chunk::TrailerLF:
            if (c != '\n')
                return bad("malformed answer: trailer line not ended by CRLF");
            ++i;
            if (m_line.empty()) {
                m_chunk = Chunk::Done;
                m_complete = true;
                break;
            }
            if (!endTrailerLine())
                return i;
            m_chunk = Chunk::Trailer;
            break;
        case Chunk::Done:
            return i;
        }
    }
    return i;
}

bool HttpResponseParser::endTrailerLine()
{
    size_t colon = m_line.find(':');
    if (colon == 0 || colon == std::string::npos || m_line[0] == ' ' || m_line[0] == '\t') {
        fail(ErrorKind::Protocol, "malformed answer: invalid trailer line");
        return false;
    }
    std::string name = m_line.substr(0, colon);
    if (name.find_first_of(" \t") != std::string::npos) {
        fail(ErrorKind::Protocol, "malformed answer: invalid trailer line");
        return false;
    }
    size_t start = m_line.find_first_not_of(" \t", colon + 1);
    size_t end = m_line.find_last_not_of(" \t");
    std::string value = start == std::string::npos ? std::string() : m_line.substr(start, end - start + 1);
    m_trailers.add(name, value);
    m_line.clear();
    return true;
}

void HttpResponseParser::finish()
{
    if (m_complete || m_error)
        return;
    if (!m_sawByte) {
        fail(ErrorKind::ConnectionLost, "the connection closed before any answer");
        return;
    }
    bool closeDelimited = !(m_parser->flags & (F_CHUNKED | F_CONTENTLENGTH));
    if (m_headDone && closeDelimited) {
        m_complete = true;
        m_keepAlive = false;
        return;
    }
    fail(ErrorKind::Truncated, m_headDone ? "the connection closed before the end of the body"
                                          : "the connection closed inside the answer's head");
}

} // namespace net
