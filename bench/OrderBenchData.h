#pragma once
// Generated orders for the order benchmarks (fixed seeds): products, and orders of a few lines
// saved through the order model in one transaction.
#include "Database/DataAccessManager.h"
#include "Database/ProductModel.h"
#include "Database/QuoteOrderModel.h"
#include "Database/SQLite/BRDatabase.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>

namespace benchsupport {

inline std::string orderDate(std::mt19937& random)
{
    char text[32];
    const auto pick = [&random](int count) { return static_cast<int>(random() % count); };
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", 1 + pick(12), 1 + pick(28),
                  2010 + pick(4), pick(24), pick(60), pick(60));
    return text;
}

inline std::shared_ptr<QuoteOrderEntity> makeOrder(std::mt19937& random, int lines, int products)
{
    static const char* const names[] = {"Acme Ltd", "Beta Stores", "Cotton & Co", "Delta Trading", "O'Neil Ltd"};
    auto order = std::make_shared<QuoteOrderEntity>();
    order->setCustomerName(std::string(names[random() % 5]) + " " + std::to_string(random() % 100));
    order->setCustomerId(static_cast<int>(random() % 300));
    order->setCurrency("USD");
    order->setCdate(orderDate(random));
    order->setNumber("bob_" + std::to_string(100000000000 + random() % 899999999999));
    order->setDiscountRat(random() % 30);
    for (int i = 0; i < lines; ++i) {
        auto line = std::make_shared<QuoteOrderItemEntity>();
        brivanta_product_Entity product;
        product.product_id = 1 + static_cast<int>(random() % products);
        line->setProduct(product);
        line->setSku("SKU-" + std::to_string(product.product_id));
        line->setName("Product " + std::to_string(product.product_id));
        line->setQuantity(1 + static_cast<int>(random() % 9));
        line->setPrice(10 + random() % 500);
        line->setFinalPrice(line->price() * 0.9);
        line->setCurrency("USD");
        line->setAttributes("Color:Red,Size:" + std::to_string(random() % 5));
        line->setCdate(order->cdate());
        line->setMdate(order->cdate());
        order->items().push_back(line);
    }
    return order;
}

inline void saveProducts(DataAccessManager& manager, int count)
{
    std::vector<brivanta_product_Entity> products;
    for (int i = 1; i <= count; ++i) {
        brivanta_product_Entity p;
        p.product_id = i;
        p.product_sku = "SKU-" + std::to_string(i);
        p.product_name = "Product " + std::to_string(i);
        p.product_publish = 1;
        products.push_back(p);
    }
    if (!manager.productmodel()->saveToDatabaseProduct(products))
        std::abort();
}

// Orders saved through the model inside one transaction (setting up, not measured), each
// signed with `signatureBytes` of base64 text when that is not 0.
inline void saveOrders(DataAccessManager& manager, int count, int lines, int products, int signatureBytes)
{
    std::mt19937 random(42);
    std::string signature;
    for (int i = 0; i < signatureBytes; ++i)
        signature += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[random() % 64];
    auto db = BRDatabase::sharedDataBase();
    db->beginTransaction();
    for (int i = 0; i < count; ++i) {
        auto order = makeOrder(random, lines, products);
        if (!signature.empty())
            order->setSignature(signature);
        if (manager.quoteOrderModel()->saveQuoteOrder(order) == 0)
            std::abort();
    }
    if (!db->commit())
        std::abort();
}

// The order tables' raw peer: one join over both tables in the lists' order, every column
// read, as a hand-written reader would; `pattern` binds ?1 when given. The rows read.
inline size_t readJoinRaw(sqlite3* db, const std::string& where, const char* pattern)
{
    static constexpr const char* kDateKey =
        "(substr(o.cdate,7,4)||substr(o.cdate,1,2)||substr(o.cdate,4,2)||substr(o.cdate,12))";
    std::string sql = "select o.*, i.* from brivanta_quote_order o left join brivanta_quote_order_item i on "
                      "i.order_id = o.order_id " + where + " order by " + kDateKey + " desc, abs(o.order_id) desc";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        std::abort();
    if (pattern)
        sqlite3_bind_text(statement, 1, pattern, -1, SQLITE_STATIC);
    size_t rows = 0;
    int columns = sqlite3_column_count(statement);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int c = 0; c < columns; ++c) {
            if (sqlite3_column_type(statement, c) == SQLITE_TEXT)
                benchmark::DoNotOptimize(std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, c)),
                                                     static_cast<size_t>(sqlite3_column_bytes(statement, c))));
            else
                benchmark::DoNotOptimize(sqlite3_column_double(statement, c));
        }
        ++rows;
    }
    sqlite3_finalize(statement);
    return rows;
}

// The search's condition for readJoinRaw, as the order list matches a text.
constexpr const char* kOrderSearchWhere =
    "where lower(o.customer_name) like ?1 escape '\\' or lower(o.order_number) like ?1 escape '\\'";

} // namespace benchsupport
