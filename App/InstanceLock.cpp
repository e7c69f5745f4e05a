#include "App/InstanceLock.h"

#include "Platform/Base/Bundle.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Base/UserDefaults.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

InstanceLock::~InstanceLock()
{
    if (m_fd >= 0)
        close(m_fd);
}

InstanceLock::State InstanceLock::acquire(const std::string& folder)
{
    m_problemPath.clear();
    m_problemReason.clear();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        m_problemPath = folder;
        m_problemReason = error.message();
        base::logf("InstanceLock: cannot make %s: %s", folder.c_str(), m_problemReason.c_str());
        return State::Unavailable;
    }
    std::string path = (std::filesystem::path(folder) / kLockFileName).string();
    // Not inherited by the programs the application starts: the lock is this process's.
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        m_problemPath = path;
        m_problemReason = std::strerror(errno);
        base::logf("InstanceLock: cannot open %s: %s", path.c_str(), m_problemReason.c_str());
        return State::Unavailable;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        int why = errno;
        close(fd);
        if (why == EWOULDBLOCK)
            return State::HeldElsewhere;
        m_problemPath = path;
        m_problemReason = std::strerror(why);
        base::logf("InstanceLock: cannot lock %s: %s", path.c_str(), m_problemReason.c_str());
        return State::Unavailable;
    }
    if (m_fd >= 0)
        close(m_fd);
    m_fd = fd;
    return State::Held;
}

std::string InstanceLock::alreadyRunningMessage(const std::string& folder)
{
    return textInFolderLanguage(folder, "ALREADYRUNNING", "The application is already running with this data folder:") +
           "\n" + folder;
}

std::string InstanceLock::textInFolderLanguage(const std::string& folder, const std::string& key,
                                               const std::string& fallback)
{
    // The running copy owns the defaults: read the file, never the shared store that writes.
    int64_t language = 0;
    auto stored = base::PropertyList::readFile(std::filesystem::path(folder) / "Library/Preferences/brivanta.plist");
    if (stored && stored->isDictionary())
        if (const base::Value* value = stored->asDictionary().find("language"); value && value->isInteger())
            language = value->asInteger();
    if (language != 1 && language != 2) {
        auto preferred = base::UserDefaults::preferredLanguagesFromEnvironment();
        language = !preferred.empty() && preferred.front() == "zh-Hans" ? 2 : 1;
    }
    std::string text;
    auto table = base::PropertyList::readFile(
        base::Bundle::pathForResource(language == 2 ? "language_cn" : "language_en", "plist"));
    if (table && table->isDictionary())
        if (const base::Value* value = table->asDictionary().find(key); value && value->isString())
            text = value->asString();
    return text.empty() ? fallback : text;
}
