#pragma once
#include "Network/BRHTTPRequest.h"
#include "Platform/Base/OperationQueue.h"

#include <atomic>
#include <map>
#include <mutex>
#include <stdexcept>

// What adding something other than a request raises.
class AttemptToAddInvalidRequest : public std::invalid_argument {
public:
    AttemptToAddInvalidRequest()
        : std::invalid_argument("Attempted to add an object that was not an BRHTTPRequest to an BRNetworkQueue")
    {
    }
    static const char* name() { return "AttemptToAddInvalidRequest"; }
};

// The queue the server layer runs its requests on: it limits how many run at once, counts the
// requests still outstanding, tells its owner of each one's start, finish and failure, and sums
// their progress into one upload and one download figure. Made suspended, with a limit of 4.
//
// The owner is the delegate, held weakly; each handler is called with it while it lives. A set
// handler is always called: one that does not fit the owner is the owner's error.
class BRNetworkQueue : private base::OperationQueue,
                       public BRHTTPRequestDelegate,
                       public BRProgressDelegate,
                       public std::enable_shared_from_this<BRNetworkQueue> {
public:
    using Ptr = std::shared_ptr<BRNetworkQueue>;
    using RequestSelector = BRHTTPRequest::RequestSelector;
    using HeadersSelector = BRHTTPRequest::HeadersSelector;
    using RedirectSelector = BRHTTPRequest::RedirectSelector;
    using QueueSelector = std::function<void(BRHTTPRequestDelegate&, BRNetworkQueue&)>;

    // A handler that calls `method` of an owner of class T.
    template <class T>
    static RequestSelector selector(void (T::*method)(BRHTTPRequest&))
    {
        return [method](BRHTTPRequestDelegate& owner, BRHTTPRequest& r) { (dynamic_cast<T&>(owner).*method)(r); };
    }
    template <class T>
    static QueueSelector queueSelector(void (T::*method)(BRNetworkQueue&))
    {
        return [method](BRHTTPRequestDelegate& owner, BRNetworkQueue& q) { (dynamic_cast<T&>(owner).*method)(q); };
    }

    static Ptr queue();
    // A suspended queue with a limit of 4 and this one's owner, handlers, receivers and switches.
    Ptr copy() const;

    void go();
    // Cancels everything, forgets the owner, the receivers and the handlers (not the redirect
    // one) and suspends the queue.
    void reset();
    // Zeroes the progress figures and cancels every request; each reports its failure.
    void cancelAllOperations();
    // Only requests: anything else does not compile.
    void addOperation(std::shared_ptr<BRHTTPRequest> request);
    // A HEAD request sizing another, run first and not counted.
    void addHEADOperation(std::shared_ptr<BRHTTPRequest> request);

    using base::OperationQueue::isSuspended;
    using base::OperationQueue::maxConcurrentOperationCount;
    using base::OperationQueue::operationCount;
    using base::OperationQueue::operations;
    using base::OperationQueue::setMaxConcurrentOperationCount;
    using base::OperationQueue::setSuspended;
    using base::OperationQueue::waitUntilAllOperationsAreFinished;

    std::shared_ptr<BRHTTPRequestDelegate> delegate() const;
    void setDelegate(std::weak_ptr<BRHTTPRequestDelegate> delegate);
    void setRequestDidStartSelector(RequestSelector s);
    void setRequestDidReceiveResponseHeadersSelector(HeadersSelector s);
    void setRequestWillRedirectSelector(RedirectSelector s);
    void setRequestDidFinishSelector(RequestSelector s);
    void setRequestDidFailSelector(RequestSelector s);
    void setQueueDidFinishSelector(QueueSelector s);
    bool hasRequestWillRedirectSelector() const;

    std::shared_ptr<BRProgressDelegate> uploadProgressDelegate() const;
    void setUploadProgressDelegate(std::weak_ptr<BRProgressDelegate> receiver);
    std::shared_ptr<BRProgressDelegate> downloadProgressDelegate() const;
    void setDownloadProgressDelegate(std::weak_ptr<BRProgressDelegate> receiver);

    uint64_t bytesUploadedSoFar() const { return m_bytesUploadedSoFar; }
    void setBytesUploadedSoFar(uint64_t v) { m_bytesUploadedSoFar = v; }
    uint64_t totalBytesToUpload() const { return m_totalBytesToUpload; }
    void setTotalBytesToUpload(uint64_t v) { m_totalBytesToUpload = v; }
    uint64_t bytesDownloadedSoFar() const { return m_bytesDownloadedSoFar; }
    void setBytesDownloadedSoFar(uint64_t v) { m_bytesDownloadedSoFar = v; }
    uint64_t totalBytesToDownload() const { return m_totalBytesToDownload; }
    void setTotalBytesToDownload(uint64_t v) { m_totalBytesToDownload = v; }
    bool shouldCancelAllRequestsOnFailure() const { return m_shouldCancelAllRequestsOnFailure; }
    void setShouldCancelAllRequestsOnFailure(bool v) { m_shouldCancelAllRequestsOnFailure = v; }
    // Requests added and not yet finished, failed or gone.
    int requestsCount() const { return m_requestsCount; }
    void setRequestsCount(int v) { m_requestsCount = v; }
    bool showAccurateProgress() const { return m_showAccurateProgress; }
    void setShowAccurateProgress(bool v) { m_showAccurateProgress = v; }
    base::Value userInfo() const;
    void setUserInfo(base::Value info);

    // ---- What the requests tell their queue (main thread)
    void requestStarted(BRHTTPRequest& request) override;
    void requestDidReceiveResponseHeaders(BRHTTPRequest& request, const net::HttpHeaders& headers) override;
    void requestWillRedirectToURL(BRHTTPRequest& request, const net::URL& url) override;
    void requestFinished(BRHTTPRequest& request) override;
    void requestFailed(BRHTTPRequest& request) override;
    void authenticationNeededForRequest(BRHTTPRequest& request) override;
    void proxyAuthenticationNeededForRequest(BRHTTPRequest& request) override;
    bool answersRequestStarted() const override;
    bool answersResponseHeaders() const override;
    // The questions go to the queue only when its owner takes them.
    bool answersWillRedirect() const override;
    bool answersAuthenticationNeeded() const override;
    bool answersProxyAuthenticationNeeded() const override;

    void requestDidReceiveBytes(BRHTTPRequest& request, int64_t amount) override;
    void requestDidSendBytes(BRHTTPRequest& request, int64_t amount) override;
    void requestIncrementDownloadSizeBy(BRHTTPRequest& request, int64_t amount) override;
    void requestIncrementUploadSizeBy(BRHTTPRequest& request, int64_t amount) override;

protected:
    BRNetworkQueue();
    // Makes a queue of the same kind (copies use it).
    virtual Ptr makeEmptyCopy() const;
    // A counted request that leaves without a finish or a failure still leaves the count.
    void operationDidLeave(const std::shared_ptr<base::Operation>& operation) override;

private:
    bool takeCounted(const BRHTTPRequest* request);
    void requestEnded(BRHTTPRequest& request, bool failed);
    void reachedZeroIfCounted(bool counted);
    void resetProgressDelegate(bool upload);
    void reportProgress(bool upload);

    mutable std::mutex m_lock;
    std::weak_ptr<BRHTTPRequestDelegate> m_delegate;
    RequestSelector m_requestDidStartSelector;
    HeadersSelector m_requestDidReceiveResponseHeadersSelector;
    RedirectSelector m_requestWillRedirectSelector;
    RequestSelector m_requestDidFinishSelector;
    RequestSelector m_requestDidFailSelector;
    QueueSelector m_queueDidFinishSelector;
    std::weak_ptr<BRProgressDelegate> m_uploadProgressDelegate;
    std::weak_ptr<BRProgressDelegate> m_downloadProgressDelegate;
    base::Value m_userInfo;
    // Counted requests not yet accounted for, by identity.
    std::map<const BRHTTPRequest*, std::weak_ptr<BRHTTPRequest>> m_counted;

    std::atomic<uint64_t> m_bytesUploadedSoFar{0};
    std::atomic<uint64_t> m_totalBytesToUpload{0};
    std::atomic<uint64_t> m_bytesDownloadedSoFar{0};
    std::atomic<uint64_t> m_totalBytesToDownload{0};
    std::atomic<bool> m_shouldCancelAllRequestsOnFailure{false};
    std::atomic<int> m_requestsCount{0};
    std::atomic<bool> m_showAccurateProgress{false};
};
