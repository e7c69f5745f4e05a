#pragma once
#include "Platform/Net/HttpMessage.h"
#include "Platform/Net/NetError.h"

#include <cstdint>
#include <memory>
#include <string>

struct http_parser;

namespace net {

struct HttpLimits {
    // One header line (status line, or field name plus value).
    size_t maxLine = 16 * 1024;
    // All header lines of one head (or of the trailers).
    size_t maxBlock = 64 * 1024;
};

// Reads one HTTP/1.x answer from the bytes of a connection: its head (1xx answers skipped),
// then its body by Content-Length, chunks (trailers read and kept) or the close. Chunks are
// framed by our own strict reader: a size line of at most 16 hex digits, the data, then CRLF
// and nothing else; anything else fails the answer.
class HttpResponseParser {
public:
    using Limits = HttpLimits;

    explicit HttpResponseParser(Limits limits = {});
    ~HttpResponseParser();
    HttpResponseParser(const HttpResponseParser&) = delete;
    HttpResponseParser& operator=(const HttpResponseParser&) = delete;

    // The answer to HEAD has no body; a 2xx answer to CONNECT ends at its head.
    void setRequestMethod(const std::string& method);

    // Parses up to `len` bytes, appending decoded body bytes to `body`. Answers how many were
    // taken: it stops at the end of the answer, so fewer than `len` means bytes followed it.
    size_t feed(const char* data, size_t len, std::string& body);
    // The peer closed the connection: ends a close-delimited body; anything unfinished is an
    // error (ConnectionLost before the first byte, Truncated after it).
    void finish();

    bool headComplete() const { return m_headDone; }
    // Set once the head (of the final answer) is complete.
    std::shared_ptr<const HttpResponseHead> head() const { return m_head; }
    const HttpHeaders& trailers() const { return m_trailers; }
    bool complete() const { return m_complete; }
    bool failed() const { return bool(m_error); }
    const StreamError& error() const { return m_error; }
    bool sawAnyByte() const { return m_sawByte; }
    // After completion: the framing allows another message on the same connection.
    bool keepAlive() const { return m_keepAlive; }

private:
    struct Callbacks;
    enum class Chunk { Size, Extension, SizeLF, Data, DataCR, DataLF, Trailer, TrailerLF, Done };
    size_t feedChunks(const char* data, size_t len, std::string& body);
    bool endTrailerLine();
    void fail(ErrorKind kind, const std::string& message);
    bool addHeaderBytes(bool isField, const char* at, size_t len);
    void commitField();

    Limits m_limits;
    std::unique_ptr<http_parser> m_parser;
    std::string m_method;
    std::shared_ptr<HttpResponseHead> m_building;
    std::shared_ptr<const HttpResponseHead> m_head;
    HttpHeaders m_trailers;
    std::string m_field, m_value, m_reason;
    bool m_inValue = false;
    size_t m_blockBytes = 0;
    bool m_headDone = false;
    bool m_complete = false;
    bool m_sawByte = false;
    bool m_keepAlive = false;
    std::string* m_body = nullptr;
    // Chunked bodies, read by feedChunks once the head is complete.
    bool m_chunked = false;
    Chunk m_chunk = Chunk::Size;
    uint64_t m_chunkLeft = 0;
    int m_chunkDigits = 0;
    std::string m_line;
    StreamError m_error;
};

} // namespace net
