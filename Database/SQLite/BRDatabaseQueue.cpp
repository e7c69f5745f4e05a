#include "Database/SQLite/BRDatabaseQueue.h"

#include "Database/SQLite/BRDatabaseUsageError.h"
#include "Platform/Base/Log.h"

#include <atomic>
#include <cstdio>

namespace {

std::atomic<long> g_savePointIndex{0};

} // namespace

std::shared_ptr<BRDatabaseQueue> BRDatabaseQueue::databaseQueueWithPath(const std::string& path)
{
    // A connection of its own: the process-wide one belongs to the main thread.
    auto db = std::make_shared<BRDatabase>(path);
    if (!db->open()) {
        base::logf("Could not create database queue for path %s", path.c_str());
        return nullptr;
    }
    return std::shared_ptr<BRDatabaseQueue>(new BRDatabaseQueue(path, std::move(db)));
}

BRDatabaseQueue::BRDatabaseQueue(std::string path, std::shared_ptr<BRDatabase> db)
    : m_path(std::move(path)), m_db(std::move(db))
{
    m_queue = std::make_unique<base::SerialQueue>("brdb." + description());
}

BRDatabaseQueue::~BRDatabaseQueue()
{
    // The queue's thread ends first, so nothing uses the connection while it is closed.
    m_queue.reset();
    m_db.reset();
}

std::string BRDatabaseQueue::description() const
{
    char text[64];
    std::snprintf(text, sizeof text, "<BRDatabaseQueue: %p>", static_cast<const void*>(this));
    return text;
}

template <typename F>
auto BRDatabaseQueue::onQueue(const char* operation, F&& work)
{
    if (m_queue->isCurrent())
        throw BRDatabaseUsageError(
            "BRDatabaseQueue nested call",
            std::string("[BRDatabaseQueue ") + operation
                + "] was called from a block running on the same queue; it would wait for "
                  "itself forever");
    auto self = shared_from_this();
    return m_queue->sync(std::forward<F>(work));
}

BRDatabase* BRDatabaseQueue::database()
{
    if (!m_db) {
        auto db = std::make_shared<BRDatabase>(m_path);
        if (!db->open()) {
            base::logf("BRDatabaseQueue could not reopen database for path %s", m_path.c_str());
            return nullptr;
        }
        m_db = std::move(db);
    }
    return m_db.get();
}

bool BRDatabaseQueue::inDatabase(const BRDatabaseBlock& block)
{
    return onQueue("inDatabase:", [&] {
        BRDatabase* db = database();
        if (!db)
            return false;
        block(*db);
        if (db->hasOpenResultSets())
            base::log("Warning: there is at least one open result set around after performing "
                      "[BRDatabaseQueue inDatabase:]");
        return true;
    });
}

bool BRDatabaseQueue::inTransaction(const BRDatabaseRollbackBlock& block)
{
    return beginTransactionWithBlock(false, block);
}

bool BRDatabaseQueue::inDeferredTransaction(const BRDatabaseRollbackBlock& block)
{
    return beginTransactionWithBlock(true, block);
}

bool BRDatabaseQueue::beginTransactionWithBlock(bool deferred, const BRDatabaseRollbackBlock& block)
{
    return onQueue("beginTransaction:withBlock:", [&] {
        BRDatabase* db = database();
        if (!db)
            return false;
        return brdb::runTransaction(*db, deferred, block);
    });
}

base::ErrorPtr BRDatabaseQueue::inSavePoint(const BRDatabaseRollbackBlock& block)
{
    std::string name = "savePoint" + std::to_string(g_savePointIndex.fetch_add(1));
    return onQueue("inSavePoint:", [&]() -> base::ErrorPtr {
        BRDatabase* db = database();
        if (!db)
            return brdb::noConnectionError();
        return brdb::runSavePoint(*db, name, block);
    });
}

void BRDatabaseQueue::close()
{
    onQueue("close", [&] {
        if (m_db)
            m_db->close();
        m_db.reset();
    });
}
