// The searches that compare text in the database (orders by customer name, products, library
// titles) against names with capitals outside ASCII: both sides are folded by one rule.
#include "FoldedSearchCases.h"
#include "OrderTestSupport.h"

#include "Database/LibraryFilesModel.h"

namespace {

using ordertest::OrderTest;

class FoldedSearchTest : public OrderTest {};

TEST_F(FoldedSearchTest, OrdersProductsAndTitlesFindNamesWhateverTheirCase)
{
    std::vector<brivanta_product_Entity> products;
    std::vector<brivanta_library_files_Entity> files;
    int id = 100;
    for (const auto& name : searchtest::storedNames()) {
        ASSERT_NE(m_model->saveQuoteOrder(order(name, 0)), 0);
        ++id;
        products.push_back(product(id, "SKU-" + std::to_string(id), name, 1));
        brivanta_library_files_Entity file;
        file.file_id = id;
        file.title = name;
        file.file_name = "file" + std::to_string(id) + ".pdf";
        file.published = 1;
        files.push_back(file);
    }
    ASSERT_TRUE(m_manager->productmodel()->saveToDatabaseProduct(products));
    ASSERT_TRUE(m_manager->libraryFilesModel()->saveToDatabaseLibraryFiles(files));

    for (const auto& c : searchtest::foldedSearchCases()) {
        SCOPED_TRACE(c.typed);
        std::set<std::string> orders, found, titles;
        for (const auto& o : m_model->fetchQuoteOrdersCondition(0, c.typed))
            orders.insert(o->customerName().value_or("?"));
        for (const auto& p : m_manager->productmodel()->getProductsBySearchString(c.typed))
            found.insert(p.product_name.value_or("?"));
        for (const auto& f : m_manager->libraryFilesModel()->getLibFilesBysearchNameOrderBy(c.typed, std::nullopt))
            titles.insert(f.title.value_or("?"));
        EXPECT_EQ(orders, c.found) << "orders";
        EXPECT_EQ(found, c.found) << "products";
        EXPECT_EQ(titles, c.found) << "library titles";
    }
}

} // namespace
