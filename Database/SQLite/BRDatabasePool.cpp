#include "Database/SQLite/BRDatabasePool.h"

#include "Database/SQLite/BRDatabaseUsageError.h"
#include "Platform/Base/Log.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

std::atomic<long> g_savePointIndex{0};

using DatabaseList = std::vector<std::shared_ptr<BRDatabase>>;

bool contains(const DatabaseList& list, const BRDatabase* database)
{
    return std::any_of(list.begin(), list.end(), [&](const auto& d) { return d.get() == database; });
}

void remove(DatabaseList& list, const BRDatabase* database)
{
    std::erase_if(list, [&](const auto& d) { return d.get() == database; });
}

} // namespace

std::shared_ptr<BRDatabasePool> BRDatabasePool::databasePoolWithPath(const std::string& path)
{
    return std::make_shared<BRDatabasePool>(path);
}

BRDatabasePool::BRDatabasePool(std::string path) : m_path(std::move(path))
{
    m_lockQueue = std::make_unique<base::SerialQueue>("brdb." + description());
}

BRDatabasePool::~BRDatabasePool()
{
    m_lockQueue.reset();
}

std::string BRDatabasePool::description() const
{
    char text[64];
    std::snprintf(text, sizeof text, "<BRDatabasePool: %p>", static_cast<const void*>(this));
    return text;
}

std::shared_ptr<BRDatabasePoolDelegate> BRDatabasePool::delegate()
{
    return m_lockQueue->sync([&] { return m_delegate.lock(); });
}

void BRDatabasePool::setDelegate(std::weak_ptr<BRDatabasePoolDelegate> delegate)
{
    m_lockQueue->sync([&] { m_delegate = std::move(delegate); });
}

unsigned BRDatabasePool::maximumNumberOfDatabasesToCreate()
{
    return m_lockQueue->sync([&] { return m_maximumNumberOfDatabasesToCreate; });
}

void BRDatabasePool::setMaximumNumberOfDatabasesToCreate(unsigned maximum)
{
    m_lockQueue->sync([&] { m_maximumNumberOfDatabasesToCreate = maximum; });
}

std::shared_ptr<BRDatabase> BRDatabasePool::db()
{
    auto db = m_lockQueue->sync([&]() -> std::shared_ptr<BRDatabase> {
        if (!m_databaseInPool.empty()) {
            auto db = m_databaseInPool.back();
            m_databaseInPool.pop_back();
            m_databaseOutPool.push_back(db);
            return db;
        }
        size_t made = m_databaseInPool.size() + m_databaseOutPool.size();
        if (m_maximumNumberOfDatabasesToCreate && made >= m_maximumNumberOfDatabasesToCreate) {
            base::logf("Maximum number of databases (%ld) has already been reached!",
                       static_cast<long>(m_maximumNumberOfDatabasesToCreate));
            return nullptr;
        }
        // A connection of its own (the process-wide one belongs to the main thread), checked
        // out at once so that it counts towards the maximum while it opens.
        auto db = std::make_shared<BRDatabase>(m_path);
        m_databaseOutPool.push_back(db);
        return db;
    });
    if (!db)
        return nullptr;
    // Opening and the delegate run off the lock queue: a connection waiting for the file's
    // lock must not stop the others from being put back.
    auto giveUp = [&] {
        m_lockQueue->sync([&] { remove(m_databaseOutPool, db.get()); });
        return nullptr;
    };
    if (!db->open()) {
        base::logf("Could not open up the database at path %s", m_path.c_str());
        return giveUp();
    }
    if (auto delegate = this->delegate();
        delegate && !delegate->databasePoolShouldAddDatabaseToPool(*this, *db)) {
        db->close();
        return giveUp();
    }
    return db;
}

void BRDatabasePool::pushDatabaseBackInPool(const std::shared_ptr<BRDatabase>& database)
{
    if (!database)
        return;
    m_lockQueue->sync([&] {
        if (contains(m_databaseInPool, database.get()))
            throw BRDatabaseUsageError(
                "Database already in pool",
                "The BRDatabase being put back into the pool is already present in the pool");
        m_databaseInPool.push_back(database);
        remove(m_databaseOutPool, database.get());
    });
}

size_t BRDatabasePool::countOfCheckedInDatabases()
{
    return m_lockQueue->sync([&] { return m_databaseInPool.size(); });
}

size_t BRDatabasePool::countOfCheckedOutDatabases()
{
    return m_lockQueue->sync([&] { return m_databaseOutPool.size(); });
}

size_t BRDatabasePool::countOfOpenDatabases()
{
    return m_lockQueue->sync([&] { return m_databaseInPool.size() + m_databaseOutPool.size(); });
}

void BRDatabasePool::releaseAllDatabases()
{
    // Dropped off the lock queue, so their closing does not hold it.
    DatabaseList in, out;
    m_lockQueue->sync([&] {
        in.swap(m_databaseInPool);
        out.swap(m_databaseOutPool);
    });
}

bool BRDatabasePool::inDatabase(const BRDatabaseBlock& block)
{
    auto db = this->db();
    if (!db)
        return false;
    block(*db);
    pushDatabaseBackInPool(db);
    return true;
}

bool BRDatabasePool::inTransaction(const BRDatabaseRollbackBlock& block)
{
    return beginTransactionWithBlock(false, block);
}

bool BRDatabasePool::inDeferredTransaction(const BRDatabaseRollbackBlock& block)
{
    return beginTransactionWithBlock(true, block);
}

bool BRDatabasePool::beginTransactionWithBlock(bool deferred, const BRDatabaseRollbackBlock& block)
{
    auto db = this->db();
    if (!db)
        return false;
    bool stored = brdb::runTransaction(*db, deferred, block);
    pushDatabaseBackInPool(db);
    return stored;
}

base::ErrorPtr BRDatabasePool::inSavePoint(const BRDatabaseRollbackBlock& block)
{
    std::string name = "savePoint" + std::to_string(g_savePointIndex.fetch_add(1));
    auto db = this->db();
    if (!db)
        return brdb::noConnectionError();
    base::ErrorPtr error = brdb::runSavePoint(*db, name, block);
    pushDatabaseBackInPool(db);
    return error;
}
