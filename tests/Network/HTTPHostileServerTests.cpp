// What a hostile or broken server can send: bad chunk framing, answers far larger than memory,
// gzip bombs and cut gzip streams, and a changed document behind a cached one.
#include "HTTPRequestTestSupport.h"

#include "Network/BRDownloadCache.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Paths.h"
#include "tests/Support/OpenFiles.h"
#include "tests/Support/Sanitizers.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <set>

using namespace enginetest;

namespace {

namespace fs = std::filesystem;

const std::string kHead = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nTransfer-Encoding: chunked\r\n\r\n";
const std::string kTooLarge = "answer larger than 67108864 bytes";

long statusKiB(const char* field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return -1;
}

// Peak resident size from now on (the kernel resets the high-water mark on "5").
void resetResidentPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The sanitizers keep freed memory in quarantine, so resident sizes say nothing there.
constexpr bool kResidentSizeMeaningful =
#if defined(BRIVANTA_TEST_ASAN) || defined(BRIVANTA_TEST_TSAN)
    false;
#else
    true;
#endif

class HTTPHostileServer : public ::testing::Test {
protected:
    void SetUp() override { testHome(); }
};

TEST_F(HTTPHostileServer, UnreadableChunkSizeBesideTheHeadFailsAtOnceWithoutARetry)
{
    struct Case {
        const char* name;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"letters", "zz\r\nhello\r\n0\r\n\r\n"},
        {"22 hex digits", "1234567890abcdef012345\r\nhello\r\n0\r\n\r\n"},
        {"a sign", "-5\r\nhello\r\n0\r\n\r\n"},
        {"no digits before the extension", ";x=1\r\nhello\r\n0\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server([&](const Request&) {
            Reply r;
            r.raw = kHead + c.body; // one write: the head and the bad line share a packet
            r.close = true;
            return r;
        });
        Exchange run(server.url("/chunks"));
        run.request->setTimeOutSeconds(5);
        run.request->setNumberOfTimesToRetryOnTimeout(2);
        auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(run.runAsync(10));
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_TRUE(run.recorder->wellOrdered());
        EXPECT_EQ(run.errorCode(), BRConnectionFailureErrorType);
        EXPECT_LT(took, 4.5) << "failed at once, not after a time-out";
        EXPECT_EQ(server.acceptCount(), 1);
        // The whole head came first, and was told before the failure.
        EXPECT_EQ(run.recorder->joined(), "started headers failed ");
        EXPECT_EQ(run.request->responseStatusCode(), 200);
    }
}

TEST_F(HTTPHostileServer, ChunkFramingIsReadStrictly)
{
    struct Case {
        const char* name;
        std::string body;
        const char* whole; // nullptr: a protocol failure
    };
    const std::vector<Case> cases = {
        {"junk instead of CRLF after the data", "5\r\nhelloXX3\r\nabc\r\n0\r\n\r\n", nullptr},
        {"a bare LF after the data", "5\r\nhello\n3\r\nabc\r\n0\r\n\r\n", nullptr},
        {"CR and junk after the data", "5\r\nhello\rX3\r\nabc\r\n0\r\n\r\n", nullptr},
        {"data longer than its size", "3\r\nhello\r\n0\r\n\r\n", nullptr},
        {"junk in the last chunk's line", "5\r\nhello\r\n0zz\r\n\r\n", nullptr},
        {"a bare LF ending the last chunk's line", "5\r\nhello\r\n0\n\r\n", nullptr},
        {"junk where the trailers end", "5\r\nhello\r\n0\r\nnot a trailer\r\n\r\n", nullptr},
        {"extensions, upper-case digits and a trailer", "5;name=\"v\"\r\nhello\r\nA\r\n0123456789\r\n0\r\nX-Sum: 15\r\n\r\n",
         "hello0123456789"},
        {"zeros before the size", "0005\r\nhello\r\n0\r\n\r\n", "hello"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server([&](const Request&) {
            Reply r;
            r.raw = kHead + c.body;
            r.close = true;
            return r;
        });
        Exchange run(server.url("/chunks"));
        ASSERT_TRUE(run.runAsync(10));
        EXPECT_TRUE(run.recorder->wellOrdered());
        if (c.whole) {
            EXPECT_EQ(run.recorder->finished, 1);
            EXPECT_EQ(run.request->responseString(), c.whole);
        } else {
            EXPECT_EQ(run.errorCode(), BRConnectionFailureErrorType);
            EXPECT_TRUE(run.request->responseData()->empty());
        }
    }
}

// Answers far larger than memory: each fails with the size error once the limit is passed,
// keeps nothing, and the process never comes near holding the answer.
TEST_F(HTTPHostileServer, AnswersHeldInMemoryStopAtTheLimit)
{
    const std::string bomb = LoopbackServer::gzipOfZeros(uint64_t(1) << 30);
    ASSERT_LT(bomb.size(), size_t(2) << 20);
    struct Case {
        const char* name;
        bool gzip;
        bool inflateOnTheFly;
    };
    const std::vector<Case> cases = {
        {"gzip bomb inflated after the download", true, false},
        {"gzip bomb inflated on the fly", true, true},
        {"1 GiB close-delimited", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server([&](const Request&) {
            Reply r;
            if (c.gzip) {
                r.body = bomb;
                r.headers = {{"Content-Encoding", "gzip"}};
            } else {
                r.framing = Reply::Framing::Close;
                r.fillerBytes = uint64_t(1) << 30;
            }
            return r;
        });
        Exchange run(server.url("/huge"));
        run.request->setShouldWaitToInflateCompressedResponses(!c.inflateOnTheFly);
        resetResidentPeak();
        ASSERT_TRUE(run.runAsync(60));
        EXPECT_TRUE(run.recorder->wellOrdered());
        EXPECT_EQ(run.errorCode(), BRConnectionFailureErrorType);
        ASSERT_TRUE(run.request->error());
        EXPECT_NE(run.request->error()->description.find(kTooLarge), std::string::npos)
            << run.request->error()->description;
        EXPECT_TRUE(run.request->rawResponseData().empty());
        auto data = run.request->responseData();
        EXPECT_TRUE(!data || data->empty());
        // The whole process, the loopback server's buffers included, stays bounded.
        if (kResidentSizeMeaningful) {
            EXPECT_LT(statusKiB("VmHWM:"), 200 * 1024);
        }
    }

    // The limit is the request's own: raised, the same kind of answer is held whole.
    LoopbackServer small([](const Request&) {
        Reply r;
        r.body = LoopbackServer::gzipOfZeros(uint64_t(2) << 20);
        r.headers = {{"Content-Encoding", "gzip"}};
        return r;
    });
    for (uint64_t limit : {uint64_t(1) << 20, uint64_t(2) << 20}) {
        Exchange run(small.url("/two"));
        run.request->setMaximumInMemoryResponseSize(limit);
        ASSERT_TRUE(run.runAsync());
        if (limit < (uint64_t(2) << 20)) {
            EXPECT_EQ(run.errorCode(), BRConnectionFailureErrorType);
            EXPECT_NE(run.request->error()->description.find("answer larger than 1048576 bytes"), std::string::npos);
        } else {
            EXPECT_EQ(run.recorder->finished, 1);
            EXPECT_EQ(run.request->responseData(), base::Bytes(size_t(2) << 20, 0));
        }
    }
}

TEST_F(HTTPHostileServer, GzipIntoAFileIsInflatedAPieceAtATime)
{
    const uint64_t size = uint64_t(128) << 20;
    const std::string bomb = LoopbackServer::gzipOfZeros(size);
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.body = bomb;
        r.headers = {{"Content-Encoding", "gzip"}};
        return r;
    });
    std::string dir = testsupport::makeTemporaryFolder("inflate-to-file");
    struct Case {
        const char* name;
        bool wait;
        bool receiver;
    };
    for (const Case& c : {Case{"inflated afterwards", true, false}, Case{"inflated on the fly", false, false},
                          Case{"inflated on the fly for a data receiver", false, true}}) {
        SCOPED_TRACE(c.name);
        std::string destination = dir + "/zeros.bin";
        Exchange run(server.url("/zeros"));
        configureAsDownload(*run.request, destination, dir + "/zeros.part");
        run.request->setShouldWaitToInflateCompressedResponses(c.wait);
        // What waits for the receiver on the main thread is held back piece by piece, not
        // once a whole read has inflated.
        run.recorder->wantsData = c.receiver;
        run.recorder->keepsData = false;
        resetResidentPeak();
        long before = statusKiB("VmRSS:");
        ASSERT_TRUE(run.runAsync());
        EXPECT_TRUE(run.recorder->wellOrdered());
        EXPECT_EQ(run.recorder->finished, 1);
        EXPECT_EQ(fs::file_size(destination), size);
        EXPECT_EQ(run.recorder->dataSize, c.receiver ? size : 0);
        if (kResidentSizeMeaningful) {
            EXPECT_LT(statusKiB("VmHWM:") - before, 48 * 1024);
        }
        fs::remove(destination);
    }
    fs::remove_all(dir);
}

// A gzip answer of 1 MB that inflates to 1 GiB, inflated into a file afterwards or as it
// arrives: both stop at the inflater's ratio, fail, and leave no file anywhere.
TEST_F(HTTPHostileServer, GzipIntoAFileStopsAtItsRatioInEveryModeAndLeavesNothing)
{
    const std::string bomb = LoopbackServer::gzipOfZeros(uint64_t(1) << 30);
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.body = bomb;
        r.headers = {{"Content-Encoding", "gzip"}};
        return r;
    });
    std::string dir = testsupport::makeTemporaryFolder("inflate-bomb");
    auto listing = [](const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    };
    for (bool wait : {true, false}) {
        SCOPED_TRACE(wait ? "inflated afterwards" : "inflated on the fly");
        auto temporaries = listing(base::Paths::tmp());
        Exchange run(server.url("/bomb"));
        configureAsDownload(*run.request, dir + "/zeros.bin", dir + "/zeros.part");
        run.request->setShouldWaitToInflateCompressedResponses(wait);
        ASSERT_TRUE(run.runAsync());
        EXPECT_TRUE(run.recorder->wellOrdered());
        EXPECT_EQ(run.recorder->failed, 1);
        EXPECT_EQ(run.errorCode(), BRCompressionError);
        ASSERT_TRUE(run.request->error());
        EXPECT_NE(run.request->error()->description.find("inflates to more than 100 times its size"),
                  std::string::npos)
            << run.request->error()->description;
        EXPECT_TRUE(listing(dir).empty());
        EXPECT_EQ(listing(base::Paths::tmp()), temporaries);
    }
    fs::remove_all(dir);
}

TEST_F(HTTPHostileServer, CutGzipHeldInMemoryFails)
{
    std::string gz = LoopbackServer::gzip(std::string(100000, 'g'));
    for (size_t keep : {gz.size() / 2, gz.size() - 4, size_t(12)}) {
        SCOPED_TRACE(keep);
        LoopbackServer server([&](const Request&) {
            Reply r;
            r.body = gz.substr(0, keep); // correct framing around a cut stream
            r.headers = {{"Content-Encoding", "gzip"}};
            return r;
        });
        Exchange run(server.url("/cut"));
        ASSERT_TRUE(run.runAsync());
        EXPECT_TRUE(run.recorder->wellOrdered());
        EXPECT_EQ(run.errorCode(), BRCompressionError);
        EXPECT_FALSE(run.request->responseData());
    }
    // The whole stream still finishes, and is inflated once.
    LoopbackServer whole([&](const Request&) {
        Reply r;
        r.body = gz;
        r.headers = {{"Content-Encoding", "gzip"}};
        return r;
    });
    Exchange run(whole.url("/whole"));
    ASSERT_TRUE(run.runAsync());
    EXPECT_EQ(run.recorder->finished, 1);
    EXPECT_EQ(run.request->responseString(), std::string(100000, 'g'));
    EXPECT_EQ(base::Bytes(gz.begin(), gz.end()), run.request->rawResponseData());
}

// An answer kept in a file rather than in memory ends exactly as it does in memory: the same
// success or failure, status and text, gzipped or not, whole, cut or too large. The file never
// has a name among the temporaries, stays open only while its taker holds it, and a failed
// answer keeps none.
TEST_F(HTTPHostileServer, AnswersKeptInAFileEndAsThoseHeldInMemory)
{
    const std::string body = pattern(300000);
    const std::string gz = LoopbackServer::gzip(body);
    const uint64_t kDefault = BRHTTPRequest::kDefaultMaximumInMemoryResponseSize;
    struct Case {
        const char* name;
        std::function<void(Reply&)> reply;
        bool finishes;
        uint64_t limit;
        bool inflateOnTheFly;
    };
    const std::vector<Case> cases = {
        {"by length", [&](Reply& r) { r.body = body; }, true, kDefault, false},
        {"chunked", [&](Reply& r) { r.body = body, r.framing = Reply::Framing::Chunked, r.chunkSizes = {1, 4000, 65536}; },
         true, kDefault, false},
        {"close-delimited", [&](Reply& r) { r.body = body, r.framing = Reply::Framing::Close; }, true, kDefault, false},
        {"a zero byte inside", [&](Reply& r) { r.body = pattern(5000) + std::string(1, '\0') + "after"; }, true, kDefault,
         false},
        {"empty", [&](Reply& r) { r.body.clear(); }, true, kDefault, false},
        {"refused with a text", [&](Reply& r) { r.status = 500, r.reason = "Internal Server Error", r.body = "Internal"; },
         true, kDefault, false},
        {"gzip", [&](Reply& r) { r.body = body, r.gzip = true; }, true, kDefault, false},
        {"gzip chunked", [&](Reply& r) { r.body = body, r.gzip = true, r.framing = Reply::Framing::Chunked, r.chunkSizes = {7, 1000}; },
         true, kDefault, false},
        {"gzip inflated on the fly", [&](Reply& r) { r.body = body, r.gzip = true; }, true, kDefault, true},
        {"cut before its length", [&](Reply& r) { r.body = body, r.stopAfterBody = 100000; }, false, kDefault, false},
        {"gzip cut short", [&](Reply& r) { r.body = gz.substr(0, gz.size() / 2), r.headers = {{"Content-Encoding", "gzip"}}; },
         false, kDefault, false},
        {"no gzip stream", [&](Reply& r) { r.body = "plainly not gzip", r.headers = {{"Content-Encoding", "gzip"}}; }, false,
         kDefault, false},
        {"past the limit", [&](Reply& r) { r.body = body; }, false, 100000, false},
        {"gzip inflating past the limit", [&](Reply& r) { r.body = body, r.gzip = true; }, false, 100000, false},
    };
    struct Ending {
        int code = 0;
        bool tooLarge = false;
        int finished = 0;
        int status = 0;
        std::optional<std::string> text; // up to its first zero byte; nothing: no body kept
        uint64_t size = 0;
        bool operator==(const Ending&) const = default;
    };
    const std::string tmp = base::Paths::tmp();
    const int openBefore = testsupport::openFilesIn(tmp);
    const auto namesBefore = base::FileManager::contentsOfDirectory(tmp);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server([&](const Request&) {
            Reply r;
            c.reply(r);
            return r;
        });
        auto end = [&](bool inFile) {
            Exchange run(server.url("/answer"));
            configureAsCommand(*run.request, "{}");
            run.request->setMaximumInMemoryResponseSize(c.limit);
            run.request->setShouldWaitToInflateCompressedResponses(!c.inflateOnTheFly);
            run.request->setKeepsAnswerInFile(inFile);
            EXPECT_TRUE(run.runAsync());
            EXPECT_TRUE(run.recorder->wellOrdered());
            Ending e{run.errorCode(), BRHTTPRequest::isAnswerTooLarge(run.request->error()), run.recorder->finished,
                     run.request->responseStatusCode(), std::nullopt, 0};
            if (inFile) {
                EXPECT_TRUE(run.request->rawResponseData().empty());
                if (auto file = run.request->takeResponseFile()) {
                    EXPECT_EQ(testsupport::openFilesIn(tmp), openBefore + 1);
                    auto text = file->text();
                    e.text = text ? std::string(*text) : "unreadable";
                    e.size = file->size();
                }
                EXPECT_FALSE(run.request->takeResponseFile()) << "taken once";
            } else if (auto data = run.request->takeResponseData(); data && !data->empty()) {
                std::string whole(data->begin(), data->end());
                e.text = whole.substr(0, whole.find('\0'));
                e.size = data->size();
            }
            return e;
        };
        Ending inMemory = end(false);
        Ending inFile = end(true);
        EXPECT_EQ(inMemory.finished, c.finishes ? 1 : 0);
        EXPECT_TRUE(inFile == inMemory) << "in a file: code " << inFile.code << ", " << inFile.finished << " finished, "
                                        << inFile.size << " bytes; in memory: code " << inMemory.code << ", "
                                        << inMemory.finished << " finished, " << inMemory.size << " bytes";
        EXPECT_EQ(testsupport::openFilesIn(tmp), openBefore);
        EXPECT_EQ(base::FileManager::contentsOfDirectory(tmp), namesBefore);
    }
}

// "Ask the server if modified" with a fresh stored copy: the server's answer decides.
TEST_F(HTTPHostileServer, ChangedDocumentReplacesTheStoredCopy)
{
    struct Case {
        int status;
        const char* returned;
        const char* storedAfter;
    };
    for (const Case& c : {Case{200, "two", "two"}, Case{304, "one", "one"}}) {
        SCOPED_TRACE(c.status);
        std::string folder = testsupport::makeTemporaryFolder("policy-cache");
        auto cache = std::make_shared<BRDownloadCache>();
        cache->setStoragePath(folder);
        int asked = 0;
        LoopbackServer server([&](const Request& rq) {
            Reply r;
            if (asked++ == 0) {
                r = Reply::text(200, "one");
                r.headers.push_back({"ETag", "\"v1\""});
            } else if (c.status == 304) {
                r = Reply::text(304, "");
                r.reason = "Not Modified";
                r.headers.push_back({"ETag", "\"v1\""});
                EXPECT_EQ(rq.header("If-None-Match"), "\"v1\"");
            } else {
                r = Reply::text(200, "two");
                r.headers.push_back({"ETag", "\"v2\""});
            }
            r.headers.push_back({"Cache-Control", "max-age=3600"});
            return r;
        });
        auto fetch = [&] {
            auto run = std::make_unique<Exchange>(server.url("/doc.txt"));
            run->request->setDownloadCache(cache);
            run->request->setCachePolicy(BRAskServerIfModifiedWhenStaleCachePolicy);
            EXPECT_TRUE(run->runAsync());
            return run;
        };
        auto first = fetch();
        ASSERT_EQ(first->request->responseString(), "one");
        auto second = fetch();
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(second->recorder->finished, 1);
        EXPECT_EQ(second->request->responseString(), c.returned);
        EXPECT_EQ(second->request->didUseCachedResponse(), c.status == 304);
        auto stored = cache->cachedResponseDataForURL(*net::URL::parse(server.url("/doc.txt")));
        ASSERT_TRUE(stored);
        EXPECT_EQ(std::string(stored->begin(), stored->end()), c.storedAfter);
        auto headers = cache->cachedResponseHeadersForURL(*net::URL::parse(server.url("/doc.txt")));
        ASSERT_TRUE(headers);
        EXPECT_EQ(headers->first("ETag"), c.status == 304 ? "\"v1\"" : "\"v2\"");
        fs::remove_all(folder);
    }
}

} // namespace
