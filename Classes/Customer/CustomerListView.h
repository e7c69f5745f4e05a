#pragma once
#include "Classes/Customer/CustomerTable.h"
#include "Common/LanguageManager.h"
#include "Platform/UI/SearchBar.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class Button;
class ImageView;
class Label;
class SegmentedControl;
}

class CustomerListViewDelegate {
public:
    virtual ~CustomerListViewDelegate() = default;
    virtual void searchTextDidChange(const std::string& text) {}
    virtual void searchTextDidChangeByContact(const std::string& text) {}
    virtual void dismissPopoverController() {}
    virtual void changedCustomerFirstNameLastName(const std::optional<PersonInfo>& person,
                                                  const std::optional<std::string>& first,
                                                  const std::optional<std::string>& last)
    {
    }
    virtual void addNewCustomer() {}
    virtual void deleteLocalCustomer(int customerId) {}
};

// The left-hand pane of the customer screen: the title bar with NEW, the grouping control,
// the search bar, the new-customer marker and the grouped table.
class CustomerListView : public ui::View,
                         public CustomerListControllerDelegate,
                         public ui::SearchBarDelegate,
                         public LanguageManagerDelegate {
public:
    static constexpr double kTableTop = 133;
    static constexpr double kTableTopWhileNew = 193;

    explicit CustomerListView(const gfx::Rect& frame);
    ~CustomerListView() override;
    const char* className() const override { return "CustomerListView"; }
    // Starts listening to language changes; call once held by a shared pointer.
    void startObserving();

    void setDelegate(CustomerListViewDelegate* delegate) { m_delegate = delegate; }
    const std::shared_ptr<CustomerTable>& tableCustomer() const { return m_table; }
    const CustomerInfoDictionary& allCustomerdic() const { return m_allCustomerdic; }
    int selectedRow() const { return m_selectedRow; }
    bool isEditType() const { return m_isEditType; }
    ui::SearchBar& searchBar() const { return *m_searchBar; }
    ui::SegmentedControl& sortSegmentedCtrl() const { return *m_segments; }
    ui::Button& addNewCustomerButton() const { return *m_newButton; }
    ui::Button& newCustomerCell() const { return *m_marker; }
    ui::Label& lblCustomer() const { return *m_title; }

    void setAllCustomerdic(const CustomerInfoDictionary& customers);
    void selectedCustomer(int customerId);
    void selectedCustomerByConatct(const ContactMode& hit);
    void updateCustomerInfoDicWithHidden(int customerId, bool hidden);
    void customerListViewDone();
    void customerListViewCancle();
    void addNewCustomer();
    void Selectbutton(int index);

    // --- Table and search bar --------------------------------------------------------------
    void changedCustomerFirstNameLastName(const std::optional<PersonInfo>& person, const std::optional<std::string>& first,
                                          const std::optional<std::string>& last) override;
    void deleteLocalCustomer(int customerId) override;
    void resignSearchBar() override;
    void searchBarTextDidChange(ui::SearchBar&, const std::string& text) override;
    void searchBarSearchButtonClicked(ui::SearchBar&) override;
    void notifiChangelanguage() override;

private:
    void retext();
    void leaveNewCustomer();

    std::shared_ptr<ui::ImageView> m_titleBar;
    std::shared_ptr<ui::Label> m_title;
    std::shared_ptr<ui::Button> m_newButton;
    std::shared_ptr<ui::SegmentedControl> m_segments;
    std::shared_ptr<ui::SearchBar> m_searchBar;
    std::shared_ptr<ui::Button> m_marker;
    std::shared_ptr<CustomerTable> m_table;
    CustomerInfoDictionary m_allCustomerdic;
    int m_selectedRow = 0;
    bool m_isEditType = false;
    CustomerListViewDelegate* m_delegate = nullptr;
};
