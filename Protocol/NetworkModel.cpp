#include "Protocol/NetworkModel.h"

#include "Common/AppSession.h"
#include "Common/Language.h"
#include "Network/BRJSON.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/HttpNetworkCtrl.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/RequestInfoBase.h"

#include <algorithm>
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
        // A long list goes out a slice per run-loop turn, so that tens of thousands of files
        // never hold the screen; the transport's queue runs them in the same order.
        PendingBatch batch{download, *download->fileNameList(), 0};
        sendSlice(batch);
        if (batch.next < batch.names.size()) {
            {
                std::lock_guard guard(lock_);
                pendingBatches_.push_back(std::move(batch));
            }
            scheduleBatches();
        }
        return download->downloadId();
    }
    return -1;
}

void NetworkModel::sendSlice(PendingBatch& batch)
{
    auto transport = HttpNetworkCtrl::sharedInstance();
    const auto& download = batch.command;
    auto requester = std::dynamic_pointer_cast<DownloadProgressDelegate>(download->receiveDelegete());
    size_t end = std::min(batch.names.size(), batch.next + kBatchSlice);
    for (; batch.next < end; ++batch.next) {
        auto info = std::make_shared<DownLoadRequestInfo>();
        info->setRequestType(download->requestType());
        info->setCmdCode(download->cmdCode());
        info->setFileId(download->fileId());
        info->setImgType(download->imgType());
        info->setProgressType(download->progressType());
        info->setDownloadId(download->downloadId());
        info->setFileName(batch.names[batch.next]);
        info->setDelegate(weak_from_this());
        info->setDownloadProgressDelegate(requester);
        int code = transport->SendHttpRequest(info);
        info->setRequestCode(code);
        std::lock_guard guard(lock_);
        dicRequestList_[code] = download;
    }
}

void NetworkModel::sendPendingSlices()
{
    for (;;) {
        std::optional<PendingBatch> batch;
        {
            std::lock_guard guard(lock_);
            if (pendingBatches_.empty())
                return;
            batch = std::move(pendingBatches_.front());
            pendingBatches_.pop_front();
        }
        while (batch->next < batch->names.size())
            sendSlice(*batch);
    }
}

void NetworkModel::scheduleBatches()
{
    if (batchTurnPosted_)
        return;
    batchTurnPosted_ = true;
    std::weak_ptr<NetworkModel> weak = weak_from_this();
    base::RunLoop::main().post([weak] {
        auto self = weak.lock();
        if (!self)
            return;
        self->batchTurnPosted_ = false;
        std::optional<PendingBatch> batch;
        {
            std::lock_guard guard(self->lock_);
            if (self->pendingBatches_.empty())
                return;
            batch = std::move(self->pendingBatches_.front());
            self->pendingBatches_.pop_front();
        }
        self->sendSlice(*batch);
        bool more = batch->next < batch->names.size();
        {
            std::lock_guard guard(self->lock_);
            // Still unfinished: back at the end, so two long lists share the turns.
            if (more)
                self->pendingBatches_.push_back(std::move(*batch));
            more = !self->pendingBatches_.empty();
        }
        if (more)
            self->scheduleBatches();
    });
}

int NetworkModel::ReciveHttpRespond(const std::shared_ptr<RequestInfoBase>& info)
{
    if (!info)
        return 0;
    const base::Bytes& bytes = info->recData();
    const char* data = reinterpret_cast<const char*>(bytes.data());
    std::string text(data, strnlen(data, bytes.size()));
    // A sync answer runs to megabytes: the log keeps its head, which says what came back.
    constexpr size_t kLoggedBytes = 16 * 1024;
    if (text.size() > kLoggedBytes)
        base::logf("\n id = %d\nReciveHttpMsg = \n%s... (%zu bytes),", info->cmdCode(),
                   maskedBody(text.substr(0, kLoggedBytes)).c_str(), text.size());
    else
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
        if (auto app = AppSession::shared())
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
    {
        std::lock_guard guard(lock_);
        for (auto& batch : pendingBatches_) {
            auto from = batch.names.begin() + long(batch.next);
            batch.names.erase(std::remove(from, batch.names.end(), name), batch.names.end());
        }
    }
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
    std::deque<PendingBatch> unsent;
    {
        std::lock_guard guard(lock_);
        for (auto it = pendingBatches_.begin(); it != pendingBatches_.end();) {
            if (it->command == command) {
                unsent.push_back(std::move(*it));
                it = pendingBatches_.erase(it);
            } else {
                ++it;
            }
        }
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
    std::deque<PendingBatch> unsent;
    {
        std::lock_guard guard(lock_);
        dropped.swap(dicRequestList_);
        unsent.swap(pendingBatches_);
    }
    // Released outside the lock: a command's destructor may call back in.
}

size_t NetworkModel::pendingRequestCount() const
{
    std::lock_guard guard(lock_);
    size_t count = dicRequestList_.size();
    for (const auto& batch : pendingBatches_)
        count += batch.names.size() - batch.next;
    return count;
}
