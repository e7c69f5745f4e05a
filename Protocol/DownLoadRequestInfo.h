#pragma once
#include "Protocol/DownloadProgressDelegate.h"
#include "Protocol/RequestInfoBase.h"

#include <cstdint>

// One file of a download command.
class DownLoadRequestInfo : public RequestInfoBase {
public:
    int fileId() const { return m_fileId; }
    void setFileId(int id) { m_fileId = id; }
    int downloadId() const { return m_downloadId; }
    void setDownloadId(int id) { m_downloadId = id; }
    // The file type number: the server folder and the local folder.
    int imgType() const { return m_imgType; }
    void setImgType(int type) { m_imgType = type; }
    // 1 per-file progress to the requester, 2 batch progress, other none.
    int progressType() const { return m_progressType; }
    void setProgressType(int type) { m_progressType = type; }
    const std::string& fileName() const { return m_fileName; }
    void setFileName(std::string name) { m_fileName = std::move(name); }
    std::shared_ptr<DownloadProgressDelegate> downloadProgressDelegate() const { return m_downloadProgressDelegate.lock(); }
    const std::weak_ptr<DownloadProgressDelegate>& downloadProgressReceiver() const { return m_downloadProgressDelegate; }
    void setDownloadProgressDelegate(std::weak_ptr<DownloadProgressDelegate> receiver)
    {
        m_downloadProgressDelegate = std::move(receiver);
    }
    uint64_t maximumFileSize() const { return m_maximumFileSize; }
    void setMaximumFileSize(uint64_t bytes) { m_maximumFileSize = bytes; }
    float downloadPercent() const { return m_downloadPercent; }
    void setDownloadPercent(float fraction) { m_downloadPercent = fraction; }

private:
    int m_fileId = 0;
    int m_downloadId = 0;
    int m_imgType = -1;
    int m_progressType = -1;
    std::string m_fileName;
    uint64_t m_maximumFileSize = 0;
    std::weak_ptr<DownloadProgressDelegate> m_downloadProgressDelegate;
    float m_downloadPercent = 0;
};
