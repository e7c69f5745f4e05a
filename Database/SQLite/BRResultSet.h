#pragma once
#include "Platform/Base/Date.h"
#include "Platform/Base/Value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class BRDatabase;
class BRStatement;

// The cursor over the rows of one query. Names match columns without regard to case; of two
// columns with the same name the later one wins. The parent connection is not owned: it
// detaches every open result set when it closes.
class BRResultSet {
public:
    // Matches a lower-cased key with a name in any ASCII letter case, without copying it.
    struct NameHash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const;
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    using ColumnMap = std::unordered_map<std::string, int, NameHash, NameEqual>;

    BRResultSet(std::shared_ptr<BRStatement> statement, BRDatabase* parent);
    ~BRResultSet();
    BRResultSet(const BRResultSet&) = delete;
    BRResultSet& operator=(const BRResultSet&) = delete;

    static std::shared_ptr<BRResultSet> resultSetWithStatementUsingParentDatabase(
        std::shared_ptr<BRStatement> statement, BRDatabase* parent);

    // Steps to the next row; the end of the rows or an error closes the result set.
    bool next();
    // Resets and lets go of the statement and leaves the parent; a second close does nothing.
    void close();
    bool hasAnotherRow() const;

    const std::shared_ptr<BRStatement>& statement() const { return m_statement; }
    const std::string& query() const { return m_query; }
    void setQuery(std::string query) { m_query = std::move(query); }
    void setParentDB(BRDatabase* parent) { m_parentDB = parent; }
    const ColumnMap& columnNameToIndexMap();

    int columnCount() const;
    // The column's index, or -1 (logged) when the row has no such column.
    int columnIndexForName(std::string_view name);
    std::string columnNameForIndex(int index) const;

    int intForColumnIndex(int index) const;
    int intForColumn(std::string_view name) { return intForColumnIndex(columnIndexForName(name)); }
    long longForColumnIndex(int index) const;
    long longForColumn(std::string_view name) { return longForColumnIndex(columnIndexForName(name)); }
    long long longLongIntForColumnIndex(int index) const;
    long long longLongIntForColumn(std::string_view name)
    {
        return longLongIntForColumnIndex(columnIndexForName(name));
    }
    unsigned long long unsignedLongLongIntForColumnIndex(int index) const;
    unsigned long long unsignedLongLongIntForColumn(std::string_view name)
    {
        return unsignedLongLongIntForColumnIndex(columnIndexForName(name));
    }
    bool boolForColumnIndex(int index) const { return intForColumnIndex(index) != 0; }
    bool boolForColumn(std::string_view name) { return boolForColumnIndex(columnIndexForName(name)); }
    double doubleForColumnIndex(int index) const;
    double doubleForColumn(std::string_view name)
    {
        return doubleForColumnIndex(columnIndexForName(name));
    }
    // Nothing for NULL, for a missing column and when SQLite gives no text.
    std::optional<std::string> stringForColumnIndex(int index) const;
    std::optional<std::string> stringForColumn(std::string_view name)
    {
        return stringForColumnIndex(columnIndexForName(name));
    }
    std::optional<base::Date> dateForColumnIndex(int index) const;
    std::optional<base::Date> dateForColumn(std::string_view name)
    {
        return dateForColumnIndex(columnIndexForName(name));
    }
    std::optional<base::Bytes> dataForColumnIndex(int index) const;
    std::optional<base::Bytes> dataForColumn(std::string_view name)
    {
        return dataForColumnIndex(columnIndexForName(name));
    }
    // The blob in place: valid only until the next step or reset.
    std::optional<std::span<const uint8_t>> dataNoCopyForColumnIndex(int index) const;
    std::optional<std::span<const uint8_t>> dataNoCopyForColumn(std::string_view name)
    {
        return dataNoCopyForColumnIndex(columnIndexForName(name));
    }
    bool columnIndexIsNull(int index) const;
    bool columnIsNull(std::string_view name) { return columnIndexIsNull(columnIndexForName(name)); }
    // The raw text bytes (nullptr for NULL), valid only until the next step or reset.
    const char* UTF8StringForColumnIndex(int index) const;
    const char* UTF8StringForColumnName(std::string_view name)
    {
        return UTF8StringForColumnIndex(columnIndexForName(name));
    }
    // By the column's storage type; the null value for NULL, never nothing.
    base::Value objectForColumnIndex(int index) const;
    base::Value objectForColumnName(std::string_view name)
    {
        return objectForColumnIndex(columnIndexForName(name));
    }

    // The row keyed by the names SQLite reports / by the lower-cased names of the map.
    std::optional<base::Dictionary> resultDictionary() const;
    std::optional<base::Dictionary> resultDict();

private:
    void setupColumnNames();
    int lookUpColumn(std::string_view name);
    bool readable(int index) const;

    // Rows are read with the same names in the same order: the names of the first row are
    // remembered by position, so later rows find them with one comparison.
    struct RememberedName {
        std::string name;
        int index;
    };
    static constexpr size_t kMaxRememberedNames = 64;
    std::vector<RememberedName> m_lookupOrder;
    size_t m_lookupPosition = 0;

    BRDatabase* m_parentDB;
    std::shared_ptr<BRStatement> m_statement;
    std::string m_query;
    ColumnMap m_columnNameToIndexMap;
    bool m_columnNamesSetup = false;
};
