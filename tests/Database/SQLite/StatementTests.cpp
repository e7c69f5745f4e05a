#include "SQLiteTestSupport.h"

#include "Database/SQLite/BRStatement.h"

#include <chrono>
#include <thread>

namespace {

using sqltest::SQLiteTest;

class StatementTest : public SQLiteTest {
protected:
    std::shared_ptr<BRDatabase> filledDatabase(int rows)
    {
        auto db = openDatabase();
        db->setShouldCacheStatements(true);
        EXPECT_TRUE(db->executeUpdate("create table t (id integer primary key, name)"));
        for (int i = 1; i <= rows; ++i)
            EXPECT_TRUE(db->executeUpdate("insert into t values (?, ?)", i, "row"));
        return db;
    }
};

TEST_F(StatementTest, CacheCompilesOnceAndNeverHandsOutAStatementInUse)
{
    auto db = filledDatabase(3);
    auto cached = db->cachedStatementForQuery("insert into t values (?, ?)");
    ASSERT_TRUE(cached);
    EXPECT_EQ(cached->useCount(), 3);

    const char* select = "select id from t order by id";
    for (int round = 0; round < 2; ++round) {
        auto rs = db->executeQuery(select);
        ASSERT_TRUE(rs);
        while (rs->next()) {
        }
    }
    auto statement = db->cachedStatementForQuery(select);
    ASSERT_TRUE(statement);
    EXPECT_EQ(statement->useCount(), 2);
    sqlite3_stmt* handle = statement->statement();

    // The same SELECT nested in itself: both loops see every row.
    std::vector<std::pair<int, int>> pairs;
    auto outer = db->executeQuery(select);
    ASSERT_TRUE(outer);
    EXPECT_EQ(outer->statement()->statement(), handle);
    while (outer->next()) {
        auto inner = db->executeQuery(select);
        ASSERT_TRUE(inner);
        EXPECT_NE(inner->statement()->statement(), handle);
        while (inner->next())
            pairs.emplace_back(outer->intForColumn("id"), inner->intForColumn("id"));
    }
    ASSERT_EQ(pairs.size(), 9u);
    EXPECT_EQ(pairs.front(), std::make_pair(1, 1));
    EXPECT_EQ(pairs.back(), std::make_pair(3, 3));

    // The cache stays bounded, least recently used out first.
    for (int i = 0; i < 2000; ++i)
        EXPECT_EQ(db->intForQuery("select " + std::to_string(i)), i);
    EXPECT_LE(db->cachedStatementCount(), BRDatabase::kStatementCacheCapacity);
    EXPECT_TRUE(db->cachedStatementForQuery("select 1999"));
    EXPECT_FALSE(db->cachedStatementForQuery("select 0"));
    db->setShouldCacheStatements(false);
    EXPECT_EQ(db->cachedStatementCount(), 0u);
}

TEST_F(StatementTest, ErrorsAreLoggedAsBefore)
{
    expectDBError();
    auto db = openDatabase();
    EXPECT_FALSE(db->executeUpdate("select 1"));
    EXPECT_TRUE(m_log.contains("Unknown error calling sqlite3_step (100: "));
    EXPECT_TRUE(m_log.contains(") eu"));
    EXPECT_TRUE(m_log.contains("DB Query: select 1"));

    // A query that does not compile is silent unless asked; an update always logs.
    EXPECT_FALSE(db->executeQuery("select * from missing"));
    EXPECT_EQ(countLines("DB Error"), 0u);
    db->setLogsErrors(true);
    EXPECT_FALSE(db->executeQuery("select * from missing"));
    EXPECT_EQ(countLines("DB Error"), 1u);
    db->setLogsErrors(false);
    base::ErrorPtr error;
    EXPECT_FALSE(db->updateWithErrorAndBindings("delete from missing", &error));
    EXPECT_TRUE(m_log.contains("DB Error: 1 \"no such table: missing\""));
    EXPECT_TRUE(m_log.contains("DB Query: delete from missing"));
    EXPECT_TRUE(m_log.contains("DB Path: " + path("test.sqlite")));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, SQLITE_ERROR);
    EXPECT_TRUE(db->hadError());

    EXPECT_TRUE(db->executeUpdate("create table t (a)"));
    EXPECT_FALSE(db->hadError());
    EXPECT_EQ(db->changes(), 0);
    EXPECT_TRUE(db->executeUpdate("insert into t values (5)"));
    EXPECT_EQ(db->lastInsertRowId(), 1);

    // A closed connection refuses statements.
    ASSERT_TRUE(db->close());
    EXPECT_FALSE(db->executeUpdate("insert into t values (6)"));
    EXPECT_TRUE(m_log.contains("is not open."));
    EXPECT_FALSE(db->goodConnection());
}

TEST_F(StatementTest, BusyGivesUpAtTheBoundAndSucceedsOnceFree)
{
    auto db = openDatabase();
    ASSERT_TRUE(db->executeUpdate("create table t (a)"));
    auto other = std::make_shared<BRDatabase>(path("test.sqlite"));
    ASSERT_TRUE(other->open());
    ASSERT_TRUE(other->executeUpdate("begin exclusive"));

    db->setBusyRetryTimeout(3);
    EXPECT_FALSE(db->executeUpdate("insert into t values (1)"));
    EXPECT_EQ(countLines("Database busy ("), 1u);
    auto lines = m_log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Database busy"), lines.end());
    auto rs = db->executeQuery("select * from t");
    EXPECT_FALSE(rs && rs->next());
    EXPECT_EQ(countLines("Database busy ("), 2u) << "the read gives up at the bound too";

    ASSERT_TRUE(other->executeUpdate("commit"));
    EXPECT_TRUE(db->executeUpdate("insert into t values (1)"));
    EXPECT_EQ(db->intForQuery("select count(*) from t"), 1);
}

// The bound the application runs with: no retry limit, busy answers retried for 2 s. While
// another connection holds an exclusive lock, an update and a read each give up after about
// that long with their logged lines, and both succeed once the lock is gone. They wait side
// by side, on connections of their own, so the suite waits the bound once.
TEST_F(StatementTest, TheTwoSecondBoundGivesUpOnUpdatesAndReadsAndTheySucceedOnceFree)
{
    auto writer = filledDatabase(1);
    auto reader = openDatabase();
    ASSERT_EQ(writer->busyRetryTimeout(), 0);
    ASSERT_EQ(reader->busyRetryTimeout(), 0);
    ASSERT_EQ(reader->intForQuery("select count(*) from t"), 1);
    auto other = openDatabase();
    ASSERT_TRUE(other->executeUpdate("begin exclusive"));

    using Clock = std::chrono::steady_clock;
    auto seconds = [](Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); };
    bool updated = true, read = true;
    double updateSeconds = 0, readSeconds = 0;
    std::thread update([&] {
        auto start = Clock::now();
        updated = writer->executeUpdate("insert into t values (2, 'late')");
        updateSeconds = seconds(start);
    });
    std::thread query([&] {
        auto start = Clock::now();
        auto rs = reader->executeQuery("select * from t");
        read = rs && rs->next();
        readSeconds = seconds(start);
    });
    update.join();
    query.join();
    EXPECT_FALSE(updated);
    EXPECT_FALSE(read);
    for (double waited : {updateSeconds, readSeconds}) {
        EXPECT_GE(waited, 1.9);
        EXPECT_LT(waited, 4.0);
    }
    EXPECT_EQ(countLines("executeUpdate:"), 1u);
    EXPECT_EQ(countLines("next:"), 1u);
    EXPECT_EQ(countLines("Database busy (" + path("test.sqlite") + ")"), 2u);
    auto lines = m_log.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Database busy"), 2);

    ASSERT_TRUE(other->executeUpdate("commit"));
    EXPECT_TRUE(writer->executeUpdate("insert into t values (2, 'late')"));
    auto rs = reader->executeQuery("select count(*) from t");
    ASSERT_TRUE(rs && rs->next());
    EXPECT_EQ(rs->intForColumnIndex(0), 2);
    rs->close();
}

TEST_F(StatementTest, CloseFinalisesLeaksAndDetachesResultSets)
{
    auto db = filledDatabase(2);
    db->setShouldCacheStatements(false);
    auto rs = db->executeQuery("select * from t");
    ASSERT_TRUE(rs && rs->next());
    sqlite3_stmt* leaked = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db->sqliteHandle(), "select 2", -1, &leaked, nullptr), SQLITE_OK);

    EXPECT_TRUE(db->close());
    EXPECT_EQ(countLines("Closing leaked statement"), 1u);
    EXPECT_FALSE(db->sqliteHandle());
    EXPECT_FALSE(rs->next());
    EXPECT_EQ(rs->intForColumn("id"), 0);
    EXPECT_TRUE(db->close());
    rs->close();
    rs.reset();

    // Destroying a database with an open result set leaves the result set harmless.
    auto second = openDatabase();
    auto orphan = second->executeQuery("select * from t");
    ASSERT_TRUE(orphan);
    second.reset();
    EXPECT_FALSE(orphan->next());
}

TEST_F(StatementTest, TheSharedConnectionKeepsItsFirstPath)
{
    auto first = BRDatabase::databaseWithPath(path("a.sqlite"));
    auto again = BRDatabase::databaseWithPath(path("b.sqlite"));
    EXPECT_EQ(first, again);
    EXPECT_EQ(first->databasePath(), path("a.sqlite"));
    EXPECT_EQ(BRDatabase::sharedDataBase(), first);
    ASSERT_TRUE(first->open());
    BRDatabase::releaseDataBase();
    EXPECT_FALSE(BRDatabase::sharedDataBase());
    EXPECT_FALSE(first->sqliteHandle()) << "released means closed";
    BRDatabase::releaseDataBase();
    auto next = BRDatabase::databaseWithPath(path("b.sqlite"));
    EXPECT_EQ(next->databasePath(), path("b.sqlite"));
}

} // namespace
