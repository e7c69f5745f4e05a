#pragma once
// The catalogue models' fixture: client "AcMe" logged in, the clock fixed at kNow, statement
// failures logged (so an unexpected one fails the test), and small record makers.
#include "DatabaseTestSupport.h"

#include "Database/SQLite/BRDatabase.h"
#include "Database/brivanta_product_Entity.h"
#include "Platform/Base/Date.h"
#include "tests/Support/DatabaseRows.h"

#include <string>
#include <vector>

namespace cattest {

constexpr double kNow = 1'400'000'000;

class CatalogTest : public dbtest::DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        base::Date::setFixedNow(base::Date(kNow));
        logIn("AcMe");
        m_manager = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_manager->hasModels());
        db()->setLogsErrors(true);
    }
    void TearDown() override
    {
        m_manager.reset();
        base::Date::setFixedNow(std::nullopt);
        DatabaseTest::TearDown();
    }

    static std::shared_ptr<BRDatabase> db() { return BRDatabase::sharedDataBase(); }
    // A trigger that refuses inserting the rows the condition (on "new") picks.
    static void refuseInsert(const std::string& table, const std::string& condition)
    {
        ASSERT_TRUE(db()->executeUpdate("create temp trigger refuse_" + table + " before insert on " + table
                                        + " when " + condition + " begin select raise(abort, 'refused'); end"));
    }
    static int count(const std::string& table)
    {
        return db()->intForQuery("select count(*) from " + table);
    }
    // Every row of the table as one text, in a stable order.
    static std::string dump(const std::string& table)
    {
        return testsupport::rowsText(*db(), "select * from " + table + " order by 1, 2");
    }

    static brivanta_product_Entity product(int id, std::string name, std::optional<std::string> sku = {},
                                           std::optional<std::string> tags = {}, int publish = 1)
    {
        brivanta_product_Entity p;
        p.product_id = id;
        p.product_name = std::move(name);
        p.product_sku = sku ? std::move(sku) : std::optional<std::string>("SKU-" + std::to_string(id));
        p.product_tags = std::move(tags);
        p.product_publish = publish;
        return p;
    }

    std::shared_ptr<DataAccessManager> m_manager;
};

template <typename T, typename F>
auto pluck(const std::vector<T>& list, F field)
{
    std::vector<std::decay_t<decltype(field(list.front()))>> values;
    for (const auto& item : list)
        values.push_back(field(item));
    return values;
}

inline std::vector<int> ids(const std::vector<brivanta_product_Entity>& list)
{
    return pluck(list, [](const auto& p) { return p.product_id; });
}

} // namespace cattest
