#include "Classes/Order/QuoteOrderViewController.h"

#include "Classes/Order/QuoteOrderPDFViewController.h"

#include "Widgets/IconButton.h"
#include "Widgets/ProductAttributeView.h"

#include "App/BrivantaAppDelegate.h"
#include "App/UITabBarControllerExt.h"
#include "Common/AppSession.h"
#include "Common/ConfigManager.h"
#include "Common/FreeDismissAlertView.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/MessageBox.h"
#include "Common/NumericInputValidator.h"
#include "Common/PublicFunction.h"
#include "Common/QVTextField.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Protocol/LoginMode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

std::string text(const char* key)
{
    return Language::stringWithName(key);
}

std::string colon(const char* key)
{
    return Language::stringWithName(key) + ":";
}

bool blank(const std::optional<std::string>& value)
{
    return !value || value->find_first_not_of(" \t\r\n") == std::string::npos;
}

std::string withoutCommas(const std::string& value)
{
    return PublicFunction::stringRemoveTagStrTag(value, std::string(",")).value_or("");
}

std::shared_ptr<ui::Label> makeLabel(const gfx::Rect& frame, gfx::Font font, gfx::Color color = gfx::Color::black(),
                                     gfx::TextAlignment alignment = gfx::TextAlignment::Left)
{
    auto label = ui::View::make<ui::Label>(frame);
    label->setFont(font);
    label->setTextColor(color);
    label->setTextAlignment(alignment);
    label->setBackgroundColor(gfx::Color::clear());
    return label;
}

std::shared_ptr<ui::ImageView> skinImage(const gfx::Rect& frame, const char* name)
{
    auto view = ui::View::make<ui::ImageView>(frame);
    view->setImage(SkinManager::skinFromImageName(std::string(name)));
    return view;
}

} // namespace

std::shared_ptr<QuoteOrderViewController> QuoteOrderViewController::self()
{
    return std::static_pointer_cast<QuoteOrderViewController>(shared_from_this());
}

void QuoteOrderViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    m_data = DataAccessManager::sharedDataModel();
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
    buildViews();
    if (m_state == 1) {
        setButtonsEnable(false);
        setButtonsHidden(true);
    }
    if (m_quoteOrder)
        m_txtNote->setText(m_quoteOrder->customerNote());
    std::weak_ptr<QuoteOrderViewController> weak = self();
    auto& center = base::NotificationCenter::defaultCenter();
    m_keyboardFrameToken = center.addObserver(ui::kKeyboardWillChangeFrameNotification, nullptr, [weak](const base::Notification&) {
        if (auto screen = weak.lock())
            screen->changekeyBoardFrame();
    });
    m_keyboardHideToken = center.addObserver(ui::kKeyboardWillHideNotification, nullptr, [weak](const base::Notification&) {
        if (auto screen = weak.lock())
            screen->keyboardWillHidden();
    });
    m_keepOrderToken = center.addObserver(QuoteOrderStore::kKeepOpenOrderNotification, nullptr, [weak](const base::Notification&) {
        if (auto screen = weak.lock())
            screen->keepUnsavedOrder();
    });
    updateLanguage(nullptr);
}

void QuoteOrderViewController::buildViews()
{
    auto root = view();
    root->setBackgroundColor(gfx::Color::white());
    std::weak_ptr<QuoteOrderViewController> weak = self();
    auto on = [weak](void (QuoteOrderViewController::*action)()) {
        return [weak, action](ui::Control&) {
            if (auto screen = weak.lock())
                ((*screen).*action)();
        };
    };

    m_topBar = skinImage({0, 0, 1024, 44}, "topbar-bg.png");
    root->addSubview(m_topBar);
    m_lblTitle = makeLabel({446, 7, 132, 30}, gfx::Font("Helvetica-Bold", 20), gfx::Color::white(), gfx::TextAlignment::Center);
    root->addSubview(m_lblTitle);
    m_btnOrderList = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect(8, 5, 100, 34));
    PublicFunction::initializeToBackButtonHeight34(m_btnOrderList.get());
    m_btnOrderList->addTarget(on(&QuoteOrderViewController::btnHistoryClick), ui::ControlEventTouchUpInside);
    root->addSubview(m_btnOrderList);

    m_headerBand = skinImage({0, 44, 1024, 100}, "quote-topbar.png");
    root->addSubview(m_headerBand);
    gfx::Font labelFont = gfx::Font::boldSystemFont(16);
    gfx::Color labelColor = gfx::Color::fromRgb(53, 107, 168);
    m_lblOrderTime = makeLabel({20, 59, 100, 30}, labelFont, labelColor);
    m_lblOrderTimeValue = makeLabel({120, 59, 160, 30}, gfx::Font::systemFont(16));
    m_lblNote = makeLabel({380, 59, 60, 30}, labelFont, labelColor);
    m_lblCustomer = makeLabel({20, 99, 90, 30}, labelFont, labelColor);
    m_lblAddress = makeLabel({380, 99, 130, 30}, labelFont, labelColor);
    auto field = [this](const gfx::Rect& frame, int tag) {
        auto f = ui::View::make<ui::TextField>(frame);
        f->setTag(tag);
        f->setDelegate(this);
        f->setAutocorrectionType(ui::TextAutocorrectionType::No);
        return f;
    };
    m_txtNote = field({455, 59, 550, 30}, kTagNoteField);
    m_txtNote->setClearButtonMode(ui::TextFieldViewMode::WhileEditing);
    // A gap after the label's colon, which its bold text reaches the end of.
    m_txtCustomer = field({116, 99, 214, 30}, kTagCustomerField);
    m_txtAddress = field({455, 99, 550, 30}, kTagAddressField);
    m_txtCustomer->setClearButtonMode(ui::TextFieldViewMode::WhileEditing);
    m_txtCustomer->addTarget([weak](ui::Control&) {
        if (auto screen = weak.lock())
            screen->customerTextChanged();
    }, ui::ControlEventEditingChanged);
    for (const auto& v : std::vector<std::shared_ptr<ui::View>>{m_lblOrderTime, m_lblOrderTimeValue, m_lblNote, m_txtNote,
                                                                m_lblCustomer, m_txtCustomer, m_lblAddress, m_txtAddress})
        root->addSubview(v);

    m_columnBar = skinImage({0, 144, 1024, 46}, "titlebar.png");
    root->addSubview(m_columnBar);
    // Over the row's parts: product (picture and name), details, quantity, price, rate,
    // discounted price, line total.
    const gfx::Rect columns[] = {{5, 144, 300, 46},   {315, 144, 150, 46}, {470, 144, 80, 46}, {548, 144, 110, 46},
                                 {660, 144, 100, 46}, {765, 144, 130, 46}, {900, 144, 115, 46}};
    m_columnTitles.clear();
    for (const gfx::Rect& frame : columns) {
        auto title = makeLabel(frame, gfx::Font::boldSystemFont(16), gfx::Color::fromWhite(0.25), gfx::TextAlignment::Center);
        title->setAdjustsFontSizeToFitWidth(true);
        title->setMinimumFontSize(11);
        m_columnTitles.push_back(title);
        root->addSubview(title);
    }

    // The stamp lies behind the rows: the table is clear.
    m_signedStamp = ui::View::make<ui::ImageView>(gfx::Rect(820, 342, 164, 87));
    m_signedStamp->setHidden(true);
    root->addSubview(m_signedStamp);
    m_tableView = ui::View::make<ui::TableView>(tableFrame());
    m_tableView->setBackgroundColor(gfx::Color::clear());
    m_tableView->setSeparatorColor(gfx::Color::clear());
    m_tableView->setRowHeight(100);
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    root->addSubview(m_tableView);
    m_addProductsRow = ui::View::make<ui::View>(gfx::Rect(0, 0, 1024, 80));
    m_addProductsRow->setBackgroundColor(gfx::Color::clear());
    m_btnAddProducts = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect(30, 15, 200, 50));
    m_btnAddProducts->setImage(SkinManager::skinFromImageName(std::string("icon-add.png")));
    m_btnAddProducts->titleLabel().setFont(gfx::Font("Helvetica-Bold", 16));
    m_btnAddProducts->setTitleColor(gfx::Color::gray());
    m_btnAddProducts->addTarget(on(&QuoteOrderViewController::tapNewProduct), ui::ControlEventTouchUpInside);
    m_addProductsRow->addSubview(m_btnAddProducts);

    m_footerBar = ui::View::make<ui::View>(footerFrame());
    m_footerBackground = skinImage({0, 0, 1024, 50}, "quote-btmbar.png");
    m_footerBar->addSubview(m_footerBackground);
    m_lblTotal = makeLabel({20, 5, 110, 40}, gfx::Font::boldSystemFont(15), gfx::Color::white(), gfx::TextAlignment::Right);
    m_lblTotalValue = makeLabel({135, 5, 140, 40}, gfx::Font::boldSystemFont(17), gfx::Color::white());
    m_btnDiscount = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect(280, 5, 40, 40));
    m_btnDiscount->setImage(SkinManager::skinFromImageName(std::string("Icon_Discount_30x30.png")));
    m_btnDiscount->setImageEdgeInsets({5, 5, 5, 5});
    m_btnDiscount->addTarget(on(&QuoteOrderViewController::btnDiscountRatClick), ui::ControlEventTouchUpInside);
    m_lblDiscountedTotal = makeLabel({330, 5, 140, 40}, gfx::Font::boldSystemFont(15), gfx::Color::white(), gfx::TextAlignment::Right);
    m_lblCurrency = makeLabel({480, 5, 10, 40}, gfx::Font::boldSystemFont(17), gfx::Color::white());
    m_txtDiscount = ui::View::make<QVTextField>(gfx::Rect(490, 11, 140, 30));
    m_txtDiscount->setTag(kTagDiscountField);
    m_txtDiscount->setInputValidator(std::make_shared<NumericInputValidator>());
    m_txtDiscount->setKeyboardType(ui::KeyboardType::NumberPad);
    m_txtDiscount->setDelegate(this);
    auto button = [&](const gfx::Rect& frame, void (QuoteOrderViewController::*action)()) {
        auto b = ui::View::make<ui::Button>(ui::ButtonType::Custom, frame);
        PublicFunction::initializeToButtonHeight34(b.get());
        b->addTarget(on(action), ui::ControlEventTouchUpInside);
        return b;
    };
    m_btnSave = button({660, 7, 80, 34}, &QuoteOrderViewController::btnSaveClick);
    m_btnSave->setTag(kTagSaveButton);
    m_btnSubmit = button({770, 7, 80, 34}, &QuoteOrderViewController::btnSubmitClick);
    m_btnViewInPDF = button({880, 7, 120, 34}, &QuoteOrderViewController::btnViewAsPDFClick);
    for (const auto& v : std::vector<std::shared_ptr<ui::View>>{m_lblTotal, m_lblTotalValue, m_btnDiscount, m_lblDiscountedTotal,
                                                                m_lblCurrency, m_txtDiscount, m_btnSave, m_btnSubmit, m_btnViewInPDF})
        m_footerBar->addSubview(v);
    root->addSubview(m_footerBar);

    m_searchResult = std::make_shared<SearchResultTableView>();
    m_searchResult->setDelegate(this);
    m_searchPopover = std::make_shared<ui::PopoverController>(m_searchResult);
    m_searchPopover->setPopoverContentSize({263, 200});
    m_searchPopover->setDelegate(this);

    m_discountPopup = std::make_shared<DiscountPopController>();
    m_discountPopup->setDelegate(this);
    m_discountPopover = std::make_shared<ui::PopoverController>(m_discountPopup);
    m_discountPopover->setPopoverContentSize(DiscountPopController::kContentSize);
}

void QuoteOrderViewController::loadByConfig()
{
    auto config = ConfigManager::sharedInstance();
    m_isCustomerOnShow = config->isOnShow(2);
    m_couldModifyPrice = config->couldModifyPrice();
    if (m_lblAddress) {
        m_lblAddress->setHidden(!m_isCustomerOnShow);
        m_txtAddress->setHidden(!m_isCustomerOnShow);
    }
}

bool QuoteOrderViewController::isSigned() const
{
    return m_quoteOrder && !blank(m_quoteOrder->signature());
}

void QuoteOrderViewController::fillFromOrder()
{
    const QuoteOrderEntity& order = *m_quoteOrder;
    m_txtCustomer->setText(order.customerName().value_or(""));
    m_txtNote->setText(order.customerNote());
    m_lblOrderTimeValue->setText(order.mdateShow());
    m_lblCurrency->setText(PublicFunction::flagWithCurrency(order.currency().value_or("")));
    m_txtAddress->setText(m_isCustomerOnShow ? getNewAddressValues() : order.customerAddress().value_or(""));
    m_signedStamp->setHidden(!isSigned());
}

void QuoteOrderViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    loadByConfig();
    QuoteOrderStore::sharedQuoteOrderStore()->setDelegate(std::static_pointer_cast<QuoteOrderStoreDelegate>(self()));
    if (auto* nav = navigationController())
        nav->setNavigationBarHidden(true);
    if (m_quoteOrder) {
        if (m_state == 0)
            copyDefaultAddress(false);
        fillFromOrder();
    }
    std::string sign = m_quoteOrder ? PublicFunction::flagWithCurrency(m_quoteOrder->currency().value_or("")) : "";
    if (m_state == 2) {
        m_lblCurrency->setText(sign);
        if (m_quoteOrder && m_quoteOrder->isInEdit()) {
            setButtonsEnable(true);
            setAddProductsRowShown(true);
            if (m_orderItemsNumber != m_quoteOrder->items().size())
                m_isOrderChanged = true;
        } else {
            setButtonsEnable(false);
            setAddProductsRowShown(false);
        }
    } else if (m_state == 1) {
        m_lblCurrency->setText(sign);
        setButtonsEnable(false);
        setAddProductsRowShown(false);
    } else {
        setButtonsEnable(m_quoteOrder != nullptr);
        setAddProductsRowShown(true);
        // A new order signed on the PDF screen is stored on return.
        if (isSigned())
            saveCurrentOrder();
    }
    if (!m_quoteOrder || !m_quoteOrder->hasItems())
        m_lblCurrency->setText("");
}

void QuoteOrderViewController::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    m_tableView->reloadData();
    updateTotal();
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    if (m_state != 0 && store->addQuoteOrder()) {
        auto fresh = std::make_shared<QuoteOrderViewController>();
        fresh->setState(0);
        fresh->setQuoteOrder(store->createNewQuoteOrder());
        fresh->setIsOrderChanged(true);
        store->setAddQuoteOrder(nullptr);
        if (auto* nav = navigationController())
            nav->pushViewController(fresh, false);
        return;
    }
    if (m_quoteOrder && m_quoteOrder->isInEdit())
        store->setCurQuoteOrder(m_quoteOrder);
}

void QuoteOrderViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    if (m_quoteOrder && m_quoteOrder->isInEdit())
        m_orderItemsNumber = static_cast<unsigned>(m_quoteOrder->items().size());
}

void QuoteOrderViewController::updateLanguage(ui::Responder*)
{
    if (!m_lblTitle)
        return;
    m_lblTitle->setText(text("QUOTEORDER"));
    m_btnOrderList->setTitle(text("ORDERLIST"));
    m_lblOrderTime->setText(colon("ORDERTIME"));
    m_lblNote->setText(colon("NOTE"));
    m_lblCustomer->setText(colon("CUSTOMER"));
    m_lblAddress->setText(colon("ADDRESS"));
    m_txtNote->setPlaceholder(m_txtNote->isEnabled() ? text("NOTEPLACEHOLDER") : std::string());
    const char* columnKeys[] = {"PRODUCT", "DETAILS", "QUANTITY", "ITEMPRICE", "DISCOUNT", "DISCOUNTEDPRICE", "ITEMIZEDTOTAL"};
    for (size_t i = 0; i < m_columnTitles.size(); ++i)
        m_columnTitles[i]->setText(text(columnKeys[i]));
    bool chinese = LanguageManager::sharedInstance()->currentLanguage() == 2;
    m_signedStamp->setImage(SkinManager::skinFromImageName(std::string(chinese ? "icon_signed_cn.png" : "icon_signed_en.png")));
    if (m_quoteOrder && m_isCustomerOnShow && !blank(m_txtAddress->text()))
        m_txtAddress->setText(getNewAddressValues());
    m_lblTotal->setText(colon("ORIGINALTOTAL"));
    m_lblDiscountedTotal->setText(colon("DISCOUNTEDTOTAL"));
    m_btnSave->setTitle(text(m_btnSave->tag() == kTagEditButton ? "EDIT" : "SAVE"));
    m_btnSubmit->setTitle(text("SUBMIT"));
    m_btnViewInPDF->setTitle(text("VIEWINPDF"));
    m_btnAddProducts->setTitle(text("ADDPRODUCTS"));
}

void QuoteOrderViewController::setAddProductsRowShown(bool shown)
{
    m_tableView->setTableFooterView(shown ? m_addProductsRow : nullptr);
}

void QuoteOrderViewController::updateTotal()
{
    if (!m_quoteOrder)
        return;
    if (m_quoteOrder->hasItems()) {
        std::string sign = PublicFunction::flagWithCurrency(m_quoteOrder->currency().value_or(""));
        m_lblTotalValue->setText(sign + PublicFunction::doubleFormate(m_quoteOrder->originalTotal()));
        m_txtDiscount->setText(PublicFunction::doubleFormate(m_quoteOrder->discount()));
    } else {
        m_lblTotalValue->setText("");
        m_txtDiscount->setText("");
        m_quoteOrder->setCurrency(std::nullopt);
        m_lblCurrency->setText("");
    }
}

void QuoteOrderViewController::setFieldLook(ui::TextField& field, bool enabled)
{
    field.setEnabled(enabled);
    field.setBorderStyle(enabled ? ui::TextBorderStyle::RoundedRect : ui::TextBorderStyle::None);
    field.setBackgroundColor(enabled ? gfx::Color::white() : gfx::Color::clear());
}

void QuoteOrderViewController::setButtonsEnable(bool enable)
{
    bool lines = m_quoteOrder && m_quoteOrder->hasItems();
    m_btnDiscount->setEnabled(enable);
    m_btnSave->setEnabled(enable);
    for (ui::TextField* field : {m_txtNote.get(), m_txtCustomer.get(), m_txtAddress.get()})
        setFieldLook(*field, enable);
    m_txtNote->setPlaceholder(enable ? text("NOTEPLACEHOLDER") : std::string());
    m_btnViewInPDF->setEnabled(lines);
    m_btnSubmit->setEnabled(lines && (!m_isCustomerOnShow || !blank(m_txtCustomer->text())));
    bool discountEditable = enable && m_couldModifyPrice && lines;
    m_btnDiscount->setHidden(!discountEditable);
    setFieldLook(*m_txtDiscount, discountEditable);
    // Read on the dark footer when it is plain text.
    m_txtDiscount->setTextColor(discountEditable ? gfx::Color::black() : gfx::Color::white());
    if (!enable && m_quoteOrder && !m_quoteOrder->isInEdit() && m_state == 2) {
        m_btnSave->setTitle(text("EDIT"));
        m_btnSave->setTag(kTagEditButton);
        // A signed saved order cannot be reopened.
        m_btnSave->setEnabled(m_signedStamp->isHidden());
    }
}

void QuoteOrderViewController::setButtonsHidden(bool hidden)
{
    m_btnDiscount->setHidden(hidden);
    m_btnSave->setHidden(hidden);
    m_btnSubmit->setHidden(hidden);
}

void QuoteOrderViewController::resetDiscount()
{
    if (!m_quoteOrder)
        return;
    m_quoteOrder->setDiscount(-1.0);
    if (m_quoteOrder->discount() == 0.0)
        m_quoteOrder->setDiscountRat(PublicFunction::shownDiscountRatFromAbsolute(100));
    updateTotal();
}

// --- Order discount ------------------------------------------------------------------------

void QuoteOrderViewController::btnDiscountRatClick()
{
    if (!m_quoteOrder)
        return;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2lf", std::round(m_quoteOrder->discountRat() * 100) / 100);
    m_discountPopup->txtDiscountRat()->setText(buffer);
    m_discountPopover->presentPopoverFromRect({280, 637, 40, 40}, view().get(), ui::PopoverArrowDirectionAny, true);
}

void QuoteOrderViewController::discountRatChanged(double rate)
{
    if (!m_quoteOrder)
        return;
    m_isOrderChanged = true;
    rate = std::min(rate, 100.0);
    m_quoteOrder->setDiscount(m_quoteOrder->total() * PublicFunction::absoluteDiscountRatFromShown(rate) / 100);
    m_quoteOrder->setDiscountRat(rate);
    m_txtDiscount->setText(PublicFunction::doubleFormate(m_quoteOrder->discount()));
}

void QuoteOrderViewController::discountWillEndInput()
{
    if (m_discountPopover->isPopoverVisible())
        m_discountPopover->dismissPopoverAnimated(true);
}

// --- Keyboard ----------------------------------------------------------------------------

void QuoteOrderViewController::placeTable(const gfx::Rect& frame, double duration)
{
    ui::View::AnimationOptions options;
    options.duration = duration;
    options.curve = ui::View::AnimationOptions::Curve::EaseOut;
    auto table = m_tableView;
    ui::View::animate(options, [table, frame] { table->setFrame(frame); });
}

void QuoteOrderViewController::checkKeyboardLanguage()
{
    // Nothing to make room for where no keyboard is on screen.
    if (!ui::Keyboard::isOnScreen())
        return;
    bool chinese = ui::Keyboard::currentInputModePrimaryLanguage() == "zh-Hans";
    ui::View::AnimationOptions options;
    options.duration = 0.3;
    options.curve = ui::View::AnimationOptions::Curve::EaseOut;
    auto footer = m_footerBar;
    auto table = m_tableView;
    ui::View::animate(options, [footer, table, chinese] {
        footer->setFrame({0, chinese ? 292.0 : 346.0, 1024, 50});
        gfx::Rect t = table->frame();
        table->setFrame({t.x(), t.y(), t.width(), chinese ? 145.0 : 199.0});
    });
    view()->bringSubviewToFront(m_footerBar.get());
}

void QuoteOrderViewController::changekeyBoardFrame()
{
    if (!m_footerBar || m_currentEditingField != m_txtDiscount.get())
        return;
    bool chinese = ui::Keyboard::currentInputModePrimaryLanguage() == "zh-Hans";
    double y = m_footerBar->frame().y();
    gfx::Rect t = m_tableView->frame();
    if (chinese && y == 346) {
        m_footerBar->setFrame({0, 292, 1024, 50});
        m_tableView->setFrame({t.x(), t.y(), t.width(), 145});
    } else if (!chinese && y == 292) {
        m_footerBar->setFrame({0, 346, 1024, 50});
        m_tableView->setFrame({t.x(), t.y(), t.width(), 199});
    }
}

void QuoteOrderViewController::keyboardWillHidden()
{
    if (m_tableView)
        placeTable(tableFrame(), 0.3);
}

// --- Fields --------------------------------------------------------------------------------

bool QuoteOrderViewController::textFieldShouldBeginEditing(ui::TextField& field)
{
    // The address is composed from its parts, never typed in place; a customer typed in by
    // name gets the four-row popup.
    if (&field != m_txtAddress.get())
        return true;
    std::string name = m_txtCustomer->text();
    if (m_isCustomerOnShow && !blank(name) && !isStoredCustomerName(name))
        openAddressPopup();
    return false;
}

bool QuoteOrderViewController::textFieldShouldClear(ui::TextField& field)
{
    if (&field == m_txtCustomer.get() && m_isCustomerOnShow) {
        popAllCustomerAsSearchResults();
        m_txtAddress->setText("");
    }
    return true;
}

// --- Customer and address --------------------------------------------------------------

bool QuoteOrderViewController::isStoredCustomerName(const std::string& name) const
{
    auto data = DataAccessManager::sharedDataModel();
    return data && data->customerModel() && data->customerModel()->getCustomerByCustomerName(name);
}

void QuoteOrderViewController::popAllCustomerAsSearchResults()
{
    const auto& everyone = CustomerDataModel::sharedInstance()->allSearchPersonList();
    if (everyone.empty())
        return;
    m_searchResult->setByContact(false);
    m_searchResult->setArrResult(everyone);
    if (!m_searchPopover->isPopoverVisible())
        m_searchPopover->presentPopoverFromRect(m_txtCustomer->frame(), view().get(), ui::PopoverArrowDirectionAny, true);
}

void QuoteOrderViewController::customerTextChanged()
{
    if (!m_isCustomerOnShow)
        return;
    std::string typed = m_txtCustomer->text();
    if (!blank(typed)) {
        auto found = CustomerDataModel::sharedInstance()->customerSearch(typed);
        m_searchResult->setByContact(false);
        m_searchResult->setArrResult(found);
        if (found.empty()) {
            if (m_searchPopover->isPopoverVisible())
                m_searchPopover->dismissPopoverAnimated(true);
        } else if (!m_searchPopover->isPopoverVisible()) {
            m_searchPopover->presentPopoverFromRect(m_txtCustomer->frame(), view().get(), ui::PopoverArrowDirectionAny, true);
        }
    } else {
        popAllCustomerAsSearchResults();
    }
    // The address belonged to the customer the field named before.
    m_txtAddress->setText("");
}

void QuoteOrderViewController::didSelectCell(const PersonInfo& person)
{
    m_isOrderChanged = true;
    m_searchPopover->dismissPopoverAnimated(false);
    m_txtCustomer->setText(person.name);
    // A long name picked shows its start, as it does once the field is left.
    m_txtCustomer->setSelectedRange(0, 0);
    // The pick ends the field's typing: keys typed next never edit the name picked, which
    // would no longer name the customer whose id the order holds.
    m_txtCustomer->resignFirstResponder();
    if (!m_quoteOrder)
        return;
    m_quoteOrder->setCustomerId(person.pid);
    m_quoteOrder->setCustomerName(person.name);
    updateCustomer();
}

void QuoteOrderViewController::copyDefaultAddress(bool refreshField)
{
    if (!m_quoteOrder || m_quoteOrder->customerId() == 0)
        return;
    auto address = CustomerDataModel::sharedInstance()->getDefaultAddressByCustomer(m_quoteOrder->customerId());
    if (refreshField && address.empty()) {
        m_txtAddress->setText(getNewAddressValues());
        return;
    }
    auto take = [&address](const char* key, void (QuoteOrderEntity::*set)(std::optional<std::string>), QuoteOrderEntity& order) {
        if (auto it = address.find(key); it != address.end())
            (order.*set)(it->second);
    };
    QuoteOrderEntity& order = *m_quoteOrder;
    take("Address", &QuoteOrderEntity::setCustomerAddress, order);
    take("City", &QuoteOrderEntity::setCity, order);
    take("State/Province/Region", &QuoteOrderEntity::setState, order);
    take("Zip Code", &QuoteOrderEntity::setZip_code, order);
    take("Phone", &QuoteOrderEntity::setPhoneNumber, order);
    take("Bank Account", &QuoteOrderEntity::setBankAccount, order);
    if (refreshField)
        m_txtAddress->setText(getNewAddressValues());
}

void QuoteOrderViewController::updateCustomer()
{
    if (!m_quoteOrder)
        return;
    if (m_quoteOrder->customerId() != 0) {
        copyDefaultAddress(true);
    } else {
        for (auto set : {&QuoteOrderEntity::setCustomerAddress, &QuoteOrderEntity::setCity, &QuoteOrderEntity::setState,
                         &QuoteOrderEntity::setZip_code, &QuoteOrderEntity::setPhoneNumber, &QuoteOrderEntity::setBankAccount})
            ((*m_quoteOrder).*set)(std::string());
    }
    m_btnSubmit->setEnabled(!blank(m_quoteOrder->customerName()) && m_quoteOrder->hasItems());
}

std::string QuoteOrderViewController::getNewAddressValues() const
{
    if (!m_quoteOrder)
        return {};
    const QuoteOrderEntity& order = *m_quoteOrder;
    struct Part {
        const std::optional<std::string>& value;
        const char* separator;
    };
    bool chinese = LanguageManager::sharedInstance()->currentLanguage() == 2;
    std::vector<Part> parts = chinese
        ? std::vector<Part>{{order.state(), " "}, {order.city(), " "}, {order.customerAddress(), " "}, {order.zip_code(), ""}}
        : std::vector<Part>{{order.customerAddress(), ", "}, {order.city(), ", "}, {order.state(), " "}, {order.zip_code(), ""}};
    std::string line;
    for (const Part& part : parts)
        if (!blank(part.value))
            line += *part.value + part.separator;
    return line;
}

void QuoteOrderViewController::openAddressPopup()
{
    if (!m_quoteOrder)
        return;
    const QuoteOrderEntity& order = *m_quoteOrder;
    m_addressPopup = blank(m_txtAddress->text())
        ? std::make_shared<AddressTableViewController>()
        : std::make_shared<AddressTableViewController>(order.customerAddress().value_or(""), order.city().value_or(""),
                                                       order.state().value_or(""), order.zip_code().value_or(""));
    m_addressPopover = std::make_shared<ui::PopoverController>(m_addressPopup);
    m_addressPopover->setPopoverContentSize({550, AddressTableViewController::kRowHeight * 4});
    m_addressPopover->setDelegate(this);
    m_addressPopover->presentPopoverFromRect(m_txtAddress->frame(), view().get(), ui::PopoverArrowDirectionUp, true);
}

void QuoteOrderViewController::popoverControllerDidDismissPopover(ui::PopoverController& popover)
{
    if (&popover != m_addressPopover.get() || !m_addressPopup || !m_quoteOrder)
        return;
    m_isOrderChanged = true;
    m_quoteOrder->setCustomerAddress(m_addressPopup->getStreetAddress());
    m_quoteOrder->setCity(m_addressPopup->getCity());
    m_quoteOrder->setState(m_addressPopup->getState());
    m_quoteOrder->setZip_code(m_addressPopup->getZipCode());
    m_txtAddress->setText(getNewAddressValues());
    // The popover is still inside its own dismissal: it goes on the next turn.
    auto keep = m_addressPopover;
    base::RunLoop::main().post([keep] {});
    m_addressPopover.reset();
    m_addressPopup.reset();
}

void QuoteOrderViewController::saveNewCustomer()
{
    if (!m_quoteOrder)
        return;
    const QuoteOrderEntity& order = *m_quoteOrder;
    int id = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode(
        order.customerName().value_or(m_txtCustomer->text()), order.customerAddress(), order.city(), order.state(),
        order.zip_code());
    m_quoteOrder->setCustomerId(id);
    if (id != 0)
        ConfigManager::sharedInstance()->flagDic()["Needreloadcustomer"] = "YES";
}

void QuoteOrderViewController::textFieldDidBeginEditing(ui::TextField& field)
{
    m_isOrderChanged = true;
    m_currentEditingField = &field;
    if (&field == m_txtCustomer.get() && m_isCustomerOnShow && blank(field.text()))
        popAllCustomerAsSearchResults();
    if (&field == m_txtDiscount.get()) {
        field.setText(withoutCommas(field.text()));
        // The keyboard's frame is known at once here; the lift waits for this turn to end.
        std::weak_ptr<QuoteOrderViewController> weak = self();
        base::RunLoop::main().post([weak] {
            if (auto screen = weak.lock())
                if (screen->m_currentEditingField == screen->m_txtDiscount.get())
                    screen->checkKeyboardLanguage();
        });
    }
}

void QuoteOrderViewController::textFieldDidEndEditing(ui::TextField& field)
{
    if (!m_quoteOrder)
        return;
    if (&field == m_txtNote.get()) {
        m_quoteOrder->setCustomerNote(field.text());
    } else if (&field == m_txtCustomer.get()) {
        // The list of matches serves the typing: it goes with it (Tab left the field).
        if (m_searchPopover && m_searchPopover->isPopoverVisible())
            m_searchPopover->dismissPopoverAnimated(true);
        m_quoteOrder->setCustomerName(field.text());
        if (!m_isCustomerOnShow)
            return;
        std::optional<brivanta_customer_Entity> found;
        if (auto data = DataAccessManager::sharedDataModel(); data && data->customerModel())
            found = data->customerModel()->getCustomerByCustomerName(std::string(field.text()));
        m_quoteOrder->setCustomerId(found ? found->customer_id : 0);
        updateCustomer();
    } else if (&field == m_txtDiscount.get()) {
        m_txtDiscount->setTraget(std::static_pointer_cast<ui::AlertViewDelegate>(self()));
        if (m_txtDiscount->validate()) {
            // A discounted total is never above the total: no surcharge through the discount.
            double total = m_quoteOrder->total();
            double discount = std::clamp(std::strtod(withoutCommas(field.text()).c_str(), nullptr), 0.0, std::max(0.0, total));
            m_quoteOrder->setDiscount(discount);
            field.setText(PublicFunction::doubleFormate(discount));
            if (total != 0)
                m_quoteOrder->setDiscountRat(PublicFunction::shownDiscountRatFromAbsolute(discount * 100 / total));
        }
        ui::View::AnimationOptions options;
        options.duration = 0.3;
        auto footer = m_footerBar;
        auto table = m_tableView;
        ui::View::animate(options, [footer, table] {
            footer->setFrame(footerFrame());
            table->setFrame(tableFrame());
        });
    }
}

bool QuoteOrderViewController::textFieldShouldReturn(ui::TextField& field)
{
    field.resignFirstResponder();
    return true;
}

// --- Lines -----------------------------------------------------------------------------------

int QuoteOrderViewController::numberOfRowsInSection(ui::TableView&, int)
{
    return m_quoteOrder ? static_cast<int>(m_quoteOrder->items().size()) : 0;
}

std::shared_ptr<ui::TableViewCell> QuoteOrderViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                   const ui::IndexPath& path)
{
    auto cell = std::dynamic_pointer_cast<QuoteOrderItemsTableViewCell>(
        table.dequeueReusableCellWithIdentifier(QuoteOrderItemsTableViewCell::kReuseIdentifier));
    if (!cell) {
        cell = ui::View::make<QuoteOrderItemsTableViewCell>();
        cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
        cell->setBackgroundColor(gfx::Color::clear());
    }
    const auto& line = m_quoteOrder->items()[static_cast<size_t>(path.row)];
    cell->setDelegate(this);
    cell->setTag(kLineTagBase + path.row);
    cell->setQuoteOrderItem(line);
    cell->setReadOnly(m_state == 1 || !m_quoteOrder->isInEdit());
    cell->setCouldModifyPrice(m_couldModifyPrice);
    cell->setIsNullPrice(line->price() < 0);
    return cell;
}

bool QuoteOrderViewController::canEditRowAtIndexPath(ui::TableView&, const ui::IndexPath&)
{
    return m_state != 1 && !isSigned();
}

std::string QuoteOrderViewController::titleForDeleteConfirmationButtonForRowAtIndexPath(ui::TableView&, const ui::IndexPath&)
{
    return text("DELETE");
}

void QuoteOrderViewController::commitEditingStyle(ui::TableView&, ui::TableViewCellEditingStyle, const ui::IndexPath& path)
{
    if (!m_quoteOrder || path.row < 0 || path.row >= static_cast<int>(m_quoteOrder->items().size()))
        return;
    int tag = kLineTagBase + path.row;
    m_askedLines[tag] = m_quoteOrder->items()[static_cast<size_t>(path.row)];
    ask(tag, text("NOTIFICATION"), text("DELETE_PRODUCT_FROM_ORDER"), {text("CANCEL"), text("OK")}, false);
}

void QuoteOrderViewController::willBeginEditingRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    if (auto* cell = dynamic_cast<QuoteOrderItemsTableViewCell*>(table.cellForRowAtIndexPath(path)))
        ui::View::animate(0.25, [cell] { cell->indentCellContent(); });
}

void QuoteOrderViewController::didEndEditingRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    if (auto* cell = dynamic_cast<QuoteOrderItemsTableViewCell*>(table.cellForRowAtIndexPath(path)))
        ui::View::animate(0.25, [cell] { cell->unindentCellContent(); });
}

void QuoteOrderViewController::tapSKU(int tag)
{
    openProductPage(tag, false);
}

void QuoteOrderViewController::tapImage(int tag)
{
    openProductPage(tag, true);
}

void QuoteOrderViewController::openProductPage(int tag, bool forTheLine)
{
    if (!m_quoteOrder || tag < kLineTagBase || tag - kLineTagBase >= static_cast<int>(m_quoteOrder->items().size()))
        return;
    size_t row = static_cast<size_t>(tag - kLineTagBase);
    const auto& line = m_quoteOrder->items()[row];
    auto* nav = navigationController();
    if (!line || !line->product() || !nav)
        return;
    auto page = std::make_shared<ProductDetailController>();
    page->setProductEntity(*line->product());
    page->setProductID(line->product()->product_id);
    if (forTheLine)
        page->setDelegate(std::static_pointer_cast<ProductDetailDelegate>(self()));
    nav->setNavigationBarHidden(false);
    nav->pushViewController(page, true);
    // One product only: no stepping to its neighbours.
    if (page->_tapToLeftProduct())
        page->_tapToLeftProduct()->setHidden(true);
    if (page->_tapToRightProduct())
        page->_tapToRightProduct()->setHidden(true);
    page->removeSwipeGestureRecognizers();
    // Its title is drawn for the catalogue's dark bar; this bar is the plain light one.
    if (page->titleLabel())
        page->titleLabel()->setTextColor(gfx::Color::fromRgb(40, 40, 40));
    if (!forTheLine)
        return;
    if (page->attributeView())
        page->attributeView()->setAttributeValues(line->attributesArray());
    if (page->countTextField())
        page->countTextField()->setText(std::to_string(line->quantity()));
    if (m_quoteOrder->isInEdit()) {
        page->setIsInEdit(true);
        page->setItemIndex(static_cast<int>(row));
        return;
    }
    // A saved order's line is only shown.
    for (const auto& control : std::vector<std::shared_ptr<ui::View>>{page->countTextField(), page->deleteBtn(), page->addBtn()})
        if (control)
            control->setHidden(true);
    if (page->addToOrderBtn())
        page->addToOrderBtn()->setHidden(true);
    if (page->attributeView())
        page->attributeView()->setReadOnly(true);
}

void QuoteOrderViewController::back()
{
    if (auto* nav = navigationController(); nav && nav->topViewController().get() != this)
        nav->popViewController(true);
}

void QuoteOrderViewController::saveOrderItemIndex(const brivanta_product_Entity& product, int index)
{
    if (!m_quoteOrder || index < 0 || index >= static_cast<int>(m_quoteOrder->items().size()))
        return;
    m_isOrderChanged = true;
    auto& items = m_quoteOrder->items();
    auto edited = items[static_cast<size_t>(index)];
    for (size_t j = 0; j < items.size(); ++j) {
        auto& other = items[j];
        if (static_cast<int>(j) == index || !other || other->attributes() != product.attributes || other->sku() != product.product_sku)
            continue;
        other->setQuantity(other->quantity() + product.count);
        if (other->product())
            other->product()->count = other->quantity();
        items.erase(items.begin() + index);
        resetDiscount();
        return;
    }
    edited->setAttributes(product.attributes);
    if (edited->product())
        edited->product()->count = product.count;
    edited->setQuantity(product.count);
    // A fixed discounted total must not outlive the quantities it was worked out for.
    resetDiscount();
}

void QuoteOrderViewController::QuoteOrderItemCellBeginEdit(QuoteOrderItemsTableViewCell& cell)
{
    if (cell.tag() < kLineTagBase)
        return;
    gfx::Rect t = tableFrame();
    placeTable({t.x(), t.y(), t.width(), 240}, 0.3);
    m_tableView->scrollToRowAtIndexPath({0, cell.tag() - kLineTagBase}, ui::TableViewScrollPosition::Top, false);
}

void QuoteOrderViewController::QuoteOrderItemCellChanged(QuoteOrderItemsTableViewCell& cell)
{
    m_isOrderChanged = true;
    int row = cell.tag() - kLineTagBase;
    const auto& line = cell.quoteOrderItem();
    if (m_quoteOrder && cell.tag() >= kLineTagBase && line && row < static_cast<int>(m_quoteOrder->items().size())) {
        if (line->quantity() != 0) {
            // The cell writes into the order's own line; the order is told the totals moved.
            auto& own = m_quoteOrder->items()[static_cast<size_t>(row)];
            own->setQuantity(line->quantity());
            own->setFinalPrice(line->finalPrice());
            own->setSubtotal(line->subtotal());
            resetDiscount();
        } else {
            m_askedLines[cell.tag()] = line;
            ask(cell.tag(), text("NOTIFICATION"), text("DELETE_PRODUCT_FROM_ORDER"), {text("CANCEL"), text("OK")}, false);
        }
    }
    placeTable(tableFrame(), 0.3);
}

void QuoteOrderViewController::deleteLine(int row, const std::shared_ptr<QuoteOrderItemEntity>& line)
{
    auto& items = m_quoteOrder->items();
    // The question acts on the line it was asked about, wherever that line is now.
    auto it = std::find(items.begin(), items.end(), line);
    if (it == items.end())
        return;
    row = static_cast<int>(it - items.begin());
    items.erase(it);
    m_isOrderChanged = true;
    m_quoteOrder->setIsInEdit(true);
    m_btnSave->setTitle(text("SAVE"));
    m_btnSave->setTag(kTagSaveButton);
    setButtonsEnable(true);
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    store->setCurQuoteOrder(m_quoteOrder);
    setBadge(std::to_string(store->getCurrentQuoteOrderItemsCount()));
    setAddProductsRowShown(true);
    m_tableView->deleteRowsAtIndexPaths({{0, row}}, ui::TableViewRowAnimation::None);
    m_tableView->reloadData();
    resetDiscount();
}

// --- Questions -------------------------------------------------------------------------------

void QuoteOrderViewController::ask(int tag, const std::string& title, const std::string& message,
                                   const std::vector<std::string>& buttons, bool freeDismiss)
{
    std::vector<std::string> others(buttons.begin() + 1, buttons.end());
    std::shared_ptr<ui::AlertView> alert = freeDismiss
        ? std::static_pointer_cast<ui::AlertView>(std::make_shared<FreeDismissAlertView>(title, message, this, buttons.front(), others))
        : std::make_shared<ui::AlertView>(title, message, this, buttons.front(), others);
    alert->setTag(tag);
    alert->show();
}

void QuoteOrderViewController::notice(const std::string& message)
{
    auto alert = std::make_shared<ui::AlertView>(text("NOTIFICATION"), message, nullptr, text("OK"));
    alert->show();
}

void QuoteOrderViewController::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    int tag = alert.tag();
    if (tag >= kLineTagBase) {
        auto asked = m_askedLines[tag].lock();
        m_askedLines.erase(tag);
        if (!m_quoteOrder || !asked)
            return;
        if (index == 1)
            deleteLine(tag - kLineTagBase, asked);
        else
            giveBackQuantity(tag);
        return;
    }
    switch (tag) {
    case kAskSaveChanges:
        if (index == 1) {
            if (currentOrderCheck())
                checkCustomerAndSaveOrder(kAskNewCustomerLeave);
        } else {
            if (m_quoteOrder)
                m_quoteOrder->setIsInEdit(false);
            QuoteOrderStore::sharedQuoteOrderStore()->setCurQuoteOrder(nullptr);
            setBadge(std::nullopt);
            popSelf();
        }
        break;
    case kAskDemoLimit:
        if (index == 1)
            ui::Application::shared().openURL(AppSession::kRegistrationPageAddress);
        break;
    case kAskRelogin:
        if (index == 1)
            if (auto app = AppSession::shared())
                app->showLoginPage();
        break;
    case kAskNewCustomerSave:
    case kAskNewCustomerSubmit:
    case kAskNewCustomerLeave:
        // Either answer goes on; ADD first stores the customer the order names.
        if (index == 1)
            saveNewCustomer();
        continueAfterCustomerQuestion(tag);
        break;
    default:
        break;
    }
}

void QuoteOrderViewController::giveBackQuantity(int tag)
{
    auto* cell = dynamic_cast<QuoteOrderItemsTableViewCell*>(m_tableView->viewWithTag(tag));
    if (!cell)
        return;
    QVTextField& quantity = cell->quantityTextField();
    if (std::atoi(withoutCommas(quantity.text()).c_str()) == 0 && withoutCommas(quantity.text()).find_first_not_of("0") == std::string::npos) {
        quantity.setText(cell->editingFieldOldValue().value_or(""));
        quantity.becomeFirstResponder();
        quantity.resignFirstResponder();
    }
}

// --- Commands ------------------------------------------------------------------------------

bool QuoteOrderViewController::takeTyping(bool quiet)
{
    if (!isViewLoaded())
        return true;
    // The address popup gives the order what was typed in it when it closes, as a click
    // outside it does.
    if (auto popover = m_addressPopover; popover && popover->isPopoverVisible()) {
        popover->dismissPopoverAnimated(false);
        popoverControllerDidDismissPopover(*popover);
    }
    auto* typing = dynamic_cast<ui::TextField*>(ui::Responder::currentFirstResponder());
    // The discount popup's rate lies over the screen, not in it, and is the order's as well.
    QVTextField* rate = m_discountPopup ? m_discountPopup->txtDiscountRat().get() : nullptr;
    if (!typing || (typing != rate && !typing->isDescendantOfView(view().get())))
        return true;
    if (typing == rate) {
        if (!quiet) {
            rate->setTraget(std::dynamic_pointer_cast<ui::AlertViewDelegate>(m_discountPopup));
            if (!rate->validate())
                return false;
        } else if (!rate->isValid()) {
            // The order keeps its discount, with no alert.
            rate->setDelegate(nullptr);
            rate->resignFirstResponder();
            rate->setDelegate(m_discountPopup.get());
            discountWillEndInput();
            return true;
        }
        // Ending it applies the rate and closes the popup.
        rate->resignFirstResponder();
        return true;
    }
    QuoteOrderItemsTableViewCell* cell = nullptr;
    for (ui::View* v = typing->superview(); v && !cell; v = v->superview())
        cell = dynamic_cast<QuoteOrderItemsTableViewCell*>(v);
    if (cell) {
        if (!cell->takeTyping(quiet))
            return false;
        // A quantity of 0 asks whether the line goes: the road waits for that answer.
        return quiet || !cell->quoteOrderItem() || cell->quoteOrderItem()->quantity() != 0;
    }
    if (typing == m_txtDiscount.get()) {
        if (!quiet) {
            m_txtDiscount->setTraget(std::static_pointer_cast<ui::AlertViewDelegate>(self()));
            if (!m_txtDiscount->validate())
                return false;
        } else if (!m_txtDiscount->isValid()) {
            // The last accepted discounted total stays, shown again, with no alert.
            m_txtDiscount->setDelegate(nullptr);
            m_txtDiscount->resignFirstResponder();
            m_txtDiscount->setDelegate(this);
            if (m_quoteOrder && m_quoteOrder->hasItems())
                m_txtDiscount->setText(PublicFunction::doubleFormate(m_quoteOrder->discount()));
            return true;
        }
    }
    typing->resignFirstResponder();
    return true;
}

bool QuoteOrderViewController::currentOrderCheck()
{
    return takeTyping(false);
}

void QuoteOrderViewController::checkCustomerAndSaveOrder(int question)
{
    std::string name = m_txtCustomer->text();
    bool unknown = m_isCustomerOnShow && !blank(name) && !isStoredCustomerName(name);
    if (unknown) {
        ask(question, text("NEWCUSTOMER"),
            text(question == kAskNewCustomerSubmit ? "SAVENEWCUSTOMERWHENSUBMIT" : "SAVENEWCUSTOMER"),
            {text("NOTADD"), text("ADD")}, true);
        return;
    }
    continueAfterCustomerQuestion(question);
}

void QuoteOrderViewController::continueAfterCustomerQuestion(int question)
{
    if (question == kAskNewCustomerSave) {
        saveCurrentOrder();
    } else if (question == kAskNewCustomerSubmit) {
        submitOrder();
    } else if (question == kAskNewCustomerLeave) {
        // Leaving after a failed save would lose the edits: the screen stays.
        if (saveCurrentOrder() != 0)
            popSelf();
    }
}

int QuoteOrderViewController::saveCurrentOrder()
{
    if (!m_quoteOrder)
        return 0;
    auto data = DataAccessManager::sharedDataModel();
    // The store's save replaces the stored lines inside its own savepoint.
    int orderId = data ? data->saveQuoteOrder(m_quoteOrder) : 0;
    if (orderId == 0) {
        notice(text("FAILED"));
        return 0;
    }
    QuoteOrderStore::sharedQuoteOrderStore()->setCurQuoteOrder(nullptr);
    m_state = 2;
    m_quoteOrder->setIsInEdit(false);
    m_isOrderChanged = false;
    m_tableView->reloadData();
    setButtonsEnable(false);
    setAddProductsRowShown(false);
    setBadge(std::nullopt);
    return orderId;
}

void QuoteOrderViewController::keepUnsavedOrder()
{
    if (!m_quoteOrder || m_state == 1 || (m_state != 0 && !m_quoteOrder->isInEdit()))
        return;
    if (!DataAccessManager::isOpen(m_data))
        return;
    // The text being typed belongs to the order, as ending its editing would put it there;
    // a value that would be refused keeps the last accepted one. No question.
    takeTyping(true);
    // A quantity of 0 whose question is still up was never taken: its line keeps the quantity
    // it had, as answering Cancel gives it back.
    for (const auto& [tag, asked] : std::map(m_askedLines))
        if (auto line = asked.lock(); line && line->quantity() == 0)
            giveBackQuantity(tag);
    // What leaving would ask about is what is kept.
    if (!m_isOrderChanged && !(m_state == 0 && m_quoteOrder->hasItems()))
        return;
    auto data = m_data.lock();
    if (!data || data->saveQuoteOrder(m_quoteOrder) == 0) {
        base::log("the order being edited could not be stored at exit");
        return;
    }
    auto store = QuoteOrderStore::sharedQuoteOrderStore();
    if (store->curQuoteOrder() == m_quoteOrder)
        store->setCurQuoteOrder(nullptr);
    m_state = 2;
    m_quoteOrder->setIsInEdit(false);
    m_isOrderChanged = false;
}

void QuoteOrderViewController::btnSaveClick()
{
    if (m_btnSave->tag() == kTagEditButton) {
        m_btnSave->setTitle(text("SAVE"));
        m_btnSave->setTag(kTagSaveButton);
        if (m_quoteOrder)
            m_quoteOrder->setIsInEdit(true);
        setButtonsEnable(true);
        setAddProductsRowShown(true);
        auto store = QuoteOrderStore::sharedQuoteOrderStore();
        store->setCurQuoteOrder(m_quoteOrder);
        m_tableView->reloadData();
        setBadge(std::to_string(store->getCurrentQuoteOrderItemsCount()));
        return;
    }
    if (currentOrderCheck())
        checkCustomerAndSaveOrder(kAskNewCustomerSave);
}

void QuoteOrderViewController::btnSubmitClick()
{
    // A second tap while the answer is awaited sends nothing.
    if (m_waitingForUpload)
        return;
    if (LoginMode::sharedInstance()->loginType() == 3) {
        ask(kAskDemoLimit, text("FUNCTIONLIMITED"), text("DEMOMODELOGIN"), {text("ISEE"), text("SIGNUPNOW")}, false);
        return;
    }
    if (currentOrderCheck())
        checkCustomerAndSaveOrder(kAskNewCustomerSubmit);
}

void QuoteOrderViewController::submitOrder()
{
    int orderId = saveCurrentOrder();
    if (orderId == 0)
        return;
    m_btnSubmit->setEnabled(false);
    m_waitingForUpload = true;
    MessageBox::sharedInstance()->BeginBlockWaitTimeout(text("SUBMITINGORDER"), 20);
    QuoteOrderStore::sharedQuoteOrderStore()->startUploadQuoteOrder(orderId);
}

void QuoteOrderViewController::finishedUploadQuoteOrdersMessage(const Text& status, const Text& message)
{
    m_waitingForUpload = false;
    MessageBox::sharedInstance()->EndBlockWait();
    // An order in edit has changes the server has not seen: they wait for a save and the
    // next upload, so the editor stays as it is.
    if (status == "200" && m_quoteOrder && m_quoteOrder->isInEdit()) {
        notice(text("SUCCESSFULLYSUBMIT"));
        return;
    }
    if (status == "200") {
        if (m_quoteOrder)
            m_quoteOrder->setUploaded(true);
        m_state = 1;
        m_tableView->reloadData();
        m_btnDiscount->setHidden(true);
        m_btnSave->setHidden(true);
        m_btnSubmit->setHidden(true);
        notice(text("SUCCESSFULLYSUBMIT"));
        return;
    }
    setButtonsEnable(true);
    std::string said = message.value_or("");
    if (said == Language::stringWithName("101"))
        ask(kAskRelogin, text("NOTIFICATION"), said, {text("CANCEL"), text("LOGOUTSETTINGS")}, false);
    else
        notice(said);
}

void QuoteOrderViewController::updateCustomerIdNewId(int oldId, int newId)
{
    if (m_quoteOrder && m_quoteOrder->customerId() == oldId) {
        m_quoteOrder->setCustomerId(newId);
        updateCustomer();
    }
}

void QuoteOrderViewController::btnViewAsPDFClick()
{
    if (!m_quoteOrder || !m_quoteOrder->hasItems() || !takeTyping(false))
        return;
    std::weak_ptr<QuoteOrderViewController> weak = self();
    auto screen = std::make_shared<QuoteOrderPDFViewController>();
    screen->setOrder(m_quoteOrder);
    // Saving the signature saves the whole order, as the editor holds it.
    screen->setSaveOrder([weak] {
        auto editor = weak.lock();
        return editor && editor->saveCurrentOrder() != 0;
    });
    if (auto* nav = navigationController())
        nav->pushViewController(screen, true);
}

void QuoteOrderViewController::btnHistoryClick()
{
    if (!takeTyping(false))
        return;
    bool lines = m_quoteOrder && m_quoteOrder->hasItems();
    if ((m_state == 1 || m_state == 2 || (m_state == 0 && !lines)) && !m_isOrderChanged) {
        setBadge(std::nullopt);
        popSelf();
        return;
    }
    ask(kAskSaveChanges, text("ORDERCHANGED"), text("SAVECHANGES"), {text("NOTSAVE"), text("SAVE")}, true);
}

void QuoteOrderViewController::popSelf()
{
    if (m_state == 0 || (m_quoteOrder && m_quoteOrder->isInEdit()))
        QuoteOrderStore::sharedQuoteOrderStore()->setCurQuoteOrder(nullptr);
    if (auto* nav = navigationController())
        nav->popViewController(true);
}

void QuoteOrderViewController::tapNewProduct()
{
    if (auto app = BrivantaAppDelegate::sharedAppDelegate())
        if (auto tabs = app->tabBarController())
            tabs->selectTab(1);
}

void QuoteOrderViewController::setBadge(const std::optional<std::string>& value)
{
    if (auto app = BrivantaAppDelegate::sharedAppDelegate())
        if (auto tabs = app->tabBarController())
            tabs->setBadgeValueTabBarItemTagAnimated(value, 5, false);
}
