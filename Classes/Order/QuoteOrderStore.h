#pragma once
#include "Database/QuoteOrderEntity.h"
#include "Database/brivanta_customer_Entity.h"
#include "Database/brivanta_product_Entity.h"
#include "Protocol/NetworkRecDelegate.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class GetOrderHistoryRst;
class UploadQuoteOrderRst;

// The screen that listens to the order store; every operation may be left out.
class QuoteOrderStoreDelegate {
public:
    using Text = std::optional<std::string>;
    virtual ~QuoteOrderStoreDelegate() = default;
    virtual void finishedUploadQuoteOrdersMessage(const Text& status, const Text& message) {}
    // The stop rule of the history reports no status and no message.
    virtual void finishedSyncHistoryQuoteOrdersMessage(const Text& status, const Text& message) {}
    // Leave the order editor.
    virtual void popSelfView() {}
    virtual void updateCustomerIdNewId(int oldId, int newId) {}
};

// The process-wide model of quotes and orders: the order being edited and the new order the
// catalogue fills, saving, dropping and copying, the order upload (518), the order history
// (265) and the re-login (258) an offline login needs first. Main thread only.
class QuoteOrderStore : public NetworkRecDelegate, public std::enable_shared_from_this<QuoteOrderStore> {
public:
    using Order = std::shared_ptr<QuoteOrderEntity>;
    using Text = std::optional<std::string>;

    // What runs before an upload document is built (the customers the orders name go first).
    // It calls `resume` once: proceed, or stop with the status and message the screen hears.
    struct PreUploadOutcome {
        bool proceed = true;
        std::string status;
        std::string message;
    };
    using PreUploadHook = std::function<void(int orderId, std::function<void(PreUploadOutcome)> resume)>;
    // None installed: straight on.
    static void setPreUploadHook(PreUploadHook hook);

    // Made on first use; freeInstance forgets it (logout), and the next use makes a new one.
    static std::shared_ptr<QuoteOrderStore> sharedQuoteOrderStore();
    static void freeInstance();

    QuoteOrderStore();

    const Order& curQuoteOrder() const { return m_curQuoteOrder; }
    void setCurQuoteOrder(Order v) { m_curQuoteOrder = std::move(v); }
    const Order& addQuoteOrder() const { return m_addQuoteOrder; }
    void setAddQuoteOrder(Order v) { m_addQuoteOrder = std::move(v); }
    // YES when the store is made; the customer screen and the sync set it.
    bool isCustomerOnShow() const { return m_isCustomerOnShow; }
    void setIsCustomerOnShow(bool v) { m_isCustomerOnShow = v; }
    // Read by the catalogue to offer its add-to-order buttons.
    bool isOrderOnShow() const { return m_isOrderOnShow; }
    void setIsOrderOnShow(bool v) { m_isOrderOnShow = v; }
    bool submitting() const { return m_submitting; }
    void setSubmitting(bool v) { m_submitting = v; }
    bool syncing() const { return m_syncing; }
    void setSyncing(bool v) { m_syncing = v; }
    // What the next login reply resumes: 1 the history, 2 the upload.
    int needWork() const { return m_needWork; }
    // The order being uploaded, 0 for every unsent one, -1 for none.
    int currentQuoteOrderId() const { return m_currentQuoteOrderId; }
    std::shared_ptr<QuoteOrderStoreDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(std::weak_ptr<QuoteOrderStoreDelegate> v) { m_delegate = std::move(v); }

    void loadByConfig();

    // --- The current order (the catalogue's side) -----------------------------------------
    Order createNewQuoteOrder();
    // NO for a count below 1 or a merged quantity past the 32-bit range; nothing changes then.
    bool addToOrder(const brivanta_product_Entity& product);
    bool diffItemCYExist(const brivanta_product_Entity& product);
    void getItemNumberInOrder(brivanta_product_Entity& product);
    double retriveProductPriceWithProductIDProductCount(int productId, int count);
    unsigned getCurrentQuoteOrderItemsCount() const;
    // Stores the current order and closes it; the record itself keeps its lines, so an
    // editor holding it shows them still. A refused save answers NO and closes nothing.
    bool saveCurrentQuoteOrder();
    void removeCurrentQuoteOrder();
    // The program ends: every order editor stores what it holds unsaved (posted as
    // kKeepOpenOrderNotification), then an open order no editor stored and never stored
    // before (lines added from the catalogue) is stored too. Unsubmitted; nothing is sent.
    static constexpr const char* kKeepOpenOrderNotification = "QuoteOrderStoreKeepOpenOrder";
    static void keepOpenOrder();
    bool copyQuoteOrderEntity(const Order& order);

    // --- Forwards to the data manager -----------------------------------------------------
    std::vector<Order> fetchQuoteOrdersCondition(int kind, const Text& search);
    bool removeQuoteOrder(int orderId);
    Text fetchQuoteOrdersDicString(int orderId);
    void setQuoteOrdersUploaded(int orderId);
    bool updateOrdeIDWithOrderNumberNewOrderID(const Text& number, int newOrderID);

    // --- Server work ------------------------------------------------------------------------
    // Uploads that order, or for 0 every unsent one. NO when nothing was started: an upload
    // is already under way, or the login type allows none (the delegate hears "999" then).
    bool startUploadQuoteOrder(int orderId);
    void requestUploadQuoteOrder(int orderId);
    // Ten older submitted orders, unless the account already holds 60 over 180 days.
    void getLastTenOrderHistory();
    void getHistoryOrderFromTimeNumber(const Text& baseTime, int count);
    void requestSyncHistoryQuoteOrderFromTimeNumber(const Text& baseTime, int count);
    void requestLogin();
    // After a customer upload: each pid becomes customer_id, stored and open orders alike.
    void updateOrderTable(const std::vector<brivanta_customer_Entity>& customers);

    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override;

private:
    void uploadQuoteOrdersFinished(const NetBaseRst& result);
    void getOrderHistoryFinished(const NetBaseRst& result);
    void loginFinished(const NetBaseRst& result);
    void sendUploadDocument(int orderId);
    void reportUpload(const Text& status, const Text& message);
    void reportHistory(const Text& status, const Text& message);
    // Sends the login unless one is already on its way.
    void relogin();

    Order m_curQuoteOrder;
    Order m_addQuoteOrder;
    bool m_isCustomerOnShow = true;
    bool m_isOrderOnShow = true;
    bool m_submitting = false;
    bool m_syncing = false;
    int m_needWork = 0;
    int m_currentQuoteOrderId = -1;
    std::weak_ptr<QuoteOrderStoreDelegate> m_delegate;
    // A login reply resumes every work that waited for it, not only the last asked.
    bool m_loginPending = false;
    bool m_uploadAwaitsLogin = false;
    bool m_historyAwaitsLogin = false;
};
