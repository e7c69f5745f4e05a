#include "Classes/Catalog/ProductInfoView.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Base/DeferredCall.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TextView.h"

namespace {

std::shared_ptr<ui::Label> makeLabel(const gfx::Rect& frame, const gfx::Font& font, gfx::TextAlignment alignment)
{
    auto label = std::make_shared<ui::Label>(frame);
    label->setFont(font);
    label->setTextAlignment(alignment);
    label->setBackgroundColor(std::nullopt);
    return label;
}

constexpr double kRightMargin = 15;
constexpr double kPriceGap = 12;

bool isBlank(const std::string& text)
{
    return text.find_first_not_of(" \t") == std::string::npos;
}

} // namespace

ProductInfoView::ProductInfoView(const gfx::Rect& frame) : Control(frame)
{
    setAlpha(0.8);
    setBackgroundColor(std::nullopt);
    m_background = std::make_shared<ui::ImageView>(SkinManager::skinFromImageName("product-info-bg.png"));
    m_background->setFrame({653, 533, 372, 160});
    // Touches on the picture reach the panel itself, which closes on them.
    m_background->setUserInteractionEnabled(false);
    addSubview(m_background);
    // Inside the panel, whose right edge is the window's.
    m_nameLabel = makeLabel({670, 545, 1024 - kRightMargin - 670, 20}, gfx::Font("Helvetica-Bold", 15),
                            gfx::TextAlignment::Left);
    addSubview(m_nameLabel);
    m_skuLabel = makeLabel({670, 568, 240, 20}, gfx::Font("Arial", 12), gfx::TextAlignment::Left);
    addSubview(m_skuLabel);
    m_priceLabel = makeLabel({883, 568, 130, 20}, gfx::Font("Helvetica-Bold", 16), gfx::TextAlignment::Right);
    addSubview(m_priceLabel);
    m_discountPriceLabel = makeLabel({753, 568, 130, 20}, gfx::Font("Helvetica-Bold", 16), gfx::TextAlignment::Right);
    m_discountPriceLabel->setTextColor(gfx::Color::fromRgb(128, 0, 128));
    addSubview(m_discountPriceLabel);
    m_divider = std::make_shared<ui::ImageView>(SkinManager::skinFromImageName("product-info-line.png"));
    m_divider->setFrame({660, 592, 358, 2});
    m_divider->setBackgroundColor(std::nullopt);
    addSubview(m_divider);
    m_descriptionView = std::make_shared<ui::TextView>(gfx::Rect(666, 600, 345, 70));
    m_descriptionView->setFont(gfx::Font("Helvetica", 16));
    m_descriptionView->setBackgroundColor(std::nullopt);
    m_descriptionView->setEditable(false);
    addSubview(m_descriptionView);
    addTarget([this](ui::Control&) { productInfoViewClose(); }, ui::ControlEventTouchUpInside);
}

void ProductInfoView::setProductEntity(const brivanta_product_Entity& product)
{
    m_productEntity = product;
    m_nameLabel->setText(product.product_name.value_or(""));
    m_skuLabel->setText(product.product_sku.value_or(""));
    showDescription();
}

void ProductInfoView::showDescription()
{
    const auto& text = m_productEntity ? m_productEntity->product_s_desc : std::nullopt;
    m_descriptionView->setText(text && !isBlank(*text) ? *text : Language::stringWithName("NODESCRIPTION"));
    m_descriptionView->setContentOffset({0, 0});
}

void ProductInfoView::updateLanguage()
{
    showDescription();
}

void ProductInfoView::setLabelPrice(const std::string& price, const std::string& discountPrice)
{
    m_priceLabel->setText(price);
    m_discountPriceLabel->setText(discountPrice);
    PublicFunction::removeDeletionLineFromLabel(m_priceLabel.get());
    double width = price.empty()
                       ? 0
                       : gfx::sizeOfText(price, m_priceLabel->font(), {1e6, 20}, gfx::LineBreakMode::WordWrap).width;
    m_priceLabel->setFrame({1024 - width - kRightMargin, 568, width, 20});
    if (!discountPrice.empty()) {
        // The old price and the new one read as two amounts, a gap between them.
        m_discountPriceLabel->setFrame({1024 - width - kRightMargin - kPriceGap - 130, 568, 130, 20});
        PublicFunction::addDeletionLineToLabel(m_priceLabel.get());
    }
}

void ProductInfoView::productInfoViewClose()
{
    ui::View::AnimationOptions options;
    options.duration = 0.35;
    options.curve = ui::View::AnimationOptions::Curve::EaseIn;
    ui::View::animate(options, [this] { setAlpha(0); });
    std::weak_ptr<ProductInfoView> self = std::static_pointer_cast<ProductInfoView>(sharedView());
    base::performAfterDelay(self, "removeFromSuperview", 0.5, [self] {
        if (auto view = self.lock())
            view->removeFromSuperview();
    });
    if (m_delegate)
        m_delegate->productInfoViewClose();
}
