#include "Database/QuoteOrderModel.h"

#include "Database/QuoteOrderModelRows.h"
#include "Database/SQLite/BRTransaction.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Text.h"

#include <array>
#include <string_view>

using namespace quoteorder;

namespace {

// The rebuilt line table; discount_rat rides along so a rebuild keeps the stored rates.
constexpr const char* kCreateLineTable =
    "CREATE TABLE if not exists brivanta_quote_order_item (order_item_id integer  PRIMARY KEY "
    "AUTOINCREMENT DEFAULT NULL,order_id integer DEFAULT NULL,customer_info_id Varchar(32) DEFAULT "
    "NULL,vendor_id integer DEFAULT NULL,product_id integer DEFAULT NULL,order_item_sku Varchar(64) "
    "DEFAULT NULL,order_item_name Varchar(64) DEFAULT NULL,product_quantity integer DEFAULT "
    "NULL,product_item_price double DEFAULT NULL,product_final_price double DEFAULT "
    "NULL,order_item_currency Varchar(16) DEFAULT NULL,order_item_subtotal double,order_status "
    "Varchar(1) DEFAULT NULL,cdate Varchar(100) DEFAULT NULL,mdate Varchar(100) DEFAULT "
    "NULL,product_attribute TEXT DEFAULT NULL,discount_rat double)";
constexpr std::array<const char*, 16> kRebuiltLineTypes = {
    "integer", "integer", "Varchar(32)", "integer", "integer", "Varchar(64)", "Varchar(64)",
    "integer", "double", "double", "Varchar(16)", "double", "Varchar(1)", "Varchar(100)",
    "Varchar(100)", "TEXT"};
constexpr const char* kLineIndex =
    "CREATE INDEX IF NOT EXISTS idx_item_order ON brivanta_quote_order_item(order_id)";

// One sub-select per snapshot column of customerView.
constexpr std::array<std::pair<const char*, const char*>, 6> kSnapshotFields = {{
    {"Address", "address"},
    {"City", "city"},
    {"State/Province/Region", "state"},
    {"Zip Code", "zip_code"},
    {"Phone", "phone"},
    {"Bank Account", "bankAccount"},
}};
constexpr std::array<const char*, 6> kSnapshotTypes = {"Varchar(255)", "Varchar(32)", "Varchar(32)",
                                                       "Varchar(32)", "Varchar(32)", "Varchar(32)"};


// Runs the statements of one step; the first failure rolls all of them back.
bool runInTransaction(BRDatabase& db, std::initializer_list<std::string_view> statements)
{
    BRTransaction transaction(&db);
    for (auto sql : statements)
        transaction.executeUpdate(sql);
    return transaction.commit();
}

// One column of PRAGMA table_info.
struct TableColumn {
    int cid;
    std::string name;
    std::string type;
    int pk;
};

} // namespace

bool QuoteOrderModel::updateVersion()
{
    BaseDataModel::updateVersion();
    auto db = goodDatabase();
    if (!db)
        return true;

    rebuildLineTableIfNeeded();

    // Only orders whose customer still exists: a missing one must not erase the name.
    // A step that fails leaves the orders as they were; the next launch tries it again.
    if (!db->executeUpdate(
            "update brivanta_quote_order set customer_name = (select c.customer_name from "
            "brivanta_customer c where c.customer_id = brivanta_quote_order.customer_id) where "
            "customer_id <> 0 and exists (select 1 from brivanta_customer c where c.customer_id = "
            "brivanta_quote_order.customer_id)"))
        base::logf("order customer names not refreshed: %s", db->lastErrorMessage().c_str());

    auto addColumn = [](std::string_view table, std::string_view column, std::string_view type) {
        std::string alter = "ALTER TABLE " + std::string(table) + " ADD " + std::string(column) + " " +
                            std::string(type);
        addColumnIfMissing(table, column, alter);
    };
    addColumn("brivanta_quote_order", "discount_rat", "double");
    addColumn("brivanta_quote_order_item", "discount_rat", "double");
    addColumn("brivanta_quote_order", "signature", "TEXT");
    for (size_t i = 0; i < kSnapshotFields.size(); ++i)
        addColumn("brivanta_quote_order", kSnapshotFields[i].second, kSnapshotTypes[i]);
    addColumn("brivanta_quote_order", "account_id", "VARCHAR(64)");
    // Orders stored before the account was: the account their number was made with.
    if (!db->executeUpdate(kFillOrderAccounts))
        base::logf("order accounts not filled: %s", db->lastErrorMessage().c_str());

    if (db->intForQuery("select count(*) from sqlite_master where type = 'view' and name = 'customerView'") == 0) {
        std::string view = "CREATE VIEW customerView AS select t1.customer_id as customer_id";
        for (const auto& [field, column] : kSnapshotFields) {
            view += std::string(", (select t3.attribute_value from brivanta_fields_customer_attribute t2 "
                                ",brivanta_customer_attribute t3 where t3.attribute_fields_id = t2.field_id "
                                "and t1.customer_id = t3.customer_id and t2.field_name = '") +
                    field + "') as " + column;
        }
        view += " from brivanta_customer t1";
        if (!db->executeUpdate(view))
            base::logf("customerView not made: %s", db->lastErrorMessage().c_str());
    }

    // Fill only snapshots never taken, and only from a customer that exists: an address
    // captured or typed at order time stays.
    std::string snapshot = "update brivanta_quote_order set ";
    for (size_t i = 0; i < kSnapshotFields.size(); ++i) {
        const char* column = kSnapshotFields[i].second;
        snapshot += std::string(i ? ", " : "") + column + " = (select v." + column +
                    " from customerView v where v.customer_id = brivanta_quote_order.customer_id)";
    }
    snapshot += " where ";
    for (const auto& field : kSnapshotFields)
        snapshot += std::string(field.second) + " is null and ";
    snapshot += "exists (select 1 from customerView v where v.customer_id = brivanta_quote_order.customer_id)";
    if (!db->executeUpdate(snapshot))
        base::logf("order address snapshots not filled: %s", db->lastErrorMessage().c_str());

    convertOrderToLocal();
    return true;
}

bool QuoteOrderModel::rebuildLineTableIfNeeded()
{
    auto db = database();
    if (!db->tableExists("brivanta_quote_order_item"))
        return runInTransaction(*db, {kCreateLineTable, kLineIndex});

    // The rebuilt shape: the sixteen columns in order, with their types and the line id as
    // the key. Anything else is an older table.
    auto columns = readRows(
        [](BRResultSet& rs) {
            return TableColumn{rs.intForColumn("cid"), columnText(rs, "name"), columnText(rs, "type"),
                               rs.intForColumn("pk")};
        },
        "PRAGMA table_info(brivanta_quote_order_item)");
    bool shaped = true;
    bool hasRate = false;
    int count = 0;
    for (const auto& column : columns) {
        if (column.name == "discount_rat")
            hasRate = true;
        if (column.cid >= static_cast<int>(kRebuiltLineTypes.size()))
            continue;
        ++count;
        if (base::lowercased(column.name) != base::lowercased(kLineColumns[column.cid]) ||
            base::lowercased(column.type) != base::lowercased(kRebuiltLineTypes[column.cid]) ||
            column.pk != (column.cid == 0 ? 1 : 0))
            shaped = false;
    }
    if (shaped && count == static_cast<int>(kRebuiltLineTypes.size()))
        return true;

    std::string names;
    for (size_t i = 0; i < kRebuiltLineTypes.size(); ++i)
        names += std::string(i ? "," : "") + kLineColumns[i];
    if (hasRate)
        names += ",discount_rat";
    std::string copy = "INSERT INTO brivanta_quote_order_item (" + names + ") SELECT " + names +
                       " FROM temp_brivanta_quote_order_item";
    return runInTransaction(
        *db, {"ALTER TABLE brivanta_quote_order_item RENAME TO temp_brivanta_quote_order_item",
              kCreateLineTable, copy, "DROP TABLE temp_brivanta_quote_order_item", kLineIndex});
}

bool QuoteOrderModel::convertOrderToLocal()
{
    // Together, so that no line is left pointing at an order id that is gone.
    return runInTransaction(
        *database(),
        {"update brivanta_quote_order set order_id = (0 - order_id) where order_id > 0",
         "update brivanta_quote_order_item set order_id = (0 - order_id) where order_id > 0",
         "update brivanta_quote_order_item set order_item_id = (0 - order_item_id) where order_item_id > 0"});
}

