#include "Protocol/DownloadRequest.h"

#include "Common/PublicFunction.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/LoginMode.h"
#include "Protocol/ServerCommands.h"

#include <mutex>

namespace {

std::mutex g_limitsLock;
std::optional<DownloadRequest::Limits> g_testLimits;

} // namespace

DownloadRequest::Limits DownloadRequest::limits()
{
    std::lock_guard lock(g_limitsLock);
    return g_testLimits.value_or(Limits{});
}

void DownloadRequest::setLimitsForTesting(std::optional<Limits> limits)
{
    std::lock_guard lock(g_limitsLock);
    g_testLimits = limits;
}

bool DownloadRequest::isPictureType(int imgType)
{
    // Product, catalogue, icon and cover images, and the skin archive of the pictures it carries.
    return (imgType >= 1 && imgType <= 4) || imgType == kSkinArchiveType;
}

uint64_t DownloadRequest::boundFor(int imgType, uint64_t listed)
{
    if (listed)
        return listed;
    Limits now = limits();
    return isPictureType(imgType) ? now.pictureCeiling : now.fileCeiling;
}

double DownloadRequest::timeBoundFor(int imgType, uint64_t listed)
{
    if (listed)
        return 0;
    Limits now = limits();
    return isPictureType(imgType) ? now.pictureSeconds : now.fileSeconds;
}

DownloadRequest::DownloadRequest(std::optional<net::URL> url) : MsgRequest(std::move(url))
{
    Limits now = limits();
    setMinimumFreeDiskSpace(now.diskReserve);
    setTimeOutSeconds(kTimeOutSeconds);
    setShouldResetDownloadProgress(false);
    setAllowResumeForFileDownloads(true);
    setShouldContinueWhenAppEntersBackground(true);
    // The POST asks for a file and changes nothing on the server: its connection is kept for
    // the next file rather than one connection (and one server thread) per file. A kept
    // connection that died before answering is tried once more on a new one.
    setShouldAttemptPersistentConnection(true);
}

DownloadRequest::Ptr DownloadRequest::requestWithURL(std::optional<net::URL> url)
{
    return Ptr(new DownloadRequest(std::move(url)));
}

void DownloadRequest::setReqInfo(RequestInfoBase& info)
{
    MsgRequest::setReqInfo(info);
    auto& file = static_cast<DownLoadRequestInfo&>(info);
    m_downloadId = file.downloadId();
    m_progressType = file.progressType();
    m_fileName = file.fileName();
    m_imgType = file.imgType();
    setMaximumDownloadSize(boundFor(m_imgType, file.maximumFileSize()));
    setMaximumDownloadSeconds(timeBoundFor(m_imgType, file.maximumFileSize()));
    if (m_progressType == kProgressTypeSingle) {
        m_percentReceiver = file.downloadProgressReceiver();
        setDownloadProgressDelegate(file.downloadProgressReceiver());
    }
}

void DownloadRequest::setPaths(std::string destination, std::string temporary)
{
    setDownloadDestinationPath(std::move(destination));
    m_temporaryPath = temporary;
    setTemporaryFileDownloadPath(std::move(temporary));
}

void DownloadRequest::setInfoWithRequest(const DownloadRequest& earlier)
{
    MsgRequest::setInfoWithRequest(earlier);
    m_downloadId = earlier.m_downloadId;
    m_progressType = earlier.m_progressType;
    m_fileName = earlier.m_fileName;
    m_imgType = earlier.m_imgType;
    m_percentReceiver = earlier.m_percentReceiver;
    // Thinned per file, across attempts.
    lastReportTime = earlier.lastReportTime;
    setDownloadProgressDelegate(earlier.downloadProgressDelegate());
    setDownloadDestinationPath(earlier.downloadDestinationPath());
    m_temporaryPath = earlier.m_temporaryPath;
    setTemporaryFileDownloadPath(earlier.m_temporaryPath);
    setMaximumDownloadSize(earlier.maximumDownloadSize());
    setMaximumDownloadSeconds(earlier.maximumDownloadSeconds());
    setLowSpeedLimit(earlier.lowSpeedBytes(), earlier.lowSpeedSeconds());
    setMinimumFreeDiskSpace(earlier.minimumFreeDiskSpace());
}

std::optional<std::string> DownloadRequest::temporaryPathFor(const std::string& name, int type)
{
    auto destination = PublicFunction::filePathWithNameFiletype(name, type);
    auto client = PublicFunction::clientFolderPath(LoginMode::sharedInstance()->clientID());
    if (!destination || !client || destination->compare(0, client->size() + 1, *client + "/") != 0)
        return std::nullopt;
    return *client + "/tempDownload/" + destination->substr(client->size() + 1);
}
