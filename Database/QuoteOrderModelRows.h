#pragma once
// What the files of QuoteOrderModel share: the column lists of the two order tables, their
// save statements, and the rules for reading and writing text columns.
#include "Database/SQLite/BRResultSet.h"
#include "Platform/Base/Value.h"

#include <array>
#include <optional>
#include <string>

namespace quoteorder {

constexpr const char* kOrderDateFormat = "MM/dd/yyyy HH:mm:ss";

// Columns in the order the save statements list them.
constexpr std::array<const char*, 32> kOrderColumns = {
    "order_id", "customer_id", "customer_info_id", "customer_name", "vendor_id", "order_number",
    "order_total", "order_subtotal", "order_tax", "order_tax_details", "order_shipping",
    "order_shipping_tax", "coupon_discount", "coupon_code", "order_discount", "order_currency",
    "order_status", "cdate", "mdate", "ship_method", "customer_note", "ip_address", "uploaded",
    "discount_rat", "signature", "address", "city", "state", "zip_code", "phone", "bankAccount",
    "account_id"};
constexpr std::array<const char*, 17> kLineColumns = {
    "order_item_id", "order_id", "customer_info_id", "vendor_id", "product_id", "order_item_sku",
    "order_item_name", "product_quantity", "product_item_price", "product_final_price",
    "order_item_currency", "order_item_subtotal", "order_status", "cdate", "mdate",
    "product_attribute", "discount_rat"};

// Gives each order without an account the account its number names, when it names one.
constexpr const char* kFillOrderAccounts =
    "update brivanta_quote_order set account_id = "
    "substr(rtrim(order_number, replace(order_number, '_', '')), 1, "
    "length(rtrim(order_number, replace(order_number, '_', ''))) - 1) "
    "where account_id is null and instr(order_number, '_') > 0";

// The account signed in: an order is its account's.
std::string signedInAccount();

// INSERT OR REPLACE of every column, in the order of the lists above.
const std::string& insertOrderSQL();
const std::string& insertLineSQL();

// A missing text is stored as "".
inline base::Value text(const std::optional<std::string>& value)
{
    return base::Value(value.value_or(""));
}

// A NULL text column reads as "".
inline std::string columnText(BRResultSet& rs, const char* column)
{
    return rs.stringForColumn(column).value_or("");
}

} // namespace quoteorder

// "MM/dd/yyyy HH:mm:ss" rearranged so that text order is time order.
#define BR_ORDER_DATE_KEY "(substr(cdate,7,4)||substr(cdate,1,2)||substr(cdate,4,2)||substr(cdate,12))"
// Stored lines take ids counting down from -1 (a server's lines too, in the order it sent them),
// so the order they were added in is their distance from 0: the key, the rowid, runs backwards.
#define BR_LINES_AS_ADDED "abs(order_item_id)"
// The orders the signed-in account (?N) may see and send: its own, and those whose number
// names no account.
#define BR_OWN_ORDERS(N) "(account_id = ?" #N " or account_id is null)"
// The logged-in account's orders: the number starts with the account id and "_", exactly.
#define BR_ACCOUNT_ORDERS "uploaded = 1 AND substr(order_number,1,length(?1)+1) = ?1 || '_'"
