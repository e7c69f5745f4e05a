#pragma once
#include "Platform/Base/Error.h"
#include "Platform/Base/Value.h"

#include <sqlite3.h>

#include <array>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class BRResultSet;
class BRStatement;

// Turns an argument of the variadic statement forms into the value it binds.
template <typename T>
base::Value BRBindValue(const T& value)
{
    if constexpr (std::is_same_v<T, base::Value>)
        return value;
    else if constexpr (std::is_same_v<T, std::nullopt_t> || std::is_same_v<T, std::nullptr_t>)
        return base::Value();
    else if constexpr (requires { value.has_value(); *value; })
        return value ? BRBindValue(*value) : base::Value();
    else if constexpr (std::is_same_v<T, float>)
        return base::Value(static_cast<double>(value));
    else if constexpr (std::is_same_v<T, char>)
        return base::Value(static_cast<int>(value));
    else
        return base::Value(value);
}

// One SQLite connection: compiles, binds and runs statements, hands out result sets, caches
// compiled statements and runs transactions. Nothing raises: failures answer nil, NO or zero
// and are written to the log. Used by one thread at a time.
class BRDatabase {
public:
    using SQLFunction = std::function<void(sqlite3_context*, int, sqlite3_value**)>;

    static constexpr size_t kStatementCacheCapacity = 200;
    // With no retry limit set, busy or locked answers are retried for this long at most.
    static constexpr double kMaxBusyWaitSeconds = 2.0;

    // The process-wide connection (main thread). The first path wins.
    static std::shared_ptr<BRDatabase> databaseWithPath(const std::optional<std::string>& path);
    static std::shared_ptr<BRDatabase> sharedDataBase();
    // Closes the shared connection and empties the slot.
    static void releaseDataBase();
    static std::string sqliteLibVersion();
    static bool isSQLiteThreadSafe();

    // No path means an in-memory database. The connection starts closed.
    explicit BRDatabase(std::optional<std::string> path);
    ~BRDatabase();
    BRDatabase(const BRDatabase&) = delete;
    BRDatabase& operator=(const BRDatabase&) = delete;

    const std::optional<std::string>& databasePath() const { return m_databasePath; }
    sqlite3* sqliteHandle() const { return m_db; }
    std::string description() const;

    bool logsErrors() const { return m_logsErrors; }
    void setLogsErrors(bool v) { m_logsErrors = v; }
    bool crashOnErrors() const { return m_crashOnErrors; }
    void setCrashOnErrors(bool v) { m_crashOnErrors = v; }
    bool traceExecution() const { return m_traceExecution; }
    void setTraceExecution(bool v) { m_traceExecution = v; }
    bool checkedOut() const { return m_checkedOut; }
    void setCheckedOut(bool v) { m_checkedOut = v; }
    // Retries of a busy or locked answer before giving up; 0 means the time bound above.
    int busyRetryTimeout() const { return m_busyRetryTimeout; }
    void setBusyRetryTimeout(int v) { m_busyRetryTimeout = v; }

    bool open();
    bool openWithFlags(int flags);
    bool close();
    bool goodConnection();
    bool databaseExists() const;
    bool rekey(const base::Bytes& key);
    bool setKey(const base::Bytes& key);

    // --- Statements: every argument binds one "?" in order --------------------------------
    template <typename... Args>
    std::shared_ptr<BRResultSet> executeQuery(std::string_view sql, const Args&... args)
    {
        std::array<base::Value, sizeof...(Args)> values{BRBindValue(args)...};
        return executeQueryWithArgumentsInArray(sql, values);
    }
    std::shared_ptr<BRResultSet> executeQueryWithArgumentsInArray(std::string_view sql,
                                                                  std::span<const base::Value> args);
    std::shared_ptr<BRResultSet> executeQueryWithParameterDictionary(std::string_view sql,
                                                                     const base::Dictionary& args);
    // Each argument-taking "%" specifier of the format becomes a bound "?".
    template <typename... Args>
    std::shared_ptr<BRResultSet> executeQueryWithFormat(std::string_view format, const Args&... args)
    {
        std::array<base::Value, sizeof...(Args)> values{BRBindValue(args)...};
        auto [sql, bound] = extractSQL(format, values);
        return executeQueryWithArgumentsInArray(sql, bound);
    }

    template <typename... Args>
    bool executeUpdate(std::string_view sql, const Args&... args)
    {
        std::array<base::Value, sizeof...(Args)> values{BRBindValue(args)...};
        return executeUpdateWithArgumentsInArray(sql, values);
    }
    bool executeUpdateWithArgumentsInArray(std::string_view sql, std::span<const base::Value> args);
    bool executeUpdateWithParameterDictionary(std::string_view sql, const base::Dictionary& args);
    template <typename... Args>
    bool executeUpdateWithFormat(std::string_view format, const Args&... args)
    {
        std::array<base::Value, sizeof...(Args)> values{BRBindValue(args)...};
        auto [sql, bound] = extractSQL(format, values);
        return executeUpdateWithArgumentsInArray(sql, bound);
    }
    // An update that fills the error slot when the statement does not compile.
    template <typename... Args>
    bool updateWithErrorAndBindings(std::string_view sql, base::ErrorPtr* error, const Args&... args)
    {
        std::array<base::Value, sizeof...(Args)> values{BRBindValue(args)...};
        return runUpdate(sql, error, values, nullptr);
    }

    // The format's SQL with "?" for each argument-taking specifier, and the values they bind.
    static std::pair<std::string, base::Array> extractSQL(std::string_view format,
                                                          std::span<const base::Value> args);

    // --- Transactions and savepoints -----------------------------------------------------
    bool beginTransaction();
    bool beginDeferredTransaction();
    bool commit();
    bool rollback();
    bool inTransaction() const { return m_inTransaction; }
    bool startSavePointWithNameError(const std::string& name, base::ErrorPtr* error = nullptr);
    bool releaseSavePointWithNameError(const std::string& name, base::ErrorPtr* error = nullptr);
    bool rollbackToSavePointWithNameError(const std::string& name, base::ErrorPtr* error = nullptr);
    // Runs the block inside a fresh savepoint; setting the flag rolls it back.
    base::ErrorPtr inSavePoint(const std::function<void(bool& rollback)>& block);

    // --- Errors and results --------------------------------------------------------------
    std::string lastErrorMessage() const;
    int lastErrorCode() const;
    bool hadError() const;
    base::ErrorPtr lastError() const;
    int64_t lastInsertRowId();
    int changes();

    // --- Statement cache (least recently used beyond its capacity) -----------------------
    bool shouldCacheStatements() const { return m_shouldCacheStatements; }
    void setShouldCacheStatements(bool value);
    std::shared_ptr<BRStatement> cachedStatementForQuery(std::string_view sql);
    void setCachedStatementForQuery(std::shared_ptr<BRStatement> statement, std::string_view sql);
    void clearCachedStatements();
    size_t cachedStatementCount() const { return m_cachedStatements.size(); }

    // --- Open result sets (not owned) ----------------------------------------------------
    bool hasOpenResultSets() const { return !m_openResultSets.empty(); }
    void closeOpenResultSets();
    void resultSetDidClose(BRResultSet* resultSet);

    void makeFunctionNamedMaximumArgumentsWithBlock(const std::string& name, int arguments,
                                                    SQLFunction block);

    // --- One-value queries: column 0 of the first row, or zero / nothing -----------------
    template <typename... Args>
    std::optional<std::string> stringForQuery(std::string_view sql, const Args&... args);
    template <typename... Args>
    int intForQuery(std::string_view sql, const Args&... args);
    template <typename... Args>
    long longForQuery(std::string_view sql, const Args&... args);
    template <typename... Args>
    bool boolForQuery(std::string_view sql, const Args&... args);
    template <typename... Args>
    double doubleForQuery(std::string_view sql, const Args&... args);
    template <typename... Args>
    std::optional<base::Bytes> dataForQuery(std::string_view sql, const Args&... args);
    template <typename... Args>
    std::optional<base::Date> dateForQuery(std::string_view sql, const Args&... args);

    bool tableExists(std::string_view tableName);
    std::shared_ptr<BRResultSet> getSchema();
    std::shared_ptr<BRResultSet> getTableSchema(std::string_view tableName);
    bool columnExistsColumnName(std::string_view tableName, std::string_view columnName);
    bool validateSQLError(std::string_view sql, base::ErrorPtr* error);

private:
    struct StringHash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    using CacheOrder = std::list<std::shared_ptr<BRStatement>>;

    std::shared_ptr<BRResultSet> runQuery(std::string_view sql, std::span<const base::Value> array,
                                          const base::Dictionary* dictionary);
    bool runUpdate(std::string_view sql, base::ErrorPtr* error, std::span<const base::Value> array,
                   const base::Dictionary* dictionary);
    // A statement for the SQL: a free cached one, else a fresh compile. Nothing on failure.
    std::shared_ptr<BRStatement> statementFor(std::string_view sql, const char* operation,
                                              bool& fromCache, int& compileResult, bool& busy);
    bool bindArguments(sqlite3_stmt* statement, std::span<const base::Value> array,
                       const base::Dictionary* dictionary);
    void bindObject(const base::Value& value, int column, sqlite3_stmt* statement);
    void warnInUse() const;
    void logBusy(const char* operation, int line) const;
    template <typename Read>
    auto firstValue(std::shared_ptr<BRResultSet> rs, Read read) -> decltype(read(*rs));

    friend class BRResultSet;
    friend class BRBusyRetry;

    sqlite3* m_db = nullptr;
    std::optional<std::string> m_databasePath;
    bool m_logsErrors = false;
    bool m_crashOnErrors = false;
    bool m_traceExecution = false;
    bool m_checkedOut = false;
    bool m_shouldCacheStatements = false;
    bool m_isExecutingStatement = false;
    bool m_inTransaction = false;
    int m_busyRetryTimeout = 0;
    CacheOrder m_cacheOrder; // most recently used first
    std::unordered_map<std::string, CacheOrder::iterator, StringHash, std::equal_to<>>
        m_cachedStatements;
    std::unordered_set<BRResultSet*> m_openResultSets;
    std::vector<std::unique_ptr<SQLFunction>> m_openFunctions;
};

#include "Database/SQLite/BRResultSet.h"

template <typename Read>
auto BRDatabase::firstValue(std::shared_ptr<BRResultSet> rs, Read read) -> decltype(read(*rs))
{
    using Result = decltype(read(*rs));
    if (!rs)
        return Result{};
    if (!rs->next())
        return Result{};
    Result value = read(*rs);
    rs->close();
    return value;
}

template <typename... Args>
std::optional<std::string> BRDatabase::stringForQuery(std::string_view sql, const Args&... args)
{
    return firstValue(executeQuery(sql, args...),
                      [](BRResultSet& rs) { return rs.stringForColumnIndex(0); });
}

template <typename... Args>
int BRDatabase::intForQuery(std::string_view sql, const Args&... args)
{
    return firstValue(executeQuery(sql, args...),
                      [](BRResultSet& rs) { return rs.intForColumnIndex(0); });
}

template <typename... Args>
long BRDatabase::longForQuery(std::string_view sql, const Args&... args)
{
    return firstValue(executeQuery(sql, args...),
                      [](BRResultSet& rs) { return rs.longForColumnIndex(0); });
}

template <typename... Args>
bool BRDatabase::boolForQuery(std::string_view sql, const Args&... args)
{
    return firstValue(executeQuery(sql, args...),
                      [](BRResultSet& rs) { return rs.boolForColumnIndex(0); });
}

template <typename... Args>
double BRDatabase::doubleForQuery(std::string_view sql, const Args&... args)
{
    return firstValue(executeQuery(sql, args...),
                      [](BRResultSet& rs) { return rs.doubleForColumnIndex(0); });
}

template <typename... Args>
std::optional<base::Bytes> BRDatabase::dataForQuery(std::string_view sql, const Args&... args)
{
    return firstValue(executeQuery(sql, args...),
                      [](BRResultSet& rs) { return rs.dataForColumnIndex(0); });
}

template <typename... Args>
std::optional<base::Date> BRDatabase::dateForQuery(std::string_view sql, const Args&... args)
{
    return firstValue(executeQuery(sql, args...),
                      [](BRResultSet& rs) { return rs.dateForColumnIndex(0); });
}
