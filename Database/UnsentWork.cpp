#include "Database/UnsentWork.h"

#include "Database/QuoteOrderModelRows.h"
#include "Database/SQLite/BRDatabaseBlocks.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"

#include <algorithm>
#include <map>
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
    {"brivanta_customer_changed", "1"},
    {"brivanta_customer_sent", "1"},
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

std::string staged(const char* table)
{
    return std::string("temp.carry_") + table;
}

// The table's rows that are carried, with the columns both files have, copied into a staging
// table of the connection, where colliding ids are renumbered before anything reaches the
// new database. NO when it cannot be staged; an old file without the table stages nothing.
bool stageTable(BRDatabase& db, const CarriedTable& table, bool changesCounted, std::vector<std::string>& columns)
{
    columns.clear();
    auto from = columnsOf(db, kSchema, table.name);
    auto to = columnsOf(db, "main", table.name);
    if (!from || !to)
        return false;
    std::set<std::string> target(to->begin(), to->end());
    std::string list;
    for (const auto& column : *from) {
        if (!target.count(column))
            continue;
        columns.push_back(column);
        list += (list.empty() ? "" : ",") + quoted(column);
    }
    if (!db.executeUpdate("DROP TABLE IF EXISTS " + staged(table.name)))
        return false;
    // A table the old file never had holds nothing to carry.
    if (from->empty())
        return true;
    if (list.empty())
        return false;
    std::string where = table.where;
    if (table.ofChangedCustomers && changesCounted)
        where += std::string(" or customer_id in (select customer_id from ") + kSchema + "." + kChangedCustomers + ")";
    if (!db.executeUpdate("CREATE TABLE " + staged(table.name) + " AS SELECT " + list + " FROM " + kSchema + "." +
                          table.name + " WHERE " + where)) {
        base::logf("staging %s failed: %s", table.name, db.lastErrorMessage().c_str());
        return false;
    }
    return true;
}

using Columns = std::map<std::string, std::vector<std::string>>;

bool has(const Columns& columns, const char* table, const char* column)
{
    auto found = columns.find(table);
    return found != columns.end() && std::find(found->second.begin(), found->second.end(), column) != found->second.end();
}

// Renumbers a staged table's key column, and the columns that name it, by old -> new.
bool renumber(BRDatabase& db, const Columns& columns, const std::map<int, int>& moves,
              std::initializer_list<std::pair<const char*, const char*>> uses)
{
    if (moves.empty())
        return true;
    if (!db.executeUpdate("CREATE TEMP TABLE IF NOT EXISTS carry_moves(old INTEGER PRIMARY KEY, new INTEGER)") ||
        !db.executeUpdate("DELETE FROM temp.carry_moves"))
        return false;
    for (const auto& [from, to] : moves) {
        if (!db.executeUpdate("INSERT INTO temp.carry_moves(old, new) VALUES(?, ?)", from, to))
            return false;
    }
    for (const auto& [table, column] : uses) {
        if (!has(columns, table, column))
            continue;
        std::string name = staged(table), key = quoted(column);
        // One statement per table: the staging tables have no key to trip over halfway.
        if (!db.executeUpdate("UPDATE " + name + " SET " + key + " = (SELECT new FROM temp.carry_moves WHERE old = " +
                              name + "." + key + ") WHERE " + key + " IN (SELECT old FROM temp.carry_moves)"))
            return false;
    }
    return true;
}

// The smallest local id the table's key has in the new database and the staged rows, or 0.
int lowestId(BRDatabase& db, const char* table, const char* key)
{
    return db.intForQuery(std::string("SELECT min(0, ifnull((SELECT min(") + key + ") FROM main." + table +
                          "), 0), ifnull((SELECT min(" + key + ") FROM " + staged(table) + "), 0))");
}

// The staged rows whose key is a local (negative) id another row of the new database holds.
// Each lands on the local row that is the same but for its id (the same work carried before,
// renumbered then), or else gets a fresh local id below every other, in the order of their ids.
std::optional<std::map<int, int>> collidingLocalIds(BRDatabase& db, const Columns& columns, const char* table,
                                                    const char* key)
{
    std::map<int, int> moves;
    auto found = columns.find(table);
    if (found == columns.end() || !has(columns, table, key))
        return moves;
    std::string same;
    for (const auto& column : found->second) {
        if (column != key)
            same += " AND m." + quoted(column) + " IS c." + quoted(column);
    }
    std::string name = staged(table), k = quoted(key);
    // The twin at the same id first, else the one nearest 0.
    auto rs = db.executeQuery("SELECT c." + k + ", (SELECT ifnull(max(CASE WHEN m." + k + " = c." + k + " THEN m." + k +
                              " END), max(m." + k + ")) FROM main." + table + " m WHERE m." + k + " < 0" + same +
                              ") FROM " + name + " c WHERE c." + k + " < 0 AND EXISTS (SELECT 1 FROM main." + table +
                              " m WHERE m." + k + " = c." + k + ") ORDER BY c." + k + " DESC");
    if (!rs) {
        base::logf("renumbering %s failed: %s", table, db.lastErrorMessage().c_str());
        return std::nullopt;
    }
    std::vector<std::pair<int, std::optional<int>>> colliding;
    while (rs->next())
        colliding.emplace_back(rs->intForColumnIndex(0),
                               rs->columnIndexIsNull(1) ? std::nullopt : std::optional<int>(rs->intForColumnIndex(1)));
    rs->close();
    int next = lowestId(db, table, key);
    for (const auto& [id, twin] : colliding) {
        if (twin) {
            if (*twin != id)
                moves[id] = *twin;
        } else {
            moves[id] = --next;
        }
    }
    return moves;
}

// Orders: the same order number is the same order, carried into its row; a local id another
// order holds gets a fresh one. Lines follow their order.
std::optional<std::map<int, int>> orderMoves(BRDatabase& db, const Columns& columns)
{
    std::map<int, int> moves;
    if (!has(columns, "brivanta_quote_order", "order_id") || !has(columns, "brivanta_quote_order", "order_number"))
        return moves;
    auto rs = db.executeQuery("SELECT c.order_id, (SELECT m.order_id FROM main.brivanta_quote_order m WHERE "
                              "m.order_number = c.order_number AND ifnull(c.order_number, '') <> '' LIMIT 1), "
                              "EXISTS (SELECT 1 FROM main.brivanta_quote_order m WHERE m.order_id = c.order_id) FROM " +
                              staged("brivanta_quote_order") + " c ORDER BY c.order_id DESC");
    if (!rs)
        return std::nullopt;
    struct Row {
        int id;
        std::optional<int> sameNumber;
        bool taken;
    };
    std::vector<Row> rows;
    while (rs->next())
        rows.push_back({rs->intForColumnIndex(0),
                        rs->columnIndexIsNull(1) ? std::nullopt : std::optional<int>(rs->intForColumnIndex(1)),
                        rs->intForColumnIndex(2) != 0});
    rs->close();
    int next = -db.intForQuery("SELECT max(ifnull((SELECT max(abs(order_id)) FROM main.brivanta_quote_order), 0), "
                               "ifnull((SELECT max(abs(order_id)) FROM " + staged("brivanta_quote_order") + "), 0))");
    for (const auto& row : rows) {
        if (row.sameNumber) {
            if (*row.sameNumber != row.id)
                moves[row.id] = *row.sameNumber;
        } else if (row.taken && row.id < 0) {
            moves[row.id] = --next;
        }
    }
    return moves;
}

// Local ids of two database generations start from the same numbers: before the carried rows
// go in, each one whose id stands for another row there is given a fresh id, and the rows
// that name it follow.
bool renumberCollisions(BRDatabase& db, const Columns& columns)
{
    auto customers = collidingLocalIds(db, columns, "brivanta_customer", "customer_id");
    if (!customers ||
        !renumber(db, columns, *customers,
                  {{"brivanta_customer", "customer_id"}, {"brivanta_customer_address", "customer_id"},
                   {"brivanta_customer_attribute", "customer_id"}, {"brivanta_customer_contact", "customer_id"},
                   {"brivanta_quote_order", "customer_id"}, {kChangedCustomers, "customer_id"},
                   {"brivanta_customer_changed", "customer_id"}, {"brivanta_customer_sent", "customer_id"}}))
        return false;
    constexpr std::pair<const char*, const char*> kChildren[] = {{"brivanta_customer_address", "id"},
                                                                  {"brivanta_customer_attribute", "attribute_id"},
                                                                  {"brivanta_customer_contact", "contact_id"}};
    for (const auto& [table, key] : kChildren) {
        auto moves = collidingLocalIds(db, columns, table, key);
        if (!moves || !renumber(db, columns, *moves, {{table, key}}))
            return false;
    }
    auto orders = orderMoves(db, columns);
    if (!orders ||
        !renumber(db, columns, *orders, {{"brivanta_quote_order", "order_id"}, {"brivanta_quote_order_item", "order_id"}}))
        return false;
    // A carried order brings all its lines: the ones stored for it go.
    if (has(columns, "brivanta_quote_order", "order_id") &&
        !db.executeUpdate("DELETE FROM main.brivanta_quote_order_item WHERE order_id IN (SELECT order_id FROM " +
                          staged("brivanta_quote_order") + ")"))
        return false;
    // Line ids are the device's own whatever their sign.
    if (!has(columns, "brivanta_quote_order_item", "order_item_id"))
        return true;
    auto rs = db.executeQuery("SELECT c.order_item_id FROM " + staged("brivanta_quote_order_item") +
                              " c WHERE EXISTS (SELECT 1 FROM main.brivanta_quote_order_item m WHERE m.order_item_id = "
                              "c.order_item_id) ORDER BY abs(c.order_item_id)");
    if (!rs)
        return false;
    std::vector<int> taken;
    while (rs->next())
        taken.push_back(rs->intForColumnIndex(0));
    rs->close();
    std::map<int, int> lines;
    int next = -db.intForQuery("SELECT max(ifnull((SELECT max(abs(order_item_id)) FROM main.brivanta_quote_order_item), 0), "
                               "ifnull((SELECT max(abs(order_item_id)) FROM " + staged("brivanta_quote_order_item") +
                               "), 0))");
    for (int id : taken)
        lines[id] = --next;
    return renumber(db, columns, lines, {{"brivanta_quote_order_item", "order_item_id"}});
}

bool insertStaged(BRDatabase& db, const char* table, const std::vector<std::string>& columns)
{
    std::string list;
    for (const auto& column : columns)
        list += (list.empty() ? "" : ",") + quoted(column);
    if (!db.executeUpdate("INSERT OR REPLACE INTO main." + std::string(table) + "(" + list + ") SELECT " + list +
                          " FROM " + staged(table))) {
        base::logf("carrying %s failed: %s", table, db.lastErrorMessage().c_str());
        return false;
    }
    return true;
}

bool carryAll(BRDatabase& db, bool changesCounted)
{
    Columns columns;
    for (const auto& table : kTables) {
        std::vector<std::string> list;
        if (!stageTable(db, table, changesCounted, list))
            return false;
        if (!list.empty())
            columns[table.name] = std::move(list);
    }
    if (!renumberCollisions(db, columns))
        return false;
    for (const auto& [table, list] : columns) {
        if (!insertStaged(db, table.c_str(), list))
            return false;
    }
    // Orders from a file older than the account column are their number's account's.
    return db.executeUpdate(quoteorder::kFillOrderAccounts);
}

// The staging tables live as long as the connection unless dropped; a leftover is only space.
void dropStaging(BRDatabase& db)
{
    for (const auto& table : kTables) {
        if (!db.executeUpdate("DROP TABLE IF EXISTS " + staged(table.name)))
            base::logf("staging of %s stays: %s", table.name, db.lastErrorMessage().c_str());
    }
    if (!db.executeUpdate("DROP TABLE IF EXISTS temp.carry_moves"))
        base::logf("staging of renumbered ids stays: %s", db.lastErrorMessage().c_str());
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
        ok = carryAll(*db, changesCounted);
        if (!ok)
            db->rollback();
        else
            ok = brdb::commitOrRollback(*db);
        dropStaging(*db);
    }
    if (!db->executeUpdate("DETACH DATABASE carried"))
        base::logf("the old database stays attached: %s", db->lastErrorMessage().c_str());
    return ok;
}

// --- A resync cut short ------------------------------------------------------------------

namespace {

constexpr const char* kDatabaseFile = "/brivanta_lite.sqlite";

// A client folder's name as it may stand in Documents; nothing when it would reach outside.
std::optional<std::string> folderName(std::string name)
{
    while (!name.empty() && (name.back() == '\n' || name.back() == ' '))
        name.pop_back();
    if (name.empty() || name[0] == '.' || name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
        return std::nullopt;
    return name;
}

// The company the folder's own database names: a folder left by a build that wrote no origin
// file is its company's, in the lower case client folders are named in.
std::optional<std::string> companyOfDatabase(const std::string& aside)
{
    if (!base::FileManager::exists(aside + kDatabaseFile))
        return std::nullopt;
    BRDatabase db(aside + kDatabaseFile);
    if (!db.openWithFlags(SQLITE_OPEN_READONLY))
        return std::nullopt;
    struct Source {
        const char* table;
        const char* sql;
    };
    constexpr Source kSources[] = {
        {"Brivanta_component_config", "SELECT client_id FROM Brivanta_component_config WHERE ifnull(client_id, '') "
                                      "<> '' GROUP BY lower(client_id) ORDER BY count(*) DESC LIMIT 1"},
        {"brivanta_login_user", "SELECT clientId FROM brivanta_login_user WHERE ifnull(clientId, '') <> '' "
                                "ORDER BY lastLoginTime DESC LIMIT 1"},
    };
    std::optional<std::string> company;
    for (const auto& source : kSources) {
        if (!company && db.tableExists(source.table))
            company = db.stringForQuery(source.sql);
    }
    db.close();
    if (!company)
        return std::nullopt;
    std::string lower;
    for (char c : *company)
        lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return folderName(lower);
}

// The client folder's name as the aside folder recorded it, or as its database names it.
std::optional<std::string> asideOrigin(const std::string& aside)
{
    if (auto text = base::FileManager::readTextFile(aside + "/" + UnsentWork::kAsideOriginFile))
        return folderName(*text);
    return companyOfDatabase(aside);
}

bool recoverAside(const std::string& documents, const std::string& aside)
{
    auto origin = asideOrigin(aside);
    if (!origin) {
        base::logf("%s names no client folder: it stays", aside.c_str());
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
    // Oldest first, one at a time: work carried later is newer and lands over what came before.
    std::vector<std::pair<double, std::string>> asides;
    for (const auto& name : base::FileManager::contentsOfDirectory(documents)) {
        std::string aside = documents + "/" + name;
        if (name.rfind(kAsidePrefix, 0) != 0 || name == kAsideOriginFile || !base::FileManager::isDirectory(aside))
            continue;
        auto made = base::FileManager::modificationDate(aside);
        asides.emplace_back(made ? made->timeIntervalSince1970() : 0.0, aside);
    }
    std::sort(asides.begin(), asides.end());
    int recovered = 0;
    for (const auto& [made, aside] : asides) {
        if (recoverAside(documents, aside))
            ++recovered;
    }
    return recovered;
}
