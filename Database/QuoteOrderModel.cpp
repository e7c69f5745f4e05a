#include "Database/QuoteOrderModel.h"

#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Database/ProductModel.h"
#include "Database/SQLite/BRDatabase.h"
#include "Database/SQLite/BRResultSet.h"
#include "Database/SQLite/BRTransaction.h"
#include "Network/BRJsonWriter.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Text.h"
#include "Protocol/LoginMode.h"

#include <array>
#include <map>
#include <set>
#include <string_view>

namespace {

constexpr const char* kOrderDateFormat = "MM/dd/yyyy HH:mm:ss";

// Columns in the order the save statements list them.
constexpr std::array<const char*, 31> kOrderColumns = {
    "order_id", "customer_id", "customer_info_id", "customer_name", "vendor_id", "order_number",
    "order_total", "order_subtotal", "order_tax", "order_tax_details", "order_shipping",
    "order_shipping_tax", "coupon_discount", "coupon_code", "order_discount", "order_currency",
    "order_status", "cdate", "mdate", "ship_method", "customer_note", "ip_address", "uploaded",
    "discount_rat", "signature", "address", "city", "state", "zip_code", "phone", "bankAccount"};
constexpr std::array<const char*, 17> kLineColumns = {
    "order_item_id", "order_id", "customer_info_id", "vendor_id", "product_id", "order_item_sku",
    "order_item_name", "product_quantity", "product_item_price", "product_final_price",
    "order_item_currency", "order_item_subtotal", "order_status", "cdate", "mdate",
    "product_attribute", "discount_rat"};

template <size_t N>
std::string insertStatement(const char* table, const std::array<const char*, N>& columns)
{
    std::string names, marks;
    for (const char* column : columns) {
        names += names.empty() ? "" : ",";
        names += column;
        marks += marks.empty() ? "?" : ",?";
    }
    return std::string("INSERT OR REPLACE INTO ") + table + " (" + names + ") VALUES (" + marks + ")";
}

const std::string& insertOrderSQL()
{
    static const std::string sql = insertStatement("brivanta_quote_order", kOrderColumns);
    return sql;
}

const std::string& insertLineSQL()
{
    static const std::string sql = insertStatement("brivanta_quote_order_item", kLineColumns);
    return sql;
}

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

// "MM/dd/yyyy HH:mm:ss" rearranged so that text order is time order.
#define BR_ORDER_DATE_KEY "(substr(cdate,7,4)||substr(cdate,1,2)||substr(cdate,4,2)||substr(cdate,12))"
// The logged-in account's orders: the number starts with the account id and "_", exactly.
#define BR_ACCOUNT_ORDERS "uploaded = 1 AND substr(order_number,1,length(?1)+1) = ?1 || '_'"

std::function<bool()>& customerOnShowHook()
{
    static std::function<bool()> hook;
    return hook;
}

std::shared_ptr<BRDatabase> database()
{
    return BRDatabase::sharedDataBase();
}

base::Value text(const std::optional<std::string>& value)
{
    return base::Value(value.value_or(""));
}

// "\", "%" and "_" taken literally by LIKE ... ESCAPE '\'.
std::string likeLiteral(std::string_view raw)
{
    std::string escaped;
    for (char c : raw) {
        if (c == '\\' || c == '%' || c == '_')
            escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string columnText(BRResultSet& rs, const char* column)
{
    return rs.stringForColumn(column).value_or("");
}

std::optional<base::Date> orderDate(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    return base::DateFormatter(kOrderDateFormat).dateFromString(*text);
}

// Runs the statements of one step; the first failure rolls all of them back.
bool runInTransaction(BRDatabase& db, std::initializer_list<std::string_view> statements)
{
    BRTransaction transaction(&db);
    for (auto sql : statements)
        transaction.executeUpdate(sql);
    return transaction.commit();
}

base::Value lineDictionary(BRResultSet& rs)
{
    base::Dictionary line;
    line.set("order_item_id", rs.intForColumn("order_item_id"));
    line.set("order_id", rs.intForColumn("order_id"));
    line.set("customer_info_id", columnText(rs, "customer_info_id"));
    line.set("vendor_id", rs.intForColumn("vendor_id"));
    line.set("product_id", rs.intForColumn("product_id"));
    line.set("order_item_sku", columnText(rs, "order_item_sku"));
    line.set("order_item_name", columnText(rs, "order_item_name"));
    line.set("product_quantity", rs.intForColumn("product_quantity"));
    line.set("product_item_price", rs.doubleForColumn("product_item_price"));
    line.set("product_final_price", rs.doubleForColumn("product_final_price"));
    line.set("order_item_currency", columnText(rs, "order_item_currency"));
    line.set("order_item_subtotal", rs.doubleForColumn("order_item_subtotal"));
    line.set("order_status", rs.intForColumn("order_status"));
    line.set("cdate", columnText(rs, "cdate"));
    line.set("mdate", columnText(rs, "mdate"));
    line.set("product_attribute", columnText(rs, "product_attribute"));
    line.set("discount_rat", rs.doubleForColumn("discount_rat"));
    return line;
}

base::Dictionary orderDictionary(BRResultSet& rs, int vendorId)
{
    base::Dictionary order;
    order.set("order_id", rs.intForColumn("order_id"));
    int customerId = rs.intForColumn("customer_id");
    // A customer made on the device is unknown to the server until its own upload.
    order.set("customer_id", customerId < 0 ? 0 : customerId);
    order.set("customer_name", columnText(rs, "customer_name"));
    order.set("customer_info_id", columnText(rs, "customer_info_id"));
    order.set("vendor_id", vendorId);
    order.set("order_number", columnText(rs, "order_number"));
    order.set("order_total", rs.doubleForColumn("order_total"));
    order.set("order_subtotal", rs.doubleForColumn("order_subtotal"));
    order.set("order_tax", rs.doubleForColumn("order_tax"));
    order.set("order_tax_details", columnText(rs, "order_tax_details"));
    order.set("order_shipping", rs.doubleForColumn("order_shipping"));
    order.set("order_shipping_tax", rs.doubleForColumn("order_shipping_tax"));
    order.set("coupon_discount", rs.doubleForColumn("coupon_discount"));
    order.set("coupon_code", columnText(rs, "coupon_code"));
    order.set("order_discount", rs.doubleForColumn("order_discount"));
    order.set("order_currency", columnText(rs, "order_currency"));
    order.set("order_status", rs.intForColumn("order_status"));
    order.set("cdate", columnText(rs, "cdate"));
    order.set("mdate", columnText(rs, "mdate"));
    order.set("ship_method", columnText(rs, "ship_method"));
    order.set("customer_note", columnText(rs, "customer_note"));
    order.set("ip_address", columnText(rs, "ip_address"));
    order.set("uploaded", rs.boolForColumn("uploaded"));
    order.set("discount_rats", rs.doubleForColumn("discount_rat"));
    order.set("signature", columnText(rs, "signature"));
    order.set("address", columnText(rs, "address"));
    order.set("city", columnText(rs, "city"));
    order.set("state", columnText(rs, "state"));
    order.set("zip_code", columnText(rs, "zip_code"));
    order.set("phone", columnText(rs, "phone"));
    order.set("bankAccount", columnText(rs, "bankAccount"));
    return order;
}

// A server dictionary without the members that are not columns, and with its
// "discountRate" as discount_rat (0 when missing or not numeric).
base::Dictionary historyRow(const base::Dictionary& source)
{
    base::Dictionary row = source;
    row.remove("orderItemList");
    row.remove("clientId");
    const base::Value* rate = source.find("discountRate");
    row.set("discount_rat", rate ? rate->toDouble(0) : 0.0);
    return row;
}

template <size_t N>
std::vector<base::Value> rowValues(const base::Dictionary& row, const std::array<const char*, N>& columns)
{
    std::vector<base::Value> values;
    values.reserve(N);
    for (const char* column : columns) {
        const base::Value* value = row.find(column);
        values.push_back(value ? *value : base::Value(""));
    }
    return values;
}

} // namespace

void QuoteOrderModel::setCustomerOnShowHook(std::function<bool()> hook)
{
    customerOnShowHook() = std::move(hook);
}

bool QuoteOrderModel::isCustomerOnShow()
{
    const auto& hook = customerOnShowHook();
    return hook ? hook() : true;
}

// --- Upgrade ----------------------------------------------------------------------------

bool QuoteOrderModel::updateVersion()
{
    BaseDataModel::updateVersion();
    auto db = database();
    if (!db || !db->goodConnection())
        return true;

    rebuildLineTableIfNeeded();

    // Only orders whose customer still exists: a missing one must not erase the name.
    db->executeUpdate(
        "update brivanta_quote_order set customer_name = (select c.customer_name from "
        "brivanta_customer c where c.customer_id = brivanta_quote_order.customer_id) where "
        "customer_id <> 0 and exists (select 1 from brivanta_customer c where c.customer_id = "
        "brivanta_quote_order.customer_id)");

    addColumnIfMissing("brivanta_quote_order", "discount_rat", "double");
    addColumnIfMissing("brivanta_quote_order_item", "discount_rat", "double");
    addColumnIfMissing("brivanta_quote_order", "signature", "TEXT");
    for (size_t i = 0; i < kSnapshotFields.size(); ++i)
        addColumnIfMissing("brivanta_quote_order", kSnapshotFields[i].second, kSnapshotTypes[i]);

    if (db->intForQuery("select count(*) from sqlite_master where type = 'view' and name = 'customerView'") == 0) {
        std::string view = "CREATE VIEW customerView AS select t1.customer_id as customer_id";
        for (const auto& [field, column] : kSnapshotFields) {
            view += std::string(", (select t3.attribute_value from brivanta_fields_customer_attribute t2 "
                                ",brivanta_customer_attribute t3 where t3.attribute_fields_id = t2.field_id "
                                "and t1.customer_id = t3.customer_id and t2.field_name = '") +
                    field + "') as " + column;
        }
        view += " from brivanta_customer t1";
        db->executeUpdate(view);
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
    db->executeUpdate(snapshot);

    convertOrderToLocal();
    return true;
}

void QuoteOrderModel::addColumnIfMissing(const char* table, const char* column, const char* type)
{
    auto db = database();
    if (db->columnExistsColumnName(table, column))
        return;
    db->executeUpdate(std::string("ALTER TABLE ") + table + " ADD " + column + " " + type);
}

bool QuoteOrderModel::rebuildLineTableIfNeeded()
{
    auto db = database();
    if (!db->tableExists("brivanta_quote_order_item"))
        return runInTransaction(*db, {kCreateLineTable, kLineIndex});

    // The rebuilt shape: the sixteen columns in order, with their types and the line id as
    // the key. Anything else is an older table.
    bool shaped = true;
    bool hasRate = false;
    int count = 0;
    if (auto rs = db->executeQuery("PRAGMA table_info(brivanta_quote_order_item)")) {
        while (rs->next()) {
            int cid = rs->intForColumn("cid");
            std::string name = columnText(*rs, "name");
            if (name == "discount_rat")
                hasRate = true;
            if (cid >= static_cast<int>(kRebuiltLineTypes.size()))
                continue;
            ++count;
            if (base::lowercased(name) != base::lowercased(kLineColumns[cid]) ||
                base::lowercased(columnText(*rs, "type")) != base::lowercased(kRebuiltLineTypes[cid]) ||
                rs->intForColumn("pk") != (cid == 0 ? 1 : 0))
                shaped = false;
        }
    }
    if (shaped && count == static_cast<int>(kRebuiltLineTypes.size()))
        return true;

    std::string columns;
    for (size_t i = 0; i < kRebuiltLineTypes.size(); ++i)
        columns += std::string(i ? "," : "") + kLineColumns[i];
    if (hasRate)
        columns += ",discount_rat";
    std::string copy = "INSERT INTO brivanta_quote_order_item (" + columns + ") SELECT " + columns +
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

// --- Reading ----------------------------------------------------------------------------

std::vector<QuoteOrderModel::Order> QuoteOrderModel::fetchQuoteOrdersCondition(int kind, const Text& search)
{
    std::vector<Order> orders;
    auto db = database();
    if (!db)
        return orders;
    std::string sql = "SELECT * FROM brivanta_quote_order WHERE 1 = 1 ";
    if (kind == 2)
        sql += "and uploaded = 0 ";
    else if (kind == 1)
        sql += "and uploaded = 1 ";
    std::vector<base::Value> args;
    if (search && !base::trimmingWhitespace(*search).empty()) {
        sql += "and (lower(customer_name) like '%' || ?1 || '%' ESCAPE '\\' or lower(order_number) "
               "like '%' || ?1 || '%' ESCAPE '\\') ";
        args.emplace_back(likeLiteral(base::lowercased(*search)));
    }
    // Equal dates: the larger local id was made later.
    sql += "order by " BR_ORDER_DATE_KEY " desc, abs(order_id) desc";

    auto rs = db->executeQueryWithArgumentsInArray(sql, args);
    while (rs && rs->next()) {
        auto order = std::make_shared<QuoteOrderEntity>(QuoteOrderEntity::FromStorage{});
        order->setSerial(rs->intForColumn("order_id"));
        order->setCustomerId(rs->intForColumn("customer_id"));
        order->setCustomerName(columnText(*rs, "customer_name"));
        order->setCustomerAddress(columnText(*rs, "address"));
        order->setCity(columnText(*rs, "city"));
        order->setState(columnText(*rs, "state"));
        order->setZip_code(columnText(*rs, "zip_code"));
        order->setPhoneNumber(columnText(*rs, "phone"));
        order->setBankAccount(columnText(*rs, "bankAccount"));
        order->setNumber(columnText(*rs, "order_number"));
        order->setSignature(columnText(*rs, "signature"));
        order->setCustomerInfo(rs->stringForColumn("customer_info_id"));
        order->setSubtotal(rs->doubleForColumn("order_subtotal"));
        order->setTax(rs->doubleForColumn("order_tax"));
        order->setTaxDetails(rs->stringForColumn("order_tax_details"));
        order->setShipping(rs->doubleForColumn("order_shipping"));
        order->setShippingTax(rs->doubleForColumn("order_shipping_tax"));
        order->setCouponDiscount(rs->doubleForColumn("coupon_discount"));
        order->setCouponCode(rs->stringForColumn("coupon_code"));
        order->setDiscount(rs->doubleForColumn("order_discount"));
        order->setCurrency(rs->stringForColumn("order_currency"));
        order->setStatus(static_cast<signed char>(rs->intForColumn("order_status")));
        order->setCdate(rs->stringForColumn("cdate"));
        order->setMdate(rs->stringForColumn("mdate"));
        order->setShippingMethod(rs->stringForColumn("ship_method"));
        order->setCustomerNote(rs->stringForColumn("customer_note"));
        order->setIpAddress(rs->stringForColumn("ip_address"));
        order->setUploaded(rs->boolForColumn("uploaded"));
        order->setDiscountRat(PublicFunction::shownDiscountRatFromAbsolute(rs->doubleForColumn("discount_rat")));
        order->setUnsaved(false);
        orders.push_back(std::move(order));
    }
    ProductCache products;
    for (auto& order : orders)
        order->setItems(linesOfOrder(order->serial(), products));
    return orders;
}

std::vector<QuoteOrderModel::Line> QuoteOrderModel::fetchQuoteOrderItemsWithQuoteOrder(int orderId)
{
    ProductCache products;
    return linesOfOrder(orderId, products);
}

std::vector<QuoteOrderModel::Line> QuoteOrderModel::linesOfOrder(int orderId, ProductCache& seen)
{
    std::vector<Line> lines;
    auto db = database();
    if (!db || orderId == 0)
        return lines;
    auto rs = db->executeQuery("SELECT * FROM brivanta_quote_order_item WHERE order_id = ?", orderId);
    std::vector<int> productIds;
    while (rs && rs->next()) {
        auto line = std::make_shared<QuoteOrderItemEntity>();
        line->setSerial(rs->intForColumn("order_item_id"));
        line->setOrderID(rs->intForColumn("order_id"));
        line->setCustomerInfo(rs->stringForColumn("customer_info_id"));
        productIds.push_back(rs->intForColumn("product_id"));
        line->setSku(rs->stringForColumn("order_item_sku"));
        line->setName(rs->stringForColumn("order_item_name"));
        line->setQuantity(rs->intForColumn("product_quantity"));
        line->setPrice(rs->doubleForColumn("product_item_price"));
        line->setFinalPrice(rs->doubleForColumn("product_final_price"));
        line->setCurrency(rs->stringForColumn("order_item_currency"));
        line->setSubtotal(rs->doubleForColumn("order_item_subtotal"));
        line->setStatus(static_cast<signed char>(rs->intForColumn("order_status")));
        line->setCdate(rs->stringForColumn("cdate"));
        line->setMdate(rs->stringForColumn("mdate"));
        line->setAttributes(rs->stringForColumn("product_attribute"));
        line->setDiscontRat(PublicFunction::shownDiscountRatFromAbsolute(rs->doubleForColumn("discount_rat")));
        lines.push_back(std::move(line));
    }
    // The products come after the lines' cursor is closed: the product model runs its own
    // statements on the same connection.
    auto manager = DataAccessManager::sharedDataModel();
    const auto& products = manager->productmodel();
    for (size_t i = 0; i < lines.size(); ++i) {
        auto found = seen.find(productIds[i]);
        if (found == seen.end())
            found = seen.emplace(productIds[i], products ? products->getAllProductByProductId(productIds[i])
                                                         : std::nullopt).first;
        auto product = found->second;
        if (product)
            product->attributes = lines[i]->attributes();
        lines[i]->setProduct(std::move(product));
    }
    return lines;
}

// --- Writing ----------------------------------------------------------------------------

int QuoteOrderModel::saveQuoteOrder(const Order& order)
{
    auto db = database();
    if (!order || !db)
        return 0;

    // The ids this save hands out are given back if it fails, so a retry starts clean.
    struct Ids {
        int serial, orderID;
    };
    int oldSerial = order->serial();
    std::vector<Ids> oldLineIds;
    for (const auto& line : order->items())
        oldLineIds.push_back({line ? line->serial() : 0, line ? line->orderID() : 0});
    auto restore = [&] {
        order->setSerial(oldSerial);
        for (size_t i = 0; i < oldLineIds.size(); ++i) {
            if (const auto& line = order->items()[i]) {
                line->setSerial(oldLineIds[i].serial);
                line->setOrderID(oldLineIds[i].orderID);
            }
        }
    };

    BRTransaction transaction(db.get());
    if (order->serial() == 0)
        order->setSerial(~retriveMaxOrderID());
    int orderId = order->serial();

    // The stored lines go first, so lines removed in the editor disappear with this save.
    transaction.executeUpdate("DELETE FROM brivanta_quote_order_item WHERE order_id = ?", orderId);
    transaction.executeUpdate(
        insertOrderSQL(), orderId, order->customerId(), text(order->customerInfo()),
        text(order->customerName()), order->vendor() ? order->vendor()->serial : 0, text(order->number()),
        order->total(), order->originalTotal(), order->tax(), text(order->taxDetails()), order->shipping(),
        order->shippingTax(), order->couponDiscount(), text(order->couponCode()), order->discount(),
        text(order->currency()), static_cast<int>(order->status()), text(order->cdate()),
        text(order->mdate()), text(order->shippingMethod()), order->customerNote(),
        text(order->ipAddress()), order->isUploaded() ? 1 : 0,
        PublicFunction::absoluteDiscountRatFromShown(order->discountRat()), text(order->signature()),
        text(order->customerAddress()), text(order->city()), text(order->state()),
        text(order->zip_code()), text(order->phoneNumber()), text(order->bankAccount()));

    std::set<int> used;
    for (const auto& line : order->items()) {
        if (!line || !transaction.ok())
            continue;
        line->setOrderID(orderId);
        // Per-order serials from newItemIndex, and ids another order's line holds, would
        // overwrite that line: such a line takes a fresh id.
        int serial = line->serial();
        bool fresh = serial >= 0 || used.contains(serial) ||
                     db->intForQuery("SELECT count(*) FROM brivanta_quote_order_item WHERE order_item_id = ?",
                                     serial) > 0;
        if (fresh)
            line->setSerial(~retriveMaxOrderItemID());
        used.insert(line->serial());
        if (!saveQuoteOrderItem(line))
            transaction.markFailed();
    }
    if (!transaction.commit()) {
        restore();
        return 0;
    }
    return orderId;
}

bool QuoteOrderModel::saveQuoteOrderItem(const Line& line)
{
    if (!line)
        return true;
    auto db = database();
    if (!db)
        return false;
    if (line->serial() == 0) {
        line->setOrderID(-retriveMaxOrderID());
        line->setSerial(~retriveMaxOrderItemID());
    }
    const auto& product = line->product();
    return db->executeUpdate(insertLineSQL(), line->serial(), line->orderID(), text(line->customerInfo()),
                             line->vendor() ? line->vendor()->serial : 0, product ? product->product_id : 0,
                             text(line->sku()), text(line->name()), line->quantity(), line->price(),
                             line->finalPrice(), text(line->currency()), line->subtotal(),
                             static_cast<int>(line->status()), text(line->cdate()), text(line->mdate()),
                             text(line->attributes()),
                             PublicFunction::absoluteDiscountRatFromShown(line->discontRat()));
}

bool QuoteOrderModel::removeQuoteOrder(int orderId)
{
    auto db = database();
    if (!db)
        return false;
    BRTransaction transaction(db.get());
    transaction.executeUpdate("DELETE FROM brivanta_quote_order WHERE order_id = ?", orderId);
    transaction.executeUpdate("DELETE FROM brivanta_quote_order_item WHERE order_id = ?", orderId);
    return transaction.commit();
}

bool QuoteOrderModel::removeQuoteOrderItem(const Line& line)
{
    auto db = database();
    if (!line || !db)
        return false;
    return db->executeUpdate("DELETE FROM brivanta_quote_order_item WHERE order_item_id = ?", line->serial());
}

bool QuoteOrderModel::removeQuoteOrderItemsByQuoteOrderID(int orderId)
{
    auto db = database();
    return db && db->executeUpdate("DELETE FROM brivanta_quote_order_item WHERE order_id = ?", orderId);
}

bool QuoteOrderModel::updateOrderSignatureWithOrderId(const Text& signature, int orderId)
{
    auto db = database();
    return db && db->executeUpdate("update brivanta_quote_order set signature = ? WHERE order_id = ?",
                                   text(signature), orderId);
}

// The largest absolute id from the key's two ends: MAX(abs(id)) would read every row.
int QuoteOrderModel::retriveMaxOrderID()
{
    auto db = database();
    return db ? db->intForQuery("SELECT max(ifnull((SELECT max(order_id) FROM brivanta_quote_order),0),"
                                "ifnull((SELECT -min(order_id) FROM brivanta_quote_order),0))")
              : 0;
}

int QuoteOrderModel::retriveMaxOrderItemID()
{
    auto db = database();
    return db ? db->intForQuery(
                    "SELECT max(ifnull((SELECT max(order_item_id) FROM brivanta_quote_order_item),0),"
                    "ifnull((SELECT -min(order_item_id) FROM brivanta_quote_order_item),0))")
              : 0;
}

bool QuoteOrderModel::updateOrderTable(const std::optional<std::vector<brivanta_customer_Entity>>& customers)
{
    auto db = database();
    if (!customers || !db)
        return false;
    BRTransaction transaction(db.get());
    for (const auto& customer : *customers)
        transaction.executeUpdate("UPDATE brivanta_quote_order SET customer_id = ? where customer_id = ?",
                                  customer.customer_id, customer.pid);
    return transaction.commit();
}

// --- Upload and server ids --------------------------------------------------------------

void QuoteOrderModel::setQuoteOrdersToUploaded(int orderId)
{
    auto db = database();
    if (!db)
        return;
    if (orderId != 0) {
        db->executeUpdate("UPDATE brivanta_quote_order SET uploaded = 1 where order_id = ?", orderId);
        return;
    }
    // What was sent, not what is waiting now: an order saved while the upload was under
    // way has not reached the server.
    BRTransaction transaction(db.get());
    for (int id : m_lastSentOrderIds)
        transaction.executeUpdate("UPDATE brivanta_quote_order SET uploaded = 1 where order_id = ?", id);
    if (transaction.commit())
        m_lastSentOrderIds.clear();
}

void QuoteOrderModel::setQuoteOrdersUploadedWithOrderNumber(const Text& number)
{
    auto db = database();
    if (!db || !number || number->empty())
        return;
    db->executeUpdate("UPDATE brivanta_quote_order SET uploaded = 1 where order_number = ?", *number);
}

bool QuoteOrderModel::updateOrderIdWithCmsOrderID(int localId, int serverId)
{
    auto db = database();
    if (!db || localId == 0)
        return false;
    if (localId != serverId &&
        db->intForQuery("SELECT count(*) FROM brivanta_quote_order WHERE order_id = ?", serverId) > 0)
        return false;
    BRTransaction transaction(db.get());
    transaction.executeUpdate("UPDATE brivanta_quote_order SET order_id = ? where order_id = ?", serverId, localId);
    if (transaction.ok() && !updateOrderItemIdWithCmsOrderID(localId, serverId))
        transaction.markFailed();
    return transaction.commit();
}

bool QuoteOrderModel::updateOrderItemIdWithCmsOrderID(int localId, int serverId)
{
    auto db = database();
    if (!db || localId == 0)
        return false;
    return db->executeUpdate("UPDATE brivanta_quote_order_item SET order_id = ? where order_id = ?", serverId,
                             localId);
}

int QuoteOrderModel::getLocalOrderIdWithOrderNumber(const Text& number)
{
    auto db = database();
    if (!db || !number)
        return 0;
    int id = 0;
    auto rs = db->executeQuery("SELECT order_id FROM brivanta_quote_order WHERE order_number = ?", *number);
    while (rs && rs->next())
        id = rs->intForColumnIndex(0);
    return id;
}

int QuoteOrderModel::getOrderIDWithOrderNumber(const Text& number)
{
    return getLocalOrderIdWithOrderNumber(number);
}

// --- Statistics -------------------------------------------------------------------------

QuoteOrderModel::Text QuoteOrderModel::retriveEarliestSubmittedOrderTime()
{
    auto db = database();
    if (!db)
        return std::nullopt;
    return db->stringForQuery("SELECT cdate FROM brivanta_quote_order WHERE " BR_ACCOUNT_ORDERS
                              " AND cdate IS NOT NULL ORDER BY " BR_ORDER_DATE_KEY " ASC LIMIT 1",
                              LoginMode::sharedInstance()->acountID());
}

QuoteOrderModel::Text QuoteOrderModel::retriveLatestSubmittedOrderTime()
{
    auto db = database();
    if (!db)
        return std::nullopt;
    return db->stringForQuery("SELECT cdate FROM brivanta_quote_order WHERE " BR_ACCOUNT_ORDERS
                              " AND cdate IS NOT NULL ORDER BY " BR_ORDER_DATE_KEY " DESC LIMIT 1",
                              LoginMode::sharedInstance()->acountID());
}

double QuoteOrderModel::timeDurationOfAllSubmittedOrder()
{
    auto earliest = orderDate(retriveEarliestSubmittedOrderTime());
    auto latest = orderDate(retriveLatestSubmittedOrderTime());
    if (!earliest || !latest)
        return 0;
    return latest->timeIntervalSince(*earliest);
}

int QuoteOrderModel::numberOfAllSubmittedlOrder()
{
    auto db = database();
    if (!db)
        return 0;
    return db->intForQuery("SELECT COUNT(*) FROM brivanta_quote_order WHERE " BR_ACCOUNT_ORDERS,
                           LoginMode::sharedInstance()->acountID());
}

// --- Upload document --------------------------------------------------------------------

base::Value QuoteOrderModel::fetchUnsubmittedQuoteOrdersDic(int orderId)
{
    base::Array orders;
    std::vector<int> ids;
    if (auto db = database()) {
        std::string sql = "SELECT * FROM brivanta_quote_order WHERE uploaded = 0 ";
        std::vector<base::Value> args;
        if (orderId != 0) {
            sql += "and order_id = ?";
            args.emplace_back(orderId);
        }
        if (isCustomerOnShow())
            sql += " and length(trim(customer_name)) > 0";
        int vendorId = LoginMode::sharedInstance()->vendorId();
        auto rs = db->executeQueryWithArgumentsInArray(sql, args);
        while (rs && rs->next()) {
            ids.push_back(rs->intForColumn("order_id"));
            orders.emplace_back(orderDictionary(*rs, vendorId));
        }
    }
    for (size_t i = 0; i < orders.size(); ++i) {
        base::Value lines = fetchQuoteOrderItemsDicWithQuoteOrder(ids[i]);
        if (lines.isNull())
            lines = base::Dictionary{{"order_items", base::Array{}}};
        orders[i].asDictionary().set("order_item", std::move(lines));
    }
    if (orderId == 0)
        m_lastSentOrderIds = std::move(ids);
    return base::Dictionary{{"order", std::move(orders)}};
}

base::Value QuoteOrderModel::fetchQuoteOrderItemsDicWithQuoteOrder(int orderId)
{
    if (orderId == 0)
        return {};
    base::Array lines;
    if (auto db = database()) {
        auto rs = db->executeQuery("SELECT * FROM brivanta_quote_order_item WHERE order_id = ?", orderId);
        while (rs && rs->next())
            lines.push_back(lineDictionary(*rs));
    }
    return base::Dictionary{{"order_items", std::move(lines)}};
}

QuoteOrderModel::Text QuoteOrderModel::fetchQuoteOrdersDicString(int orderId)
{
    auto text = BRJsonWriter().stringWithObject(fetchUnsubmittedQuoteOrdersDic(orderId));
    base::log(text.value_or("(null)"));
    return text;
}

// --- History ----------------------------------------------------------------------------

bool QuoteOrderModel::updateLocalHistoryOrderFromServer(const base::Value& order)
{
    auto db = database();
    if (!order.isDictionary() || !db)
        return false;
    const base::Value& number = order["order_number"];
    // The local copy goes only if the server's copy is stored in its place.
    BRTransaction transaction(db.get());
    if (!number.isNull()) {
        int localId = getOrderIDWithOrderNumber(number.toString());
        if (localId != 0 && !removeQuoteOrder(localId))
            transaction.markFailed();
    }
    if (transaction.ok() && !saveQuoteOrderWithDic(order))
        transaction.markFailed();
    return transaction.commit();
}

bool QuoteOrderModel::updateLocalHistoryOrderItemFromServer(const base::Value& line)
{
    return saveQuoteOrderItemWithDic(line);
}

bool QuoteOrderModel::saveQuoteOrderWithDic(const base::Value& order)
{
    auto db = database();
    if (!order.isDictionary() || !db)
        return false;
    base::Dictionary row = historyRow(order.asDictionary());
    row.set("uploaded", 1);
    return db->executeUpdateWithArgumentsInArray(insertOrderSQL(), rowValues(row, kOrderColumns));
}

bool QuoteOrderModel::saveQuoteOrderItemWithDic(const base::Value& line)
{
    auto db = database();
    if (!line.isDictionary() || !db)
        return false;
    base::Dictionary row = historyRow(line.asDictionary());
    // A server line id could be any other line's: every history line gets a fresh one.
    row.set("order_item_id", ~retriveMaxOrderItemID());
    return db->executeUpdateWithArgumentsInArray(insertLineSQL(), rowValues(row, kLineColumns));
}
