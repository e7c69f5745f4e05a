#pragma once
#include "Classes/Catalog/ProductDetailController.h"
#include "Widgets/SearchResultTableView.h"
#include "Classes/Order/AddressTableViewController.h"
#include "Classes/Order/DiscountPopController.h"
#include "Classes/Order/QuoteOrderItemsTableViewCell.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/TextField.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>

class DataAccessManager;
class QVTextField;
namespace ui {
class Button;
class ImageView;
class Label;
}

// One quote or order: header (time, note, customer, address), its lines, the order discount
// and totals, and save or edit, submit, view as PDF, add products and back to the list.
// State 0 is the store's new order, 1 a submitted order (read-only), 2 a saved unsubmitted
// one (read-only until EDIT).
class QuoteOrderViewController : public BaseViewController,
                                 public ConfigDelegate,
                                 public ui::TableViewDataSource,
                                 public ui::TableViewDelegate,
                                 public QuoteOrderItemDelegate,
                                 public DiscountPopControllerDelegate,
                                 public QuoteOrderStoreDelegate,
                                 public ui::TextFieldDelegate,
                                 public ui::AlertViewDelegate,
                                 public SearchResultTableDelegate,
                                 public ui::PopoverControllerDelegate,
                                 public ProductDetailDelegate {
public:
    using Order = std::shared_ptr<QuoteOrderEntity>;
    // Question tags; a line's delete question is kLineTagBase + row.
    static constexpr int kLineTagBase = 6500;
    static constexpr int kTagDiscountField = 1002, kTagCustomerField = 1003, kTagNoteField = 1004;
    static constexpr int kTagEditButton = 1007, kTagSaveButton = 1008, kTagAddressField = 1020;
    static constexpr int kAskSaveChanges = 1009, kAskDemoLimit = 1012, kAskRelogin = 1013;
    static constexpr int kAskNewCustomerSave = 1014, kAskNewCustomerSubmit = 1015, kAskNewCustomerLeave = 1016;
    static gfx::Rect tableFrame() { return {0, 190, 1024, 442}; }
    static gfx::Rect footerFrame() { return {0, 632, 1024, 50}; }

    const char* className() const override { return "QuoteOrderViewController"; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    int state() const { return m_state; }
    void setState(int state) { m_state = state; }
    const Order& quoteOrder() const { return m_quoteOrder; }
    void setQuoteOrder(Order order) { m_quoteOrder = std::move(order); }
    bool isOrderChanged() const { return m_isOrderChanged; }
    void setIsOrderChanged(bool changed) { m_isOrderChanged = changed; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;
    void loadByConfig() override;

    void updateTotal();
    void setButtonsEnable(bool enable);
    void setButtonsHidden(bool hidden);
    // Commands.
    // A value being typed, in the screen's fields or a line's, is taken as Return takes it.
    // Asking, a refused value or a line's quantity of 0 (its question up) answers NO.
    bool takeTyping(bool quiet) override;
    bool currentOrderCheck();
    // Saves the whole order: its id, or 0 (the FAILED notice shown) when it could not be stored.
    int saveCurrentOrder();
    // The program ends: what leaving would ask to save is stored, asking nothing.
    void keepUnsavedOrder();
    void submitOrder();
    void popSelf();
    void btnSaveClick();
    void btnSubmitClick();
    void btnViewAsPDFClick();
    void btnHistoryClick();
    void btnDiscountRatClick();
    void tapNewProduct();

    // Views the tests and the scripted runs reach.
    QVTextField& discountField() const { return *m_txtDiscount; }
    ui::TextField& noteField() const { return *m_txtNote; }
    ui::TextField& customerField() const { return *m_txtCustomer; }
    ui::TextField& addressField() const { return *m_txtAddress; }
    ui::Button& saveButton() const { return *m_btnSave; }
    ui::Button& submitButton() const { return *m_btnSubmit; }
    ui::Button& pdfButton() const { return *m_btnViewInPDF; }
    ui::Button& discountButton() const { return *m_btnDiscount; }
    ui::Button& addProductsButton() const { return *m_btnAddProducts; }
    ui::Label& totalLabel() const { return *m_lblTotalValue; }
    ui::ImageView& signedStamp() const { return *m_signedStamp; }
    ui::View& footerBar() const { return *m_footerBar; }
    ui::TableView& tableView() const { return *m_tableView; }
    const std::shared_ptr<ui::PopoverController>& discountPopover() const { return m_discountPopover; }
    const std::shared_ptr<DiscountPopController>& discountPopup() const { return m_discountPopup; }

    // Lines table.
    int numberOfRowsInSection(ui::TableView&, int) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return 100; }
    std::optional<ui::IndexPath> willSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return std::nullopt; }
    bool canEditRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void commitEditingStyle(ui::TableView&, ui::TableViewCellEditingStyle, const ui::IndexPath& path) override;
    std::string titleForDeleteConfirmationButtonForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void willBeginEditingRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path) override;
    void didEndEditingRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path) override;
    // Line cells.
    void tapSKU(int tag) override;
    void tapImage(int tag) override;
    void QuoteOrderItemCellBeginEdit(QuoteOrderItemsTableViewCell& cell) override;
    void QuoteOrderItemCellChanged(QuoteOrderItemsTableViewCell& cell) override;
    // The product page's line edit: line I takes the page's attributes and count, or merges
    // into an equal line; the order discount starts over either way.
    void saveOrderItemIndex(const brivanta_product_Entity& product, int index) override;
    // The product page of a line hands back: the editor comes to the top again.
    void back() override;
    void openProductPage(int tag, bool forTheLine);
    // Order discount popup.
    void discountRatChanged(double rate) override;
    void discountWillEndInput() override;
    // Order store.
    void finishedUploadQuoteOrdersMessage(const Text& status, const Text& message) override;
    void popSelfView() override { popSelf(); }
    void updateCustomerIdNewId(int oldId, int newId) override;
    // Fields.
    bool textFieldShouldBeginEditing(ui::TextField& field) override;
    void textFieldDidBeginEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    bool textFieldShouldClear(ui::TextField& field) override;
    // Questions.
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;
    // Customer and address.
    void popAllCustomerAsSearchResults();
    void didSelectCell(const PersonInfo& person) override;
    void updateCustomer();
    // Street, city, state and zip of the order as one line, in the language's order.
    std::string getNewAddressValues() const;
    void saveNewCustomer();
    void popoverControllerDidDismissPopover(ui::PopoverController& popover) override;
    const std::shared_ptr<ui::PopoverController>& searchPopover() const { return m_searchPopover; }
    const std::shared_ptr<SearchResultTableView>& searchResults() const { return m_searchResult; }
    const std::shared_ptr<ui::PopoverController>& addressPopover() const { return m_addressPopover; }
    const std::shared_ptr<AddressTableViewController>& addressPopup() const { return m_addressPopup; }

private:
    void buildViews();
    void fillFromOrder();
    void setAddProductsRowShown(bool shown);
    bool isSigned() const;
    void resetDiscount();
    void placeTable(const gfx::Rect& frame, double duration);
    void checkKeyboardLanguage();
    void changekeyBoardFrame();
    void keyboardWillHidden();
    void setBadge(const std::optional<std::string>& value);
    void ask(int tag, const std::string& title, const std::string& message, const std::vector<std::string>& buttons,
             bool freeDismiss);
    void notice(const std::string& message);
    void checkCustomerAndSaveOrder(int question);
    void continueAfterCustomerQuestion(int question);
    void deleteLine(int row, const std::shared_ptr<QuoteOrderItemEntity>& line);
    // The line asked about under `tag` gets back the quantity it had before a 0 was typed.
    void giveBackQuantity(int tag);
    void setFieldLook(ui::TextField& field, bool enabled);
    void customerTextChanged();
    void copyDefaultAddress(bool refreshField);
    void openAddressPopup();
    bool isStoredCustomerName(const std::string& name) const;
    std::shared_ptr<QuoteOrderViewController> self();

    int m_state = 0;
    Order m_quoteOrder;
    bool m_isOrderChanged = false;
    bool m_isCustomerOnShow = true;
    bool m_couldModifyPrice = false;
    ui::TextField* m_currentEditingField = nullptr;
    unsigned m_orderItemsNumber = 0;
    bool m_waitingForUpload = false;
    // The line each open delete question was asked about, by its tag.
    std::map<int, std::weak_ptr<QuoteOrderItemEntity>> m_askedLines;

    std::shared_ptr<ui::ImageView> m_topBar, m_headerBand, m_columnBar, m_footerBackground, m_signedStamp;
    std::shared_ptr<ui::Label> m_lblTitle, m_lblOrderTime, m_lblOrderTimeValue, m_lblNote, m_lblCustomer, m_lblAddress;
    std::vector<std::shared_ptr<ui::Label>> m_columnTitles;
    std::shared_ptr<ui::Label> m_lblTotal, m_lblTotalValue, m_lblDiscountedTotal, m_lblCurrency;
    std::shared_ptr<ui::TextField> m_txtNote, m_txtCustomer, m_txtAddress;
    std::shared_ptr<QVTextField> m_txtDiscount;
    std::shared_ptr<ui::Button> m_btnOrderList, m_btnDiscount, m_btnSave, m_btnSubmit, m_btnViewInPDF, m_btnAddProducts;
    std::shared_ptr<ui::View> m_footerBar, m_addProductsRow;
    std::shared_ptr<ui::TableView> m_tableView;
    std::shared_ptr<DiscountPopController> m_discountPopup;
    std::shared_ptr<ui::PopoverController> m_discountPopover;
    base::ObserverToken m_keyboardFrameToken, m_keyboardHideToken, m_keepOrderToken;
    // The data of the login this editor was made for: an editor a logout left behind keeps
    // nothing into the next login's database.
    std::weak_ptr<DataAccessManager> m_data;
    std::shared_ptr<SearchResultTableView> m_searchResult;
    std::shared_ptr<ui::PopoverController> m_searchPopover;
    std::shared_ptr<AddressTableViewController> m_addressPopup;
    std::shared_ptr<ui::PopoverController> m_addressPopover;
};
