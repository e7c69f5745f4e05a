#pragma once
#include "Database/SQLite/BRDatabase.h"

#include <string>

// A transaction for a bulk save: the begin is checked, the first failed statement is
// recorded (the rest are skipped), and everything rolls back unless committed. Inside a
// transaction that is already open it becomes a savepoint of its own.
class BRTransaction {
public:
    explicit BRTransaction(BRDatabase* database);
    ~BRTransaction();
    BRTransaction(const BRTransaction&) = delete;
    BRTransaction& operator=(const BRTransaction&) = delete;

    // Began and nothing has failed so far.
    bool ok() const { return m_begun && !m_failed && !m_finished; }
    bool isSavePoint() const { return !m_savePoint.empty(); }

    template <typename... Args>
    bool executeUpdate(std::string_view sql, const Args&... args)
    {
        std::array<base::Value, sizeof...(Args)> values{BRBindValue(args)...};
        return executeUpdateWithArgumentsInArray(sql, values);
    }
    bool executeUpdateWithArgumentsInArray(std::string_view sql, std::span<const base::Value> args);
    // Records a failure the caller found itself (a query that gave nothing, say).
    void markFailed() { m_failed = true; }

    // Commits (or releases the savepoint) when nothing failed; otherwise, or when the commit
    // fails, rolls back. Answers whether the work is now stored.
    bool commit();

private:
    void rollback();

    BRDatabase* m_database;
    std::string m_savePoint;
    bool m_begun = false;
    bool m_failed = false;
    bool m_finished = false;
};

// Reads that belong together in one deferred transaction: one shared lock and one look at the
// file for all their statements instead of one each, and one consistent view. Inside a
// transaction already open it does nothing.
class BRReadTransaction {
public:
    explicit BRReadTransaction(BRDatabase* database);
    ~BRReadTransaction();
    BRReadTransaction(const BRReadTransaction&) = delete;
    BRReadTransaction& operator=(const BRReadTransaction&) = delete;

private:
    BRDatabase* m_database;
    bool m_begun = false;
};
