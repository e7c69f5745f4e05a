#include "Classes/Catalog/DetailCell.h"

#include "Classes/Order/QuoteOrderStore.h"
#include "Common/BadgeButton.h"
#include "Common/ImageLoadOperation.h"
#include "Common/ImageLoadQueueManager.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Database/OrderLineAttributeText.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/TapGestureRecognizer.h"

#include <mutex>

namespace {

constexpr int kProductImageType = 1;

std::mutex& readerLock()
{
    static std::mutex lock;
    return lock;
}

DetailCell::ImageReader& readerSlot()
{
    static DetailCell::ImageReader reader;
    return reader;
}

DetailCell::ImageReader currentReader()
{
    std::lock_guard guard(readerLock());
    if (readerSlot())
        return readerSlot();
    // Worked out here, on the main thread; the reader runs in the background.
    gfx::Size shown = PublicFunction::thumbShownPixels();
    return [shown](const std::optional<std::string>& name) {
        return PublicFunction::getLocalImageFiletype(name, kProductImageType, shown);
    };
}

std::shared_ptr<ui::Label> label(const gfx::Rect& frame, const gfx::Font& font, gfx::Color color)
{
    auto l = std::make_shared<ui::Label>(frame);
    l->setFont(font);
    l->setTextColor(color);
    l->setBackgroundColor(gfx::Color::clear());
    l->setOpaque(false);
    return l;
}

} // namespace

void DetailCell::setImageReaderForTesting(ImageReader reader)
{
    std::lock_guard guard(readerLock());
    readerSlot() = std::move(reader);
}

DetailCell::DetailCell(const gfx::Rect& frame, const std::string& reuseIdentifier)
    : BRGridViewCell(frame, reuseIdentifier)
{
    auto content = contentView();

    m_bgImageView = std::make_shared<ui::ImageView>(gfx::Rect(17, 10, 160, 110));
    m_bgImageView->setContentMode(ui::ContentMode::Center);
    m_bgImageView->setBackgroundColor(gfx::Color::white());
    m_bgImageView->setUserInteractionEnabled(true);
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    tap->addTarget([this](ui::GestureRecognizer&) { onClickImage(); });
    m_bgImageView->addGestureRecognizer(tap);
    content->addSubview(m_bgImageView);

    m_productImageView = std::make_shared<ui::ImageView>(gfx::Rect(17, 10, 160, 110));
    m_productImageView->setContentMode(ui::ContentMode::ScaleAspectFit);
    m_productImageView->setBackgroundColor(gfx::Color::white());
    // Taps reach the plate behind.
    m_productImageView->setUserInteractionEnabled(false);
    content->addSubview(m_productImageView);

    m_catalogNameLabel = label({10, 125, 173, 30}, gfx::Font("Arial-BoldMT", 14), gfx::Color::black());
    m_catalogNameLabel->setNumberOfLines(0);
    content->addSubview(m_catalogNameLabel);
    m_skuContentLabel = label({10, 156, 130, 20}, gfx::Font("Arial", 13), gfx::Color::gray());
    content->addSubview(m_skuContentLabel);
    m_priceContentLabel = label({10, 175, 120, 20}, gfx::Font("Arial", 14), gfx::Color::black());
    content->addSubview(m_priceContentLabel);

    m_devideImageView = std::make_shared<ui::ImageView>(gfx::Rect(194, 10, 1, 192));
    m_devideImageView->setImage(ui::imageNamed("divideline.png"));
    content->addSubview(m_devideImageView);

    m_addOrderBtn = std::make_shared<BadgeButton>(gfx::Rect(149, 158, 34, 34));
    m_addOrderBtn->setBackgroundImage(SkinManager::skinFromImageName("btn-cart.png"));
    m_addOrderBtn->addTarget([this](ui::Control&) { addOrderBtnTapped(); }, ui::ControlEventTouchUpInside);
    m_addOrderBtn->setHidden(!QuoteOrderStore::sharedQuoteOrderStore()->isOrderOnShow());
    content->addSubview(m_addOrderBtn);

    m_smallCloseBtn = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(frame.width() - 50, 0, 50, 50));
    m_smallCloseBtn->setImage(ui::imageNamed("file-del.png"));
    m_smallCloseBtn->setImageEdgeInsets({10, 10, 10, 10});
    m_smallCloseBtn->setHidden(true);
    content->addSubview(m_smallCloseBtn);

    m_discountpriceLabel = label({}, gfx::Font("Arial", 14), gfx::Color::fromRgb(176, 48, 96));
    content->addSubview(m_discountpriceLabel);
}

DetailCell::~DetailCell()
{
    // A read still on its way finds the tile gone; a display still queued is cancelled.
    if (m_imageLoadOperation)
        m_imageLoadOperation->cancel();
}

void DetailCell::setProductId(int productId)
{
    m_productId = productId;
    reloadCellProdectPrice();
}

void DetailCell::reloadCellProdectPrice()
{
    auto price = DataAccessManager::sharedDataModel()->getPriceEntityByProductId(m_productId);
    m_priceContentLabel->setHidden(price.isHidden());
    m_priceContentLabel->setText(price.strPrice());
    setDiscountprice(price.discount_flag ? std::optional<std::string>(price.strDiscountPrice()) : std::nullopt);
}

void DetailCell::setDiscountprice(const std::optional<std::string>& text)
{
    m_discountprice = text;
    PublicFunction::removeDeletionLineFromLabel(m_priceContentLabel.get());
    if (OrderLineAttributeText::isBlank(text)) {
        m_discountpriceLabel->setFrame({});
        return;
    }
    const gfx::Font& font = m_priceContentLabel->font();
    gfx::Size limit{1e6, 20};
    const std::string& shown = m_priceContentLabel->text();
    double p = shown.empty() ? 0 : gfx::sizeOfText(shown, font, limit, gfx::LineBreakMode::WordWrap).width;
    double q = gfx::sizeOfText(*text, font, limit, gfx::LineBreakMode::WordWrap).width;
    if (p + q > kDiscountRoom)
        m_discountpriceLabel->setFrame({10, 190, 120, 20});
    else
        m_discountpriceLabel->setFrame({p + 20, 175, 120, 20});
    m_discountpriceLabel->setText(*text);
    PublicFunction::addDeletionLineToLabel(m_priceContentLabel.get());
}

void DetailCell::setBadgeValueAnimated(const std::optional<std::string>& value, bool animated)
{
    m_addOrderBtn->setBadgeValueAnimated(value, animated);
}

void DetailCell::addOrderBtnTapped()
{
    if (auto owner = detailDelegate())
        owner->addToOrder(*this);
}

void DetailCell::setDimmed(bool dimmed)
{
    m_dimmed = dimmed;
    m_productImageView->setAlpha(dimmed ? 0.4 : 1);
    m_productImageView->setBackgroundColor(dimmed ? PublicFunction::colorOfMainTheme() : gfx::Color::clear());
}

void DetailCell::onClickImage()
{
    setDimmed(true);
    if (auto owner = detailDelegate())
        owner->didSelectedImage(*this);
}

void DetailCell::loadImageAsyncWihtAnimation(bool fade)
{
    m_productImageView->setAlpha(0);
    unsigned generation = ++m_imageGeneration;
    // A display still waiting shows a picture this tile no longer wants.
    if (m_imageLoadOperation && !m_imageLoadOperation->isFinished())
        m_imageLoadOperation->cancel();
    std::weak_ptr<DetailCell> weak = std::static_pointer_cast<DetailCell>(sharedView());
    auto name = m_imagename;
    auto reader = currentReader();
    base::dispatchBackground([weak, name, reader, fade, generation] {
        gfx::Image image = reader(name);
        base::performOnMain([weak, image, fade, generation] {
            if (auto cell = weak.lock())
                cell->showImage(image, fade, generation);
        });
    });
}

void DetailCell::showImage(const gfx::Image& image, bool fade, unsigned generation)
{
    if (!wantsImage(generation))
        return;
    auto operation = std::make_shared<ImageLoadOperation>(image, m_productImageView, fade);
    std::weak_ptr<DetailCell> weak = std::static_pointer_cast<DetailCell>(sharedView());
    operation->setStillWanted([weak, generation] {
        auto cell = weak.lock();
        return cell && cell->wantsImage(generation);
    });
    operation->setShownAlpha([weak] {
        auto cell = weak.lock();
        return cell && cell->isDimmed() ? 0.4 : 1.0;
    });
    if (m_imageLoadOperation && (m_imageLoadOperation->isReady() || m_imageLoadOperation->isExecuting()))
        m_imageLoadOperation->cancel();
    m_imageLoadOperation = operation;
    ImageLoadQueueManager::sharedInstance()->loadImageWithOperationUnique(operation, false);
}
