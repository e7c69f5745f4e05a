#include "Database/SQLite/BRStatement.h"

#include <cstdio>

BRStatement::BRStatement(sqlite3_stmt* statement, std::string query)
    : m_statement(statement), m_query(std::move(query))
{
}

BRStatement::~BRStatement()
{
    close();
}

int BRStatement::close()
{
    int rc = m_statement ? sqlite3_finalize(m_statement) : SQLITE_OK;
    m_statement = nullptr;
    return rc;
}

int BRStatement::reset()
{
    return m_statement ? sqlite3_reset(m_statement) : SQLITE_OK;
}

std::string BRStatement::description() const
{
    char head[64];
    std::snprintf(head, sizeof head, "<BRStatement: %p>", static_cast<const void*>(this));
    return std::string(head) + " " + std::to_string(m_useCount) + " hit(s) for query " + m_query;
}
