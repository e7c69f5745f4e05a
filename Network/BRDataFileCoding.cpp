#include "Network/BRDataFileCoding.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace BRDataFileCoding {

namespace {

constexpr const char* kDomain = "BRHTTPRequestErrorDomain";
constexpr int kCompressionErrorCode = 11;

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now, so that a late write error (a full disk on some file systems) is seen.
    int close()
    {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

// Reads until the buffer is full or the file ends, so a short count means the end.
ssize_t readFully(int fd, uint8_t* buffer, size_t size, int* errorNumber)
{
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *errorNumber = errno;
            return -1;
        }
        if (n == 0)
            break;
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}

int writeFully(int fd, const uint8_t* bytes, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, bytes, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes += n;
        size -= static_cast<size_t>(n);
    }
    return 0;
}

} // namespace

base::ErrorPtr makeError(std::string description, base::ErrorPtr underlying)
{
    return base::Error::make(kDomain, kCompressionErrorCode, std::move(description), std::move(underlying));
}

base::ErrorPtr posixError(int errorNumber)
{
    return base::Error::make("POSIXErrorDomain", errorNumber, std::strerror(errorNumber));
}

bool codeFileToFile(const char* operation, const std::string& sourcePath, const std::string& destinationPath,
                    const Coder& coder, base::ErrorPtr* error)
{
    const std::string op = operation;
    auto fail = [&](base::ErrorPtr e) {
        if (error)
            *error = std::move(e);
        coder.close();
        return false;
    };
    auto readError = [&](int errorNumber) {
        return makeError(op + " of " + sourcePath + " failed because we were unable to read from the source data file",
                         posixError(errorNumber));
    };
    auto writeError = [&](int errorNumber) {
        return makeError(op + " of " + sourcePath + " failed because we were unable to write to the destination data file at " +
                                destinationPath,
                         posixError(errorNumber));
    };

    FileDescriptor out(::open(destinationPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!out.valid())
        return fail(makeError(op + " of " + sourcePath + " failed because we were to create a file at " + destinationPath));

    struct stat info;
    if (::stat(sourcePath.c_str(), &info) != 0 && errno == ENOENT)
        return fail(makeError(op + " of " + sourcePath + " failed the file does not exist"));
    FileDescriptor in(::open(sourcePath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.valid())
        return fail(readError(errno));

    std::vector<uint8_t> buffer(kPieceSize);
    for (;;) {
        int errorNumber = 0;
        ssize_t count = readFully(in.get(), buffer.data(), buffer.size(), &errorNumber);
        if (count < 0)
            return fail(readError(errorNumber));
        if (count == 0)
            break;
        base::ErrorPtr codeError;
        if (coder.pieceInto) {
            int writeErrorNumber = 0;
            Writer write = [&](const uint8_t* bytes, size_t size) {
                writeErrorNumber = writeFully(out.get(), bytes, size);
                return writeErrorNumber == 0;
            };
            if (!coder.pieceInto(buffer.data(), static_cast<size_t>(count), static_cast<size_t>(count) < kPieceSize,
                                 write, &codeError))
                return fail(writeErrorNumber ? writeError(writeErrorNumber) : codeError);
            continue;
        }
        auto coded = coder.piece(buffer.data(), static_cast<size_t>(count), static_cast<size_t>(count) < kPieceSize,
                                 &codeError);
        if (!coded)
            return fail(codeError);
        if (int e = writeFully(out.get(), coded->data(), coded->size()))
            return fail(writeError(e));
    }

    base::ErrorPtr finishError;
    auto rest = coder.finish(&finishError);
    if (!rest)
        return fail(finishError);
    if (int e = writeFully(out.get(), rest->data(), rest->size()))
        return fail(writeError(e));
    if (int e = out.close())
        return fail(writeError(e));

    if (auto closeError = coder.close()) {
        if (error)
            *error = closeError;
        return false;
    }
    return true;
}

} // namespace BRDataFileCoding
