#include "Protocol/DownloadRequest.h"

#include "Common/PublicFunction.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/LoginMode.h"
#include "Protocol/ServerCommands.h"

#include "Platform/Base/Log.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>

namespace {

std::mutex g_limitsLock;
std::optional<DownloadRequest::Limits> g_testLimits;

// The limits a check of the built program names in BRIVANTA_TEST_LIMITS: "name=value" pairs
// apart by commas or blanks; a name or value not understood is logged and left as it was.
DownloadRequest::Limits limitsFromEnvironment()
{
    DownloadRequest::Limits limits;
    const char* given = std::getenv("BRIVANTA_TEST_LIMITS");
    if (!given)
        return limits;
    auto whole = [](uint64_t& member) { return [&member](double v) { member = uint64_t(v); }; };
    auto seconds = [](double& member) { return [&member](double v) { member = v; }; };
    const std::map<std::string, std::function<void(double)>> members = {
        {"pictureCeiling", whole(limits.pictureCeiling)}, {"fileCeiling", whole(limits.fileCeiling)},
        {"pictureSeconds", seconds(limits.pictureSeconds)}, {"fileSeconds", seconds(limits.fileSeconds)},
        {"lowSpeedBytes", whole(limits.lowSpeedBytes)}, {"lowSpeedSeconds", seconds(limits.lowSpeedSeconds)},
        {"diskReserve", whole(limits.diskReserve)}, {"commandSeconds", seconds(limits.commandSeconds)},
        {"tableSeconds", seconds(limits.tableSeconds)},
    };
    std::string text(given);
    std::replace(text.begin(), text.end(), ',', ' ');
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        auto equals = word.find('=');
        auto member = members.find(word.substr(0, equals));
        char* end = nullptr;
        double value = equals == std::string::npos ? -1 : std::strtod(word.c_str() + equals + 1, &end);
        if (member == members.end() || value < 0 || !end || *end) {
            base::logf("BRIVANTA_TEST_LIMITS: '%s' is no limit; ignored", word.c_str());
            continue;
        }
        member->second(value);
    }
    return limits;
}

} // namespace

DownloadRequest::Limits DownloadRequest::limits()
{
    static const Limits fromEnvironment = limitsFromEnvironment();
    std::lock_guard lock(g_limitsLock);
    return g_testLimits.value_or(fromEnvironment);
}

double DownloadRequest::answerSecondsFor(int cmdCode, uint64_t bodyBytes)
{
    Limits now = limits();
    return (isSyncTableCommand(cmdCode) ? now.tableSeconds : now.commandSeconds) + double(bodyBytes) / kSlowLinkBytesPerSecond;
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
