#include "SQLiteTestSupport.h"

#include "Database/SQLite/BRDatabasePool.h"
#include "Database/SQLite/BRDatabaseQueue.h"
#include "Database/SQLite/BRDatabaseUsageError.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <latch>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace {

// Lets each connection commit without waiting for the disk (scratch files, many commits).
class NoSyncDelegate : public BRDatabasePoolDelegate {
public:
    bool databasePoolShouldAddDatabaseToPool(BRDatabasePool&, BRDatabase& database) override
    {
        return database.executeUpdate("pragma synchronous = off");
    }
};

class BRDatabasePoolTest : public sqltest::SQLiteTest {
protected:
    void SetUp() override
    {
        m_pool = BRDatabasePool::databasePoolWithPath(path("pool.sqlite"));
        m_pool->setMaximumNumberOfDatabasesToCreate(3);
        m_pool->setDelegate(m_noSync);
        ASSERT_TRUE(m_pool->inDatabase(
            [](BRDatabase& db) { EXPECT_TRUE(db.executeUpdate("create table item (n integer)")); }));
    }

    int rows()
    {
        auto reader = openDatabase("pool.sqlite");
        return reader->intForQuery("select count(*) from item");
    }

    std::shared_ptr<NoSyncDelegate> m_noSync = std::make_shared<NoSyncDelegate>();
    std::shared_ptr<BRDatabasePool> m_pool;
};

TEST_F(BRDatabasePoolTest, ThreeThreadsShareAtMostThreeConnectionsOfItsOwn)
{
    auto shared = BRDatabase::databaseWithPath(path("client.sqlite"));
    ASSERT_TRUE(shared->open());

    constexpr int kThreads = 3, kRows = 250;
    std::mutex mutex;
    std::set<BRDatabase*> seen;
    std::atomic<size_t> mostOpen{0};
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            start.arrive_and_wait();
            for (int i = 0; i < kRows; ++i)
                EXPECT_TRUE(m_pool->inTransaction([&](BRDatabase& db, bool&) {
                    EXPECT_TRUE(db.executeUpdate("insert into item values (?)", t * kRows + i));
                    size_t open = m_pool->countOfOpenDatabases();
                    size_t before = mostOpen.load();
                    while (open > before && !mostOpen.compare_exchange_weak(before, open)) {
                    }
                    std::lock_guard lock(mutex);
                    seen.insert(&db);
                }));
        });
    for (auto& t : threads)
        t.join();

    EXPECT_EQ(rows(), kThreads * kRows);
    EXPECT_LE(seen.size(), 3u);
    EXPECT_LE(mostOpen.load(), 3u);
    EXPECT_FALSE(seen.count(shared.get()));
    EXPECT_EQ(m_pool->countOfCheckedOutDatabases(), 0u);
    EXPECT_EQ(m_pool->countOfCheckedInDatabases(), seen.size());

    m_pool->releaseAllDatabases();
    EXPECT_EQ(m_pool->countOfCheckedInDatabases(), 0u);
    EXPECT_EQ(m_pool->countOfCheckedOutDatabases(), 0u);
    EXPECT_EQ(m_pool->countOfOpenDatabases(), 0u);
}

TEST_F(BRDatabasePoolTest, AtTheMaximumNoBlockRunsWithoutAConnection)
{
    bool ran = false;
    // Three nested users on one thread hold all three connections.
    m_pool->inDatabase([&](BRDatabase& a) {
        m_pool->inDatabase([&](BRDatabase& b) {
            m_pool->inDatabase([&](BRDatabase& c) {
                EXPECT_EQ(std::set<BRDatabase*>({&a, &b, &c}).size(), 3u);
                EXPECT_EQ(m_pool->countOfCheckedOutDatabases(), 3u);
                EXPECT_FALSE(m_pool->inDatabase([&](BRDatabase&) { ran = true; }));
                EXPECT_FALSE(m_pool->inTransaction([&](BRDatabase&, bool&) { ran = true; }));
                EXPECT_NE(m_pool->inSavePoint([&](BRDatabase&, bool&) { ran = true; }), nullptr);
            });
        });
    });
    EXPECT_FALSE(ran);
    EXPECT_EQ(countLines("Maximum number of databases (3) has already been reached!"), 3u);
    EXPECT_EQ(m_pool->countOfCheckedInDatabases(), 3u);
    EXPECT_EQ(m_pool->countOfCheckedOutDatabases(), 0u);
}

class RefusingDelegate : public BRDatabasePoolDelegate {
public:
    bool databasePoolShouldAddDatabaseToPool(BRDatabasePool&, BRDatabase& database) override
    {
        ++asked;
        askedOpen = database.sqliteHandle() != nullptr;
        if (refuse)
            refused = &database;
        return !refuse;
    }
    int asked = 0;
    bool askedOpen = false;
    bool refuse = true;
    BRDatabase* refused = nullptr;
};

TEST_F(BRDatabasePoolTest, DelegateCanRefuseAConnection)
{
    m_pool->releaseAllDatabases();
    auto delegate = std::make_shared<RefusingDelegate>();
    m_pool->setDelegate(delegate);
    EXPECT_EQ(m_pool->delegate(), delegate);

    EXPECT_EQ(m_pool->db(), nullptr);
    EXPECT_EQ(delegate->asked, 1);
    EXPECT_TRUE(delegate->askedOpen);
    EXPECT_EQ(m_pool->countOfOpenDatabases(), 0u);
    bool ran = false;
    EXPECT_FALSE(m_pool->inDatabase([&](BRDatabase&) { ran = true; }));
    EXPECT_FALSE(ran);

    delegate->refuse = false;
    auto db = m_pool->db();
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(m_pool->countOfCheckedOutDatabases(), 1u);
    m_pool->pushDatabaseBackInPool(db);

    // Not owned: once it is gone the pool asks no one.
    delegate.reset();
    EXPECT_EQ(m_pool->delegate(), nullptr);
    EXPECT_TRUE(m_pool->inDatabase([](BRDatabase&) {}));
}

TEST_F(BRDatabasePoolTest, PushingAConnectionBackTwiceIsAUsageError)
{
    auto db = m_pool->db();
    ASSERT_NE(db, nullptr);
    m_pool->pushDatabaseBackInPool(db);
    m_pool->pushDatabaseBackInPool(nullptr);
    try {
        m_pool->pushDatabaseBackInPool(db);
        FAIL() << "no usage error";
    } catch (const BRDatabaseUsageError& e) {
        EXPECT_EQ(e.name(), "Database already in pool");
        EXPECT_STREQ(e.what(), "The BRDatabase being put back into the pool is already present in the pool");
    }
    EXPECT_EQ(m_pool->countOfCheckedInDatabases(), 1u);
}

// A pool and a queue on a second file of the client's folder, busy on their own threads while
// the main thread works on the application's shared connection.
using BRDatabaseSideBySideTest = sqltest::SQLiteTest;

TEST_F(BRDatabaseSideBySideTest, PoolAndQueueLeaveTheSharedConnectionAlone)
{
    std::filesystem::create_directories(m_dir / "Documents/c1");
    std::string client = path("Documents/c1/brivanta_lite.sqlite");
    std::string second = path("Documents/c1/second.sqlite");
    auto shared = BRDatabase::databaseWithPath(client);
    ASSERT_TRUE(shared->open());
    shared->setShouldCacheStatements(true);
    ASSERT_TRUE(shared->executeUpdate("create table own (n integer)"));

    auto pool = BRDatabasePool::databasePoolWithPath(second);
    auto noSync = std::make_shared<NoSyncDelegate>();
    pool->setDelegate(noSync);
    auto queue = BRDatabaseQueue::databaseQueueWithPath(second);
    ASSERT_NE(queue, nullptr);
    queue->inDatabase([](BRDatabase& db) {
        EXPECT_TRUE(db.executeUpdate("pragma synchronous = off"));
        EXPECT_TRUE(db.executeUpdate("create table side (who text, n integer)"));
    });

    constexpr int kRows = 100;
    std::latch start(4);
    std::atomic<int> running{3};
    auto writer = [&](auto& owner, const char* who) {
        start.arrive_and_wait();
        for (int i = 0; i < kRows; ++i)
            owner->inTransaction([&](BRDatabase& db, bool&) {
                EXPECT_TRUE(db.executeUpdate("insert into side values (?, ?)", who, i));
            });
        --running;
    };
    std::vector<std::thread> threads;
    threads.emplace_back([&] { writer(pool, "pool"); });
    threads.emplace_back([&] { writer(pool, "pool"); });
    threads.emplace_back([&] { writer(queue, "queue"); });

    start.arrive_and_wait();
    int own = 0;
    while (running > 0 || own < 50) {
        EXPECT_TRUE(shared->executeUpdate("insert into own values (?)", own));
        ++own;
        EXPECT_EQ(shared->intForQuery("select count(*) from own"), own);
    }
    for (auto& t : threads)
        t.join();
    queue->close();
    pool->releaseAllDatabases();

    EXPECT_FALSE(shared->tableExists("side"));
    EXPECT_EQ(shared->intForQuery("select count(*) from own"), own);
    EXPECT_EQ(BRDatabase::sharedDataBase(), shared);
    auto reader = openDatabase("Documents/c1/second.sqlite");
    EXPECT_EQ(reader->intForQuery("select count(*) from side where who = 'pool'"), 2 * kRows);
    EXPECT_EQ(reader->intForQuery("select count(*) from side where who = 'queue'"), kRows);
    EXPECT_FALSE(reader->tableExists("own"));
    EXPECT_EQ(m_log.lines(), std::vector<std::string>{});
}

} // namespace
