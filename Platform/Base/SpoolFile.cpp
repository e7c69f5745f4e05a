#include "Platform/Base/SpoolFile.h"

#include "Platform/Base/Paths.h"
#include "Platform/Base/TemporaryFiles.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace base {

namespace {

size_t pageSize()
{
    static const size_t size = [] {
        long page = ::sysconf(_SC_PAGESIZE);
        return page > 0 ? size_t(page) : size_t(4096);
    }();
    return size;
}

} // namespace

std::shared_ptr<SpoolFile> SpoolFile::create(std::string_view prefix)
{
    const std::string folder = Paths::tmp();
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        auto path = createTemporaryFile(prefix);
        if (!path)
            return nullptr;
        fd = ::open(path->c_str(), O_RDWR | O_CLOEXEC);
        ::unlink(path->c_str());
        if (fd < 0)
            return nullptr;
    }
    return std::shared_ptr<SpoolFile>(new SpoolFile(fd));
}

SpoolFile::~SpoolFile()
{
    if (m_map)
        ::munmap(const_cast<char*>(m_map), m_mapLength);
    if (m_fd >= 0)
        ::close(m_fd);
}

bool SpoolFile::append(const void* bytes, size_t length)
{
    if (m_mapped)
        return false;
    const char* from = static_cast<const char*>(bytes);
    if (!m_sawZero) {
        if (const void* zero = length ? std::memchr(from, 0, length) : nullptr) {
            m_sawZero = true;
            m_textLength = m_size + uint64_t(static_cast<const char*>(zero) - from);
        } else {
            m_textLength = m_size + length;
        }
    }
    size_t left = length;
    while (left > 0) {
        ssize_t n = ::write(m_fd, from, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            m_size += length - left;
            return false;
        }
        from += n;
        left -= size_t(n);
    }
    m_size += length;
    return true;
}

std::string SpoolFile::head(size_t length) const
{
    std::string out(size_t(std::min<uint64_t>(length, m_textLength)), '\0');
    size_t got = 0;
    while (got < out.size()) {
        ssize_t n = ::pread(m_fd, out.data() + got, out.size() - got, off_t(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    out.resize(got);
    return out;
}

std::optional<std::string_view> SpoolFile::text()
{
    if (!m_mapped) {
        m_mapped = true;
        if (m_textLength > 0) {
            void* map = ::mmap(nullptr, size_t(m_textLength), PROT_READ, MAP_PRIVATE, m_fd, 0);
            if (map != MAP_FAILED) {
                m_map = static_cast<const char*>(map);
                m_mapLength = size_t(m_textLength);
            }
        }
    }
    if (m_textLength == 0)
        return std::string_view();
    if (!m_map)
        return std::nullopt;
    return std::string_view(m_map, m_mapLength);
}

void SpoolFile::releaseBefore(size_t offset)
{
    if (!m_map)
        return;
    size_t end = std::min(offset, m_mapLength) / pageSize() * pageSize();
    if (end <= m_released)
        return;
    ::madvise(const_cast<char*>(m_map) + m_released, end - m_released, MADV_DONTNEED);
    m_released = end;
}

void SpoolFile::releaseAll()
{
    if (!m_map)
        return;
    ::madvise(const_cast<char*>(m_map), m_mapLength, MADV_DONTNEED);
    m_released = 0;
}

} // namespace base
