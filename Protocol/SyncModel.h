#pragma once
#include <memory>

// The sync screen, told when a pending sync should start.
class SyncModelDelegate {
public:
    virtual ~SyncModelDelegate() = default;
    virtual void startSyncData() {}
};

// The sync engine's shared state: the requests the home and settings screens leave for the
// sync screen, and the flag of a running sync. One instance per login.
class SyncModel {
public:
    static std::shared_ptr<SyncModel> sharedInstance();
    static void freeInstance();

    std::shared_ptr<SyncModelDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<SyncModelDelegate>& delegate) { m_delegate = delegate; }

    // Start a sync when next told to.
    bool needUpdate() const { return m_needUpdate; }
    void setNeedUpdate(bool v) { m_needUpdate = v; }
    // An update offer is pending and its badge shown on the sync tab.
    bool showUpdate() const { return m_showUpdate; }
    void setShowUpdate(bool v) { m_showUpdate = v; }
    // The next sync fetches everything again.
    bool isSyncAllData() const { return m_isSyncAllData; }
    void setIsSyncAllData(bool v) { m_isSyncAllData = v; }
    bool isDownloading() const { return m_isDownloading; }
    void setIsDownloading(bool v) { m_isDownloading = v; }

    // Asks the sync screen to start, which it does when a sync is pending.
    void startSyncData();

private:
    std::weak_ptr<SyncModelDelegate> m_delegate;
    bool m_needUpdate = false;
    bool m_showUpdate = false;
    bool m_isSyncAllData = false;
    bool m_isDownloading = false;
};
