#include "Database/UnsentWork.h"

#include "Database/SQLite/BRDatabaseBlocks.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"

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
    return db && copyFromDatabaseInto(oldDatabasePath, *db);
}

bool UnsentWork::copyFromDatabaseInto(const std::string& oldDatabasePath, BRDatabase& into)
{
    BRDatabase* db = &into;
    if (!db->goodConnection())
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

// --- A resync cut short ------------------------------------------------------------------

namespace {

constexpr const char* kDatabaseFile = "/brivanta_lite.sqlite";

// The client folder's name as the aside folder recorded it; nothing when it did not, or the
// name would reach outside Documents.
std::optional<std::string> asideOrigin(const std::string& aside)
{
    auto text = base::FileManager::readTextFile(aside + "/" + UnsentWork::kAsideOriginFile);
    if (!text)
        return std::nullopt;
    std::string name = *text;
    while (!name.empty() && (name.back() == '\n' || name.back() == ' '))
        name.pop_back();
    if (name.empty() || name[0] == '.' || name.find('/') != std::string::npos)
        return std::nullopt;
    return name;
}

bool recoverAside(const std::string& documents, const std::string& aside)
{
    auto origin = asideOrigin(aside);
    if (!origin) {
        base::logf("%s does not say which client folder it was: it stays", aside.c_str());
        return false;
    }
    const std::string folder = documents + "/" + *origin;
    if (!base::FileManager::exists(folder + kDatabaseFile)) {
        // The new database was never made: the old folder is still the client's.
        if (base::FileManager::exists(folder) && !base::FileManager::removeRecursively(folder, documents))
            return false;
        if (!base::FileManager::moveItem(aside, folder)) {
            base::logf("cannot put %s back as %s", aside.c_str(), folder.c_str());
            return false;
        }
        base::FileManager::removeItem(folder + "/" + UnsentWork::kAsideOriginFile);
        base::logf("a full sync cut short: %s put back", folder.c_str());
        return true;
    }
    if (base::FileManager::exists(aside + kDatabaseFile)) {
        BRDatabase db(folder + kDatabaseFile);
        if (!db.openWithFlags(SQLITE_OPEN_READWRITE) || !UnsentWork::copyFromDatabaseInto(aside + kDatabaseFile, db)) {
            base::logf("the unsent work of %s is not carried yet: it stays for the next launch", aside.c_str());
            return false;
        }
        db.close();
        base::logf("a full sync cut short: the unsent work of %s carried into %s", aside.c_str(), folder.c_str());
    }
    return base::FileManager::removeRecursively(aside, documents);
}

} // namespace

bool UnsentWork::markAsideOrigin(const std::string& clientFolder)
{
    std::string name = clientFolder.substr(clientFolder.find_last_of('/') + 1);
    return base::FileManager::writeAtomically(clientFolder + "/" + kAsideOriginFile, name + "\n", 0600);
}

int UnsentWork::recoverAsideFolders()
{
    const std::string documents = base::Paths::documents();
    int recovered = 0;
    for (const auto& name : base::FileManager::contentsOfDirectory(documents)) {
        std::string aside = documents + "/" + name;
        if (name.rfind(kAsidePrefix, 0) != 0 || name == kAsideOriginFile || !base::FileManager::isDirectory(aside))
            continue;
        if (recoverAside(documents, aside))
            ++recovered;
    }
    return recovered;
}
