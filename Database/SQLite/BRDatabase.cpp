#include "Database/SQLite/BRDatabase.h"

#include "Database/SQLite/BRBusyRetry.h"
#include "Database/SQLite/BRDatabaseBlocks.h"
#include "Database/SQLite/BRResultSet.h"
#include "Database/SQLite/BRStatement.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Text.h"

#include <atomic>
#include <cassert>
#include <cstdio>

namespace {

std::shared_ptr<BRDatabase>& sharedSlot()
{
    static std::shared_ptr<BRDatabase> slot;
    return slot;
}

// Marks the connection busy with one statement for the lifetime of the object.
class ExecutingMark {
public:
    explicit ExecutingMark(bool& flag) : m_flag(flag) { m_flag = true; }
    ~ExecutingMark() { m_flag = false; }

private:
    bool& m_flag;
};

bool isBusy(int rc)
{
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

std::string describe(const base::Value& value)
{
    switch (value.type()) {
    case base::Value::Type::Null:
        return "(null)";
    case base::Value::Type::Bool:
        return value.asBool() ? "1" : "0";
    case base::Value::Type::Bytes:
        return "<" + std::to_string(value.asBytes().size()) + " bytes>";
    case base::Value::Type::Date:
        return std::to_string(value.asDate().timeIntervalSince1970());
    default:
        return value.toString();
    }
}

std::string quotedName(const std::string& name)
{
    std::string out;
    for (char c : name) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

// folded(text): the case-free key of base::folded, so that searches compare a column and the
// typed text by one rule (SQLite's own lower() and LIKE fold ASCII letters only).
void foldedFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    if (!text) {
        sqlite3_result_error_nomem(context);
        return;
    }
    // Called for every searched column of every row: one buffer per thread serves them all.
    thread_local std::string key;
    base::foldInto(std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(argv[0]))), key);
    sqlite3_result_text(context, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
}

} // namespace

// --- Process-wide connection ------------------------------------------------------------

std::shared_ptr<BRDatabase> BRDatabase::databaseWithPath(const std::optional<std::string>& path)
{
    assert(base::RunLoop::isMainThread());
    auto& slot = sharedSlot();
    if (!slot)
        slot = std::make_shared<BRDatabase>(path);
    return slot;
}

std::shared_ptr<BRDatabase> BRDatabase::sharedDataBase()
{
    assert(base::RunLoop::isMainThread());
    return sharedSlot();
}

void BRDatabase::releaseDataBase()
{
    assert(base::RunLoop::isMainThread());
    auto& slot = sharedSlot();
    if (!slot)
        return;
    // Whoever still holds a reference keeps an object, not the connection.
    auto database = std::move(slot);
    database->close();
}

std::string BRDatabase::sqliteLibVersion()
{
    return sqlite3_libversion();
}

bool BRDatabase::isSQLiteThreadSafe()
{
    return sqlite3_threadsafe() != 0;
}

// --- Opening and closing ----------------------------------------------------------------

BRDatabase::BRDatabase(std::optional<std::string> path) : m_databasePath(std::move(path))
{
    assert(sqlite3_threadsafe());
}

BRDatabase::~BRDatabase()
{
    close();
}

std::string BRDatabase::description() const
{
    char text[64];
    std::snprintf(text, sizeof text, "<BRDatabase: %p>", static_cast<const void*>(this));
    return text;
}

bool BRDatabase::open()
{
    if (m_db)
        return true;
    return openWithFlags(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
}

bool BRDatabase::openWithFlags(int flags)
{
    if (m_db) // a second handle would leak the first
        return true;
    const char* path = m_databasePath ? m_databasePath->c_str() : ":memory:";
    int rc = sqlite3_open_v2(path, &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        base::logf("error opening!: %d", rc);
        sqlite3_close(m_db);
        m_db = nullptr;
        return false;
    }
    sqlite3_create_function_v2(m_db, "folded", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                               &foldedFunction, nullptr, nullptr, nullptr);
    return true;
}

bool BRDatabase::close()
{
    clearCachedStatements();
    closeOpenResultSets();
    if (!m_db)
        return true;
    BRBusyRetry retry(m_busyRetryTimeout, kMaxBusyWaitSeconds);
    bool finalizedLeaks = false;
    int rc;
    for (;;) {
        rc = sqlite3_close(m_db);
        if (!isBusy(rc))
            break;
        if (!finalizedLeaks) {
            finalizedLeaks = true;
            while (sqlite3_stmt* statement = sqlite3_next_stmt(m_db, nullptr)) {
                base::log("Closing leaked statement");
                sqlite3_finalize(statement);
            }
        }
        if (!retry.again()) {
            base::logf("%s:%d", "close", __LINE__);
            base::log("Database busy, unable to close");
            return false;
        }
    }
    if (rc != SQLITE_OK)
        base::logf("error closing!: %d", rc);
    m_db = nullptr;
    m_inTransaction = false;
    return true;
}

bool BRDatabase::goodConnection()
{
    if (!m_db)
        return false;
    auto rs = executeQuery("select name from sqlite_master where type='table'");
    if (!rs)
        return false;
    rs->close();
    return true;
}

bool BRDatabase::databaseExists() const
{
    if (!m_db) {
        base::logf("The BRDatabase %s is not open.", description().c_str());
        return false;
    }
    return true;
}

bool BRDatabase::rekey(const base::Bytes&)
{
    return false;
}

bool BRDatabase::setKey(const base::Bytes&)
{
    return false;
}

// --- Statements -------------------------------------------------------------------------

void BRDatabase::warnInUse() const
{
    base::logf("The BRDatabase %s is currently in use.", description().c_str());
}

void BRDatabase::logBusy(const char* operation, int line) const
{
    base::logf("%s:%d Database busy (%s)", operation, line,
               m_databasePath ? m_databasePath->c_str() : "(null)");
    base::log("Database busy");
}

std::shared_ptr<BRStatement> BRDatabase::statementFor(std::string_view sql, const char* operation,
                                                      bool& fromCache, int& compileResult,
                                                      bool& busy)
{
    fromCache = false;
    busy = false;
    compileResult = SQLITE_OK;
    if (m_shouldCacheStatements) {
        auto cached = cachedStatementForQuery(sql);
        // A statement an open result set is stepping stays with it.
        if (cached && cached->statement() && !cached->inUse()) {
            sqlite3_reset(cached->statement());
            fromCache = true;
            return cached;
        }
    }
    sqlite3_stmt* statement = nullptr;
    BRBusyRetry retry(m_busyRetryTimeout, kMaxBusyWaitSeconds);
    for (;;) {
        compileResult = sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()),
                                           &statement, nullptr);
        if (!isBusy(compileResult))
            break;
        sqlite3_finalize(statement);
        statement = nullptr;
        if (!retry.again()) {
            logBusy(operation, __LINE__);
            busy = true;
            return nullptr;
        }
    }
    if (compileResult != SQLITE_OK) {
        sqlite3_finalize(statement);
        return nullptr;
    }
    return std::make_shared<BRStatement>(statement, std::string(sql));
}

void BRDatabase::bindObject(const base::Value& value, int column, sqlite3_stmt* statement)
{
    using Type = base::Value::Type;
    if (m_traceExecution)
        base::logf("obj: %s", describe(value).c_str());
    switch (value.type()) {
    case Type::Null:
        sqlite3_bind_null(statement, column);
        break;
    case Type::Bytes: {
        const auto& bytes = value.asBytes();
        // A null pointer would bind NULL instead of an empty blob.
        static const uint8_t empty = 0;
        sqlite3_bind_blob(statement, column, bytes.empty() ? &empty : bytes.data(),
                          static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        break;
    }
    case Type::Date:
        sqlite3_bind_double(statement, column, value.asDate().timeIntervalSince1970());
        break;
    case Type::Bool:
        sqlite3_bind_int(statement, column, value.asBool() ? 1 : 0);
        break;
    case Type::Integer:
        sqlite3_bind_int64(statement, column, value.asInteger());
        break;
    case Type::Double:
        sqlite3_bind_double(statement, column, value.asDouble());
        break;
    case Type::Decimal: {
        const auto& decimal = value.asDecimal();
        double d = decimal.toDouble();
        // Integral and inside the 64-bit range binds as an integer, else as a double.
        if (decimal.isIntegral() && d >= -9223372036854775808.0 && d < 9223372036854775808.0)
            sqlite3_bind_int64(statement, column, decimal.toInt64());
        else
            sqlite3_bind_double(statement, column, d);
        break;
    }
    case Type::String: {
        const auto& text = value.asString();
        sqlite3_bind_text(statement, column, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        break;
    }
    default: {
        std::string text = describe(value);
        sqlite3_bind_text(statement, column, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
        break;
    }
    }
}

bool BRDatabase::bindDictionary(BRDatabase& db, sqlite3_stmt* statement, const void* data)
{
    const auto* dictionary = static_cast<const base::Dictionary*>(data);
    int count = sqlite3_bind_parameter_count(statement);
    {
        // Placeholders without a key stay NULL, also on a statement from the cache.
        sqlite3_clear_bindings(statement);
        for (const auto& [key, value] : *dictionary) {
            std::string name = ":" + key;
            int index = sqlite3_bind_parameter_index(statement, name.c_str());
            if (index > 0) {
                db.bindObject(value, index, statement);
            } else {
                base::logf("Could not find index for %s", key.c_str());
            }
        }
        return static_cast<int>(dictionary->size()) == count;
    }
}

bool BRDatabase::bindArray(BRDatabase& db, sqlite3_stmt* statement, const void* data)
{
    const auto& array = *static_cast<const std::span<const base::Value>*>(data);
    int count = sqlite3_bind_parameter_count(statement);
    static const base::Value null;
    for (int i = 0; i < count; ++i) {
        // Missing arguments bind NULL rather than reading past the caller's values.
        const base::Value& value = static_cast<size_t>(i) < array.size() ? array[i] : null;
        db.bindObject(value, i + 1, statement);
    }
    return true;
}

std::shared_ptr<BRResultSet> BRDatabase::executeQueryWithArgumentsInArray(
    std::string_view sql, std::span<const base::Value> args)
{
    return runQuery(sql, Binding{&bindArray, &args});
}

std::shared_ptr<BRResultSet> BRDatabase::executeQueryWithParameterDictionary(
    std::string_view sql, const base::Dictionary& args)
{
    return runQuery(sql, Binding{&bindDictionary, &args});
}

bool BRDatabase::executeUpdateWithArgumentsInArray(std::string_view sql,
                                                   std::span<const base::Value> args)
{
    return runUpdate(sql, nullptr, Binding{&bindArray, &args});
}

bool BRDatabase::executeUpdateWithParameterDictionary(std::string_view sql,
                                                      const base::Dictionary& args)
{
    return runUpdate(sql, nullptr, Binding{&bindDictionary, &args});
}

std::shared_ptr<BRResultSet> BRDatabase::runQuery(std::string_view sql, const Binding& binding)
{
    if (!databaseExists())
        return nullptr;
    if (m_isExecutingStatement) {
        warnInUse();
        return nullptr;
    }
    ExecutingMark mark(m_isExecutingStatement);
    if (m_traceExecution)
        base::logf("%s executeQuery: %.*s", description().c_str(), static_cast<int>(sql.size()),
                   sql.data());

    bool fromCache, busy;
    int rc;
    auto statement = statementFor(sql, "executeQuery", fromCache, rc, busy);
    if (!statement) {
        if (!busy && m_logsErrors) {
            base::logf("DB Error: %d \"%s\"", lastErrorCode(), lastErrorMessage().c_str());
            base::logf("DB Query: %.*s", static_cast<int>(sql.size()), sql.data());
            base::logf("DB Path: %s", m_databasePath ? m_databasePath->c_str() : "(null)");
        }
        return nullptr;
    }
    if (!binding.bind(*this, statement->statement(), binding.data)) {
        base::log("Error: the bind count is not correct for the # of variables (executeQuery)");
        if (fromCache) {
            sqlite3_reset(statement->statement());
            sqlite3_clear_bindings(statement->statement());
        }
        return nullptr;
    }
    if (!fromCache && m_shouldCacheStatements)
        setCachedStatementForQuery(statement, sql);

    auto rs = std::make_shared<BRResultSet>(statement, this);
    rs->setQuery(std::string(sql));
    m_openResultSets.insert(rs.get());
    statement->setUseCount(statement->useCount() + 1);
    return rs;
}

bool BRDatabase::runUpdate(std::string_view sql, base::ErrorPtr* error, const Binding& binding)
{
    if (!databaseExists())
        return false;
    if (m_isExecutingStatement) {
        warnInUse();
        return false;
    }
    ExecutingMark mark(m_isExecutingStatement);
    if (m_traceExecution)
        base::logf("%s executeUpdate: %.*s", description().c_str(), static_cast<int>(sql.size()),
                   sql.data());

    bool fromCache, busy;
    int rc;
    auto statement = statementFor(sql, "executeUpdate", fromCache, rc, busy);
    if (!statement) {
        if (!busy) {
            base::logf("DB Error: %d \"%s\"", lastErrorCode(), lastErrorMessage().c_str());
            base::logf("DB Query: %.*s", static_cast<int>(sql.size()), sql.data());
            base::logf("DB Path: %s", m_databasePath ? m_databasePath->c_str() : "(null)");
            if (error)
                *error = base::Error::make(lastErrorMessage(), rc, {});
        }
        return false;
    }
    sqlite3_stmt* handle = statement->statement();
    if (!binding.bind(*this, handle, binding.data)) {
        base::logf("Error: the bind count is not correct for the # of variables (%.*s) "
                   "(executeUpdate)",
                   static_cast<int>(sql.size()), sql.data());
        if (fromCache) {
            sqlite3_reset(handle);
            sqlite3_clear_bindings(handle);
        }
        return false;
    }

    BRBusyRetry retry(m_busyRetryTimeout, kMaxBusyWaitSeconds);
    for (;;) {
        rc = sqlite3_step(handle);
        if (!isBusy(rc))
            break;
        if (rc == SQLITE_LOCKED) {
            int reset = sqlite3_reset(handle);
            if (reset != SQLITE_LOCKED)
                base::logf("Unexpected result from sqlite3_reset (%d) eu", reset);
        }
        if (!retry.again()) {
            logBusy("executeUpdate", __LINE__);
            break;
        }
    }
    if (rc != SQLITE_DONE) {
        if (rc == SQLITE_ERROR)
            base::logf("Error calling sqlite3_step (%d: %s) SQLITE_ERROR", rc,
                       sqlite3_errmsg(m_db));
        else if (rc == SQLITE_MISUSE)
            base::logf("Error calling sqlite3_step (%d: %s) SQLITE_MISUSE", rc,
                       sqlite3_errmsg(m_db));
        else
            base::logf("Unknown error calling sqlite3_step (%d: %s) eu", rc, sqlite3_errmsg(m_db));
        base::logf("DB Query: %.*s", static_cast<int>(sql.size()), sql.data());
    }

    int closeResult;
    if (m_shouldCacheStatements) {
        if (!fromCache)
            setCachedStatementForQuery(statement, sql);
        statement->setUseCount(statement->useCount() + 1);
        closeResult = statement->reset();
    } else {
        closeResult = statement->close();
    }
    if (closeResult != SQLITE_OK) {
        base::logf("Unknown error finalizing or resetting statement (%d: %s)", closeResult,
                   sqlite3_errmsg(m_db));
        base::logf("DB Query: %.*s", static_cast<int>(sql.size()), sql.data());
    }
    return rc == SQLITE_DONE || rc == SQLITE_OK;
}

std::pair<std::string, base::Array> BRDatabase::extractSQL(std::string_view format,
                                                           std::span<const base::Value> args)
{
    std::string sql;
    base::Array bound;
    size_t next = 0;
    auto take = [&]() -> base::Value {
        return next < args.size() ? args[next++] : base::Value();
    };
    auto placeholder = [&](base::Value value) {
        sql += '?';
        bound.push_back(std::move(value));
    };
    for (size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            sql += c;
            continue;
        }
        char s = format[++i];
        switch (s) {
        case '@': {
            base::Value value = take();
            if (value.isNull())
                sql += '@';
            else
                placeholder(std::move(value));
            break;
        }
        case 'c': {
            base::Value value = take();
            placeholder(std::string(1, static_cast<char>(value.toInt())));
            break;
        }
        case 's':
        case 'd':
        case 'D':
        case 'i':
        case 'u':
        case 'U':
        case 'f':
        case 'g':
            placeholder(take());
            break;
        case '%':
            sql += '%';
            break;
        case 'h':
        case 'q':
        case 'l': {
            // "%hi", "%qu", "%ld", "%lld" ...: a complete sequence takes one argument.
            size_t j = i + 1;
            if (s == 'l' && j < format.size() && format[j] == 'l')
                ++j;
            if (j < format.size() && (format[j] == 'd' || format[j] == 'i' || format[j] == 'u')) {
                i = j;
                placeholder(take());
            } else {
                sql += s;
            }
            break;
        }
        default:
            sql += s;
            break;
        }
    }
    return {std::move(sql), std::move(bound)};
}

// --- Transactions and savepoints --------------------------------------------------------

bool BRDatabase::beginTransaction()
{
    bool ok = executeUpdate("begin exclusive transaction");
    if (ok)
        m_inTransaction = true;
    return ok;
}

bool BRDatabase::beginDeferredTransaction()
{
    bool ok = executeUpdate("begin deferred transaction");
    if (ok)
        m_inTransaction = true;
    return ok;
}

bool BRDatabase::commit()
{
    bool ok = executeUpdate("commit transaction");
    if (ok)
        m_inTransaction = false;
    return ok;
}

bool BRDatabase::rollback()
{
    bool ok = executeUpdate("rollback transaction");
    if (ok)
        m_inTransaction = false;
    return ok;
}

bool BRDatabase::startSavePointWithNameError(const std::string& name, base::ErrorPtr* error)
{
    bool ok = executeUpdate("savepoint '" + quotedName(name) + "';");
    if (!ok && error)
        *error = lastError();
    return ok;
}

bool BRDatabase::releaseSavePointWithNameError(const std::string& name, base::ErrorPtr* error)
{
    bool ok = executeUpdate("release savepoint '" + quotedName(name) + "';");
    if (!ok && error)
        *error = lastError();
    return ok;
}

bool BRDatabase::rollbackToSavePointWithNameError(const std::string& name, base::ErrorPtr* error)
{
    bool ok = executeUpdate("rollback transaction to savepoint '" + quotedName(name) + "';");
    if (!ok && error)
        *error = lastError();
    return ok;
}

base::ErrorPtr BRDatabase::inSavePoint(const std::function<void(bool& rollback)>& block)
{
    static std::atomic<long> savePointIndex{0}; // connections may live on other threads
    std::string name = "dbSavePoint" + std::to_string(savePointIndex++);
    return brdb::runSavePoint(*this, name, [&](BRDatabase&, bool& rollback) { block(rollback); });
}

// --- Errors and results -----------------------------------------------------------------

std::string BRDatabase::lastErrorMessage() const
{
    return m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(SQLITE_MISUSE);
}

int BRDatabase::lastErrorCode() const
{
    return m_db ? sqlite3_errcode(m_db) : SQLITE_MISUSE;
}

bool BRDatabase::hadError() const
{
    int code = lastErrorCode();
    return code > SQLITE_OK && code < SQLITE_ROW;
}

base::ErrorPtr BRDatabase::lastError() const
{
    return base::Error::make("BRDatabase", lastErrorCode(), lastErrorMessage());
}

int64_t BRDatabase::lastInsertRowId()
{
    if (m_isExecutingStatement) {
        warnInUse();
        return 0;
    }
    return m_db ? sqlite3_last_insert_rowid(m_db) : 0;
}

int BRDatabase::changes()
{
    if (m_isExecutingStatement) {
        warnInUse();
        return 0;
    }
    return m_db ? sqlite3_changes(m_db) : 0;
}

// --- Statement cache --------------------------------------------------------------------

void BRDatabase::setShouldCacheStatements(bool value)
{
    m_shouldCacheStatements = value;
    if (!value)
        clearCachedStatements();
}

std::shared_ptr<BRStatement> BRDatabase::cachedStatementForQuery(std::string_view sql)
{
    auto found = m_cachedStatements.find(sql);
    if (found == m_cachedStatements.end())
        return nullptr;
    m_cacheOrder.splice(m_cacheOrder.begin(), m_cacheOrder, found->second);
    return *found->second;
}

void BRDatabase::setCachedStatementForQuery(std::shared_ptr<BRStatement> statement,
                                            std::string_view sql)
{
    std::string key(sql);
    statement->setQuery(key);
    auto found = m_cachedStatements.find(key);
    if (found != m_cachedStatements.end()) {
        m_cacheOrder.erase(found->second);
        m_cachedStatements.erase(found);
    }
    m_cacheOrder.push_front(std::move(statement));
    m_cachedStatements.emplace(std::move(key), m_cacheOrder.begin());
    while (m_cachedStatements.size() > kStatementCacheCapacity) {
        // A statement still stepped by a result set lives on there and is finalised with it.
        m_cachedStatements.erase(m_cacheOrder.back()->query());
        m_cacheOrder.pop_back();
    }
}

void BRDatabase::clearCachedStatements()
{
    for (auto& statement : m_cacheOrder) {
        if (!statement->inUse())
            statement->close();
    }
    m_cachedStatements.clear();
    m_cacheOrder.clear();
}

// --- Open result sets -------------------------------------------------------------------

void BRDatabase::closeOpenResultSets()
{
    auto open = m_openResultSets;
    for (BRResultSet* rs : open) {
        rs->setParentDB(nullptr);
        rs->close();
        m_openResultSets.erase(rs);
    }
}

void BRDatabase::resultSetDidClose(BRResultSet* resultSet)
{
    m_openResultSets.erase(resultSet);
}

void BRDatabase::makeFunctionNamedMaximumArgumentsWithBlock(const std::string& name, int arguments,
                                                            SQLFunction block)
{
    if (!databaseExists())
        return;
    m_openFunctions.push_back(std::make_unique<SQLFunction>(std::move(block)));
    sqlite3_create_function(
        m_db, name.c_str(), arguments, SQLITE_UTF8, m_openFunctions.back().get(),
        [](sqlite3_context* context, int argc, sqlite3_value** argv) {
            (*static_cast<SQLFunction*>(sqlite3_user_data(context)))(context, argc, argv);
        },
        nullptr, nullptr);
}

// --- Additions --------------------------------------------------------------------------

bool BRDatabase::tableExists(std::string_view tableName)
{
    auto rs = executeQuery("select [sql] from sqlite_master where [type] = 'table' and lower(name) = ?",
                           base::lowercased(tableName));
    if (!rs)
        return false;
    bool found = rs->next();
    rs->close();
    return found;
}

std::shared_ptr<BRResultSet> BRDatabase::getSchema()
{
    return executeQuery(
        "SELECT type, name, tbl_name, rootpage, sql FROM (SELECT * FROM sqlite_master UNION ALL "
        "SELECT * FROM sqlite_temp_master) WHERE type != 'meta' AND name NOT LIKE 'sqlite_%' "
        "ORDER BY tbl_name, type DESC, name");
}

std::shared_ptr<BRResultSet> BRDatabase::getTableSchema(std::string_view tableName)
{
    // The pragma takes no bound value; quotes in the name are doubled.
    return executeQuery("PRAGMA table_info('" + quotedName(std::string(tableName)) + "')");
}

bool BRDatabase::columnExistsColumnName(std::string_view tableName, std::string_view columnName)
{
    std::string table = base::lowercased(tableName);
    std::string column = base::lowercased(columnName);
    auto rs = getTableSchema(table);
    if (!rs)
        return false;
    bool found = false;
    while (rs->next()) {
        if (base::lowercased(rs->stringForColumn("name").value_or("")) == column) {
            found = true;
            break;
        }
    }
    rs->close();
    return found;
}

bool BRDatabase::validateSQLError(std::string_view sql, base::ErrorPtr* error)
{
    if (!databaseExists())
        return false;
    sqlite3_stmt* statement = nullptr;
    int rc;
    BRBusyRetry retry(m_busyRetryTimeout, kMaxBusyWaitSeconds);
    for (;;) {
        rc = sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &statement,
                                nullptr);
        if (!isBusy(rc))
            break;
        sqlite3_finalize(statement);
        statement = nullptr;
        if (!retry.again()) {
            logBusy("validateSQL", __LINE__);
            break;
        }
    }
    bool ok = rc == SQLITE_OK;
    if (!ok && error)
        *error = base::Error::make("GeneralErrorDomain", lastErrorCode(), lastErrorMessage());
    sqlite3_finalize(statement);
    return ok;
}
