#include "Classes/Customer/CustomerAttributeCell.h"

#include "Common/Language.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Switch.h"

CustomerAttributeCell::CustomerAttributeCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier))
{
    setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    setBackgroundColor(gfx::Color::clear());
    m_star = make<ui::Label>(gfx::Rect{100, 12, 20, 25});
    m_star->setFont(gfx::Font::boldSystemFont(25));
    m_star->setTextColor(gfx::Color::red());
    m_star->setText("*");
    m_star->setBackgroundColor(gfx::Color::clear());
    m_star->setHidden(true);

    m_name = make<ui::Label>(gfx::Rect{50, 10, 200, 25});
    m_name->setFont(gfx::Font::boldSystemFont(17));
    m_name->setTextAlignment(gfx::TextAlignment::Right);
    m_name->setTextColor(valueGray());
    m_name->setNumberOfLines(0);
    m_name->setBackgroundColor(gfx::Color::clear());

    m_field = make<ui::TextField>(gfx::Rect{270, 10, 340, 25});
    m_field->setFont(gfx::Font::boldSystemFont(17));
    m_field->setTextColor(valueGray());
    m_field->setReturnKeyType(ui::ReturnKeyType::Next);
    m_field->setAutocorrectionType(ui::TextAutocorrectionType::No);
    m_field->setBackgroundColor(gfx::Color::clear());
    m_field->setDelegate(this);

    m_value = make<ui::Label>(gfx::Rect{270, 10, 340, 25});
    m_value->setFont(gfx::Font::boldSystemFont(17));
    m_value->setTextColor(valueGray());
    // Wrapped; what its row cannot hold ends in an ellipsis, as the label beside it.
    m_value->setLineBreakMode(gfx::LineBreakMode::TruncateTail);
    m_value->setNumberOfLines(0);
    m_value->setBackgroundColor(gfx::Color::clear());
    m_value->setHidden(true);

    m_switch = make<ui::Switch>();
    m_switch->setTitles(Language::stringWithName("SWITCHON"), Language::stringWithName("SWITCHOFF"));
    gfx::Size size = m_switch->bounds().size;
    m_switch->setFrame({290, 8, size.width, size.height});
    m_switch->setOn(true);
    m_switch->setHidden(true);
    // The cell owns the switch, so its action may point back at the cell.
    m_switch->addTarget(
        [this](ui::Control&) {
            auto keep = sharedView();
            if (delegate)
                delegate->customerAttributeCellSwitchViewAction(m_switch->isOn());
        },
        ui::ControlEventValueChanged);

    for (const auto& view : std::initializer_list<std::shared_ptr<ui::View>>{m_star, m_name, m_field, m_value, m_switch})
        contentView().addSubview(view);
    // While the value is edited, a click anywhere on the row but the switch edits its field:
    // the line of text is shorter than the row.
    setFieldForRowClicks(m_field.get());
}

void CustomerAttributeCell::textFieldDidBeginEditing(ui::TextField& field)
{
    if (delegate)
        delegate->customerAttributeCellTextFieldBegin(field);
}

void CustomerAttributeCell::textFieldDidEndEditing(ui::TextField& field)
{
    if (delegate && !field.text().empty())
        delegate->customerAttributeCellTextFieldcEnd(field.text(), section, row);
}

bool CustomerAttributeCell::textFieldShouldChangeCharactersInRange(ui::TextField& field, size_t location, size_t length,
                                                                   const std::string& replacement)
{
    std::string text = field.text();
    if (location <= text.size())
        text.replace(location, std::min(length, text.size() - location), replacement);
    if (delegate)
        delegate->customerAttributeCellTextFieldcEnd(text, section, row);
    return true;
}

bool CustomerAttributeCell::textFieldShouldReturn(ui::TextField&)
{
    if (delegate)
        delegate->customerAttributeCellShouldReturnWithSectionWithRow(section, row);
    return false;
}
