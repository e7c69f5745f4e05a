#pragma once
#include "Database/SQLite/BRDatabaseBlocks.h"
#include "Platform/Base/SerialQueue.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class BRDatabasePool;

// Asked, on the thread that wants it, before an open connection is handed out.
class BRDatabasePoolDelegate {
public:
    virtual ~BRDatabasePoolDelegate() = default;
    virtual bool databasePoolShouldAddDatabaseToPool(BRDatabasePool& pool, BRDatabase& database)
    {
        return true;
    }
};

// Connections of its own on one database file, handed out one per user at a time. The lists
// are touched only on a private serial lock queue; the blocks run on the caller's thread.
class BRDatabasePool {
public:
    static std::shared_ptr<BRDatabasePool> databasePoolWithPath(const std::string& path);
    explicit BRDatabasePool(std::string path);
    ~BRDatabasePool();
    BRDatabasePool(const BRDatabasePool&) = delete;
    BRDatabasePool& operator=(const BRDatabasePool&) = delete;

    const std::string& path() const { return m_path; }
    std::string description() const;

    // Not owned.
    std::shared_ptr<BRDatabasePoolDelegate> delegate();
    void setDelegate(std::weak_ptr<BRDatabasePoolDelegate> delegate);
    // 0 means no limit.
    unsigned maximumNumberOfDatabasesToCreate();
    void setMaximumNumberOfDatabasesToCreate(unsigned maximum);

    // Checks out the last checked-in connection, or a new one; nothing (logged) when the
    // maximum is reached, the open fails or the delegate refuses.
    std::shared_ptr<BRDatabase> db();
    // Checks a connection back in; one already checked in raises a BRDatabaseUsageError.
    void pushDatabaseBackInPool(const std::shared_ptr<BRDatabase>& database);

    size_t countOfCheckedInDatabases();
    size_t countOfCheckedOutDatabases();
    size_t countOfOpenDatabases();
    // Forgets every connection; one still checked out lives on with its user.
    void releaseAllDatabases();

    // Each answers false, without running the block, when no connection can be had.
    bool inDatabase(const BRDatabaseBlock& block);
    // NO when the block did not run (BEGIN refused) or its work was not stored (COMMIT refused).
    bool inTransaction(const BRDatabaseRollbackBlock& block);
    bool inDeferredTransaction(const BRDatabaseRollbackBlock& block);
    bool beginTransactionWithBlock(bool deferred, const BRDatabaseRollbackBlock& block);
    // Nothing on success, else the error of the failing savepoint step or of the checkout.
    base::ErrorPtr inSavePoint(const BRDatabaseRollbackBlock& block);

private:
    std::string m_path;
    // Everything below is touched only on the lock queue.
    std::vector<std::shared_ptr<BRDatabase>> m_databaseInPool;
    std::vector<std::shared_ptr<BRDatabase>> m_databaseOutPool;
    std::weak_ptr<BRDatabasePoolDelegate> m_delegate;
    unsigned m_maximumNumberOfDatabasesToCreate = 0;
    std::unique_ptr<base::SerialQueue> m_lockQueue;
};
