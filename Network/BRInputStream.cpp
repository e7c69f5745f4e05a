#include "Network/BRInputStream.h"

#include "Network/BRHTTPRequest.h"

#include <mutex>

namespace {
std::mutex& throttleLock()
{
    static std::mutex lock;
    return lock;
}
} // namespace

std::shared_ptr<BRInputStream> BRInputStream::inputStreamWithFileAtPathRequest(const std::string& path,
                                                                               std::weak_ptr<BRHTTPRequest> request)
{
    return std::make_shared<BRInputStream>(std::make_shared<net::FileInputStream>(path), std::move(request));
}

std::shared_ptr<BRInputStream> BRInputStream::inputStreamWithDataRequest(std::shared_ptr<const std::string> data,
                                                                         std::weak_ptr<BRHTTPRequest> request)
{
    return std::make_shared<BRInputStream>(std::make_shared<net::MemoryInputStream>(std::move(data)),
                                           std::move(request));
}

BRInputStream::BRInputStream(std::shared_ptr<net::InputStream> stream, std::weak_ptr<BRHTTPRequest> request)
    : m_stream(std::move(stream)), m_request(std::move(request))
{
}

ssize_t BRInputStream::readMaxLength(uint8_t* buffer, size_t length)
{
    {
        std::lock_guard lock(throttleLock());
        if (BRHTTPRequest::isBandwidthThrottled()) {
            size_t allowed = BRHTTPRequest::maxUploadReadLength();
            if (allowed <= length)
                length = allowed == 0 ? 1 : allowed; // never 0: that would read as the end
            if (auto request = m_request.lock())
                request->performThrottling();
        }
    }
    ssize_t n = m_stream->read(buffer, length);
    if (n > 0)
        BRHTTPRequest::incrementBandwidthUsedInLastSecond(uint64_t(n));
    return n;
}
