#pragma once
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Customer/SectionHeaderView.h"
#include "Platform/UI/TableView.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The list pane, told of what the user does in the table.
class CustomerListControllerDelegate {
public:
    virtual ~CustomerListControllerDelegate() = default;
    // The selected customer changed; the names only when grouped by contact.
    virtual void changedCustomerFirstNameLastName(const std::optional<PersonInfo>& person,
                                                  const std::optional<std::string>& first,
                                                  const std::optional<std::string>& last)
    {
    }
    virtual void deleteLocalCustomer(int customerId) {}
    virtual void resignSearchBar() {}
};

// One group: its key and its rows (a customer, or one contact of it with the names).
struct GroupList {
    std::string prefex;
    std::vector<ContactMode> arrayPersons;
};

struct CustomerInfoList : GroupList {
    bool opened = true;
    // The rows taken out when the group was last closed.
    std::vector<ui::IndexPath> indexPaths;
};

// The customers of a dictionary in collapsible groups: by the initial of the name (Chinese
// names by their pinyin), by the contacts' last names, or by state.
class CustomerTable : public ui::TableViewDataSource,
                      public ui::TableViewDelegate,
                      public SectionHeaderViewDelegate,
                      public std::enable_shared_from_this<CustomerTable> {
public:
    enum SortType { ByName = 0, ByContact = 1, ByState = 2 };
    static constexpr double kHeaderHeight = 50;
    static constexpr double kRowHeight = 60;

    explicit CustomerTable(const gfx::Rect& frame);
    ~CustomerTable() override;

    const std::shared_ptr<ui::TableView>& tableView() const { return m_tableView; }
    void setDelegate(CustomerListControllerDelegate* delegate) { m_delegate = delegate; }

    void setAllcustomerdic(const CustomerInfoDictionary& customers) { m_allcustomerdic = customers; }
    const CustomerInfoDictionary& allcustomerdic() const { return m_allcustomerdic; }
    void RefrashByType(int mode);
    void groupPersonsBy(int mode);
    // Shows and selects the customer, and tells the delegate as a tap would.
    void focuseCustomerName(int customerId);
    // Shows and marks the selected customer again after the rows changed (a regrouping, a
    // search cleared): no one is told, so an edit of the customer shown goes on and the search
    // bar keeps the keyboard.
    void refreshFocus() { focus(m_selectedPID, false); }
    void selectedCustomerByConatct(const ContactMode& hit);
    void updateCustomerInfoDicWithHidden(int customerId, bool hidden);
    void desSelected();
    // No customer selected any more, so regrouping selects none.
    void forgetSelection();

    int currentSoryByType() const { return m_currentSoryByType; }
    int selectedPID() const { return m_selectedPID; }
    const std::vector<CustomerInfoList>& customerlist() const { return m_customerlist; }
    const std::vector<PersonInfo>& arraypersons() const { return m_arraypersons; }
    std::optional<ui::IndexPath> selectedRow() const { return m_selectedRow; }

    // Key order of the groups: single characters as they are, longer keys by their pinyin.
    static bool pinyinNameLess(const std::string& a, const std::string& b);

    // --- Table ------------------------------------------------------------------------------
    int numberOfSectionsInTableView(ui::TableView&) override;
    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    bool canEditRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void commitEditingStyle(ui::TableView&, ui::TableViewCellEditingStyle, const ui::IndexPath&) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return kRowHeight; }
    double heightForHeaderInSection(ui::TableView&, int) override { return kHeaderHeight; }
    std::shared_ptr<ui::View> viewForHeaderInSection(ui::TableView&, int section) override;
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void didDeselectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void willBeginEditingRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void didEndEditingRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    std::string titleForDeleteConfirmationButtonForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;

    void sectionHeaderViewSectionOpened(SectionHeaderView& header, int section) override;
    void sectionHeaderViewSectionClosed(SectionHeaderView& header, int section) override;

private:
    void groupPersons();
    void groupByNameOrState(int mode);
    void groupByContact();
    const ContactMode* rowAt(const ui::IndexPath& ip) const;
    bool isSelectedRow(const ui::IndexPath& ip) const;
    gfx::Color normalColorOf(const ContactMode& row) const;
    void restoreColors(const ui::IndexPath& ip);
    void whiten(const ui::IndexPath& ip);
    void handleTap(const ui::IndexPath& ip);
    void markSelected(const ui::IndexPath& ip);
    void focus(int customerId, bool tell);

    std::shared_ptr<ui::TableView> m_tableView;
    CustomerInfoDictionary m_allcustomerdic;
    std::vector<PersonInfo> m_arraypersons;
    std::map<std::string, size_t> m_customerdic; // key to its group in m_customerlist
    std::vector<CustomerInfoList> m_customerlist;
    int m_currentSoryByType = ByName;
    int m_selectedPID = 0;
    std::optional<ui::IndexPath> m_selectedRow;
    std::optional<ui::IndexPath> m_selectedContactRow;
    CustomerListControllerDelegate* m_delegate = nullptr;
};
