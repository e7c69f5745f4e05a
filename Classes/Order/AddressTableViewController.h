#pragma once
#include "Platform/UI/TableView.h"
#include "Platform/UI/ViewController.h"

#include <array>
#include <memory>
#include <string>

// Street, city, state and zip code of a customer typed in by name, one row each; whatever is
// typed, empty included, is taken. Made anew for each opening.
class AddressTableViewController : public ui::ViewController,
                                   public ui::TableViewDataSource,
                                   public ui::TableViewDelegate {
public:
    static constexpr const char* kReuseIdentifier = "AddressTabelCell";
    static constexpr double kRowHeight = 44;

    AddressTableViewController() = default;
    AddressTableViewController(std::string street, std::string city, std::string state, std::string zipCode)
        : m_initial{std::move(street), std::move(city), std::move(state), std::move(zipCode)}
    {
    }
    const char* className() const override { return "AddressTableViewController"; }
    void loadView() override;

    std::string getStreetAddress() const { return fieldText(0); }
    std::string getCity() const { return fieldText(1); }
    std::string getState() const { return fieldText(2); }
    std::string getZipCode() const { return fieldText(3); }
    const std::shared_ptr<ui::TableView>& tableView() const { return m_tableView; }

    int numberOfRowsInSection(ui::TableView&, int) override { return 4; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return kRowHeight; }
    std::optional<ui::IndexPath> willSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override
    {
        return std::nullopt;
    }

private:
    std::string fieldText(int row) const;

    std::array<std::string, 4> m_initial;
    std::shared_ptr<ui::TableView> m_tableView;
    // The rows' cells, kept so the getters read them whether they show or not.
    std::array<std::shared_ptr<ui::TableViewCell>, 4> m_cells;
};
