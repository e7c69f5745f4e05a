#include "ProgressTestSupport.h"

#include "Platform/Base/Date.h"
#include "Platform/Base/Paths.h"
#include "tests/Support/OnExit.h"

#include <arpa/inet.h>

using namespace enginetest;

namespace {

const std::string kSyncCommand = R"({"root":{"parameters":{"methodName":"sync"}}})";

class HTTPTimeoutProgress : public ::testing::Test {
protected:
    void SetUp() override
    {
        testHome();
        dir = testsupport::makeTemporaryFolder("timeouts");
        destination = dir + "/doc.bin";
        temporary = base::Paths::tmp() + "/timeout-doc." + std::to_string(::getpid());
        ::unlink(temporary.c_str());
    }
    std::string dir, destination, temporary;
};

Reply silent()
{
    Reply r;
    r.neverAnswer = true;
    return r;
}

int startedCount(const Recorder& recorder)
{
    return int(std::count(recorder.events.begin(), recorder.events.end(), "started"));
}

TEST_F(HTTPTimeoutProgress, SilenceTimesOutOnTheMonotonicClockAndRetriesWhenAsked)
{
    LoopbackServer server([](const Request&) { return silent(); });
    Exchange once(server.url("/silent"));
    once.request->setTimeOutSeconds(1);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(once.runAsync());
    double took = secondsSince(start);
    EXPECT_TRUE(once.recorder->wellOrdered());
    EXPECT_EQ(once.errorCode(), BRRequestTimedOutErrorType);
    EXPECT_EQ(once.request->error()->description, "The request timed out");
    EXPECT_GE(took, 1.0);
    EXPECT_LT(took, 10) << "one time-out, not a hang"; // generous: a loaded machine is slow
    EXPECT_EQ(server.acceptCount(), 1) << "no retry unless asked";

    Exchange retried(server.url("/silent"));
    retried.request->setTimeOutSeconds(0.3);
    retried.request->setNumberOfTimesToRetryOnTimeout(2);
    ASSERT_TRUE(retried.runAsync());
    EXPECT_TRUE(retried.recorder->wellOrdered());
    EXPECT_EQ(retried.errorCode(), BRRequestTimedOutErrorType);
    EXPECT_EQ(server.acceptCount(), 1 + 3);
    EXPECT_EQ(startedCount(*retried.recorder), 3);

    // The wall clock jumping an hour ahead is no silence.
    auto gate = std::make_shared<Gate>();
    LoopbackServer held([&](const Request&) {
        Reply r = Reply::text(200, "late");
        r.pauses = {{0, gate}};
        return r;
    });
    base::Date::setFixedNow(base::Date::now());
    Exchange jumped(held.url("/"));
    jumped.request->setTimeOutSeconds(5); // far past the wait below, however slow the machine
    jumped.request->startAsynchronous();
    ASSERT_TRUE(gate->waitReached(10));
    base::Date::advanceFixedNow(3600);
    EXPECT_FALSE(jumped.wait(0.6));
    gate->open();
    ASSERT_TRUE(jumped.wait());
    base::Date::setFixedNow(std::nullopt);
    EXPECT_TRUE(jumped.recorder->wellOrdered());
    EXPECT_EQ(jumped.recorder->finished, 1);
}

TEST_F(HTTPTimeoutProgress, UnsentFirstBufferGetsHalfAsLongAgain)
{
    // A listener that never accepts: the kernel takes the connection and a few buffers in.
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t len = sizeof sa;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);

    Exchange upload("http://127.0.0.1:" + std::to_string(ntohs(sa.sin_port)) + "/upload");
    upload.request->setRequestMethod("POST");
    upload.request->setPostBody(base::Bytes(64 << 20, 'u'));
    upload.request->setTimeOutSeconds(1);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(upload.runAsync());
    double took = secondsSince(start);
    ::close(listener);
    EXPECT_TRUE(upload.recorder->wellOrdered());
    EXPECT_EQ(upload.errorCode(), BRRequestTimedOutErrorType);
    EXPECT_GE(took, 1.5);
}

TEST_F(HTTPTimeoutProgress, StalledDownloadResumesWithRangeAndNoDescriptorOutlivesAnAttempt)
{
    std::string source = pattern(1000000);
    auto stall = std::make_shared<Gate>();
    LoopbackServer server([&](const Request& rq) {
        Reply r;
        r.body = source;
        r.honourRange = true;
        r.headers = {{"Last-Modified", "Tue, 01 Jul 2025 10:00:00 GMT"}};
        if (!rq.header("Range")) {
            Reply copy = r;
            std::optional<size_t> stop;
            std::string wire = LoopbackServer::buildWire(rq, copy, &stop);
            r.pauses = {{wire.find("\r\n\r\n") + 4 + 300000, stall}};
        }
        return r;
    });
    Exchange run(server.url("/file"));
    configureAsDownload(*run.request, destination, temporary);
    run.request->setTimeOutSeconds(1); // the resumed attempt must not time out on a loaded machine
    run.request->setNumberOfTimesToRetryOnTimeout(1);
    ASSERT_TRUE(run.runAsync());
    stall->open();
    EXPECT_TRUE(run.recorder->wellOrdered());
    EXPECT_EQ(run.recorder->finished, 1);
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].header("Range").value_or(""), "bytes=300000-");
    // The engine's own retry names the part's version as any resume does.
    EXPECT_EQ(requests[1].header("If-Range").value_or(""), "Tue, 01 Jul 2025 10:00:00 GMT");
    EXPECT_EQ(sha256(readFile(destination)), sha256(source));

    LoopbackServer silentServer([](const Request&) { return silent(); });
    Exchange warmUp(silentServer.url("/"));
    warmUp.request->setTimeOutSeconds(0.3);
    ASSERT_TRUE(warmUp.runAsync());
    ASSERT_TRUE(silentServer.waitForClosedByClient(1, 10));
    int before = openDescriptors();
    Exchange many(silentServer.url("/"));
    many.request->setTimeOutSeconds(0.3);
    many.request->setNumberOfTimesToRetryOnTimeout(20);
    ASSERT_TRUE(many.runAsync());
    EXPECT_TRUE(many.recorder->wellOrdered());
    EXPECT_EQ(many.errorCode(), BRRequestTimedOutErrorType);
    EXPECT_EQ(silentServer.acceptCount(), 1 + 21);
    ASSERT_TRUE(silentServer.waitForClosedByClient(22, 10));
    EXPECT_TRUE(spinUntil([&] { return openDescriptors() <= before; }, 5)) << openDescriptors() << " > " << before;
}

TEST_F(HTTPTimeoutProgress, OnlyAKeptConnectionThatDiedBeforeAnsweringIsRetried)
{
    LoopbackServer server([&](const Request& rq) {
        Reply r = Reply::text(200, "ok:" + rq.target);
        bool kept = rq.connection == 1 && rq.target == "/drop";
        if (kept || rq.target == "/post") {
            r.raw = "";
            r.stopAfter = 0;
            r.reset = true;
        } else if (rq.target == "/cut") {
            r.body = pattern(5000);
            r.stopAfterBody = 100;
            r.reset = true;
        }
        return r;
    });
    Exchange first(server.url("/first"));
    ASSERT_TRUE(first.runAsync());
    // The second GET takes the kept connection, which the server resets unanswered.
    Exchange second(server.url("/drop"));
    ASSERT_TRUE(second.runAsync());
    EXPECT_TRUE(second.recorder->wellOrdered());
    EXPECT_EQ(second.recorder->finished, 1);
    EXPECT_EQ(second.request->retryCount(), 1);
    EXPECT_EQ(second.request->responseString().value_or(""), "ok:/drop");
    EXPECT_EQ(server.acceptCount(), 2);

    // Part of an answer came: the server saw the request, so no second try.
    Exchange cut(server.url("/cut"));
    ASSERT_TRUE(cut.runAsync());
    EXPECT_TRUE(cut.recorder->wellOrdered());
    EXPECT_EQ(cut.errorCode(), BRConnectionFailureErrorType);
    EXPECT_EQ(cut.request->retryCount(), 0);

    // A POST never rides a kept connection, so its reset is the owner's to judge.
    Exchange post(server.url("/post"));
    configureAsCommand(*post.request, kSyncCommand);
    ASSERT_TRUE(post.runAsync());
    EXPECT_TRUE(post.recorder->wellOrdered());
    EXPECT_EQ(post.errorCode(), BRConnectionFailureErrorType);
    int posts = 0;
    for (const auto& rq : server.requests())
        if (rq.target == "/post") {
            ++posts;
            EXPECT_EQ(rq.body, kSyncCommand);
        }
    EXPECT_EQ(posts, 1);
    int cuts = 0;
    for (const auto& rq : server.requests())
        cuts += rq.target == "/cut";
    EXPECT_EQ(cuts, 1);
}

TEST_F(HTTPTimeoutProgress, ProgressFromAResumeOneUnitAndReceiversGoneBeforeDelivery)
{
    std::string source = pattern(1000);
    LoopbackServer server([&](const Request& rq) {
        Reply r;
        r.body = rq.target == "/file" ? source : "answer";
        r.honourRange = true;
        return r;
    });
    writeFile(temporary, source.substr(0, 400));
    auto receiver = std::make_shared<ProgressRecorder>();
    Exchange resumed(server.url("/file"));
    configureAsDownload(*resumed.request, destination, temporary);
    resumed.request->setDownloadProgressDelegate(receiver);
    ASSERT_TRUE(resumed.runAsync());
    EXPECT_TRUE(resumed.recorder->wellOrdered());
    EXPECT_EQ(readFile(destination), source);
    ASSERT_FALSE(receiver->values.empty());
    EXPECT_GE(receiver->values.front(), 0.4f);
    EXPECT_EQ(receiver->values.back(), 1.0f);
    EXPECT_TRUE(receiver->rising());
    EXPECT_FALSE(receiver->offMain || receiver->badValue);

    // One unit each way, once, at the end, to the receivers and to the blocks.
    auto up = std::make_shared<ProgressRecorder>(), down = std::make_shared<ProgressRecorder>();
    Exchange unit(server.url("/cmd"));
    configureAsCommand(*unit.request, kSyncCommand);
    unit.request->setShowAccurateProgress(false);
    unit.request->setUploadProgressDelegate(up);
    unit.request->setDownloadProgressDelegate(down);
    std::vector<int64_t> sentByBlock, receivedByBlock;
    unit.request->setBytesSentBlock([&](int64_t amount, int64_t) { sentByBlock.push_back(amount); });
    unit.request->setBytesReceivedBlock([&](int64_t amount, int64_t) { receivedByBlock.push_back(amount); });
    ASSERT_TRUE(unit.runAsync());
    EXPECT_EQ(up->sent, std::vector<int64_t>{1});
    EXPECT_EQ(down->received, std::vector<int64_t>{1});
    EXPECT_EQ(sentByBlock, std::vector<int64_t>{1});
    EXPECT_EQ(receivedByBlock, std::vector<int64_t>{1});
    EXPECT_EQ(up->values.back(), 1.0f);

    // Receivers destroyed or cleared before their queued calls run are not called, and the
    // request outlives the calls it queued.
    auto gone = std::make_shared<ProgressRecorder>(), cleared = std::make_shared<ProgressRecorder>();
    auto goneCalls = gone->calls;
    Exchange quiet(server.url("/cmd"));
    configureAsCommand(*quiet.request, kSyncCommand);
    quiet.request->setDownloadProgressDelegate(gone);
    quiet.request->setUploadProgressDelegate(cleared);
    quiet.request->startAsynchronous();
    ASSERT_TRUE(spinUntil([&] { return *quiet.markedFinished > 0; }));
    gone.reset();
    quiet.request->setUploadProgressDelegate({});
    std::weak_ptr<BRHTTPRequest> request = quiet.request;
    quiet.request.reset();
    ASSERT_TRUE(quiet.wait());
    EXPECT_EQ(quiet.recorder->finished, 1);
    EXPECT_EQ(*goneCalls, 0);
    EXPECT_EQ(*cleared->calls, 0);
    EXPECT_TRUE(base::RunLoop::main().runUntil([&] { return request.expired(); }, 5));
}

// A cache that never has anything.
class EmptyCache : public BRCacheDelegate {
public:
    int defaultCachePolicy() override { return BRUseDefaultCachePolicy; }
    bool canUseCachedDataForRequest(BRHTTPRequest&) override { return false; }
    void storeResponseForRequest(BRHTTPRequest&, double) override {}
    void updateExpiryForRequest(BRHTTPRequest&, double) override {}
    std::optional<net::HttpHeaders> cachedResponseHeadersForURL(const net::URL&) override { return std::nullopt; }
    std::optional<base::Bytes> cachedResponseDataForURL(const net::URL&) override { return std::nullopt; }
    std::optional<std::string> pathToCachedResponseDataForURL(const net::URL&) override { return std::nullopt; }
    void removeCachedDataForRequest(BRHTTPRequest&) override {}
    void clearCachedResponsesForStoragePolicy(int) override {}
};

TEST_F(HTTPTimeoutProgress, AccessorsFromAnotherThreadAndWhatARequestDoesNotKeep)
{
    auto gate = std::make_shared<Gate>();
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.body = pattern(1 << 20);
        r.pauses = {{65536, gate}};
        return r;
    });
    Exchange run(server.url("/x"));
    configureAsCommand(*run.request, kSyncCommand);
    std::atomic<bool> stop{false};
    std::atomic<int> mixed{0};
    std::atomic<uint64_t> sum{0};
    // Another thread sets the limit and reads the counters while the request runs.
    std::thread other([&, request = run.request] {
        for (int i = 0; !stop; ++i) {
            request->setTimeOutSeconds(i % 2 ? 20.0 : 40.0);
            double limit = request->timeOutSeconds();
            mixed += limit != 20.0 && limit != 40.0;
            sum += request->contentLength() + request->totalBytesRead() + request->totalBytesSent() +
                   request->postLength() + request->partialDownloadSize() + uint64_t(request->responseStatusCode());
            if (auto headers = request->responseHeaders())
                sum += headers->fields().size();
        }
    });
    testsupport::JoinOnExit joinOther(other, [&] { stop = true; });
    run.request->startAsynchronous();
    ASSERT_TRUE(gate->waitReached(10));
    // The other thread has read the counters of the running request before it may end.
    EXPECT_TRUE(base::RunLoop::main().runUntil([&] { return sum > 0; }, 60));
    gate->open();
    ASSERT_TRUE(run.wait());
    stop = true;
    other.join();
    EXPECT_TRUE(run.recorder->wellOrdered());
    EXPECT_EQ(run.recorder->finished, 1);
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(sum, 0u);

    // A block set to none is gone.
    int failures = 0;
    Exchange refused("http://127.0.0.1:1/");
    refused.request->setFailedBlock([&] { ++failures; });
    refused.request->setFailedBlock(nullptr);
    ASSERT_TRUE(refused.runAsync());
    EXPECT_EQ(refused.recorder->failed, 1);
    EXPECT_EQ(failures, 0);

    // Neither the cache nor the main request of a HEAD request is kept alive by it.
    auto cache = std::make_shared<EmptyCache>();
    auto main = BRHTTPRequest::requestWithURL(net::URL::parse(server.url("/x")));
    main->setDownloadCache(cache);
    EXPECT_EQ(main->downloadCache(), cache);
    cache.reset();
    EXPECT_EQ(main->downloadCache(), nullptr);
    main->setTimeOutSeconds(7);
    auto head = main->HEADRequest();
    EXPECT_EQ(head->requestMethod(), "HEAD");
    EXPECT_EQ(head->timeOutSeconds(), 7);
    EXPECT_EQ(head->mainRequest(), main);
    std::weak_ptr<BRHTTPRequest> weakMain = main;
    main.reset();
    EXPECT_TRUE(weakMain.expired());
    EXPECT_EQ(head->mainRequest(), nullptr);
}

} // namespace
