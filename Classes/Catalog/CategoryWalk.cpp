#include "Classes/Catalog/CategoryWalk.h"

#include "Database/DataAccessManager.h"

#include <unordered_set>

namespace {

struct Walk {
    DataAccessManager& data;
    std::unordered_set<int> visited;
    std::unordered_set<int> seenProducts;
    std::vector<brivanta_product_Entity> products;

    void visit(int categoryId)
    {
        if (!visited.insert(categoryId).second)
            return;
        auto subs = categoryId == -1 ? std::vector<brivanta_category_Entity>{}
                                     : data.getCategoryWithParentCategoryid(categoryId);
        if (!subs.empty()) {
            // Products filed directly under a category with sub-categories are not its own.
            for (const auto& sub : subs)
                visit(sub.category_id);
            return;
        }
        for (auto& product : data.getProductsByCategory_id(categoryId))
            if (seenProducts.insert(product.product_id).second)
                products.push_back(std::move(product));
    }
};

} // namespace

namespace CategoryWalk {

std::vector<brivanta_product_Entity> productsUnderCategory(int categoryId)
{
    auto data = DataAccessManager::sharedDataModel();
    if (!data)
        return {};
    Walk walk{*data, {}, {}, {}};
    walk.visit(categoryId);
    return std::move(walk.products);
}

int countProductsUnderCategory(int categoryId)
{
    return static_cast<int>(productsUnderCategory(categoryId).size());
}

} // namespace CategoryWalk
