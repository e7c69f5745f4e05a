#include "Classes/Catalog/ProductPageRoad.h"

#include "Platform/Base/Log.h"

namespace {
// Main thread only, like the screens.
ProductPageRoad::Maker g_maker;
}

void ProductPageRoad::setMaker(Maker maker)
{
    g_maker = std::move(maker);
}

std::shared_ptr<ui::ViewController> ProductPageRoad::makePage(const ProductPageRequest& request)
{
    if (!g_maker) {
        base::logf("No product page to open for product %d", request.product.product_id);
        return nullptr;
    }
    return g_maker(request);
}
