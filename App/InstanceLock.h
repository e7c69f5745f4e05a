#pragma once
#include <string>

// One running copy per data folder: the copy that holds the lock on a file in the folder
// works there; another copy started on the same folder finds it held and stops. The lock
// goes with the process, however it ends.
class InstanceLock {
public:
    enum class State { Held, HeldElsewhere, Unavailable };

    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // Takes the lock of `folder` (made if missing). Unavailable when the lock file cannot be
    // had at all (a read-only folder): why is in `problem()`, and the copy cannot work there.
    State acquire(const std::string& folder);
    // What could not be had, and why, after Unavailable.
    const std::string& problemPath() const { return m_problemPath; }
    const std::string& problemReason() const { return m_problemReason; }

    // What a second copy tells the user, in the language stored in the folder's defaults
    // (else the desktop's), read without writing anything there.
    static std::string alreadyRunningMessage(const std::string& folder);
    // The language table's text for `key`, in that language; `fallback` when it has none.
    static std::string textInFolderLanguage(const std::string& folder, const std::string& key,
                                            const std::string& fallback);

    static constexpr const char* kLockFileName = ".brivanta.lock";

private:
    int m_fd = -1;
    std::string m_problemPath;
    std::string m_problemReason;
};
