#include "Database/UnsentWork.h"

#include "Database/SQLite/BRDatabaseBlocks.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"

#include <optional>
#include <set>
#include <vector>

namespace {

constexpr const char* kSchema = "carried";

struct CarriedTable {
    const char* name;
    const char* where;
    // Also carried when the old file counts changes of customers not yet uploaded.
    bool ofChangedCustomers = false;
};

constexpr const char* kChangedCustomers = "brivanta_customer_unsent";

// Lines before orders would not matter (no foreign keys), but orders first reads naturally.
constexpr CarriedTable kTables[] = {
    {"brivanta_quote_order", "uploaded = 0"},
    {"brivanta_quote_order_item", "order_id in (select order_id from carried.brivanta_quote_order where uploaded = 0)"},
    {"brivanta_customer", "customer_id < 0", true},
    {"brivanta_customer_address", "customer_id < 0 or id < 0", true},
    {"brivanta_customer_attribute", "customer_id < 0 or attribute_id < 0", true},
    {"brivanta_customer_contact", "customer_id < 0 or contact_id < 0", true},
    {kChangedCustomers, "change_count > 0"},
};

// The table's columns in that schema; nothing when the query fails, empty when no table.
std::optional<std::vector<std::string>> columnsOf(BRDatabase& db, const std::string& schema, const char* table)
{
    auto rs = db.executeQuery("PRAGMA " + schema + ".table_info(" + table + ")");
    if (!rs)
        return std::nullopt;
    std::vector<std::string> columns;
    while (rs->next()) {
        if (auto name = rs->stringForColumn("name"))
            columns.push_back(*name);
    }
    rs->close();
    return columns;
}

std::string quoted(const std::string& name)
{
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

bool copyTable(BRDatabase& db, const CarriedTable& table, bool changesCounted)
{
    auto from = columnsOf(db, kSchema, table.name);
    auto to = columnsOf(db, "main", table.name);
    if (!from || !to)
        return false;
    // A table the old file never had holds nothing to carry.
    if (from->empty())
        return true;
    std::set<std::string> target(to->begin(), to->end());
    std::string list;
    for (const auto& column : *from) {
        if (!target.count(column))
            continue;
        list += (list.empty() ? "" : ",") + quoted(column);
    }
    if (list.empty())
        return false;
    std::string where = table.where;
    if (table.ofChangedCustomers && changesCounted)
        where += std::string(" or customer_id in (select customer_id from ") + kSchema + "." + kChangedCustomers + ")";
    std::string sql = "INSERT OR REPLACE INTO main." + std::string(table.name) + "(" + list + ") SELECT " + list
        + " FROM " + kSchema + "." + table.name + " WHERE " + where;
    if (!db.executeUpdate(sql)) {
        base::logf("carrying %s failed: %s", table.name, db.lastErrorMessage().c_str());
        return false;
    }
    return true;
}

} // namespace

bool UnsentWork::copyFromDatabase(const std::string& oldDatabasePath)
{
    auto db = BRDatabase::sharedDataBase();
    if (!db || !db->goodConnection())
        return false;
    // Attaching a missing file would make an empty one and carry nothing.
    if (!base::FileManager::exists(oldDatabasePath) || base::FileManager::isDirectory(oldDatabasePath))
        return false;
    if (!db->executeUpdate("ATTACH DATABASE ? AS carried", oldDatabasePath)) {
        base::logf("cannot attach the old database: %s", db->lastErrorMessage().c_str());
        return false;
    }
    bool ok = false;
    // The old file must read as a database: a failed read is a failure, never "nothing to carry".
    if (!db->stringForQuery("select count(*) from carried.sqlite_master")) {
        base::logf("the old database cannot be read: %s", db->lastErrorMessage().c_str());
    } else if (db->beginTransaction()) {
        ok = true;
        // A customer changed on the device is carried whole: the full sync must not undo it.
        auto changed = columnsOf(*db, kSchema, kChangedCustomers);
        const bool changesCounted = changed && !changed->empty();
        for (const auto& table : kTables) {
            if (!copyTable(*db, table, changesCounted)) {
                ok = false;
                break;
            }
        }
        if (!ok)
            db->rollback();
        else
            ok = brdb::commitOrRollback(*db);
    }
    if (!db->executeUpdate("DETACH DATABASE carried"))
        base::logf("the old database stays attached: %s", db->lastErrorMessage().c_str());
    return ok;
}
