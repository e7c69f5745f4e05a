#include "Classes/Customer/CustomerListCell.h"

#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/SkinManager.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"

#include <algorithm>

namespace {

std::shared_ptr<ui::Label> nameLabel(const gfx::Font& font)
{
    auto label = ui::View::make<ui::Label>(gfx::Rect{0, 0, 0, 35});
    label->setFont(font);
    label->setTextAlignment(gfx::TextAlignment::Left);
    label->setBackgroundColor(gfx::Color::clear());
    label->setTextColor(CustomerListCell::listColor());
    return label;
}

double widthOf(const std::optional<std::string>& text, const gfx::Font& font)
{
    if (!text || text->empty())
        return 0;
    return gfx::sizeOfText(*text, font, {2500, 35}, gfx::LineBreakMode::WordWrap).width;
}

} // namespace

CustomerListCell::CustomerListCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier))
{
    m_name = nameLabel(gfx::Font::boldSystemFont(20));
    m_name->setFrame({15, 10, 250, 35});
    contentView().addSubview(m_name);

    m_tagLocal = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{280, 17, 68, 30});
    m_tagLocal->setBackgroundImage(SkinManager::skinFromImageName("Icon_Local_68x30.png"));
    m_tagLocal->setTitle(Language::stringWithName("LOCAL"));
    m_tagLocal->setTitleColor(gfx::Color::white());
    m_tagLocal->setTitleColor(gfx::Color::white(), ui::ControlStateDisabled);
    m_tagLocal->titleLabel().setFont(gfx::Font("Copperplate", 15));
    // A badge, not a control: the picture is drawn as it is.
    m_tagLocal->setEnabled(false);
    m_tagLocal->setHidden(true);
    contentView().addSubview(m_tagLocal);

    m_firstName = nameLabel(gfx::Font::systemFont(20));
    m_lastName = nameLabel(gfx::Font::boldSystemFont(20));
    contentView().addSubview(m_firstName);
    contentView().addSubview(m_lastName);
}

void CustomerListCell::setCellValue(const std::optional<std::string>& name)
{
    m_firstName->setText("");
    m_lastName->setText("");
    m_name->setText(name.value_or(""));
}

void CustomerListCell::setFristNameWithLastName(const std::optional<std::string>& first,
                                                const std::optional<std::string>& last)
{
    m_name->setText("");
    m_firstName->setText(first.value_or(""));
    m_lastName->setText(last.value_or(""));
    const int language = LanguageManager::sharedInstance()->currentLanguage();
    if (language != 0 && language != 1 && language != 2)
        return;
    // Chinese names read family name first.
    const bool lastFirst = language == 2;
    ui::Label& leading = lastFirst ? *m_lastName : *m_firstName;
    ui::Label& trailing = lastFirst ? *m_firstName : *m_lastName;
    double leadWidth = widthOf(lastFirst ? last : first, leading.font());
    double trailWidth = widthOf(lastFirst ? first : last, trailing.font());
    if (leadWidth > kBandWidth) {
        leadWidth = kBandWidth;
        trailWidth = 0;
    } else if (leadWidth + trailWidth > kBandWidth) {
        trailWidth = kBandWidth - leadWidth;
    }
    leading.setFrame({kBandX, 10, leadWidth, 35});
    trailing.setFrame({leadWidth + (lastFirst ? 25 : 18), 10, trailWidth, 35});
}

void CustomerListCell::setFristNameLastNameColor(gfx::Color color)
{
    m_firstName->setTextColor(color);
    m_lastName->setTextColor(color);
}

void CustomerListCell::setTextsColor(gfx::Color color)
{
    m_name->setTextColor(color);
    setFristNameLastNameColor(color);
}

void CustomerListCell::setHighlighted(bool highlighted, bool animated)
{
    if (highlighted)
        setTextsColor(gfx::Color::white());
    else if (!isSelected())
        setTextsColor(m_normalColor);
    ui::TableViewCell::setHighlighted(highlighted, animated);
}

void CustomerListCell::setSelected(bool selected, bool animated)
{
    setTextsColor(selected ? gfx::Color::white() : m_normalColor);
    ui::TableViewCell::setSelected(selected, animated);
}
