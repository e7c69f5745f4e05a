#include "Database/QuoteOrderModel.h"

#include "Common/PublicFunction.h"
#include "Database/QuoteOrderModelRows.h"
#include "Database/SQLite/BRTransaction.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/Text.h"
#include "Protocol/LoginMode.h"

#include <array>

using namespace quoteorder;

namespace {

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

std::function<bool()>& customerOnShowHook()
{
    static std::function<bool()> hook;
    return hook;
}

std::optional<base::Date> orderDate(const std::optional<std::string>& text)
{
    if (!text)
        return std::nullopt;
    return base::DateFormatter(kOrderDateFormat).dateFromString(*text);
}

QuoteOrderModel::Order orderFromRow(BRResultSet& rs)
{
    auto order = std::make_shared<QuoteOrderEntity>(QuoteOrderEntity::FromStorage{});
    order->setSerial(rs.intForColumn("order_id"));
    order->setCustomerId(rs.intForColumn("customer_id"));
    order->setCustomerName(columnText(rs, "customer_name"));
    order->setCustomerAddress(columnText(rs, "address"));
    order->setCity(columnText(rs, "city"));
    order->setState(columnText(rs, "state"));
    order->setZip_code(columnText(rs, "zip_code"));
    order->setPhoneNumber(columnText(rs, "phone"));
    order->setBankAccount(columnText(rs, "bankAccount"));
    order->setNumber(columnText(rs, "order_number"));
    order->setSignature(columnText(rs, "signature"));
    order->setCustomerInfo(rs.stringForColumn("customer_info_id"));
    order->setSubtotal(rs.doubleForColumn("order_subtotal"));
    order->setTax(rs.doubleForColumn("order_tax"));
    order->setTaxDetails(rs.stringForColumn("order_tax_details"));
    order->setShipping(rs.doubleForColumn("order_shipping"));
    order->setShippingTax(rs.doubleForColumn("order_shipping_tax"));
    order->setCouponDiscount(rs.doubleForColumn("coupon_discount"));
    order->setCouponCode(rs.stringForColumn("coupon_code"));
    order->setDiscount(rs.doubleForColumn("order_discount"));
    order->setCurrency(rs.stringForColumn("order_currency"));
    order->setStatus(static_cast<signed char>(rs.intForColumn("order_status")));
    order->setCdate(rs.stringForColumn("cdate"));
    order->setMdate(rs.stringForColumn("mdate"));
    order->setShippingMethod(rs.stringForColumn("ship_method"));
    order->setCustomerNote(rs.stringForColumn("customer_note"));
    order->setIpAddress(rs.stringForColumn("ip_address"));
    order->setUploaded(rs.boolForColumn("uploaded"));
    order->setDiscountRat(PublicFunction::shownDiscountRatFromAbsolute(rs.doubleForColumn("discount_rat")));
    order->setUnsaved(false);
    return order;
}

// A stored line; its product comes separately, by the id beside it.
std::pair<QuoteOrderModel::Line, int> lineFromRow(BRResultSet& rs)
{
    auto line = std::make_shared<QuoteOrderItemEntity>();
    line->setSerial(rs.intForColumn("order_item_id"));
    line->setOrderID(rs.intForColumn("order_id"));
    line->setCustomerInfo(rs.stringForColumn("customer_info_id"));
    line->setSku(rs.stringForColumn("order_item_sku"));
    line->setName(rs.stringForColumn("order_item_name"));
    line->setQuantity(rs.intForColumn("product_quantity"));
    line->setPrice(rs.doubleForColumn("product_item_price"));
    line->setFinalPrice(rs.doubleForColumn("product_final_price"));
    line->setCurrency(rs.stringForColumn("order_item_currency"));
    line->setSubtotal(rs.doubleForColumn("order_item_subtotal"));
    line->setStatus(static_cast<signed char>(rs.intForColumn("order_status")));
    line->setCdate(rs.stringForColumn("cdate"));
    line->setMdate(rs.stringForColumn("mdate"));
    line->setAttributes(rs.stringForColumn("product_attribute"));
    line->setDiscontRat(PublicFunction::shownDiscountRatFromAbsolute(rs.doubleForColumn("discount_rat")));
    return {std::move(line), rs.intForColumn("product_id")};
}

} // namespace

const std::string& quoteorder::insertOrderSQL()
{
    static const std::string sql = insertStatement("brivanta_quote_order", kOrderColumns);
    return sql;
}

const std::string& quoteorder::insertLineSQL()
{
    static const std::string sql = insertStatement("brivanta_quote_order_item", kLineColumns);
    return sql;
}

std::string quoteorder::signedInAccount()
{
    return LoginMode::sharedInstance()->acountID();
}

QuoteOrderModel::QuoteOrderModel(std::shared_ptr<ProductModel> products) : m_products(std::move(products)) {}

void QuoteOrderModel::setCustomerOnShowHook(std::function<bool()> hook)
{
    customerOnShowHook() = std::move(hook);
}

bool QuoteOrderModel::isCustomerOnShow()
{
    const auto& hook = customerOnShowHook();
    return hook ? hook() : true;
}


// --- Reading ----------------------------------------------------------------------------

std::vector<QuoteOrderModel::Order> QuoteOrderModel::fetchQuoteOrdersCondition(int kind, const Text& search)
{
    // Another account's orders are not listed: they wait for that account.
    std::string where = "WHERE " BR_OWN_ORDERS(2) " ";
    if (kind == 2)
        where += "and uploaded = 0 ";
    else if (kind == 1)
        where += "and uploaded = 1 ";
    std::vector<base::Value> args{base::Value(""), base::Value(signedInAccount())};
    if (search && !base::trimmingWhitespace(*search).empty()) {
        where += "and (folded(customer_name) like '%' || ?1 || '%' ESCAPE '\\' or folded(order_number) "
                 "like '%' || ?1 || '%' ESCAPE '\\') ";
        args[0] = base::Value(likeLiteral(base::folded(*search)));
    }
    // Equal dates: the larger local id was made later.
    std::string sql = "SELECT * FROM brivanta_quote_order " + where + "order by " BR_ORDER_DATE_KEY
                      " desc, abs(order_id) desc";
    // Every listed order's lines in one statement, each order's in the order they were added,
    // rather than one statement per order.
    std::string linesSql = "SELECT * FROM brivanta_quote_order_item WHERE order_id IN (SELECT order_id FROM "
                           "brivanta_quote_order " + where + ") ORDER BY order_id, " BR_LINES_AS_ADDED;

    // The orders, their lines and their products as one consistent read.
    auto db = database();
    BRReadTransaction reading(db.get());
    auto orders = readRows(orderFromRow, sql, args);
    std::map<int, std::vector<std::pair<Line, int>>> linesByOrder;
    for (auto& row : readRows(lineFromRow, linesSql, args)) {
        int orderId = row.first->orderID();
        linesByOrder[orderId].push_back(std::move(row));
    }
    ProductCache products;
    for (auto& order : orders) {
        auto found = order->serial() == 0 ? linesByOrder.end() : linesByOrder.find(order->serial());
        order->setItems(found == linesByOrder.end() ? std::vector<Line>{} : withProducts(found->second, products));
    }
    return orders;
}

std::vector<QuoteOrderModel::Line> QuoteOrderModel::fetchQuoteOrderItemsWithQuoteOrder(int orderId)
{
    ProductCache products;
    return linesOfOrder(orderId, products);
}

std::vector<QuoteOrderModel::Line> QuoteOrderModel::linesOfOrder(int orderId, ProductCache& seen)
{
    if (orderId == 0)
        return {};
    auto rows = readRows(lineFromRow,
                         "SELECT * FROM brivanta_quote_order_item WHERE order_id = ? ORDER BY " BR_LINES_AS_ADDED,
                         orderId);
    return withProducts(rows, seen);
}

std::vector<QuoteOrderModel::Line> QuoteOrderModel::withProducts(std::vector<std::pair<Line, int>>& rows,
                                                                ProductCache& seen)
{
    // The products are read once the lines' cursor is closed: the product model runs its own
    // statements on the same connection.
    std::vector<Line> lines;
    lines.reserve(rows.size());
    for (auto& [line, productId] : rows) {
        auto found = seen.find(productId);
        if (found == seen.end())
            found = seen.emplace(productId, m_products ? m_products->getAllProductByProductId(productId)
                                                       : std::nullopt).first;
        auto product = found->second;
        if (product)
            product->attributes = line->attributes();
        line->setProduct(std::move(product));
        lines.push_back(std::move(line));
    }
    return lines;
}

int QuoteOrderModel::getLocalOrderIdWithOrderNumber(const Text& number)
{
    if (!number)
        return 0;
    auto ids = readRows([](BRResultSet& rs) { return rs.intForColumnIndex(0); },
                        "SELECT order_id FROM brivanta_quote_order WHERE order_number = ?", *number);
    return ids.empty() ? 0 : ids.back();
}

int QuoteOrderModel::getOrderIDWithOrderNumber(const Text& number)
{
    return getLocalOrderIdWithOrderNumber(number);
}

// --- Statistics -------------------------------------------------------------------------

QuoteOrderModel::Text QuoteOrderModel::retriveEarliestSubmittedOrderTime()
{
    return stringForQuery("SELECT cdate FROM brivanta_quote_order WHERE " BR_ACCOUNT_ORDERS
                              " AND cdate IS NOT NULL ORDER BY " BR_ORDER_DATE_KEY " ASC LIMIT 1",
                              LoginMode::sharedInstance()->acountID());
}

QuoteOrderModel::Text QuoteOrderModel::retriveLatestSubmittedOrderTime()
{
    return stringForQuery("SELECT cdate FROM brivanta_quote_order WHERE " BR_ACCOUNT_ORDERS
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
    return intForQuery("SELECT COUNT(*) FROM brivanta_quote_order WHERE " BR_ACCOUNT_ORDERS,
                           LoginMode::sharedInstance()->acountID());
}
