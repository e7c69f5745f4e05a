#include "Network/BRNetworkQueue.h"

#include "Platform/Base/RunLoop.h"

namespace {
// Counters never wrap below zero: after cancelAllOperations late reports may take back more.
void addTo(std::atomic<uint64_t>& counter, int64_t amount)
{
    uint64_t old = counter.load();
    uint64_t next;
    do
        next = amount < 0 && uint64_t(-amount) > old ? 0 : old + uint64_t(amount);
    while (!counter.compare_exchange_weak(old, next));
}
} // namespace

BRNetworkQueue::BRNetworkQueue()
{
    setMaxConcurrentOperationCount(4);
    setSuspended(true);
}

BRNetworkQueue::Ptr BRNetworkQueue::queue() { return Ptr(new BRNetworkQueue()); }

BRNetworkQueue::Ptr BRNetworkQueue::makeEmptyCopy() const { return Ptr(new BRNetworkQueue()); }

BRNetworkQueue::Ptr BRNetworkQueue::copy() const
{
    Ptr c = makeEmptyCopy();
    std::scoped_lock lock(m_lock, c->m_lock);
    c->m_delegate = m_delegate;
    c->m_requestDidStartSelector = m_requestDidStartSelector;
    c->m_requestDidReceiveResponseHeadersSelector = m_requestDidReceiveResponseHeadersSelector;
    c->m_requestWillRedirectSelector = m_requestWillRedirectSelector;
    c->m_requestDidFinishSelector = m_requestDidFinishSelector;
    c->m_requestDidFailSelector = m_requestDidFailSelector;
    c->m_queueDidFinishSelector = m_queueDidFinishSelector;
    c->m_uploadProgressDelegate = m_uploadProgressDelegate;
    c->m_downloadProgressDelegate = m_downloadProgressDelegate;
    c->m_shouldCancelAllRequestsOnFailure = m_shouldCancelAllRequestsOnFailure.load();
    c->m_showAccurateProgress = m_showAccurateProgress.load();
    c->m_userInfo = m_userInfo;
    return c;
}

// ---- Running

void BRNetworkQueue::go() { setSuspended(false); }

void BRNetworkQueue::reset()
{
    cancelAllOperations();
    {
        std::lock_guard lock(m_lock);
        m_delegate.reset();
        m_downloadProgressDelegate.reset();
        m_uploadProgressDelegate.reset();
        m_requestDidStartSelector = nullptr;
        m_requestDidReceiveResponseHeadersSelector = nullptr;
        m_requestDidFailSelector = nullptr;
        m_requestDidFinishSelector = nullptr;
        m_queueDidFinishSelector = nullptr;
    }
    setSuspended(true);
}

void BRNetworkQueue::cancelAllOperations()
{
    m_bytesUploadedSoFar = 0;
    m_totalBytesToUpload = 0;
    m_bytesDownloadedSoFar = 0;
    m_totalBytesToDownload = 0;
    base::OperationQueue::cancelAllOperations();
}

void BRNetworkQueue::addOperation(std::shared_ptr<BRHTTPRequest> request)
{
    if (!request)
        throw AttemptToAddInvalidRequest();
    {
        std::lock_guard lock(m_lock);
        m_counted[request.get()] = request;
    }
    ++m_requestsCount;
    if (m_showAccurateProgress) {
        request->buildPostBody();
        if (request->requestMethod() == "GET" && isSuspended()) {
            auto head = request->HEADRequest();
            addHEADOperation(head);
            request->addDependency(head);
        }
        if (request->shouldResetDownloadProgress()) {
            resetProgressDelegate(false);
            request->setShouldResetDownloadProgress(false);
        }
        request->buildPostBody();
        requestIncrementUploadSizeBy(*request, int64_t(request->postLength()));
    } else {
        // One unit each way per request, reported by the request when it completes.
        addTo(m_totalBytesToDownload, 1);
        addTo(m_totalBytesToUpload, 1);
    }
    if (request->shouldResetUploadProgress()) {
        resetProgressDelegate(true);
        request->setShouldResetUploadProgress(false);
    }
    request->setShowAccurateProgress(m_showAccurateProgress);
    request->setQueue(shared_from_this());
    base::OperationQueue::addOperation(std::move(request));
}

void BRNetworkQueue::addHEADOperation(std::shared_ptr<BRHTTPRequest> request)
{
    if (!request)
        return;
    request->setRequestMethod("HEAD");
    request->setQueuePriority(10);
    request->setShowAccurateProgress(true);
    request->setQueue(shared_from_this());
    base::OperationQueue::addOperation(std::move(request));
}

// ---- Owner and receivers

std::shared_ptr<BRHTTPRequestDelegate> BRNetworkQueue::delegate() const
{
    std::lock_guard lock(m_lock);
    return m_delegate.lock();
}

void BRNetworkQueue::setDelegate(std::weak_ptr<BRHTTPRequestDelegate> delegate)
{
    std::lock_guard lock(m_lock);
    m_delegate = std::move(delegate);
}

void BRNetworkQueue::setRequestDidStartSelector(RequestSelector s)
{
    std::lock_guard lock(m_lock);
    m_requestDidStartSelector = std::move(s);
}

void BRNetworkQueue::setRequestDidReceiveResponseHeadersSelector(HeadersSelector s)
{
    std::lock_guard lock(m_lock);
    m_requestDidReceiveResponseHeadersSelector = std::move(s);
}

void BRNetworkQueue::setRequestWillRedirectSelector(RedirectSelector s)
{
    std::lock_guard lock(m_lock);
    m_requestWillRedirectSelector = std::move(s);
}

bool BRNetworkQueue::hasRequestWillRedirectSelector() const
{
    std::lock_guard lock(m_lock);
    return bool(m_requestWillRedirectSelector);
}

void BRNetworkQueue::setRequestDidFinishSelector(RequestSelector s)
{
    std::lock_guard lock(m_lock);
    m_requestDidFinishSelector = std::move(s);
}

void BRNetworkQueue::setRequestDidFailSelector(RequestSelector s)
{
    std::lock_guard lock(m_lock);
    m_requestDidFailSelector = std::move(s);
}

void BRNetworkQueue::setQueueDidFinishSelector(QueueSelector s)
{
    std::lock_guard lock(m_lock);
    m_queueDidFinishSelector = std::move(s);
}

std::shared_ptr<BRProgressDelegate> BRNetworkQueue::uploadProgressDelegate() const
{
    std::lock_guard lock(m_lock);
    return m_uploadProgressDelegate.lock();
}

void BRNetworkQueue::setUploadProgressDelegate(std::weak_ptr<BRProgressDelegate> receiver)
{
    {
        std::lock_guard lock(m_lock);
        m_uploadProgressDelegate = std::move(receiver);
    }
    resetProgressDelegate(true);
}

std::shared_ptr<BRProgressDelegate> BRNetworkQueue::downloadProgressDelegate() const
{
    std::lock_guard lock(m_lock);
    return m_downloadProgressDelegate.lock();
}

void BRNetworkQueue::setDownloadProgressDelegate(std::weak_ptr<BRProgressDelegate> receiver)
{
    {
        std::lock_guard lock(m_lock);
        m_downloadProgressDelegate = std::move(receiver);
    }
    resetProgressDelegate(false);
}

base::Value BRNetworkQueue::userInfo() const
{
    std::lock_guard lock(m_lock);
    return m_userInfo;
}

void BRNetworkQueue::setUserInfo(base::Value info)
{
    std::lock_guard lock(m_lock);
    m_userInfo = std::move(info);
}

// ---- Request callbacks

void BRNetworkQueue::requestStarted(BRHTTPRequest& request)
{
    auto [owner, handler] = [&] {
        std::lock_guard lock(m_lock);
        return std::pair(m_delegate.lock(), m_requestDidStartSelector);
    }();
    if (owner && handler)
        handler(*owner, request);
}

void BRNetworkQueue::requestDidReceiveResponseHeaders(BRHTTPRequest& request, const net::HttpHeaders& headers)
{
    auto [owner, handler] = [&] {
        std::lock_guard lock(m_lock);
        return std::pair(m_delegate.lock(), m_requestDidReceiveResponseHeadersSelector);
    }();
    if (owner && handler)
        handler(*owner, request, headers);
}

void BRNetworkQueue::requestWillRedirectToURL(BRHTTPRequest& request, const net::URL& url)
{
    auto [owner, handler] = [&] {
        std::lock_guard lock(m_lock);
        return std::pair(m_delegate.lock(), m_requestWillRedirectSelector);
    }();
    if (owner && handler)
        handler(*owner, request, url);
}

bool BRNetworkQueue::takeCounted(const BRHTTPRequest* request)
{
    std::lock_guard lock(m_lock);
    return m_counted.erase(request) > 0;
}

void BRNetworkQueue::reachedZeroIfCounted(bool counted)
{
    if (!counted || m_requestsCount != 0)
        return;
    auto [owner, handler] = [&] {
        std::lock_guard lock(m_lock);
        return std::pair(m_delegate.lock(), m_queueDidFinishSelector);
    }();
    if (owner && handler)
        handler(*owner, *this);
}

void BRNetworkQueue::requestEnded(BRHTTPRequest& request, bool failed)
{
    // Lowered before the owner hears of it: 0 in the handler means the batch is done.
    bool counted = takeCounted(&request);
    if (counted)
        --m_requestsCount;
    auto [owner, handler] = [&] {
        std::lock_guard lock(m_lock);
        return std::pair(m_delegate.lock(), failed ? m_requestDidFailSelector : m_requestDidFinishSelector);
    }();
    if (owner && handler)
        handler(*owner, request);
    reachedZeroIfCounted(counted);
    if (failed && m_shouldCancelAllRequestsOnFailure && m_requestsCount >= 1)
        cancelAllOperations();
}

void BRNetworkQueue::requestFinished(BRHTTPRequest& request) { requestEnded(request, false); }

void BRNetworkQueue::requestFailed(BRHTTPRequest& request) { requestEnded(request, true); }

void BRNetworkQueue::operationDidLeave(const std::shared_ptr<base::Operation>& operation)
{
    auto request = std::dynamic_pointer_cast<BRHTTPRequest>(operation);
    if (!request)
        return;
    // Behind the request's own reports on the main loop; the request is held so that its
    // address stays its own until then.
    std::weak_ptr<BRNetworkQueue> weak = weak_from_this();
    base::RunLoop::main().post([weak, request] {
        auto queue = weak.lock();
        if (!queue || !queue->takeCounted(request.get()))
            return;
        // Gone without a word (cancelled with its delegates cleared): no handler for it.
        --queue->m_requestsCount;
        queue->reachedZeroIfCounted(true);
    });
}

void BRNetworkQueue::authenticationNeededForRequest(BRHTTPRequest& request)
{
    if (auto owner = delegate(); owner && owner->answersAuthenticationNeeded())
        owner->authenticationNeededForRequest(request);
}

void BRNetworkQueue::proxyAuthenticationNeededForRequest(BRHTTPRequest& request)
{
    if (auto owner = delegate(); owner && owner->answersProxyAuthenticationNeeded())
        owner->proxyAuthenticationNeededForRequest(request);
}

bool BRNetworkQueue::answersRequestStarted() const
{
    std::lock_guard lock(m_lock);
    return m_requestDidStartSelector && !m_delegate.expired();
}

bool BRNetworkQueue::answersResponseHeaders() const
{
    std::lock_guard lock(m_lock);
    return m_requestDidReceiveResponseHeadersSelector && !m_delegate.expired();
}

bool BRNetworkQueue::answersWillRedirect() const { return hasRequestWillRedirectSelector() && delegate(); }

bool BRNetworkQueue::answersAuthenticationNeeded() const
{
    auto owner = delegate();
    return owner && owner->answersAuthenticationNeeded();
}

bool BRNetworkQueue::answersProxyAuthenticationNeeded() const
{
    auto owner = delegate();
    return owner && owner->answersProxyAuthenticationNeeded();
}

// ---- Progress

void BRNetworkQueue::resetProgressDelegate(bool upload)
{
    std::weak_ptr<BRNetworkQueue> weak = weak_from_this();
    BRHTTPRequest::performSelectorOnTargetWithObjectAmountCallerToRetain(
        [weak, upload]() -> std::shared_ptr<BRProgressDelegate> {
            auto queue = weak.lock();
            return !queue ? nullptr : upload ? queue->uploadProgressDelegate() : queue->downloadProgressDelegate();
        },
        [](BRProgressDelegate& receiver) { receiver.setProgress(0); }, weak.lock());
}

void BRNetworkQueue::reportProgress(bool upload)
{
    if (!(upload ? uploadProgressDelegate() : downloadProgressDelegate()))
        return;
    std::weak_ptr<BRNetworkQueue> weak = weak_from_this();
    BRHTTPRequest::updateProgressIndicatorWithProgressOfTotal(
        [weak, upload]() -> std::shared_ptr<BRProgressDelegate> {
            auto queue = weak.lock();
            return !queue ? nullptr : upload ? queue->uploadProgressDelegate() : queue->downloadProgressDelegate();
        },
        upload ? m_bytesUploadedSoFar.load() : m_bytesDownloadedSoFar.load(),
        upload ? m_totalBytesToUpload.load() : m_totalBytesToDownload.load(), weak.lock());
}

void BRNetworkQueue::requestDidReceiveBytes(BRHTTPRequest&, int64_t amount)
{
    addTo(m_bytesDownloadedSoFar, amount);
    reportProgress(false);
}

void BRNetworkQueue::requestDidSendBytes(BRHTTPRequest&, int64_t amount)
{
    addTo(m_bytesUploadedSoFar, amount);
    reportProgress(true);
}

void BRNetworkQueue::requestIncrementDownloadSizeBy(BRHTTPRequest&, int64_t amount)
{
    addTo(m_totalBytesToDownload, amount);
}

void BRNetworkQueue::requestIncrementUploadSizeBy(BRHTTPRequest&, int64_t amount) { addTo(m_totalBytesToUpload, amount); }
