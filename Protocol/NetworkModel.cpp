#include "Protocol/NetworkModel.h"

#include "App/BrivantaAppDelegate.h"
#include "Common/Language.h"
#include "Network/BRJSON.h"
#include "Platform/Base/Log.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/HttpNetworkCtrl.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/RequestInfoBase.h"

#include <cstring>

std::shared_ptr<NetworkModel> NetworkModel::sharedInstance()
{
    static const std::shared_ptr<NetworkModel> instance = std::make_shared<NetworkModel>();
    return instance;
}

std::string NetworkModel::maskedBody(const std::string& body)
{
    static const std::string key = "\"password\"";
    std::string out = body;
    size_t from = 0;
    while ((from = out.find(key, from)) != std::string::npos) {
        size_t i = from + key.size();
        from = i;
        while (i < out.size() && std::isspace(static_cast<unsigned char>(out[i])))
            ++i;
        if (i >= out.size() || out[i] != ':')
            continue;
        ++i;
        while (i < out.size() && std::isspace(static_cast<unsigned char>(out[i])))
            ++i;
        if (i >= out.size() || out[i] != '"')
            continue;
        size_t end = i + 1;
        while (end < out.size() && out[end] != '"')
            end += out[end] == '\\' ? 2 : 1;
        end = std::min(end, out.size());
        out.replace(i + 1, end - i - 1, "******");
        from = i + 8;
    }
    return out;
}

int NetworkModel::sendRequest(const std::shared_ptr<RequestInterfaceBase>& command)
{
    if (!command)
        return -1;
    auto transport = HttpNetworkCtrl::sharedInstance();
    if (command->requestType() == kRequestTypeMessage) {
        auto info = std::make_shared<RequestInfoBase>();
        info->setRequestType(command->requestType());
        info->setCmdCode(command->cmdCode());
        info->setRequestUrlBody(command->RequestEncode());
        info->setDelegate(weak_from_this());
        info->setRequestHeader(command->requestHead());
        base::logf("the request body is %s,request id is %d", maskedBody(info->requestUrlBody().value_or("")).c_str(),
                   command->cmdCode());
        int code = transport->SendHttpRequest(info);
        info->setRequestCode(code);
        command->setRequestCode(code);
        std::lock_guard guard(lock_);
        dicRequestList_[code] = command;
        return code;
    }
    if (command->requestType() == kRequestTypeDownload) {
        auto download = std::dynamic_pointer_cast<RequestDownload>(command);
        if (!download)
            return -1;
        if (!download->fileNameList())
            return download->downloadId();
        auto requester = std::dynamic_pointer_cast<DownloadProgressDelegate>(command->receiveDelegete());
        for (const std::string& name : *download->fileNameList()) {
            auto info = std::make_shared<DownLoadRequestInfo>();
            info->setRequestType(download->requestType());
            info->setCmdCode(download->cmdCode());
            info->setFileId(download->fileId());
            info->setImgType(download->imgType());
            info->setProgressType(download->progressType());
            info->setDownloadId(download->downloadId());
            info->setFileName(name);
            info->setDelegate(weak_from_this());
            info->setDownloadProgressDelegate(requester);
            int code = transport->SendHttpRequest(info);
            info->setRequestCode(code);
            std::lock_guard guard(lock_);
            dicRequestList_[code] = command;
        }
        return download->downloadId();
    }
    return -1;
}

int NetworkModel::ReciveHttpRespond(const std::shared_ptr<RequestInfoBase>& info)
{
    if (!info)
        return 0;
    const base::Bytes& bytes = info->recData();
    const char* data = reinterpret_cast<const char*>(bytes.data());
    std::string text(data, strnlen(data, bytes.size()));
    base::logf("\n id = %d\nReciveHttpMsg = \n%s,", info->cmdCode(), maskedBody(text).c_str());
    std::optional<base::Value> answer = JSONValue(text);

    std::shared_ptr<RequestInterfaceBase> command;
    {
        std::lock_guard guard(lock_);
        auto it = dicRequestList_.find(info->requestCode());
        if (it != dicRequestList_.end())
            command = it->second;
    }
    // Cancelled: nobody is waiting for it.
    if (!command)
        return 0;

    auto result = command->RequestDecode(answer);
    if (result) {
        result->cmdCode = info->cmdCode();
        result->requestCode = info->requestCode();
        auto download = std::dynamic_pointer_cast<RequestDownload>(command);
        auto file = std::dynamic_pointer_cast<DownLoadRequestInfo>(info);
        if (auto downloadResult = std::dynamic_pointer_cast<DownloadRst>(result); downloadResult && download && file) {
            downloadResult->fileId = download->fileId();
            downloadResult->type = download->imgType();
            downloadResult->fileName = file->fileName();
            downloadResult->downloadId = file->downloadId();
        }
        result->httpRsp = info->httpRsp();
    }
    {
        std::lock_guard guard(lock_);
        dicRequestList_.erase(info->requestCode());
    }

    if (result && result->status == kStatusLocked) {
        if (auto app = BrivantaAppDelegate::sharedAppDelegate())
            app->logoutWithLockedUserMessage(result->status, result->message);
        // The requester still hears the end of its command: a wait box or a busy sync ends.
    }
    if (result) {
        if (auto requester = command->receiveDelegete())
            requester->ReciveHttpRespondInfo(result);
    }
    return 0;
}

void NetworkModel::cancelDownloadReuest(const std::string& name)
{
    int code = HttpNetworkCtrl::sharedInstance()->CancelDownLoadWithName(name);
    if (code == 0)
        return;
    std::shared_ptr<RequestInterfaceBase> dropped;
    std::lock_guard guard(lock_);
    if (auto it = dicRequestList_.find(code); it != dicRequestList_.end()) {
        dropped = std::move(it->second);
        dicRequestList_.erase(it);
    }
}

void NetworkModel::cancelRequest(const std::shared_ptr<RequestInterfaceBase>& command)
{
    std::vector<int> codes;
    {
        std::lock_guard guard(lock_);
        for (auto it = dicRequestList_.begin(); it != dicRequestList_.end();) {
            if (it->second == command) {
                codes.push_back(it->first);
                it = dicRequestList_.erase(it);
            } else {
                ++it;
            }
        }
    }
    // Newest first: a running exchange cancelled first would free its slot for a waiting one of
    // the same command, which would then reach the server before its own cancel.
    auto transport = HttpNetworkCtrl::sharedInstance();
    for (auto it = codes.rbegin(); it != codes.rend(); ++it)
        transport->CancelRequestWithCode(*it);
}

void NetworkModel::cancelAllRequests()
{
    HttpNetworkCtrl::sharedInstance()->CancelAllRequests();
    std::map<int, std::shared_ptr<RequestInterfaceBase>> dropped;
    {
        std::lock_guard guard(lock_);
        dropped.swap(dicRequestList_);
    }
    // Released outside the lock: a command's destructor may call back in.
}

size_t NetworkModel::pendingRequestCount() const
{
    std::lock_guard guard(lock_);
    return dicRequestList_.size();
}
