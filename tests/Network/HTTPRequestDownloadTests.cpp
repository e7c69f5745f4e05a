#include "HTTPRequestTestSupport.h"

#include "Platform/Base/Paths.h"

#include <filesystem>
#include <sys/inotify.h>
#include <functional>
#include <set>

using namespace enginetest;

namespace {

class HTTPRequestDownload : public ::testing::Test {
protected:
    void SetUp() override
    {
        testHome();
        dir = testsupport::makeTemporaryFolder("downloads");
        destination = dir + "/doc.bin";
        temporary = base::Paths::tmp() + "/doc.bin." + std::to_string(::getpid());
        ::unlink(temporary.c_str());
    }
    Exchange download(const std::string& url)
    {
        Exchange run(url);
        configureAsDownload(*run.request, destination, temporary);
        run.recorder->wantsData = true;
        return run;
    }
    std::string dir, destination, temporary;
};

TEST_F(HTTPRequestDownload, FileFromNginxReachesReceiverAndDestination)
{
    SKIP_WITHOUT_NGINX();
    std::string root = testsupport::makeTemporaryFolder("www");
    std::string source = pattern(1 << 20);
    writeFile(root + "/file.bin", source);
    Nginx nginx(root);
    ASSERT_TRUE(nginx.ok());

    Exchange run = download(nginx.url("/file.bin"));
    ASSERT_TRUE(run.runAsync());
    EXPECT_TRUE(run.recorder->wellOrdered());
    EXPECT_EQ(run.recorder->finished, 1);
    EXPECT_EQ(sha256(readFile(destination)), sha256(source));
    EXPECT_EQ(run.recorder->data.size(), source.size());
    EXPECT_FALSE(fileExists(temporary));

    // Two GETs share one connection: nginx numbers its connections.
    std::vector<std::string> seen;
    for (int i = 0; i < 2; ++i) {
        Exchange get(nginx.url("/conn"));
        ASSERT_TRUE(get.runAsync());
        auto data = get.request->responseData();
        seen.emplace_back(data->begin(), data->end());
    }
    EXPECT_EQ(seen[0], seen[1]);

    // Error pages leave the destination as it was, and a missing one missing.
    writeFile(root + "/big404.html", std::string(2048, 'n'));
    writeFile(root + "/big500.html", std::string(10240, 'f'));
    Nginx pages(root, "  location = /missing2k { error_page 404 /big404.html; return 404; }\n"
                      "  location = /broken { error_page 500 /big500.html; return 500; }\n");
    ASSERT_TRUE(pages.ok());
    for (bool existing : {true, false}) {
        for (const char* path : {"/nothing-here", "/missing2k", "/broken"}) {
            SCOPED_TRACE(std::string(path) + (existing ? " over an existing file" : ""));
            if (existing)
                writeFile(destination, "old document");
            else
                ::unlink(destination.c_str());
            Exchange bad = download(pages.url(path));
            bad.request->setAllowCompressedResponse(false);
            ASSERT_TRUE(bad.runAsync());
            EXPECT_TRUE(bad.recorder->wellOrdered());
            EXPECT_EQ(bad.errorCode(), BRFileManagementError);
            int status = bad.request->responseStatusCode();
            EXPECT_TRUE(status == 404 || status == 500) << status;
            EXPECT_FALSE(bad.recorder->data.empty());
            if (existing)
                EXPECT_EQ(readFile(destination), "old document");
            else
                EXPECT_FALSE(fileExists(destination));
        }
    }
}

// With no temporary path of the caller's, the file is written where it ends up, unnamed until
// it is whole: nothing shows in its folder or the temporary folder while it arrives, a whole
// one replaces what was there, and a cut one leaves things as they were.
TEST_F(HTTPRequestDownload, WithoutATemporaryPathAFileIsWholeOrAbsent)
{
    const std::string body = pattern(300000);
    auto gate = std::make_shared<Gate>();
    LoopbackServer server([&](const Request& rq) {
        Reply r;
        r.body = body;
        if (rq.target == "/paused")
            r.pauses = {{150000, gate}};
        else if (rq.target == "/cut")
            r.stopAfterBody = 100000;
        return r;
    });
    auto listing = [](const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    };
    struct Case {
        const char* name;
        const char* target;
        const char* before; // the destination's content before, or nullptr
        bool finishes;
    };
    for (const Case& c : {Case{"new file, watched while it arrives", "/paused", nullptr, true},
                          Case{"replacing a file", "/whole", "old", true},
                          Case{"cut, new file", "/cut", nullptr, false},
                          Case{"cut, replacing a file", "/cut", "old", false}}) {
        SCOPED_TRACE(c.name);
        ::unlink(destination.c_str());
        if (c.before)
            writeFile(destination, c.before);
        const auto folderBefore = listing(dir);
        const auto temporaries = listing(base::Paths::tmp());
        Exchange run(server.url(c.target));
        run.request->setDownloadDestinationPath(destination);
        run.request->startAsynchronous();
        if (std::string(c.target) == "/paused") {
            ASSERT_TRUE(gate->waitReached(60));
            ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return run.request->totalBytesRead() > 0; }, 60));
            EXPECT_EQ(listing(dir), folderBefore);
            EXPECT_EQ(listing(base::Paths::tmp()), temporaries);
            gate->open();
        }
        ASSERT_TRUE(run.wait());
        EXPECT_EQ(run.recorder->finished, c.finishes ? 1 : 0);
        EXPECT_EQ(listing(base::Paths::tmp()), temporaries);
        if (c.finishes) {
            EXPECT_EQ(readFile(destination), body);
            EXPECT_EQ(listing(dir), std::set<std::string>{"doc.bin"});
        } else {
            EXPECT_EQ(run.recorder->failed, 1);
            EXPECT_EQ(listing(dir), folderBefore);
            if (c.before) {
                EXPECT_EQ(readFile(destination), c.before);
            }
        }
    }
}

// Whatever the arrangement, nothing but the document itself is ever named in its folder: what
// a kill leaves half-made is among the engine's own temporaries, which go at the next launch.
TEST_F(HTTPRequestDownload, OnlyTheDocumentIsEverNamedInItsFolder)
{
    const std::string body = pattern(200000);
    LoopbackServer server([&](const Request& rq) {
        Reply r;
        r.body = body;
        r.gzip = rq.target == "/gz";
        return r;
    });
    struct Case {
        const char* name;
        const char* target;
        bool callersTemporary, waitToInflate, replacing;
    };
    for (const Case& c : {Case{"plain, new file", "/plain", false, false, false},
                          Case{"plain, replacing a file", "/plain", false, false, true},
                          Case{"gzip inflated afterwards, new file", "/gz", true, true, false},
                          Case{"gzip inflated afterwards, replacing a file", "/gz", true, true, true},
                          Case{"gzip inflated afterwards, no temporary path", "/gz", false, true, true},
                          Case{"gzip inflated on the fly, replacing a file", "/gz", true, false, true}}) {
        SCOPED_TRACE(c.name);
        ::unlink(destination.c_str());
        ::unlink(temporary.c_str());
        if (c.replacing)
            writeFile(destination, "old");
        int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        ASSERT_GE(watch, 0);
        ASSERT_GE(::inotify_add_watch(watch, dir.c_str(), IN_CREATE | IN_MOVED_TO), 0);
        Exchange run(server.url(c.target));
        run.request->setDownloadDestinationPath(destination);
        if (c.callersTemporary)
            run.request->setTemporaryFileDownloadPath(temporary);
        run.request->setShouldWaitToInflateCompressedResponses(c.waitToInflate);
        ASSERT_TRUE(run.runAsync());
        EXPECT_EQ(run.recorder->finished, 1) << (run.request->error() ? run.request->error()->description : "");
        EXPECT_EQ(readFile(destination), body);
        std::set<std::string> named;
        alignas(inotify_event) char events[16384];
        for (ssize_t n; (n = ::read(watch, events, sizeof events)) > 0;) {
            for (char* at = events; at < events + n;) {
                auto* event = reinterpret_cast<inotify_event*>(at);
                if (event->len > 0)
                    named.insert(event->name);
                at += sizeof(inotify_event) + event->len;
            }
        }
        ::close(watch);
        EXPECT_EQ(named, std::set<std::string>{"doc.bin"});
    }
}

// Empty answers make empty files, whatever the temporary arrangement; a download into a
// folder that is not there fails and leaves nothing, in its folder or among the temporaries;
// what a program killed mid-way left is removed at the next launch.
TEST_F(HTTPRequestDownload, EmptyAnswersAndMissingFoldersLeaveNothingBehind)
{
    const std::string body = pattern(40000);
    LoopbackServer server([&](const Request& rq) {
        Reply r;
        if (rq.target.starts_with("/empty"))
            r.body.clear();
        else
            r.body = body;
        if (rq.target.ends_with("/close"))
            r.framing = Reply::Framing::Close;
        if (rq.target.ends_with("/gzip"))
            r.gzip = true;
        return r;
    });
    auto listing = [](const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.insert(entry.path().filename().string());
        return names;
    };
    struct Case {
        const char* name;
        const char* target;
        bool intoMissingFolder;
        bool callersTemporary;
        bool inflateOnTheFly;
        bool succeeds;
    };
    const Case cases[] = {
        {"empty, no temporary path", "/empty", false, false, false, true},
        {"empty, no temporary path, ended by close", "/empty/close", false, false, false, true},
        {"empty, the caller's temporary path", "/empty", false, true, false, true},
        {"empty gzip, inflated afterwards", "/empty/gzip", false, false, false, true},
        {"empty gzip, inflated on the fly", "/empty/gzip", false, false, true, true},
        {"missing folder", "/whole", true, false, false, false},
        {"missing folder, gzip inflated afterwards", "/whole/gzip", true, false, false, false},
        {"missing folder, gzip inflated on the fly", "/whole/gzip", true, false, true, false},
        {"missing folder, the caller's temporary path", "/whole", true, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string target = c.intoMissingFolder ? dir + "/gone/deeper/doc.bin" : destination;
        ::unlink(destination.c_str());
        ::unlink(temporary.c_str());
        const auto temporaries = listing(base::Paths::tmp());
        Exchange run(server.url(c.target));
        run.request->setDownloadDestinationPath(target);
        if (c.callersTemporary)
            run.request->setTemporaryFileDownloadPath(temporary);
        run.request->setShouldWaitToInflateCompressedResponses(!c.inflateOnTheFly);
        ASSERT_TRUE(run.runAsync());
        EXPECT_EQ(run.request->responseStatusCode(), 200);
        EXPECT_EQ(listing(base::Paths::tmp()), temporaries);
        if (c.succeeds) {
            EXPECT_EQ(run.recorder->finished, 1) << (run.request->error() ? run.request->error()->description : "");
            EXPECT_TRUE(fileExists(target));
            EXPECT_EQ(readFile(target), "");
            EXPECT_EQ(listing(dir), std::set<std::string>{"doc.bin"});
        } else {
            EXPECT_EQ(run.errorCode(), BRFileManagementError);
            EXPECT_EQ(listing(dir), std::set<std::string>{});
        }
    }

    // Left by a program killed mid-way: the engine's temporaries and the jar's half-written
    // copies go at the next launch; what else the folders hold stays.
    const std::string tmp = base::Paths::tmp(), library = base::Paths::library();
    std::filesystem::create_directories(library);
    const std::vector<std::string> leftovers = {tmp + "/download-k3j2h1g5f4d6", tmp + "/inflated-a1b2c3d4e5f6",
                                                tmp + "/body-z9y8x7w6v5u4.gz", library + "/.Cookies.plist.tmp-Xy12Ab"};
    const std::vector<std::string> kept = {tmp + "/Order1001.pdf", tmp + "/downloads-of-mine",
                                           library + "/.other.plist.tmp-Xy12Ab"};
    for (const auto& path : leftovers)
        writeFile(path, std::string(4096, 'x'));
    for (const auto& path : kept)
        writeFile(path, "kept");
    BRHTTPRequest::removeLeftoverTemporaryFiles();
    for (const auto& path : leftovers)
        EXPECT_FALSE(fileExists(path)) << path;
    for (const auto& path : kept) {
        EXPECT_TRUE(fileExists(path)) << path;
        ::unlink(path.c_str());
    }
}

// A body never grows its file past what it states or what the file was listed with: bytes
// beyond a Content-Length are no part of it, and a body past the listed size (a stream that
// never ends) fails as an answer too large, keeping nothing.
TEST_F(HTTPRequestDownload, ABodyIsBoundedByItsStatedLengthAndTheListedSize)
{
    const uint64_t kListed = 1 << 20;
    struct Case {
        const char* what;
        Reply::Framing framing;
        size_t body;
        uint64_t filler;
        uint64_t bound;
        bool whole; // the body arrives whole; otherwise the download fails as too large
    };
    const Case cases[] = {
        {"more bytes than its Content-Length", Reply::Framing::Length, 100000, uint64_t(8) << 20, 0, true},
        {"more bytes than its Content-Length, a bound listed", Reply::Framing::Length, 100000, uint64_t(8) << 20,
         kListed, true},
        {"a body without a length that goes on and on", Reply::Framing::Close, 100000, uint64_t(64) << 20, kListed, false},
        {"a stated length past the listed size", Reply::Framing::Length, 2 << 20, 0, kListed, false},
        {"a body without a length within the listed size", Reply::Framing::Close, 500000, 0, kListed, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string body = pattern(c.body);
        LoopbackServer server([&](const Request&) {
            Reply r;
            r.body = body;
            r.framing = c.framing;
            r.fillerBytes = c.filler;
            r.close = true;
            return r;
        });
        ::unlink(destination.c_str());
        Exchange run = download(server.url("/doc.bin"));
        run.request->setMaximumDownloadSize(c.bound);
        ASSERT_TRUE(run.runAsync());
        EXPECT_TRUE(run.recorder->wellOrdered());
        if (c.whole) {
            EXPECT_EQ(run.errorCode(), 0);
            EXPECT_EQ(readFile(destination).size(), body.size());
            EXPECT_EQ(sha256(readFile(destination)), sha256(body));
        } else {
            EXPECT_EQ(run.errorCode(), BRConnectionFailureErrorType);
            EXPECT_TRUE(BRHTTPRequest::isAnswerTooLarge(run.request->error()));
            EXPECT_FALSE(fileExists(destination));
            EXPECT_LE(run.recorder->data.size(), c.bound);
        }
        EXPECT_FALSE(fileExists(temporary));
    }
}

TEST_F(HTTPRequestDownload, ResumesOnlyAMatchingRange)
{
    const size_t total = 1048576;
    std::string source = pattern(total);
    enum class Mode { DropAt300k, Honour, Ignore, WrongStart, Unsatisfiable } mode = Mode::DropAt300k;
    LoopbackServer server([&](const Request& rq) {
        Reply r;
        r.body = source;
        switch (mode) {
        case Mode::DropAt300k: r.stopAfterBody = 300000; break;
        case Mode::Honour: r.honourRange = true; break;
        case Mode::Ignore: break;
        case Mode::WrongStart:
            r.status = 206;
            r.reason = "Partial Content";
            r.body = source.substr(1000);
            r.headers = {{"Content-Range", "bytes 1000-1048575/1048576"}};
            break;
        case Mode::Unsatisfiable:
            r = Reply::text(416, "no");
            break;
        }
        // One version throughout: what was cut may be continued.
        r.headers.emplace_back("ETag", "\"v\"");
        return r;
    });

    Exchange dropped = download(server.url("/file"));
    ASSERT_TRUE(dropped.runAsync());
    EXPECT_TRUE(dropped.recorder->wellOrdered());
    EXPECT_EQ(dropped.errorCode(), BRConnectionFailureErrorType);
    EXPECT_EQ(readFile(temporary).size(), 300000u);
    EXPECT_FALSE(fileExists(destination));

    mode = Mode::Honour;
    Exchange resumed = download(server.url("/file"));
    ASSERT_TRUE(resumed.runAsync());
    EXPECT_TRUE(resumed.recorder->wellOrdered());
    EXPECT_EQ(server.requests().back().header("Range").value_or(""), "bytes=300000-");
    EXPECT_EQ(resumed.request->responseStatusCode(), 206);
    EXPECT_EQ(resumed.request->partialDownloadSize(), 300000u);
    EXPECT_EQ(sha256(readFile(destination)), sha256(source));

    // A server that ignores the range sends everything: the file is written afresh.
    writeFile(temporary, source.substr(0, 300000));
    ASSERT_TRUE(markPart(temporary, "\"v\""));
    ::unlink(destination.c_str());
    mode = Mode::Ignore;
    Exchange whole = download(server.url("/file"));
    ASSERT_TRUE(whole.runAsync());
    EXPECT_EQ(whole.request->responseStatusCode(), 200);
    EXPECT_EQ(sha256(readFile(destination)), sha256(source));

    // A continuation from the wrong place, or none at all, throws the part away.
    for (Mode bad : {Mode::WrongStart, Mode::Unsatisfiable}) {
        writeFile(temporary, source.substr(0, 300000));
        ASSERT_TRUE(markPart(temporary, "\"v\""));
        writeFile(destination, "old document");
        mode = bad;
        Exchange rejected = download(server.url("/file"));
        ASSERT_TRUE(rejected.runAsync());
        EXPECT_TRUE(rejected.recorder->wellOrdered());
        EXPECT_EQ(rejected.errorCode(), BRFileManagementError);
        EXPECT_FALSE(fileExists(temporary));
        EXPECT_EQ(readFile(destination), "old document");
        mode = Mode::Honour;
        Exchange again = download(server.url("/file"));
        ASSERT_TRUE(again.runAsync());
        EXPECT_FALSE(server.requests().back().header("Range"));
        EXPECT_EQ(sha256(readFile(destination)), sha256(source));
    }
}

// A continued download is exactly the rest of the version it began with: a 206 carrying more or
// fewer bytes than its range, showing no validator, or compressed, fails with code 8 and takes
// the part with it, so the next attempt asks for the whole file; a document that changed since
// then comes whole.
TEST_F(HTTPRequestDownload, ContinuationIsExactlyTheRestOfTheSameVersion)
{
    const std::string first = pattern(1000);
    const std::string changed = "changed:" + pattern(1500);
    enum class Mode { DropAt400, Answer } mode = Mode::DropAt400;
    std::string document, etag;
    std::function<Reply(const std::string& rest)> partial;
    LoopbackServer server([&](const Request& rq) {
        Reply r;
        r.body = document;
        r.headers = {{"ETag", etag}};
        if (mode == Mode::DropAt400) {
            r.stopAfterBody = 400;
            return r;
        }
        // A server that honours If-Range: the rest only of the version the client names.
        auto range = rq.header("Range");
        auto ifRange = rq.header("If-Range");
        if (range && (!ifRange || *ifRange == etag))
            return partial(document.substr(400));
        return r;
    });
    auto rangeReply = [&](std::string body, Reply::Framing framing) {
        Reply r;
        r.status = 206;
        r.reason = "Partial Content";
        r.body = std::move(body);
        r.framing = framing;
        r.headers = {{"ETag", etag}, {"Content-Range", "bytes 400-999/1000"}};
        return r;
    };

    struct Case {
        const char* name;
        std::function<Reply(const std::string& rest)> partial;
        bool documentChanges;
        bool succeeds;
    };
    const std::vector<Case> cases = {
        {"exact rest", [&](const std::string& rest) { return rangeReply(rest, Reply::Framing::Length); }, false, true},
        {"no validator shown, another version's bytes",
         [&](const std::string&) {
             Reply r = rangeReply(changed.substr(400, 600), Reply::Framing::Length);
             r.headers = {{"Content-Range", "bytes 400-999/1000"}};
             return r;
         },
         false, false},
        {"compressed, its length the compressed one",
         [&](const std::string& rest) {
             Reply r = rangeReply(rest, Reply::Framing::Length);
             r.gzip = true;
             return r;
         },
         false, false},
        {"compressed and chunked",
         [&](const std::string& rest) {
             Reply r = rangeReply(rest, Reply::Framing::Chunked);
             r.gzip = true;
             return r;
         },
         false, false},
        {"length beyond the range",
         [&](const std::string& rest) { return rangeReply(rest + std::string(200, 'x'), Reply::Framing::Length); },
         false, false},
        {"extra bytes before the close",
         [&](const std::string& rest) { return rangeReply(rest + "0123456789", Reply::Framing::Close); }, false,
         false},
        {"short before the close",
         [&](const std::string& rest) { return rangeReply(rest.substr(0, 500), Reply::Framing::Close); }, false,
         false},
        {"document changed in between",
         [&](const std::string&) { return rangeReply(changed.substr(400, 600), Reply::Framing::Length); }, true,
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(temporary.c_str());
        writeFile(destination, "old document");
        document = first;
        etag = "\"a\"";
        mode = Mode::DropAt400;
        Exchange dropped = download(server.url("/doc"));
        ASSERT_TRUE(dropped.runAsync());
        ASSERT_EQ(dropped.errorCode(), BRConnectionFailureErrorType);
        ASSERT_EQ(readFile(temporary), first.substr(0, 400));

        if (c.documentChanges) {
            document = changed;
            etag = "\"b\"";
        }
        partial = c.partial;
        mode = Mode::Answer;
        Exchange resumed = download(server.url("/doc"));
        ASSERT_TRUE(resumed.runAsync());
        EXPECT_TRUE(resumed.recorder->wellOrdered());
        EXPECT_EQ(server.requests().back().header("Range").value_or(""), "bytes=400-");
        EXPECT_EQ(server.requests().back().header("If-Range").value_or(""), "\"a\"");
        if (c.succeeds) {
            EXPECT_EQ(resumed.recorder->finished, 1);
            EXPECT_EQ(sha256(readFile(destination)), sha256(document));
        } else {
            // What such a server would answer again is no start: the part goes, and the next
            // attempt asks for the whole file.
            EXPECT_EQ(resumed.errorCode(), BRFileManagementError);
            EXPECT_EQ(readFile(destination), "old document");
            EXPECT_FALSE(fileExists(temporary)) << readFile(temporary).size() << " bytes stay";
            Exchange whole = download(server.url("/doc"));
            ASSERT_TRUE(whole.runAsync());
            EXPECT_FALSE(server.requests().back().header("Range"));
            EXPECT_EQ(whole.request->responseStatusCode(), 200);
            EXPECT_EQ(sha256(readFile(destination)), sha256(document));
            EXPECT_FALSE(fileExists(temporary));
        }
    }
}

// A kept part is continued only when the server shows it is the same file: the resume names,
// in If-Range, the validator of the answer that began the part (a strong ETag, else
// Last-Modified). With none the part is dropped and the file asked for whole; a version changed
// in between comes whole (200) and replaces the part. Either way the file is the server's.
TEST_F(HTTPRequestDownload, AKeptPartGoesOnOnlyWithTheValidatorOfTheAnswerThatBeganIt)
{
    using Headers = std::vector<std::pair<std::string, std::string>>;
    struct Version {
        std::string body;
        Headers validators;
    };
    const std::string a = pattern(1000), b = "changed:" + pattern(1200);
    const std::string day1 = "Tue, 01 Jul 2025 10:00:00 GMT", day2 = "Wed, 02 Jul 2025 10:00:00 GMT";
    struct Case {
        const char* what;
        Version first, second;
        std::optional<std::string> ifRange; // what the resume names; nothing: no Range either
        int status;                         // of the second answer
    };
    const std::vector<Case> cases = {
        {"a strong ETag", {a, {{"ETag", "\"a\""}, {"Last-Modified", day1}}}, {a, {{"ETag", "\"a\""}}}, "\"a\"", 206},
        {"a date alone", {a, {{"Last-Modified", day1}}}, {a, {{"Last-Modified", day1}}}, day1, 206},
        {"a weak ETag and a date", {a, {{"ETag", "W/\"a\""}, {"Last-Modified", day1}}},
         {a, {{"ETag", "W/\"a\""}, {"Last-Modified", day1}}}, day1, 206},
        {"a weak ETag alone", {a, {{"ETag", "W/\"a\""}}}, {a, {{"ETag", "W/\"a\""}}}, std::nullopt, 200},
        {"no validator", {a, {}}, {a, {}}, std::nullopt, 200},
        {"no validator, then the file changed", {a, {}}, {b, {}}, std::nullopt, 200},
        {"the ETag changed", {a, {{"ETag", "\"a\""}}}, {b, {{"ETag", "\"b\""}}}, "\"a\"", 200},
        {"the date changed", {a, {{"Last-Modified", day1}}}, {b, {{"Last-Modified", day2}}}, day1, 200},
        {"the validators gone", {a, {{"ETag", "\"a\""}}}, {b, {}}, "\"a\"", 200},
    };
    Version served;
    std::optional<size_t> cutAt;
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.body = served.body;
        r.headers = served.validators;
        r.honourRange = true;
        r.stopAfterBody = cutAt;
        return r;
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(temporary.c_str());
        writeFile(destination, "old document");
        served = c.first;
        cutAt = 400;
        Exchange cut = download(server.url("/doc"));
        ASSERT_TRUE(cut.runAsync());
        ASSERT_EQ(cut.errorCode(), BRConnectionFailureErrorType);
        ASSERT_EQ(readFile(temporary), a.substr(0, 400));

        served = c.second;
        cutAt.reset();
        Exchange resumed = download(server.url("/doc"));
        ASSERT_TRUE(resumed.runAsync());
        EXPECT_TRUE(resumed.recorder->wellOrdered());
        EXPECT_EQ(resumed.recorder->finished, 1);
        const Request asked = server.requests().back();
        EXPECT_EQ(asked.header("If-Range"), c.ifRange);
        EXPECT_EQ(asked.header("Range"), c.ifRange ? std::optional<std::string>("bytes=400-") : std::nullopt);
        EXPECT_EQ(resumed.request->responseStatusCode(), c.status);
        EXPECT_EQ(sha256(readFile(destination)), sha256(served.body));
        EXPECT_FALSE(fileExists(temporary));
    }

    // The whole answer to a resume begins a part of its own, with its own validator: cut in turn,
    // it is that version that goes on.
    ::unlink(temporary.c_str());
    served = {a, {{"ETag", "\"a\""}}};
    cutAt = 400;
    Exchange first = download(server.url("/doc"));
    ASSERT_TRUE(first.runAsync());
    served = {b, {{"ETag", "\"b\""}}};
    cutAt = 300;
    Exchange replaced = download(server.url("/doc"));
    ASSERT_TRUE(replaced.runAsync());
    EXPECT_EQ(replaced.request->responseStatusCode(), 200);
    EXPECT_EQ(readFile(temporary), b.substr(0, 300));
    cutAt.reset();
    Exchange rest = download(server.url("/doc"));
    ASSERT_TRUE(rest.runAsync());
    EXPECT_EQ(server.requests().back().header("If-Range").value_or(""), "\"b\"");
    EXPECT_EQ(rest.request->responseStatusCode(), 206);
    EXPECT_EQ(sha256(readFile(destination)), sha256(b));
    EXPECT_FALSE(fileExists(temporary));
}

// A whole answer begins its part afresh: the validator the part is kept under is that answer's
// (a strong ETag, else its date), or none, never the one of the part it replaced. A compressed
// answer's bytes are not the file's, so its part is kept under none. The part cut in turn is
// continued, or asked for whole, by what that answer showed.
TEST_F(HTTPRequestDownload, AWholeAnswerReplacesTheValidatorOfThePartItBegins)
{
    const std::string a = pattern(1000), b = "changed:" + pattern(1200);
    const std::string day = "Wed, 02 Jul 2025 10:00:00 GMT";
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, std::string>> validators; // of the whole answer
        bool gzip;
        size_t cut;                         // of its body, as sent
        std::optional<std::string> ifRange; // what the next attempt names; nothing: asks whole
    };
    const std::vector<Case> cases = {
        {"a strong ETag", {{"ETag", "\"b\""}}, false, 300, "\"b\""},
        {"a date", {{"Last-Modified", day}}, false, 300, day},
        {"no validator", {}, false, 300, std::nullopt},
        {"a weak ETag alone", {{"ETag", "W/\"b\""}}, false, 300, std::nullopt},
        {"a strong ETag, compressed", {{"ETag", "\"b\""}}, true, 40, std::nullopt},
    };
    std::string body;
    std::vector<std::pair<std::string, std::string>> shown;
    bool gzip = false;
    std::optional<size_t> cutAt;
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.body = body;
        r.headers = shown;
        r.gzip = gzip;
        r.honourRange = !gzip;
        r.stopAfterBody = cutAt;
        return r;
    });
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::unlink(temporary.c_str());
        writeFile(destination, "old document");
        body = a;
        shown = {{"ETag", "\"a\""}};
        gzip = false;
        cutAt = 400;
        Exchange first = download(server.url("/doc"));
        ASSERT_TRUE(first.runAsync());
        ASSERT_EQ(readFile(temporary), a.substr(0, 400));

        // Another version, whole: If-Range "a" does not hold. Cut in turn.
        body = b;
        shown = c.validators;
        gzip = c.gzip;
        cutAt = c.cut;
        Exchange replaced = download(server.url("/doc"));
        ASSERT_TRUE(replaced.runAsync());
        ASSERT_EQ(replaced.request->responseStatusCode(), 200);
        ASSERT_EQ(readFile(temporary).size(), c.cut);

        cutAt.reset();
        Exchange rest = download(server.url("/doc"));
        ASSERT_TRUE(rest.runAsync());
        const Request asked = server.requests().back();
        EXPECT_EQ(asked.header("If-Range"), c.ifRange);
        EXPECT_EQ(asked.header("Range"), c.ifRange ? std::optional<std::string>("bytes=300-") : std::nullopt);
        EXPECT_EQ(rest.request->responseStatusCode(), c.ifRange ? 206 : 200);
        EXPECT_EQ(sha256(readFile(destination)), sha256(b));
        EXPECT_FALSE(fileExists(temporary));
    }
}

// A cancelled download keeps its part to be continued, but not one that holds nothing: the part
// is made as the head arrives (to carry its validator), and an empty one is no start for a later
// attempt. Cancelled at the head, nothing stays; cancelled 400 bytes into the body, those stay.
TEST_F(HTTPRequestDownload, ACancelKeepsAPartToContinueButNotAnEmptyOne)
{
    const std::string body = pattern(1000);
    for (size_t received : {size_t(0), size_t(400)}) {
        SCOPED_TRACE(received);
        ::unlink(temporary.c_str());
        auto gate = std::make_shared<Gate>();
        LoopbackServer server([&](const Request& rq) {
            Reply r;
            r.body = body;
            r.headers = {{"ETag", "\"a\""}};
            Reply copy = r;
            std::optional<size_t> stop;
            std::string wire = LoopbackServer::buildWire(rq, copy, &stop);
            r.pauses = {{wire.find("\r\n\r\n") + 4 + received, gate}};
            return r;
        });
        Exchange run = download(server.url("/doc"));
        run.request->startAsynchronous();
        ASSERT_TRUE(gate->waitReached(60));
        ASSERT_TRUE(base::RunLoop::main().runUntil(
            [&] { return fileExists(temporary) && readFile(temporary).size() == received; }, 60));
        run.request->cancel();
        ASSERT_TRUE(run.wait());
        gate->open();
        EXPECT_EQ(run.errorCode(), BRRequestCancelledErrorType);
        if (received)
            EXPECT_EQ(readFile(temporary), body.substr(0, received));
        else
            EXPECT_FALSE(fileExists(temporary));
    }
}

// A server that ignores If-Range and continues another version anyway: its 206 shows that
// version's validator, so the part is dropped and the next attempt asks for the whole file.
TEST_F(HTTPRequestDownload, AContinuationOfAnotherVersionIsRefusedAndItsPartDropped)
{
    const std::string a = pattern(1000), b = "changed:" + pattern(1200);
    std::string body = a, tag = "\"a\"";
    bool cut = true;
    LoopbackServer server([&](const Request& rq) {
        Reply r;
        r.body = body;
        r.headers = {{"ETag", tag}};
        if (cut)
            r.stopAfterBody = 400;
        if (auto range = rq.header("Range")) {
            // If-Range ignored: the rest of what it holds now.
            r.status = 206;
            r.reason = "Partial Content";
            r.body = body.substr(400);
            r.headers.emplace_back("Content-Range", "bytes 400-" + std::to_string(body.size() - 1) + "/" +
                                                       std::to_string(body.size()));
        }
        return r;
    });
    writeFile(destination, "old document");
    Exchange first = download(server.url("/doc"));
    ASSERT_TRUE(first.runAsync());
    ASSERT_EQ(readFile(temporary), a.substr(0, 400));
    body = b;
    tag = "\"b\"";
    cut = false;
    Exchange spliced = download(server.url("/doc"));
    ASSERT_TRUE(spliced.runAsync());
    EXPECT_TRUE(spliced.recorder->wellOrdered());
    ASSERT_TRUE(spliced.request->error()) << "the continuation of another version was taken";
    EXPECT_EQ(spliced.errorCode(), BRFileManagementError);
    EXPECT_NE(spliced.request->error()->description.find(destination), std::string::npos)
        << spliced.request->error()->description;
    EXPECT_EQ(readFile(destination), "old document");
    EXPECT_FALSE(fileExists(temporary));
    Exchange again = download(server.url("/doc"));
    ASSERT_TRUE(again.runAsync());
    EXPECT_FALSE(server.requests().back().header("Range"));
    EXPECT_EQ(sha256(readFile(destination)), sha256(b));
}

TEST_F(HTTPRequestDownload, GzipAnswersInflatedOnTheFlyOrAfterwards)
{
    std::string source = pattern(5 << 20);
    bool cut = false;
    LoopbackServer server([&](const Request&) {
        Reply r;
        if (cut) {
            // Correct framing around a gzip stream that stops half way.
            std::string gz = LoopbackServer::gzip(source);
            r.body = gz.substr(0, gz.size() / 2);
            r.headers = {{"Content-Encoding", "gzip"}};
        } else {
            r.body = source;
            r.gzip = true;
        }
        return r;
    });
    for (bool wait : {true, false}) {
        SCOPED_TRACE(wait ? "inflated afterwards" : "inflated on the fly");
        cut = false;
        ::unlink(destination.c_str());
        Exchange run = download(server.url("/gz"));
        run.request->setShouldWaitToInflateCompressedResponses(wait);
        run.request->setAllowResumeForFileDownloads(false);
        ASSERT_TRUE(run.runAsync());
        EXPECT_TRUE(run.recorder->wellOrdered());
        EXPECT_EQ(run.recorder->finished, 1);
        EXPECT_EQ(sha256(readFile(destination)), sha256(source));

        cut = true;
        writeFile(destination, "old document");
        Exchange truncated = download(server.url("/gz"));
        truncated.request->setShouldWaitToInflateCompressedResponses(wait);
        truncated.request->setAllowResumeForFileDownloads(false);
        ASSERT_TRUE(truncated.runAsync());
        EXPECT_TRUE(truncated.recorder->wellOrdered());
        EXPECT_EQ(truncated.errorCode(), BRCompressionError);
        EXPECT_EQ(readFile(destination), "old document");
    }
    // In memory with waiting inflation it fails the same way, with no data.
    Exchange memory(server.url("/gz"));
    ASSERT_TRUE(memory.runAsync());
    EXPECT_TRUE(memory.recorder->wellOrdered());
    EXPECT_EQ(memory.errorCode(), BRCompressionError);
    EXPECT_FALSE(memory.request->responseData());
}

TEST_F(HTTPRequestDownload, TlsValidationNamesAndClientCertificates)
{
    std::string certs = testsupport::makeTemporaryFolder("certs");
    auto ca = testsupport::makeCertificate(certs, "ca", {"Test CA"}, nullptr, true);
    auto self = testsupport::makeCertificate(certs, "self", {"127.0.0.1"});
    auto wrongName = testsupport::makeCertificate(certs, "other", {"other.test"}, &ca);
    auto client = testsupport::makeCertificate(certs, "client", {"client"}, &ca);
    // The test's CA joins the trusted roots before any validating connection is made.
    setenv("SSL_CERT_FILE", ca.certificate.c_str(), 1);

    auto serve = [](const Request&) { return Reply::text(200, "secret"); };
    testsupport::ServerOptions selfSigned;
    selfSigned.certificateFile = self.certificate;
    selfSigned.keyFile = self.key;
    LoopbackServer selfServer(serve, selfSigned);
    for (bool validate : {true, false}) {
        Exchange run(selfServer.url("/"));
        run.request->setValidatesSecureCertificate(validate);
        ASSERT_TRUE(run.runAsync());
        EXPECT_TRUE(run.recorder->wellOrdered());
        if (validate) {
            EXPECT_EQ(run.errorCode(), BRConnectionFailureErrorType);
            EXPECT_NE(run.request->error()->description.find("SSL problem"), std::string::npos);
        } else {
            EXPECT_EQ(run.recorder->finished, 1);
        }
    }

    testsupport::ServerOptions named;
    named.certificateFile = wrongName.certificate;
    named.keyFile = wrongName.key;
    LoopbackServer namedServer(serve, named);
    Exchange misnamed(namedServer.url("/"));
    ASSERT_TRUE(misnamed.runAsync());
    EXPECT_EQ(misnamed.errorCode(), BRConnectionFailureErrorType);

    testsupport::ServerOptions mutual = named;
    mutual.clientCAFile = ca.certificate;
    LoopbackServer mutualServer(serve, mutual);
    for (bool present : {false, true}) {
        Exchange run(mutualServer.url("/"));
        run.request->setValidatesSecureCertificate(false);
        if (present)
            run.request->setClientCertificateIdentity(net::TlsIdentity::fromPemFiles(client.certificate, client.key));
        ASSERT_TRUE(run.runAsync());
        EXPECT_EQ(run.recorder->finished, present ? 1 : 0);
    }
    unsetenv("SSL_CERT_FILE");
}

TEST_F(HTTPRequestDownload, ProxiesFromSettingsAndEnvironment)
{
    LoopbackServer server([](const Request& rq) { return Reply::text(200, "via " + rq.target); });
    testsupport::LoopbackProxy proxy;
    Exchange http(server.url("/through"));
    http.request->setProxyHost("127.0.0.1");
    http.request->setProxyPort(proxy.port());
    ASSERT_TRUE(http.runAsync());
    EXPECT_EQ(http.recorder->finished, 1);
    ASSERT_FALSE(proxy.requestLines().empty());
    EXPECT_EQ(proxy.requestLines().back(), "GET " + server.url("/through") + " HTTP/1.1");

    Exchange socks(server.url("/socks"));
    socks.request->setProxyHost("127.0.0.1");
    socks.request->setProxyPort(proxy.port());
    socks.request->setProxyType("SOCKS");
    ASSERT_TRUE(socks.runAsync());
    EXPECT_EQ(socks.recorder->finished, 1);
    EXPECT_EQ(proxy.requestLines().back().rfind("SOCKS5 ", 0), 0u);

    std::string proxyURL = "http://127.0.0.1:" + std::to_string(proxy.port());
    setenv("http_proxy", proxyURL.c_str(), 1);
    size_t before = proxy.requestLines().size();
    Exchange env(server.url("/env"));
    ASSERT_TRUE(env.runAsync());
    EXPECT_EQ(proxy.requestLines().size(), before + 1);
    setenv("no_proxy", "127.0.0.1", 1);
    Exchange bypass(server.url("/bypass"));
    ASSERT_TRUE(bypass.runAsync());
    EXPECT_EQ(bypass.recorder->finished, 1);
    EXPECT_EQ(proxy.requestLines().size(), before + 1);
    unsetenv("http_proxy");
    unsetenv("no_proxy");
}

} // namespace
