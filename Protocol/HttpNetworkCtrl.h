#pragma once
#include "Network/BRNetworkQueue.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Timer.h"

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

class DownLoadRequestInfo;
class DownloadRequest;
class MsgRequest;
class RequestInfoBase;

// The transport of server commands and file downloads: gives each exchange its request code,
// runs it on one of four queues, re-sends failed commands once and retries single downloads,
// reports download progress, and answers every exchange to its receiver in the server's
// envelope, made on the device for a failure. One instance, never destroyed; main thread.
class HttpNetworkCtrl : public BRHTTPRequestDelegate, public std::enable_shared_from_this<HttpNetworkCtrl> {
public:
    static constexpr double kResendDelay = 3.0;
    // Per-file progress goes out at most this often on the main loop's clock.
    static constexpr double kProgressInterval = 0.25;
    static constexpr int kMaxRunning = 3;
    // Attempts of a single download beyond the first.
    static constexpr int kDownloadRetries = 3;

    static const char* const kFailureText;
    static const char* const kMissingFileText;
    static const char* const kAnswerTooLargeText;
    // A download stopped for want of room on its disk: never retried in the same run.
    static const char* const kDiskFullText;
    static const char* const kDownloadDoneText;

    static std::shared_ptr<HttpNetworkCtrl> sharedInstance();
    HttpNetworkCtrl();
    ~HttpNetworkCtrl() override;

    // The request code of the exchange, -1 without one, 0 (nothing sent) when every code of
    // its command still awaits its answer.
    int SendHttpRequest(const std::shared_ptr<RequestInfoBase>& info);
    // command code << 16 | a counter running 1 ... 65534, skipping codes still in use; 0 when
    // every one is.
    int getTagCode(int cmdCode);
    // The same, and the code counts as in use until its exchange is answered or cancelled.
    int takeCode(int cmdCode);
    static int getCmdcode(int requestCode) { return requestCode >> 16; }
    std::string GetMsgURLWithHeader(const std::string& head);

    void OperationFinished(BRHTTPRequest& request);
    void OperationFailed(BRHTTPRequest& request);
    void requestDidReceiveData(BRHTTPRequest& request, const BRData& data) override;
    bool answersDidReceiveData() const override { return true; }
    void reRequestMsg(const std::shared_ptr<MsgRequest>& failed);

    // The code of the download of that name now cancelled without a word, else 0.
    int CancelDownLoadWithName(const std::string& name);
    // That exchange stops without a word, wherever it is: queued, running or waiting for its
    // re-send. Other requesters' exchanges run on.
    void CancelRequestWithCode(int code);
    // Everything stops: no answer is re-sent or retried afterwards.
    void CancelAllRequests();
    // The network went away: batch downloads stop, the rest runs on.
    void netUnconnect();

    // The engine's failure kind as the protocol reports it.
    static int httpRspForError(int engineError);

    // For tests and benchmarks.
    size_t scheduledResendCount() const { return m_resends.size(); }
    bool isCodeInUse(int code) const;
    std::shared_ptr<BRNetworkQueue> messageQueue() const { return workQueueMsg_; }
    std::shared_ptr<BRNetworkQueue> batchQueue() const { return workQueueDownload_; }
    std::shared_ptr<BRNetworkQueue> singleQueue() const { return workQueueDownloadCur_; }

private:
    struct Joiner {
        int code;
        std::shared_ptr<DownLoadRequestInfo> info;
    };

    std::shared_ptr<BRNetworkQueue> makeQueue();
    int nextFreeCode(int cmdCode);
    int sendMessage(const std::shared_ptr<RequestInfoBase>& info, int code);
    int sendDownload(const std::shared_ptr<DownLoadRequestInfo>& info, int code);
    void answerLater(const std::shared_ptr<RequestInfoBase>& answer);
    void answerDownload(DownloadRequest& request, const char* text, int httpRsp);
    void answerMessage(MsgRequest& request, const char* text, int httpRsp);
    void deliver(const std::shared_ptr<RequestInfoBase>& answer, const MsgRequest& request, int httpRsp);
    void reportBatchEndIfEmpty();
    void downloadFailed(DownloadRequest& request, int engineError, const base::ErrorPtr& error);
    void messageFailed(MsgRequest& request, int engineError, const base::ErrorPtr& error);
    void reportPercent(DownloadRequest& request, float fraction);
    void forgetCode(int code);

    std::shared_ptr<BRNetworkQueue> workQueueMsg_;
    std::shared_ptr<BRNetworkQueue> workQueueUpload_;
    std::shared_ptr<BRNetworkQueue> workQueueDownload_;
    std::shared_ptr<BRNetworkQueue> workQueueDownloadCur_;
    mutable std::mutex lock_;
    // Re-sends of commands, and retries of single downloads, by request code.
    std::map<int, int> dicRequestCount_;
    std::map<int, int> dicDownloadCount_;
    uint16_t m_counter = 1;
    // Codes handed out and not yet answered or cancelled.
    std::set<int> m_codesInUse;
    std::map<int, std::shared_ptr<base::Timer>> m_resends;
    // Downloads by destination, and the later requests for a destination already on its way.
    std::map<std::string, int> m_destinations;
    std::map<int, std::vector<Joiner>> m_joiners;
    base::ObserverToken m_netUnconnectObserver;
};
