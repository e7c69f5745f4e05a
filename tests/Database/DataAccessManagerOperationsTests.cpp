#include "OrderTestSupport.h"

#include "Network/BRJsonParser.h"

#include <concepts>
#include <functional>
#include <set>
#include <type_traits>

namespace {

using ordertest::OrderTest;

// Arguments that make every operation run real SQL: ids of rows that exist or may, texts
// that name things, lists of one row.
template <typename T>
struct Plausible {
    static T make() { return T{}; }
};
template <>
struct Plausible<int> {
    static int make() { return 7; }
};
template <>
struct Plausible<bool> {
    static bool make() { return true; }
};
template <>
struct Plausible<std::string> {
    static std::string make() { return "SKU-7"; }
};
template <typename T>
struct Plausible<std::optional<T>> {
    static std::optional<T> make() { return Plausible<T>::make(); }
};
template <typename T>
struct Plausible<std::vector<T>> {
    static std::vector<T> make() { return {Plausible<T>::make()}; }
};
template <>
struct Plausible<LoginInfo> {
    static LoginInfo make()
    {
        LoginInfo info;
        info.accountId = "bob";
        info.passWord = "secret";
        info.clientId = "acme";
        info.deviceId = "device";
        return info;
    }
};
template <>
struct Plausible<brivanta_tag_entity> {
    static brivanta_tag_entity make()
    {
        brivanta_tag_entity tag;
        tag.tag_id = 7;
        tag.tag_name = "new";
        return tag;
    }
};
template <>
struct Plausible<brivanta_library_files_update_Entity> {
    static brivanta_library_files_update_Entity make()
    {
        brivanta_library_files_update_Entity update;
        update.fileID = 7;
        update.oldFileName = "guide.pdf";
        update.oldFileType = "PDF";
        return update;
    }
};
template <>
struct Plausible<ConfigEntity> {
    static ConfigEntity make()
    {
        ConfigEntity config;
        config.clientid = "acme";
        config.configType = "date_format";
        config.desc = "MM/dd/yy";
        return config;
    }
};
template <>
struct Plausible<QuoteOrderModel::Order> {
    static QuoteOrderModel::Order make() { return OrderTest::order("Acme", 2); }
};
template <>
struct Plausible<QuoteOrderModel::Line> {
    static QuoteOrderModel::Line make() { return OrderTest::line(7, 10, 9, 1); }
};
template <>
struct Plausible<base::Value> {
    static base::Value make()
    {
        return base::Dictionary{{"order_id", 3001}, {"order_number", "bob_130101090000"}, {"discountRate", 90}};
    }
};

template <typename Result>
bool isZero(const Result& value)
{
    if constexpr (std::is_arithmetic_v<Result>)
        return value == Result();
    else if constexpr (requires { value.has_value(); })
        return !value.has_value();
    else if constexpr (requires { value.empty(); })
        return value.empty();
    else if constexpr (std::is_same_v<Result, base::Value>)
        return value.isNull();
    else
        return true; // a record: default-made by construction
}

struct Call {
    std::string name;
    // Calls the operation with plausible arguments; answers whether the result is zero.
    std::function<bool(DataAccessManager&)> run;
};

template <typename Result, typename... Params>
Call makeCall(const char* name, Result (DataAccessManager::*operation)(Params...))
{
    return {name, [operation](DataAccessManager& manager) {
                if constexpr (std::is_void_v<Result>) {
                    (manager.*operation)(Plausible<std::remove_cvref_t<Params>>::make()...);
                    return true;
                } else {
                    return isZero((manager.*operation)(Plausible<std::remove_cvref_t<Params>>::make()...));
                }
            }};
}

std::vector<Call> everyOperation()
{
    std::vector<Call> calls;
#define BRIVANTA_CALL(getter, Result, name, target, params, args) \
    calls.push_back(makeCall(#name, &DataAccessManager::name));
    BRIVANTA_DATA_ACCESS_OPERATIONS(BRIVANTA_CALL)
#undef BRIVANTA_CALL
    // The operations with work of their own.
    calls.push_back(makeCall("updateOrderIDWithOrderNumberNewOrderID",
                             &DataAccessManager::updateOrderIDWithOrderNumberNewOrderID));
    calls.push_back(makeCall("fetchUnsubmittedQuoteOrdersDic", &DataAccessManager::fetchUnsubmittedQuoteOrdersDic));
    calls.push_back(makeCall("fetchQuoteOrdersDicString", &DataAccessManager::fetchQuoteOrdersDicString));
    calls.push_back(makeCall("setQuoteOrdersToUploaded", &DataAccessManager::setQuoteOrdersToUploaded));
    return calls;
}

class DataAccessManagerOperationsTest : public OrderTest {};

TEST_F(DataAccessManagerOperationsTest, ModelsStandInCreationOrder)
{
    const auto& list = m_manager->dataModelList();
    std::vector<std::shared_ptr<BaseDataModel>> expected = {
        m_manager->productmodel(),        m_manager->imagemodel(),          m_manager->categorymodel(),
        m_manager->pacmodel(),            m_manager->iconmodel(),           m_manager->favoritemodel(),
        m_manager->comparemodel(),        m_manager->pricemodel(),          m_manager->productrelatedmodel(),
        m_manager->productMaterialModel(), m_manager->libraryCategoryModel(), m_manager->libraryFilesModel(),
        m_manager->customerModel(),       m_manager->configMode(),          m_manager->quoteOrderModel(),
        m_manager->loginUserModel(),      m_manager->libraryFavoriteModel()};
    ASSERT_EQ(list.size(), 17u);
    EXPECT_EQ(list, expected);
    EXPECT_EQ(std::set(list.begin(), list.end()).size(), 17u);
}

TEST_F(DataAccessManagerOperationsTest, EveryOperationRunsItsSQLCleanly)
{
    auto calls = everyOperation();
    std::set<std::string> names;
    for (const auto& call : calls)
        names.insert(call.name);
    ASSERT_EQ(calls.size(), 137u);
    ASSERT_EQ(names.size(), 137u);
    size_t seen = m_log.lines().size();
    for (const auto& call : calls) {
        call.run(*m_manager);
        auto lines = m_log.lines();
        for (size_t i = seen; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].find("DB Error"), std::string::npos) << call.name << ": " << lines[i];
            EXPECT_EQ(lines[i].find("sqlite3_step"), std::string::npos) << call.name << ": " << lines[i];
        }
        seen = lines.size();
    }
}

// A client whose database cannot open gets a manager without models: nothing it is asked
// answers as if it had worked, nothing is written anywhere, and the next request for the
// manager once the client is usable opens the database.
TEST_F(DataAccessManagerOperationsTest, AManagerThatCouldNotOpenFakesNothingAndIsMadeAgain)
{
    ASSERT_EQ(m_manager->saveQuoteOrder(order("Acme", 1)), -1);
    ASSERT_TRUE(m_manager->fetchQuoteOrdersDicString(0));
    m_db.reset();
    m_model.reset();
    m_manager.reset();
    DataAccessManager::releaseDataModel();
    logIn("../elsewhere");
    auto broken = DataAccessManager::sharedDataModel();
    ASSERT_FALSE(broken->hasModels());
    EXPECT_TRUE(m_log.contains("Open database error!"));
    EXPECT_FALSE(BRDatabase::sharedDataBase());
    EXPECT_EQ(broken->saveQuoteOrder(order("Lost", 1)), 0);
    EXPECT_FALSE(broken->saveToDatabaseCustomer(std::vector<brivanta_customer_Entity>(1)));
    EXPECT_FALSE(broken->fetchQuoteOrdersDicString(0)) << "no document, not an empty one";
    EXPECT_TRUE(broken->fetchUnsubmittedQuoteOrdersDic(0).isNull());
    broken->setQuoteOrdersToUploaded(0);
    EXPECT_FALSE(broken->updateOrderIDWithOrderNumberNewOrderID("bob_130507143000", 1001));
    EXPECT_FALSE(std::filesystem::exists(m_home.path() / "elsewhere"));

    logIn("acme");
    auto again = DataAccessManager::sharedDataModel();
    EXPECT_NE(again, broken);
    ASSERT_TRUE(again->hasModels());
    auto stored = again->fetchQuoteOrdersCondition(0, std::nullopt);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_FALSE(stored.front()->isUploaded()) << "the failed manager marked nothing";
}

TEST_F(DataAccessManagerOperationsTest, NamedOtherwiseReachTheirOwnModel)
{
    // Library favourites live apart from product favourites.
    ASSERT_TRUE(m_manager->saveToDatabaseFavoriteSkuName(7, "SKU-7", "Chair"));
    ASSERT_TRUE(m_manager->saveToDatabaseLibraryFavoriteName(7, "guide.pdf"));
    EXPECT_EQ(m_manager->getLibraryFavoriteByFavoriteId(7)->file_name, "guide.pdf");
    EXPECT_EQ(m_manager->getFavoriteByFavoriteId(7)->product_name, "Chair");
    m_manager->deleteLibraryFavoriteByFavoriteId(7);
    EXPECT_FALSE(m_manager->getLibraryFavoriteByFavoriteId(7));
    EXPECT_TRUE(m_manager->getFavoriteByFavoriteId(7));
    ASSERT_TRUE(m_manager->saveToDatabaseLibraryFavoriteName(8, "price list.xls"));
    EXPECT_FALSE(m_manager->getFavoriteByFavoriteId(8));

    brivanta_icon_Entity icon;
    icon._id = 3;
    icon.title = "top bar";
    icon.name = "topbar@2x.png";
    icon.publish = 1;
    ASSERT_TRUE(m_manager->saveToDatabaseIcon(std::vector{icon}));
    EXPECT_EQ(m_manager->getFullImagePathByTitle("top bar"), "topbar@2x.png");

    // Arguments keep their order.
    ASSERT_TRUE(m_manager->saveToDatabaseCompareSkuName(9, "SKU-9", "Lamp"));
    auto compare = m_manager->getCompareByCompareId(9);
    ASSERT_TRUE(compare);
    EXPECT_EQ(compare->product_sku, "SKU-9");
    EXPECT_EQ(compare->product_name, "Lamp");
}

TEST_F(DataAccessManagerOperationsTest, OrderNumbersMapToServerIds)
{
    auto stored = order("Acme", 2);
    ASSERT_EQ(m_manager->saveQuoteOrder(stored), -1);
    base::Date::advanceFixedNow(1);
    ASSERT_EQ(m_manager->saveQuoteOrder(order("Beta", 1)), -2);
    EXPECT_EQ(m_manager->numberOfAllSubmittedOrder(), 0);

    // The reply the order store reads after an upload.
    auto reply = BRJsonParser().objectWithString(R"([{"id":"bob_130507143000","generateId":1001}])");
    ASSERT_TRUE(reply);
    for (const auto& mapping : reply->asArray())
        EXPECT_TRUE(m_manager->updateOrderIDWithOrderNumberNewOrderID(mapping["id"].toString(),
                                                                      static_cast<int>(mapping["generateId"].toInt())));
    EXPECT_EQ(lineIds(1001), (std::vector<int>{-2, -1}));
    EXPECT_EQ(count("select count(*) from brivanta_quote_order where order_id = 1001 and "
                    "order_number = 'bob_130507143000'"),
              1);

    std::string before = orderRow(-2) + linesText(-2);
    EXPECT_FALSE(m_manager->updateOrderIDWithOrderNumberNewOrderID("bob_999999999999", 1002));
    EXPECT_FALSE(m_manager->updateOrderIDWithOrderNumberNewOrderID("bob_130507143001", 1001));
    EXPECT_FALSE(m_manager->updateOrderIDWithCmsOrderID(0, 1003));
    EXPECT_EQ(orderRow(-2) + linesText(-2), before);
    EXPECT_EQ(count("select count(*) from brivanta_quote_order"), 2);

    // A refused line update takes the order's update back with it.
    ASSERT_TRUE(m_db->executeUpdate("CREATE TRIGGER refuse BEFORE UPDATE ON brivanta_quote_order_item "
                                    "BEGIN SELECT RAISE(ABORT, 'no'); END"));
    EXPECT_FALSE(m_manager->updateOrderIDWithCmsOrderID(-2, 1002));
    EXPECT_EQ(orderRow(-2) + linesText(-2), before);
}

} // namespace
