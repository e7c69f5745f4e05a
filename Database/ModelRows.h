#pragma once
#include "Database/SQLite/BRDatabase.h"
#include "Database/SQLite/BRResultSet.h"

#include <string_view>
#include <utility>
#include <vector>

// The rows of a query on the shared connection, each turned into a record by `read`; an empty
// list when the connection is gone or the query fails.
template <typename Read, typename... Args>
auto readRows(Read read, std::string_view sql, const Args&... args)
{
    std::vector<decltype(read(std::declval<BRResultSet&>()))> rows;
    auto db = BRDatabase::sharedDataBase();
    if (!db)
        return rows;
    auto rs = db->executeQuery(sql, args...);
    if (!rs)
        return rows;
    while (rs->next())
        rows.push_back(read(*rs));
    rs->close();
    return rows;
}
