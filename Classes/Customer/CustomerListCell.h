#pragma once
#include "Platform/Graphics/Color.h"
#include "Platform/UI/TableViewCell.h"

#include <memory>
#include <optional>
#include <string>

namespace ui {
class Button;
class Label;
}

// One row of the grouped customer list: a customer name, or a contact's names in the order of
// the current language, and the LOCAL badge of a customer not yet uploaded.
class CustomerListCell : public ui::TableViewCell {
public:
    // The list's text colour.
    static gfx::Color listColor() { return gfx::Color::fromRgb(53, 107, 168); }
    static constexpr double kBandX = 15;
    static constexpr double kBandWidth = 250;

    CustomerListCell(ui::TableViewCellStyle style, std::string reuseIdentifier);
    const char* className() const override { return "CustomerListCell"; }

    ui::Label& lbcustomer_name() const { return *m_name; }
    ui::Button& tagLocal() const { return *m_tagLocal; }
    ui::Label& firstNameLabel() const { return *m_firstName; }
    ui::Label& lastNameLabel() const { return *m_lastName; }
    gfx::Color normalColor() const { return m_normalColor; }
    void setNormalColor(gfx::Color color) { m_normalColor = color; }

    void setCellValue(const std::optional<std::string>& name);
    void setFristNameWithLastName(const std::optional<std::string>& first, const std::optional<std::string>& last);
    void setFristNameLastNameColor(gfx::Color color);
    // The three texts in one colour.
    void setTextsColor(gfx::Color color);

    void setHighlighted(bool highlighted, bool animated = false) override;
    void setSelected(bool selected, bool animated = false) override;

private:
    std::shared_ptr<ui::Label> m_name;
    std::shared_ptr<ui::Button> m_tagLocal;
    std::shared_ptr<ui::Label> m_firstName;
    std::shared_ptr<ui::Label> m_lastName;
    gfx::Color m_normalColor = listColor();
};
