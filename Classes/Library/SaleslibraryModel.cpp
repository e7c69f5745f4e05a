#include "Classes/Library/SaleslibraryModel.h"

#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Log.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/RequestDownloadFinish.h"
#include "Protocol/ServerCommands.h"

#include <algorithm>
#include <filesystem>
#include <mutex>

namespace {
std::mutex g_lock;
std::shared_ptr<SaleslibraryModel> g_instance;

bool fileAt(const std::optional<std::string>& path)
{
    std::error_code error;
    return path && std::filesystem::is_regular_file(*path, error);
}

bool contains(const std::vector<std::string>& list, const std::string& name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

void removeName(std::vector<std::string>& list, const std::string& name)
{
    list.erase(std::remove(list.begin(), list.end(), name), list.end());
}
} // namespace

SaleslibraryModel::SaleslibraryModel()
{
    loadExistsFiles();
}

std::shared_ptr<SaleslibraryModel> SaleslibraryModel::sharedInstance()
{
    std::lock_guard guard(g_lock);
    if (!g_instance)
        g_instance = std::make_shared<SaleslibraryModel>();
    return g_instance;
}

std::shared_ptr<SaleslibraryModel> SaleslibraryModel::existingInstance()
{
    std::lock_guard guard(g_lock);
    return g_instance;
}

void SaleslibraryModel::freeInstance()
{
    std::shared_ptr<SaleslibraryModel> dropped;
    {
        std::lock_guard guard(g_lock);
        dropped = std::move(g_instance);
    }
    if (dropped) {
        dropped->cancelAllUncompleteFiles();
        dropped->sendFinishNotices(true);
    }
}

void SaleslibraryModel::loadExistsFiles()
{
    auto manager = DataAccessManager::sharedDataModel();
    if (!manager)
        return;
    for (const auto& file : manager->getAllLibFiles()) {
        bool present = fileAt(PublicFunction::filePathWithNameFiletype(file.file_name, PublicFunction::getFileType(file.type)));
        if (!present) {
            if (auto update = manager->getLibFileUpdateByFileID(file.file_id))
                present = fileAt(PublicFunction::filePathWithNameFiletype(
                    update->oldFileName, PublicFunction::getFileType(update->oldFileType)));
        }
        if (present)
            m_existsFiles.insert(file.file_id);
    }
}

int SaleslibraryModel::sendRequest(const std::shared_ptr<RequestDownload>& request)
{
    if (!request)
        return 0;
    // A file already on its way is not asked for twice: one reply, one 519.
    if (const auto& names = request->fileNameList(); names && names->size() == 1) {
        if (auto running = m_downloadIds.find(std::string(names->front())); running != m_downloadIds.end())
            return running->second;
    }
    if (const auto& names = request->fileNameList()) {
        for (std::string_view view : *names) {
            std::string name(view);
            if (!contains(m_downloadFileNameArray, name))
                m_downloadFileNameArray.push_back(name);
            removeName(m_pauseFileArray, name);
        }
    }
    request->setReceiveDelegete(weak_from_this());
    int downloadId = NetworkModel::sharedInstance()->sendRequest(request);
    if (const auto& names = request->fileNameList()) {
        for (std::string_view view : *names) {
            std::string name(view);
            // The reply may already have come (a refused name answers at once).
            if (contains(m_downloadFileNameArray, name))
                m_downloadIds[name] = downloadId;
        }
    }
    return downloadId;
}

void SaleslibraryModel::pauseDownloadFile(const std::string& name)
{
    if (!contains(m_downloadFileNameArray, name))
        return;
    if (!contains(m_pauseFileArray, name))
        m_pauseFileArray.push_back(name);
    forgetDownload(name);
    NetworkModel::sharedInstance()->cancelDownloadReuest(name);
}

void SaleslibraryModel::cancelDownloadFile(const std::optional<std::string>& name)
{
    if (!name)
        return;
    if (contains(m_downloadFileNameArray, *name)) {
        forgetDownload(*name);
        NetworkModel::sharedInstance()->cancelDownloadReuest(*name);
    } else {
        removeName(m_pauseFileArray, *name);
    }
}

void SaleslibraryModel::cancelAllUncompleteFiles()
{
    auto names = m_downloadFileNameArray;
    for (const std::string& name : names)
        NetworkModel::sharedInstance()->cancelDownloadReuest(name);
}

bool SaleslibraryModel::isInDownloadList(const std::optional<std::string>& name) const
{
    return name && contains(m_downloadFileNameArray, *name);
}

bool SaleslibraryModel::isInPauseList(const std::optional<std::string>& name) const
{
    return name && contains(m_pauseFileArray, *name);
}

float SaleslibraryModel::getDownloadPercentage(const std::string& name) const
{
    auto found = m_downloadPercentageDic.find(name);
    return found == m_downloadPercentageDic.end() ? 0.0f : found->second;
}

void SaleslibraryModel::registerCallBackList(const std::shared_ptr<SaleslibraryModelDelegate>& listener)
{
    if (!listener)
        return;
    for (const auto& held : m_callBackDelegateArry) {
        if (held.lock() == listener)
            return;
    }
    m_callBackDelegateArry.push_back(listener);
}

void SaleslibraryModel::removeFromCallBackList(const SaleslibraryModelDelegate* listener)
{
    // Gone listeners are swept too; an expired pointer cannot be compared.
    std::erase_if(m_callBackDelegateArry, [listener](const std::weak_ptr<SaleslibraryModelDelegate>& held) {
        auto live = held.lock();
        return !live || live.get() == listener;
    });
}

std::vector<std::shared_ptr<SaleslibraryModelDelegate>> SaleslibraryModel::liveListeners() const
{
    std::vector<std::shared_ptr<SaleslibraryModelDelegate>> out;
    for (const auto& held : m_callBackDelegateArry) {
        if (auto live = held.lock())
            out.push_back(std::move(live));
    }
    return out;
}

void SaleslibraryModel::forgetDownload(const std::string& name)
{
    removeName(m_downloadFileNameArray, name);
    m_downloadIds.erase(name);
    sendFinishNotices();
}

void SaleslibraryModel::sendFinishNotices(bool evenWhileDownloading)
{
    if (m_pendingFinishNotices.empty() || (!m_downloadFileNameArray.empty() && !evenWhileDownloading))
        return;
    auto ids = std::move(m_pendingFinishNotices);
    m_pendingFinishNotices.clear();
    for (int fileId : ids) {
        auto finish = std::make_shared<RequestDownloadFinish>();
        finish->setFileId(fileId);
        finish->setReceiveDelegete(weak_from_this());
        int sent = NetworkModel::sharedInstance()->sendRequest(finish);
        base::logf("the rst is %d", sent);
    }
}

int SaleslibraryModel::ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result)
{
    if (!result)
        return 0;
    if (result->cmdCode == kCmdDownloadFinish) {
        if (result->status == "200")
            base::log("request download finish success!");
        return 0;
    }
    if (result->cmdCode != kCmdDownload)
        return 0;
    auto download = std::dynamic_pointer_cast<DownloadRst>(result);
    if (!download)
        return 0;
    base::logf("the download file is %s", download->fileName.c_str());
    if (download->status == "200") {
        // Only a file that landed counts: otherwise the old version and the server's view stay.
        if (fileAt(PublicFunction::filePathWithNameFiletype(download->fileName, download->type))) {
            m_existsFiles.insert(download->fileId);
            downloadFileFinish(download->fileName, download->fileId);
        } else {
            base::logf("no file after the download of %s, nothing confirmed", download->fileName.c_str());
        }
    }
    auto self = shared_from_this();
    for (const auto& listener : liveListeners())
        listener->ReciveHttpRespondInfo(result);
    forgetDownload(download->fileName);
    return 0;
}

void SaleslibraryModel::downloadFileFinish(const std::string& name, int fileId)
{
    if (auto manager = DataAccessManager::sharedDataModel())
        manager->deleteFileUpdateWithFileID(fileId);
    m_pendingFinishNotices.push_back(fileId);
    forgetDownload(name);
    m_downloadPercentageDic.erase(name);
}

void SaleslibraryModel::ReciveDownloadPercent(const DownLoadRequestInfo& info)
{
    m_downloadPercentageDic[info.fileName()] = info.downloadPercent();
    auto self = shared_from_this();
    for (const auto& listener : liveListeners())
        listener->ReciveDownloadPercent(info);
}
