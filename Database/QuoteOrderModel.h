#pragma once
#include "Database/BaseDataModel.h"
#include "Database/QuoteOrderEntity.h"
#include "Database/ProductModel.h"
#include "Database/brivanta_customer_Entity.h"
#include "Platform/Base/Value.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The order tables brivanta_quote_order and brivanta_quote_order_item, and the view
// customerView: orders and lines in and out as records, local (negative) ids, the upload
// document, the server's order history, and the statistics behind the history fetch.
// Main thread only, on the shared connection.
class QuoteOrderModel : public BaseDataModel {
public:
    using Order = std::shared_ptr<QuoteOrderEntity>;
    using Line = std::shared_ptr<QuoteOrderItemEntity>;
    using Text = std::optional<std::string>;

    // One order an upload document carried, as it was sent (its dictionary with its lines).
    struct SentOrder {
        int orderId = 0;
        base::Value sent;
    };
    using SentOrders = std::vector<SentOrder>;
    // A document and the orders it carries, for marking them once the server has them.
    struct UploadDocument {
        base::Value document;
        SentOrders sent;
    };
    struct UploadText {
        Text text;
        SentOrders sent;
    };

    // The lines' products are read through the product model, when there is one.
    explicit QuoteOrderModel(std::shared_ptr<ProductModel> products = nullptr);

    // Whether the customer module is shown, as the order store holds it. Data code cannot
    // reach the store, so the application installs this reader at launch; with none
    // installed the answer is YES, the store's value when it is made.
    static void setCustomerOnShowHook(std::function<bool()> hook);
    static bool isCustomerOnShow();

    // The eight upgrade steps; always YES.
    bool updateVersion() override;

    // --- Reading ------------------------------------------------------------------------
    // kind 1 uploaded, 2 not uploaded, other all; a non-blank search keeps orders whose
    // customer name or number contains it (any case). Newest first, each with its lines.
    std::vector<Order> fetchQuoteOrdersCondition(int kind, const Text& search);
    // The lines of that order, each with its product; none for id 0.
    std::vector<Line> fetchQuoteOrderItemsWithQuoteOrder(int orderId);

    // --- Writing ------------------------------------------------------------------------
    // Stores the order and all its lines in one savepoint, replacing the order's stored
    // lines; a new order or line gets a fresh negative id, written back into the record. An
    // order an upload moved to the server's id since it was read saves to that row, and
    // takes that id. The order's id, or 0 (nothing changed) on failure.
    int saveQuoteOrder(const Order& order);
    // One line as it is (a line without id takes the newest order); YES for none.
    bool saveQuoteOrderItem(const Line& line);
    // The order and its lines together, or nothing.
    bool removeQuoteOrder(int orderId);
    bool removeQuoteOrderItem(const Line& line);
    bool removeQuoteOrderItemsByQuoteOrderID(int orderId);
    bool updateOrderSignatureWithOrderId(const Text& signature, int orderId);
    // The largest absolute id in each table; 0 when empty.
    int retriveMaxOrderID();
    int retriveMaxOrderItemID();
    // After a customer upload: each pid (local id) becomes customer_id in the orders, all
    // or nothing.
    bool updateOrderTable(const std::optional<std::vector<brivanta_customer_Entity>>& customers);

    // --- Upload and server ids ----------------------------------------------------------
    // Marks that order uploaded, whatever it holds; 0 marks nothing. Uploads go through the
    // data manager, which keeps what the last document for each id carried and marks that.
    // NO, logged, when the mark is not stored: the order is then sent again.
    bool setQuoteOrdersToUploaded(int orderId);
    // Marks the sent orders whose stored order and lines are still exactly what was sent,
    // in one transaction; an order saved again since then stays waiting for the next
    // upload. The number marked.
    int setQuoteOrdersToUploaded(const SentOrders& sent);
    // Nothing for a missing or empty number.
    void setQuoteOrdersUploadedWithOrderNumber(const Text& number);
    // Moves the order and its lines to the server's id in one transaction; NO for local id
    // 0 and for a server id another order holds.
    bool updateOrderIdWithCmsOrderID(int localId, int serverId);
    bool updateOrderItemIdWithCmsOrderID(int localId, int serverId);
    int getLocalOrderIdWithOrderNumber(const Text& number);
    int getOrderIDWithOrderNumber(const Text& number);

    // --- The account's submitted orders (by date, not by the month-first text) ------------
    Text retriveEarliestSubmittedOrderTime();
    Text retriveLatestSubmittedOrderTime();
    double timeDurationOfAllSubmittedOrder();
    int numberOfAllSubmittedlOrder();

    // --- Upload document and history ----------------------------------------------------
    // {"order": [...]}: the unsent order of that id, or for 0 every unsent one (only named
    // customers' while the customer module is shown), with the orders it carries.
    UploadDocument buildUploadDocument(int orderId);
    base::Value fetchUnsubmittedQuoteOrdersDic(int orderId);
    // The distinct local (negative) customer ids of the orders that document would carry.
    std::vector<int> localCustomerIdsOfUnsentOrders(int orderId);
    // {"order_items": [...]}; null for id 0.
    base::Value fetchQuoteOrderItemsDicWithQuoteOrder(int orderId);
    // The document as JSON text, also written to the log.
    UploadText buildUploadText(int orderId);
    Text fetchQuoteOrdersDicString(int orderId);
    // A server order replaces the local one with its number, stored as uploaded; a local
    // order the device changed after the server had it stays, and so do its lines.
    bool updateLocalHistoryOrderFromServer(const base::Value& order);
    bool updateLocalHistoryOrderItemFromServer(const base::Value& line);
    bool saveQuoteOrderWithDic(const base::Value& order);
    bool saveQuoteOrderItemWithDic(const base::Value& line);

private:
    // Products by id, read once per fetch: many lines share a product.
    using ProductCache = std::map<int, std::optional<brivanta_product_Entity>>;
    std::vector<Line> linesOfOrder(int orderId, ProductCache& products);
    // The lines read (with their product ids) given their products.
    std::vector<Line> withProducts(std::vector<std::pair<Line, int>>& rows, ProductCache& products);
    // The unsent orders the query selects, each as its document dictionary with its lines.
    std::vector<SentOrder> unsentOrders(const std::string& sql, const std::vector<base::Value>& args);
    // The order holds the server's id but is not uploaded: changed since the server had it.
    bool hasUnsentEdit(int orderId);
    bool rebuildLineTableIfNeeded();
    bool convertOrderToLocal();

    std::shared_ptr<ProductModel> m_products;
};
