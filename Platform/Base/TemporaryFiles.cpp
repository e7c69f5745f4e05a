#include "Platform/Base/TemporaryFiles.h"

#include "Platform/Base/Paths.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>

namespace base {

std::optional<std::string> createTemporaryFile(std::string_view prefix, std::string_view suffix)
{
    if (prefix.find('/') != std::string_view::npos || suffix.find('/') != std::string_view::npos)
        return std::nullopt;
    const std::string folder = Paths::tmp();
    static constexpr char alphabet[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int attempt = 0; attempt < 64; ++attempt) {
        unsigned char random[12];
        if (getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random))
            return std::nullopt;
        std::string name(prefix);
        for (unsigned char r : random)
            name += alphabet[r % 36];
        name += suffix;
        std::string path = folder + "/" + name;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace base
