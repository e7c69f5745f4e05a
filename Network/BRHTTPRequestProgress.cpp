// What watches a running request and what it reports while it runs: the status timer with its
// time-out test and retries, the retry after a dropped kept-alive connection, and progress.
#include "Network/BRHTTPRequest.h"
#include "Network/BRHTTPRequestShared.h"

#include <algorithm>

// ---- Status and time-outs

void BRHTTPRequest::touchActivity() { m_lastActivityTime = streamLoop().now(); }

void BRHTTPRequest::updateStatus()
{
    auto me = self();
    checkRequestStatus();
    std::lock_guard lock(m_cancelledLock);
    if (!m_inProgress)
        setStatusTimer(nullptr);
}

bool BRHTTPRequest::shouldTimeOut()
{
    // The loop's clock is monotonic: a wall-clock jump neither fakes nor hides a time-out.
    double seconds = streamLoop().now() - m_lastActivityTime;
    double limit = m_timeOutSeconds;
    if (!m_readStream || !m_readStreamIsScheduled || m_readPaused || m_lastActivityTime == 0 || limit <= 0 ||
        seconds <= limit)
        return false;
    if (m_postLength == 0 || (m_uploadBufferSize > 0 && m_totalBytesSent > m_uploadBufferSize))
        return true;
    // The first buffer of a body may sit unsent for a while before the server reads.
    return seconds > 1.5 * limit;
}

void BRHTTPRequest::notePaceArrival(uint64_t bytes)
{
    double now = streamLoop().now();
    if (m_lowSpeedWindowStart == 0) {
        m_lowSpeedWindowStart = now;
        m_paceArrivals.clear();
    }
    // Reads close together are one arrival, so a burst split over several reads counts whole;
    // the grain grows with the window so that a window holds a few hundred arrivals at most.
    double grain = std::max(0.05, m_lowSpeedSeconds / 200);
    if (m_paceArrivals.empty() || now - m_paceArrivals.back().time >= grain)
        m_paceArrivals.push_back({now, m_totalBytesRead - bytes});
}

bool BRHTTPRequest::slowerThanLowSpeedLimit()
{
    uint64_t bytes = m_lowSpeedBytes;
    double window = m_lowSpeedSeconds;
    // Before the body's first byte (which opens the window) the wait is the idle time-out's.
    if (!bytes || window <= 0 || m_lowSpeedWindowStart == 0 || m_paceArrivals.empty())
        return false;
    double now = streamLoop().now();
    // Only the server's pace counts: a window starts afresh while this side holds reading back
    // (reading paused for the main thread, the stream unscheduled, the throttle holding it).
    if (!m_readStream || !m_readStreamIsScheduled || m_readPaused || m_inflateBacklogPending ||
        isHoldingRequestsForThrottle()) {
        m_lowSpeedWindowStart = now;
        m_paceArrivals.assign(1, {now, m_totalBytesRead});
        return false;
    }
    if (now - m_lowSpeedWindowStart < window)
        return false;
    // Judged from the last arrival at least a window ago, its bytes counted: a link whose bursts
    // keep the floor on average is not cut because one window held a burst just short of its
    // worth, while a trickle, or bursts below the floor on average, still fail.
    double from = now - window;
    while (m_paceArrivals.size() > 1 && m_paceArrivals[1].time <= from)
        m_paceArrivals.pop_front();
    const PaceArrival& first = m_paceArrivals.front();
    uint64_t read = m_totalBytesRead - first.bytesBefore;
    return double(read) * window < double(bytes) * (now - first.time);
}

bool BRHTTPRequest::pastTimeBound()
{
    double bound = m_maximumDownloadSeconds;
    return bound > 0 && m_attemptStart != 0 && streamLoop().now() - m_attemptStart > bound;
}

void BRHTTPRequest::failPastTimeBound()
{
    // No true file takes so long: nothing of it is kept to continue.
    cancelLoad();
    removeTemporaryDownloadFile();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g", m_maximumDownloadSeconds.load());
    std::string text = "the answer did not end within " + std::string(seconds) + " s";
    if (!m_downloadDestinationPath.empty())
        text += " for the file at path '" + m_downloadDestinationPath + "'";
    failWithError(brRequestError(BRRequestTimedOutErrorType, "The request timed out: " + text,
                                 base::Error::make(kTimeBoundDomain, 1, text)));
}

bool BRHTTPRequest::isPastTimeBound(const base::ErrorPtr& error)
{
    for (const base::Error* e = error.get(); e; e = e->underlying.get())
        if (e->domain == kTimeBoundDomain)
            return true;
    return false;
}

void BRHTTPRequest::dropConnectionRecord()
{
    auto& shared = Shared::get();
    std::lock_guard pool(shared.connectionsLock);
    if (m_connectionInfo) {
        m_connectionInfo->request.reset();
        std::erase(shared.connectionPool, m_connectionInfo);
        m_connectionInfo.reset();
    }
}

void BRHTTPRequest::checkRequestStatus()
{
    auto me = self();
    std::lock_guard lock(m_cancelledLock);
    if (m_cancelled || m_complete)
        return;
    performThrottling();
    if (pastTimeBound()) {
        failPastTimeBound();
        m_complete = true;
        return;
    }
    bool tooSlow = slowerThanLowSpeedLimit();
    if (tooSlow) {
        // Each attempt is held to the pace on its own.
        m_lowSpeedWindowStart = 0;
    }
    if (tooSlow || shouldTimeOut()) {
        if (m_numberOfTimesToRetryOnTimeout > m_retryCount) {
            // No descriptor outlives an attempt: the stream is closed and its record dropped.
            m_willRetryRequest = true;
            cancelLoad();
            m_willRetryRequest = false;
            m_connectionCanBeReused = false;
            dropConnectionRecord();
            if (!prepareResume())
                return;
            ++m_retryCount;
            startRequest();
            return;
        }
        // Recorded first, so the body received so far and the temporary files are kept.
        failWithError(Shared::get().requestTimedOutError);
        cancelLoad();
        m_complete = true;
        return;
    }
    if (m_readStream) {
        // The body source counts what it reads into the bandwidth figures already.
        if (m_postLength > 0) {
            m_lastBytesSent = m_totalBytesSent.load();
            m_totalBytesSent = m_readStream->bodyBytesWritten();
            if (m_totalBytesSent > m_lastBytesSent)
                touchActivity();
        }
        updateProgressIndicators();
    }
}

bool BRHTTPRequest::retryUsingNewConnection()
{
    if (m_retryCount != 0)
        return false;
    m_willRetryRequest = true;
    cancelLoad();
    m_willRetryRequest = false;
    dropConnectionRecord();
    ++m_retryCount;
    // Another parked connection may be just as stale.
    m_avoidPooledConnection = true;
    startRequest();
    m_avoidPooledConnection = false;
    return true;
}

// ---- Progress

bool BRHTTPRequest::hasMainRequest() const
{
    std::weak_ptr<BRHTTPRequest> none;
    return m_mainRequest.owner_before(none) || none.owner_before(m_mainRequest);
}

float BRHTTPRequest::progressFraction(uint64_t progress, uint64_t total)
{
    if (total == 0)
        return 0;
    return float(std::clamp(double(progress) / double(total), 0.0, 1.0));
}

void BRHTTPRequest::performSelectorOnTargetWithObjectAmountCallerToRetain(
    ReceiverGetter target, std::function<void(BRProgressDelegate&)> selector, std::shared_ptr<const void> caller)
{
    // Nobody to tell now: nothing to send to the main thread.
    if (!base::RunLoop::isMainThread() && !target())
        return;
    // The receiver is read when the call runs: one cleared or gone by then is not called.
    auto call = [target = std::move(target), selector = std::move(selector), caller = std::move(caller)] {
        if (auto receiver = target())
            selector(*receiver);
    };
    if (base::RunLoop::isMainThread())
        call();
    else
        base::RunLoop::main().post(std::move(call));
}

void BRHTTPRequest::updateProgressIndicatorWithProgressOfTotal(ReceiverGetter receiver, uint64_t progress,
                                                               uint64_t total, std::shared_ptr<const void> caller)
{
    float value = progressFraction(progress, total);
    auto selector = [value](BRProgressDelegate& d) { d.setProgress(value); };
    if (base::RunLoop::isMainThread()) {
        // No class lock around a receiver's code: it may ask a request for its own lock.
        performSelectorOnTargetWithObjectAmountCallerToRetain(std::move(receiver), selector, std::move(caller));
        return;
    }
    std::lock_guard lock(Shared::get().progressLock);
    performSelectorOnTargetWithObjectAmountCallerToRetain(std::move(receiver), selector, std::move(caller));
}

void BRHTTPRequest::performBlockOnMainThread(std::function<void(BRHTTPRequest&)> block) { onMain(std::move(block)); }

void BRHTTPRequest::sendToQueueAndReceiver(bool upload, std::function<void(BRProgressDelegate&)> call)
{
    auto me = self();
    performSelectorOnTargetWithObjectAmountCallerToRetain(
        [me] { return std::dynamic_pointer_cast<BRProgressDelegate>(me->queue()); }, call, me);
    performSelectorOnTargetWithObjectAmountCallerToRetain(
        [me, upload] { return upload ? me->uploadProgressDelegate() : me->downloadProgressDelegate(); }, call, me);
}

void BRHTTPRequest::updateProgressIndicators()
{
    if (hasMainRequest())
        return;
    if (!m_showAccurateProgress && (!m_complete || m_updatedProgress))
        return;
    updateUploadProgress();
    updateDownloadProgress();
}

void BRHTTPRequest::updateUploadProgress()
{
    if (m_cancelled || m_totalBytesSent == 0)
        return;
    auto me = self();
    uint64_t sent = m_totalBytesSent, length = m_postLength;
    // The stream takes a first buffer in at once; it does not count as sent.
    if (m_uploadBufferSize == 0 && sent != length) {
        m_uploadBufferSize = sent;
        incrementUploadSizeBy(-int64_t(m_uploadBufferSize));
    }
    int64_t amount = 0;
    if (m_showAccurateProgress) {
        if (sent == length || m_lastBytesSent > 0)
            amount = int64_t(sent) - int64_t(m_lastBytesSent);
    } else {
        amount = 1;
        m_updatedProgress = true;
    }
    if (amount == 0)
        return;
    m_uploadProgressReported += amount;
    sendToQueueAndReceiver(true, [me, amount](BRProgressDelegate& d) { d.requestDidSendBytes(*me, amount); });
    uint64_t buffer = std::min(m_uploadBufferSize, sent);
    updateProgressIndicatorWithProgressOfTotal([me] { return me->uploadProgressDelegate(); }, sent - buffer,
                                               length > buffer ? length - buffer : 0, me);
    if (m_hasBytesSentBlock)
        performBlockOnMainThread([amount, length](BRHTTPRequest& r) {
            if (r.m_bytesSentBlock)
                r.m_bytesSentBlock(amount, length);
        });
}

void BRHTTPRequest::updateDownloadProgress()
{
    if (!m_responseHeaders || m_needsRedirect || (m_contentLength == 0 && !m_complete))
        return;
    auto me = self();
    uint64_t soFar = m_totalBytesRead + m_partialDownloadSize;
    uint64_t total = m_contentLength + m_partialDownloadSize;
    int64_t amount;
    if (m_showAccurateProgress && m_contentLength > 0) {
        amount = int64_t(soFar) - int64_t(m_lastBytesRead);
    } else {
        amount = 1;
        m_updatedProgress = true;
    }
    if (amount == 0)
        return;
    sendToQueueAndReceiver(false, [me, amount](BRProgressDelegate& d) { d.requestDidReceiveBytes(*me, amount); });
    updateProgressIndicatorWithProgressOfTotal([me] { return me->downloadProgressDelegate(); }, soFar, total, me);
    if (m_hasBytesReceivedBlock)
        performBlockOnMainThread([amount, total](BRHTTPRequest& r) {
            if (r.m_bytesReceivedBlock)
                r.m_bytesReceivedBlock(amount, total);
        });
    m_lastBytesRead = soFar;
}

void BRHTTPRequest::incrementUploadSizeBy(int64_t amount)
{
    auto me = self();
    sendToQueueAndReceiver(true, [me, amount](BRProgressDelegate& d) { d.requestIncrementUploadSizeBy(*me, amount); });
    if (m_hasUploadSizeIncrementedBlock)
        performBlockOnMainThread([amount](BRHTTPRequest& r) {
            if (r.m_uploadSizeIncrementedBlock)
                r.m_uploadSizeIncrementedBlock(amount);
        });
}

void BRHTTPRequest::incrementDownloadSizeBy(int64_t amount)
{
    auto me = self();
    sendToQueueAndReceiver(false,
                           [me, amount](BRProgressDelegate& d) { d.requestIncrementDownloadSizeBy(*me, amount); });
    if (m_hasDownloadSizeIncrementedBlock)
        performBlockOnMainThread([amount](BRHTTPRequest& r) {
            if (r.m_downloadSizeIncrementedBlock)
                r.m_downloadSizeIncrementedBlock(amount);
        });
}

void BRHTTPRequest::removeUploadProgressSoFar()
{
    auto me = self();
    // Exactly what was reported goes back, and the first buffer counts again.
    int64_t amount = -m_uploadProgressReported;
    uint64_t length = m_postLength;
    if (m_uploadBufferSize > 0)
        incrementUploadSizeBy(int64_t(m_uploadBufferSize));
    sendToQueueAndReceiver(true, [me, amount](BRProgressDelegate& d) { d.requestDidSendBytes(*me, amount); });
    updateProgressIndicatorWithProgressOfTotal([me] { return me->uploadProgressDelegate(); }, 0, length, me);
    if (m_hasBytesSentBlock)
        performBlockOnMainThread([amount, length](BRHTTPRequest& r) {
            if (r.m_bytesSentBlock)
                r.m_bytesSentBlock(amount, length);
        });
    m_uploadProgressReported = 0;
}

void BRHTTPRequest::announceDownloadSize()
{
    // A HEAD request made for another one sizes that one.
    auto mainRequest = m_mainRequest.lock();
    BRHTTPRequest& target = mainRequest ? *mainRequest : *this;
    if (!m_showAccurateProgress || !m_shouldResetDownloadProgress)
        return;
    if (!m_hasContentLength) {
        target.setShowAccurateProgress(false);
        target.incrementDownloadSizeBy(1);
        return;
    }
    // Twenty bytes is an empty gzip body: the real size is unknown.
    if (mainRequest && m_allowCompressedResponse && m_contentLength == 20) {
        mainRequest->setShowAccurateProgress(false);
        mainRequest->incrementDownloadSizeBy(1);
        return;
    }
    if (mainRequest)
        mainRequest->m_contentLength = m_contentLength.load();
    target.incrementDownloadSizeBy(int64_t(m_contentLength + m_partialDownloadSize));
}
