#include "Classes/Order/QuoteOrderHistoryController.h"

#include "Platform/Base/RunLoop.h"

#include "Common/AppSession.h"
#include "Classes/Order/QuoteOrderHistoryTableView.h"
#include "Classes/Order/QuoteOrderHistoryTableViewCell.h"
#include "Classes/Order/QuoteOrderViewController.h"
#include "Common/Language.h"
#include "Common/MessageBox.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Base/Text.h"
#include "Platform/Base/Timer.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/LongPressGestureRecognizer.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/SegmentedControl.h"
#include "Protocol/LoginMode.h"

#include <cmath>

namespace {

constexpr int kDemoLoginType = 3;

bool isBlank(const std::optional<std::string>& text)
{
    return base::trimmingWhitespaceAndNewlines(text.value_or("")).empty();
}

std::shared_ptr<ui::ImageView> skinImage(const char* name, const gfx::Rect& frame)
{
    auto image = ui::View::make<ui::ImageView>(frame);
    image->setImage(SkinManager::skinFromImageName(name));
    return image;
}

} // namespace

QuoteOrderHistoryController::~QuoteOrderHistoryController()
{
    if (m_loadMoreTimer)
        m_loadMoreTimer->invalidate();
    if (m_popCellEdit) {
        m_popCellEdit->setDelegate(nullptr);
        m_popCellEdit->dismissPopoverAnimated(false);
    }
    if (m_historyOrderTable) {
        m_historyOrderTable->setDataSource(nullptr);
        m_historyOrderTable->setDelegate(nullptr);
        m_historyOrderTable->setPullDelegate(nullptr);
    }
    if (m_searchBar)
        m_searchBar->setDelegate(nullptr);
}

void QuoteOrderHistoryController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    if (!bViewHasLoad()) {
        viewAfterFirstDidLoad();
        if (auto* nav = navigationController())
            nav->setNavigationBarHidden(true);
    }
    auto& root = *view();
    root.setBackgroundColor(gfx::Color::white());
    root.addSubview(skinImage("topbar-bg.png", {0, 0, 1024, 44}));
    root.addSubview(skinImage("quote-topbar.png", {0, 44, 1024, 60}));
    m_title = ui::View::make<ui::Label>(gfx::Rect{446, 11, 132, 21});
    m_title->setBackgroundColor(gfx::Color::clear());
    m_title->setTextColor(gfx::Color::white());
    m_title->setFont(gfx::Font("Helvetica-Bold", 20));
    m_title->setTextAlignment(gfx::TextAlignment::Center);
    root.addSubview(m_title);

    std::weak_ptr<QuoteOrderHistoryController> weak =
        std::static_pointer_cast<QuoteOrderHistoryController>(shared_from_this());
    m_btnNewOrder = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{911, 5, 105, 34});
    PublicFunction::initializeToForwardButtonHeight34(m_btnNewOrder.get());
    m_btnNewOrder->addTarget([weak](ui::Control&) {
        if (auto self = weak.lock())
            self->btnNewOrderClick();
    }, ui::ControlEventTouchUpInside);
    root.addSubview(m_btnNewOrder);

    m_segments = ui::View::make<ui::SegmentedControl>(std::vector<std::string>{"", "", ""}, gfx::Rect{15, 54, 340, 40});
    m_segments->setSelectedSegmentIndex(m_currentShowType);
    m_segments->setMultipleTouchEnabled(false);
    m_segments->addTarget([weak](ui::Control&) {
        if (auto self = weak.lock()) {
            self->m_currentShowType = self->m_segments->selectedSegmentIndex();
            self->refreshData();
            // Another list: it starts at its first row, not at the old one's offset.
            if (self->m_historyOrderTable)
                self->m_historyOrderTable->setContentOffset({0, -self->m_historyOrderTable->contentInset().top});
        }
    }, ui::ControlEventValueChanged);
    root.addSubview(m_segments);

    m_searchBar = ui::View::make<ui::SearchBar>(gfx::Rect{749, 57, 260, 34});
    m_searchBar->setBackgroundColor(gfx::Color::clear());
    m_searchBar->setBackgroundImage(SkinManager::skinFromImageName("bg_searchbar.png"));
    m_searchBar->setDelegate(this);
    root.addSubview(m_searchBar);

    auto header = skinImage("titlebar.png", {0, 104, 1024, 46});
    header->setUserInteractionEnabled(true);
    m_headerTitles.clear();
    for (auto [x, width] : {std::pair{70.0, 120.0}, {260, 100}, {420, 80}, {550, 100}, {710, 80}}) {
        auto label = ui::View::make<ui::Label>(gfx::Rect{x, 0, width, 46});
        label->setBackgroundColor(gfx::Color::clear());
        label->setFont(gfx::Font::boldSystemFont(16));
        label->setTextAlignment(gfx::TextAlignment::Center);
        header->addSubview(label);
        m_headerTitles.push_back(label);
    }
    m_btnSubmitAll = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{860, 9, 90, 30});
    PublicFunction::initializeToButtonHeight30(m_btnSubmitAll.get());
    m_btnSubmitAll->titleLabel().setFont(gfx::Font::boldSystemFont(14));
    m_btnSubmitAll->setHidden(true);
    m_btnSubmitAll->addTarget([weak](ui::Control&) {
        if (auto self = weak.lock())
            self->btnSubmitAllClick();
    }, ui::ControlEventTouchUpInside);
    header->addSubview(m_btnSubmitAll);
    root.addSubview(header);

    m_historyOrderTable = std::make_shared<QuoteOrderHistoryTableView>(gfx::Rect{0, 152, 1024, 530});
    m_historyOrderTable->setRowHeight(50);
    m_historyOrderTable->setDataSource(this);
    m_historyOrderTable->setDelegate(this);
    m_historyOrderTable->setPullDelegate(this);
    m_historyOrderTable->setRefreshEnable(false);
    m_historyOrderTable->setLoadMoreEnable(false);
    root.addSubview(m_historyOrderTable);
    updateLanguage(nullptr);
}

void QuoteOrderHistoryController::hightVersionViewDidUnload()
{
    // Only a screen out of sight lets its views go; they are built again on the next load.
    if (!isViewLoaded() || view()->window())
        return;
    dismissPopover();
    if (m_historyOrderTable) {
        m_historyOrderTable->setDataSource(nullptr);
        m_historyOrderTable->setDelegate(nullptr);
        m_historyOrderTable->setPullDelegate(nullptr);
    }
    if (m_searchBar)
        m_searchBar->setDelegate(nullptr);
    m_historyOrderTable.reset();
    m_title.reset();
    m_btnNewOrder.reset();
    m_segments.reset();
    m_searchBar.reset();
    m_headerTitles.clear();
    m_btnSubmitAll.reset();
    setView(nullptr);
}

void QuoteOrderHistoryController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    store->setDelegate(std::static_pointer_cast<QuoteOrderHistoryController>(shared_from_this()));
    refreshData();
    // The catalogue left a new order: open it, marked changed, once this screen has appeared
    // (an editor pushed mid-appearance would never hear that it appeared).
    if (store->addQuoteOrder()) {
        std::weak_ptr<ui::Responder> weak = shared_from_this();
        base::RunLoop::main().post([this, weak] {
            if (weak.lock() && QuoteOrderStore::sharedQuoteOrderStore()->addQuoteOrder())
                openNewOrder(true);
        });
    }
}

void QuoteOrderHistoryController::updateLanguage(ui::Responder*)
{
    if (!m_title)
        return;
    m_title->setText(Language::stringWithName("ORDERLIST"));
    m_btnNewOrder->setTitle(Language::stringWithName("NEWORDER"));
    const char* segments[] = {"ALL", "SUBMITTED", "UNSUBMITTED"};
    for (size_t i = 0; i < 3; ++i)
        m_segments->setTitleForSegmentAtIndex(Language::stringWithName(segments[i]), i);
    m_searchBar->setPlaceholder(Language::stringWithName("ORDERSEARCHPLACEHOLDER"));
    const char* columns[] = {"ORDERNUMBER", "CUSTOMER", "PRICE", "ORDERTIME", "NOTE"};
    for (size_t i = 0; i < m_headerTitles.size(); ++i)
        m_headerTitles[i]->setText(Language::stringWithName(columns[i]));
    m_btnSubmitAll->setTitle(Language::stringWithName("SUBMITALL"));
    // Rows are filled again: the SUBMIT title, the badge and the date's form follow the language.
    m_historyOrderTable->reloadData();
    if (m_popCellEdit)
        if (auto content = std::dynamic_pointer_cast<HistoryEditPopController>(m_popCellEdit->contentViewController()))
            content->updateLanguage(nullptr);
}

void QuoteOrderHistoryController::loadByConfig()
{
    ++m_loadByConfigCount;
}

void QuoteOrderHistoryController::refreshData()
{
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    std::optional<std::string> search;
    if (m_searchBar)
        search = m_searchBar->text();
    m_selectOrders = store->fetchQuoteOrdersCondition(m_currentShowType, search);
    if (!m_historyOrderTable)
        return;
    bool loadMore = (m_currentShowType == 0 || m_currentShowType == 1) &&
                    LoginMode::sharedInstance()->loginType() != kDemoLoginType;
    m_historyOrderTable->setRefreshEnable(false);
    m_historyOrderTable->setLoadMoreEnable(loadMore);
    bool customersShown = store->isCustomerOnShow();
    bool anySubmittable = false;
    for (const auto& order : m_selectOrders) {
        if (!order->isUploaded() && order->hasItems() && (!customersShown || !isBlank(order->customerName()))) {
            anySubmittable = true;
            break;
        }
    }
    m_btnSubmitAll->setHidden(!anySubmittable);
    // A list taller than its frame ends with the points its last whole row leaves over, so that
    // at its end, where older orders are scrolled to, the top row is not cut by the header.
    double frame = m_historyOrderTable->bounds().height();
    double rowHeight = m_historyOrderTable->rowHeight();
    double spare = rowHeight > 0 ? std::fmod(frame, rowHeight) : 0;
    if (spare > 0 && static_cast<double>(m_selectOrders.size()) * rowHeight > frame) {
        auto footer = ui::View::make<ui::View>(gfx::Rect{0, 0, m_historyOrderTable->bounds().width(), spare});
        footer->setBackgroundColor(gfx::Color::clear());
        m_historyOrderTable->setTableFooterView(footer);
    } else {
        m_historyOrderTable->setTableFooterView(nullptr);
    }
    m_historyOrderTable->reloadData();
}

QuoteOrderHistoryController::Order QuoteOrderHistoryController::orderWithSerial(int serial) const
{
    for (const auto& order : m_selectOrders) {
        if (order->serial() == serial)
            return order;
    }
    return nullptr;
}

// --- The list -------------------------------------------------------------------------------

int QuoteOrderHistoryController::numberOfRowsInSection(ui::TableView&, int)
{
    return static_cast<int>(m_selectOrders.size());
}

std::shared_ptr<ui::TableViewCell> QuoteOrderHistoryController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                   const ui::IndexPath& indexPath)
{
    auto cell = std::dynamic_pointer_cast<QuoteOrderHistoryTableViewCell>(
        table.dequeueReusableCellWithIdentifier(QuoteOrderHistoryTableViewCell::kReuseIdentifier));
    if (!cell) {
        cell = std::make_shared<QuoteOrderHistoryTableViewCell>();
        std::weak_ptr<QuoteOrderHistoryController> weak =
            std::static_pointer_cast<QuoteOrderHistoryController>(shared_from_this());
        auto* button = &cell->btnSubmit();
        button->addTarget([weak, button](ui::Control&) {
            if (auto self = weak.lock())
                self->btnSubmitClick(button->tag());
        }, ui::ControlEventTouchUpInside);
    }
    fillCell(*cell, indexPath.row);
    return cell;
}

void QuoteOrderHistoryController::fillCell(QuoteOrderHistoryTableViewCell& cell, int row)
{
    cell.setIsSigned(false);
    cell.updateLanguage();
    if (row < 0 || static_cast<size_t>(row) >= m_selectOrders.size()) {
        cell.clear();
        cell.setTag(0);
        return;
    }
    const auto& order = m_selectOrders[static_cast<size_t>(row)];
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    cell.setTag(kRowTagBase + row);
    if (cell.gestureRecognizers().empty()) {
        auto press = std::make_shared<ui::LongPressGestureRecognizer>();
        press->setMinimumPressDuration(kLongPressSeconds);
        std::weak_ptr<QuoteOrderHistoryController> weak =
            std::static_pointer_cast<QuoteOrderHistoryController>(shared_from_this());
        press->addTarget([weak](ui::GestureRecognizer& recognizer) {
            if (auto self = weak.lock())
                self->columnLongPressed(recognizer);
        });
        cell.addGestureRecognizer(press);
    }
    cell.setOderNumber(order->number());
    cell.btnSubmit().setHidden(order->isUploaded());
    if (!order->isUploaded())
        cell.btnSubmit().setTag(kRowTagBase + row);
    cell.setStrOrderTime(order->mdate());
    cell.setCustomer(order->customerName());
    if (store->isCustomerOnShow())
        cell.btnSubmit().setEnabled(!isBlank(order->customerName()) && order->hasItems());
    else
        cell.btnSubmit().setEnabled(order->hasItems());
    if (!order->hasItems())
        order->setCurrency(std::nullopt);
    cell.setStrPrice(order->strDiscount());
    cell.setNote(order->customerNote());
    cell.setIsSigned(!isBlank(order->signature()));
    cell.showTouched(row == m_selectedRow && m_historyOrderTable && m_historyOrderTable->cellIsSelected());
}

void QuoteOrderHistoryController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath)
{
    table.deselectRowAtIndexPath(indexPath, false);
    if (indexPath.row < 0 || static_cast<size_t>(indexPath.row) >= m_selectOrders.size())
        return;
    const auto& order = m_selectOrders[static_cast<size_t>(indexPath.row)];
    order->setIsInEdit(false);
    pushEditor(order->isUploaded() ? 1 : 2, order, false);
}

std::string QuoteOrderHistoryController::titleForDeleteConfirmationButtonForRowAtIndexPath(ui::TableView&,
                                                                                          const ui::IndexPath&)
{
    return Language::stringWithName("DELETE");
}

void QuoteOrderHistoryController::commitEditingStyle(ui::TableView&, ui::TableViewCellEditingStyle style,
                                                     const ui::IndexPath& indexPath)
{
    if (style != ui::TableViewCellEditingStyle::Delete || indexPath.row < 0 ||
        static_cast<size_t>(indexPath.row) >= m_selectOrders.size())
        return;
    historyOrderDelete(indexPath.row, m_selectOrders[static_cast<size_t>(indexPath.row)]->serial());
}

// --- Editor ---------------------------------------------------------------------------------

void QuoteOrderHistoryController::pushEditor(int state, const Order& order, bool changed)
{
    auto* nav = navigationController();
    if (!nav || !order)
        return;
    auto editor = std::make_shared<QuoteOrderViewController>();
    editor->setState(state);
    editor->setQuoteOrder(order);
    editor->setIsOrderChanged(changed);
    nav->pushViewController(editor, true);
}

void QuoteOrderHistoryController::btnNewOrderClick()
{
    openNewOrder(false);
}

void QuoteOrderHistoryController::openNewOrder(bool changed)
{
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    auto order = store->createNewQuoteOrder();
    // The editor keeps the order; the store starts afresh next time.
    store->setAddQuoteOrder(nullptr);
    pushEditor(0, order, changed);
}

// --- Submitting -----------------------------------------------------------------------------

void QuoteOrderHistoryController::btnSubmitAllClick()
{
    submit(0);
}

void QuoteOrderHistoryController::btnSubmitClick(int tag)
{
    int row = tag - kRowTagBase;
    if (tag < kRowTagBase || static_cast<size_t>(row) >= m_selectOrders.size())
        return;
    submit(m_selectOrders[static_cast<size_t>(row)]->serial());
}

void QuoteOrderHistoryController::submit(int orderId)
{
    if (LoginMode::sharedInstance()->loginType() == kDemoLoginType) {
        showAlert(Language::stringWithName("DEMOMODELOGIN"), Language::stringWithName("ISEE"),
                  {Language::stringWithName("SIGNUPNOW")}, kDemoAlertTag);
        return;
    }
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    // One upload at a time: a second tap before the answer sends nothing.
    if (store->submitting())
        return;
    MessageBox::sharedInstance()->BeginBlockWaitTimeout(Language::stringWithName("SUBMITINGORDER"), kSubmitWaitSeconds);
    store->startUploadQuoteOrder(orderId);
}

void QuoteOrderHistoryController::finishedUploadQuoteOrdersMessage(const Text& status, const Text& message)
{
    MessageBox::sharedInstance()->EndBlockWait();
    if (status == Text("200")) {
        refreshData();
        showAlert(Language::stringWithName("SUCCESSFULLYSUBMIT"), Language::stringWithName("OK"), {}, 0);
    } else if (message == Text(Language::stringWithName("101"))) {
        showAlert(*message, Language::stringWithName("CANCEL"), {Language::stringWithName("LOGOUTSETTINGS")},
                  kLoginLostAlertTag);
    } else {
        showAlert(message.value_or(""), Language::stringWithName("OK"), {}, 0);
    }
}

void QuoteOrderHistoryController::showAlert(const std::string& message, const std::string& cancel,
                                            std::vector<std::string> others, int tag)
{
    std::string title = Language::stringWithName(tag == kDemoAlertTag ? "FUNCTIONLIMITED" : "NOTIFICATION");
    auto alert = std::make_shared<ui::AlertView>(title, message, nullptr, cancel, std::move(others));
    alert->setDelegate(std::weak_ptr<ui::AlertViewDelegate>(
        std::static_pointer_cast<QuoteOrderHistoryController>(shared_from_this())));
    alert->setTag(tag);
    alert->show();
}

void QuoteOrderHistoryController::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    int tag = alert.tag();
    if (tag >= kRowTagBase) {
        int serial = m_deleteSerial;
        m_deleteSerial = 0;
        if (index == 1 && orderWithSerial(serial)) {
            if (QuoteOrderStore::sharedQuoteOrderStore()->removeQuoteOrder(serial))
                refreshData();
            else
                showAlert(Language::stringWithName("FAILED"), Language::stringWithName("OK"), {}, 0);
        }
        releaseHeldRow();
    } else if (tag == kDemoAlertTag) {
        if (index == 1)
            ui::Application::shared().openURL(AppSession::kRegistrationPageAddress);
    } else if (tag == kLoginLostAlertTag) {
        if (index == alert.firstOtherButtonIndex())
            if (auto app = AppSession::shared())
                app->showLoginPage();
    }
}

// --- Older orders ---------------------------------------------------------------------------

void QuoteOrderHistoryController::pullTableViewDidTriggerLoadMore(BRPullTableView&)
{
    std::weak_ptr<QuoteOrderHistoryController> weak =
        std::static_pointer_cast<QuoteOrderHistoryController>(shared_from_this());
    if (m_loadMoreTimer)
        m_loadMoreTimer->invalidate();
    m_loadMoreTimer = base::Timer::scheduled(kLoadMoreDelay, false, [weak](base::Timer&) {
        if (auto self = weak.lock())
            QuoteOrderStore::sharedQuoteOrderStore()->getLastTenOrderHistory();
    });
}

void QuoteOrderHistoryController::finishedSyncHistoryQuoteOrdersMessage(const Text& status, const Text& message)
{
    if (m_historyOrderTable)
        m_historyOrderTable->setPullTableIsLoadingMore(false);
    if (status == Text("200")) {
        if (message == Text("reachEnd"))
            return;
        refreshData();
        // The last row at the bottom, with the list's spare points beneath it.
        if (m_historyOrderTable && !m_selectOrders.empty()) {
            auto& table = *m_historyOrderTable;
            table.layoutIfNeeded();
            double end = table.contentSize().height - table.bounds().height();
            if (end > 0)
                table.setContentOffset({table.contentOffset().x, end}, true);
        }
        return;
    }
    if (status && message == Text(Language::stringWithName("101")))
        showAlert(*message, Language::stringWithName("CANCEL"), {Language::stringWithName("LOGOUTSETTINGS")},
                  kLoginLostAlertTag);
}

// --- Search ---------------------------------------------------------------------------------

void QuoteOrderHistoryController::searchBarTextDidChange(ui::SearchBar&, const std::string&)
{
    refreshData();
}

void QuoteOrderHistoryController::searchBarSearchButtonClicked(ui::SearchBar& bar)
{
    if (!base::trimmingWhitespaceAndNewlines(bar.text()).empty())
        refreshData();
    bar.resignFirstResponder();
}

// --- Copy and delete ------------------------------------------------------------------------

void QuoteOrderHistoryController::columnLongPressed(ui::GestureRecognizer& recognizer)
{
    using State = ui::GestureRecognizer::State;
    if (recognizer.state() != State::Began && recognizer.state() != State::Cancelled)
        return;
    auto* cell = recognizer.view();
    if (!cell || !m_historyOrderTable || cell->tag() < kRowTagBase)
        return;
    int row = cell->tag() - kRowTagBase;
    if (static_cast<size_t>(row) >= m_selectOrders.size())
        return;
    dismissPopover();
    auto content = std::make_shared<HistoryEditPopController>(row, m_selectOrders[static_cast<size_t>(row)]->serial());
    content->setDelegate(this);
    m_popCellEdit = std::make_shared<ui::PopoverController>(content);
    m_popCellEdit->setPopoverContentSize({121, 34});
    m_popCellEdit->setDelegate(this);

    auto& table = *m_historyOrderTable;
    gfx::Rect anchor = table.rectForRowAtIndexPath({0, row});
    anchor.origin.x = recognizer.locationInView(&table).x;
    anchor.size.width = 1;
    unsigned arrow;
    if (anchor.origin.y - table.contentOffset().y < 400) {
        anchor.origin.y -= 20;
        arrow = ui::PopoverArrowDirectionUp;
    } else {
        anchor.origin.y += 20;
        arrow = ui::PopoverArrowDirectionDown;
    }
    m_popCellEdit->presentPopoverFromRect(anchor, &table, arrow, true);
    m_selectedRow = row;
    table.setCellIsSelected(true);
    table.showRowTouched(row, true);
}

void QuoteOrderHistoryController::dismissPopover()
{
    if (!m_popCellEdit)
        return;
    m_popCellEdit->setDelegate(nullptr);
    m_popCellEdit->dismissPopoverAnimated(true);
    m_popCellEdit.reset();
}

void QuoteOrderHistoryController::releaseHeldRow()
{
    if (!m_historyOrderTable)
        return;
    m_historyOrderTable->showRowTouched(m_selectedRow, false);
    m_historyOrderTable->setCellIsSelected(false);
}

void QuoteOrderHistoryController::popoverControllerDidDismissPopover(ui::PopoverController& popover)
{
    if (m_popCellEdit.get() != &popover)
        return;
    releaseHeldRow();
    m_popCellEdit.reset();
}

void QuoteOrderHistoryController::historyOrderCopy(int, int orderSerial)
{
    dismissPopover();
    releaseHeldRow();
    // The list may have been fetched again since the popover opened: copy the order it named.
    if (auto order = orderWithSerial(orderSerial))
        QuoteOrderStore::sharedQuoteOrderStore()->copyQuoteOrderEntity(order);
    refreshData();
}

void QuoteOrderHistoryController::historyOrderDelete(int cellTag, int orderSerial)
{
    dismissPopover();
    if (!orderWithSerial(orderSerial)) {
        releaseHeldRow();
        return;
    }
    m_deleteSerial = orderSerial;
    showAlert(Language::stringWithName("AREYOUSUREDELETEORDER"), Language::stringWithName("CANCEL"),
              {Language::stringWithName("OK")}, kRowTagBase + cellTag);
}
