#include "Classes/Catalog/CompareCell.h"

#include "Widgets/IconButton.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Database/OrderLineAttributeText.h"
#include "Platform/Base/Log.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/LongPressGestureRecognizer.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/TextView.h"

#include <cstdio>

namespace {

const gfx::Color kText = gfx::Color::fromWhite(0.2);
const gfx::Color kPrice = {0.4, 0, 0.2, 1};
const gfx::Color kDiscount = gfx::Color::fromRgb(176, 48, 96);

std::shared_ptr<ui::Label> label(const gfx::Rect& frame, gfx::Color color = kText)
{
    auto l = std::make_shared<ui::Label>(frame);
    l->setFont(gfx::Font("Helvetica-Bold", 14));
    l->setTextColor(color);
    l->setBackgroundColor(gfx::Color::clear());
    l->setOpaque(false);
    return l;
}

std::string address(const void* p)
{
    char text[32];
    std::snprintf(text, sizeof text, "%p", p);
    return text;
}

} // namespace

CompareCell::CompareCell(const std::string& reuseIdentifier)
    : ui::TableViewCell(ui::TableViewCellStyle::Default, reuseIdentifier)
{
    setFrame({0, 0, kWidth, kHeight});
    setBackgroundColor(gfx::Color::clear());
    setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    ui::View& content = contentView();
    content.setBackgroundColor(gfx::Color::clear());

    m_contentBackgroundView = std::make_shared<ui::View>(gfx::Rect(0, 0, kWidth, kHeight));
    m_contentBackgroundView->setBackgroundColor(gfx::Color::clear());
    m_contentBackgroundView->setOpaque(false);
    auto backgroundTap = std::make_shared<ui::TapGestureRecognizer>();
    backgroundTap->addTarget([this](ui::GestureRecognizer&) {
        if (auto owner = compareDelegate())
            owner->didClickCellBackground(*this);
    });
    m_contentBackgroundView->addGestureRecognizer(backgroundTap);
    content.addSubview(m_contentBackgroundView);

    m_productImageView = std::make_shared<ui::ImageView>(gfx::Rect(0, 20, 150, 130));
    m_productImageView->setUserInteractionEnabled(true);
    auto press = std::make_shared<ui::LongPressGestureRecognizer>();
    press->setMinimumPressDuration(0.7);
    press->addTarget([this](ui::GestureRecognizer& g) {
        if (g.state() != ui::GestureRecognizer::State::Began)
            return;
        if (auto owner = compareDelegate())
            owner->didLongPressImage(*this);
    });
    m_productImageView->addGestureRecognizer(press);
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    tap->addTarget([this](ui::GestureRecognizer&) {
        if (auto owner = compareDelegate())
            owner->didTapImage(*this);
    });
    m_productImageView->addGestureRecognizer(tap);
    content.addSubview(m_productImageView);

    m_devideImageView = std::make_shared<ui::ImageView>(gfx::Rect(175, 30, 1, 137));
    m_devideImageView->setImage(ui::imageNamed("divideline.png"));
    content.addSubview(m_devideImageView);

    m_addOrderBtn = std::make_shared<IconButton>(gfx::Rect(5, 170, 127, 30));
    PublicFunction::initializeToButtonHeight30(m_addOrderBtn.get());
    m_addOrderBtn->setIconType(1);
    m_addOrderBtn->addTarget([this](ui::Control&) {
        if (auto owner = compareDelegate())
            owner->addToOrder(*this);
    }, ui::ControlEventTouchUpInside);
    m_addOrderBtn->setHidden(!QuoteOrderStore::sharedQuoteOrderStore()->isOrderOnShow());
    content.addSubview(m_addOrderBtn);

    m_priceLabel = label({0, 265, 180, 40}, kPrice);
    content.addSubview(m_priceLabel);
    m_disCountpriceLabel = label({85, 265, 180, 40}, kPrice);
    content.addSubview(m_disCountpriceLabel);
    m_SKULabel = label({1, 328, 180, 40});
    content.addSubview(m_SKULabel);
    m_productNameLabel = label({1, 201, 170, 60});
    m_productNameLabel->setNumberOfLines(0);
    content.addSubview(m_productNameLabel);

    m_shortDesTextView = std::make_shared<ui::TextView>(gfx::Rect(-8, 385, 170, 170));
    m_shortDesTextView->setFont(gfx::Font("Helvetica-Bold", 14));
    m_shortDesTextView->setTextColor(kText);
    m_shortDesTextView->setBackgroundColor(gfx::Color::clear());
    m_shortDesTextView->setEditable(false);
    content.addSubview(m_shortDesTextView);

    m_smallCloseBtn = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(130, 10, 50, 50));
    m_smallCloseBtn->setImage(ui::imageNamed("file-del.png"));
    m_smallCloseBtn->setImageEdgeInsets({10, 10, 10, 10});
    m_smallCloseBtn->setHidden(true);
    content.addSubview(m_smallCloseBtn);

    base::log("view:" + address(m_contentBackgroundView.get()) + ", content view:" + address(&content));
}

void CompareCell::setProductId(int productId)
{
    m_productId = productId;
    auto price = DataAccessManager::sharedDataModel()->getPriceEntityByProductId(productId);
    m_priceLabel->setHidden(price.isHidden());
    m_priceLabel->setText(price.strPrice());
    setDiscountprice(price.discount_flag ? std::optional<std::string>(price.strDiscountPrice()) : std::nullopt);
}

void CompareCell::setDiscountprice(const std::optional<std::string>& text)
{
    m_discountprice = text;
    PublicFunction::removeDeletionLineFromLabel(m_priceLabel.get());
    if (OrderLineAttributeText::isBlank(text)) {
        m_disCountpriceLabel->setFrame({});
        return;
    }
    m_disCountpriceLabel->setTextColor(kDiscount);
    gfx::Rect price = m_priceLabel->frame();
    double w = gfx::sizeOfText(m_priceLabel->text(), m_priceLabel->font(), {1e6, 40}, gfx::LineBreakMode::WordWrap).width;
    w = std::min(w, price.width());
    m_disCountpriceLabel->setFrame({price.x() + w + 20, price.y(), price.width(), price.height()});
    m_disCountpriceLabel->setText(*text);
    PublicFunction::addDeletionLineToLabel(m_priceLabel.get());
}

void CompareCell::setBadgeValueAnimated(const std::optional<std::string>& value, bool animated)
{
    m_addOrderBtn->setBadgeValueAnimated(value, animated);
}
