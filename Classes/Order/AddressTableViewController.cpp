#include "Classes/Order/AddressTableViewController.h"

#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TableViewCell.h"
#include "Platform/UI/TextField.h"

void AddressTableViewController::loadView()
{
    m_tableView = ui::View::make<ui::TableView>(gfx::Rect(0, 0, 550, kRowHeight * 4));
    m_tableView->setDataSource(this);
    m_tableView->setDelegate(this);
    setView(m_tableView);
}

std::shared_ptr<ui::TableViewCell> AddressTableViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                     const ui::IndexPath& path)
{
    int row = std::clamp(path.row, 0, 3);
    auto cell = m_cells[row];
    if (!cell) {
        cell = ui::View::make<ui::TableViewCell>(ui::TableViewCellStyle::Default, kReuseIdentifier);
        cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
        bool chinese = LanguageManager::sharedInstance()->currentLanguage() == 2;
        auto label = ui::View::make<ui::Label>(chinese ? gfx::Rect(5, 5, 70, 30) : gfx::Rect(5, 5, 170, 30));
        label->setTag(1);
        label->setFont(gfx::Font::boldSystemFont(15));
        label->setTextColor(gfx::Color::fromRgb(53, 107, 168));
        label->setBackgroundColor(gfx::Color::white());
        label->setTextAlignment(gfx::TextAlignment::Right);
        auto field = ui::View::make<ui::TextField>(chinese ? gfx::Rect(85, 10, 460, 30) : gfx::Rect(185, 10, 360, 30));
        field->setTag(2);
        field->setAutocorrectionType(ui::TextAutocorrectionType::No);
        field->setText(m_initial[row]);
        cell->contentView().addSubview(label);
        cell->contentView().addSubview(field);
        // A click on the row's label or margin edits its field too.
        cell->setFieldForRowClicks(field.get());
        m_cells[row] = cell;
    }
    static const char* const kKeys[4] = {"STREETADDRESS", "CITY", "STATE", "ZIPCODE"};
    if (auto* label = dynamic_cast<ui::Label*>(cell->contentView().viewWithTag(1)))
        label->setText(Language::stringWithName(kKeys[row]));
    // The street has the keyboard as soon as the popup shows.
    if (row == 0)
        if (auto* field = cell->contentView().viewWithTag(2))
            field->becomeFirstResponder();
    return cell;
}

std::string AddressTableViewController::fieldText(int row) const
{
    const auto& cell = m_cells[row];
    if (!cell)
        return m_initial[row];
    auto* field = dynamic_cast<ui::TextField*>(cell->contentView().viewWithTag(2));
    return field ? field->text() : std::string();
}
