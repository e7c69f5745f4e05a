#include "HTTPRequestTestSupport.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>

using namespace enginetest;

namespace {

// Sequential GETs, each started by the previous one's ending, as a chain of commands runs.
// Answers the seconds the chain took, or a negative number when a request failed.
double runChain(const LoopbackServer& server, int count)
{
    int done = 0;
    bool failed = false;
    std::function<void()> next;
    next = [&] {
        auto request = BRHTTPRequest::requestWithURL(net::URL::parse(server.url("/small")));
        request->setShouldAttemptPersistentConnection(true);
        std::weak_ptr<BRHTTPRequest> weak = request;
        request->setCompletionBlock([&, weak] {
            auto finished = weak.lock();
            if (!finished || finished->responseStatusCode() != 200) {
                failed = true;
                return;
            }
            if (++done < count)
                next();
        });
        request->setFailedBlock([&] { failed = true; });
        request->startAsynchronous();
    };
    auto start = std::chrono::steady_clock::now();
    next();
    bool ended = base::RunLoop::main().runUntil([&] { return failed || done == count; }, 120);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return ended && !failed ? seconds : -1;
}

// A finished request is reported when the network thread has nothing else to hand over, not
// after a wait that only another request under way would cause: a chain of commands keeps
// its pace beside a long download. Compared with the same chain alone in the same run, the
// best of a few alternated runs each, so that the machine's load falls on both sides.
TEST(HTTPReportPace, ChainBesideADownloadKeepsThePaceOfTheChainAlone)
{
    testHome();
    std::mutex gateLock;
    std::shared_ptr<Gate> gate;
    LoopbackServer server([&](const Request& request) {
        if (request.target == "/long") {
            Reply reply;
            reply.body = std::string(1 << 20, 'd');
            // Under way with a first part received, the rest held until the test opens the gate.
            std::lock_guard lock(gateLock);
            reply.pauses = {{64 << 10, gate}};
            return reply;
        }
        return Reply::text(200, "ok");
    });
    const int chain = 200;
    ASSERT_GT(runChain(server, 20), 0); // the chain's connection open and warm

    double alone = 1e9, beside = 1e9;
    for (int round = 0; round < 3; ++round) {
        {
            std::lock_guard lock(gateLock);
            gate = std::make_shared<Gate>();
        }
        Exchange download(server.url("/long"));
        download.recorder->keepsData = false;
        download.recorder->wantsData = true;
        download.request->startAsynchronous();
        ASSERT_TRUE(gate->waitReached(30));
        ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return download.recorder->dataSize > 0; }, 30));
        double withDownload = runChain(server, chain);
        ASSERT_GT(withDownload, 0);
        ASSERT_FALSE(download.recorder->done()) << "the download must stay under way";
        beside = std::min(beside, withDownload);
        gate->open();
        ASSERT_TRUE(download.wait());
        EXPECT_EQ(download.recorder->dataSize, uint64_t(1) << 20);

        double without = runChain(server, chain);
        ASSERT_GT(without, 0);
        alone = std::min(alone, without);
    }
    // Reports held for a couple of milliseconds while another request is under way make the
    // chain beside the download take at least that for each of its requests; alone it takes
    // a few milliseconds in all.
    EXPECT_LT(beside, 2 * alone + 0.05) << "beside a download " << beside * 1000 << " ms, alone " << alone * 1000 << " ms";
}

} // namespace
