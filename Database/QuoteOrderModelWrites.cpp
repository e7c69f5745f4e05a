#include "Database/QuoteOrderModel.h"

#include "Common/PublicFunction.h"
#include "Database/QuoteOrderModelRows.h"
#include "Database/SQLite/BRTransaction.h"
#include "Platform/Base/DateFormatter.h"

#include <set>
#include "Platform/Base/Log.h"

using namespace quoteorder;

namespace {

// Orders made within one second share "account_yyMMddHHmmss"; the upload's id remap and the
// history import go by number, so a new order takes the next free second.
std::optional<std::string> freeOrderNumber(BRDatabase& db, const std::optional<std::string>& number)
{
    auto taken = [&db](const std::string& text) {
        return db.intForQuery("SELECT count(*) FROM brivanta_quote_order WHERE order_number = ?", text) > 0;
    };
    if (!number || !taken(*number))
        return number;
    size_t cut = number->rfind('_');
    if (cut == std::string::npos)
        return number;
    std::string prefix = number->substr(0, cut + 1);
    base::DateFormatter stamp("yyMMddHHmmss");
    auto time = stamp.dateFromString(number->substr(cut + 1));
    if (!time)
        return number;
    std::string candidate = *number;
    while (taken(candidate)) {
        *time = time->addingTimeInterval(1);
        candidate = prefix + stamp.stringFromDate(*time);
    }
    return candidate;
}

// The row an order saved before now lives in: an upload's answer moves an order to the
// server's id while an editor may still hold it under its old one. 0 when it has not moved.
int movedOrderId(BRDatabase& db, const QuoteOrderEntity& order)
{
    if (order.serial() == 0 || !order.number() || order.number()->empty() ||
        db.intForQuery("SELECT count(*) FROM brivanta_quote_order WHERE order_id = ?", order.serial()) > 0)
        return 0;
    return db.intForQuery("SELECT order_id FROM brivanta_quote_order WHERE order_number = ?", *order.number());
}

} // namespace

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
    auto oldNumber = order->number();
    std::vector<Ids> oldLineIds;
    for (const auto& line : order->items())
        oldLineIds.push_back({line ? line->serial() : 0, line ? line->orderID() : 0});
    auto restore = [&] {
        order->setSerial(oldSerial);
        order->setNumber(oldNumber);
        for (size_t i = 0; i < oldLineIds.size(); ++i) {
            if (const auto& line = order->items()[i]) {
                line->setSerial(oldLineIds[i].serial);
                line->setOrderID(oldLineIds[i].orderID);
            }
        }
    };

    BRTransaction transaction(db.get());
    if (order->serial() == 0) {
        order->setSerial(~retriveMaxOrderID());
        order->setNumber(freeOrderNumber(*db, order->number()));
    } else if (int moved = movedOrderId(*db, *order)) {
        // Saved under the old id it would stand beside itself as a second order.
        order->setSerial(moved);
    }
    int orderId = order->serial();
    // An order stays the account's that first saved it.
    auto owner = db->stringForQuery("SELECT account_id FROM brivanta_quote_order WHERE order_id = ?", orderId);
    std::string account = owner ? *owner : signedInAccount();

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
        text(order->zip_code()), text(order->phoneNumber()), text(order->bankAccount()), account);

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
    return intForQuery("SELECT max(ifnull((SELECT max(order_id) FROM brivanta_quote_order),0),"
                       "ifnull((SELECT -min(order_id) FROM brivanta_quote_order),0))");
}

int QuoteOrderModel::retriveMaxOrderItemID()
{
    return intForQuery("SELECT max(ifnull((SELECT max(order_item_id) FROM brivanta_quote_order_item),0),"
                       "ifnull((SELECT -min(order_item_id) FROM brivanta_quote_order_item),0))");
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

// --- Server ids ---------------------------------------------------------------------------

void QuoteOrderModel::setQuoteOrdersUploadedWithOrderNumber(const Text& number)
{
    auto db = database();
    if (!db || !number || number->empty())
        return;
    // Not marked, the order goes up again with the next upload.
    if (!db->executeUpdate("UPDATE brivanta_quote_order SET uploaded = 1 where order_number = ?", *number))
        base::logf("order %s is not marked uploaded: %s", number->c_str(), db->lastErrorMessage().c_str());
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
