#pragma once
#include "Database/SQLite/BRDatabase.h"
#include "Database/SQLite/BRResultSet.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

// The base of the table models: stateless objects that run their tables' SQL on the shared
// connection. The one hook is the schema upgrade; a model without upgrade steps answers NO.
// The helpers below are the one way the models reach the connection, read rows, escape
// search text and add columns.
class BaseDataModel {
public:
    virtual ~BaseDataModel() = default;
    virtual bool updateVersion() { return false; }

    // The shared connection; nothing once it is gone.
    static std::shared_ptr<BRDatabase> database() { return BRDatabase::sharedDataBase(); }
    // The shared connection when it answers; the upgrade steps do nothing without one.
    static std::shared_ptr<BRDatabase> goodDatabase();

    // The rows of a query, each turned into a record by `read`; an empty list when the
    // connection is gone or the query fails. The arguments bind the "?" in order, or one
    // list of values binds them all.
    template <typename Read, typename... Args>
    static auto readRows(Read read, std::string_view sql, const Args&... args)
    {
        std::vector<decltype(read(std::declval<BRResultSet&>()))> rows;
        auto rs = query(sql, args...);
        if (!rs)
            return rows;
        while (rs->next())
            rows.push_back(read(*rs));
        rs->close();
        return rows;
    }
    // Each row of a query turned into a record by `read` and handed to `each` as it is read, for
    // lists too large to hold twice; nothing when the connection is gone or the query fails.
    template <typename Read, typename Each>
    static void forEachRow(Read read, std::string_view sql, Each each)
    {
        auto rs = query(sql);
        if (!rs)
            return;
        while (rs->next())
            each(read(*rs));
        rs->close();
    }
    // The first row's record, or nothing; the query stops there.
    template <typename Read, typename... Args>
    static auto readFirstRow(Read read, std::string_view sql, const Args&... args)
    {
        std::optional<decltype(read(std::declval<BRResultSet&>()))> row;
        auto rs = query(sql, args...);
        if (rs && rs->next()) {
            row = read(*rs);
            rs->close();
        }
        return row;
    }

    // The first column of the first row; 0 or nothing without a connection or a row.
    template <typename... Args>
    static int intForQuery(std::string_view sql, const Args&... args)
    {
        auto db = database();
        return db ? db->intForQuery(sql, args...) : 0;
    }
    template <typename... Args>
    static std::optional<std::string> stringForQuery(std::string_view sql, const Args&... args)
    {
        auto db = database();
        return db ? db->stringForQuery(sql, args...) : std::nullopt;
    }

    // "\", "%" and "_" taken literally by LIKE ... ESCAPE '\'.
    static std::string likeLiteral(std::string_view text);
    // Runs `alter` only when the table lacks the column, so a second upgrade changes nothing.
    // YES when the column is there afterwards; NO without a good connection.
    static bool addColumnIfMissing(std::string_view table, std::string_view column, std::string_view alter);

private:
    template <typename... Args>
    static std::shared_ptr<BRResultSet> query(std::string_view sql, const Args&... args)
    {
        auto db = database();
        if (!db)
            return nullptr;
        if constexpr (sizeof...(Args) == 1 && (std::is_same_v<Args, std::vector<base::Value>> && ...))
            return db->executeQueryWithArgumentsInArray(sql, args...);
        else
            return db->executeQuery(sql, args...);
    }
};
