// How the commands read the server's answers into their results: the envelope first, then
// "content" only as each command allows, with the conversions of the field tables.
#include "Network/BRJSON.h"
#include "tests/Protocol/ProtocolTestSupport.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/SpoolFile.h"
#include "Protocol/CheckAppVersionRst.h"
#include "Protocol/ConfigRst.h"
#include "Protocol/GetOrderHistoryRst.h"
#include "Protocol/GetUserinfoRst.h"
#include "Protocol/LoginMode.h"
#include "Protocol/LoginRst.h"
#include "Protocol/RequestCheckVersion.h"
#include "Protocol/RequestConfig.h"
#include "Protocol/RequestDownloadFinish.h"
#include "Protocol/RequestGetOrderHistory.h"
#include "Protocol/RequestGetUserinfo.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/RequestRuntimeConfig.h"
#include "Protocol/RequestSyncAllTable.h"
#include "Protocol/RequestSyncCustomerTable.h"
#include "Protocol/RequestSyncDataFinish.h"
#include "Protocol/RequestSyncFileTable.h"
#include "Protocol/RequestUploadCustomer.h"
#include "Protocol/RequestUploadQuoteOrder.h"
#include "Protocol/SubmitCustomerRst.h"
#include "Protocol/SyncAllTableRst.h"
#include "Protocol/SyncCustomerTableRst.h"
#include "Protocol/SyncDataFinishRst.h"
#include "Protocol/SyncFileTableRst.h"
#include "Protocol/UploadQuoteOrderRst.h"
#include "tests/App/AppTestSupport.h"
#include "tests/Support/OpenFiles.h"

#include <utility>
#include <vector>

namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

class ServerResultDecodingTest : public apptest::AppServiceTest {
protected:
    ServerResultDecodingTest()
    {
        LoginMode::freeInstance();
        LoginMode::sharedInstance()->setClientID("AcmeCo");
    }
    ~ServerResultDecodingTest() override { LoginMode::freeInstance(); }

    // The answer envelope around a content given as JSON text.
    static std::optional<base::Value> answer(const std::string& content, const std::string& status = "200")
    {
        auto value = JSONValue(R"({"content":)" + content + R"(,"results":[{"status":")" + status + R"("}]})");
        EXPECT_TRUE(value) << content;
        return value;
    }

    template<class Result>
    static std::shared_ptr<Result> decode(RequestInterfaceBase& command, const std::optional<base::Value>& answer)
    {
        auto result = std::dynamic_pointer_cast<Result>(command.RequestDecode(answer));
        EXPECT_TRUE(result);
        return result ? result : std::make_shared<Result>();
    }
};

// Every number in the value as its decimal text, the way some servers send them.
using protocoltest::numbersAsTexts;

TEST_F(ServerResultDecodingTest, ConfigurationRowsFollowWhatTheServerSent)
{
    base::Date::setFixedNow(base::Date(1'769'879'100)); // 2026-01-31 17:05:00 UTC
    const std::string full =
        R"({"configuration":{"home":"1","category":1,"customer":"0","inventory":"1","library":"1","order":"1","sync":"1"},
            "appConfiguration":{"dateformat":"dd.MM.yy","modifyprice":" 1 "},
            "settings":{"view_type":"normal","order_method":2}})";
    struct Case {
        const char* name;
        std::string content;
        bool runtimeOnly;
        Rows rows;
        std::string status = "200";
    } cases[] = {
        {"everything", full, false,
         {{"configuration", "1,1,0,1,1,1,1"}, {"date_format", "dd.MM.yy"}, {"modify_price", " 1 "},
          {"left_panel", "normal"}, {"order_method", "2"}}},
        {"runtime only", full, true, {{"date_format", "dd.MM.yy"}, {"modify_price", " 1 "}}},
        {"a switch missing", R"({"configuration":{"home":"1","category":"1","customer":"1","inventory":"1","library":"1","order":"1"},"settings":{"view_type":"grid"}})",
         false, {{"left_panel", "grid"}}},
        {"order missing", R"({"configuration":{"home":"1","category":"1","customer":"1","inventory":"1","library":"1","sync":"0"}})",
         false, {{"configuration", "1,1,1,1,1,0,0"}}},
        {"only the order method", R"({"settings":{"order_method":"3"}})", false, {{"order_method", "3"}}},
        {"empty format, blank price switch", R"({"appConfiguration":{"dateformat":"","modifyprice":" \t"}})", false,
         {{"date_format", "MM/dd/yy"}, {"modify_price", "0"}}},
        {"neither given", R"({"appConfiguration":{}})", true, {{"date_format", "MM/dd/yy"}, {"modify_price", "0"}}},
        {"groups of the wrong kind", R"({"configuration":[],"appConfiguration":"x","settings":7})", false, {}},
        {"content of the wrong kind", "[]", false, {}},
        {"refused", full, false, {}, "101"},
    };
    for (const Case& c : cases) {
        std::shared_ptr<ConfigRst> result;
        if (c.runtimeOnly) {
            RequestRuntimeConfig command;
            result = decode<ConfigRst>(command, answer(c.content, c.status));
        } else {
            RequestConfig command;
            result = decode<ConfigRst>(command, answer(c.content, c.status));
        }
        EXPECT_EQ(result->status, c.status) << c.name;
        Rows rows;
        for (const ConfigEntity& row : result->configTable) {
            rows.emplace_back(row.configType.value_or("(none)"), row.desc.value_or("(none)"));
            EXPECT_EQ(row.clientid, "AcmeCo") << c.name;
            EXPECT_EQ(row.update_date, PublicFunction::currentTime()) << c.name;
        }
        EXPECT_EQ(rows, c.rows) << c.name;
    }
    base::Date::setFixedNow(std::nullopt);
}

TEST_F(ServerResultDecodingTest, LoginUserInfoAndVersionAnswers)
{
    const std::string login =
        R"({"sessionId":"S-1","dataUpdated":1,"skinUpdated":"0","syncAll":"1","email":"alice@acme.test",
            "user_access":"3","vendor":{"clientId":"AcmeCo","vendor_id":17,"account":"alice","phone":null}})";
    RequestLogin command;
    auto result = decode<LoginRst>(command, answer(login));
    EXPECT_EQ(result->sessionId, "S-1");
    EXPECT_TRUE(result->needUpdate);
    EXPECT_FALSE(result->needUpdateSkin);
    EXPECT_TRUE(result->needSyncAll);
    EXPECT_EQ(result->email, "alice@acme.test");
    EXPECT_EQ(result->companyName, "");
    EXPECT_EQ(result->companyLink, "");
    EXPECT_EQ(result->userAccess, 3);
    EXPECT_EQ(result->clientId, "AcmeCo");
    EXPECT_EQ(result->vendor_id, "17");
    EXPECT_EQ(result->account, "alice");
    EXPECT_EQ(result->phone, "");
    EXPECT_EQ(result->username, "");
    EXPECT_FALSE(result->vendor_group_id);
    EXPECT_FALSE(result->vendor_state_id);
    EXPECT_FALSE(result->userId);

    // Without a vendor object every vendor field stays absent; a refusal or content of the
    // wrong kind fills nothing at all.
    for (const auto& [content, status] : std::vector<std::pair<std::string, std::string>>{
             {R"({"sessionId":"S-2","vendor":"17"})", "200"}, {login, "206"}, {"[1]", "200"}}) {
        auto bare = decode<LoginRst>(command, answer(content, status));
        EXPECT_EQ(bare->status, status);
        EXPECT_EQ(bare->message, Language::stringWithName(status));
        for (const auto* field : {&bare->account, &bare->clientId, &bare->device_id, &bare->device_token,
                                  &bare->discount, &bare->is_locked, &bare->password, &bare->phone,
                                  &bare->username, &bare->vendor_group_id, &bare->vendor_id, &bare->vendor_state_id})
            EXPECT_FALSE(*field) << content << " " << status;
        EXPECT_EQ(bare->sessionId.has_value(), status == "200" && content.front() == '{') << content;
        EXPECT_EQ(bare->companyName.has_value(), bare->sessionId.has_value()) << content;
    }

    RequestGetUserinfo userinfo;
    auto info = decode<GetUserinfoRst>(userinfo, answer(R"({"email":"a@b","link":"http://x","user_access":1})"));
    EXPECT_EQ(info->email, "a@b");
    EXPECT_EQ(info->companyName, "");
    EXPECT_EQ(info->companyLink, "http://x");
    EXPECT_EQ(info->userAccess, 1);

    RequestCheckVersion version;
    auto check = decode<CheckAppVersionRst>(
        version, answer(R"({"update_status":"2","latest_version":"1.1","app_url":"http://u","messages":{"zh":"有新版本","en":"New version"}})"));
    EXPECT_EQ(check->updateType, 2);
    EXPECT_EQ(check->appVersion, "1.1");
    EXPECT_EQ(check->appUrl, "http://u");
    EXPECT_EQ(check->updateMessage(), "New version");
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    EXPECT_EQ(check->updateMessage(), "有新版本");
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    EXPECT_EQ(check->updateMessage(), "New version");
}

const char* kProducts = R"([
  [{"productID":101,"productSKU":"CH-1","productName":"Chair One","productBuy":1,"productStock":40,"publish":1,
    "productParentList":[1,3],
    "attributes":[{"attributeId":1,"attributeFieldsId":1,"attributeValue":"Red,Blue","defaultValue":"Red"},"junk"],
    "priceID":1001,"price":120.5,"currency":"$","discountPrice":99.0,"discountStartDate":86400,
    "discountEndDate":"abc","discount_percentage":87.5,"relatedSKUList":"TB-1",
    "images":[{"imageID":1,"keyID":101,"thumbAddress":"ch1_t.jpg","fullAddress":"ch1.jpg","isDefault":1,"imagePublish":1}]},
   7,
   {"productID":102,"productName":"Table One","productParentList":[2],"price":300,
    "images":[{"imageID":2,"keyID":102,"fullAddress":"tb1.jpg"}]}],
  [{"categoryID":1,"categoryName":"Chairs","categoryParentID":0},{"categoryID":3,"categoryName":"Office","categoryParentID":1}],
  {"attributeFieldsId":1},
  [{"productId":101,"productSku":"CH-1","fileId":501}],
  [{"id":1,"tagName":"new"}],
  [{"tagId":1,"productId":101}]
])";

TEST_F(ServerResultDecodingTest, ProductTablesFromNumbersOrNumericTexts)
{
    for (bool asTexts : {false, true}) {
        auto parsed = answer(kProducts);
        ASSERT_TRUE(parsed);
        if (asTexts)
            parsed = numbersAsTexts(*parsed);
        RequestSyncAllTable command;
        auto result = decode<SyncAllTableRst>(command, parsed);
        SCOPED_TRACE(asTexts ? "numbers as texts" : "numbers");
        EXPECT_EQ(result->status, "200");

        ASSERT_EQ(result->productTable.size(), 2u);
        const auto& chair = result->productTable[0];
        EXPECT_EQ(chair.product_id, 101);
        EXPECT_EQ(chair.product_sku, "CH-1");
        EXPECT_EQ(chair.product_stock, 40);
        EXPECT_EQ(chair.product_publish, 1);
        EXPECT_FALSE(chair.product_l_desc);
        EXPECT_FALSE(result->productTable[1].product_sku);
        EXPECT_EQ(result->productTable[1].product_publish, 0);

        ASSERT_EQ(result->productAttributeTable.size(), 1u);
        EXPECT_EQ(result->productAttributeTable[0].product_id, 101);
        EXPECT_EQ(result->productAttributeTable[0].attribute_value, "Red,Blue");
        EXPECT_EQ(result->productAttributeTable[0].default_value, "Red");

        std::vector<std::pair<int, int>> links;
        for (const auto& link : result->productCategoryXrefTable)
            links.emplace_back(link.category_id, link.product_id);
        EXPECT_EQ(links, (std::vector<std::pair<int, int>>{{1, 101}, {3, 101}, {2, 102}}));

        ASSERT_EQ(result->productPriceTable.size(), 2u);
        const auto& price = result->productPriceTable[0];
        EXPECT_EQ(price.price_id, 1001);
        EXPECT_EQ(price.product_id, 101);
        EXPECT_DOUBLE_EQ(price.price, 120.5);
        EXPECT_EQ(price.currency, "$");
        EXPECT_DOUBLE_EQ(price.discount_price, 99.0);
        EXPECT_DOUBLE_EQ(price.discontRat, 87.5);
        EXPECT_EQ(price.discount_start_date, base::Date(86400));
        // Not a number, and absent: both the start of 1970.
        EXPECT_EQ(price.discount_end_date, base::Date(0));
        EXPECT_EQ(price.tier_start_date, base::Date(0));
        EXPECT_FALSE(price.vendor_id_list);
        EXPECT_DOUBLE_EQ(result->productPriceTable[1].price, 300);

        ASSERT_EQ(result->productRelatedTable.size(), 2u);
        EXPECT_EQ(result->productRelatedTable[0].related_product_sku, "TB-1");
        EXPECT_FALSE(result->productRelatedTable[1].related_product_sku);

        ASSERT_EQ(result->imagesTable.size(), 2u);
        EXPECT_EQ(result->imagesTable[0].image_isdault, 1);
        EXPECT_EQ(result->imagesTable[0].image_publis, 1);
        EXPECT_EQ(result->imagesTable[0].image_thumb_address, "ch1_t.jpg");
        EXPECT_EQ(result->imagesTable[1].key_id, 102);
        EXPECT_FALSE(result->imagesTable[1].image_thumb_address);

        ASSERT_EQ(result->categoryTable.size(), 2u);
        EXPECT_EQ(result->categoryTable[1].category_parent_id, 1);
        // [2] is an object, not a list: skipped.
        EXPECT_TRUE(result->fieldsAttributeTable.empty());
        ASSERT_EQ(result->productRelatedFilesTable.size(), 1u);
        EXPECT_EQ(result->productRelatedFilesTable[0].file_id, 501);
        ASSERT_EQ(result->productTagTable.size(), 1u);
        EXPECT_EQ(result->productTagTable[0].tag_name, "new");
        ASSERT_EQ(result->productRelateTagTable.size(), 1u);
        EXPECT_EQ(result->productRelateTagTable[0].product_id, 101);
    }

    // Only the products: the other five lists stay empty; a refusal or an object reads nothing.
    RequestSyncAllTable command;
    auto partial = decode<SyncAllTableRst>(command, answer(R"([[{"productID":5,"productParentList":[3,7]}]])"));
    EXPECT_EQ(partial->productTable.size(), 1u);
    EXPECT_EQ(partial->productPriceTable.size(), 1u);
    ASSERT_EQ(partial->productCategoryXrefTable.size(), 2u);
    EXPECT_EQ(partial->productCategoryXrefTable[1].category_id, 7);
    EXPECT_EQ(partial->productCategoryXrefTable[1].product_id, 5);
    EXPECT_TRUE(partial->categoryTable.empty() && partial->productTagTable.empty());
    for (const auto& [content, status] : std::vector<std::pair<std::string, std::string>>{
             {kProducts, "101"}, {R"({"products":[]})", "200"}}) {
        auto empty = decode<SyncAllTableRst>(command, answer(content, status));
        EXPECT_EQ(empty->status, status);
        EXPECT_TRUE(empty->productTable.empty() && empty->categoryTable.empty() && empty->imagesTable.empty());
    }
}

TEST_F(ServerResultDecodingTest, LibraryAndCustomerTables)
{
    struct LibraryCase {
        const char* content;
        size_t files;
        std::vector<std::string> updates;
    } libraryCases[] = {
        {R"([[{"id":501,"fileName":"brochure.pdf","type":"PDF","publish":1},{"id":"502"}],[{"cateID":10,"cateName":"B"}],{"keyIDS":"501,502"}])",
         2, {"501", "502"}},
        {R"([[],[],{"keyIDS":"501"}])", 0, {"501"}},
        {R"([[],[],{"keyIDS":""}])", 0, {}},
        {R"([[],[],{"keyIDS":501}])", 0, {"501"}},
        {R"([[],[],{}])", 0, {}},
        {R"([[],[],["501"]])", 0, {}},
        {R"([[{"id":1}]])", 1, {}},
    };
    for (const auto& c : libraryCases) {
        RequestSyncFileTable command;
        auto result = decode<SyncFileTableRst>(command, answer(c.content));
        EXPECT_EQ(result->libFileTable.size(), c.files) << c.content;
        EXPECT_EQ(result->libFileUpdateTable, c.updates) << c.content;
    }
    RequestSyncFileTable files;
    auto library = decode<SyncFileTableRst>(files, answer(libraryCases[0].content));
    EXPECT_EQ(library->libFileTable[1].file_id, 502);
    EXPECT_EQ(library->libFileTable[0].type, "PDF");
    EXPECT_EQ(library->libFileTable[0].published, 1);
    ASSERT_EQ(library->libCategoryTable.size(), 1u);
    EXPECT_EQ(library->libCategoryTable[0].categoryID, 10);

    RequestSyncCustomerTable command;
    auto customers = decode<SyncCustomerTableRst>(command, answer(R"([
        [{"customerId":9001,"customerName":"Globex","customerDiscount":0.1,"customerPublish":1,
          "attributes":[{"attributeId":1,"attributeFieldsId":4,"attributeValue":"Gold"},{"attributeId":2,"attributeValue":"YES"}]},
         null],
        [{"attributeFieldsId":4,"attributeName":"Level","selection_list":"Gold,Silver"}],
        [{"id":1,"customer_id":9001,"address":"1 Main Street"}],
        [{"customerId":9001,"contactId":1,"firstName":"Hank"},{"customerId":9001,"contactId":2},{"contactId":3}]
    ])"));
    ASSERT_EQ(customers->customerTable.size(), 1u);
    // Single precision, widened.
    EXPECT_EQ(customers->customerTable[0].discount, static_cast<double>(0.1f));
    EXPECT_EQ(customers->customerTable[0].customer_name, "Globex");
    EXPECT_FALSE(customers->customerTable[0].customer_info_id);
    ASSERT_EQ(customers->customerAttributeTable.size(), 2u);
    for (const auto& attribute : customers->customerAttributeTable)
        EXPECT_EQ(attribute.customer_id, 9001);
    EXPECT_EQ(customers->customerAttributeTable[1].attribute_fields_id, 0);
    ASSERT_EQ(customers->customerAddressTable.size(), 1u);
    EXPECT_FALSE(customers->customerAddressTable[0].customerCity);
    ASSERT_EQ(customers->customerContactTable.size(), 3u);
    // Contact texts the server left out are empty, not absent.
    EXPECT_EQ(customers->customerContactTable[0].first_name, "Hank");
    EXPECT_EQ(customers->customerContactTable[1].last_name, "");
    EXPECT_EQ(customers->customerContactTable[2].note, "");
    EXPECT_EQ(customers->resultCount(), 1u + 2u + 1u + 1u);

    auto contactsOnly = decode<SyncCustomerTableRst>(command, answer(R"([[{"customerId":1}],[],[],[{},{},{}]])"));
    EXPECT_EQ(contactsOnly->resultCount(), 1u);
}

TEST_F(ServerResultDecodingTest, ConfirmationsUploadsAndHistory)
{
    for (const char* type : {"product", "file", "customer", "skin"}) {
        RequestSyncDataFinish finish;
        finish.setTableType(type);
        auto result = decode<SyncDataFinishRst>(finish, answer("\"\"", "101"));
        EXPECT_EQ(result->status, "101");
        EXPECT_EQ(result->tableType, type);
    }
    RequestDownloadFinish fileDone;
    auto done = decode<SyncDataFinishRst>(fileDone, answer("\"\""));
    EXPECT_EQ(done->status, "200");
    EXPECT_FALSE(done->tableType);

    const std::string orders = R"({"orders":[{"id":"N-1","generateId":7001},{"id":"N-2","generateId":7002},"junk"]})";
    struct UploadCase {
        std::string content;
        std::string status;
        size_t pairs;
    } uploadCases[] = {{orders, "200", 2}, {orders, "101", 0}, {R"({"orders":[]})", "200", 0},
                       {R"({"orders":{}})", "200", 0}, {"[]", "200", 0}};
    for (const auto& c : uploadCases) {
        RequestUploadQuoteOrder upload;
        auto result = decode<UploadQuoteOrderRst>(upload, answer(c.content, c.status));
        EXPECT_EQ(result->orderIdUpdateArray.size(), c.pairs) << c.content << " " << c.status;
    }
    RequestUploadQuoteOrder upload;
    auto mapped = decode<UploadQuoteOrderRst>(upload, answer(orders));
    EXPECT_EQ(mapped->orderIdUpdateArray[1]["generateId"].toInt(), 7002);

    RequestGetOrderHistory history;
    auto page = decode<GetOrderHistoryRst>(history, answer(R"({"orders":[{"order_id":5001,"discountRate":10}],
        "items":[{"order_id":5001,"product_id":101,"discountRate":"5"},{"order_id":5001,"product_id":102}]})"));
    ASSERT_EQ(page->orderHistoryArray.size(), 1u);
    EXPECT_EQ(page->orderHistoryArray[0]["discountRate"].toInt(), 10);
    ASSERT_EQ(page->orderItemHistoryArray.size(), 2u);
    EXPECT_EQ(page->orderItemHistoryArray[0]["discountRate"].toString(), "5");
    EXPECT_TRUE(decode<GetOrderHistoryRst>(history, answer(R"({"orders":[{}]})", "101"))->orderHistoryArray.empty());

    // The customer upload reads its content whatever the status.
    const std::string submitted = R"({
        "brivanta_customer":[{"preId":-1,"customerId":9100}],
        "brivanta_customer_address":[{"preId":-1,"customerId":9100,"id":31,"address":"2 Side Road"}],
        "brivanta_customer_attribute":[{"preId":-3,"attributeId":41,"customerId":9100,"attributeFieldsId":4,"attributeValue":"Gold"}],
        "brivanta_customer_contact":[{"preId":-2,"customerId":9100,"contactId":51,"firstName":"Ada"}]})";
    for (const char* status : {"200", "101"}) {
        RequestUploadCustomer customers;
        auto result = decode<SubmitCustomerRst>(customers, answer(submitted, status));
        EXPECT_EQ(result->status, status);
        ASSERT_EQ(result->customerArry.size(), 1u);
        EXPECT_EQ(result->customerArry[0].pid, -1);
        EXPECT_EQ(result->customerArry[0].customer_id, 9100);
        ASSERT_EQ(result->customerAddress.size(), 1u);
        EXPECT_EQ(result->customerAddress[0].pID, -1);
        EXPECT_EQ(result->customerAddress[0].indexId, 31);
        EXPECT_EQ(result->customerAddress[0].customerAddress, "2 Side Road");
        EXPECT_EQ(result->customerAddress[0].customerCity, "");
        ASSERT_EQ(result->customerAttributes.size(), 1u);
        EXPECT_EQ(result->customerAttributes[0].pID, -3);
        EXPECT_EQ(result->customerAttributes[0].attribute_id, 41);
        ASSERT_EQ(result->customerContacts.size(), 1u);
        EXPECT_EQ(result->customerContacts[0].contactID, 51);
        EXPECT_EQ(result->customerContacts[0].first_name, "Ada");
    }
    RequestUploadCustomer customers;
    auto none = decode<SubmitCustomerRst>(customers, answer(R"([{"brivanta_customer":[]}])", "200"));
    EXPECT_TRUE(none->customerArry.empty() && none->customerContacts.empty());
}

} // namespace

namespace {

std::shared_ptr<const base::Bytes> bytesOf(const std::string& text)
{
    auto bytes = std::make_shared<base::Bytes>(text.begin(), text.end());
    bytes->push_back(0);
    return bytes;
}

// The answer as the transport hands it over: in memory, or kept in a file (written in pieces,
// as it arrives, with no terminator).
AnswerText answerOf(const std::string& text, bool inFile)
{
    if (!inFile)
        return bytesOf(text);
    auto file = base::SpoolFile::create("answer-");
    EXPECT_TRUE(file);
    for (size_t at = 0; file && at < text.size(); at += 65536)
        EXPECT_TRUE(file->append(text.data() + at, std::min<size_t>(65536, text.size() - at)));
    return file;
}

// Every row of the catalogue lists as one comparable text per table.
std::vector<std::string> rowsOf(const SyncAllTableRst& t)
{
    auto text = [](const std::optional<std::string>& s) { return s.value_or("-"); };
    std::vector<std::string> rows;
    for (const auto& r : t.productTable)
        rows.push_back("product " + std::to_string(r.product_id) + " " + text(r.product_sku));
    for (const auto& r : t.productAttributeTable)
        rows.push_back("attribute " + std::to_string(r.attribute_id) + " of " + std::to_string(r.product_id));
    for (const auto& r : t.fieldsAttributeTable)
        rows.push_back("field " + std::to_string(r.field_id));
    for (const auto& r : t.productCategoryXrefTable)
        rows.push_back("link " + std::to_string(r.category_id) + "-" + std::to_string(r.product_id));
    for (const auto& r : t.productPriceTable)
        rows.push_back("price " + std::to_string(r.price_id) + " " + std::to_string(r.price));
    for (const auto& r : t.productRelatedTable)
        rows.push_back("related " + std::to_string(r.product_id) + " " + text(r.related_product_sku));
    for (const auto& r : t.imagesTable)
        rows.push_back("image " + std::to_string(r.image_id) + " " + text(r.image_full_address));
    for (const auto& r : t.categoryTable)
        rows.push_back("category " + std::to_string(r.category_id));
    for (const auto& r : t.productRelatedFilesTable)
        rows.push_back("file " + std::to_string(r.file_id));
    for (const auto& r : t.productTagTable)
        rows.push_back("tag " + std::to_string(r.tag_id));
    for (const auto& r : t.productRelateTagTable)
        rows.push_back("product tag " + std::to_string(r.tag_id) + "-" + std::to_string(r.product_id));
    return rows;
}

// Every row of an answer read in rows, gathered batch by batch.
std::vector<std::string> rowsInBatches(SyncAllTableRst& result, size_t batch, size_t* calls = nullptr)
{
    constexpr unsigned kAll = (1u << 11) - 1;
    SyncAllTableRst gathered;
    result.forEachBatch(kAll, 0, batch, [&](bool) {
        EXPECT_LE(result.productTable.size(), batch);
        if (calls)
            ++*calls;
        auto add = [](auto& to, const auto& from) { to.insert(to.end(), from.begin(), from.end()); };
        add(gathered.productTable, result.productTable);
        add(gathered.productAttributeTable, result.productAttributeTable);
        add(gathered.fieldsAttributeTable, result.fieldsAttributeTable);
        add(gathered.productCategoryXrefTable, result.productCategoryXrefTable);
        add(gathered.productPriceTable, result.productPriceTable);
        add(gathered.productRelatedTable, result.productRelatedTable);
        add(gathered.imagesTable, result.imagesTable);
        add(gathered.categoryTable, result.categoryTable);
        add(gathered.productRelatedFilesTable, result.productRelatedFilesTable);
        add(gathered.productTagTable, result.productTagTable);
        add(gathered.productRelateTagTable, result.productRelateTagTable);
        return true;
    });
    return rowsOf(gathered);
}

} // namespace

// A table answer read in rows, batch by batch from its text, gives the rows of the whole
// answer, in its order, and never more than a batch of them at a time; its envelope reads
// as the whole answer's does.
TEST_F(ServerResultDecodingTest, TablesReadInRowsAreTheWholeAnswersBatchByBatch)
{
    const std::string text = R"({"content":)" + std::string(kProducts) + R"(,"results":[{"status":"200"}]})";
    RequestSyncAllTable whole;
    auto expected = rowsOf(*decode<SyncAllTableRst>(whole, JSONValue(text)));
    ASSERT_EQ(expected.size(), 17u);
    for (bool inFile : {false, true})
    for (size_t batch : {1u, 2u, 100u}) {
        SCOPED_TRACE(inFile ? "kept in a file" : "in memory");
        RequestSyncAllTable command;
        auto result = std::dynamic_pointer_cast<SyncAllTableRst>(command.RequestDecodeText(answerOf(text, inFile)));
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, "200");
        EXPECT_TRUE(result->productTable.empty()) << "the rows stay in the text";
        for (int pass = 0; pass < 2; ++pass) {
            size_t calls = 0;
            EXPECT_EQ(rowsInBatches(*result, batch, &calls), expected) << "batch " << batch << ", pass " << pass;
            EXPECT_EQ(calls, 2 / batch + 1) << batch;
            EXPECT_TRUE(rowsOf(*result).empty()) << "each batch is let go";
        }
        // The lists kept whole come once, at the end.
        size_t tagsSeen = 0;
        result->forEachBatch(SyncAllTableRst::Products, SyncAllTableRst::Tags, 1, [&](bool last) {
            EXPECT_EQ(result->productTagTable.size(), last ? 1u : 0u);
            tagsSeen += result->productTagTable.size();
            return true;
        });
        EXPECT_EQ(tagsSeen, 1u);
        // A batch that answers false ends the pass.
        size_t stopped = 0;
        result->forEachBatch(SyncAllTableRst::Products, 0, 1, [&](bool) { return ++stopped, false; });
        EXPECT_EQ(stopped, 1u);
    }

    struct Case {
        const char* name;
        std::string text;
        std::string status;
        size_t products;
    } cases[] = {
        {"refused", R"({"content":[[{"productID":1}]],"results":[{"status":"101"}]})", "101", 0},
        {"status ahead of the rows", R"({"results":[{"status":"200"}],"content":[[{"productID":1},{"productID":2}]]})", "200", 2},
        {"the last content counts", R"({"content":[[{"productID":1}]],"content":[[{"productID":2},{"productID":3}]],"results":[{"status":"200"}]})", "200", 2},
        {"a later content of another kind", R"({"content":[[{"productID":1}]],"content":{},"results":[{"status":"200"}]})", "200", 0},
        {"rows under another key", R"({"other":[[{"productID":1}]],"content":[],"results":[{"status":"200"}]})", "200", 0},
        {"cut short", R"({"content":[[{"productID":1},{"productID":2}]],"results":[{"status":"200"})", "115", 0},
        {"broken after the rows", R"({"content":[[{"productID":1}]],"results":[{"status":"200"}]}x)", "115", 0},
        {"not JSON", "Network error!", "115", 0},
        {"text after a zero byte is not read", std::string(R"({"content":[[{"productID":1}]],"results":[{"status":"200"}]})") + '\0' + "junk", "200", 1},
        {"nothing at all", "", "115", 0},
    };
    for (bool inFile : {false, true})
    for (const Case& c : cases) {
        SCOPED_TRACE(inFile ? "kept in a file" : "in memory");
        RequestSyncAllTable command;
        auto result = std::dynamic_pointer_cast<SyncAllTableRst>(command.RequestDecodeText(answerOf(c.text, inFile)));
        ASSERT_TRUE(result) << c.name;
        EXPECT_EQ(result->status, c.status) << c.name;
        // The same text decoded whole agrees.
        RequestSyncAllTable wholeCommand;
        auto wholeResult = decode<SyncAllTableRst>(wholeCommand, JSONValue(c.text.c_str()));
        EXPECT_EQ(wholeResult->status, c.status) << c.name;
        EXPECT_EQ(wholeResult->productTable.size(), c.products) << c.name;
        size_t products = 0;
        result->forEachBatch(SyncAllTableRst::Products, 0, 1, [&](bool) {
            products += result->productTable.size();
            return true;
        });
        EXPECT_EQ(products, c.products) << c.name;
    }

    // The customers' batches count rows of every batched list.
    const std::string customers = R"({"content":[
        [{"customerId":1,"attributes":[{"attributeId":1},{"attributeId":2}]},{"customerId":2}],
        [{"attributeFieldsId":4}],
        [{"id":1,"customer_id":1},{"id":2,"customer_id":2}],
        [{"customerId":1,"contactId":1}]],"results":[{"status":"200"}]})";
    RequestSyncCustomerTable customerCommand;
    auto customerResult = std::dynamic_pointer_cast<SyncCustomerTableRst>(customerCommand.RequestDecodeText(bytesOf(customers)));
    ASSERT_TRUE(customerResult);
    using C = SyncCustomerTableRst;
    std::vector<std::string> seen;
    customerResult->forEachBatch(C::Customers | C::Attributes | C::Addresses | C::Contacts, C::AttributeFields, 2, [&](bool last) {
        size_t held = customerResult->customerTable.size() + customerResult->customerAttributeTable.size() +
                      customerResult->customerAddressTable.size() + customerResult->customerContactTable.size();
        EXPECT_LE(held, 3u) << "a batch ends at the object that reaches its size";
        seen.push_back(std::to_string(customerResult->customerTable.size()) + "c " +
                       std::to_string(customerResult->customerAttributeTable.size()) + "a " +
                       std::to_string(customerResult->fieldsAttributeTable.size()) + "f " +
                       std::to_string(customerResult->customerAddressTable.size()) + "d " +
                       std::to_string(customerResult->customerContactTable.size()) + "k" + (last ? " last" : ""));
        return true;
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"1c 2a 0f 0d 0k", "1c 0a 1f 1d 0k", "0c 0a 1f 1d 1k", "0c 0a 1f 0d 0k last"}));
}

// A table answer of megabytes kept in a file, as the transport keeps one, gives pass after pass
// the rows of the same answer in memory, though every pass lets the text behind it go; the file
// stays open only while its result lives, and never has a name among the temporaries.
TEST_F(ServerResultDecodingTest, TablesKeptInAFileReadAsInMemoryPassAfterPass)
{
    std::string products;
    for (int id = 1; id <= 30000; ++id) {
        std::string n = std::to_string(id);
        products += (id > 1 ? "," : "") + std::string(R"({"productID":)") + n + R"(,"productSKU":"SKU-)" + n +
                    R"(","productName":"Product \u00e9 )" + n + R"(","productParentList":[1],"images":[{"imageID":)" + n +
                    R"(,"keyID":)" + n + R"(,"fullAddress":"p)" + n + R"(.jpg"}]})";
    }
    const std::string text = R"({"content":[[)" + products + R"(],[{"categoryID":1,"categoryName":"All"}]],"results":[{"status":"200"}]})";
    ASSERT_GT(text.size(), size_t(4) << 20) << "many stretches of text to let go";
    const std::string tmp = base::Paths::tmp();
    const int openBefore = testsupport::openFilesIn(tmp);
    const auto namesBefore = base::FileManager::contentsOfDirectory(tmp);

    RequestSyncAllTable wholeCommand;
    auto inMemory = std::dynamic_pointer_cast<SyncAllTableRst>(wholeCommand.RequestDecodeText(bytesOf(text)));
    ASSERT_TRUE(inMemory);
    const auto expected = rowsInBatches(*inMemory, 1000);
    ASSERT_GT(expected.size(), 30000u * 2) << "products, their links and pictures";
    {
        RequestSyncAllTable command;
        auto kept = std::dynamic_pointer_cast<SyncAllTableRst>(command.RequestDecodeText(answerOf(text, true)));
        ASSERT_TRUE(kept);
        EXPECT_EQ(kept->status, "200");
        EXPECT_EQ(testsupport::openFilesIn(tmp), openBefore + 1);
        EXPECT_EQ(base::FileManager::contentsOfDirectory(tmp), namesBefore);
        for (int pass = 0; pass < 3; ++pass)
            EXPECT_EQ(rowsInBatches(*kept, 1000 + pass * 777), expected) << "pass " << pass;
    }
    EXPECT_EQ(testsupport::openFilesIn(tmp), openBefore) << "the file went with its result";
}
