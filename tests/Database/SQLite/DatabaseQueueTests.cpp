#include "SQLiteTestSupport.h"

#include "Database/SQLite/BRDatabaseQueue.h"
#include "Database/SQLite/BRDatabaseUsageError.h"

#include <filesystem>
#include <latch>
#include <thread>
#include <vector>

namespace {

class BRDatabaseQueueTest : public sqltest::SQLiteTest {
protected:
    void SetUp() override
    {
        m_queue = BRDatabaseQueue::databaseQueueWithPath(path("queue.sqlite"));
        ASSERT_NE(m_queue, nullptr);
        ASSERT_TRUE(m_queue->inDatabase([](BRDatabase& db) {
            // Thousands of commits: no waiting for the disk in a scratch file.
            EXPECT_TRUE(db.executeUpdate("pragma synchronous = off"));
            EXPECT_TRUE(db.executeUpdate("create table item (name text)"));
        }));
    }

    std::vector<std::string> names()
    {
        std::vector<std::string> out;
        m_queue->inDatabase([&](BRDatabase& db) {
            auto rs = db.executeQuery("select name from item order by rowid");
            while (rs && rs->next())
                out.push_back(rs->stringForColumnIndex(0).value_or(""));
        });
        return out;
    }

    std::shared_ptr<BRDatabaseQueue> m_queue;
};

using Names = std::vector<std::string>;

TEST_F(BRDatabaseQueueTest, TransactionsFromEightThreadsAreSerialised)
{
    m_queue->inDatabase([](BRDatabase& db) {
        EXPECT_TRUE(db.executeUpdate("create table counter (n integer)"));
        EXPECT_TRUE(db.executeUpdate("insert into counter values (0)"));
    });
    constexpr int kThreads = 8, kBlocks = 250;
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            start.arrive_and_wait();
            for (int i = 0; i < kBlocks; ++i)
                m_queue->inTransaction([](BRDatabase& db, bool&) {
                    int n = db.intForQuery("select n from counter");
                    EXPECT_TRUE(db.executeUpdate("update counter set n = ?", n + 1));
                });
        });
    for (auto& t : threads)
        t.join();

    // Read through a connection of the test's own: the count is in the file.
    auto reader = openDatabase("queue.sqlite");
    EXPECT_EQ(reader->intForQuery("select n from counter"), kThreads * kBlocks);
}

TEST_F(BRDatabaseQueueTest, RollbackFlagAndSavePointsUndoOnlyTheirOwnWrites)
{
    EXPECT_TRUE(m_queue->inTransaction([](BRDatabase& db, bool& rollback) {
        EXPECT_TRUE(db.executeUpdate("insert into item values ('rolled back')"));
        rollback = true;
    }));
    EXPECT_EQ(names(), Names{});

    m_queue->inDatabase([](BRDatabase& db) { EXPECT_TRUE(db.executeUpdate("insert into item values ('before')")); });
    EXPECT_FALSE(m_queue->inSavePoint([](BRDatabase& db, bool& rollback) {
        EXPECT_TRUE(db.executeUpdate("insert into item values ('undone')"));
        rollback = true;
    }));
    EXPECT_FALSE(m_queue->inSavePoint([](BRDatabase& db, bool&) {
        EXPECT_TRUE(db.executeUpdate("insert into item values ('kept')"));
    }));
    EXPECT_EQ(names(), (Names{"before", "kept"}));

    // Nothing is left open on the connection: a transaction can begin, and another
    // connection sees every kept row.
    m_queue->inDeferredTransaction([](BRDatabase& db, bool&) {
        EXPECT_TRUE(db.inTransaction());
        EXPECT_TRUE(db.executeUpdate("insert into item values ('after')"));
    });
    auto reader = openDatabase("queue.sqlite");
    EXPECT_EQ(reader->intForQuery("select count(*) from item"), 3);
}

TEST_F(BRDatabaseQueueTest, CloseReopensOnNextUseOrLogsWhenItCannot)
{
    m_queue->inDatabase([](BRDatabase& db) {
        EXPECT_TRUE(db.executeUpdate("insert into item values ('one')"));
        EXPECT_TRUE(db.executeUpdate("insert into item values ('two')"));
    });
    m_queue->close();
    EXPECT_EQ(names(), (Names{"one", "two"}));

    m_queue->close();
    std::filesystem::remove(path("queue.sqlite"));
    std::filesystem::create_directory(path("queue.sqlite"));
    bool ran = false;
    EXPECT_FALSE(m_queue->inDatabase([&](BRDatabase&) { ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_NE(m_queue->inSavePoint([&](BRDatabase&, bool&) { ran = true; }), nullptr);
    EXPECT_FALSE(ran);
    EXPECT_EQ(countLines("BRDatabaseQueue could not reopen database for path " + path("queue.sqlite")), 2u);
}

TEST_F(BRDatabaseQueueTest, WarnsAboutAResultSetLeftOpen)
{
    std::shared_ptr<BRResultSet> leftOpen;
    m_queue->inDatabase([&](BRDatabase& db) { leftOpen = db.executeQuery("select * from item"); });
    const char* warning =
        "Warning: there is at least one open result set around after performing [BRDatabaseQueue inDatabase:]";
    EXPECT_EQ(countLines(warning), 1u);
    m_queue->inDatabase([&](BRDatabase&) { leftOpen->close(); });
    names();
    EXPECT_EQ(countLines(warning), 1u);
}

TEST_F(BRDatabaseQueueTest, CallFromItsOwnBlockIsAUsageErrorNotAHang)
{
    bool innerRan = false;
    try {
        m_queue->inDatabase([&](BRDatabase&) { m_queue->inDatabase([&](BRDatabase&) { innerRan = true; }); });
        FAIL() << "the nested call was not refused";
    } catch (const BRDatabaseUsageError& e) {
        EXPECT_NE(std::string(e.what()).find("same queue"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(innerRan);
    EXPECT_EQ(names(), Names{});
}

TEST_F(BRDatabaseQueueTest, PathThatCannotBeOpenedMakesNoQueue)
{
    std::string folder = m_dir.path().string();
    EXPECT_EQ(BRDatabaseQueue::databaseQueueWithPath(folder), nullptr);
    EXPECT_TRUE(m_log.contains("Could not create database queue for path " + folder));
}

} // namespace
