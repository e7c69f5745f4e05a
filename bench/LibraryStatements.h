#pragma once
// Records the statements the shared database connection runs (with their bound values
// written in), so a benchmark can count them and hand the very same ones to a peer.
#include "Database/SQLite/BRDatabase.h"

#include <sqlite3.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace benchsupport {

// The statements `work` runs on the shared connection, in order; trigger steps left out.
inline std::vector<std::string> statementsRunBy(const std::function<void()>& work)
{
    auto db = BRDatabase::sharedDataBase();
    if (!db || !db->sqliteHandle())
        std::abort();
    std::vector<std::string> statements;
    auto trace = [](unsigned, void* context, void* statement, void* text) -> int {
        const char* sql = static_cast<const char*>(text);
        if (sql && sql[0] == '-' && sql[1] == '-')
            return 0;
        char* expanded = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
        static_cast<std::vector<std::string>*>(context)->push_back(expanded ? expanded : sql ? sql : "");
        sqlite3_free(expanded);
        return 0;
    };
    sqlite3_trace_v2(db->sqliteHandle(), SQLITE_TRACE_STMT, trace, &statements);
    work();
    sqlite3_trace_v2(db->sqliteHandle(), 0, nullptr, nullptr);
    return statements;
}

// One script of statements for the sqlite3 shell.
inline std::string shellScript(const std::vector<std::string>& statements)
{
    std::string script;
    for (const auto& statement : statements)
        script += statement + ";\n";
    return script;
}

} // namespace benchsupport
