// The download manager against the loopback back end: real dispatcher, transport and engine;
// what the server received is read from its log.
#include "LibraryTestSupport.h"

#include "Common/Language.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/ServerCommands.h"

namespace librarytest {
namespace {

namespace fs = std::filesystem;

// Records what it hears and what the manager said at that moment.
class Listener : public SaleslibraryModelDelegate {
public:
    struct Reply {
        std::string status;
        std::string message;
        int fileId;
        int type;
        bool presentThen;
        bool listedThen;
        bool updateRowThen;
    };
    explicit Listener(std::string name, std::vector<std::string>* order = nullptr) : m_name(std::move(name)), m_order(order) {}
    std::vector<Reply> replies;
    std::vector<float> fractions;
    std::vector<int> otherCommands;
    std::shared_ptr<DataAccessManager> database;

    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override
    {
        auto download = std::dynamic_pointer_cast<DownloadRst>(result);
        if (!download) {
            otherCommands.push_back(result->cmdCode);
            return 0;
        }
        auto model = SaleslibraryModel::sharedInstance();
        replies.push_back({download->status, download->message, download->fileId, download->type,
                           model->isExists(download->fileId), model->isInDownloadList(download->fileName),
                           database && database->getLibFileUpdateByFileID(download->fileId).has_value()});
        return 0;
    }
    void ReciveDownloadPercent(const DownLoadRequestInfo& info) override
    {
        fractions.push_back(info.downloadPercent());
        if (m_order)
            m_order->push_back(m_name);
    }

private:
    std::string m_name;
    std::vector<std::string>* m_order;
};

class SaleslibraryModelTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        if (HasFatalFailure())
            return;
        saveFiles({libraryFile(42, "Autumn catalogue", "cat.pdf"), libraryFile(43, "Full price book", "big.pdf"),
                   libraryFile(7, "Sales deck", "deck_v2.pdf"), libraryFile(66, "Escape", "../../evil.pdf")});
    }
    std::shared_ptr<Listener> listen(const std::string& name = "one", std::vector<std::string>* order = nullptr)
    {
        auto listener = std::make_shared<Listener>(name, order);
        listener->database = m_manager;
        SaleslibraryModel::sharedInstance()->registerCallBackList(listener);
        return listener;
    }
};

TEST_F(SaleslibraryModelTest, DownloadLandsIsConfirmedOnceAndListenersSeeTheNewState)
{
    const std::string whole = served("library/pdf", "cat.pdf");
    ASSERT_GT(whole.size(), 250000u);
    std::vector<std::string> order;
    auto first = listen("first", &order);
    auto second = listen("second", &order);
    SaleslibraryModel::sharedInstance()->registerCallBackList(first); // once only
    auto model = SaleslibraryModel::sharedInstance();

    int id = model->sendRequest(downloadOf(42, "cat.pdf"));
    EXPECT_NE(id, 0);
    EXPECT_TRUE(model->isInDownloadList("cat.pdf"));
    // A stray second start sends nothing and names the same download.
    EXPECT_EQ(model->sendRequest(downloadOf(42, "cat.pdf")), id);
    ASSERT_TRUE(runUntil([&] { return !second->replies.empty(); }));
    settle();

    EXPECT_EQ(contents(pdfPath("cat.pdf")), whole);
    EXPECT_TRUE(model->isExists(42));
    EXPECT_FALSE(model->isInDownloadList("cat.pdf"));
    EXPECT_EQ(model->getDownloadPercentage("cat.pdf"), 0.0f);
    for (auto* listener : {first.get(), second.get()}) {
        ASSERT_EQ(listener->replies.size(), 1u);
        const auto& reply = listener->replies[0];
        EXPECT_EQ(reply.status, "200");
        EXPECT_EQ(reply.fileId, 42);
        EXPECT_EQ(reply.type, 5);
        EXPECT_TRUE(reply.presentThen);
        EXPECT_FALSE(reply.listedThen);
        EXPECT_TRUE(listener->otherCommands.empty()) << "the 519 answer reached a listener";
        ASSERT_FALSE(listener->fractions.empty());
        EXPECT_TRUE(std::is_sorted(listener->fractions.begin(), listener->fractions.end()));
        EXPECT_FLOAT_EQ(listener->fractions.back(), 1.0f);
    }
    ASSERT_EQ(order.size() % 2, 0u);
    for (size_t i = 0; i < order.size(); i += 2)
        EXPECT_EQ(order[i] + order[i + 1], "firstsecond");
    EXPECT_EQ(finishNotices(), std::vector<std::string>{"42"});
    EXPECT_EQ(fileRequests("cat.pdf").size(), 1u);
}

// The server hears of a fetched file once no download runs, so its notices never compete with
// the downloads; a pause that leaves nothing running sends what waited.
TEST_F(SaleslibraryModelTest, FinishNoticesWaitUntilNoDownloadRuns)
{
    ASSERT_TRUE(backend().setFault("big.pdf", "slow", 1, R"("bytesPerSecond": 20000)"));
    auto listener = listen();
    auto model = SaleslibraryModel::sharedInstance();
    model->sendRequest(downloadOf(43, "big.pdf"));
    model->sendRequest(downloadOf(42, "cat.pdf"));
    ASSERT_TRUE(runUntil([&] { return model->isExists(42); }));
    settle(0.3, 1); // the big file's transfer goes on; a notice sent now would still be in flight
    EXPECT_TRUE(model->isInDownloadList("big.pdf"));
    EXPECT_TRUE(finishNotices().empty()) << "a notice went out while a download ran";

    model->pauseDownloadFile("big.pdf");
    ASSERT_TRUE(runUntil([&] { return !finishNotices().empty(); }));
    settle();
    EXPECT_EQ(finishNotices(), std::vector<std::string>{"42"});
}

TEST_F(SaleslibraryModelTest, PauseKeepsThePartForTheResumeWithOrWithoutRangeSupport)
{
    const std::string whole = served("library/pdf", "cat.pdf");
    for (bool serverIgnoresRange : {false, true}) {
        SCOPED_TRACE(serverIgnoresRange ? "range ignored" : "range honoured");
        fs::remove(pdfPath("cat.pdf"));
        SaleslibraryModel::freeInstance();
        m_logStart = backend().logLines().size();
        ASSERT_TRUE(backend().setFault("cat.pdf", "slow", 1, R"("bytesPerSecond": 400000)"));
        auto listener = listen();
        auto model = SaleslibraryModel::sharedInstance();
        model->sendRequest(downloadOf(42, "cat.pdf"));
        ASSERT_TRUE(runUntil([&] { return model->getDownloadPercentage("cat.pdf") >= 0.3f; }));
        model->pauseDownloadFile("cat.pdf");
        float kept = model->getDownloadPercentage("cat.pdf");
        EXPECT_EQ(model->pauseFileArray(), std::vector<std::string>{"cat.pdf"});
        EXPECT_TRUE(model->downloadFileNameArray().empty());
        settle();
        EXPECT_TRUE(listener->replies.empty()) << "a paused download still answered";
        EXPECT_FALSE(fs::exists(pdfPath("cat.pdf")));
        EXPECT_EQ(model->getDownloadPercentage("cat.pdf"), kept);

        if (serverIgnoresRange) {
            ASSERT_TRUE(backend().setFault("cat.pdf", "ignoreRange", 1));
        }
        model->sendRequest(downloadOf(42, "cat.pdf"));
        EXPECT_TRUE(model->pauseFileArray().empty());
        ASSERT_TRUE(runUntil([&] { return !listener->replies.empty(); }));
        EXPECT_EQ(listener->replies[0].status, "200");
        EXPECT_EQ(contents(pdfPath("cat.pdf")), whole);
        auto requests = fileRequests("cat.pdf");
        ASSERT_EQ(requests.size(), 2u);
        std::string range = requests[1]["headers"]["Range"].toString();
        ASSERT_EQ(range.rfind("bytes=", 0), 0u) << range;
        EXPECT_GT(std::stol(range.substr(6)), 0);
    }
}

TEST_F(SaleslibraryModelTest, CancelForgetsTheFileAndConfirmsNothing)
{
    ASSERT_TRUE(backend().setFault("cat.pdf", "slow", 1, R"("bytesPerSecond": 200000)"));
    auto listener = listen();
    auto model = SaleslibraryModel::sharedInstance();
    model->sendRequest(downloadOf(42, "cat.pdf"));
    ASSERT_TRUE(runUntil([&] { return model->getDownloadPercentage("cat.pdf") > 0.1f; }));
    model->cancelDownloadFile("cat.pdf");
    EXPECT_FALSE(model->isInDownloadList("cat.pdf"));
    EXPECT_FALSE(model->isInPauseList("cat.pdf"));
    settle();
    EXPECT_TRUE(listener->replies.empty());
    EXPECT_FALSE(fs::exists(pdfPath("cat.pdf")));

    // A paused name is let go without a word to the server.
    model->sendRequest(downloadOf(43, "big.pdf"));
    model->pauseDownloadFile("big.pdf");
    settle(0.1);
    size_t before = fileRequests("big.pdf").size();
    model->cancelDownloadFile("big.pdf");
    model->cancelDownloadFile(std::nullopt);
    settle(0.1);
    EXPECT_FALSE(model->isInPauseList("big.pdf"));
    EXPECT_EQ(fileRequests("big.pdf").size(), before);
    EXPECT_TRUE(finishNotices().empty());
}

TEST_F(SaleslibraryModelTest, FailuresReachListenersWhileListedAndLeaveNothingBehind)
{
    struct Case {
        const char* kind;
        const char* extra;
        const char* status;
        bool earlierCopy;
    };
    const Case cases[] = {
        {"truncate", R"("fraction": 0.6)", "999", false},
        {"notFound", "", "404", false},
        {"notFound", "", "404", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.kind) + (c.earlierCopy ? " over an earlier copy" : ""));
        ASSERT_TRUE(backend().control(R"({"clearFaults": true})"));
        fs::remove(pdfPath("cat.pdf"));
        if (c.earlierCopy) {
            writeFile(pdfPath("cat.pdf"), "the complete earlier version");
        }
        SaleslibraryModel::freeInstance();
        m_logStart = backend().logLines().size();
        ASSERT_TRUE(backend().setFault("cat.pdf", c.kind, 0, c.extra));
        auto listener = listen();
        auto model = SaleslibraryModel::sharedInstance();
        EXPECT_EQ(model->isExists(42), c.earlierCopy);
        model->sendRequest(downloadOf(42, "cat.pdf"));
        ASSERT_TRUE(runUntil([&] { return !listener->replies.empty(); }));
        settle(0.1);
        EXPECT_EQ(listener->replies[0].status, c.status);
        EXPECT_TRUE(listener->replies[0].listedThen);
        EXPECT_FALSE(model->isInDownloadList("cat.pdf"));
        EXPECT_EQ(model->isExists(42), c.earlierCopy);
        if (c.earlierCopy) {
            EXPECT_EQ(contents(pdfPath("cat.pdf")), "the complete earlier version");
        } else {
            EXPECT_FALSE(fs::exists(pdfPath("cat.pdf")));
        }
        EXPECT_TRUE(finishNotices().empty());
    }
}

TEST_F(SaleslibraryModelTest, AnOldVersionCountsUntilTheNewOneArrivesAndReplacesTheUpdateRow)
{
    saveUpdate(7, "deck_v1.pdf", "PDF");
    writeFile(pdfPath("deck_v1.pdf"), served("library/pdf", "deck_v1.pdf"));
    auto listener = listen();
    auto model = SaleslibraryModel::sharedInstance();
    EXPECT_TRUE(model->isExists(7));
    EXPECT_FALSE(model->isExists(42));
    EXPECT_FALSE(model->isExists(66)) << "an escaping name counts as absent";

    model->sendRequest(downloadOf(7, "deck_v2.pdf"));
    ASSERT_TRUE(runUntil([&] { return !listener->replies.empty(); }));
    settle();
    EXPECT_EQ(listener->replies[0].status, "200");
    EXPECT_FALSE(listener->replies[0].updateRowThen);
    EXPECT_FALSE(m_manager->getLibFileUpdateByFileID(7));
    EXPECT_EQ(finishNotices(), std::vector<std::string>{"7"});
}

TEST_F(SaleslibraryModelTest, ASuccessWithoutAFileConfirmsNothing)
{
    saveUpdate(7, "deck_v1.pdf", "PDF");
    auto listener = listen();
    auto model = SaleslibraryModel::sharedInstance();
    auto reply = std::make_shared<DownloadRst>();
    reply->cmdCode = kCmdDownload;
    reply->status = "200";
    reply->fileId = 7;
    reply->type = 5;
    reply->fileName = "deck_v2.pdf";
    model->ReciveHttpRespondInfo(reply);
    settle(0.1);
    EXPECT_FALSE(model->isExists(7));
    EXPECT_TRUE(m_manager->getLibFileUpdateByFileID(7));
    EXPECT_TRUE(finishNotices().empty());
    ASSERT_EQ(listener->replies.size(), 1u);
    EXPECT_EQ(listener->replies[0].status, "200");
}

TEST_F(SaleslibraryModelTest, AnEscapingNameFailsWithoutWritingOrSending)
{
    auto listener = listen();
    auto model = SaleslibraryModel::sharedInstance();
    model->sendRequest(downloadOf(66, "../../evil.pdf"));
    ASSERT_TRUE(runUntil([&] { return !listener->replies.empty(); }));
    settle(0.1);
    EXPECT_NE(listener->replies[0].status, "200");
    EXPECT_EQ(listener->replies[0].message, Language::stringWithName("DOWNLOADERROR"));
    EXPECT_FALSE(model->isInDownloadList("../../evil.pdf"));
    EXPECT_FALSE(fs::exists(client() + "/evil.pdf"));
    EXPECT_FALSE(fs::exists(base::Paths::documents() + "/evil.pdf"));
    EXPECT_TRUE(logged("file").empty());
    EXPECT_TRUE(finishNotices().empty());
}

TEST_F(SaleslibraryModelTest, LogoutCancelsAndTheNextManagerStartsAfresh)
{
    ASSERT_TRUE(backend().setFault("big.pdf", "slow", 1, R"("bytesPerSecond": 300000)"));
    auto gone = listen("gone");
    auto kept = listen("kept");
    auto old = SaleslibraryModel::sharedInstance();
    old->sendRequest(downloadOf(43, "big.pdf"));
    old->sendRequest(downloadOf(42, "cat.pdf"));
    old->pauseDownloadFile("cat.pdf");
    ASSERT_TRUE(runUntil([&] { return old->getDownloadPercentage("big.pdf") > 0.01f; }));
    gone.reset(); // never unregistered: skipped from now on
    writeFile(pdfPath("deck_v2.pdf"), "on disk");

    SaleslibraryModel::freeInstance();
    settle();
    EXPECT_TRUE(kept->replies.empty()) << "a cancelled download still answered";
    EXPECT_FALSE(fs::exists(pdfPath("big.pdf")));
    auto fresh = SaleslibraryModel::sharedInstance();
    EXPECT_NE(fresh, old);
    EXPECT_TRUE(fresh->downloadFileNameArray().empty());
    EXPECT_TRUE(fresh->pauseFileArray().empty());
    EXPECT_EQ(fresh->existsFiles(), std::set<int>{7});

    // The old manager still hears a late progress report; a gone listener is skipped.
    DownLoadRequestInfo info;
    info.setFileName("big.pdf");
    info.setDownloadPercent(0.5f);
    size_t before = kept->fractions.size();
    old->ReciveDownloadPercent(info);
    EXPECT_EQ(kept->fractions.size(), before + 1);
}

} // namespace
} // namespace librarytest
