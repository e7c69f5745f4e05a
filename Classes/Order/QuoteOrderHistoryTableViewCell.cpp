#include "Classes/Order/QuoteOrderHistoryTableViewCell.h"

#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

namespace {

std::shared_ptr<ui::Label> makeLabel(const gfx::Rect& frame, gfx::TextAlignment alignment)
{
    auto label = ui::View::make<ui::Label>(frame);
    label->setBackgroundColor(gfx::Color::clear());
    label->setTextAlignment(alignment);
    return label;
}

constexpr double kCustomerRight = 395;
constexpr double kBadgeGap = 4;

bool isChinese()
{
    return LanguageManager::sharedInstance()->currentLanguage() == 2;
}

} // namespace

QuoteOrderHistoryTableViewCell::QuoteOrderHistoryTableViewCell()
    : ui::TableViewCell(ui::TableViewCellStyle::Default, kReuseIdentifier)
{
    setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    setAccessoryType(ui::TableViewCellAccessoryType::DisclosureIndicator);
    auto& content = contentView();
    m_lblOrderNum = makeLabel({5, 10, 235, 30}, gfx::TextAlignment::Center);
    content.addSubview(m_lblOrderNum);
    m_lblCustomer = makeLabel({245, 0, kCustomerRight - 245, 50}, gfx::TextAlignment::Center);
    content.addSubview(m_lblCustomer);
    m_signedView = make<ui::ImageView>(gfx::Rect{340, 10, 62, 30});
    m_signedView->setHidden(true);
    content.addSubview(m_signedView);
    m_lblPrice = makeLabel({395, 10, 120, 30}, gfx::TextAlignment::Right);
    m_lblPrice->setNumberOfLines(1);
    m_lblPrice->setAdjustsFontSizeToFitWidth(true);
    m_lblPrice->setMinimumFontSize(10);
    content.addSubview(m_lblPrice);
    m_lblOrderTime = makeLabel({540, 10, 120, 30}, gfx::TextAlignment::Left);
    content.addSubview(m_lblOrderTime);
    m_lblNote = makeLabel({680, 0, 150, 50}, gfx::TextAlignment::Center);
    m_lblNote->setNumberOfLines(2);
    content.addSubview(m_lblNote);
    m_btnSubmit = make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{860, 10, 90, 30});
    PublicFunction::initializeToButtonHeight30(m_btnSubmit.get());
    m_btnSubmit->titleLabel().setFont(gfx::Font::boldSystemFont(14));
    content.addSubview(m_btnSubmit);
    m_tintView = make<ui::View>(bounds());
    m_tintView->setBackgroundColor(PublicFunction::colorOfMainTheme());
    m_tintView->setAlpha(0.5);
    m_tintView->setUserInteractionEnabled(false);
    m_tintView->setHidden(true);
    addSubview(m_tintView);
    updateLanguage();
}

void QuoteOrderHistoryTableViewCell::setOderNumber(const std::optional<std::string>& number)
{
    m_lblOrderNum->setText(number.value_or(""));
}

void QuoteOrderHistoryTableViewCell::setCustomer(const std::optional<std::string>& name)
{
    m_lblCustomer->setText(name.value_or(""));
    m_btnSubmit->setEnabled(!base::trimmingWhitespaceAndNewlines(name.value_or("")).empty());
}

void QuoteOrderHistoryTableViewCell::setStrPrice(const std::string& price)
{
    m_lblPrice->setText(price);
}

std::string QuoteOrderHistoryTableViewCell::shownOrderTime(const std::optional<std::string>& time)
{
    if (!time)
        return {};
    auto date = base::DateFormatter("MM/dd/yyyy HH:mm:ss").dateFromString(*time);
    if (!date)
        return {};
    return base::DateFormatter("HH:mm " + PublicFunction::getFormateString()).stringFromDate(*date);
}

void QuoteOrderHistoryTableViewCell::setStrOrderTime(const std::optional<std::string>& time)
{
    m_lblOrderTime->setText(shownOrderTime(time));
}

void QuoteOrderHistoryTableViewCell::setNote(const std::string& note)
{
    m_lblNote->setText(note);
}

void QuoteOrderHistoryTableViewCell::setIsSigned(bool isSigned)
{
    m_isSigned = isSigned;
    m_signedView->setHidden(!isSigned);
    // The customer's name stops short of the badge rather than running under it.
    gfx::Rect customer = m_lblCustomer->frame();
    double right = isSigned ? m_signedView->frame().x() - kBadgeGap : kCustomerRight;
    m_lblCustomer->setFrame({customer.x(), customer.y(), right - customer.x(), customer.height()});
    if (isSigned)
        m_signedView->setImage(SkinManager::skinFromImageName(isChinese() ? "icon_signed_small_cn.png"
                                                                          : "icon_signed_small_en.png"));
}

void QuoteOrderHistoryTableViewCell::showTouched(bool touched)
{
    // The cell may have grown since it was made; the tint covers the whole row.
    m_tintView->setFrame(bounds());
    m_tintView->setHidden(!touched);
}

bool QuoteOrderHistoryTableViewCell::isTouched() const
{
    return !m_tintView->isHidden();
}

void QuoteOrderHistoryTableViewCell::updateLanguage()
{
    m_btnSubmit->setTitle(Language::stringWithName("SUBMIT"));
    if (m_isSigned)
        setIsSigned(true);
}

void QuoteOrderHistoryTableViewCell::clear()
{
    setIsSigned(false);
    m_lblOrderNum->setText("");
    m_lblCustomer->setText("");
    m_lblPrice->setText("");
    m_lblOrderTime->setText("");
    m_lblNote->setText("");
    m_btnSubmit->setHidden(true);
    showTouched(false);
}
