#pragma once
// The order tests' world: the template under a fresh home, account "bob" with vendor 12, the
// clock at 7 May 2013 14:30:00 local, English, and the customer switch on unless a test
// turns it off.
#include "DatabaseTestSupport.h"

#include "Common/LanguageManager.h"
#include "Database/ProductModel.h"
#include "Database/QuoteOrderModel.h"
#include "Database/SQLite/BRResultSet.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/UserDefaults.h"

#include <memory>
#include <string>
#include <vector>

namespace ordertest {

inline base::Date localTime(const std::string& text)
{
    return *base::DateFormatter("MM/dd/yyyy HH:mm:ss").dateFromString(text);
}

class OrderTest : public dbtest::DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        base::UserDefaults::resetStandard();
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        base::Date::setFixedNow(localTime("05/07/2013 14:30:00"));
        QuoteOrderModel::setCustomerOnShowHook([this] { return m_customerOnShow; });
        logIn("acme");
        auto login = LoginMode::sharedInstance();
        login->setAcountID("bob");
        login->setVendorId(12);
        m_manager = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_manager->hasModels());
        m_model = m_manager->quoteOrderModel();
        ASSERT_TRUE(m_model);
        m_db = BRDatabase::sharedDataBase();
        ASSERT_TRUE(m_manager->productmodel()->saveToDatabaseProduct(
            std::vector{product(7, "SKU-7", "Chair", 1), product(8, "SKU-8", "Desk", 0)}));
    }
    void TearDown() override
    {
        m_db.reset();
        m_model.reset();
        m_manager.reset();
        QuoteOrderModel::setCustomerOnShowHook({});
        base::Date::setFixedNow(std::nullopt);
        DatabaseTest::TearDown();
        base::UserDefaults::resetStandard();
    }

public:
    static brivanta_product_Entity product(int id, const std::string& sku, const std::string& name, int publish)
    {
        brivanta_product_Entity p;
        p.product_id = id;
        p.product_sku = sku;
        p.product_name = name;
        p.product_publish = publish;
        return p;
    }
    // A line of product 7 or 8, the way the order store makes one.
    static std::shared_ptr<QuoteOrderItemEntity> line(int productId, double price, double finalPrice,
                                                      int quantity, std::optional<std::string> attributes = {})
    {
        auto item = std::make_shared<QuoteOrderItemEntity>();
        item->setProduct(product(productId, "SKU-" + std::to_string(productId), "P", 1));
        item->setSku("SKU-" + std::to_string(productId));
        item->setName(productId == 7 ? "Chair" : "Desk");
        item->setPrice(price);
        item->setFinalPrice(finalPrice);
        item->setQuantity(quantity);
        item->setCurrency("USD");
        item->setAttributes(std::move(attributes));
        item->setCdate("05/07/2013 14:30:00");
        item->setMdate("05/07/2013 14:30:00");
        return item;
    }
    static std::shared_ptr<QuoteOrderEntity> order(const std::string& customer, int lines)
    {
        auto o = std::make_shared<QuoteOrderEntity>();
        o->setCustomerName(customer);
        o->setCustomerId(3);
        o->setCurrency("USD");
        for (int i = 0; i < lines; ++i)
            o->items().push_back(line(i % 2 ? 8 : 7, 10, 9, i + 1));
        return o;
    }

protected:
    int count(const std::string& sql) { return m_db->intForQuery(sql); }
    // The stored line ids of an order, ascending.
    std::vector<int> lineIds(int orderId)
    {
        std::vector<int> ids;
        auto rs = m_db->executeQuery(
            "select order_item_id from brivanta_quote_order_item where order_id = ? order by order_item_id", orderId);
        while (rs && rs->next())
            ids.push_back(rs->intForColumnIndex(0));
        return ids;
    }
    // One stored order row as text, every column, to compare before and after.
    std::string orderRow(int orderId)
    {
        std::string row;
        auto rs = m_db->executeQuery("select * from brivanta_quote_order where order_id = ?", orderId);
        if (rs && rs->next()) {
            for (int i = 0; i < rs->columnCount(); ++i)
                row += rs->stringForColumnIndex(i).value_or("NULL") + "|";
            rs->close();
        }
        return row;
    }
    std::string linesText(int orderId)
    {
        std::string text;
        auto rs = m_db->executeQuery(
            "select * from brivanta_quote_order_item where order_id = ? order by order_item_id", orderId);
        while (rs && rs->next())
            for (int i = 0; i < rs->columnCount(); ++i)
                text += rs->stringForColumnIndex(i).value_or("NULL") + "|";
        return text;
    }

    bool m_customerOnShow = true;
    std::shared_ptr<DataAccessManager> m_manager;
    std::shared_ptr<QuoteOrderModel> m_model;
    std::shared_ptr<BRDatabase> m_db;
};

} // namespace ordertest
