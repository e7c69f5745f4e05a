#pragma once
#include "Platform/Net/BodyStream.h"

#include <memory>
#include <string>

class BRHTTPRequest;

// The source every request body is sent from: it cuts reads to the bandwidth limit while
// throttling is on and counts what was read in the class-wide figures.
class BRInputStream : public net::InputStream {
public:
    static std::shared_ptr<BRInputStream> inputStreamWithFileAtPathRequest(const std::string& path,
                                                                         std::weak_ptr<BRHTTPRequest> request);
    static std::shared_ptr<BRInputStream> inputStreamWithDataRequest(std::shared_ptr<const std::string> data,
                                                                   std::weak_ptr<BRHTTPRequest> request);
    // Around any source (tests wrap one that records what it is asked).
    BRInputStream(std::shared_ptr<net::InputStream> stream, std::weak_ptr<BRHTTPRequest> request);

    bool open() override { return m_stream->open(); }
    ssize_t readMaxLength(uint8_t* buffer, size_t length);
    ssize_t read(uint8_t* buffer, size_t length) override { return readMaxLength(buffer, length); }
    void close() override { m_stream->close(); }
    std::optional<uint64_t> length() const override { return m_stream->length(); }

    const std::shared_ptr<net::InputStream>& stream() const { return m_stream; }

private:
    std::shared_ptr<net::InputStream> m_stream;
    std::weak_ptr<BRHTTPRequest> m_request;
};
