#include "Protocol/NetworkModel.h"

#include "Common/AppSession.h"
#include "Common/Language.h"
#include "Network/BRJSON.h"
#include "Protocol/AnswerText.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/FileNameList.h"
#include "Protocol/HttpNetworkCtrl.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/RequestInfoBase.h"
#include "Protocol/ServerCommands.h"

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
        info->setAnswerInFile(command->answerInRows());
        base::logf("the request body is %s,request id is %d", maskedBody(info->requestUrlBody().value_or("")).c_str(),
                   command->cmdCode());
        int code = transport->SendHttpRequest(info);
        if (code <= 0) {
            // No code free for it: the requester hears of a failure rather than wait forever.
            answerUnsentLater({command, {}, HttpNetworkCtrl::httpRspForError(0)});
            return code;
        }
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
        if (!download->fileNameList() || download->fileNameList()->empty())
            return download->downloadId();
        // The list goes out a window at a time, the next file as one is answered: tens of
        // thousands of files never stand on the transport at once, nor hold as many codes.
        {
            std::lock_guard guard(lock_);
            batches_[download.get()] = PendingBatch{download, download->fileNames(), 0, 0, {}};
        }
        fillWindow(download.get());
        return download->downloadId();
    }
    return -1;
}

void NetworkModel::fillWindow(const RequestInterfaceBase* key)
{
    auto transport = HttpNetworkCtrl::sharedInstance();
    for (;;) {
        std::shared_ptr<RequestDownload> download;
        std::string name;
        {
            std::lock_guard guard(lock_);
            auto it = batches_.find(key);
            if (it == batches_.end())
                return;
            PendingBatch& batch = it->second;
            const auto& names = *batch.names;
            while (batch.next < names.size() && batch.isCancelled(names[batch.next]))
                ++batch.next;
            if (batch.next >= names.size()) {
                if (batch.inFlight == 0)
                    batches_.erase(it);
                return;
            }
            if (batch.inFlight >= kBatchWindow)
                return;
            download = batch.command;
            name = std::string(names[batch.next++]);
            ++batch.inFlight;
        }
        auto requester = std::dynamic_pointer_cast<DownloadProgressDelegate>(download->receiveDelegete());
        auto info = std::make_shared<DownLoadRequestInfo>();
        info->setRequestType(download->requestType());
        info->setCmdCode(download->cmdCode());
        info->setFileId(download->fileId());
        info->setImgType(download->imgType());
        info->setProgressType(download->progressType());
        info->setMaximumFileSize(download->maximumFileSize());
        info->setDownloadId(download->downloadId());
        info->setFileName(name);
        info->setDelegate(weak_from_this());
        info->setDownloadProgressDelegate(requester);
        int code = transport->SendHttpRequest(info);
        if (code <= 0) {
            // Every code of downloads is waiting for its answer: this file fails on its own
            // rather than share a code and have one of the two answers lost.
            {
                std::lock_guard guard(lock_);
                if (auto it = batches_.find(key); it != batches_.end())
                    --it->second.inFlight;
            }
            answerUnsentLater({download, name, HttpNetworkCtrl::httpRspForError(0)});
            continue;
        }
        info->setRequestCode(code);
        std::lock_guard guard(lock_);
        dicRequestList_[code] = download;
    }
}

void NetworkModel::exchangeEnded(const RequestInterfaceBase* key)
{
    {
        std::lock_guard guard(lock_);
        auto it = batches_.find(key);
        if (it == batches_.end())
            return;
        if (it->second.inFlight > 0)
            --it->second.inFlight;
    }
    fillWindow(key);
}

void NetworkModel::cancelUnsentBatchFiles()
{
    std::vector<Unsent> cancelled;
    {
        std::lock_guard guard(lock_);
        for (auto it = batches_.begin(); it != batches_.end();) {
            PendingBatch& batch = it->second;
            if (batch.command->progressType() != kProgressTypeBatch) {
                ++it;
                continue;
            }
            for (; batch.next < batch.names->size(); ++batch.next) {
                std::string_view name = (*batch.names)[batch.next];
                if (!batch.isCancelled(name))
                    cancelled.push_back({batch.command, std::string(name),
                                         HttpNetworkCtrl::httpRspForError(BRRequestCancelledErrorType)});
            }
            it = batch.inFlight == 0 ? batches_.erase(it) : std::next(it);
        }
    }
    for (auto& unsent : cancelled)
        answerUnsentLater(std::move(unsent));
}

void NetworkModel::answerUnsentLater(Unsent unsent)
{
    {
        std::lock_guard guard(lock_);
        unsent_.push_back(std::move(unsent));
        if (unsentTurnPosted_)
            return;
        unsentTurnPosted_ = true;
    }
    std::weak_ptr<NetworkModel> weak = weak_from_this();
    base::RunLoop::main().post([weak] {
        auto self = weak.lock();
        if (!self)
            return;
        auto answer = JSONValue(std::string(HttpNetworkCtrl::kFailureText));
        // One at a time: an answer may lead its requester to cancel the others.
        for (;;) {
            Unsent unsent;
            {
                std::lock_guard guard(self->lock_);
                if (self->unsent_.empty()) {
                    self->unsentTurnPosted_ = false;
                    return;
                }
                unsent = std::move(self->unsent_.front());
                self->unsent_.pop_front();
            }
            RequestInfoBase info;
            info.setCmdCode(unsent.command->cmdCode());
            info.setHttpRsp(unsent.httpRsp);
            self->deliver(unsent.command, unsent.command->RequestDecode(answer), info, unsent.fileName);
        }
    });
}

int NetworkModel::ReciveHttpRespond(const std::shared_ptr<RequestInfoBase>& info)
{
    if (!info)
        return 0;
    // A large answer comes in a file of its own rather than in memory.
    const auto& kept = info->recFile();
    std::string_view text = kept ? std::string_view() : AnswerText::textOf(info->recData());
    size_t length = kept ? size_t(kept->textLength()) : text.size();
    auto head = [&](size_t bytes) { return kept ? kept->head(bytes) : std::string(text.substr(0, bytes)); };
    // A sync answer runs to megabytes: the log keeps its head, which says what came back.
    constexpr size_t kLoggedBytes = 16 * 1024;
    if (length > kLoggedBytes)
        base::logf("\n id = %d\nReciveHttpMsg = \n%s... (%zu bytes),", info->cmdCode(),
                   maskedBody(head(kLoggedBytes)).c_str(), length);
    else
        base::logf("\n id = %d\nReciveHttpMsg = \n%s,", info->cmdCode(), maskedBody(head(length)).c_str());

    std::shared_ptr<RequestInterfaceBase> command;
    {
        std::lock_guard guard(lock_);
        auto it = dicRequestList_.find(info->requestCode());
        if (it != dicRequestList_.end()) {
            command = std::move(it->second);
            dicRequestList_.erase(it);
        }
    }
    // Cancelled: nobody is waiting for it.
    if (!command)
        return 0;
    // The next file of its list goes before this answer is handled, so the transport's queue
    // never runs dry while files still wait.
    exchangeEnded(command.get());
    auto file = std::dynamic_pointer_cast<DownLoadRequestInfo>(info);
    std::shared_ptr<NetBaseRst> result;
    if (kept) {
        // The command's result may keep the file to read its rows from.
        result = command->RequestDecodeText(AnswerText(kept));
    } else if (command->answerInRows()) {
        // Handed over, not copied, for the same reason.
        result = command->RequestDecodeText(std::make_shared<const base::Bytes>(std::move(info->recData())));
    } else {
        result = command->RequestDecode(JSONValue(text));
    }
    deliver(command, std::move(result), *info, file ? file->fileName() : std::string());
    return 0;
}

void NetworkModel::deliver(const std::shared_ptr<RequestInterfaceBase>& command, std::shared_ptr<NetBaseRst> result,
                           const RequestInfoBase& info, const std::string& fileName)
{
    if (!result)
        return;
    result->cmdCode = info.cmdCode();
    result->requestCode = info.requestCode();
    auto download = std::dynamic_pointer_cast<RequestDownload>(command);
    if (auto downloadResult = std::dynamic_pointer_cast<DownloadRst>(result); downloadResult && download) {
        downloadResult->fileId = download->fileId();
        downloadResult->type = download->imgType();
        downloadResult->fileName = fileName;
        downloadResult->downloadId = download->downloadId();
    }
    result->httpRsp = info.httpRsp();
    if (result->status == kStatusLocked) {
        if (auto app = AppSession::shared())
            app->logoutWithLockedUserMessage(result->status, result->message);
        // The requester still hears the end of its command: a wait box or a busy sync ends.
    }
    if (auto requester = command->receiveDelegete())
        requester->ReciveHttpRespondInfo(result);
}

void NetworkModel::cancelDownloadReuest(const std::string& name)
{
    {
        std::lock_guard guard(lock_);
        for (auto& [key, batch] : batches_) {
            for (size_t at = batch.next; at < batch.names->size(); ++at) {
                if ((*batch.names)[at] == name) {
                    batch.cancelled.push_back(name);
                    break;
                }
            }
        }
        std::erase_if(unsent_, [&](const Unsent& unsent) { return unsent.fileName == name; });
    }
    int code = HttpNetworkCtrl::sharedInstance()->CancelDownLoadWithName(name);
    if (code == 0)
        return;
    std::shared_ptr<RequestInterfaceBase> dropped;
    {
        std::lock_guard guard(lock_);
        if (auto it = dicRequestList_.find(code); it != dicRequestList_.end()) {
            dropped = std::move(it->second);
            dicRequestList_.erase(it);
        }
    }
    // Its place in the window goes to the next file of the same list.
    if (dropped)
        exchangeEnded(dropped.get());
}

void NetworkModel::cancelRequest(const std::shared_ptr<RequestInterfaceBase>& command)
{
    std::vector<int> codes;
    std::optional<PendingBatch> batch;
    std::deque<Unsent> unsent;
    {
        std::lock_guard guard(lock_);
        if (auto it = batches_.find(command.get()); it != batches_.end()) {
            batch = std::move(it->second);
            batches_.erase(it);
        }
        for (auto it = unsent_.begin(); it != unsent_.end();) {
            if (it->command == command) {
                unsent.push_back(std::move(*it));
                it = unsent_.erase(it);
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
    std::map<const RequestInterfaceBase*, PendingBatch> batches;
    std::deque<Unsent> unsent;
    {
        std::lock_guard guard(lock_);
        dropped.swap(dicRequestList_);
        batches.swap(batches_);
        unsent.swap(unsent_);
    }
    // Released outside the lock: a command's destructor may call back in.
}

size_t NetworkModel::pendingRequestCount() const
{
    std::lock_guard guard(lock_);
    size_t count = dicRequestList_.size() + unsent_.size();
    for (const auto& [key, batch] : batches_)
        count += batch.waiting();
    return count;
}

size_t NetworkModel::PendingBatch::waiting() const
{
    if (cancelled.empty())
        return names->size() - next;
    size_t count = 0;
    for (size_t at = next; at < names->size(); ++at)
        count += isCancelled((*names)[at]) ? 0 : 1;
    return count;
}

bool NetworkModel::PendingBatch::isCancelled(std::string_view name) const
{
    return std::find(cancelled.begin(), cancelled.end(), name) != cancelled.end();
}

bool NetworkModel::isPending(const std::shared_ptr<RequestInterfaceBase>& command) const
{
    if (!command)
        return false;
    std::lock_guard guard(lock_);
    if (batches_.count(command.get()))
        return true;
    for (const auto& unsent : unsent_)
        if (unsent.command == command)
            return true;
    for (const auto& [code, pending] : dicRequestList_)
        if (pending == command)
            return true;
    return false;
}
