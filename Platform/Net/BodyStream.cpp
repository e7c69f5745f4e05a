#include "Platform/Net/BodyStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace net {

MemoryInputStream::MemoryInputStream(std::shared_ptr<const std::string> data)
    : m_data(data ? std::move(data) : std::make_shared<const std::string>())
{
}

MemoryInputStream::MemoryInputStream(std::string data)
    : m_data(std::make_shared<const std::string>(std::move(data)))
{
}

ssize_t MemoryInputStream::read(uint8_t* buffer, size_t length)
{
    size_t n = std::min(length, m_data->size() - m_offset);
    std::memcpy(buffer, m_data->data() + m_offset, n);
    m_offset += n;
    return ssize_t(n);
}

FileInputStream::FileInputStream(std::string path)
    : m_path(std::move(path))
{
    struct stat st;
    if (::stat(m_path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        m_length = uint64_t(st.st_size);
}

FileInputStream::~FileInputStream() { close(); }

bool FileInputStream::open()
{
    if (m_fd < 0)
        m_fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode))
        m_length = uint64_t(st.st_size);
    return m_fd >= 0;
}

ssize_t FileInputStream::read(uint8_t* buffer, size_t length)
{
    if (m_fd < 0)
        return -1;
    ssize_t n;
    do
        n = ::read(m_fd, buffer, length);
    while (n < 0 && errno == EINTR);
    return n;
}

void FileInputStream::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::optional<uint64_t> FileInputStream::length() const { return m_length; }

} // namespace net
