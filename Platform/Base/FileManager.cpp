#include "Platform/Base/FileManager.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/Log.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {

namespace fs = std::filesystem;

namespace {

class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    int release() { return std::exchange(m_fd, -1); }
    // Closes now so that a failing close (delayed write errors) can be reported.
    bool close()
    {
        int fd = release();
        return fd < 0 || ::close(fd) == 0;
    }
    void reset()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
};

struct DirCloser {
    void operator()(DIR* d) const { closedir(d); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

bool writeAll(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Absolute, without "." / ".." where possible and without a trailing slash.
fs::path normalised(const fs::path& path)
{
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec)
        return {};
    p = p.lexically_normal();
    if (!p.has_filename() && p.has_relative_path())
        p = p.parent_path();
    return p;
}

bool isRemovableName(const fs::path& name)
{
    return !name.empty() && name != "." && name != "..";
}

// Removes name inside the folder parentFd without following any symlink.
bool removeAt(int parentFd, const char* name)
{
    struct stat st;
    if (fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (!S_ISDIR(st.st_mode))
        return unlinkat(parentFd, name, 0) == 0;

    int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    UniqueDir dir(fdopendir(fd));
    if (!dir) {
        ::close(fd);
        return false;
    }
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir.get())) {
        std::string_view n = entry->d_name;
        if (n != "." && n != "..")
            names.emplace_back(n);
    }
    bool ok = true;
    for (auto& n : names)
        ok = removeAt(dirfd(dir.get()), n.c_str()) && ok;
    dir.reset();
    return ok && unlinkat(parentFd, name, AT_REMOVEDIR) == 0;
}

bool removeNormalised(const fs::path& parent, const fs::path& name)
{
    UniqueFd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parentFd.valid())
        return false;
    return removeAt(parentFd.get(), name.c_str());
}

bool setMtime(const fs::path& path, const struct timespec& mtime, int flags)
{
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = mtime;
    return utimensat(AT_FDCWD, path.c_str(), times, flags) == 0;
}

// Copies files, folders and symlinks (as links), keeping permissions and modification times.
bool copyTree(const fs::path& from, const fs::path& to)
{
    struct stat st;
    if (lstat(from.c_str(), &st) != 0)
        return false;
    std::error_code ec;
    if (S_ISLNK(st.st_mode)) {
        fs::path target = fs::read_symlink(from, ec);
        if (ec)
            return false;
        fs::create_symlink(target, to, ec);
        return !ec && setMtime(to, st.st_mtim, AT_SYMLINK_NOFOLLOW);
    }
    if (S_ISDIR(st.st_mode)) {
        if (mkdir(to.c_str(), st.st_mode & 07777) != 0)
            return false;
        for (auto& entry : fs::directory_iterator(from, ec)) {
            if (!copyTree(entry.path(), to / entry.path().filename()))
                return false;
        }
        return !ec && chmod(to.c_str(), st.st_mode & 07777) == 0 && setMtime(to, st.st_mtim, 0);
    }
    if (S_ISREG(st.st_mode)) {
        if (!fs::copy_file(from, to, fs::copy_options::none, ec) || ec)
            return false;
        return setMtime(to, st.st_mtim, 0);
    }
    errno = ENOTSUP; // devices, sockets and pipes are not ours to copy
    return false;
}

bool lexists(const fs::path& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

} // namespace

bool FileManager::exists(const Path& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

bool FileManager::isDirectory(const Path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

bool FileManager::createDirectories(const Path& path, mode_t mode)
{
    fs::path target = normalised(path);
    if (target.empty())
        return false;
    // Most calls find the folder there already: one stat instead of a mkdir per component.
    if (isDirectory(target))
        return true;
    fs::path current;
    for (auto& part : target) {
        current /= part;
        if (::mkdir(current.c_str(), mode) != 0 && errno != EEXIST)
            return false;
    }
    return isDirectory(target);
}

std::vector<std::string> FileManager::contentsOfDirectory(const Path& path)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator(path, ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
        names.push_back(it->path().filename().string());
    if (ec)
        return {};
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<Bytes> FileManager::readFile(const Path& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    struct stat st;
    if (fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    Bytes bytes;
    bytes.reserve(static_cast<size_t>(std::max<off_t>(st.st_size, 0)));
    uint8_t buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    return bytes;
}

std::optional<std::string> FileManager::readTextFile(const Path& path)
{
    auto bytes = readFile(path);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

bool FileManager::writeAtomically(const Path& path, std::string_view text, mode_t mode)
{
    Bytes bytes(text.begin(), text.end());
    return writeAtomically(path, bytes, mode);
}

bool FileManager::writeAtomically(const Path& path, const Bytes& bytes, mode_t mode)
{
    return writeReplacing(path, bytes.data(), bytes.size(), mode, true);
}

namespace {

// Files renamed into place whose data and folder entry reach the disk afterwards, in order.
struct LaterSyncs {
    std::mutex mutex;
    std::condition_variable idle;
    std::deque<fs::path> paths;
    bool running = false;

    void waitUntilIdle()
    {
        std::unique_lock lock(mutex);
        idle.wait(lock, [&] { return !running; });
    }
};

LaterSyncs& laterSyncs()
{
    static auto* syncs = [] {
        auto* made = new LaterSyncs(); // outlives the threads still syncing at exit
        // Saved records reach the disk before the program ends. The stop holds the object
        // itself: made during the stop, it may run before this set-up has returned.
        BackgroundWork::add("disk sync", [made] {
            made->waitUntilIdle();
            return size_t(0);
        });
        return made;
    }();
    return *syncs;
}

void syncFileAndFolder(const fs::path& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.valid())
        fsync(fd.get());
    UniqueFd folderFd(::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.valid())
        fsync(folderFd.get());
}

} // namespace

bool FileManager::writeAtomicallySyncLater(const Path& path, std::string_view text, mode_t mode)
{
    if (!writeReplacing(path, text.data(), text.size(), mode, false))
        return false;
    LaterSyncs& syncs = laterSyncs();
    std::lock_guard lock(syncs.mutex);
    syncs.paths.push_back(normalised(path));
    if (syncs.running)
        return true;
    syncs.running = true;
    std::thread([&syncs] {
        std::unique_lock lock(syncs.mutex);
        while (!syncs.paths.empty()) {
            fs::path next = std::move(syncs.paths.front());
            syncs.paths.pop_front();
            lock.unlock();
            syncFileAndFolder(next);
            lock.lock();
        }
        syncs.running = false;
        syncs.idle.notify_all();
    }).detach();
    return true;
}

void FileManager::waitForLaterSyncs()
{
    laterSyncs().waitUntilIdle();
}

bool FileManager::writeReplacing(const Path& path, const void* data, size_t size, mode_t mode, bool syncNow)
{
    fs::path target = normalised(path);
    if (target.empty() || !isRemovableName(target.filename()))
        return false;
    fs::path folder = target.parent_path();
    std::string temp = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
    UniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid()) {
        logf("FileManager: cannot create a temporary file for %s: %s", target.c_str(),
             std::strerror(errno));
        return false;
    }
    bool ok = fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), static_cast<const uint8_t*>(data), size)
        && (!syncNow || fsync(fd.get()) == 0);
    ok = fd.close() && ok;
    if (ok)
        ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        int saved = errno;
        ::unlink(temp.c_str());
        logf("FileManager: cannot write %s: %s", target.c_str(), std::strerror(saved));
        return false;
    }
    if (!syncNow)
        return true;
    // Makes the rename itself durable; the file is already complete, so failure is harmless.
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.valid())
        fsync(folderFd.get());
    return true;
}

bool FileManager::copyFileAtomically(const Path& from, const Path& to, mode_t mode)
{
    fs::path target = normalised(to);
    if (target.empty() || !isRemovableName(target.filename()))
        return false;
    UniqueFd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!source.valid() || fstat(source.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        logf("FileManager: cannot read %s", from.c_str());
        return false;
    }
    fs::path folder = target.parent_path();
    std::string temp = (folder / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
    UniqueFd fd(mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid()) {
        logf("FileManager: cannot create a temporary file for %s: %s", target.c_str(),
             std::strerror(errno));
        return false;
    }
    bool ok = fchmod(fd.get(), mode) == 0;
    uint8_t buffer[65536];
    while (ok) {
        ssize_t n = ::read(source.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        ok = writeAll(fd.get(), buffer, static_cast<size_t>(n));
    }
    ok = ok && fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    if (ok)
        ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        int saved = errno;
        ::unlink(temp.c_str());
        logf("FileManager: cannot copy %s to %s: %s", from.c_str(), target.c_str(),
             std::strerror(saved));
        return false;
    }
    UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.valid())
        fsync(folderFd.get());
    return true;
}

bool FileManager::moveItem(const Path& from, const Path& to)
{
    if (!lexists(from))
        return false;
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EINVAL && !lexists(to)) {
        // Some file systems do not know RENAME_NOREPLACE.
        if (::rename(from.c_str(), to.c_str()) == 0)
            return true;
    }
    if (errno != EXDEV)
        return false;
    // Another file system: copy, then remove the source only once the copy is whole.
    if (lexists(to))
        return false;
    if (!copyTree(from, to)) {
        int saved = errno;
        removeItem(to);
        logf("FileManager: cannot move %s to %s: %s", from.c_str(), to.c_str(),
             std::strerror(saved));
        return false;
    }
    return removeItem(from);
}

bool FileManager::copyItem(const Path& from, const Path& to)
{
    if (!lexists(from) || lexists(to))
        return false;
    if (copyTree(from, to))
        return true;
    removeItem(to);
    return false;
}

bool FileManager::removeItem(const Path& path)
{
    fs::path target = normalised(path);
    if (target.empty() || !isRemovableName(target.filename()))
        return false;
    return removeNormalised(target.parent_path(), target.filename());
}

bool FileManager::removeRecursively(const Path& path, const Path& root)
{
    fs::path target = normalised(path);
    if (target.empty() || !isRemovableName(target.filename()))
        return false;
    std::error_code ec;
    fs::path realRoot = fs::canonical(root, ec);
    if (ec)
        return false;
    fs::path realParent = fs::canonical(target.parent_path(), ec);
    if (ec)
        return false;
    // The target is strictly inside root when its (resolved) folder is root or below it.
    auto [rootEnd, parentIt] =
        std::mismatch(realRoot.begin(), realRoot.end(), realParent.begin(), realParent.end());
    if (rootEnd != realRoot.end()) {
        logf("FileManager: refusing to remove %s outside %s", target.c_str(), realRoot.c_str());
        return false;
    }
    return removeNormalised(realParent, target.filename());
}

std::optional<uint64_t> FileManager::fileSize(const Path& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

std::optional<Date> FileManager::modificationDate(const Path& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return Date(static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9);
}

bool FileManager::setModificationDate(const Path& path, Date date)
{
    double seconds = date.timeIntervalSince1970();
    if (!std::isfinite(seconds))
        return false;
    double whole = std::floor(seconds);
    struct timespec mtime;
    mtime.tv_sec = static_cast<time_t>(whole);
    mtime.tv_nsec = std::min(999999999L, static_cast<long>(std::llround((seconds - whole) * 1e9)));
    return setMtime(path, mtime, 0);
}

} // namespace base
