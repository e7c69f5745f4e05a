#pragma once
// The blocks the pool and the queue run on a connection, and the transaction and savepoint
// steps around them that both share.
#include "Database/SQLite/BRDatabase.h"

#include <functional>
#include <string>

using BRDatabaseBlock = std::function<void(BRDatabase& db)>;
// Setting the flag asks for a rollback.
using BRDatabaseRollbackBlock = std::function<void(BRDatabase& db, bool& rollback)>;

namespace brdb {

// Commits; a COMMIT refused (busy past the retries, I/O) leaves the transaction open on the
// connection, so what is still open is rolled back. Answers whether the work is stored.
inline bool commitOrRollback(BRDatabase& db)
{
    if (db.commit())
        return true;
    if (db.sqliteHandle() && !sqlite3_get_autocommit(db.sqliteHandle()))
        db.rollback();
    return false;
}

// Runs the block inside a transaction. Answers NO when the block never ran (BEGIN refused:
// busy, or a transaction already open) or its work was not stored (COMMIT refused and rolled
// back); a rollback the block asked for answers YES.
inline bool runTransaction(BRDatabase& db, bool deferred, const BRDatabaseRollbackBlock& block)
{
    // Run outside a transaction, each write would stand on its own and a rollback undo nothing.
    if (!(deferred ? db.beginDeferredTransaction() : db.beginTransaction()))
        return false;
    bool rollback = false;
    block(db, rollback);
    if (rollback)
        return db.rollback();
    return commitOrRollback(db);
}

inline base::ErrorPtr runSavePoint(BRDatabase& db, const std::string& name,
                                   const BRDatabaseRollbackBlock& block)
{
    base::ErrorPtr error;
    if (!db.startSavePointWithNameError(name, &error))
        return error;
    bool rollback = false;
    block(db, rollback);
    if (rollback) {
        db.rollbackToSavePointWithNameError(name, &error);
        // A rolled-back savepoint stays open, and outside a transaction it would leave one
        // open on the connection: release it too.
        db.releaseSavePointWithNameError(name, error ? nullptr : &error);
    } else {
        db.releaseSavePointWithNameError(name, &error);
    }
    return error;
}

// The answer of a savepoint call that had no connection to run on.
inline base::ErrorPtr noConnectionError()
{
    return base::Error::make("BRDatabase", SQLITE_CANTOPEN, "No database connection to run the block on");
}

} // namespace brdb
