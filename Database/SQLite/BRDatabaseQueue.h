#pragma once
#include "Database/SQLite/BRDatabaseBlocks.h"
#include "Platform/Base/SerialQueue.h"

#include <memory>
#include <string>

// One connection of its own on a database file, used only on a private serial queue: every
// call runs its block there and waits for it. A block must not call back into the same queue;
// doing so raises a BRDatabaseUsageError instead of waiting forever.
class BRDatabaseQueue : public std::enable_shared_from_this<BRDatabaseQueue> {
public:
    // Opens a connection on the path; nothing (logged) when it cannot be opened.
    static std::shared_ptr<BRDatabaseQueue> databaseQueueWithPath(const std::string& path);
    ~BRDatabaseQueue();
    BRDatabaseQueue(const BRDatabaseQueue&) = delete;
    BRDatabaseQueue& operator=(const BRDatabaseQueue&) = delete;

    const std::string& path() const { return m_path; }
    std::string description() const;

    // Each answers false, without running the block, when a closed connection cannot be
    // reopened.
    bool inDatabase(const BRDatabaseBlock& block);
    // NO when the block did not run (BEGIN refused) or its work was not stored (COMMIT refused).
    bool inTransaction(const BRDatabaseRollbackBlock& block);
    bool inDeferredTransaction(const BRDatabaseRollbackBlock& block);
    bool beginTransactionWithBlock(bool deferred, const BRDatabaseRollbackBlock& block);
    // Nothing on success, else the error of the failing savepoint step.
    base::ErrorPtr inSavePoint(const BRDatabaseRollbackBlock& block);

    // Closes and drops the connection; the next call opens a new one on the path.
    void close();

private:
    BRDatabaseQueue(std::string path, std::shared_ptr<BRDatabase> db);
    // On the queue: the connection, reopened when it was closed; nothing when that fails.
    BRDatabase* database();
    // Runs `work` on the queue for the named operation, keeping this object alive meanwhile.
    template <typename F>
    auto onQueue(const char* operation, F&& work);

    std::string m_path;
    std::shared_ptr<BRDatabase> m_db; // touched only on the queue
    std::unique_ptr<base::SerialQueue> m_queue;
};
