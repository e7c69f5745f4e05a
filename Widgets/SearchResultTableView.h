#pragma once
#include "Classes/Customer/CustomerDataModel.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/ViewController.h"

#include <memory>
#include <vector>

class SearchResultTableDelegate {
public:
    virtual ~SearchResultTableDelegate() = default;
    virtual void didSelectCell(const PersonInfo& person) {}
    virtual void didSelectCellByConatct(const ContactMode& contact) {}
};

// The customers a search found, sorted by name, or the contact hits in their own order, in a
// list the caller shows in a popover; a tap hands the entry to the delegate.
class SearchResultTableView : public ui::ViewController, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    static constexpr const char* kReuseIdentifier = "Cell";

    const char* className() const override { return "SearchResultTableView"; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }
    void loadView() override;

    // Set before the entries.
    bool byContact() const { return m_byContact; }
    void setByContact(bool byContact) { m_byContact = byContact; }
    // Customers sorted by name (blank names last); contact hits kept as given.
    void setArrResult(std::vector<PersonInfo> people);
    void setArrResult(std::vector<ContactMode> contacts);
    const std::vector<PersonInfo>& people() const { return m_people; }
    const std::vector<ContactMode>& contacts() const { return m_contacts; }
    SearchResultTableDelegate* delegate() const { return m_delegate; }
    void setDelegate(SearchResultTableDelegate* delegate) { m_delegate = delegate; }
    const std::shared_ptr<ui::TableView>& tableView() const { return m_tableView; }
    void reloadData();

    int numberOfRowsInSection(ui::TableView&, int) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path) override;

private:
    bool m_byContact = false;
    std::vector<PersonInfo> m_people;
    std::vector<ContactMode> m_contacts;
    SearchResultTableDelegate* m_delegate = nullptr;
    std::shared_ptr<ui::TableView> m_tableView;
};
