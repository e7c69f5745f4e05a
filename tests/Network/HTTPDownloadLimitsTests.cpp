// What holds a file download whatever the server does: its pace, its listed bound across a
// resume, and the room left on its disk.
#include "HTTPRequestTestSupport.h"
#include "tests/Support/SmallDisk.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <chrono>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

using namespace enginetest;

namespace {

class HTTPDownloadLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        testHome();
        useFolder(testsupport::makeTemporaryFolder("limits"));
    }
    void useFolder(const std::string& folder)
    {
        dir = folder;
        destination = dir + "/doc.bin";
        temporary = dir + "/doc.bin.part";
        ::unlink(destination.c_str());
        ::unlink(temporary.c_str());
    }
    Exchange download(const std::string& url)
    {
        Exchange run(url);
        configureAsDownload(*run.request, destination, temporary);
        run.recorder->wantsData = true;
        run.recorder->keepsData = false;
        return run;
    }
    static uint64_t fileSize(const std::string& path)
    {
        std::error_code error;
        auto size = std::filesystem::file_size(path, error);
        return error ? 0 : uint64_t(size);
    }
    std::string dir, destination, temporary;
};

// A body is held to a pace, not only to a silence: fewer bytes than the limit over its window
// is a time-out however steadily they come; a slow body that keeps the pace arrives whole.
TEST_F(HTTPDownloadLimits, ABodySlowerThanTheLowSpeedLimitTimesOut)
{
    struct Case {
        const char* what;
        Reply::Framing framing;
        uint64_t filler;
        uint64_t perSecond;
        uint64_t limitBytes; // over one second
        bool arrives;
    };
    const Case cases[] = {
        {"a body without end, one byte at a time", Reply::Framing::Close, UINT64_MAX, 20, 4096, false},
        {"a body of stated length trickling below the pace", Reply::Framing::Length, 1 << 20, 400, 4096, false},
        {"a slow body that keeps the pace", Reply::Framing::Length, 24000, 16000, 2048, true},
        {"a trickle with no limit set", Reply::Framing::Length, 1200, 1000, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackServer server([&](const Request&) {
            Reply r;
            r.body = "head";
            r.framing = c.framing;
            r.fillerBytes = c.filler;
            r.fillerBytesPerSecond = c.perSecond;
            // The filler is the body's own rest.
            if (c.framing == Reply::Framing::Length)
                r.headers = {{"Content-Length", std::to_string(4 + c.filler)}};
            r.close = true;
            return r;
        });
        useFolder(dir);
        Exchange run = download(server.url("/doc.bin"));
        // The idle time-out alone never ends any of these.
        run.request->setTimeOutSeconds(20);
        run.request->setLowSpeedLimit(c.limitBytes, 1.0);
        ASSERT_TRUE(run.runAsync(60)) << "the download neither ended nor failed";
        EXPECT_TRUE(run.recorder->wellOrdered());
        if (c.arrives) {
            EXPECT_EQ(run.errorCode(), 0);
            EXPECT_EQ(fileSize(destination), 4 + c.filler);
        } else {
            EXPECT_EQ(run.errorCode(), BRRequestTimedOutErrorType);
            EXPECT_FALSE(fileExists(destination));
            // What did come stays to be continued, as after any time-out.
            EXPECT_EQ(fileSize(temporary), run.recorder->dataSize);
            EXPECT_LT(run.recorder->dataSize, 8 * c.limitBytes);
        }
    }
}

// The pace is an average, not a window's tally: bursts that keep the floor on average arrive,
// though some windows hold a single burst a little short of the floor's worth, while a trickle
// or bursts below the floor on average still end at the floor.
TEST_F(HTTPDownloadLimits, BurstsThatKeepThePaceOnAverageArriveAndSlowerOnesEnd)
{
    const double window = 4.0; // the floor: 4,096 bytes over 4 s
    struct Case {
        const char* what;
        uint64_t size;
        uint64_t burst;
        uint64_t perSecond;
        bool arrives;
    };
    const Case cases[] = {
        {"4,000 bytes every 3.7 s, about 1,080 a second", 20000, 4000, 1081, true},
        {"2,000 bytes every 3.7 s, about 540 a second", 1 << 20, 2000, 540, false},
        {"one byte a second", 1 << 20, 1, 1, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackServer server([&](const Request&) {
            Reply r;
            r.fillerBytes = c.size;
            r.fillerBytesPerSecond = c.perSecond;
            r.fillerBurstBytes = c.burst;
            r.headers = {{"Content-Length", std::to_string(c.size)}};
            r.close = true;
            return r;
        });
        useFolder(dir);
        Exchange run = download(server.url("/doc.bin"));
        run.request->setTimeOutSeconds(20);
        run.request->setLowSpeedLimit(4096, window);
        auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(run.runAsync(60)) << "the download neither ended nor failed";
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(run.recorder->wellOrdered());
        if (c.arrives) {
            EXPECT_EQ(run.errorCode(), 0);
            EXPECT_EQ(fileSize(destination), c.size);
            continue;
        }
        EXPECT_EQ(run.errorCode(), BRRequestTimedOutErrorType);
        EXPECT_FALSE(BRHTTPRequest::isPastTimeBound(run.request->error()));
        EXPECT_GE(took, window);
        EXPECT_LT(took, 2 * window) << "a link below the floor was kept past its first window";
    }
}

// The pace is measured from the body's first byte: a server slow to start, before its head or
// between its head and its body, is the idle time-out's to judge, and a body that then keeps
// the pace arrives.
TEST_F(HTTPDownloadLimits, ThePaceIsMeasuredFromTheBodysFirstByte)
{
    const std::string body = pattern(64 << 10);
    for (bool beforeTheHead : {true, false}) {
        SCOPED_TRACE(beforeTheHead ? "the head late" : "the body late");
        auto gate = std::make_shared<Gate>();
        LoopbackServer server([&](const Request& rq) {
            Reply r;
            r.body = body;
            Reply copy = r;
            std::optional<size_t> stop;
            std::string wire = LoopbackServer::buildWire(rq, copy, &stop);
            r.pauses = {{beforeTheHead ? 0 : wire.find("\r\n\r\n") + 4, gate}};
            return r;
        });
        useFolder(dir);
        Exchange run = download(server.url("/doc.bin"));
        run.request->setTimeOutSeconds(20);
        run.request->setLowSpeedLimit(4096, 1.0);
        run.request->startAsynchronous();
        std::thread opener([gate] {
            if (gate->waitReached(60))
                std::this_thread::sleep_for(std::chrono::milliseconds(2500));
            gate->open();
        });
        bool ended = run.wait(60);
        opener.join();
        ASSERT_TRUE(ended);
        EXPECT_TRUE(run.recorder->wellOrdered());
        EXPECT_EQ(run.errorCode(), 0);
        EXPECT_EQ(readFile(destination), body);
    }
}

// Only the server's pace counts: while this side holds reading back (the main thread has not
// taken what came), the window starts afresh, and the download goes on once reading does.
TEST_F(HTTPDownloadLimits, TheWindowStartsAfreshWhileThisSideHoldsReadingBack)
{
    const uint64_t size = uint64_t(16) << 20;
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.fillerBytes = size;
        r.headers = {{"Content-Length", std::to_string(size)}};
        return r;
    });
    Exchange run = download(server.url("/doc.bin"));
    run.request->setLowSpeedLimit(256 << 10, 0.5);
    run.request->startAsynchronous();
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return run.request->totalBytesRead() > 0; }, 60));
    // Nothing reaches the receiver for six windows: reading stops once 4 MiB wait for it.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_GE(run.request->totalBytesRead(), uint64_t(4) << 20);
    EXPECT_LT(run.request->totalBytesRead(), size);
    ASSERT_TRUE(run.wait());
    EXPECT_TRUE(run.recorder->wellOrdered());
    EXPECT_EQ(run.errorCode(), 0);
    EXPECT_EQ(run.recorder->dataSize, size);
    EXPECT_EQ(fileSize(destination), size);
}

// A throttle that is configured but holds nothing back is no reason to wait on a trickle.
TEST_F(HTTPDownloadLimits, UnderAThrottleThatHoldsNothingATrickleStillTimesOut)
{
    BRHTTPRequest::setMaxBandwidthPerSecond(1u << 30);
    struct Unthrottle {
        ~Unthrottle() { BRHTTPRequest::setMaxBandwidthPerSecond(0); }
    } unthrottle;
    ASSERT_TRUE(BRHTTPRequest::isBandwidthThrottled());
    ASSERT_FALSE(BRHTTPRequest::isHoldingRequestsForThrottle());
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.body = "head";
        r.framing = Reply::Framing::Close;
        r.fillerBytes = UINT64_MAX;
        r.fillerBytesPerSecond = 20;
        r.close = true;
        return r;
    });
    Exchange run = download(server.url("/doc.bin"));
    run.request->setTimeOutSeconds(20);
    run.request->setLowSpeedLimit(4096, 1.0);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(run.runAsync(15)) << "the trickle went on under the throttle";
    EXPECT_FALSE(BRHTTPRequest::isHoldingRequestsForThrottle());
    EXPECT_EQ(run.errorCode(), BRRequestTimedOutErrorType);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10);
}

// A length stated past the file's bound is refused as soon as the head says it: nothing of the
// body is read or written.
TEST_F(HTTPDownloadLimits, AStatedLengthPastTheBoundFailsBeforeTheBodyIsRead)
{
    const uint64_t stated = uint64_t(1) << 30;
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.fillerBytes = stated;
        r.headers = {{"Content-Length", std::to_string(stated)}};
        r.close = true;
        return r;
    });
    Exchange run = download(server.url("/doc.bin"));
    run.request->setMaximumDownloadSize(1 << 20);
    ASSERT_TRUE(run.runAsync());
    EXPECT_TRUE(run.recorder->wellOrdered());
    EXPECT_EQ(run.errorCode(), BRConnectionFailureErrorType);
    EXPECT_TRUE(BRHTTPRequest::isAnswerTooLarge(run.request->error()));
    EXPECT_NE(run.request->error()->description.find(destination), std::string::npos)
        << run.request->error()->description;
    EXPECT_EQ(run.recorder->dataSize, 0u);
    EXPECT_FALSE(fileExists(temporary));
    EXPECT_FALSE(fileExists(destination));
}

// A body without end that keeps the pace still ends: past its time bound it fails as a time-out
// and keeps nothing. One that ends within the bound arrives whole.
TEST_F(HTTPDownloadLimits, AnEndlessBodyAtAnyPaceEndsAtItsTimeBound)
{
    struct Case {
        const char* what;
        uint64_t filler;
        double bound;
        bool arrives;
    };
    const Case cases[] = {
        {"a body without end above the pace", UINT64_MAX, 2.0, false},
        {"a file within its time", 40000, 20.0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackServer server([&](const Request&) {
            Reply r;
            r.body = "head";
            r.framing = c.filler == UINT64_MAX ? Reply::Framing::Close : Reply::Framing::Length;
            r.fillerBytes = c.filler;
            r.fillerBytesPerSecond = 64000;
            if (r.framing == Reply::Framing::Length)
                r.headers = {{"Content-Length", std::to_string(4 + c.filler)}};
            r.close = true;
            return r;
        });
        useFolder(dir);
        Exchange run = download(server.url("/doc.bin"));
        run.request->setLowSpeedLimit(4096, 1.0);
        run.request->setMaximumDownloadSeconds(c.bound);
        auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(run.runAsync(60));
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(run.recorder->wellOrdered());
        if (c.arrives) {
            EXPECT_EQ(run.errorCode(), 0);
            EXPECT_EQ(fileSize(destination), 4 + c.filler);
            continue;
        }
        EXPECT_EQ(run.errorCode(), BRRequestTimedOutErrorType);
        EXPECT_TRUE(BRHTTPRequest::isPastTimeBound(run.request->error()));
        EXPECT_GE(took, c.bound);
        EXPECT_LT(took, c.bound + 8);
        EXPECT_GT(run.recorder->dataSize, 64000u);
        EXPECT_FALSE(fileExists(temporary));
        EXPECT_FALSE(fileExists(destination));
    }
}

// The bound a file was listed with counts what an earlier attempt left too: a continuation,
// or a whole body sent again, that passes it fails as too large and leaves no part behind.
TEST_F(HTTPDownloadLimits, AListedBoundHoldsAcrossAResume)
{
    const uint64_t kBound = 1 << 20;
    struct Case {
        const char* what;
        size_t source;
        size_t left;           // bytes a first, cut attempt leaves
        bool leftByHand;       // the part is written by the test: more than an attempt would take
        bool honourRange;
        bool arrives;
    };
    const Case cases[] = {
        {"a continuation past the bound", 3 << 20, 600000, false, true, false},
        {"the whole body sent again past the bound", 3 << 20, 600000, false, false, false},
        {"a part left larger than the bound", 3 << 20, 1100000, true, true, false},
        {"a continuation within the bound", 900000, 600000, false, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string source = pattern(c.source);
        std::atomic<bool> cut{!c.leftByHand};
        LoopbackServer server([&](const Request&) {
            Reply r;
            r.body = source;
            r.headers = {{"ETag", "\"v\""}};
            r.honourRange = c.honourRange;
            if (cut)
                r.stopAfterBody = c.left;
            return r;
        });
        useFolder(dir);
        if (c.leftByHand) {
            writeFile(temporary, source.substr(0, c.left));
            ASSERT_TRUE(markPart(temporary, "\"v\""));
        } else {
            // Left by an attempt under a listing without a size: a stated length past the
            // bound now would be refused before any byte.
            Exchange first = download(server.url("/doc.bin"));
            ASSERT_TRUE(first.runAsync());
            ASSERT_EQ(first.errorCode(), BRConnectionFailureErrorType);
            ASSERT_EQ(fileSize(temporary), c.left);
            cut = false;
        }

        Exchange resumed = download(server.url("/doc.bin"));
        resumed.request->setMaximumDownloadSize(kBound);
        ASSERT_TRUE(resumed.runAsync());
        EXPECT_TRUE(resumed.recorder->wellOrdered());
        ASSERT_FALSE(server.requests().empty());
        EXPECT_EQ(server.requests().back().header("Range").value_or(""), "bytes=" + std::to_string(c.left) + "-");
        if (c.arrives) {
            EXPECT_EQ(resumed.errorCode(), 0);
            EXPECT_EQ(sha256(readFile(destination)), sha256(source));
        } else {
            EXPECT_EQ(resumed.errorCode(), BRConnectionFailureErrorType);
            EXPECT_TRUE(BRHTTPRequest::isAnswerTooLarge(resumed.request->error()));
            EXPECT_FALSE(fileExists(destination));
            uint64_t kept = c.honourRange ? c.left : 0;
            EXPECT_LE(resumed.recorder->dataSize + kept, std::max<uint64_t>(kBound, kept));
        }
        EXPECT_FALSE(fileExists(temporary));
    }
}

// Run in a child of its own with a small memory disk mounted over a folder of the test's, in
// a private mount namespace: the child's body below finds the folder named here.
constexpr const char* kSmallDiskVariable = "BRIVANTA_TEST_SMALL_DISK";
constexpr const char* kSmallDiskSize = "size=12m";
constexpr uint64_t kReserve = uint64_t(4) << 20;

// A disk with little room: a download that would leave less than the reserve free stops before
// the disk is full, fails as a file failure, and keeps nothing; one that fits arrives.
TEST_F(HTTPDownloadLimits, ADownloadStopsBeforeItsDiskIsFull)
{
    const char* mounted = std::getenv(kSmallDiskVariable);
    if (!mounted) {
        // The child runs only this test over the small disk.
        int status = testsupport::runThisTestOnASmallDisk(kSmallDiskVariable, kSmallDiskSize, false);
        ASSERT_NE(status, -1) << "the child ended by a signal";
        if (status == testsupport::kNoSmallDisk)
            GTEST_SKIP() << "no private mount namespace on this system";
        EXPECT_EQ(status, 0) << "the download on the small disk failed its checks (above)";
        return;
    }

    struct statvfs disk {};
    ASSERT_EQ(::statvfs(mounted, &disk), 0);
    const uint64_t room = uint64_t(disk.f_bavail) * disk.f_frsize;
    ASSERT_GT(room, kReserve + (uint64_t(2) << 20)) << "the small disk is not what was mounted";
    struct Case {
        const char* what;
        Reply::Framing framing;
        uint64_t filler;
        bool arrives;
        bool temporaryPath = true;
    };
    const Case cases[] = {
        {"a body without end", Reply::Framing::Close, UINT64_MAX, false},
        {"a stated length larger than the disk", Reply::Framing::Length, uint64_t(64) << 20, false},
        {"a body without end, written where it ends up", Reply::Framing::Close, UINT64_MAX, false, false},
        {"a file that fits beside the reserve", Reply::Framing::Length, uint64_t(2) << 20, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackServer server([&](const Request&) {
            Reply r;
            r.body = "head";
            r.framing = c.framing;
            r.fillerBytes = c.filler;
            if (c.framing == Reply::Framing::Length)
                r.headers = {{"Content-Length", std::to_string(4 + c.filler)}};
            r.close = true;
            return r;
        });
        useFolder(mounted);
        Exchange run = download(server.url("/doc.bin"));
        run.request->setMinimumFreeDiskSpace(kReserve);
        if (!c.temporaryPath) {
            run.request->setTemporaryFileDownloadPath("");
            run.request->setAllowResumeForFileDownloads(false);
        }
        ASSERT_TRUE(run.runAsync());
        EXPECT_TRUE(run.recorder->wellOrdered());
        if (c.arrives) {
            EXPECT_EQ(run.errorCode(), 0);
            EXPECT_EQ(fileSize(destination), 4 + c.filler);
            ::unlink(destination.c_str());
            continue;
        }
        ASSERT_EQ(run.errorCode(), BRFileManagementError);
        const base::Error* cause = run.request->error()->underlying.get();
        ASSERT_TRUE(cause);
        EXPECT_EQ(cause->code, ENOSPC);
        EXPECT_TRUE(BRHTTPRequest::isDiskFull(run.request->error()));
        // The message names the file it was writing, or where it was going.
        const std::string& said = run.request->error()->description;
        EXPECT_NE(said.find(c.temporaryPath ? temporary : destination), std::string::npos) << said;
        EXPECT_EQ(said.find("''"), std::string::npos) << said;
        // Stopped with the reserve still free, and nothing of it left.
        EXPECT_LE(run.recorder->dataSize, room - kReserve);
        // A stated length past the room is refused as its head arrives, before any body.
        if (c.framing == Reply::Framing::Length)
            EXPECT_EQ(run.recorder->dataSize, 0u);
        else
            EXPECT_GT(run.recorder->dataSize, 0u);
        EXPECT_FALSE(fileExists(temporary));
        EXPECT_FALSE(fileExists(destination));
    }
}

} // namespace
