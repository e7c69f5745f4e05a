#include "Database/QuoteOrderModel.h"

#include "Database/QuoteOrderModelRows.h"
#include "Database/SQLite/BRTransaction.h"
#include "Network/BRJsonWriter.h"
#include "Platform/Base/Log.h"
#include "Protocol/LoginMode.h"

using namespace quoteorder;

namespace {

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

} // namespace

std::vector<QuoteOrderModel::SentOrder> QuoteOrderModel::unsentOrders(const std::string& sql,
                                                                      const std::vector<base::Value>& args)
{
    int vendorId = LoginMode::sharedInstance()->vendorId();
    auto orders = readRows(
        [vendorId](BRResultSet& rs) {
            return SentOrder{rs.intForColumn("order_id"), base::Value(orderDictionary(rs, vendorId))};
        },
        sql, args);
    // The lines after the orders' cursor is closed.
    for (auto& order : orders) {
        base::Value lines = fetchQuoteOrderItemsDicWithQuoteOrder(order.orderId);
        if (lines.isNull())
            lines = base::Dictionary{{"order_items", base::Array{}}};
        order.sent.asDictionary().set("order_item", std::move(lines));
    }
    return orders;
}

namespace {

// The orders an upload document for that id carries: one selection for the document and
// for the customers that must go first.
std::string unsentSelection(int orderId, bool customerOnShow, std::vector<base::Value>& args)
{
    // Only the signed-in account's orders go up, under that account.
    std::string where = " WHERE uploaded = 0 and " BR_OWN_ORDERS(1) " ";
    args.emplace_back(signedInAccount());
    if (orderId != 0) {
        where += "and order_id = ?2";
        args.emplace_back(orderId);
    }
    if (customerOnShow)
        where += " and length(trim(customer_name)) > 0";
    return where;
}

} // namespace

std::vector<int> QuoteOrderModel::localCustomerIdsOfUnsentOrders(int orderId)
{
    std::vector<base::Value> args;
    std::string sql = "SELECT DISTINCT customer_id FROM brivanta_quote_order"
        + unsentSelection(orderId, isCustomerOnShow(), args) + " and customer_id < 0 ORDER BY customer_id DESC";
    return readRows([](BRResultSet& rs) { return rs.intForColumnIndex(0); }, sql, args);
}

QuoteOrderModel::UploadDocument QuoteOrderModel::buildUploadDocument(int orderId)
{
    std::vector<base::Value> args;
    std::string sql = "SELECT * FROM brivanta_quote_order" + unsentSelection(orderId, isCustomerOnShow(), args);
    UploadDocument upload;
    upload.sent = unsentOrders(sql, args);
    base::Array orders;
    orders.reserve(upload.sent.size());
    for (const auto& order : upload.sent)
        orders.push_back(order.sent);
    upload.document = base::Dictionary{{"order", std::move(orders)}};
    return upload;
}

base::Value QuoteOrderModel::fetchUnsubmittedQuoteOrdersDic(int orderId)
{
    return buildUploadDocument(orderId).document;
}

base::Value QuoteOrderModel::fetchQuoteOrderItemsDicWithQuoteOrder(int orderId)
{
    if (orderId == 0)
        return {};
    auto lines = readRows([](BRResultSet& rs) { return lineDictionary(rs); },
                          "SELECT * FROM brivanta_quote_order_item WHERE order_id = ? ORDER BY " BR_LINES_AS_ADDED,
                          orderId);
    return base::Dictionary{{"order_items", base::Array(std::make_move_iterator(lines.begin()),
                                                        std::make_move_iterator(lines.end()))}};
}

QuoteOrderModel::UploadText QuoteOrderModel::buildUploadText(int orderId)
{
    auto upload = buildUploadDocument(orderId);
    auto text = BRJsonWriter().stringWithObject(upload.document);
    base::log(text.value_or("(null)"));
    return {std::move(text), std::move(upload.sent)};
}

QuoteOrderModel::Text QuoteOrderModel::fetchQuoteOrdersDicString(int orderId)
{
    return buildUploadText(orderId).text;
}

// --- Marking ----------------------------------------------------------------------------

bool QuoteOrderModel::setQuoteOrdersToUploaded(int orderId)
{
    auto db = database();
    if (!db || orderId == 0)
        return false;
    // Left unmarked, the order goes with the next upload; the server takes it again as the same order.
    if (!db->executeUpdate("UPDATE brivanta_quote_order SET uploaded = 1 where order_id = ?", orderId)) {
        base::logf("order %d is not marked uploaded and will be sent again: %s", orderId,
                   db->lastErrorMessage().c_str());
        return false;
    }
    return true;
}

int QuoteOrderModel::setQuoteOrdersToUploaded(const SentOrders& sent)
{
    auto db = database();
    if (!db || sent.empty())
        return 0;
    BRTransaction transaction(db.get());
    int marked = 0;
    for (const auto& order : sent) {
        // Read back as it would be sent now: any change since, to the order or its lines,
        // has not reached the server.
        auto stored = unsentOrders("SELECT * FROM brivanta_quote_order WHERE uploaded = 0 and order_id = ?",
                                   {base::Value(order.orderId)});
        if (stored.size() != 1 || stored.front().sent != order.sent)
            continue;
        if (!transaction.executeUpdate("UPDATE brivanta_quote_order SET uploaded = 1 where order_id = ?",
                                       order.orderId)) {
            base::logf("order %d is not marked uploaded: %s", order.orderId, db->lastErrorMessage().c_str());
            continue;
        }
        ++marked;
    }
    if (!transaction.commit()) {
        base::logf("%d sent orders are not marked uploaded and will be sent again: %s", marked,
                   db->lastErrorMessage().c_str());
        return 0;
    }
    return marked;
}
