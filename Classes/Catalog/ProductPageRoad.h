#pragma once
#include "Database/brivanta_product_Entity.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class Label;
class ViewController;
}

// What the catalogue hands a product page it opens: the product, the list it was opened from,
// its place in that list, the shared title label, and in tag mode the tag being shown.
struct ProductPageRequest {
    brivanta_product_Entity product;
    std::vector<brivanta_product_Entity> products;
    int index = 0;
    int count = 0;
    std::shared_ptr<ui::Label> lblTitle;
    std::optional<std::string> currentTag;
    std::vector<std::string> tags;
};

// The product page is built by its own screen; the catalogue asks for one through this road,
// which that screen installs. Without one installed no page opens.
namespace ProductPageRoad {
using Maker = std::function<std::shared_ptr<ui::ViewController>(const ProductPageRequest&)>;
void setMaker(Maker maker);
// Null when no maker is installed or it gives no page.
std::shared_ptr<ui::ViewController> makePage(const ProductPageRequest& request);
}

// What the catalogue asks of an open product page when the compare or favourites popup has
// removed entries: its add-to buttons show unselected again.
class CatalogProductPage {
public:
    virtual ~CatalogProductPage() = default;
    virtual void deselectCompareButton() {}
    virtual void deselectFavoriteButton() {}
};
