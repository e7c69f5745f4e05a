// File downloads through the dispatcher and the transport from the loopback file server.
#include "ProtocolTestSupport.h"

#include "Common/Language.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Paths.h"
#include "Platform/Graphics/Image.h"
#include "Protocol/DownloadRequest.h"
#include "Protocol/ServerCommands.h"
#include "tests/Support/DownloadLimits.h"

#include <algorithm>
#include <filesystem>
#include <span>
#include <set>

namespace protocoltest {
namespace {

namespace fs = std::filesystem;

class DownloadTest : public ProtocolTest {
protected:
    static std::string client() { return base::Paths::documents() + "/acmeco"; }
    static std::string productImage(const std::string& name) { return client() + "/ProductImages/" + name; }
    static std::string temporary(const std::string& name) { return client() + "/tempDownload/ProductImages/" + name; }
    static std::optional<std::string> contents(const std::string& path)
    {
        auto bytes = base::FileManager::readFile(path);
        return bytes ? std::optional<std::string>(std::string(bytes->begin(), bytes->end())) : std::nullopt;
    }
    // The file as the server holds it.
    static std::string served(const std::string& folder, const std::string& name)
    {
        auto answer = testsupport::httpExchange(backend().filePort(), "GET",
                                                std::string("/") + testsupport::TestBackend::kImagePath +
                                                    "/images/AcmeCo/" + folder + "/" + name);
        EXPECT_TRUE(answer && answer->status == 200) << name;
        return answer ? answer->body : std::string();
    }
    std::vector<base::Value> fileRequests(const std::string& name) const
    {
        std::vector<base::Value> out;
        for (auto& record : logged("file"))
            if (record["request"].toString().rfind("POST ", 0) == 0 &&
                record["request"].toString().find("/" + name + " ") != std::string::npos)
                out.push_back(record);
        return out;
    }
    // The transport's attempts at a file: each opens a connection of its own, or goes on a kept
    // one and, dropped there before any answer, is sent once more on a new one by the engine.
    size_t attemptsAt(const std::string& name) const
    {
        size_t count = 0;
        for (auto& record : fileRequests(name))
            count += record["onConnection"].toInt() == 1;
        return count;
    }
    std::shared_ptr<Requester> fetch(std::vector<std::string> names, int type = 1, int progressType = 1)
    {
        auto requester = std::make_shared<Requester>();
        size_t count = names.size();
        NetworkModel::sharedInstance()->sendRequest(download(requester, std::move(names), type, progressType));
        EXPECT_TRUE(runWhileServed(
            "every file's answer", [&] { return requester->results.size() >= count; },
            [&] { return requester->results.size() + requester->percents.size(); }));
        return requester;
    }
};

TEST_F(DownloadTest, FilesLandWholeAndResumeAfterACut)
{
    const std::string whole = served("product", "ch1.jpg");
    ASSERT_GT(whole.size(), 1000u);
    auto requester = fetch({"ch1.jpg"});
    ASSERT_EQ(requester->results.size(), 1u);
    EXPECT_EQ(requester->results[0]->status, "200");
    EXPECT_EQ(requester->results[0]->httpRsp, 0);
    EXPECT_EQ(contents(productImage("ch1.jpg")), whole);
    EXPECT_FALSE(fs::exists(temporary("ch1.jpg")));
    auto first = fileRequests("ch1.jpg");
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0]["request"].toString(),
              "POST /brivanta_saas/images/AcmeCo/product/ch1.jpg HTTP/1.1");
    EXPECT_EQ(first[0]["headers"]["Content-Length"].toString(), "0");
    // The next file goes on a connection kept from an earlier one.
    auto next = fetch({"tb1.jpg"});
    ASSERT_EQ(next->results.size(), 1u);
    EXPECT_EQ(next->results[0]->status, "200");
    auto kept = fileRequests("tb1.jpg");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_GT(kept[0]["onConnection"].toInt(), 1);

    // Cut halfway once: the next attempt asks for the rest and the file comes out right.
    fs::remove(productImage("ch1.jpg"));
    m_logStart = backend().logLines().size();
    ASSERT_TRUE(backend().setFault("ch1.jpg", "truncate", 1, R"("fraction": 0.5)"));
    requester = fetch({"ch1.jpg"});
    EXPECT_EQ(requester->results.at(0)->status, "200");
    auto attempts = fileRequests("ch1.jpg");
    ASSERT_EQ(attempts.size(), 2u);
    std::string range = attempts[1]["headers"]["Range"].toString();
    ASSERT_EQ(range.rfind("bytes=", 0), 0u) << range;
    long from = std::stol(range.substr(6));
    EXPECT_GT(from, 0);
    EXPECT_LT(size_t(from), whole.size());
    EXPECT_EQ(attempts[1]["answer"]["from"].toInt(), from);
    EXPECT_EQ(contents(productImage("ch1.jpg")), whole);
}

TEST_F(DownloadTest, FailuresAreRetriedOnlyForSingleDownloads)
{
    ASSERT_TRUE(backend().setFault("tb1.jpg", "drop", 0));
    auto single = fetch({"tb1.jpg"});
    base::RunLoop::main().runUntil([] { return false; }, 0.3);
    ASSERT_EQ(single->results.size(), 1u);
    EXPECT_EQ(single->results[0]->status, "999");
    EXPECT_EQ(single->results[0]->httpRsp, 6);
    EXPECT_EQ(single->results[0]->message, Language::stringWithName("DOWNLOADERROR"));
    EXPECT_EQ(attemptsAt("tb1.jpg"), 4u);

    m_logStart = backend().logLines().size();
    auto batch = fetch({"tb1.jpg"}, 1, kProgressTypeBatch);
    base::RunLoop::main().runUntil([] { return false; }, 0.3);
    ASSERT_EQ(batch->results.size(), 1u);
    EXPECT_EQ(batch->results[0]->status, "999");
    EXPECT_EQ(attemptsAt("tb1.jpg"), 1u);
    // A batch left empty tells its receiver it is done, failure or not.
    ASSERT_FALSE(batch->batchProgress.empty());
    EXPECT_EQ(batch->batchProgress.back(), 1.0f);
    EXPECT_FALSE(fs::exists(productImage("tb1.jpg")));
}

// A file larger than the size it was listed with is asked for once and kept nowhere: the bound
// its list gives reaches the request and each of its attempts.
TEST_F(DownloadTest, AFileLargerThanItsListingIsAskedForOnceAndKeptNowhere)
{
    const std::string whole = served("product", "ch1.jpg");
    struct Case {
        const char* what;
        uint64_t listed;
        const char* status;
    };
    const Case cases[] = {
        {"listed at half its size", whole.size() / 2, "ANSWERTOOLARGE"},
        {"listed at its size", whole.size(), "200"},
        {"listed with no size", 0, "200"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(productImage("ch1.jpg"));
        m_logStart = backend().logLines().size();
        auto requester = std::make_shared<Requester>();
        auto command = download(requester, {"ch1.jpg"}, 1, 1);
        command->setMaximumFileSize(c.listed);
        NetworkModel::sharedInstance()->sendRequest(command);
        ASSERT_TRUE(runUntil([&] { return !requester->results.empty(); }));
        EXPECT_EQ(requester->results[0]->status, c.status);
        EXPECT_EQ(fileRequests("ch1.jpg").size(), 1u);
        EXPECT_FALSE(fs::exists(temporary("ch1.jpg")));
        if (std::string(c.status) == "200")
            EXPECT_EQ(contents(productImage("ch1.jpg")), whole);
        else
            EXPECT_FALSE(fs::exists(productImage("ch1.jpg")));
    }
}

// A file's first answer trickles and times out, keeping a part, and the transport's next
// attempt continues it only when the server shows it is the same file. With
// the back end's validators the part is continued (206); without them, or with the file
// replaced in between, the file comes whole (200). Either way, for a picture and for a library
// file, what lands is the server's file byte for byte: the picture decodes, the PDF is a PDF.
TEST_F(DownloadTest, AKeptPartIsContinuedOnlyWhenTheServerShowsTheSameFile)
{
    DownloadRequest::Limits pace;
    pace.lowSpeedBytes = 4096;
    pace.lowSpeedSeconds = 1;
    testsupport::ScopedDownloadLimits scoped(pace);
    struct File {
        const char* folder;
        const char* name;
        int type;
        const char* local;
        int trickle; // bytes a second, below the pace: the part kept reaches past the file's head
    };
    const File files[] = {{"product", "ch1.jpg", 1, "ProductImages", 2000}, {"library/pdf", "brochure.pdf", 5, "Pdf", 200}};
    struct Case {
        const char* what;
        const char* slowMembers; // more of the trickling first answer's fault
        bool replaced;           // the office replaces the file after the first answer
        bool resumed;            // the next attempt asks for the rest, naming the part's version
        bool continued;
    };
    const Case cases[] = {
        {"with the back end's validators", "", false, true, true},
        {"with no validators", R"(, "validators": false)", false, false, false},
        {"with the file replaced in between", "", true, true, false},
        {"with no validators, the file replaced in between", R"(, "validators": false)", true, false, false},
    };
    for (const auto& file : files) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(file.name) + ", " + c.what);
            const std::string destination = client() + "/" + file.local + "/" + file.name;
            const std::string part = client() + "/tempDownload/" + file.local + "/" + file.name;
            fs::remove(destination);
            fs::remove(part);
            ASSERT_TRUE(backend().control(R"({"clearFaults": true})"));
            ASSERT_TRUE(backend().setFault(file.name, "slow", 1,
                                           "\"bytesPerSecond\": " + std::to_string(file.trickle) + c.slowMembers));
            if (c.replaced) {
                ASSERT_TRUE(backend().setFault(file.name, "version", 0));
            }
            m_logStart = backend().logLines().size();
            auto requester = fetch({file.name}, file.type);
            ASSERT_EQ(requester->results.size(), 1u);
            EXPECT_EQ(requester->results[0]->status, "200");

            auto attempts = fileRequests(file.name);
            ASSERT_EQ(attempts.size(), 2u);
            EXPECT_EQ(attempts[0]["answer"]["fault"].toString(), "slow");
            const auto& asked = attempts[1]["headers"];
            if (c.resumed) {
                std::string range = asked["Range"].toString();
                ASSERT_EQ(range.rfind("bytes=", 0), 0u) << range;
                EXPECT_GT(std::stol(range.substr(6)), 0);
                EXPECT_FALSE(asked["If-Range"].toString().empty());
            } else {
                EXPECT_TRUE(asked["Range"].isNull());
                EXPECT_TRUE(asked["If-Range"].isNull());
            }
            EXPECT_EQ(attempts[1]["answer"]["http"].toInt(), c.continued ? 206 : 200);

            // What the server holds now (the fault that trickled is spent).
            const std::string whole = served(file.folder, file.name);
            ASSERT_GT(whole.size(), 500u);
            auto landed = contents(destination);
            ASSERT_TRUE(landed);
            EXPECT_EQ(landed->size(), whole.size());
            EXPECT_TRUE(*landed == whole) << "the file is not the server's";
            EXPECT_FALSE(fs::exists(part));
            if (file.type == 1) {
                auto picture = gfx::Image::fromBytes(
                    std::span(reinterpret_cast<const uint8_t*>(landed->data()), landed->size()));
                EXPECT_FALSE(picture.isNull()) << "the picture does not decode";
            } else {
                EXPECT_EQ(landed->substr(0, 5), "%PDF-");
                EXPECT_NE(landed->find("%%EOF"), std::string::npos);
            }
        }
    }
}

// A continuation the server gives wrongly is refused, and its part goes with it: the next
// attempt asks for the whole file, which lands as the server holds it. The roads: a 206 of
// another version that shows no validator (a server that never looks at If-Range), a 206 of
// another range, and a compressed 206.
TEST_F(DownloadTest, APartTheServerCannotContinueGoesAndTheFileComesWhole)
{
    struct Case {
        const char* what;
        const char* kind;
        const char* members;
    };
    const Case cases[] = {
        {"a 206 of another version without validators", "version", R"("validators": false, "ifRange": "ignored")"},
        {"a 206 of another range", "wrongOffset", R"("offset": 0)"},
        {"a compressed 206", "gzip", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(productImage("ch1.jpg"));
        fs::remove(temporary("ch1.jpg"));
        ASSERT_TRUE(backend().control(R"({"clearFaults": true})"));
        ASSERT_TRUE(backend().setFault("ch1.jpg", "truncate", 1, R"("fraction": 0.4)"));
        ASSERT_TRUE(backend().setFault("ch1.jpg", c.kind, 1, c.members));
        m_logStart = backend().logLines().size();
        auto requester = fetch({"ch1.jpg"});
        ASSERT_EQ(requester->results.size(), 1u);
        EXPECT_EQ(requester->results[0]->status, "200");

        auto attempts = fileRequests("ch1.jpg");
        ASSERT_EQ(attempts.size(), 3u) << "the refused continuation's part was not dropped";
        EXPECT_EQ(attempts[1]["answer"]["fault"].toString(), c.kind);
        EXPECT_FALSE(attempts[1]["headers"]["Range"].isNull());
        EXPECT_TRUE(attempts[2]["headers"]["Range"].isNull());
        EXPECT_TRUE(attempts[2]["headers"]["If-Range"].isNull());
        EXPECT_EQ(attempts[2]["answer"]["http"].toInt(), 200);

        const std::string whole = served("product", "ch1.jpg");
        auto landed = contents(productImage("ch1.jpg"));
        ASSERT_TRUE(landed);
        EXPECT_TRUE(*landed == whole) << "the file is not the server's";
        EXPECT_FALSE(fs::exists(temporary("ch1.jpg")));
        auto picture =
            gfx::Image::fromBytes(std::span(reinterpret_cast<const uint8_t*>(landed->data()), landed->size()));
        EXPECT_FALSE(picture.isNull()) << "the picture does not decode";
    }
}

// Which ceiling and time bound a file listed without a size gets: pictures and the skin archive
// the picture's, every other file the other one's; a listed size bounds alone. Each limit is
// made small and distinct, so a picture held to the files' ceiling shows without gigabytes.
TEST_F(DownloadTest, PicturesAndTheSkinArchiveAreHeldToThePictureLimits)
{
    DownloadRequest::Limits small;
    small.pictureCeiling = uint64_t(1) << 20;
    small.fileCeiling = uint64_t(8) << 20;
    small.pictureSeconds = 30;
    small.fileSeconds = 90;
    testsupport::ScopedDownloadLimits scoped(small);
    auto boundOf = [](int type, uint64_t listed) {
        DownLoadRequestInfo info;
        info.setFileName("f");
        info.setImgType(type);
        info.setProgressType(kProgressTypeBatch);
        info.setMaximumFileSize(listed);
        auto request = DownloadRequest::requestWithURL(net::URL::parse("http://127.0.0.1/f"));
        request->setReqInfo(info);
        return std::make_pair(request->maximumDownloadSize(), request->maximumDownloadSeconds());
    };
    for (int type : {1, 2, 3, 4, kSkinArchiveType}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(boundOf(type, 0), std::make_pair(small.pictureCeiling, small.pictureSeconds));
        EXPECT_EQ(boundOf(type, 5000), std::make_pair(uint64_t(5000), 0.0));
    }
    for (int type : {5, 6, 7, 8, 9}) {
        SCOPED_TRACE(type);
        EXPECT_EQ(boundOf(type, 0), std::make_pair(small.fileCeiling, small.fileSeconds));
        EXPECT_EQ(boundOf(type, 5000), std::make_pair(uint64_t(5000), 0.0));
    }

    // Through the transport: a picture without end stops at the picture ceiling, a document
    // without end at the other; each is answered as too large and asked for once.
    struct Case {
        const char* folder;
        const char* name;
        int type;
        uint64_t ceiling;
    };
    for (const Case& c : {Case{"product", "ch1.jpg", 1, small.pictureCeiling},
                          Case{"library/pdf", "brochure.pdf", 5, small.fileCeiling}}) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(backend().setFault(c.name, "endless", 1));
        m_logStart = backend().logLines().size();
        base::ScopedLogCapture log;
        auto requester = std::make_shared<Requester>();
        NetworkModel::sharedInstance()->sendRequest(download(requester, {c.name}, c.type, 1));
        ASSERT_TRUE(runWhileServed("the endless file's answer", [&] { return !requester->results.empty(); }));
        EXPECT_EQ(requester->results[0]->status, "ANSWERTOOLARGE");
        EXPECT_EQ(fileRequests(c.name).size(), 1u);
        // The failure names the bound it passed, and the file.
        EXPECT_TRUE(log.contains("answer larger than the " + std::to_string(c.ceiling) + " bytes"));
        EXPECT_TRUE(log.contains(std::string("/") + c.name + "'"));
    }

    // A picture without end that keeps above the pace ends at the picture's time bound, a time
    // out asked for once.
    small.pictureSeconds = 1;
    DownloadRequest::setLimitsForTesting(small);
    ASSERT_TRUE(backend().setFault("ch1.jpg", "endless", 0, R"("bytesPerSecond": 100000)"));
    m_logStart = backend().logLines().size();
    auto requester = fetch({"ch1.jpg"});
    base::RunLoop::main().runUntil([] { return false; }, 0.5);
    ASSERT_EQ(requester->results.size(), 1u);
    EXPECT_EQ(requester->results[0]->status, "999");
    EXPECT_EQ(requester->results[0]->httpRsp, 2);
    EXPECT_EQ(fileRequests("ch1.jpg").size(), 1u);
    EXPECT_FALSE(fs::exists(temporary("ch1.jpg")));
}

// A file refused for want of room on its disk is asked for once: another attempt in the same run
// would meet the same disk. It is answered so, and nothing of it stays.
TEST_F(DownloadTest, ADownloadRefusedForWantOfDiskIsNotTriedAgain)
{
    DownloadRequest::Limits disk;
    disk.diskReserve = UINT64_MAX / 2;
    testsupport::ScopedDownloadLimits scoped(disk);
    struct Case {
        const char* name;
        int type;
        const char* local;
    };
    for (const Case& c : {Case{"ch1.jpg", 1, "ProductImages"}, Case{"brochure.pdf", 5, "Pdf"}}) {
        SCOPED_TRACE(c.name);
        m_logStart = backend().logLines().size();
        auto requester = fetch({c.name}, c.type);
        // Any retry would go out at once: a moment more shows none comes.
        base::RunLoop::main().runUntil([] { return false; }, 0.5);
        ASSERT_EQ(requester->results.size(), 1u);
        EXPECT_EQ(requester->results[0]->status, "DISKFULL");
        EXPECT_EQ(requester->results[0]->message, Language::stringWithName("DOWNLOADERROR"));
        EXPECT_EQ(fileRequests(c.name).size(), 1u);
        EXPECT_FALSE(fs::exists(client() + "/" + c.local + "/" + c.name));
        EXPECT_FALSE(fs::exists(client() + "/tempDownload/" + c.local + "/" + c.name));
    }
}

TEST_F(DownloadTest, MissingFilesAndErrorPagesLeaveNoFile)
{
    const std::string whole = served("product", "ch1.jpg");
    fetch({"ch1.jpg"});
    ASSERT_EQ(contents(productImage("ch1.jpg")), whole);

    // A 404 answers "404" and leaves the complete earlier copy alone.
    ASSERT_TRUE(backend().setFault("ch1.jpg", "notFound", 0, R"("size": "2k")"));
    auto missing = fetch({"ch1.jpg"});
    ASSERT_EQ(missing->results.size(), 1u);
    EXPECT_EQ(missing->results[0]->status, "404");
    EXPECT_EQ(missing->results[0]->message, Language::stringWithName("404"));
    EXPECT_EQ(contents(productImage("ch1.jpg")), whole);
    EXPECT_FALSE(fs::exists(temporary("ch1.jpg")));

    // A 500 with a page is no file: "999", nothing at the destination or in the temporary folder.
    ASSERT_TRUE(backend().setFault("tb1.jpg", "error500", 0));
    auto broken = fetch({"tb1.jpg"});
    ASSERT_EQ(broken->results.size(), 1u);
    EXPECT_EQ(broken->results[0]->status, "999");
    EXPECT_EQ(broken->results[0]->httpRsp, -1);
    EXPECT_FALSE(fs::exists(productImage("tb1.jpg")));
    EXPECT_FALSE(fs::exists(temporary("tb1.jpg")));
}

TEST_F(DownloadTest, OneDestinationIsFetchedOnceAndTypesKeepApart)
{
    const std::string whole = served("product", "ch1.jpg");
    ASSERT_TRUE(backend().setFault("ch1.jpg", "delay", 1, R"("seconds": 0.3)"));
    auto first = std::make_shared<Requester>(), second = std::make_shared<Requester>();
    auto model = NetworkModel::sharedInstance();
    auto a = download(first, {"ch1.jpg"}, 1, 1);
    auto b = download(second, {"ch1.jpg"}, 1, kProgressTypeBatch);
    model->sendRequest(a);
    model->sendRequest(b);
    ASSERT_TRUE(runUntil([&] { return first->results.size() + second->results.size() == 2; }));
    ASSERT_EQ(first->results.size(), 1u);
    ASSERT_EQ(second->results.size(), 1u);
    EXPECT_EQ(first->download(0)->downloadId, a->downloadId());
    EXPECT_EQ(second->download(0)->downloadId, b->downloadId());
    EXPECT_EQ(second->results[0]->status, "200");
    EXPECT_EQ(fileRequests("ch1.jpg").size(), 1u);
    EXPECT_EQ(contents(productImage("ch1.jpg")), whole);

    // The same name as a library cover is another file with its own temporary path.
    auto cover = fetch({"ch1.jpg"}, 4);
    EXPECT_EQ(cover->results.at(0)->status, "404");
    EXPECT_FALSE(fs::exists(client() + "/LibraryImages/ch1.jpg"));
    EXPECT_EQ(contents(productImage("ch1.jpg")), whole);
    auto brochure = fetch({"brochure_c.jpg"}, 4);
    EXPECT_EQ(brochure->results.at(0)->status, "200");
    EXPECT_EQ(contents(client() + "/LibraryImages/brochure_c.jpg"), served("library/cover_image", "brochure_c.jpg"));
}

TEST_F(DownloadTest, CancellingByNameAndLosingTheNetwork)
{
    auto model = NetworkModel::sharedInstance();
    auto transport = HttpNetworkCtrl::sharedInstance();
    ASSERT_TRUE(backend().setFault("ch1.jpg", "slow", 1, R"("bytesPerSecond": 2000)"));
    auto requester = std::make_shared<Requester>();
    model->sendRequest(download(requester, {"ch1.jpg"}, 1, 1));
    // Running: its first bytes have come.
    ASSERT_TRUE(runUntil([&] { return !requester->percents.empty(); }, 5));
    EXPECT_EQ(transport->CancelDownLoadWithName("nothing.jpg"), 0);
    EXPECT_EQ(model->pendingRequestCount(), 1u);
    int code = transport->CancelDownLoadWithName("ch1.jpg");
    EXPECT_EQ(code >> 16, kCmdDownload);
    EXPECT_FALSE(transport->isCodeInUse(code));
    model->cancelDownloadReuest("ch1.jpg");
    base::RunLoop::main().runUntil([] { return false; }, 1.0);
    EXPECT_TRUE(requester->results.empty());
    EXPECT_FALSE(fs::exists(productImage("ch1.jpg")));

    // Losing the network stops the batch; a single download and a command finish.
    ASSERT_TRUE(backend().setFault("tb1.jpg", "slow", 1, R"("bytesPerSecond": 2000)"));
    ASSERT_TRUE(backend().setFault("ch1_t.jpg", "delay", 1, R"("seconds": 0.3)"));
    ASSERT_TRUE(backend().setFault("261", "delay", 1, R"("seconds": 0.3)"));
    auto batch = std::make_shared<Requester>(), single = std::make_shared<Requester>(), command = std::make_shared<Requester>();
    model->sendRequest(download(batch, {"tb1.jpg"}, 1, kProgressTypeBatch));
    model->sendRequest(download(single, {"ch1_t.jpg"}, 1, 1));
    model->sendRequest(runtimeConfig(command));
    base::RunLoop::main().runUntil([] { return false; }, 0.1);
    base::NotificationCenter::defaultCenter().post("netUnconnect");
    ASSERT_TRUE(runUntil([&] { return batch->results.size() + single->results.size() + command->results.size() == 3; }));
    EXPECT_EQ(batch->results[0]->status, "999");
    EXPECT_EQ(batch->results[0]->httpRsp, 1);
    EXPECT_EQ(single->results[0]->status, "200");
    EXPECT_EQ(command->results[0]->status, "200");
}

// A list longer than the window goes out as its files are answered: each file is answered
// once, the transport never holds more than the window, the unsent ones count as pending, a
// cancel drops them, and a network loss answers them all.
TEST_F(DownloadTest, ALongListGoesOutAsItsFilesAreAnswered)
{
    auto model = NetworkModel::sharedInstance();
    auto transport = HttpNetworkCtrl::sharedInstance();
    std::vector<std::string> names;
    for (size_t i = 0; i < NetworkModel::kBatchWindow + 30; ++i)
        names.push_back("absent" + std::to_string(i) + ".jpg");
    auto answeredOnce = [&](const Requester& requester) {
        std::set<std::string> seen;
        for (size_t i = 0; i < requester.results.size(); ++i)
            seen.insert(requester.download(i)->fileName);
        return seen.size() == names.size() && requester.results.size() == names.size();
    };

    auto whole = std::make_shared<Requester>();
    model->sendRequest(download(whole, names, 1, kProgressTypeBatch));
    EXPECT_EQ(model->pendingRequestCount(), names.size());
    EXPECT_EQ(size_t(transport->batchQueue()->requestsCount()), NetworkModel::kBatchWindow);
    size_t most = 0;
    ASSERT_TRUE(runWhileServed(
        "every file's answer",
        [&] {
            most = std::max(most, size_t(transport->batchQueue()->requestsCount()));
            return whole->results.size() >= names.size();
        },
        [&] { return whole->results.size(); }));
    EXPECT_LE(most, NetworkModel::kBatchWindow);
    EXPECT_TRUE(answeredOnce(*whole));

    auto cancelled = std::make_shared<Requester>();
    auto command = download(cancelled, names, 1, kProgressTypeBatch);
    model->sendRequest(command);
    model->cancelRequest(command);
    EXPECT_EQ(model->pendingRequestCount(), 0u);
    base::RunLoop::main().runUntil([] { return false; }, 0.3);
    EXPECT_TRUE(cancelled->results.empty());

    auto lost = std::make_shared<Requester>();
    model->sendRequest(download(lost, names, 1, kProgressTypeBatch));
    base::NotificationCenter::defaultCenter().post("netUnconnect");
    ASSERT_TRUE(runUntil([&] { return lost->results.size() >= names.size(); }));
    EXPECT_TRUE(answeredOnce(*lost));
    EXPECT_EQ(model->pendingRequestCount(), 0u);
}

TEST_F(DownloadTest, ProgressIsThinnedRisesAndCountsResumedBytes)
{
    const size_t size = served("product", "ch1.jpg").size();
    // About 1.5 s for the file, on the real clock.
    std::string rate = "\"bytesPerSecond\": " + std::to_string(size * 2 / 3);
    ASSERT_TRUE(backend().setFault("ch1.jpg", "slow", 1, rate));
    auto requester = fetch({"ch1.jpg"});
    auto& percents = requester->percents;
    ASSERT_GE(percents.size(), 3u);
    EXPECT_EQ(percents.back().fraction, 1.0f);
    for (size_t i = 1; i < percents.size(); ++i) {
        EXPECT_GE(percents[i].fraction, percents[i - 1].fraction);
        if (i + 1 < percents.size()) {
            EXPECT_GE(percents[i].at - percents[i - 1].at, HttpNetworkCtrl::kProgressInterval - 1e-9);
        }
        EXPECT_EQ(percents[i].fileName, "ch1.jpg");
    }

    // Cut halfway, then resumed slowly: the fractions go on from the bytes already there.
    std::filesystem::remove(productImage("ch1.jpg"));
    ASSERT_TRUE(backend().setFault("ch1.jpg", "truncate", 1, R"("fraction": 0.5)"));
    ASSERT_TRUE(backend().setFault("ch1.jpg", "slow", 1, rate));
    requester = fetch({"ch1.jpg"});
    EXPECT_EQ(requester->results.at(0)->status, "200");
    ASSERT_GE(requester->percents.size(), 2u);
    for (size_t i = 1; i < requester->percents.size(); ++i)
        EXPECT_GE(requester->percents[i].fraction, requester->percents[i - 1].fraction);
    EXPECT_EQ(requester->percents.back().fraction, 1.0f);

    // Without a length there is no fraction to tell until the end.
    std::filesystem::remove(productImage("ch1.jpg"));
    ASSERT_TRUE(backend().setFault("ch1.jpg", "chunked", 1));
    requester = fetch({"ch1.jpg"});
    EXPECT_EQ(requester->results.at(0)->status, "200");
    ASSERT_EQ(requester->percents.size(), 1u);
    EXPECT_EQ(requester->percents[0].fraction, 1.0f);
    EXPECT_EQ(contents(productImage("ch1.jpg")), served("product", "ch1.jpg"));
}

TEST_F(DownloadTest, UnsafeNamesAreRefusedWithoutARequest)
{
    for (std::string name : {"../x", "a/b", "..", ""}) {
        auto requester = fetch({name});
        ASSERT_EQ(requester->results.size(), 1u) << name;
        EXPECT_EQ(requester->results[0]->status, "999") << name;
        EXPECT_EQ(requester->results[0]->httpRsp, 4) << name;
        EXPECT_EQ(requester->download(0)->fileName, name);
    }
    EXPECT_TRUE(logged("file").empty());
    EXPECT_FALSE(fs::exists(client() + "/x"));
    EXPECT_FALSE(fs::exists(client() + "/ProductImages/a"));
}

} // namespace
} // namespace protocoltest
