// The product tile and the category row, in the headless window over the catalogue fixture.
#include "AddFlowTestSupport.h"

#include "Classes/Catalog/ProductBigCatalog.h"
#include "Common/ImageLoadOperation.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Base/Memory.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TableView.h"

#include "tests/Support/HostilePictures.h"

#include <fstream>
#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

using catalogtest::CatalogTest;
using catalogtest::GridHost;
namespace fx = catalogfixture::small;

class ProductTileTest : public CatalogTest {
protected:
    ~ProductTileTest() override { DetailCell::setImageReaderForTesting({}); }
    // Lets the background reads come back and the display queue run.
    static bool settle(const std::function<bool()>& until)
    {
        auto& loop = base::RunLoop::main();
        loop.setManualClock(false);
        bool done = loop.runUntil(until, 10);
        loop.runUntil([] { return false; }, 0.05);
        loop.setManualClock(true);
        return done;
    }
    std::shared_ptr<GridHost> showGrid(std::vector<int> ids)
    {
        auto host = std::make_shared<GridHost>(std::move(ids));
        window->addSubview(host->view);
        host->start();
        host->view->layoutIfNeeded();
        return host;
    }
    // The colour in the middle of the left part of a tile's picture, away from the drawing.
    Rgb pictureColour(DetailCell& tile)
    {
        gfx::Rect area = tile.productImageView().convertRectToView(tile.productImageView().bounds(), nullptr);
        return pixelAt({area.x() + 12, area.midY()});
    }
    static bool hasLine(DetailCell& tile) { return !tile.priceContentLabel().subviews().empty(); }
};

TEST_F(ProductTileTest, PicturesPricesDiscountsAndTheImageTap)
{
    auto host = showGrid({fx::kTwoValues, fx::kActiveDiscount, fx::kExpiredDiscount, fx::kNegativePrice,
                          fx::kBlanksList, fx::kSixAttributes});
    ASSERT_TRUE(settle([&] {
        for (uint32_t i : {0u, 1u, 5u})
            if (host->tile(i)->productImageView().alpha() < 1)
                return false;
        return true;
    }));
    for (uint32_t i : {0u, 1u, 5u})
        EXPECT_TRUE(near(pictureColour(*host->tile(i)), catalogfixture::colorOfProduct(host->products[i].product_id)))
            << "tile " << i;

    DetailCell& discounted = *host->tile(1);
    EXPECT_EQ(discounted.priceContentLabel().text(), "$100.00");
    EXPECT_EQ(discounted.discountprice(), std::optional<std::string>("$80.00"));
    EXPECT_TRUE(hasLine(discounted));
    EXPECT_FALSE(discounted.discountpriceLabel().frame().isEmpty());
    DetailCell& expired = *host->tile(2);
    EXPECT_EQ(expired.priceContentLabel().text(), "$50.00");
    EXPECT_FALSE(hasLine(expired));
    EXPECT_TRUE(expired.discountpriceLabel().frame().isEmpty());
    DetailCell& hidden = *host->tile(3);
    EXPECT_TRUE(hidden.priceContentLabel().isHidden());
    EXPECT_TRUE(hidden.discountpriceLabel().frame().isEmpty());
    driver->screenshot(reviewPath("product_tiles.png"));

    // The discount sits beside the price while both texts fit 130 points, else below.
    const gfx::Font& font = discounted.priceContentLabel().font();
    auto width = [&](const std::string& t) { return gfx::sizeOfText(t, font, {1e6, 20}, gfx::LineBreakMode::WordWrap).width; };
    int beside = 0, below = 0;
    for (auto [price, discount] : std::vector<std::pair<std::string, std::string>>{
             {"$100.00", "$80.00"}, {"$1,000,000.00", "$999,999.00"}, {"$12.50", "$9.99"}, {"$123,456.00", "$99,000.00"}}) {
        discounted.priceContentLabel().setText(price);
        discounted.setDiscountprice(discount);
        double p = width(price), q = width(discount);
        gfx::Rect expected = p + q > 130 ? gfx::Rect(10, 190, 120, 20) : gfx::Rect(p + 20, 175, 120, 20);
        (p + q > 130 ? below : beside)++;
        EXPECT_EQ(discounted.discountpriceLabel().frame(), expected) << price << " " << discount << " " << p << "+" << q;
        EXPECT_EQ(discounted.priceContentLabel().subviews().size(), 1u) << "one line, however often laid out";
    }
    EXPECT_GT(beside, 0);
    EXPECT_GT(below, 0);

    // Reused for a product without a discount: no label, no line.
    discounted.setProductId(fx::kTwoValues);
    EXPECT_TRUE(discounted.discountpriceLabel().frame().isEmpty());
    EXPECT_FALSE(hasLine(discounted));

    // The image tap dims the picture and tells the owner.
    ASSERT_TRUE(driver->tap(&host->tile(0)->bgImageView()));
    EXPECT_EQ(host->selected, std::vector<int>{fx::kTwoValues});
    EXPECT_DOUBLE_EQ(host->tile(0)->productImageView().alpha(), 0.4);
    EXPECT_EQ(host->tile(0)->productImageView().backgroundColor(), PublicFunction::colorOfMainTheme());
}

TEST_F(ProductTileTest, MissingOrUnsafePicturesShowThePlaceholderAndTheModuleHidesAdding)
{
    gfx::Image placeholder = PublicFunction::getLocalImageFiletype(std::string("no-such-file.png"), 1);
    ASSERT_FALSE(placeholder.isNull());
    window->addSubview(std::make_shared<ui::View>(gfx::Rect(0, 0, 10, 10)));
    for (std::optional<std::string> name : {std::optional<std::string>(catalogfixture::thumbnailName(fx::kBlanksList)),
                                            std::optional<std::string>("../p2_thumb.png"),
                                            std::optional<std::string>("sub/p2_thumb.png"), std::optional<std::string>()}) {
        auto tile = std::make_shared<DetailCell>(gfx::Rect(0, 0, 200, 212), "DetailCell");
        window->addSubview(tile);
        tile->setImagename(name);
        tile->loadImageAsyncWihtAnimation(false);
        ASSERT_TRUE(settle([&] { return tile->productImageView().alpha() == 1; })) << name.value_or("none");
        EXPECT_EQ(tile->productImageView().image().pixelWidth(), placeholder.pixelWidth()) << name.value_or("none");
        EXPECT_EQ(tile->productImageView().image().pixelAt(48, 48), placeholder.pixelAt(48, 48));
        tile->removeFromSuperview();
    }

    EXPECT_FALSE(DetailCell().addOrderBtn().isHidden());
    ConfigManager::sharedInstance()->setModelDescArray(std::vector<std::string>{"1", "1", "1", "1", "1", "0", "1"});
    store->loadByConfig();
    EXPECT_TRUE(DetailCell().addOrderBtn().isHidden());
}

TEST_F(ProductTileTest, AReusedTileNeverEndsWithTheEarlierProductsPicture)
{
    // The first read is held on the worker until the second has been shown; then the other
    // order: the first returns at once and the second is held.
    for (bool holdFirst : {true, false}) {
        SCOPED_TRACE(holdFirst ? "first read late" : "second read late");
        std::mutex lock;
        std::condition_variable changed;
        bool released = false;
        std::atomic<int> reads{0};
        std::string held = catalogfixture::thumbnailName(holdFirst ? fx::kTwoValues : fx::kSixAttributes);
        DetailCell::setImageReaderForTesting([&](const std::optional<std::string>& name) {
            if (name == held) {
                std::unique_lock guard(lock);
                changed.wait(guard, [&] { return released; });
            }
            gfx::Image image = PublicFunction::getLocalImageFiletype(name, 1);
            ++reads;
            return image;
        });
        auto host = showGrid({});
        auto tile = std::make_shared<DetailCell>(gfx::Rect(100, 100, 200, 212), "DetailCell");
        window->addSubview(tile);
        tile->setImagename(catalogfixture::thumbnailName(fx::kTwoValues));
        tile->loadImageAsyncWihtAnimation(false);
        tile->setImagename(catalogfixture::thumbnailName(fx::kSixAttributes));
        tile->loadImageAsyncWihtAnimation(false);
        // Not fatal while a read is held: it must be let go below, or it outlives the test.
        if (holdFirst) {
            EXPECT_TRUE(settle([&] { return tile->productImageView().alpha() == 1; }));
        }
        {
            std::lock_guard guard(lock);
            released = true;
        }
        changed.notify_all();
        ASSERT_TRUE(settle([&] { return reads == 2 && tile->productImageView().alpha() == 1; }));
        EXPECT_TRUE(near(pictureColour(*tile), catalogfixture::colorOfProduct(fx::kSixAttributes)));
        DetailCell::setImageReaderForTesting({});
        tile->removeFromSuperview();
        host->view->removeFromSuperview();
    }
}

TEST_F(ProductTileTest, ATileTappedBeforeItsPictureArrivesKeepsItsTapFeedback)
{
    std::mutex lock;
    std::condition_variable changed;
    bool released = false;
    std::atomic<bool> readDone{false};
    DetailCell::setImageReaderForTesting([&](const std::optional<std::string>& name) {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return released; });
        gfx::Image image = PublicFunction::getLocalImageFiletype(name, 1);
        readDone = true;
        return image;
    });
    auto host = showGrid({fx::kTwoValues});
    DetailCell& tile = *host->tile(0);
    // Not fatal while the read is held: it must be let go below, or it outlives the test.
    EXPECT_TRUE(driver->tap(&tile.bgImageView()));
    EXPECT_DOUBLE_EQ(tile.productImageView().alpha(), 0.4);
    {
        std::lock_guard guard(lock);
        released = true;
    }
    changed.notify_all();
    ASSERT_TRUE(settle([&] {
        return readDone && tile.imageLoadOperation() && tile.imageLoadOperation()->isFinished();
    }));
    EXPECT_FALSE(tile.productImageView().image().isNull()) << "the picture went in";
    EXPECT_DOUBLE_EQ(tile.productImageView().alpha(), 0.4) << "still dimmed once its picture is in";
    EXPECT_EQ(tile.productImageView().backgroundColor(), PublicFunction::colorOfMainTheme());
}

class CategoryRows : public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    int numberOfRowsInSection(ui::TableView&, int) override { return 3; }
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip) override
    {
        auto cell = std::make_shared<ProductBigCatalog>("row");
        cell->lbTitle().setText(ip.row == 1 ? "Chairs" : "Lamps");
        cell->lbTitle().setFont(gfx::Font::systemFont(16));
        cell->lbcount().setText(std::to_string(ip.row + 4));
        cell->setIsFirstLine(ip.row == 0);
        return cell;
    }
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return 62; }
};

TEST_F(ProductTileTest, CategoryRowsFirstLineAndSelectedBackground)
{
    CategoryRows rows;
    auto panel = std::make_shared<ui::TableView>(gfx::Rect(0, 0, 243, 300));
    panel->setBackgroundColor(gfx::Color::fromRgb(40, 44, 52));
    panel->setDataSource(&rows);
    panel->setDelegate(&rows);
    window->addSubview(panel);
    panel->layoutIfNeeded();
    auto* first = dynamic_cast<ProductBigCatalog*>(panel->cellForRowAtIndexPath({0, 0}));
    auto* second = dynamic_cast<ProductBigCatalog*>(panel->cellForRowAtIndexPath({0, 1}));
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->lbTitle().text(), "All");
    EXPECT_EQ(first->lbTitle().font(), gfx::Font::boldSystemFont(16));
    EXPECT_EQ(first->lbcount().font(), gfx::Font::boldSystemFont(16));
    EXPECT_EQ(second->lbTitle().font(), gfx::Font::systemFont(16));
    panel->selectRowAtIndexPath(ui::IndexPath::forRow(1, 0), false);
    auto* selected = dynamic_cast<ui::ImageView*>(second->selectedBackgroundView().get());
    ASSERT_NE(selected, nullptr);
    EXPECT_FALSE(selected->isHidden());
    EXPECT_EQ(selected->frame(), gfx::Rect(0, 0, 240, 58));
    EXPECT_FALSE(selected->image().isNull());
    EXPECT_TRUE(first->selectedBackgroundView()->isHidden());
    driver->screenshot(reviewPath("category_rows.png"));
    panel->setDataSource(nullptr);
    panel->setDelegate(nullptr);
}

TEST_F(ProductTileTest, ThumbnailsThatCannotBeDecodedShowTheDefaultPictureAsThePageDoes)
{
    // One thumbnail declares 23000 x 23000 pixels in 64 KB; one is not a picture at all.
    base::Bytes huge = hostilefix::jpegDeclaring(23000, 23000);
    ASSERT_FALSE(huge.empty());
    struct Case {
        int product;
        std::string bytes;
    } cases[] = {
        {fx::kTwoValues, std::string(huge.begin(), huge.end())},
        {fx::kActiveDiscount, std::string(4000, '#')},
    };
    for (const auto& c : cases) {
        auto path = PublicFunction::filePathWithNameFiletype(catalogfixture::thumbnailName(c.product), 1);
        ASSERT_TRUE(path);
        std::ofstream(*path, std::ios::binary | std::ios::trunc) << c.bytes;
    }
    const gfx::Image fallback = SkinManager::bundledImageNamed("fileDefault.png");
    ASSERT_FALSE(fallback.isNull());
    uint64_t residentBefore = base::Memory::residentBytes().value_or(0);

    auto host = showGrid({fx::kTwoValues, fx::kActiveDiscount, fx::kSixAttributes});
    ASSERT_TRUE(settle([&] {
        for (uint32_t i : {0u, 1u, 2u})
            if (host->tile(i)->productImageView().alpha() < 1)
                return false;
        return true;
    }));
    for (uint32_t i : {0u, 1u}) {
        SCOPED_TRACE(i);
        const gfx::Image& shown = host->tile(i)->productImageView().image();
        ASSERT_FALSE(shown.isNull()) << "the tile shows nothing";
        EXPECT_EQ(shown.size(), fallback.size());
        EXPECT_EQ(shown.pixelAt(int(shown.size().width / 2), int(shown.size().height / 2)),
                  fallback.pixelAt(int(fallback.size().width / 2), int(fallback.size().height / 2)));
        // The product page asks for the same picture the same way.
        gfx::Image page = PublicFunction::getLocalImageFiletype(catalogfixture::thumbnailName(cases[i].product), 1);
        EXPECT_EQ(page.size(), fallback.size());
    }
    EXPECT_TRUE(near(pictureColour(*host->tile(2)), catalogfixture::colorOfProduct(fx::kSixAttributes)));
    EXPECT_LT(base::Memory::residentBytes().value_or(0), residentBefore + (200u << 20));
}

} // namespace
