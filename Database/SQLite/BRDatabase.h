#pragma once
#include "Platform/Base/Error.h"
#include "Platform/Base/Value.h"

#include <sqlite3.h>

#include <array>
#include <functional>
#include <list>
#include <tuple>
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
        auto refs = std::forward_as_tuple(args...);
        return runQuery(sql, Binding{&bindTuple<decltype(refs)>, &refs});
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

    // Every update's answer is looked at: a write that failed must not pass for one that worked.
    template <typename... Args>
    [[nodiscard]] bool executeUpdate(std::string_view sql, const Args&... args)
    {
        auto refs = std::forward_as_tuple(args...);
        return runUpdate(sql, nullptr, Binding{&bindTuple<decltype(refs)>, &refs});
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
        auto refs = std::forward_as_tuple(args...);
        return runUpdate(sql, error, Binding{&bindTuple<decltype(refs)>, &refs});
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

    // How a statement gets its values: from an array, a dictionary, or the arguments of a
    // variadic call bound in place (no copies into values first). False: wrong count.
    struct Binding {
        bool (*bind)(BRDatabase& db, sqlite3_stmt* statement, const void* data);
        const void* data;
    };
    template <typename Tuple>
    static bool bindTuple(BRDatabase& db, sqlite3_stmt* statement, const void* data);
    template <typename T>
    void bindArgument(const T& value, int column, sqlite3_stmt* statement);
    static bool bindArray(BRDatabase& db, sqlite3_stmt* statement, const void* data);
    static bool bindDictionary(BRDatabase& db, sqlite3_stmt* statement, const void* data);

    std::shared_ptr<BRResultSet> runQuery(std::string_view sql, const Binding& binding);
    bool runUpdate(std::string_view sql, base::ErrorPtr* error, const Binding& binding);
    // A statement for the SQL: a free cached one, else a fresh compile. Nothing on failure.
    std::shared_ptr<BRStatement> statementFor(std::string_view sql, const char* operation,
                                              bool& fromCache, int& compileResult, bool& busy);
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

template <typename T>
void BRDatabase::bindArgument(const T& value, int column, sqlite3_stmt* statement)
{
    if (m_traceExecution)
        bindObject(BRBindValue(value), column, statement); // logs the value on the way
    else if constexpr (std::is_same_v<T, std::nullptr_t> || std::is_same_v<T, std::nullopt_t>)
        sqlite3_bind_null(statement, column);
    else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
        std::string_view text = value;
        sqlite3_bind_text(statement, column, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    } else if constexpr (std::is_same_v<T, bool>)
        sqlite3_bind_int(statement, column, value ? 1 : 0);
    else if constexpr (std::is_integral_v<T>)
        sqlite3_bind_int64(statement, column, static_cast<sqlite3_int64>(value));
    else if constexpr (std::is_floating_point_v<T>)
        sqlite3_bind_double(statement, column, static_cast<double>(value));
    else if constexpr (std::is_same_v<T, base::Date>)
        sqlite3_bind_double(statement, column, value.timeIntervalSince1970());
    else if constexpr (requires { value.has_value(); *value; }) {
        if (value)
            bindArgument(*value, column, statement);
        else
            sqlite3_bind_null(statement, column);
    } else
        bindObject(BRBindValue(value), column, statement);
}

template <typename Tuple>
bool BRDatabase::bindTuple(BRDatabase& db, sqlite3_stmt* statement, const void* data)
{
    const Tuple& args = *static_cast<const Tuple*>(data);
    const int count = sqlite3_bind_parameter_count(statement);
    int column = 0;
    std::apply([&](const auto&... arg) {
        ((++column <= count ? db.bindArgument(arg, column, statement) : void()), ...);
    }, args);
    // Placeholders beyond the arguments bind NULL rather than keep an earlier value.
    for (int i = column + 1; i <= count; ++i)
        sqlite3_bind_null(statement, i);
    return true;
}

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
