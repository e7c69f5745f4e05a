#pragma once
#include <sqlite3.h>

#include <string>

// One compiled statement, kept by the statement cache or by the result set stepping it.
class BRStatement {
public:
    BRStatement(sqlite3_stmt* statement, std::string query);
    ~BRStatement();
    BRStatement(const BRStatement&) = delete;
    BRStatement& operator=(const BRStatement&) = delete;

    sqlite3_stmt* statement() const { return m_statement; }
    const std::string& query() const { return m_query; }
    void setQuery(std::string query) { m_query = std::move(query); }
    long useCount() const { return m_useCount; }
    void setUseCount(long count) { m_useCount = count; }

    // An open result set is stepping it: the cache must not hand it to anyone else.
    bool inUse() const { return m_inUse; }
    void setInUse(bool inUse) { m_inUse = inUse; }

    // Finalises the handle (nothing when already closed); answers SQLite's result.
    int close();
    // Resets the handle (nothing when closed); answers SQLite's result.
    int reset();
    std::string description() const;

private:
    sqlite3_stmt* m_statement;
    std::string m_query;
    long m_useCount = 0;
    bool m_inUse = false;
};
