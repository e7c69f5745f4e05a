#pragma once
// Two test hosts of the add flow as the lists use it: a product grid of tiles (base 2000, the
// list's own records) and a popup's scroll view of tiles (base 3000, records read afresh).
#include "CatalogTestSupport.h"

#include "Classes/Catalog/AddToOrderFlow.h"
#include "Classes/Catalog/DetailCell.h"
#include "Common/BadgeButton.h"
#include "Platform/UI/ScrollView.h"
#include "Widgets/BRGridView.h"

namespace catalogtest {

class TileHostBase : public DetailCellDelegate, public AddToOrderFlowHost {
public:
    void didSelectedImage(DetailCell& cell) override { selected.push_back(cell.productId()); }
    void addToOrder(DetailCell& cell) override { flow->addToOrder(cell.tag()); }
    ui::View* addFlowView() override { return view.get(); }
    void addFlowRefresh() override { ++refreshes; }

    void configure(DetailCell& cell, const brivanta_product_Entity& product)
    {
        cell.catalogNameLabel().setText(product.product_name.value_or(""));
        cell.skuContentLabel().setText(product.product_sku.value_or(""));
        cell.setProductId(product.product_id);
        auto image = DataAccessManager::sharedDataModel()->getImageByKeyId(product.product_id);
        cell.setImagename(image ? image->image_thumb_address : std::nullopt);
        cell.setBadgeValueAnimated(product.itemNumberInOrder ? std::optional<std::string>(std::to_string(product.itemNumberInOrder))
                                                             : std::nullopt,
                                   false);
        cell.loadImageAsyncWihtAnimation(false);
    }

    std::shared_ptr<ui::View> view = std::make_shared<ui::View>(gfx::Rect(0, 0, 1024, 702));
    std::shared_ptr<AddToOrderFlow> flow;
    std::vector<int> selected;
    int refreshes = 0;
};

// The grid's variant: tiles of 200 x 212 in a grid at (20, 40); the list keeps its records.
class GridHost : public TileHostBase, public BRGridViewDataSource, public std::enable_shared_from_this<GridHost> {
public:
    explicit GridHost(std::vector<int> ids)
    {
        auto store = QuoteOrderStore::sharedQuoteOrderStore();
        for (int id : ids) {
            auto p = DataAccessManager::sharedDataModel()->getProductByProductId(id);
            products.push_back(p.value_or(brivanta_product_Entity{}));
            store->getItemNumberInOrder(products.back());
        }
        grid = std::make_shared<BRGridView>(gfx::Rect(20, 40, 860, 600));
        grid->setDataSource(this);
        view->addSubview(grid);
    }
    ~GridHost() override { grid->setDataSource(nullptr); }
    void start()
    {
        flow = std::make_shared<AddToOrderFlow>(*this, AddToOrderFlow::gridOptions());
        grid->reloadData();
    }

    uint32_t numberOfItemsInGridView(BRGridView&) override { return static_cast<uint32_t>(products.size()); }
    std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView& g, uint32_t index) override
    {
        auto cell = std::dynamic_pointer_cast<DetailCell>(g.dequeueReusableCellWithIdentifier("DetailCell"));
        if (!cell)
            cell = std::make_shared<DetailCell>(gfx::Rect(0, 0, 200, 212), "DetailCell");
        cell->setTag(AddToOrderFlow::kGridBase + static_cast<int>(index));
        cell->setDetailDelegate(std::weak_ptr<DetailCellDelegate>(std::static_pointer_cast<TileHostBase>(shared_from_this())));
        configure(*cell, products[index]);
        return cell;
    }
    std::optional<gfx::Size> portraitGridCellSizeForGridView(BRGridView&) override { return gfx::Size{200, 212}; }

    brivanta_product_Entity* addFlowProductAtIndex(uint32_t index) override
    {
        return index < products.size() ? &products[index] : nullptr;
    }
    BadgeButton* addFlowBadgeAtIndex(uint32_t index) override
    {
        DetailCell* tile = AddToOrderFlow::gridTileAtIndex(*grid, index);
        return tile ? &tile->addOrderBtn() : nullptr;
    }
    gfx::Rect addFlowAnchorAtIndex(uint32_t index) override { return AddToOrderFlow::gridAnchorAtIndex(*grid, index, view.get()); }
    void addFlowRefresh() override
    {
        TileHostBase::addFlowRefresh();
        for (auto& p : products)
            QuoteOrderStore::sharedQuoteOrderStore()->getItemNumberInOrder(p);
        grid->reloadData();
    }
    DetailCell* tile(uint32_t index) { return AddToOrderFlow::gridTileAtIndex(*grid, index); }

    std::vector<brivanta_product_Entity> products;
    std::shared_ptr<BRGridView> grid;
};

// The favourites popup's variant: tiles of 220 x 215 in a scroll view, tags 3000 + i, each
// product read afresh.
class ScrollHost : public TileHostBase, public std::enable_shared_from_this<ScrollHost> {
public:
    explicit ScrollHost(std::vector<int> ids) : ids(std::move(ids))
    {
        scroll = std::make_shared<ui::ScrollView>(gfx::Rect(15, 55, 1009, 640));
        view->addSubview(scroll);
    }
    void start()
    {
        flow = std::make_shared<AddToOrderFlow>(*this, AddToOrderFlow::favoritesOptions());
        build();
    }
    void build()
    {
        for (auto& sub : std::vector(scroll->subviews()))
            if (dynamic_cast<DetailCell*>(sub.get()))
                sub->removeFromSuperview();
        auto store = QuoteOrderStore::sharedQuoteOrderStore();
        for (size_t i = 0; i < ids.size(); ++i) {
            auto cell = std::make_shared<DetailCell>();
            cell->setFrame({5 + 201.8 * static_cast<double>(i % 5), 215 * static_cast<double>(i / 5), 220, 215});
            cell->setTag(AddToOrderFlow::kFavoritesBase + static_cast<int>(i));
            cell->setDetailDelegate(std::weak_ptr<DetailCellDelegate>(std::static_pointer_cast<TileHostBase>(shared_from_this())));
            auto p = DataAccessManager::sharedDataModel()->getProductByProductId(ids[i]).value_or(brivanta_product_Entity{});
            store->getItemNumberInOrder(p);
            configure(*cell, p);
            scroll->addSubview(cell);
        }
    }
    brivanta_product_Entity* addFlowProductAtIndex(uint32_t index) override
    {
        if (index >= ids.size())
            return nullptr;
        auto p = DataAccessManager::sharedDataModel()->getProductByProductId(ids[index]);
        if (!p)
            return nullptr;
        fresh = *p;
        return &fresh;
    }
    BadgeButton* addFlowBadgeAtIndex(uint32_t index) override
    {
        auto* tile = dynamic_cast<DetailCell*>(
            AddToOrderFlow::tileWithTagInScrollView(*scroll, AddToOrderFlow::kFavoritesBase + static_cast<int>(index)));
        return tile ? &tile->addOrderBtn() : nullptr;
    }
    gfx::Rect addFlowAnchorAtIndex(uint32_t index) override
    {
        auto* tile = AddToOrderFlow::tileWithTagInScrollView(*scroll, AddToOrderFlow::kFavoritesBase + static_cast<int>(index));
        if (!tile)
            return {};
        gfx::Rect f = tile->frame();
        return {f.x(), f.y() - scroll->contentOffset().y, f.width(), f.height()};
    }
    void addFlowRefresh() override
    {
        TileHostBase::addFlowRefresh();
        build();
    }
    DetailCell* tile(uint32_t index)
    {
        return dynamic_cast<DetailCell*>(
            AddToOrderFlow::tileWithTagInScrollView(*scroll, AddToOrderFlow::kFavoritesBase + static_cast<int>(index)));
    }

    std::vector<int> ids;
    brivanta_product_Entity fresh;
    std::shared_ptr<ui::ScrollView> scroll;
};

} // namespace catalogtest
