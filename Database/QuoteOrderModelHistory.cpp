#include "Database/QuoteOrderModel.h"

#include "Database/QuoteOrderModelRows.h"
#include "Database/SQLite/BRTransaction.h"

#include <climits>

using namespace quoteorder;

namespace {

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

// --- History ----------------------------------------------------------------------------

bool QuoteOrderModel::updateLocalHistoryOrderFromServer(const base::Value& order)
{
    auto db = database();
    if (!order.isDictionary() || !db)
        return false;
    const base::Value& number = order["order_number"];
    int localId = number.isNull() ? 0 : getOrderIDWithOrderNumber(number.toString());
    // The device's change is newer than the server's copy and waits for the next upload.
    if (hasUnsentEdit(localId))
        return true;
    // The local copy goes only if the server's copy is stored in its place.
    BRTransaction transaction(db.get());
    if (localId != 0 && !removeQuoteOrder(localId))
        transaction.markFailed();
    if (transaction.ok() && !saveQuoteOrderWithDic(order))
        transaction.markFailed();
    return transaction.commit();
}

bool QuoteOrderModel::updateLocalHistoryOrderItemFromServer(const base::Value& line)
{
    // The server's lines of an order kept as the device has it would double its lines.
    if (line.isDictionary()) {
        int64_t orderId = line["order_id"].toInt(0);
        if (orderId > 0 && orderId <= INT_MAX && hasUnsentEdit(static_cast<int>(orderId)))
            return true;
    }
    return saveQuoteOrderItemWithDic(line);
}

bool QuoteOrderModel::hasUnsentEdit(int orderId)
{
    // A server id comes with the upload's answer, and that answer marks the order uploaded
    // unless it was saved again since: a server id on an unsent order is such a change.
    auto db = database();
    return db && orderId > 0 &&
           db->intForQuery("SELECT count(*) FROM brivanta_quote_order WHERE order_id = ? AND uploaded = 0",
                           orderId) > 0;
}

bool QuoteOrderModel::saveQuoteOrderWithDic(const base::Value& order)
{
    auto db = database();
    if (!order.isDictionary() || !db)
        return false;
    base::Dictionary row = historyRow(order.asDictionary());
    row.set("uploaded", 1);
    // The history asked for is the signed-in account's own.
    row.set("account_id", signedInAccount());
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
