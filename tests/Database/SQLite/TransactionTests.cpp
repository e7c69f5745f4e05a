#include "SQLiteTestSupport.h"

#include "Database/SQLite/BRTransaction.h"

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
        m_db->executeUpdate("delete from scratch");
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

} // namespace
