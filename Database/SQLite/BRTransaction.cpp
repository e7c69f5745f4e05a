#include "Database/SQLite/BRTransaction.h"

#include "Platform/Base/Log.h"

#include <atomic>

BRTransaction::BRTransaction(BRDatabase* database) : m_database(database)
{
    if (!m_database || !m_database->sqliteHandle())
        return;
    if (sqlite3_get_autocommit(m_database->sqliteHandle())) {
        m_begun = m_database->beginTransaction();
    } else {
        static std::atomic<long> counter{0};
        m_savePoint = "brtx" + std::to_string(++counter);
        m_begun = m_database->startSavePointWithNameError(m_savePoint);
    }
    if (!m_begun)
        base::log("Transaction not begun: nothing is written");
}

BRTransaction::~BRTransaction()
{
    if (m_begun && !m_finished)
        rollback();
}

bool BRTransaction::executeUpdateWithArgumentsInArray(std::string_view sql,
                                                      std::span<const base::Value> args)
{
    if (!ok())
        return false;
    if (!m_database->executeUpdateWithArgumentsInArray(sql, args))
        m_failed = true;
    return !m_failed;
}

bool BRTransaction::commit()
{
    if (!m_begun || m_finished)
        return false;
    if (m_failed) {
        rollback();
        return false;
    }
    bool committed = isSavePoint() ? m_database->releaseSavePointWithNameError(m_savePoint)
                                   : m_database->commit();
    if (!committed) {
        // A failed commit must not leave the transaction open for later statements.
        rollback();
        return false;
    }
    m_finished = true;
    return true;
}

void BRTransaction::rollback()
{
    m_finished = true;
    if (isSavePoint()) {
        m_database->rollbackToSavePointWithNameError(m_savePoint);
        m_database->releaseSavePointWithNameError(m_savePoint);
    } else {
        m_database->rollback();
    }
}

BRReadTransaction::BRReadTransaction(BRDatabase* database) : m_database(database)
{
    if (m_database && m_database->sqliteHandle() && sqlite3_get_autocommit(m_database->sqliteHandle()))
        m_begun = m_database->beginDeferredTransaction();
}

BRReadTransaction::~BRReadTransaction()
{
    // Nothing was written: a commit that fails must still not leave the transaction open.
    if (m_begun && !m_database->commit())
        m_database->rollback();
}
