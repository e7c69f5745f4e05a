#pragma once
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace net {

// Where a request body comes from. The engine may supply its own (one that throttles and
// counts); reads happen on the thread the HTTP stream is scheduled on.
class InputStream {
public:
    virtual ~InputStream() = default;
    virtual bool open() { return true; }
    // > 0 bytes, 0 at the end, < 0 on error.
    virtual ssize_t read(uint8_t* buffer, size_t length) = 0;
    virtual void close() {}
    // The total length when known before reading (sent as Content-Length).
    virtual std::optional<uint64_t> length() const { return std::nullopt; }
};

class MemoryInputStream : public InputStream {
public:
    explicit MemoryInputStream(std::shared_ptr<const std::string> data);
    explicit MemoryInputStream(std::string data);
    ssize_t read(uint8_t* buffer, size_t length) override;
    std::optional<uint64_t> length() const override { return m_data->size(); }

private:
    std::shared_ptr<const std::string> m_data;
    size_t m_offset = 0;
};

class FileInputStream : public InputStream {
public:
    explicit FileInputStream(std::string path);
    ~FileInputStream() override;
    bool open() override;
    ssize_t read(uint8_t* buffer, size_t length) override;
    void close() override;
    std::optional<uint64_t> length() const override;

private:
    std::string m_path;
    int m_fd = -1;
    std::optional<uint64_t> m_length;
};

} // namespace net
