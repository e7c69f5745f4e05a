#include "Classes/Order/QuoteOrderStore.h"

#include "App/BrivantaAppDelegate.h"
#include "App/UITabBarControllerExt.h"
#include "Common/AppSession.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/RunLoop.h"
#include "Protocol/GetOrderHistoryRst.h"
#include "Protocol/LoginMode.h"
#include "Protocol/LoginRst.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestGetOrderHistory.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/RequestUploadQuoteOrder.h"
#include "Protocol/UploadQuoteOrderRst.h"

#include <cassert>
#include <cctype>
#include <charconv>
#include <climits>

namespace {

constexpr int kCustomerModule = 2;
constexpr int kOrderModule = 5;
constexpr int kOrderTabTag = 5;
constexpr int kCommandLogin = 258;
constexpr int kCommandHistory = 265;
constexpr int kCommandUploadOrders = 518;
constexpr int kHistoryPage = 10;
// The history stops once the device holds this many submitted orders over more than this span.
constexpr int kHistoryKeepCount = 60;
constexpr double kHistoryKeepSpan = 15552000; // 180 days
constexpr const char* kStatusOK = "200";
constexpr const char* kStatusUserLocked = "207";
constexpr const char* kStatusNoNetwork = "999";

std::shared_ptr<QuoteOrderStore>& sharedSlot()
{
    static std::shared_ptr<QuoteOrderStore> slot;
    return slot;
}

QuoteOrderStore::PreUploadHook& preUploadHook()
{
    static QuoteOrderStore::PreUploadHook hook;
    return hook;
}

bool isBlank(const std::optional<std::string>& text)
{
    if (!text)
        return true;
    for (unsigned char c : *text)
        if (!std::isspace(c))
            return false;
    return true;
}

// A whole number within 32 bits, given as a number or as its decimal text.
std::optional<int> integerOf(const base::Value& value)
{
    if (!value.isNumber() && !value.isString())
        return std::nullopt;
    // The reader keeps JSON numbers exactly (decimal); their text is the test of wholeness.
    std::string text = value.isString() ? value.asString() : value.toString();
    int v = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return v;
}

std::shared_ptr<DataAccessManager> data()
{
    return DataAccessManager::sharedDataModel();
}

} // namespace

void QuoteOrderStore::setPreUploadHook(PreUploadHook hook)
{
    preUploadHook() = std::move(hook);
}

std::shared_ptr<QuoteOrderStore> QuoteOrderStore::sharedQuoteOrderStore()
{
    assert(base::RunLoop::isMainThread());
    auto& slot = sharedSlot();
    if (!slot)
        slot = std::make_shared<QuoteOrderStore>();
    return slot;
}

void QuoteOrderStore::freeInstance()
{
    assert(base::RunLoop::isMainThread());
    sharedSlot().reset();
}

QuoteOrderStore::QuoteOrderStore()
{
    loadByConfig();
}

void QuoteOrderStore::loadByConfig()
{
    auto config = ConfigManager::sharedInstance();
    // Before any configuration is read the modules keep the values the store was made with.
    if (!config->modelDescArray())
        return;
    m_isCustomerOnShow = config->isOnShow(kCustomerModule);
    m_isOrderOnShow = config->isOnShow(kOrderModule);
}

// --- The current order --------------------------------------------------------------------

QuoteOrderStore::Order QuoteOrderStore::createNewQuoteOrder()
{
    if (!m_addQuoteOrder) {
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setIsInEdit(true);
        order->setDiscount(0.0);
        m_addQuoteOrder = order;
    }
    return m_addQuoteOrder;
}

bool QuoteOrderStore::addToOrder(const brivanta_product_Entity& product)
{
    if (product.count < 1)
        return false;
    // A merge past the quantity's range is refused before anything changes.
    if (m_curQuoteOrder) {
        for (const auto& line : m_curQuoteOrder->items()) {
            if (!line || !line->product() || line->product()->product_id != product.product_id)
                continue;
            if (isBlank(line->attributes()) || line->attributes() == product.attributes) {
                if (line->quantity() > INT_MAX - product.count)
                    return false;
                break;
            }
        }
    }
    if (!m_curQuoteOrder) {
        if (auto listener = delegate())
            listener->popSelfView();
        m_curQuoteOrder = createNewQuoteOrder();
    }
    auto order = m_curQuoteOrder;
    std::shared_ptr<QuoteOrderItemEntity> match;
    for (const auto& line : order->items()) {
        if (line && line->product() && line->product()->product_id == product.product_id &&
            (isBlank(line->attributes()) || line->attributes() == product.attributes)) {
            match = line;
            break;
        }
    }
    if (match) {
        match->setQuantity(match->quantity() + product.count);
    } else {
        auto line = std::make_shared<QuoteOrderItemEntity>();
        line->setProduct(product);
        auto price = data()->getPriceEntityByProductId(product.product_id);
        line->setCurrency(price.currency);
        order->setCurrency(price.currency);
        line->setQuantity(product.count);
        line->setSku(product.product_sku);
        line->setName(product.product_name);
        line->setAttributes(product.attributes);
        line->setPrice(price.price);
        line->setFinalPrice(retriveProductPriceWithProductIDProductCount(product.product_id, 1));
        line->setSubtotal(line->finalPrice() * line->quantity());
        if (order->serial() != 0) {
            // The save gives it an id no other stored line holds.
            line->setOrderID(order->serial());
            line->setSerial(order->newItemIndex());
        }
        std::string now = PublicFunction::currentTime();
        line->setCdate(now);
        line->setMdate(now);
        order->items().push_back(line);
        if (auto app = BrivantaAppDelegate::sharedAppDelegate())
            if (auto tabs = app->tabBarController())
                tabs->setBadgeValueTabBarItemTagAnimated(std::to_string(order->items().size()), kOrderTabTag, true);
    }
    order->setDiscount(-1.0);
    order->setDiscountRat(PublicFunction::shownDiscountRatFromAbsolute(100));
    return true;
}

bool QuoteOrderStore::diffItemCYExist(const brivanta_product_Entity& product)
{
    if (!m_curQuoteOrder)
        return false;
    for (const auto& line : m_curQuoteOrder->items()) {
        if (!line)
            continue;
        auto price = data()->getPriceEntityByProductId(product.product_id);
        if (!line->currency() || !price.currency || *line->currency() != *price.currency)
            return true;
    }
    return false;
}

void QuoteOrderStore::getItemNumberInOrder(brivanta_product_Entity& product)
{
    long long sum = 0;
    if (m_curQuoteOrder)
        for (const auto& line : m_curQuoteOrder->items())
            if (line && line->product() && line->product()->product_id == product.product_id)
                sum += line->quantity();
    product.itemNumberInOrder = static_cast<int>(std::min<long long>(sum, INT_MAX));
}

double QuoteOrderStore::retriveProductPriceWithProductIDProductCount(int productId, int)
{
    auto price = data()->getPriceEntityByProductId(productId);
    return price.discount_flag ? price.discount_price : price.price;
}

unsigned QuoteOrderStore::getCurrentQuoteOrderItemsCount() const
{
    return m_curQuoteOrder ? static_cast<unsigned>(m_curQuoteOrder->items().size()) : 0;
}

bool QuoteOrderStore::saveCurrentQuoteOrder()
{
    // saveQuoteOrder replaces the stored lines inside its own savepoint: a failed save keeps
    // them. The record keeps its lines: an editor may hold it.
    int orderId = m_curQuoteOrder ? data()->saveQuoteOrder(m_curQuoteOrder) : 0;
    // A refused save keeps the open order as it was: it may never have been stored.
    if (orderId == 0)
        return false;
    m_curQuoteOrder.reset();
    if (!m_addQuoteOrder) {
        if (auto listener = delegate())
            listener->popSelfView();
    } else {
        m_addQuoteOrder.reset();
    }
    return true;
}

void QuoteOrderStore::keepOpenOrder()
{
    base::NotificationCenter::defaultCenter().post(kKeepOpenOrderNotification);
    // Logged out, there is no store and no open order.
    auto store = sharedSlot();
    if (!store)
        return;
    auto& open = store->m_curQuoteOrder;
    if (!open || open->serial() != 0 || !open->hasItems())
        return;
    auto manager = data();
    if (manager && manager->saveQuoteOrder(open) != 0)
        open.reset();
    else
        base::log("the open order could not be stored at exit");
}

void QuoteOrderStore::removeCurrentQuoteOrder()
{
    m_curQuoteOrder.reset();
    if (m_addQuoteOrder) {
        m_addQuoteOrder.reset();
    } else if (auto listener = delegate()) {
        listener->popSelfView();
    }
}

bool QuoteOrderStore::copyQuoteOrderEntity(const Order& order)
{
    if (!order)
        return false;
    return data()->saveQuoteOrder(order->duplicateOrder()) != 0;
}

// --- Forwards -----------------------------------------------------------------------------

std::vector<QuoteOrderStore::Order> QuoteOrderStore::fetchQuoteOrdersCondition(int kind, const Text& search)
{
    return data()->fetchQuoteOrdersCondition(kind, search);
}

bool QuoteOrderStore::removeQuoteOrder(int orderId)
{
    return data()->removeQuoteOrder(orderId);
}

QuoteOrderStore::Text QuoteOrderStore::fetchQuoteOrdersDicString(int orderId)
{
    return data()->fetchQuoteOrdersDicString(orderId);
}

void QuoteOrderStore::setQuoteOrdersUploaded(int orderId)
{
    data()->setQuoteOrdersToUploaded(orderId);
}

bool QuoteOrderStore::updateOrdeIDWithOrderNumberNewOrderID(const Text& number, int newOrderID)
{
    return data()->updateOrderIDWithOrderNumberNewOrderID(number, newOrderID);
}

// --- Upload -------------------------------------------------------------------------------

bool QuoteOrderStore::startUploadQuoteOrder(int orderId)
{
    // One upload at a time: a second would send the same orders again.
    if (m_submitting)
        return false;
    int loginType = LoginMode::sharedInstance()->loginType();
    if (loginType == 1) {
        requestUploadQuoteOrder(orderId);
        return true;
    }
    if (loginType == 2) {
        m_submitting = true;
        m_currentQuoteOrderId = orderId;
        m_needWork = 2;
        m_uploadAwaitsLogin = true;
        relogin();
        return true;
    }
    // Demo or no login: the waiting screen hears at once instead of waiting in vain.
    reportUpload(std::string(kStatusNoNetwork), Language::stringWithName(kStatusNoNetwork));
    return false;
}

void QuoteOrderStore::requestUploadQuoteOrder(int orderId)
{
    m_submitting = true;
    m_currentQuoteOrderId = orderId;
    auto& hook = preUploadHook();
    if (!hook) {
        sendUploadDocument(orderId);
        return;
    }
    std::weak_ptr<QuoteOrderStore> weak = weak_from_this();
    hook(orderId, [weak, orderId](PreUploadOutcome outcome) {
        auto self = weak.lock();
        if (!self)
            return;
        if (outcome.proceed) {
            self->sendUploadDocument(orderId);
            return;
        }
        self->m_submitting = false;
        self->m_currentQuoteOrderId = -1;
        self->reportUpload(outcome.status, outcome.message);
    });
}

void QuoteOrderStore::sendUploadDocument(int orderId)
{
    // Built once per upload: the mark on "200" covers exactly what this document carried.
    auto request = std::make_shared<RequestUploadQuoteOrder>();
    request->setSyncData(fetchQuoteOrdersDicString(orderId));
    request->setReceiveDelegete(weak_from_this());
    int code = NetworkModel::sharedInstance()->sendRequest(request);
    base::logf("the rst is %d", code);
}

void QuoteOrderStore::uploadQuoteOrdersFinished(const NetBaseRst& result)
{
    m_submitting = false;
    if (result.status == kStatusOK) {
        setQuoteOrdersUploaded(m_currentQuoteOrderId);
        if (auto upload = dynamic_cast<const UploadQuoteOrderRst*>(&result)) {
            for (const base::Value& entry : upload->orderIdUpdateArray) {
                if (!entry.isDictionary())
                    continue;
                const base::Value* number = entry.asDictionary().find("id");
                const base::Value* generated = entry.asDictionary().find("generateId");
                if (!number || !generated || !number->isString())
                    continue;
                if (auto newId = integerOf(*generated))
                    updateOrdeIDWithOrderNumberNewOrderID(number->asString(), *newId);
            }
        }
    }
    m_currentQuoteOrderId = -1;
    reportUpload(result.status, result.message);
}

void QuoteOrderStore::reportUpload(const Text& status, const Text& message)
{
    if (auto listener = delegate())
        listener->finishedUploadQuoteOrdersMessage(status, message);
}

// --- History ------------------------------------------------------------------------------

void QuoteOrderStore::getLastTenOrderHistory()
{
    auto manager = data();
    int count = manager->numberOfAllSubmittedOrder();
    double span = manager->timeDurationOfAllSubmittedOrder();
    if (count >= kHistoryKeepCount && span > kHistoryKeepSpan) {
        reportHistory(std::nullopt, std::nullopt);
        return;
    }
    getHistoryOrderFromTimeNumber(manager->retriveEarliestSubmittedOrderTime(), kHistoryPage);
}

void QuoteOrderStore::getHistoryOrderFromTimeNumber(const Text& baseTime, int count)
{
    // One page at a time: a second request would store the same page twice.
    if (m_syncing)
        return;
    int loginType = LoginMode::sharedInstance()->loginType();
    if (loginType == 1) {
        requestSyncHistoryQuoteOrderFromTimeNumber(baseTime, count);
        return;
    }
    if (loginType == 2) {
        m_syncing = true;
        m_needWork = 1;
        m_historyAwaitsLogin = true;
        relogin();
        return;
    }
    reportHistory(std::string(kStatusNoNetwork), Language::stringWithName(kStatusNoNetwork));
}

void QuoteOrderStore::requestSyncHistoryQuoteOrderFromTimeNumber(const Text& baseTime, int count)
{
    m_syncing = true;
    auto request = std::make_shared<RequestGetOrderHistory>();
    request->setNumberOfOrder(count);
    request->setBaseTime(baseTime.value_or(std::string()));
    request->setReceiveDelegete(weak_from_this());
    int code = NetworkModel::sharedInstance()->sendRequest(request);
    base::logf("the rst is %d", code);
}

void QuoteOrderStore::getOrderHistoryFinished(const NetBaseRst& result)
{
    m_syncing = false;
    auto history = dynamic_cast<const GetOrderHistoryRst*>(&result);
    if (history && result.status == kStatusOK) {
        if (history->orderHistoryArray.empty()) {
            reportHistory(result.status, std::string("reachEnd"));
            return;
        }
        auto manager = data();
        for (const base::Value& order : history->orderHistoryArray)
            if (order.isDictionary())
                manager->updateLocalHistoryOrderFromServer(order);
        for (const base::Value& line : history->orderItemHistoryArray)
            if (line.isDictionary())
                manager->updateLocalHistoryOrderItemFromServer(line);
    }
    reportHistory(result.status, result.message);
}

void QuoteOrderStore::reportHistory(const Text& status, const Text& message)
{
    if (auto listener = delegate())
        listener->finishedSyncHistoryQuoteOrdersMessage(status, message);
}

// --- Re-login -----------------------------------------------------------------------------

void QuoteOrderStore::requestLogin()
{
    auto login = LoginMode::sharedInstance();
    auto request = std::make_shared<RequestLogin>();
    request->setUserName(login->acountID());
    request->setPassWord(login->password());
    request->setClientID(login->clientID());
    request->setDeviceID(login->deviceID());
    request->setReceiveDelegete(weak_from_this());
    NetworkModel::sharedInstance()->sendRequest(request);
}

void QuoteOrderStore::relogin()
{
    if (m_loginPending)
        return;
    m_loginPending = true;
    requestLogin();
}

void QuoteOrderStore::loginFinished(const NetBaseRst& result)
{
    m_loginPending = false;
    bool upload = std::exchange(m_uploadAwaitsLogin, false);
    bool history = std::exchange(m_historyAwaitsLogin, false);
    auto login = LoginMode::sharedInstance();
    if (result.status == kStatusOK) {
        login->setLoginType(1);
        if (auto answer = dynamic_cast<const LoginRst*>(&result); answer && !isBlank(answer->clientId))
            login->setClientID(*answer->clientId);
        if (history) {
            m_syncing = false;
            getLastTenOrderHistory();
        }
        if (upload)
            requestUploadQuoteOrder(m_currentQuoteOrderId);
        return;
    }
    login->setLoginType(result.status == kStatusNoNetwork ? 2 : -1);
    if (upload) {
        m_submitting = false;
        m_currentQuoteOrderId = -1;
        reportUpload(result.status, result.message);
    }
    if (history) {
        m_syncing = false;
        reportHistory(result.status, result.message);
    }
}

// --- Replies ------------------------------------------------------------------------------

int QuoteOrderStore::ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result)
{
    if (!result)
        return 0;
    // The listener may let go of the store while it hears; keep it alive to the end.
    auto self = shared_from_this();
    if (result->status == kStatusUserLocked) {
        // Locked out: the login screen follows, and no work resumes.
        if (result->cmdCode == kCommandUploadOrders || (result->cmdCode == kCommandLogin && m_uploadAwaitsLogin))
            m_submitting = false;
        if (result->cmdCode == kCommandHistory || (result->cmdCode == kCommandLogin && m_historyAwaitsLogin))
            m_syncing = false;
        if (result->cmdCode == kCommandLogin) {
            m_loginPending = false;
            m_uploadAwaitsLogin = false;
            m_historyAwaitsLogin = false;
        }
        if (auto app = AppSession::shared())
            app->logoutWithLockedUserMessage(result->status, result->message);
        return 0;
    }
    switch (result->cmdCode) {
    case kCommandUploadOrders:
        uploadQuoteOrdersFinished(*result);
        break;
    case kCommandHistory:
        getOrderHistoryFinished(*result);
        break;
    case kCommandLogin:
        loginFinished(*result);
        break;
    default:
        break;
    }
    return 0;
}

// --- Customer ids -------------------------------------------------------------------------

void QuoteOrderStore::updateOrderTable(const std::vector<brivanta_customer_Entity>& customers)
{
    data()->updateOrderTable(customers);
    for (const auto& customer : customers) {
        if (m_addQuoteOrder && m_addQuoteOrder->customerId() == customer.pid)
            m_addQuoteOrder->setCustomerId(customer.customer_id);
        if (m_curQuoteOrder && m_curQuoteOrder->customerId() == customer.pid)
            m_curQuoteOrder->setCustomerId(customer.customer_id);
        if (auto listener = delegate())
            listener->updateCustomerIdNewId(customer.pid, customer.customer_id);
    }
}
