#pragma once
#include "Protocol/DownloadProgressDelegate.h"
#include "Protocol/NetworkRecDelegate.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class RequestDownload;

// A library screen that follows the downloads: the manager passes on every download reply
// and every fraction. Held weakly; a listener may go without unregistering.
class SaleslibraryModelDelegate {
public:
    virtual ~SaleslibraryModelDelegate() = default;
    virtual int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>&) { return 0; }
    virtual void ReciveDownloadPercent(const DownLoadRequestInfo&) {}
};

// The library's file downloads, shared by the library screens: what is downloading, paused
// and on the device. One instance per login; main thread only.
class SaleslibraryModel : public NetworkRecDelegate,
                          public DownloadProgressDelegate,
                          public std::enable_shared_from_this<SaleslibraryModel> {
public:
    // Builds the manager and scans the logged-in client's folders (use sharedInstance()).
    SaleslibraryModel();
    SaleslibraryModel(const SaleslibraryModel&) = delete;
    SaleslibraryModel& operator=(const SaleslibraryModel&) = delete;

    static std::shared_ptr<SaleslibraryModel> sharedInstance();
    // The manager when one exists, without making (and scanning for) a new one.
    static std::shared_ptr<SaleslibraryModel> existingInstance();
    // Cancels the running downloads, then forgets the manager; the next one scans again.
    static void freeInstance();

    // Starts (or resumes) the request's files with this manager as receiver: the download id.
    // A name already downloading sends nothing and answers that download's id.
    int sendRequest(const std::shared_ptr<RequestDownload>& request);
    void pauseDownloadFile(const std::string& name);
    void cancelDownloadFile(const std::optional<std::string>& name);
    void cancelAllUncompleteFiles();

    bool isInDownloadList(const std::optional<std::string>& name) const;
    bool isInPauseList(const std::optional<std::string>& name) const;
    bool isExists(int fileId) const { return m_existsFiles.count(fileId) != 0; }
    float getDownloadPercentage(const std::string& name) const;
    void removeExistsFiles(int fileId) { m_existsFiles.erase(fileId); }

    void registerCallBackList(const std::shared_ptr<SaleslibraryModelDelegate>& listener);
    void removeFromCallBackList(const SaleslibraryModelDelegate* listener);

    const std::vector<std::string>& downloadFileNameArray() const { return m_downloadFileNameArray; }
    const std::vector<std::string>& pauseFileArray() const { return m_pauseFileArray; }
    const std::map<std::string, float>& downloadPercentageDic() const { return m_downloadPercentageDic; }
    const std::set<int>& existsFiles() const { return m_existsFiles; }

    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override;
    void ReciveDownloadPercent(const DownLoadRequestInfo& info) override;

private:
    void loadExistsFiles();
    void downloadFileFinish(const std::string& name, int fileId);
    void forgetDownload(const std::string& name);
    // The server hears of fetched files once no download runs: its notices would compete with
    // the downloads for the connection slots and the server.
    void sendFinishNotices(bool evenWhileDownloading = false);
    std::vector<std::shared_ptr<SaleslibraryModelDelegate>> liveListeners() const;

    std::vector<std::string> m_downloadFileNameArray;
    std::vector<std::string> m_pauseFileArray;
    std::map<std::string, float> m_downloadPercentageDic;
    std::set<int> m_existsFiles;
    // Running names to their download id, so a second start of one file sends nothing.
    std::map<std::string, int> m_downloadIds;
    std::vector<int> m_pendingFinishNotices;
    std::vector<std::weak_ptr<SaleslibraryModelDelegate>> m_callBackDelegateArry;
};
