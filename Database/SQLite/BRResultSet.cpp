#include "Database/SQLite/BRResultSet.h"

#include "Database/SQLite/BRBusyRetry.h"
#include "Database/SQLite/BRDatabase.h"
#include "Database/SQLite/BRStatement.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Text.h"

namespace {

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

size_t BRResultSet::NameHash::operator()(std::string_view name) const
{
    // FNV-1a over the ASCII-lowered bytes: a lower-cased key and any casing of it agree.
    size_t hash = 14695981039346656037ull;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(asciiLower(c));
        hash *= 1099511628211ull;
    }
    return hash;
}

bool BRResultSet::NameEqual::operator()(std::string_view a, std::string_view b) const
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

BRResultSet::BRResultSet(std::shared_ptr<BRStatement> statement, BRDatabase* parent)
    : m_parentDB(parent), m_statement(std::move(statement))
{
    if (m_statement)
        m_statement->setInUse(true);
}

BRResultSet::~BRResultSet()
{
    close();
}

std::shared_ptr<BRResultSet> BRResultSet::resultSetWithStatementUsingParentDatabase(
    std::shared_ptr<BRStatement> statement, BRDatabase* parent)
{
    return std::make_shared<BRResultSet>(std::move(statement), parent);
}

void BRResultSet::close()
{
    if (m_statement) {
        m_statement->reset();
        m_statement->setInUse(false);
        m_statement.reset();
    }
    if (BRDatabase* parent = m_parentDB) {
        m_parentDB = nullptr;
        parent->resultSetDidClose(this);
    }
}

bool BRResultSet::next()
{
    sqlite3_stmt* handle = m_statement ? m_statement->statement() : nullptr;
    if (!handle) {
        base::logf("Error calling sqlite3_step (%d: %s) rs", SQLITE_MISUSE,
                   sqlite3_errstr(SQLITE_MISUSE));
        return false;
    }
    int limit = m_parentDB ? m_parentDB->busyRetryTimeout() : 0;
    BRBusyRetry retry(limit, BRDatabase::kMaxBusyWaitSeconds);
    int rc;
    for (;;) {
        rc = sqlite3_step(handle);
        if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
            break;
        if (rc == SQLITE_LOCKED) {
            int reset = sqlite3_reset(handle);
            if (reset != SQLITE_LOCKED)
                base::logf("Unexpected result from sqlite3_reset (%d) rs", reset);
        }
        if (!retry.again()) {
            base::logf("%s:%d Database busy (%s)", "next", __LINE__,
                       m_parentDB && m_parentDB->databasePath()
                           ? m_parentDB->databasePath()->c_str()
                           : "(null)");
            base::log("Database busy");
            close();
            return false;
        }
    }
    if (rc == SQLITE_ROW) {
        m_lookupPosition = 0;
        return true;
    }
    if (rc != SQLITE_DONE) {
        const char* message = sqlite3_errmsg(sqlite3_db_handle(handle));
        if (rc == SQLITE_ERROR || rc == SQLITE_MISUSE)
            base::logf("Error calling sqlite3_step (%d: %s) rs", rc, message);
        else
            base::logf("Unknown error calling sqlite3_step (%d: %s) rs", rc, message);
    }
    close();
    return false;
}

bool BRResultSet::hasAnotherRow() const
{
    return m_parentDB && m_parentDB->lastErrorCode() == SQLITE_ROW;
}

int BRResultSet::columnCount() const
{
    sqlite3_stmt* handle = m_statement ? m_statement->statement() : nullptr;
    return handle ? sqlite3_column_count(handle) : 0;
}

void BRResultSet::setupColumnNames()
{
    int count = columnCount();
    for (int i = 0; i < count; ++i) {
        const char* name = sqlite3_column_name(m_statement->statement(), i);
        // Later columns overwrite earlier ones of the same name.
        m_columnNameToIndexMap.insert_or_assign(base::lowercased(name ? name : ""), i);
    }
    m_columnNamesSetup = true;
}

const BRResultSet::ColumnMap& BRResultSet::columnNameToIndexMap()
{
    if (!m_columnNamesSetup)
        setupColumnNames();
    return m_columnNameToIndexMap;
}

int BRResultSet::columnIndexForName(std::string_view name)
{
    size_t position = m_lookupPosition++;
    if (position < m_lookupOrder.size()) {
        const RememberedName& remembered = m_lookupOrder[position];
        if (remembered.index >= 0 && remembered.name == name)
            return remembered.index;
    }
    int index = lookUpColumn(name);
    if (position == m_lookupOrder.size() && position < kMaxRememberedNames)
        m_lookupOrder.push_back({std::string(name), index});
    return index;
}

int BRResultSet::lookUpColumn(std::string_view name)
{
    if (!m_columnNamesSetup)
        setupColumnNames();
    // ASCII names are matched in place; others are lower-cased in full first.
    auto found = base::isASCII(name) ? m_columnNameToIndexMap.find(name)
                                     : m_columnNameToIndexMap.find(base::lowercased(name));
    if (found != m_columnNameToIndexMap.end())
        return found->second;
    base::logf("Warning: I could not find the column named '%s'.", base::lowercased(name).c_str());
    return -1;
}

std::string BRResultSet::columnNameForIndex(int index) const
{
    if (!readable(index))
        return {};
    const char* name = sqlite3_column_name(m_statement->statement(), index);
    return name ? name : "";
}

bool BRResultSet::readable(int index) const
{
    return index >= 0 && m_statement && m_statement->statement();
}

int BRResultSet::intForColumnIndex(int index) const
{
    return readable(index) ? sqlite3_column_int(m_statement->statement(), index) : 0;
}

long BRResultSet::longForColumnIndex(int index) const
{
    return static_cast<long>(longLongIntForColumnIndex(index));
}

long long BRResultSet::longLongIntForColumnIndex(int index) const
{
    return readable(index) ? sqlite3_column_int64(m_statement->statement(), index) : 0;
}

unsigned long long BRResultSet::unsignedLongLongIntForColumnIndex(int index) const
{
    return static_cast<unsigned long long>(longLongIntForColumnIndex(index));
}

double BRResultSet::doubleForColumnIndex(int index) const
{
    return readable(index) ? sqlite3_column_double(m_statement->statement(), index) : 0.0;
}

bool BRResultSet::columnIndexIsNull(int index) const
{
    return !readable(index) || sqlite3_column_type(m_statement->statement(), index) == SQLITE_NULL;
}

std::optional<std::string> BRResultSet::stringForColumnIndex(int index) const
{
    if (columnIndexIsNull(index))
        return std::nullopt;
    sqlite3_stmt* handle = m_statement->statement();
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(handle, index));
    if (!text)
        return std::nullopt;
    // The byte count keeps text after an embedded NUL.
    return std::string(text, static_cast<size_t>(sqlite3_column_bytes(handle, index)));
}

std::optional<base::Date> BRResultSet::dateForColumnIndex(int index) const
{
    if (columnIndexIsNull(index))
        return std::nullopt;
    return base::Date(sqlite3_column_double(m_statement->statement(), index));
}

std::optional<std::span<const uint8_t>> BRResultSet::dataNoCopyForColumnIndex(int index) const
{
    if (columnIndexIsNull(index))
        return std::nullopt;
    sqlite3_stmt* handle = m_statement->statement();
    auto bytes = static_cast<const uint8_t*>(sqlite3_column_blob(handle, index));
    size_t size = static_cast<size_t>(sqlite3_column_bytes(handle, index));
    if (!bytes)
        return std::span<const uint8_t>();
    return std::span<const uint8_t>(bytes, size);
}

std::optional<base::Bytes> BRResultSet::dataForColumnIndex(int index) const
{
    auto bytes = dataNoCopyForColumnIndex(index);
    if (!bytes)
        return std::nullopt;
    return base::Bytes(bytes->begin(), bytes->end());
}

const char* BRResultSet::UTF8StringForColumnIndex(int index) const
{
    if (columnIndexIsNull(index))
        return nullptr;
    return reinterpret_cast<const char*>(sqlite3_column_text(m_statement->statement(), index));
}

base::Value BRResultSet::objectForColumnIndex(int index) const
{
    if (columnIndexIsNull(index))
        return base::Value();
    switch (sqlite3_column_type(m_statement->statement(), index)) {
    case SQLITE_INTEGER:
        return base::Value(longLongIntForColumnIndex(index));
    case SQLITE_FLOAT:
        return base::Value(doubleForColumnIndex(index));
    case SQLITE_BLOB:
        return base::Value(*dataForColumnIndex(index));
    default: {
        auto text = stringForColumnIndex(index);
        return text ? base::Value(std::move(*text)) : base::Value();
    }
    }
}

std::optional<base::Dictionary> BRResultSet::resultDictionary() const
{
    int count = m_statement && m_statement->statement()
        ? sqlite3_data_count(m_statement->statement())
        : 0;
    if (count == 0) {
        base::log("Warning: There seem to be no columns in this set.");
        return std::nullopt;
    }
    base::Dictionary row;
    for (int i = 0; i < columnCount(); ++i)
        row.set(columnNameForIndex(i), objectForColumnIndex(i));
    return row;
}

std::optional<base::Dictionary> BRResultSet::resultDict()
{
    int count = m_statement && m_statement->statement()
        ? sqlite3_data_count(m_statement->statement())
        : 0;
    if (count == 0) {
        base::log("Warning: There seem to be no columns in this set.");
        return std::nullopt;
    }
    base::Dictionary row;
    for (const auto& [name, index] : columnNameToIndexMap())
        row.set(name, objectForColumnIndex(index));
    return row;
}
