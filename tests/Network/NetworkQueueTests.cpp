#include "ProgressTestSupport.h"

#include "Network/BRFormDataRequest.h"
#include "Network/BRNetworkQueue.h"
#include "Platform/Base/Paths.h"

#include <map>

using namespace enginetest;

namespace {

// The owner of a queue, as the server layer is: handlers that read the outstanding count.
class Owner : public BRHTTPRequestDelegate {
public:
    std::weak_ptr<BRNetworkQueue> queue;
    std::vector<int> countsAtFinish, countsAtFailure, failureCodes;
    std::vector<std::string> failureTexts;
    std::map<const BRHTTPRequest*, int> started, ended;
    int queueFinished = 0;
    bool offMain = false;
    bool endBeforeStart = false;

    void Started(BRHTTPRequest& r)
    {
        note();
        ++started[&r];
    }
    void OperationFinished(BRHTTPRequest& r)
    {
        end(r);
        countsAtFinish.push_back(queue.lock()->requestsCount());
    }
    void OperationFailed(BRHTTPRequest& r)
    {
        end(r);
        countsAtFailure.push_back(queue.lock()->requestsCount());
        failureCodes.push_back(r.error() ? r.error()->code : 0);
        failureTexts.push_back(r.error() ? r.error()->description : "");
    }
    void QueueFinished(BRNetworkQueue&)
    {
        note();
        ++queueFinished;
    }
    int endings() const { return int(countsAtFinish.size() + countsAtFailure.size()); }
    // Main thread only, every request ended once, never before it started.
    ::testing::AssertionResult wellOrdered(size_t requests) const
    {
        if (offMain)
            return ::testing::AssertionFailure() << "a handler ran off the main thread";
        if (endBeforeStart)
            return ::testing::AssertionFailure() << "a request ended before it started";
        if (ended.size() != requests)
            return ::testing::AssertionFailure() << ended.size() << " requests ended, not " << requests;
        for (auto& [r, n] : ended)
            if (n != 1)
                return ::testing::AssertionFailure() << "a request ended " << n << " times";
        return ::testing::AssertionSuccess();
    }

private:
    void note() { offMain = offMain || !base::RunLoop::isMainThread(); }
    void end(BRHTTPRequest& r)
    {
        note();
        // A request cancelled before it started has not started.
        if (!started.count(&r) && !(r.error() && r.error()->code == BRRequestCancelledErrorType) &&
            !(r.error() && r.error()->code == BRInternalErrorWhileBuildingRequestType))
            endBeforeStart = true;
        ++ended[&r];
    }
};

// A queue set up the way the server layer sets up its four.
BRNetworkQueue::Ptr ownedQueue(const std::shared_ptr<Owner>& owner, int limit = 3)
{
    auto queue = BRNetworkQueue::queue();
    queue->reset();
    queue->setDelegate(owner);
    queue->setRequestDidStartSelector(BRNetworkQueue::selector(&Owner::Started));
    queue->setRequestDidFinishSelector(BRNetworkQueue::selector(&Owner::OperationFinished));
    queue->setRequestDidFailSelector(BRNetworkQueue::selector(&Owner::OperationFailed));
    queue->setQueueDidFinishSelector(BRNetworkQueue::queueSelector(&Owner::QueueFinished));
    queue->setMaxConcurrentOperationCount(limit);
    owner->queue = queue;
    return queue;
}

// The server layer's file download: a form request with a file name.
class DownloadRequest : public BRFormDataRequest {
public:
    std::string fileName;
    static std::shared_ptr<DownloadRequest> make(const std::string& url, const std::string& name,
                                                 const std::string& folder)
    {
        auto r = std::shared_ptr<DownloadRequest>(new DownloadRequest(net::URL::parse(url)));
        r->fileName = name;
        configureAsDownload(*r, folder + "/" + name, base::Paths::tmp() + "/" + name);
        return r;
    }

private:
    using BRFormDataRequest::BRFormDataRequest;
};

// Holds every answer at a gate of its own, and checks that no request arrives while `limit`
// others are still unfinished.
struct HeldServer {
    std::mutex mutex;
    std::vector<std::shared_ptr<Gate>> gates;
    std::atomic<int> finished{0};
    std::atomic<int> tooMany{0};
    int limit;
    LoopbackServer server;

    explicit HeldServer(int limit)
        : limit(limit), server([this](const Request&) {
              std::lock_guard lock(mutex);
              if (int(gates.size()) >= finished + this->limit)
                  ++tooMany;
              auto gate = std::make_shared<Gate>();
              gates.push_back(gate);
              Reply r = Reply::text(200, "held");
              r.pauses = {{0, gate}};
              return r;
          })
    {
    }
    std::shared_ptr<Gate> gate(size_t i)
    {
        base::RunLoop::main().runUntil([&] {
            std::lock_guard lock(mutex);
            return gates.size() > i;
        }, 30);
        std::lock_guard lock(mutex);
        return i < gates.size() ? gates[i] : nullptr;
    }
    void openAll()
    {
        std::lock_guard lock(mutex);
        for (auto& g : gates)
            g->open();
    }
    // A request counted as finished on the network thread, as its queue slot frees.
    BRHTTPRequest::Ptr request(const std::string& path)
    {
        auto r = BRHTTPRequest::requestWithURL(net::URL::parse(server.url(path)));
        r->setCompletion([this] { ++finished; });
        return r;
    }
};

class NetworkQueue : public ::testing::Test {
protected:
    void SetUp() override { testHome(); }
    bool runUntil(const std::function<bool()>& done, double seconds = 60)
    {
        return base::RunLoop::main().runUntil(done, seconds);
    }
};

TEST_F(NetworkQueue, LimitCountAndTheQueueFinishedHandler)
{
    HeldServer held(3);
    auto owner = std::make_shared<Owner>();
    auto queue = ownedQueue(owner);
    std::vector<BRHTTPRequest::Ptr> requests;
    for (int i = 0; i < 10; ++i) {
        requests.push_back(held.request("/r" + std::to_string(i)));
        queue->addOperation(requests.back());
    }
    // Nothing runs before go.
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(held.server.acceptCount(), 0);
    for (auto& r : requests)
        EXPECT_FALSE(r->isExecuting());
    EXPECT_EQ(queue->requestsCount(), 10);
    queue->go();
    for (size_t i = 0; i < 10; ++i) {
        auto gate = held.gate(i);
        ASSERT_TRUE(gate);
        gate->open();
    }
    ASSERT_TRUE(runUntil([&] { return owner->endings() == 10 && owner->queueFinished > 0; }));
    EXPECT_EQ(held.tooMany, 0);
    EXPECT_TRUE(owner->wellOrdered(10));
    EXPECT_EQ(owner->countsAtFinish, (std::vector<int>{9, 8, 7, 6, 5, 4, 3, 2, 1, 0}));
    EXPECT_EQ(owner->queueFinished, 1);
    EXPECT_EQ(queue->requestsCount(), 0);
}

TEST_F(NetworkQueue, CancellingDrainsTheCountAndLeavesNoStrayProgress)
{
    HeldServer held(3);
    auto owner = std::make_shared<Owner>();
    auto queue = ownedQueue(owner);
    auto receiver = std::make_shared<ProgressRecorder>();
    queue->setDownloadProgressDelegate(receiver);
    for (int i = 0; i < 7; ++i)
        queue->addOperation(held.request("/c"));
    queue->go();
    // One finishes, three are running, three wait.
    held.gate(0)->open();
    ASSERT_TRUE(runUntil([&] { return owner->endings() == 1; }));
    ASSERT_TRUE(held.gate(3));
    queue->cancelAllOperations();
    EXPECT_EQ(queue->totalBytesToDownload(), 0u);
    ASSERT_TRUE(runUntil([&] { return owner->endings() == 7 && queue->requestsCount() == 0; }));
    held.openAll();
    EXPECT_TRUE(owner->wellOrdered(7));
    EXPECT_EQ(owner->failureCodes, std::vector<int>(6, BRRequestCancelledErrorType));
    EXPECT_EQ(owner->countsAtFailure.back(), 0);
    EXPECT_EQ(owner->queueFinished, 1);
    EXPECT_FALSE(receiver->offMain || receiver->badValue);

    // One request leaves with its delegates cleared, the other finishes: the count still
    // drains and the batch is reported done, with no handler for the silent one.
    auto quietOwner = std::make_shared<Owner>();
    auto quietQueue = ownedQueue(quietOwner);
    auto silentOne = held.request("/quiet"), loudOne = held.request("/loud");
    quietQueue->addOperation(silentOne);
    quietQueue->addOperation(loudOne);
    quietQueue->go();
    ASSERT_TRUE(held.gate(5));
    silentOne->clearDelegatesAndCancel();
    held.openAll();
    ASSERT_TRUE(runUntil([&] { return quietOwner->queueFinished > 0; }));
    EXPECT_EQ(quietQueue->requestsCount(), 0);
    EXPECT_EQ(quietOwner->countsAtFinish.size() + quietOwner->countsAtFailure.size(), 1u);
    EXPECT_EQ(quietOwner->ended.count(silentOne.get()), 0u);
    EXPECT_FALSE(quietOwner->offMain);
}

TEST_F(NetworkQueue, ProgressOneUnitPerRequestOrInBytes)
{
    LoopbackServer server([](const Request&) { return Reply::text(200, "ok"); });
    auto owner = std::make_shared<Owner>();
    auto queue = ownedQueue(owner);
    auto receiver = std::make_shared<ProgressRecorder>();
    queue->setDownloadProgressDelegate(receiver);
    for (int i = 0; i < 4; ++i)
        queue->addOperation(BRHTTPRequest::requestWithURL(net::URL::parse(server.url("/p"))));
    EXPECT_EQ(queue->totalBytesToDownload(), 4u);
    EXPECT_EQ(queue->totalBytesToUpload(), 4u);
    queue->go();
    ASSERT_TRUE(runUntil([&] { return owner->queueFinished > 0; }));
    EXPECT_TRUE(owner->wellOrdered(4));
    std::vector<float> moved;
    for (float v : receiver->values)
        if (v > 0)
            moved.push_back(v);
    EXPECT_EQ(moved, (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));
    EXPECT_TRUE(receiver->rising());

    // In bytes: a 10 MiB multipart upload.
    auto accurateOwner = std::make_shared<Owner>();
    auto accurate = ownedQueue(accurateOwner);
    accurate->setShowAccurateProgress(true);
    auto up = std::make_shared<ProgressRecorder>();
    accurate->setUploadProgressDelegate(up);
    auto upload = BRFormDataRequest::requestWithURL(net::URL::parse(server.url("/upload")));
    upload->addPostValueForKey("big", "name");
    std::string data = pattern(10 << 20);
    upload->addDataForKey(base::Bytes(data.begin(), data.end()), "data");
    accurate->addOperation(upload);
    accurate->go();
    ASSERT_TRUE(runUntil([&] { return accurateOwner->queueFinished > 0; }));
    EXPECT_TRUE(accurateOwner->wellOrdered(1));
    EXPECT_EQ(accurateOwner->countsAtFinish, std::vector<int>{0});
    EXPECT_GT(up->values.size(), 2u);
    EXPECT_TRUE(up->rising());
    EXPECT_FALSE(up->offMain || up->badValue);
    EXPECT_EQ(up->values.back(), 1.0f);
    EXPECT_EQ(accurate->bytesUploadedSoFar(), accurate->totalBytesToUpload());
}

TEST_F(NetworkQueue, GetsOnAnAccurateQueueAreSizedByHeadRequestsFirst)
{
    SKIP_WITHOUT_NGINX();
    std::string root = testsupport::makeTemporaryFolder("www");
    uint64_t total = 0;
    for (int i = 0; i < 3; ++i) {
        writeFile(root + "/f" + std::to_string(i), pattern(200000 * (i + 1)));
        total += 200000 * (i + 1);
    }
    Nginx nginx(root);
    ASSERT_TRUE(nginx.ok());
    auto owner = std::make_shared<Owner>();
    auto queue = ownedQueue(owner);
    queue->setShowAccurateProgress(true);
    auto down = std::make_shared<ProgressRecorder>();
    queue->setDownloadProgressDelegate(down);
    for (int i = 0; i < 3; ++i) {
        auto r = BRHTTPRequest::requestWithURL(net::URL::parse(nginx.url("/f" + std::to_string(i))));
        r->setAllowCompressedResponse(false);
        queue->addOperation(r);
    }
    // Three GETs and their three HEAD requests; only the GETs are counted.
    EXPECT_EQ(queue->operationCount(), 6u);
    EXPECT_EQ(queue->requestsCount(), 3);
    queue->go();
    ASSERT_TRUE(runUntil([&] { return owner->queueFinished > 0; }));
    EXPECT_TRUE(owner->wellOrdered(3));
    EXPECT_EQ(owner->countsAtFinish, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(queue->totalBytesToDownload(), total);
    EXPECT_EQ(queue->bytesDownloadedSoFar(), total);
    // Sizes still arriving may lower the fraction for a moment; it ends whole.
    EXPECT_FALSE(down->offMain || down->badValue);
    EXPECT_EQ(down->values.back(), 1.0f);
}

TEST_F(NetworkQueue, TheServerLayersBatchDownloadsAndCancelByFileName)
{
    SKIP_WITHOUT_NGINX();
    std::string root = testsupport::makeTemporaryFolder("www");
    std::string folder = testsupport::makeTemporaryFolder("files");
    for (int i = 0; i < 12; ++i)
        writeFile(root + "/img" + std::to_string(i) + ".jpg", pattern(30000 + i));
    Nginx nginx(root);
    ASSERT_TRUE(nginx.ok());
    for (bool cancelOne : {false, true}) {
        SCOPED_TRACE(cancelOne ? "one cancelled by name" : "all twelve");
        // Messages, uploads, batch downloads, single downloads.
        auto owner = std::make_shared<Owner>();
        std::vector<BRNetworkQueue::Ptr> queues;
        for (int i = 0; i < 4; ++i)
            queues.push_back(ownedQueue(owner));
        auto& batch = queues[2];
        owner->queue = batch;
        auto receiver = std::make_shared<ProgressRecorder>();
        std::vector<std::shared_ptr<DownloadRequest>> sent;
        for (int i = 0; i < 12; ++i) {
            std::string name = "img" + std::to_string(i) + ".jpg";
            ::unlink((base::Paths::tmp() + "/" + name).c_str());
            sent.push_back(DownloadRequest::make(nginx.url("/" + name), name, folder));
            batch->addOperation(sent.back());
            batch->go();
            batch->setDownloadProgressDelegate(receiver);
        }
        if (cancelOne) {
            // As the server layer cancels a download by its file name.
            for (auto& op : batch->operations()) {
                batch->setShouldCancelAllRequestsOnFailure(false);
                auto download = std::dynamic_pointer_cast<DownloadRequest>(op);
                if (download && download->fileName == "img11.jpg") {
                    download->clearDelegatesAndCancel();
                    break;
                }
            }
        }
        ASSERT_TRUE(runUntil([&] { return owner->queueFinished > 0; }));
        EXPECT_EQ(batch->requestsCount(), 0);
        EXPECT_TRUE(owner->wellOrdered(cancelOne ? 11 : 12));
        // The cancelled one may be the last to leave: then only the batch's end is told.
        if (cancelOne)
            EXPECT_LE(owner->countsAtFinish.back(), 1);
        else
            EXPECT_EQ(owner->countsAtFinish.back(), 0);
        EXPECT_EQ(owner->queueFinished, 1);
        EXPECT_FALSE(receiver->offMain || receiver->badValue);
        EXPECT_TRUE(receiver->rising());
        std::vector<float> moved, expected;
        for (float v : receiver->values)
            if (v > 0)
                moved.push_back(v);
        for (int k = 1; k <= (cancelOne ? 11 : 12); ++k)
            expected.push_back(float(double(k) / 12));
        EXPECT_EQ(moved, expected);
        for (int i = 0; i < (cancelOne ? 11 : 12); ++i)
            EXPECT_EQ(readFile(folder + "/img" + std::to_string(i) + ".jpg"), pattern(30000 + i));
    }
}

TEST_F(NetworkQueue, MissingFilePartFailsOnceThroughTheQueue)
{
    LoopbackServer server([](const Request&) { return Reply::text(200, "ok"); });
    auto owner = std::make_shared<Owner>();
    auto queue = ownedQueue(owner);
    auto upload = BRFormDataRequest::requestWithURL(net::URL::parse(server.url("/upload")));
    upload->addPostValueForKey("1", "id");
    upload->addFileForKey("/no/such/file.jpg", "file");
    // Recorded, not yet told.
    base::RunLoop::main().runPending();
    EXPECT_EQ(owner->endings(), 0);
    queue->addOperation(upload);
    queue->go();
    ASSERT_TRUE(runUntil([&] { return owner->queueFinished > 0; }));
    EXPECT_TRUE(owner->wellOrdered(1));
    EXPECT_EQ(owner->failureCodes, std::vector<int>{BRInternalErrorWhileBuildingRequestType});
    EXPECT_EQ(owner->failureTexts, std::vector<std::string>{"No file exists at /no/such/file.jpg"});
    EXPECT_EQ(owner->countsAtFailure, std::vector<int>{0});
    EXPECT_EQ(server.requests().size(), 0u);
}

// Only requests can be added; the generic queue is out of reach.
template <class Q, class O>
concept Adds = requires(Q& q, O o) { q.addOperation(o); };
static_assert(Adds<BRNetworkQueue, BRHTTPRequest::Ptr>);
static_assert(Adds<BRNetworkQueue, BRFormDataRequest::Ptr>);
static_assert(!Adds<BRNetworkQueue, std::shared_ptr<base::BlockOperation>>);
static_assert(!Adds<BRNetworkQueue, std::function<void()>>);
static_assert(!std::is_convertible_v<BRNetworkQueue*, base::OperationQueue*>);

TEST_F(NetworkQueue, CopyResetAndTheQuestionsItPassesOn)
{
    class Answering : public Owner {
    public:
        bool answersAuthenticationNeeded() const override { return true; }
    };
    auto owner = std::make_shared<Answering>();
    auto queue = ownedQueue(owner);
    EXPECT_THROW(queue->addOperation(nullptr), AttemptToAddInvalidRequest);
    EXPECT_EQ(queue->requestsCount(), 0);
    EXPECT_TRUE(queue->answersAuthenticationNeeded());
    EXPECT_FALSE(queue->answersProxyAuthenticationNeeded());
    EXPECT_FALSE(queue->answersWillRedirect());
    queue->setRequestWillRedirectSelector([](BRHTTPRequestDelegate&, BRHTTPRequest&, const net::URL&) {});
    EXPECT_TRUE(queue->answersWillRedirect());
    queue->setShowAccurateProgress(true);
    queue->go();

    auto copy = queue->copy();
    EXPECT_TRUE(copy->isSuspended());
    EXPECT_EQ(copy->maxConcurrentOperationCount(), 4);
    EXPECT_EQ(copy->delegate(), owner);
    EXPECT_TRUE(copy->showAccurateProgress());
    EXPECT_TRUE(copy->answersWillRedirect());

    queue->reset();
    EXPECT_TRUE(queue->isSuspended());
    EXPECT_EQ(queue->delegate(), nullptr);
    EXPECT_TRUE(queue->hasRequestWillRedirectSelector());
    EXPECT_FALSE(queue->answersAuthenticationNeeded());
}

} // namespace
