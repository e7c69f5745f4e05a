#include "Database/PriceModel.h"

#include "Common/PublicFunction.h"
#include "Database/BulkSave.h"

namespace {

constexpr const char* kCreatePriceTable =
    "CREATE TABLE if not exists brivanta_product_price (price_id integer PRIMARY KEY  NOT NULL  "
    "DEFAULT (0) ,product_id integer,vendor_group_id_list Varchar,vendor_state_id_list Varchar,"
    "vendor_id_list Varchar,customer_id_list Varchar,price double,currency Varchar,discount_price "
    "double,discount_identifier Varchar,discount_start_date Date DEFAULT (NULL) ,discount_end_date "
    "Date DEFAULT (NULL) ,discount_publish integer,tier_start_date Date DEFAULT (NULL) ,tier_end_date "
    "Date DEFAULT (NULL) ,tier_quantity_price Varchar DEFAULT (NULL) ,tier_publish integer) ;";
constexpr const char* kCreatePriceIndex =
    "CREATE INDEX IF NOT EXISTS idx_price_product ON brivanta_product_price(product_id)";
constexpr const char* kPriceColumns =
    "price_id,product_id,vendor_group_id_list,vendor_state_id_list,vendor_id_list,customer_id_list,"
    "price,currency,discount_price,discount_identifier,discount_start_date,discount_end_date,"
    "discount_publish,tier_start_date,tier_end_date,tier_quantity_price,tier_publish";

// Whether price_id alone is the table's primary key.
bool priceIdIsKey()
{
    auto keys = BaseDataModel::readRows([](BRResultSet& rs) { return rs.stringForColumn("name"); },
                                        "select name from pragma_table_info('brivanta_product_price') "
                                        "where pk > 0");
    return keys.size() == 1 && keys.front() == "price_id";
}

brivanta_product_price_Entity priceFromRow(BRResultSet& rs, double now)
{
    brivanta_product_price_Entity price;
    price.price_id = rs.intForColumn("price_id");
    price.product_id = rs.intForColumn("product_id");
    price.vendor_group_id_list = rs.stringForColumn("vendor_group_id_list");
    price.vendor_state_id_list = rs.stringForColumn("vendor_state_id_list");
    price.currency = rs.stringForColumn("currency");
    price.discount_identifier = rs.stringForColumn("discount_identifier");
    price.tier_quantity_price = rs.stringForColumn("tier_quantity_price");
    price.price = rs.doubleForColumn("price");
    price.discount_price = rs.doubleForColumn("discount_price");
    price.tier_publish = rs.intForColumn("tier_publish");
    // A missing date reads as 1970, so a window without an end is closed.
    double start = rs.doubleForColumn("discount_start_date");
    double end = rs.doubleForColumn("discount_end_date");
    price.discount_start_date = base::Date(start);
    price.discount_end_date = base::Date(end);
    price.tier_start_date = base::Date(rs.doubleForColumn("tier_start_date"));
    price.tier_end_date = base::Date(rs.doubleForColumn("tier_end_date"));
    price.discontRat = PublicFunction::shownDiscountRatFromAbsolute(rs.doubleForColumn("discount_rat"));
    price.discount_flag = start <= now && now <= end && price.price >= 0;
    return price;
}

} // namespace

brivanta_product_price_Entity PriceModel::getPriceEntityByProductId(int productId)
{
    double now = PublicFunction::currentTimeInterval();
    // Several rows for one product: the last one's values remain.
    auto rows = readRows([now](BRResultSet& rs) { return priceFromRow(rs, now); },
                         "select * from brivanta_product_price where product_id = ?", productId);
    return rows.empty() ? brivanta_product_price_Entity{} : rows.back();
}

double PriceModel::getPriceByProductId(int productId)
{
    auto prices = readRows([](BRResultSet& rs) { return rs.doubleForColumnIndex(0); },
                           "select price from brivanta_product_price where product_id = ?", productId);
    return prices.empty() ? 0 : prices.back();
}

std::string PriceModel::getpriceCurrencyByProductId(int productId)
{
    auto currencies = readRows([](BRResultSet& rs) { return rs.stringForColumnIndex(0).value_or(""); },
                               "select currency from brivanta_product_price where product_id = ?", productId);
    return currencies.empty() ? std::string() : currencies.back();
}

bool PriceModel::saveToDatabasePrice(const std::optional<std::vector<brivanta_product_price_Entity>>& prices)
{
    if (!prices)
        return false;
    BulkSave save("saveToDatabasePrice");
    for (const auto& p : *prices) {
        // discontRat goes in as it came from the server: the stored (absolute) rate.
        if (!save.run("INSERT or REPLACE INTO brivanta_product_price(price_id,product_id,"
                      "vendor_group_id_list,vendor_state_id_list,vendor_id_list,customer_id_list,price,"
                      "currency,discount_price,discount_identifier,discount_start_date,"
                      "discount_end_date,discount_publish,tier_start_date,tier_end_date,"
                      "tier_quantity_price,tier_publish,discount_rat) "
                      "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?);",
                      p.price_id, p.product_id, p.vendor_group_id_list, p.vendor_state_id_list,
                      p.vendor_id_list, p.customer_id_list, p.price, p.currency, p.discount_price,
                      p.discount_identifier, p.discount_start_date, p.discount_end_date,
                      p.discount_publish, p.tier_start_date, p.tier_end_date, p.tier_quantity_price,
                      p.tier_publish, p.discontRat))
            break;
    }
    return save.commit();
}

bool PriceModel::updateVersion()
{
    BaseDataModel::updateVersion();
    // Independent steps: a table already rebuilt may still lack the rate, and the reverse.
    bool rebuilt = alterProductPriceTable();
    bool rate = alterProductPriceTableAddDiscountRat();
    return rebuilt && rate;
}

bool PriceModel::alterProductPriceTable()
{
    auto db = goodDatabase();
    if (!db)
        return false;
    if (!db->tableExists("brivanta_product_price"))
        return db->executeUpdate(kCreatePriceTable) && db->executeUpdate(kCreatePriceIndex);
    if (priceIdIsKey())
        return true;

    bool withRate = db->columnExistsColumnName("brivanta_product_price", "discount_rat");
    std::string columns = kPriceColumns;
    if (withRate)
        columns += ",discount_rat";
    BulkSave save("alterProductPriceTable");
    save.run("ALTER TABLE brivanta_product_price RENAME TO temp_brivanta_product_price;");
    save.run(kCreatePriceTable);
    if (withRate)
        save.run("ALTER TABLE brivanta_product_price ADD discount_rat double ");
    save.run("INSERT INTO brivanta_product_price(" + columns + ") SELECT " + columns
             + " FROM temp_brivanta_product_price");
    // The old index went with the old table.
    save.run("DROP TABLE temp_brivanta_product_price");
    save.run(kCreatePriceIndex);
    return save.commit();
}

bool PriceModel::alterProductPriceTableAddDiscountRat()
{
    auto db = goodDatabase();
    if (!db || !db->tableExists("brivanta_product_price"))
        return false;
    return addColumnIfMissing("brivanta_product_price", "discount_rat",
                              "ALTER TABLE brivanta_product_price ADD discount_rat double ");
}
