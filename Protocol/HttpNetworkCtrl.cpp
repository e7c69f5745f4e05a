#include "Protocol/HttpNetworkCtrl.h"

#include "Common/PublicFunction.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Net/NetError.h"
#include "Platform/Net/URL.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/DownloadRequest.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/MsgRequest.h"
#include "Protocol/ServerCommands.h"
#include "Protocol/ServerInfo.h"

#include <algorithm>
#include <filesystem>

const char* const HttpNetworkCtrl::kFailureText =
    R"({"content":"","results":[{"detail":"","message":"Network error!","status":"999"}]})";
const char* const HttpNetworkCtrl::kMissingFileText =
    R"({"content":"","results":[{"detail":"","message":"File is not exist!","status":"404"}]})";
const char* const HttpNetworkCtrl::kAnswerTooLargeText =
    R"({"content":"","results":[{"detail":"","message":"Answer too large!","status":"ANSWERTOOLARGE"}]})";
const char* const HttpNetworkCtrl::kDiskFullText =
    R"({"content":"","results":[{"detail":"","message":"Disk full!","status":"DISKFULL"}]})";
const char* const HttpNetworkCtrl::kDownloadDoneText =
    R"({"content":"","results":[{"detail":"","message":"Download Successfully!","status":"200"}]})";

namespace {

// Escapes what may not stand in an address at all; its delimiters (";" and "?" among them) stay.
std::string escapeAddress(const std::string& text)
{
    return net::percentEncode(text, ":/?#[]@!$&'()*+,;=");
}

// The connection was refused or the host not found: the server never saw the request.
bool neverReachedServer(const base::ErrorPtr& error)
{
    for (const base::Error* e = error.get(); e; e = e->underlying.get()) {
        if (e->domain == net::kStreamErrorDomain &&
            (e->code == int(net::ErrorKind::Refused) || e->code == int(net::ErrorKind::Dns)))
            return true;
    }
    return false;
}

base::Bytes bytesOf(const char* text)
{
    std::string_view view(text);
    return base::Bytes(view.begin(), view.end());
}

bool makeParentFolder(const std::string& path)
{
    auto parent = std::filesystem::path(path).parent_path().string();
    return base::FileManager::isDirectory(parent) || base::FileManager::createDirectories(parent);
}

} // namespace

std::shared_ptr<HttpNetworkCtrl> HttpNetworkCtrl::sharedInstance()
{
    // Never destroyed: requests may still be running on the network thread at exit.
    static const std::shared_ptr<HttpNetworkCtrl>* instance = new std::shared_ptr<HttpNetworkCtrl>([] {
        auto ctrl = std::make_shared<HttpNetworkCtrl>();
        ctrl->workQueueMsg_ = ctrl->makeQueue();
        ctrl->workQueueUpload_ = ctrl->makeQueue();
        ctrl->workQueueDownload_ = ctrl->makeQueue();
        ctrl->workQueueDownloadCur_ = ctrl->makeQueue();
        std::weak_ptr<HttpNetworkCtrl> weak = ctrl;
        ctrl->m_netUnconnectObserver = base::NotificationCenter::defaultCenter().addObserver(
            "netUnconnect", nullptr, [weak](const base::Notification&) {
                if (auto self = weak.lock())
                    self->netUnconnect();
            });
        return ctrl;
    }());
    return *instance;
}

HttpNetworkCtrl::HttpNetworkCtrl() = default;
HttpNetworkCtrl::~HttpNetworkCtrl() = default;

std::shared_ptr<BRNetworkQueue> HttpNetworkCtrl::makeQueue()
{
    auto queue = BRNetworkQueue::queue();
    queue->reset();
    queue->setDelegate(weak_from_this());
    queue->setRequestDidFinishSelector(BRNetworkQueue::selector(&HttpNetworkCtrl::OperationFinished));
    queue->setRequestDidFailSelector(BRNetworkQueue::selector(&HttpNetworkCtrl::OperationFailed));
    queue->setMaxConcurrentOperationCount(kMaxRunning);
    return queue;
}

int HttpNetworkCtrl::nextFreeCode(int cmdCode)
{
    // A code whose answer is still awaited is passed over, so no answer reaches a newer requester.
    for (int tries = 0; tries < 65534; ++tries) {
        uint16_t value = m_counter;
        m_counter = value + 1 == 65535 ? 1 : uint16_t(value + 1);
        int code = int(unsigned(cmdCode) << 16) | value;
        if (!m_codesInUse.count(code))
            return code;
    }
    return 0;
}

int HttpNetworkCtrl::getTagCode(int cmdCode)
{
    std::lock_guard guard(lock_);
    return nextFreeCode(cmdCode);
}

int HttpNetworkCtrl::takeCode(int cmdCode)
{
    std::lock_guard guard(lock_);
    int code = nextFreeCode(cmdCode);
    if (code != 0)
        m_codesInUse.insert(code);
    return code;
}

bool HttpNetworkCtrl::isCodeInUse(int code) const
{
    std::lock_guard guard(lock_);
    return m_codesInUse.count(code) > 0;
}

void HttpNetworkCtrl::forgetCode(int code)
{
    std::lock_guard guard(lock_);
    m_codesInUse.erase(code);
}

std::string HttpNetworkCtrl::GetMsgURLWithHeader(const std::string& head)
{
    auto server = PublicFunction::GetServer();
    std::string url = "http://" + server->strIP() + ":" + std::to_string(server->httpPort()) + "/" +
        server->websiteServer() + "/" + head;
    base::logf("the url is %s", url.c_str());
    return escapeAddress(url);
}

int HttpNetworkCtrl::SendHttpRequest(const std::shared_ptr<RequestInfoBase>& info)
{
    if (!info)
        return -1;
    int code = takeCode(info->cmdCode());
    // Every code of that command awaits its answer: nothing is sent, and the caller answers.
    if (code == 0)
        return 0;
    info->setRequestCode(code);
    if (info->requestType() == kRequestTypeDownload) {
        if (auto file = std::dynamic_pointer_cast<DownLoadRequestInfo>(info))
            return sendDownload(file, code);
    }
    return sendMessage(info, code);
}

int HttpNetworkCtrl::sendMessage(const std::shared_ptr<RequestInfoBase>& info, int code)
{
    dicRequestCount_.erase(code);
    auto request = MsgRequest::requestWithURL(net::URL::parse(GetMsgURLWithHeader(info->requestHeader().value_or(""))));
    request->setReqInfo(*info);
    request->setrequestCode(code);
    // A connection kept from an earlier answer may be dropped under an upload, and the
    // engine's quiet second try would store it twice.
    if (isUploadCommand(info->cmdCode()))
        request->setShouldAttemptPersistentConnection(false);
    auto& queue = info->requestType() == kRequestTypeUpload ? workQueueUpload_ : workQueueMsg_;
    queue->addOperation(request);
    queue->go();
    return code;
}

int HttpNetworkCtrl::sendDownload(const std::shared_ptr<DownLoadRequestInfo>& info, int code)
{
    const std::string& name = info->fileName();
    std::optional<std::string> address, destination, temporary;
    if (PublicFunction::isSafePathComponent(name)) {
        address = PublicFunction::fileURLWithNameFiletype(name, info->imgType());
        destination = PublicFunction::filePathWithNameFiletype(name, info->imgType());
        temporary = DownloadRequest::temporaryPathFor(name, info->imgType());
    }
    std::optional<net::URL> url = address ? net::URL::parse(*address) : std::nullopt;
    if (address)
        base::logf("the img url is %s", address->c_str());
    if (!url || !destination || !temporary || !makeParentFolder(*destination) || !makeParentFolder(*temporary)) {
        // Nothing is asked for a name that is no file of ours: a bad address, answered next turn.
        auto answer = std::make_shared<DownLoadRequestInfo>();
        answer->setFileName(name);
        answer->setDownloadId(info->downloadId());
        answer->setRecData(bytesOf(kFailureText));
        answer->setRequestType(info->requestType());
        answer->setRequestCode(code);
        answer->setCmdCode(getCmdcode(code));
        answer->setDelegate(info->delegate());
        answer->setHttpRsp(httpRspForError(BRUnableToCreateRequestErrorType));
        answerLater(answer);
        return code;
    }

    // A file already on its way is fetched once; this requester hears with the first.
    if (auto it = m_destinations.find(*destination); it != m_destinations.end()) {
        m_joiners[it->second].push_back({code, info});
        return code;
    }

    auto request = DownloadRequest::requestWithURL(url);
    request->setDelegate(weak_from_this());
    request->setReqInfo(*info);
    request->setPaths(*destination, *temporary);
    request->setrequestCode(code);
    m_destinations[*destination] = code;
    if (info->progressType() == kProgressTypeBatch) {
        workQueueDownload_->addOperation(request);
        workQueueDownload_->go();
        workQueueDownload_->setDownloadProgressDelegate(info->downloadProgressReceiver());
    } else {
        dicDownloadCount_.erase(code);
        workQueueDownloadCur_->addOperation(request);
        workQueueDownloadCur_->go();
    }
    return code;
}

void HttpNetworkCtrl::answerLater(const std::shared_ptr<RequestInfoBase>& answer)
{
    std::weak_ptr<HttpNetworkCtrl> weak = weak_from_this();
    base::RunLoop::main().post([weak, answer] {
        auto self = weak.lock();
        if (!self || !self->isCodeInUse(answer->requestCode()))
            return;
        self->forgetCode(answer->requestCode());
        if (auto receiver = answer->delegate())
            receiver->ReciveHttpRespond(answer);
    });
}

void HttpNetworkCtrl::deliver(const std::shared_ptr<RequestInfoBase>& answer, const MsgRequest& request, int httpRsp)
{
    answer->setRequestType(request.requestType());
    answer->setRequestCode(request.tag());
    answer->setCmdCode(getCmdcode(request.tag()));
    answer->setDelegate(request.modelDelegageReference());
    answer->setHttpRsp(httpRsp);
    forgetCode(request.tag());
    if (auto receiver = answer->delegate())
        receiver->ReciveHttpRespond(answer);
}

void HttpNetworkCtrl::answerMessage(MsgRequest& request, const char* text, int httpRsp)
{
    auto answer = std::make_shared<RequestInfoBase>();
    answer->setRecData(bytesOf(text));
    deliver(answer, request, httpRsp);
}

void HttpNetworkCtrl::answerDownload(DownloadRequest& request, const char* text, int httpRsp)
{
    int code = request.tag();
    dicDownloadCount_.erase(code);
    if (auto it = m_destinations.find(request.downloadDestinationPath()); it != m_destinations.end() && it->second == code)
        m_destinations.erase(it);
    std::vector<Joiner> joiners;
    if (auto it = m_joiners.find(code); it != m_joiners.end()) {
        joiners = std::move(it->second);
        m_joiners.erase(it);
    }

    auto answer = std::make_shared<DownLoadRequestInfo>();
    answer->setFileName(request.fileName());
    answer->setDownloadId(request.downloadId());
    answer->setRecData(bytesOf(text));
    deliver(answer, request, httpRsp);

    for (const auto& joiner : joiners) {
        auto joined = std::make_shared<DownLoadRequestInfo>();
        joined->setFileName(joiner.info->fileName());
        joined->setDownloadId(joiner.info->downloadId());
        joined->setRecData(bytesOf(text));
        joined->setRequestType(joiner.info->requestType());
        joined->setRequestCode(joiner.code);
        joined->setCmdCode(getCmdcode(joiner.code));
        joined->setDelegate(joiner.info->delegate());
        joined->setHttpRsp(httpRsp);
        forgetCode(joiner.code);
        if (auto receiver = joined->delegate())
            receiver->ReciveHttpRespond(joined);
    }
}

void HttpNetworkCtrl::reportBatchEndIfEmpty()
{
    if (workQueueDownload_->requestsCount() != 0)
        return;
    if (auto receiver = workQueueDownload_->downloadProgressDelegate())
        receiver->setProgress(1.0f);
}

void HttpNetworkCtrl::OperationFinished(BRHTTPRequest& request)
{
    auto* message = dynamic_cast<MsgRequest*>(&request);
    if (!message)
        return;
    if (auto* download = dynamic_cast<DownloadRequest*>(message)) {
        int status = request.responseStatusCode();
        // The engine fails any other status of a file download; nothing else is a file.
        if (status != 200 && status != 206) {
            downloadFailed(*download, BRFileManagementError, nullptr);
            return;
        }
        if (download->percentReceiver() && !download->reportedComplete)
            reportPercent(*download, 1.0f);
        answerDownload(*download, kDownloadDoneText, 0);
        if (download->progressType() == kProgressTypeBatch)
            reportBatchEndIfEmpty();
        return;
    }
    dicRequestCount_.erase(request.tag());
    auto answer = std::make_shared<RequestInfoBase>();
    if (auto kept = request.takeResponseFile()) {
        answer->setRecFile(std::move(kept));
    } else if (auto body = request.takeResponseData(); body && !body->empty()) {
        base::Bytes data = std::move(*body);
        data.push_back(0);
        answer->setRecData(std::move(data));
    }
    deliver(answer, *message, 0);
}

void HttpNetworkCtrl::OperationFailed(BRHTTPRequest& request)
{
    auto error = request.error();
    int engineError = error ? error->code : 0;
    base::logf("---RequestDidFailed---\n redID = %d, errorID = %d, %s\n", request.tag(), engineError,
               error ? error->description.c_str() : "");
    auto* message = dynamic_cast<MsgRequest*>(&request);
    if (!message)
        return;
    if (auto* download = dynamic_cast<DownloadRequest*>(message))
        downloadFailed(*download, engineError, error);
    else
        messageFailed(*message, engineError, error);
}

void HttpNetworkCtrl::downloadFailed(DownloadRequest& request, int engineError, const base::ErrorPtr& error)
{
    const char* text = kFailureText;
    int status = request.responseStatusCode();
    // The engine kept the destination and dropped what such an answer brought.
    if (engineError == BRFileManagementError && (status == 404 || status == 410))
        text = kMissingFileText;
    int httpRsp = httpRspForError(engineError);
    bool cancelled = engineError == BRRequestCancelledErrorType;
    // The same file brings the same answer: one too large to take, or that never ended within
    // its time, is not asked for again; nor is one the disk had no room for: whoever asked
    // for it knows whether the room came back.
    const char* final = nullptr;
    if (BRHTTPRequest::isAnswerTooLarge(error))
        final = kAnswerTooLargeText;
    else if (BRHTTPRequest::isDiskFull(error))
        final = kDiskFullText;
    else if (BRHTTPRequest::isPastTimeBound(error))
        final = text;
    if (final) {
        if (request.progressType() == kProgressTypeBatch)
            reportBatchEndIfEmpty();
        answerDownload(request, final, httpRsp);
        return;
    }

    if (request.progressType() == kProgressTypeBatch) {
        reportBatchEndIfEmpty();
        answerDownload(request, text, httpRsp);
        return;
    }
    int& attempts = dicDownloadCount_[request.tag()];
    if (!cancelled && attempts < kDownloadRetries) {
        ++attempts;
        auto retry = DownloadRequest::requestWithURL(request.url());
        retry->setInfoWithRequest(request);
        workQueueDownloadCur_->addOperation(retry);
        workQueueDownloadCur_->go();
        return;
    }
    answerDownload(request, text, httpRsp);
}

void HttpNetworkCtrl::messageFailed(MsgRequest& request, int engineError, const base::ErrorPtr& error)
{
    int code = request.tag();
    // The same question brings the same answer: one too large to hold is not asked for again,
    // nor one that never ended within its time (a re-send would hold the user as long again).
    if (BRHTTPRequest::isAnswerTooLarge(error) || BRHTTPRequest::isPastTimeBound(error)) {
        dicRequestCount_.erase(code);
        answerMessage(request, BRHTTPRequest::isAnswerTooLarge(error) ? kAnswerTooLargeText : kFailureText,
                      httpRspForError(engineError));
        return;
    }
    bool mayResend = engineError != BRRequestCancelledErrorType;
    // An upload is stored by the server once it read it: only one it never saw goes again.
    if (isUploadCommand(request.cmdCode()) && !neverReachedServer(error))
        mayResend = false;
    auto it = dicRequestCount_.find(code);
    int attempts = it == dicRequestCount_.end() ? 0 : it->second;
    if (mayResend && attempts <= 0) {
        dicRequestCount_[code] = attempts + 1;
        auto failed = std::static_pointer_cast<MsgRequest>(request.shared_from_this());
        std::weak_ptr<HttpNetworkCtrl> weak = weak_from_this();
        m_resends[code] = base::Timer::scheduledOn(base::RunLoop::main(), kResendDelay, false,
                                                   [weak, failed, code](base::Timer&) {
                                                       auto self = weak.lock();
                                                       if (!self)
                                                           return;
                                                       self->m_resends.erase(code);
                                                       self->reRequestMsg(failed);
                                                   });
        return;
    }
    dicRequestCount_.erase(code);
    answerMessage(request, kFailureText, httpRspForError(engineError));
}

void HttpNetworkCtrl::reRequestMsg(const std::shared_ptr<MsgRequest>& failed)
{
    auto request = MsgRequest::requestWithURL(failed->url());
    request->setInfoWithRequest(*failed);
    auto& queue = failed->requestType() == kRequestTypeUpload ? workQueueUpload_ : workQueueMsg_;
    queue->addOperation(request);
    queue->go();
}

void HttpNetworkCtrl::requestDidReceiveData(BRHTTPRequest& request, const BRData& data)
{
    auto* download = dynamic_cast<DownloadRequest*>(&request);
    if (!download || !data)
        return;
    download->addReceiveLength(data->size());
    if (!download->percentReceiver() || download->reportedComplete)
        return;
    auto headers = request.responseHeaders();
    auto length = headers ? headers->first("Content-Length") : std::nullopt;
    if (!length)
        return; // no measure: only the final 1.0
    float total = std::strtof(length->c_str(), nullptr);
    float partial = float(request.partialDownloadSize());
    float received = float(download->receiveLength());
    float fraction = partial > 0 ? (partial + received) / (total + partial) : received / total;
    if (!(fraction >= 0))
        return;
    fraction = std::min(fraction, 1.0f);
    double now = base::RunLoop::main().now();
    if (fraction < 1.0f && download->lastReportTime && now - *download->lastReportTime < kProgressInterval)
        return;
    reportPercent(*download, fraction);
}

void HttpNetworkCtrl::reportPercent(DownloadRequest& request, float fraction)
{
    auto receiver = request.percentReceiver();
    if (!receiver)
        return;
    request.lastReportTime = base::RunLoop::main().now();
    request.reportedComplete = fraction >= 1.0f;
    DownLoadRequestInfo info;
    info.setFileName(request.fileName());
    info.setDownloadId(request.downloadId());
    info.setDownloadPercent(fraction);
    info.setDownloadProgressDelegate(receiver);
    receiver->ReciveDownloadPercent(info);
}

int HttpNetworkCtrl::CancelDownLoadWithName(const std::string& name)
{
    // A later requester of a file already on its way gives up alone; the transfer goes on.
    for (auto& [primary, joiners] : m_joiners) {
        for (auto it = joiners.begin(); it != joiners.end(); ++it) {
            if (it->info->fileName() == name) {
                int code = it->code;
                joiners.erase(it);
                forgetCode(code);
                return code;
            }
        }
    }
    for (const auto& queue : {workQueueDownloadCur_, workQueueDownload_}) {
        for (size_t index = 0;; ++index) {
            std::shared_ptr<DownloadRequest> request;
            {
                std::lock_guard guard(lock_);
                queue->setShouldCancelAllRequestsOnFailure(false);
                auto operations = queue->operations();
                if (index >= operations.size())
                    break;
                request = std::dynamic_pointer_cast<DownloadRequest>(operations[index]);
            }
            if (!request || request->fileName() != name || request->isCancelled())
                continue;
            int code = request->tag();
            request->clearDelegatesAndCancel();
            dicDownloadCount_.erase(code);
            m_joiners.erase(code);
            if (auto it = m_destinations.find(request->downloadDestinationPath());
                it != m_destinations.end() && it->second == code)
                m_destinations.erase(it);
            forgetCode(code);
            return code;
        }
    }
    return 0;
}

void HttpNetworkCtrl::CancelRequestWithCode(int code)
{
    if (auto it = m_resends.find(code); it != m_resends.end()) {
        it->second->invalidate();
        m_resends.erase(it);
    }
    dicRequestCount_.erase(code);
    dicDownloadCount_.erase(code);
    for (auto& [primary, joiners] : m_joiners)
        std::erase_if(joiners, [code](const Joiner& joiner) { return joiner.code == code; });
    for (const auto& queue : {workQueueMsg_, workQueueUpload_, workQueueDownload_, workQueueDownloadCur_}) {
        std::vector<std::shared_ptr<MsgRequest>> matches;
        {
            std::lock_guard guard(lock_);
            queue->setShouldCancelAllRequestsOnFailure(false);
            for (const auto& operation : queue->operations()) {
                auto request = std::dynamic_pointer_cast<MsgRequest>(operation);
                if (request && request->tag() == code && !request->isCancelled())
                    matches.push_back(request);
            }
        }
        for (const auto& request : matches) {
            if (auto* download = dynamic_cast<DownloadRequest*>(request.get())) {
                if (auto it = m_destinations.find(download->downloadDestinationPath());
                    it != m_destinations.end() && it->second == code)
                    m_destinations.erase(it);
                // Later requesters of the same file still hear of it.
                if (auto it = m_joiners.find(code); it != m_joiners.end()) {
                    for (const auto& joiner : it->second)
                        forgetCode(joiner.code);
                    m_joiners.erase(it);
                }
            }
            request->clearDelegatesAndCancel();
        }
    }
    forgetCode(code);
}

void HttpNetworkCtrl::CancelAllRequests()
{
    workQueueDownload_->setDownloadProgressDelegate({});
    workQueueDownloadCur_->setDownloadProgressDelegate({});
    for (const auto& timer : m_resends)
        timer.second->invalidate();
    m_resends.clear();
    dicRequestCount_.clear();
    dicDownloadCount_.clear();
    m_joiners.clear();
    m_destinations.clear();
    {
        std::lock_guard guard(lock_);
        m_codesInUse.clear();
    }
    for (const auto& queue : {workQueueMsg_, workQueueUpload_, workQueueDownload_, workQueueDownloadCur_})
        queue->cancelAllOperations();
}

void HttpNetworkCtrl::netUnconnect()
{
    base::log("______________netUnconnect cancel all download operation_________________");
    // Files of a long list not yet handed over are answered as cancelled too.
    NetworkModel::sharedInstance()->cancelUnsentBatchFiles();
    workQueueDownload_->cancelAllOperations();
}

int HttpNetworkCtrl::httpRspForError(int engineError)
{
    switch (engineError) {
    case BRConnectionFailureErrorType:
        return 6;
    case BRRequestTimedOutErrorType:
        return 2;
    case BRAuthenticationErrorType:
        return 3;
    case BRRequestCancelledErrorType:
        return 1;
    case BRUnableToCreateRequestErrorType:
        return 4;
    default:
        return -1;
    }
}
