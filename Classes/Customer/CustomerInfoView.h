#pragma once
#include "Classes/Customer/CustomerAttributeCell.h"
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Customer/CustomerInfoGroupData.h"
#include "Classes/Customer/CustomerInfoGroupView.h"
#include "Classes/Customer/CustomerInfoViewHiddenCell.h"
#include "Common/LanguageManager.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/TableView.h"

#include <memory>
#include <optional>
#include <vector>

namespace ui {
class Button;
class ImageView;
class Label;
}

class CustomerInfoViewDelegate {
public:
    virtual ~CustomerInfoViewDelegate() = default;
    virtual void customerInfoViewCancel() {}
    virtual void customerInfoViewDoneWithData(const CustomerInfoGroupData& data) {}
    virtual void customerInfoViewHiddenChange(bool hidden) {}
    virtual void submitCustomer(const PersonInfo& person) {}
    virtual void customerInfoViewChangePrimary() {}
};

// The right-hand pane of the customer screen: one customer in groups, viewed, entered or
// edited. Stored values are written by the screen (DONE) except the hidden flag and, while
// viewing, the primary address and contact.
class CustomerInfoView : public ui::View,
                         public ui::TableViewDataSource,
                         public ui::TableViewDelegate,
                         public CustomerInfoGroupViewDelegate,
                         public CustomerAttributeCellDelegate,
                         public CustomerInfoViewHiddenCellDelegate,
                         public LanguageManagerDelegate {
public:
    static constexpr double kTableTop = 44;
    static constexpr double kTableHeight = 638;
    static constexpr double kTableHeightWithKeyboard = 370;
    // Where a row's value starts, and the room it keeps from the row's right edge.
    static constexpr double kValueX = 270;
    static constexpr double kValueMargin = 10;
    // The width of a row's value, the same for measuring and showing it.
    double valueWidth() const;

    explicit CustomerInfoView(const gfx::Rect& frame);
    ~CustomerInfoView() override;
    const char* className() const override { return "CustomerInfoView"; }
    // Starts listening; call once the view is held by a shared pointer.
    void startObserving();

    void setDelegate(CustomerInfoViewDelegate* delegate) { m_delegate = delegate; }
    const std::shared_ptr<ui::TableView>& tableCustomerInfo() const { return m_table; }
    const std::optional<PersonInfo>& personInfo() const { return m_personInfo; }
    int customerType() const { return m_customerType; }
    CustomerInfoGroupData& customerInfoGroupData() { return m_groups; }
    ui::Label& titleLabel() const { return *m_titleLabel; }
    ui::Button& cancelButton() const { return *m_cancelButton; }
    ui::Button& doneButton() const { return *m_doneButton; }
    ui::Button& editButton() const { return *m_editButton; }

    void setPersonInfo(const std::optional<PersonInfo>& person);
    void setNewPersonInfo(const PersonInfo& person);
    void setPersonInfoFromByContactFirstNameLastName(const PersonInfo& person, const std::string& first,
                                                     const std::string& last);
    void addNewCustomer();
    void customerHiddenNewCustomerViews();
    void deleteLocalCustomer(int customerId);

    void customerInfoViewCancel();
    void customerInfoViewDone();
    // The program ends: the typing in progress ends as DONE ends it, and the answer is whether
    // the form holds what DONE would store and is not stored yet (a new customer DONE accepts,
    // or an edit that changed something). Nothing is shown or asked.
    bool formToKeep();
    void customerInfoViewEdit();
    void addAddress();
    void addConctact();

    // --- Cells and headers -----------------------------------------------------------------
    void groupViewClickWithType(int indexId, int type) override;
    void deleteSectionWithType(int indexId, int type) override;
    void customerAttributeCellTextFieldBegin(ui::TextField& field) override;
    void customerAttributeCellTextFieldcEnd(const std::string& text, int section, int row) override;
    void customerAttributeCellSwitchViewAction(bool on) override;
    void customerAttributeCellShouldReturnWithSectionWithRow(int section, int row) override;
    void switchViewAction(bool on) override;
    void submitAction() override;
    void notifiChangelanguage() override;

    // --- Table -------------------------------------------------------------------------------
    int numberOfSectionsInTableView(ui::TableView&) override;
    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForHeaderInSection(ui::TableView&, int section) override { return section == 0 ? 70 : 50; }
    std::shared_ptr<ui::View> viewForHeaderInSection(ui::TableView&, int section) override;

private:
    // The group a table section shows, and whether it is a contact.
    brivanta_customer_group_Entity* groupForSection(int section, bool* contact = nullptr);
    int companyCount() const { return static_cast<int>(m_groups.customerCompanyData().size()); }
    int contactCount() const { return static_cast<int>(m_groups.customerContactData().size()); }
    bool editing() const { return m_customerType == 1; }
    // The language key of DONE's refusal ("NEEDINPUTNAME", "NEEDINPUTCONTACTNAME"), "" when
    // the form would be stored.
    std::string refusal() const;
    // SUBMIT: a local customer, or a server one with a change not yet uploaded.
    bool submitOffered() const;
    void retext();
    void reload();
    void focusRow(const ui::IndexPath& ip);
    void keyboardWillShow();
    void keyboardWillHide();
    void resignFields();
    // Where the caret is in the form: the row and the selection of its field.
    struct Caret {
        ui::IndexPath row;
        size_t start = 0, length = 0;
    };
    // The text of the field holding the caret into its row, the caret left where it is; where
    // that caret is, if a field of the form has it.
    std::optional<Caret> takeTypedText();
    void giveCaretBack(const Caret& caret);

    std::shared_ptr<ui::ImageView> m_titleBar;
    std::shared_ptr<ui::Label> m_titleLabel;
    std::shared_ptr<ui::Button> m_cancelButton;
    std::shared_ptr<ui::Button> m_doneButton;
    std::shared_ptr<ui::Button> m_editButton;
    std::shared_ptr<ui::TableView> m_table;
    CustomerInfoGroupData m_groups;
    std::optional<PersonInfo> m_personInfo;
    int m_customerType = 0;
    std::vector<std::weak_ptr<ui::TextField>> m_textFieldArray;
    bool m_tableInputViewFocus = false;
    bool m_givingCaretBack = false; // the row stays where the user left it
    CustomerAttributeCell* m_curCell = nullptr;
    CustomerInfoViewDelegate* m_delegate = nullptr;
    std::vector<base::ObserverToken> m_observers;
};
