#include "SQLiteTestSupport.h"

#include "Database/SQLite/BRDatabaseBlocks.h"
#include "Database/SQLite/BRDatabasePool.h"
#include "Database/SQLite/BRDatabaseQueue.h"
#include "Database/SQLite/BRTransaction.h"

#include <functional>

namespace {

using sqltest::SQLiteTest;

class TransactionTest : public SQLiteTest {
protected:
    void SetUp() override
    {
        m_db = openDatabase();
        ASSERT_TRUE(m_db->executeUpdate("create table scratch (id integer primary key, name text not null)"));
    }
    int rows() { return m_db->intForQuery("select count(*) from scratch"); }

    std::shared_ptr<BRDatabase> m_db;
};

TEST_F(TransactionTest, AFailedStatementRollsEverythingBack)
{
    {
        BRTransaction transaction(m_db.get());
        EXPECT_TRUE(transaction.executeUpdate("insert into scratch values (?, ?)", 1, "one"));
        EXPECT_FALSE(transaction.executeUpdate("insert into scratch values (?, ?)", 2, nullptr));
        EXPECT_TRUE(m_log.contains("NOT NULL constraint failed"));
        EXPECT_TRUE(m_log.contains("DB Query: insert into scratch values (?, ?)"));
        // Later statements are not run once one failed.
        EXPECT_FALSE(transaction.executeUpdate("insert into scratch values (?, ?)", 3, "three"));
        EXPECT_FALSE(transaction.commit());
    }
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(sqlite3_get_autocommit(m_db->sqliteHandle())) << "no transaction left open";

    {
        BRTransaction transaction(m_db.get());
        EXPECT_TRUE(transaction.executeUpdate("insert into scratch values (?, ?)", 1, "one"));
        // Leaving without a commit rolls back.
    }
    EXPECT_EQ(rows(), 0);

    BRTransaction transaction(m_db.get());
    EXPECT_TRUE(transaction.executeUpdate("insert into scratch values (?, ?)", 1, "one"));
    EXPECT_TRUE(transaction.commit());
    EXPECT_EQ(rows(), 1);
}

TEST_F(TransactionTest, InsideAnotherItNestsAsASavepoint)
{
    BRTransaction outer(m_db.get());
    EXPECT_FALSE(outer.isSavePoint());
    EXPECT_TRUE(outer.executeUpdate("insert into scratch values (1, 'kept')"));
    {
        BRTransaction inner(m_db.get());
        EXPECT_TRUE(inner.isSavePoint());
        EXPECT_TRUE(inner.executeUpdate("insert into scratch values (2, 'dropped')"));
        EXPECT_FALSE(inner.executeUpdate("insert into scratch values (3, null)"));
        EXPECT_FALSE(inner.commit());
    }
    {
        BRTransaction inner(m_db.get());
        EXPECT_TRUE(inner.executeUpdate("insert into scratch values (4, 'also kept')"));
        EXPECT_TRUE(inner.commit());
    }
    EXPECT_TRUE(outer.commit());
    EXPECT_EQ(m_db->intForQuery("select sum(id) from scratch"), 5);

    // The database's own savepoint block.
    auto error = m_db->inSavePoint([&](bool& rollback) {
        EXPECT_TRUE(m_db->executeUpdate("delete from scratch"));
        rollback = true;
    });
    EXPECT_FALSE(error);
    EXPECT_EQ(rows(), 2);
}

TEST_F(TransactionTest, ABeginRefusedByAnotherConnectionRunsNothing)
{
    auto other = std::make_shared<BRDatabase>(path("test.sqlite"));
    ASSERT_TRUE(other->open());
    ASSERT_TRUE(other->executeUpdate("begin exclusive"));
    m_db->setBusyRetryTimeout(2);
    {
        BRTransaction transaction(m_db.get());
        EXPECT_FALSE(transaction.ok());
        EXPECT_FALSE(transaction.executeUpdate("insert into scratch values (1, 'x')"));
        EXPECT_FALSE(transaction.commit());
    }
    EXPECT_EQ(countLines("DB Query: insert"), 0u);
    ASSERT_TRUE(other->executeUpdate("commit"));
    EXPECT_EQ(rows(), 0);
    EXPECT_FALSE(m_db->inTransaction());
}

// Reads grouped in one transaction: another connection's write waits for the group to end,
// nothing stays open after it, and inside a writer's transaction the group neither commits
// nor ends it.
TEST_F(TransactionTest, GroupedReadsShareOneViewAndLeaveTheWriterAlone)
{
    ASSERT_TRUE(m_db->executeUpdate("insert into scratch values (1, 'one')"));
    auto other = std::make_shared<BRDatabase>(path("test.sqlite"));
    ASSERT_TRUE(other->open());
    other->setBusyRetryTimeout(0);
    {
        BRReadTransaction reading(m_db.get());
        EXPECT_EQ(rows(), 1);
        EXPECT_FALSE(other->executeUpdate("insert into scratch values (2, 'two')")) << "the readers' view holds";
        EXPECT_EQ(rows(), 1);
    }
    EXPECT_TRUE(sqlite3_get_autocommit(m_db->sqliteHandle())) << "no transaction left open";
    EXPECT_TRUE(other->executeUpdate("insert into scratch values (2, 'two')"));

    BRTransaction writing(m_db.get());
    EXPECT_TRUE(writing.executeUpdate("insert into scratch values (3, 'three')"));
    {
        BRReadTransaction reading(m_db.get());
        EXPECT_EQ(rows(), 3);
    }
    EXPECT_FALSE(sqlite3_get_autocommit(m_db->sqliteHandle())) << "the writer's transaction goes on";
    writing.markFailed();
    EXPECT_FALSE(writing.commit());
    EXPECT_EQ(rows(), 2) << "the write was not committed by the reads";
}

// A COMMIT refused while another connection reads past the busy bound, and a savepoint rolled
// back: either way the connection ends outside any transaction, so other connections can write
// and see what it writes next.
TEST_F(TransactionTest, NoTransactionIsLeftOpen)
{
    auto queue = BRDatabaseQueue::databaseQueueWithPath(path("test.sqlite"));
    auto pool = BRDatabasePool::databasePoolWithPath(path("test.sqlite"));
    ASSERT_TRUE(queue && pool);
    auto reader = openDatabase();
    reader->setBusyRetryTimeout(2);
    m_db->setBusyRetryTimeout(2);
    // Which connection, and how it fails to end its work.
    struct Case {
        const char* name;
        std::function<bool(const std::function<void(BRDatabase&)>& onIt)> run;
        bool commitRefused;
    } cases[] = {
        {"queue, deferred transaction",
         [&](const auto& onIt) {
             queue->inDatabase([](BRDatabase& db) { db.setBusyRetryTimeout(2); });
             return queue->inDeferredTransaction([&](BRDatabase& db, bool&) { onIt(db); });
         },
         true},
        {"pool, deferred transaction",
         [&](const auto& onIt) {
             pool->inDatabase([](BRDatabase& db) { db.setBusyRetryTimeout(2); });
             return pool->inDeferredTransaction([&](BRDatabase& db, bool&) { onIt(db); });
         },
         true},
        {"connection, savepoint rolled back",
         [&](const auto& onIt) {
             return !m_db->inSavePoint([&](bool& rollback) {
                 onIt(*m_db);
                 rollback = true;
             });
         },
         false},
    };
    expectDBError();
    int next = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = rows();
        if (c.commitRefused) {
            // The reader's shared lock outlasts every retry of the writer's COMMIT.
            ASSERT_TRUE(reader->beginDeferredTransaction());
            ASSERT_EQ(reader->intForQuery("select count(*) from scratch"), before);
        }
        bool open = true;
        // A refused COMMIT is a failure the caller hears of.
        EXPECT_EQ(c.run([&](BRDatabase& db) {
            EXPECT_TRUE(db.executeUpdate("insert into scratch values (?, 'lost')", ++next));
        }), !c.commitRefused);
        if (c.commitRefused) {
            ASSERT_TRUE(reader->commit());
        }
        EXPECT_EQ(rows(), before) << "nothing was stored";
        EXPECT_TRUE(reader->executeUpdate("insert into scratch values (?, 'other')", ++next))
            << "another connection can write";
        queue->inDatabase([&](BRDatabase& db) { open = !sqlite3_get_autocommit(db.sqliteHandle()); });
        EXPECT_FALSE(open) << "queue";
        pool->inDatabase([&](BRDatabase& db) { open = !sqlite3_get_autocommit(db.sqliteHandle()); });
        EXPECT_FALSE(open) << "pool";
        EXPECT_TRUE(sqlite3_get_autocommit(m_db->sqliteHandle())) << "connection";
        EXPECT_FALSE(m_db->inTransaction());
        // What the connection writes next is seen by the others.
        ASSERT_TRUE(m_db->executeUpdate("insert into scratch values (?, 'seen')", ++next));
        EXPECT_EQ(reader->intForQuery("select count(*) from scratch where id = ?", next), 1);
    }
}

// The answer of a transaction block says whether its work is stored: NO when COMMIT was
// refused (a deferred foreign key left broken) and NO, with the block never run, when BEGIN
// was refused (another connection holds the write lock past the busy bound).
TEST_F(TransactionTest, TheAnswerSaysWhetherTheWorkIsStored)
{
    ASSERT_TRUE(m_db->executeUpdate("create table line (id integer primary key, scratch_id integer "
                                    "references scratch(id) deferrable initially deferred)"));
    auto queue = BRDatabaseQueue::databaseQueueWithPath(path("test.sqlite"));
    auto pool = BRDatabasePool::databasePoolWithPath(path("test.sqlite"));
    ASSERT_TRUE(queue && pool);
    auto prepare = [](BRDatabase& db) {
        db.setBusyRetryTimeout(2);
        EXPECT_TRUE(db.executeUpdate("pragma foreign_keys = on"));
    };
    queue->inDatabase(prepare);
    pool->inDatabase(prepare);
    auto other = openDatabase();
    other->setBusyRetryTimeout(2);
    ASSERT_TRUE(m_db->executeUpdate("insert into scratch values (1, 'one')"));

    enum Refused { Nothing, Commit, Begin };
    using Run = std::function<bool(const BRDatabaseRollbackBlock&)>;
    struct Case {
        const char* name;
        Run run;
        Refused refused;
    } cases[] = {
        {"queue, deferred", [&](const auto& b) { return queue->inDeferredTransaction(b); }, Commit},
        {"queue, exclusive", [&](const auto& b) { return queue->inTransaction(b); }, Commit},
        {"pool, deferred", [&](const auto& b) { return pool->inDeferredTransaction(b); }, Commit},
        {"queue, exclusive, locked", [&](const auto& b) { return queue->inTransaction(b); }, Begin},
        {"pool, exclusive, locked", [&](const auto& b) { return pool->inTransaction(b); }, Begin},
        // The connection holding the lock is itself inside a transaction.
        {"connection already in a transaction", [&](const auto& b) { return brdb::runTransaction(*other, true, b); },
         Begin},
        {"queue, stored", [&](const auto& b) { return queue->inDeferredTransaction(b); }, Nothing},
        {"pool, stored", [&](const auto& b) { return pool->inTransaction(b); }, Nothing},
    };
    expectDBError();
    int next = 100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int before = m_db->intForQuery("select count(*) from line");
        if (c.refused == Begin) {
            ASSERT_TRUE(other->beginTransaction());
        }
        bool ran = false;
        bool answer = c.run([&](BRDatabase& db, bool&) {
            ran = true;
            // A line of a scratch row that does not exist breaks the deferred key at COMMIT.
            EXPECT_TRUE(db.executeUpdate("insert into line values (?, ?)", ++next, c.refused == Commit ? 999 : 1));
        });
        if (c.refused == Begin) {
            ASSERT_TRUE(other->commit());
        }
        EXPECT_EQ(answer, c.refused == Nothing);
        EXPECT_EQ(ran, c.refused != Begin) << "a block runs only inside its transaction";
        EXPECT_EQ(m_db->intForQuery("select count(*) from line"), before + (c.refused == Nothing ? 1 : 0));
        EXPECT_TRUE(sqlite3_get_autocommit(m_db->sqliteHandle()));
    }
}

} // namespace
