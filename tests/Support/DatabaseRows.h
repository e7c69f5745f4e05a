#pragma once
// A query's rows as text, a line a row and "|" after each column (NULL named), for comparing
// what a table holds in one assertion.
#include "Database/SQLite/BRDatabase.h"

#include <string>

namespace testsupport {

inline std::string rowsText(BRDatabase& db, const std::string& sql)
{
    std::string text;
    auto rs = db.executeQuery(sql);
    while (rs && rs->next()) {
        for (int i = 0; i < rs->columnCount(); ++i)
            text += rs->stringForColumnIndex(i).value_or("NULL") + "|";
        text += "\n";
    }
    return text;
}

} // namespace testsupport
