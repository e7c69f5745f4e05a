#pragma once
#include "Platform/Graphics/Image.h"
#include "Widgets/BRGridViewCell.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ui {
class Button;
class ImageView;
class Label;
}
class BadgeButton;
class DetailCell;
class ImageLoadOperation;

// The screen that owns product tiles.
class DetailCellDelegate {
public:
    virtual ~DetailCellDelegate() = default;
    virtual void didSelectedImage(DetailCell& cell) = 0;
    virtual void addToOrder(DetailCell& cell) = 0;
};

// The product tile of the grid and the favourites and related-products popups: picture, name,
// SKU, list price with a struck line and the discount beside or below it, the add button with
// the quantity already in the order as its badge, and a delete button the popups show.
class DetailCell : public BRGridViewCell {
public:
    static constexpr double kDiscountRoom = 130;

    // The grid gives (0, 0, 200, 212); the popups the zero rectangle, then 220 x 215.
    DetailCell(const gfx::Rect& frame, const std::string& reuseIdentifier);
    DetailCell() : DetailCell(gfx::Rect(), std::string()) {}
    ~DetailCell() override;
    const char* className() const override { return "DetailCell"; }

    int productId() const { return m_productId; }
    // Stores the id and fills the prices.
    void setProductId(int productId);
    void reloadCellProdectPrice();
    const std::optional<std::string>& discountprice() const { return m_discountprice; }
    void setDiscountprice(const std::optional<std::string>& text);
    const std::optional<std::string>& imagename() const { return m_imagename; }
    void setImagename(std::optional<std::string> name) { m_imagename = std::move(name); }
    // Reads the thumbnail off the main thread and shows it through the picture display queue;
    // a read the tile no longer wants when it returns is dropped.
    void loadImageAsyncWihtAnimation(bool fade);
    void setBadgeValueAnimated(const std::optional<std::string>& value, bool animated);
    void addOrderBtnTapped();
    void onClickImage();

    std::shared_ptr<DetailCellDelegate> detailDelegate() const { return m_detailDelegate.lock(); }
    void setDetailDelegate(std::weak_ptr<DetailCellDelegate> delegate) { m_detailDelegate = std::move(delegate); }

    ui::ImageView& bgImageView() const { return *m_bgImageView; }
    ui::ImageView& productImageView() const { return *m_productImageView; }
    ui::Label& catalogNameLabel() const { return *m_catalogNameLabel; }
    ui::Label& skuContentLabel() const { return *m_skuContentLabel; }
    ui::Label& priceContentLabel() const { return *m_priceContentLabel; }
    ui::Label& discountpriceLabel() const { return *m_discountpriceLabel; }
    ui::ImageView& devideImageView() const { return *m_devideImageView; }
    BadgeButton& addOrderBtn() const { return *m_addOrderBtn; }
    ui::Button& smallCloseBtn() const { return *m_smallCloseBtn; }
    const std::shared_ptr<ImageLoadOperation>& imageLoadOperation() const { return m_imageLoadOperation; }
    // The tap feedback: the picture dimmed over the theme colour until the tile is reloaded.
    void setDimmed(bool dimmed);
    bool isDimmed() const { return m_dimmed; }

    // Tests hold the background read to order its return; none installed reads the file.
    using ImageReader = std::function<gfx::Image(const std::optional<std::string>& name)>;
    static void setImageReaderForTesting(ImageReader reader);

private:
    void showImage(const gfx::Image& image, bool fade, unsigned generation);
    bool wantsImage(unsigned generation) const { return generation == m_imageGeneration; }

    std::shared_ptr<ui::ImageView> m_bgImageView;
    std::shared_ptr<ui::ImageView> m_productImageView;
    std::shared_ptr<ui::Label> m_catalogNameLabel;
    std::shared_ptr<ui::Label> m_skuContentLabel;
    std::shared_ptr<ui::Label> m_priceContentLabel;
    std::shared_ptr<ui::Label> m_discountpriceLabel;
    std::shared_ptr<ui::ImageView> m_devideImageView;
    std::shared_ptr<BadgeButton> m_addOrderBtn;
    std::shared_ptr<ui::Button> m_smallCloseBtn;
    std::weak_ptr<DetailCellDelegate> m_detailDelegate;
    std::optional<std::string> m_discountprice;
    std::optional<std::string> m_imagename;
    int m_productId = 0;
    std::shared_ptr<ImageLoadOperation> m_imageLoadOperation;
    // Bumped by every load: a read or display carrying an older number is dropped.
    unsigned m_imageGeneration = 0;
    bool m_dimmed = false;
};
