#pragma once
#include "Platform/Base/Date.h"
#include "Platform/Base/NotificationCenter.h"
#include "Protocol/DownloadProgressDelegate.h"
#include "Protocol/FileNameList.h"
#include "Protocol/NetworkRecDelegate.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class NetBaseRst;
class RequestInterfaceBase;
namespace base {
class Timer;
}

// The sync screen: told when a pending sync should start, of the progress, the end and any
// break of a sync. Every operation is optional.
class SyncModelDelegate {
public:
    virtual ~SyncModelDelegate() = default;
    virtual void startSyncData() {}
    virtual void breakSync(const std::string& message) {}
    virtual void downloadimageFinished(int imageType) {}
    virtual void finishedSync() {}
    virtual void setProgressImageTypeRemainTime(float progress, int imageType, int remainTime) {}
    virtual void getCustomerFinished() {}
};

// The sync engine: fills the client's database from the server and fetches the files its rows
// name, one step per answer on the main run loop. Every request of a sync carries the sync's
// generation; answers of an earlier one are dropped. One instance per login.
class SyncModel : public DownloadProgressDelegate, public std::enable_shared_from_this<SyncModel> {
public:
    // Posted on the main loop for each file put in place by a download: the object is the
    // file's name (a std::string), the user info its file type.
    static constexpr const char* kFileArrivedNotification = "SyncFileArrived";

    static std::shared_ptr<SyncModel> sharedInstance();
    static void freeInstance();

    SyncModel();
    ~SyncModel() override;

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
    int imageType() const { return m_imageType; }
    const std::optional<base::Date>& lastTime() const { return m_lastTime; }
    float existFilesRat() const { return m_existFilesRat; }
    // Files that failed twice in the last sync and are still not on disk.
    int missingFileCount() const { return m_missingFileCount; }
    // Of those, the ones whose answer was too large to take (asked for once).
    int tooLargeFileCount() const { return m_tooLargeFileCount; }
    // The last sync found the disk below its reserve and asked for no more files after it.
    bool diskWasFull() const { return m_diskFull; }
    // Whether the thumbnail run is making or checking thumbnails (one such run at a time).
    bool thumbnailRunUnderway() const;
    // Pictures the thumbnail run has gone through, counting on over its passes: how far it is.
    size_t thumbnailRunPictures() const;
    int generation() const { return m_generation; }

    // Asks the sync screen to start, which it does when a sync is pending.
    void startSyncData();
    void startSync();
    void resetDownloadProgress();
    // Tells the screen, then stops the sync's own requests.
    void breakSync(const std::string& message);
    // An answer of the running sync.
    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result);
    // The running phase's share of its files answered.
    void setProgress(float progress) override;
    void netUnconnect();

    // Remaining seconds from the elapsed time, the files still listed (N) and their weighted
    // progress (D, already truncated).
    static int remainingSeconds(double elapsed, int listed, int weighted);

    // The logged-in client's download folders (file types 1 to 9 and "tempDownload"), each
    // made when missing; nothing for a client id that is not one safe folder name.
    void createAllDirectorys();

private:
    class Listener;
    friend class Listener;

    void receive(const std::shared_ptr<NetBaseRst>& result, int generation, int imageType);
    void send(const std::shared_ptr<RequestInterfaceBase>& command, int imageType = 0);
    void requestLogin();
    void loginRespond(const std::shared_ptr<NetBaseRst>& result);
    // The tables of a successful answer, or nothing once the sync is broken with its message.
    template <class Tables>
    std::shared_ptr<Tables> tablesOrBreak(const std::shared_ptr<NetBaseRst>& result);
    void requestSync();
    void getAllSyncTablesRespond(const std::shared_ptr<NetBaseRst>& result);
    void requestFileTables();
    void getFilesSyncTablesRespond(const std::shared_ptr<NetBaseRst>& result);
    void getCustomerSync();
    void getCustomerSyncRespond(const std::shared_ptr<NetBaseRst>& result);
    void syncFinishedtype(const std::string& tableType);
    void syncFinishedProductRespond(const std::shared_ptr<NetBaseRst>& result);
    void finishedSync();
    void addAllImageLists();
    void startDownloadProductImage(int type);
    void afterImagePhases();
    void downloadAnswered(const std::shared_ptr<NetBaseRst>& result, int imageType);
    void sendPhaseDownload(std::shared_ptr<const FileNameList> names, int imageType);
    // Where `name` stands in the running phase's list, or nothing.
    std::optional<size_t> phaseIndexOf(std::string_view name) const;
    void releasePhase();
    // Ends the running phase when none of its downloads can answer any more; the files never
    // answered count as not downloaded.
    void checkPhaseEnd();
    void stopPhaseWatch();
    // The disk met its reserve: the running phase's other files and the later phases' are not
    // asked for, and count as not downloaded.
    void stopAskingForFiles();
    // Tells the files refused for want of room, once the parts being written no longer hold the
    // disk (or, `settled`, nothing of the phase is on its way): a disk below its reserve stops
    // the files; one with room again has each refused file asked once more, and one refused
    // again fails alone.
    void judgeRoom(bool settled);
    void later(double seconds, void (SyncModel::*step)(int), int argument);
    std::string needSyncAll(const char* flagName) const;
    std::string flagKey(const char* name) const;
    void storeFlag(const char* name, const std::string& value);
    void setReloadFlag(const char* name);
    FileNameList& listOf(int type);
    // The thumbnail run over the published product pictures' full image and thumbnail names,
    // handed to it a piece of a fixed room at a time.
    struct ThumbnailFeed;
    void startThumbnailRun();
    static void readThumbnailPiece(ThumbnailFeed& feed);
    float& progressOf(int type);

    std::weak_ptr<SyncModelDelegate> m_delegate;
    bool m_needUpdate = false;
    bool m_showUpdate = false;
    bool m_isSyncAllData = false;
    bool m_isDownloading = false;
    bool m_isCatalogOnshow = false;
    bool m_isCustomerOnShow = false;
    bool m_isSalesLibraryOnShow = false;
    int m_needWork = 0;
    int m_generation = 0;
    int m_imageType = 0;

    FileNameList m_downloadRemotingPImgList;
    FileNameList m_downloadRemotingPImgListIcon;
    FileNameList m_downloadRemotingPImgListLibimg;
    std::set<std::string> m_retryImageArry;
    int m_productImgCount = 0;
    int m_iconImgCount = 0;
    int m_libImgCount = 0;
    float m_productProgress = 0;
    float m_iconProgress = 0;
    float m_libProgress = 0;
    float m_existFilesRat = 0;
    std::optional<base::Date> m_lastTime;

    // The running phase's names, taken from its list and held once: its download command and
    // the transport's queue share them. Found by name through m_phaseByName (their places in
    // name order); m_phaseLeft of the m_phaseSize listed are still without an answer.
    std::shared_ptr<const FileNameList> m_phaseNames;
    std::vector<uint32_t> m_phaseByName;
    std::vector<bool> m_phaseAnswered;
    size_t m_phaseLeft = 0;
    size_t m_phaseSize = 0;
    // The running phase's download commands (its list and its re-sends), and the watch that
    // ends it should an answer never come.
    std::vector<std::weak_ptr<RequestInterfaceBase>> m_phaseCommands;
    std::shared_ptr<base::Timer> m_phaseWatch;
    // Names that failed after their re-send, by file type.
    std::vector<std::pair<int, std::string>> m_failedFiles;
    int m_missingFileCount = 0;
    int m_tooLargeFileCount = 0;
    std::set<std::string> m_tooLargeFiles;
    bool m_diskFull = false;
    // The running phase's files refused for want of room, not yet told apart: the disk full,
    // or the room taken by a file beside them or by their own size.
    std::vector<std::string> m_roomRefused;
    // The later phases' lists, left unasked once the disk was full.
    std::vector<std::pair<int, FileNameList>> m_notAsked;
    static constexpr double kPhaseWatchInterval = 1.0;

    // The sync's own commands in flight, cancelled on a break, with the listeners that carry
    // their answers back (a command holds its requester weakly).
    std::vector<std::pair<std::weak_ptr<RequestInterfaceBase>, std::shared_ptr<Listener>>> m_sent;
    std::vector<std::shared_ptr<base::Timer>> m_timers;
    // The thumbnail run, stopped after its current picture and joined when the engine goes
    // (logout), so that it does not outlive the client's folder. A sync asking for a run while
    // one works has it go round once more when it reaches its end.
    std::thread m_thumbRun;
    std::shared_ptr<ThumbnailFeed> m_thumbFeed;
    std::shared_ptr<std::atomic<bool>> m_thumbStop = std::make_shared<std::atomic<bool>>(false);
    base::ObserverToken m_netUnconnectObserver;
};
