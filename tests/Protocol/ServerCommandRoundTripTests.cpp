// The commands through the dispatcher and the transport against the loopback back end, each
// answer reaching its requester decoded.
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/Paths.h"
#include "Protocol/CheckAppVersionRst.h"
#include "Protocol/CheckDeviceRst.h"
#include "Protocol/ConfigRst.h"
#include "Protocol/GetOrderHistoryRst.h"
#include "Protocol/GetUserinfoRst.h"
#include "Protocol/LoginRst.h"
#include "Protocol/RequestCheckDeviceStatus.h"
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
#include "tests/Protocol/ProtocolTestSupport.h"

#include <filesystem>
#include <set>

namespace {

using protocoltest::Requester;

class ServerCommandRoundTripTest : public protocoltest::ProtocolTest {
protected:
    void SetUp() override
    {
        protocoltest::ProtocolTest::SetUp();
        auto login = LoginMode::sharedInstance();
        login->setDeviceID("dev-1");
        login->setPassword(RequestLogin::passwordDigest("s3cret!"));
        m_requester = std::make_shared<Requester>();
    }

    // Sends the command and runs the loop until its answer arrives.
    template<class Result>
    std::shared_ptr<Result> roundTrip(const std::shared_ptr<RequestInterfaceBase>& command)
    {
        command->setReceiveDelegete(m_requester);
        size_t before = m_requester->results.size();
        NetworkModel::sharedInstance()->sendRequest(command);
        EXPECT_TRUE(runUntil([&] { return m_requester->results.size() > before; }));
        if (m_requester->results.size() <= before)
            return std::make_shared<Result>();
        auto result = std::dynamic_pointer_cast<Result>(m_requester->results.back());
        EXPECT_TRUE(result) << "cmd " << command->cmdCode();
        if (result) {
            EXPECT_EQ(result->cmdCode, command->cmdCode());
        }
        return result ? result : std::make_shared<Result>();
    }

    // The next answer of that command is this content, in an envelope with status "200".
    void answerNextWith(const std::string& command, const std::string& content)
    {
        std::string body = R"({"content":)" + content + R"(,"results":[{"status":"200","detail":"","message":""}]})";
        auto escaped = JSONFragment(base::Value(body));
        ASSERT_TRUE(escaped);
        ASSERT_TRUE(backend().setFault(command, "raw", 1, R"("body": )" + *escaped));
    }

    // The back end's own answer to a product table request, as the client would get it.
    base::Value serverContent(const std::string& syncType)
    {
        std::string request = R"({"root":{"parameters":{"methodName":"syncData","accountId":"alice","clientId":"AcmeCo",)"
                              R"("deviceId":"dev-1","syncType":")" + syncType + R"(","isFull":"true"}}})";
        auto answer = testsupport::httpExchange(backend().commandPort(), "POST",
                                                std::string("/") + testsupport::TestBackend::kPath + "/SyncServer;",
                                                request);
        EXPECT_TRUE(answer);
        auto parsed = answer ? JSONValue(answer->body) : std::nullopt;
        EXPECT_TRUE(parsed);
        return parsed ? (*parsed)["content"] : base::Value();
    }

    std::shared_ptr<Requester> m_requester;
};

using protocoltest::numbersAsTexts;

using Rows = std::vector<std::pair<std::string, std::string>>;

Rows rowsOf(const ConfigRst& result)
{
    Rows rows;
    for (const ConfigEntity& row : result.configTable) {
        rows.emplace_back(row.configType.value_or("(none)"), row.desc.value_or("(none)"));
        EXPECT_EQ(row.clientid, "AcmeCo");
        EXPECT_TRUE(row.update_date &&
                    base::DateFormatter("MM/dd/yyyy HH:mm:ss").dateFromString(*row.update_date))
            << row.update_date.value_or("(none)");
    }
    return rows;
}

TEST_F(ServerCommandRoundTripTest, AccountCommands)
{
    auto login = roundTrip<LoginRst>(std::make_shared<RequestLogin>());
    EXPECT_EQ(login->status, "200");
    EXPECT_EQ(login->httpRsp, 0);
    EXPECT_EQ(login->clientId, "AcmeCo");
    EXPECT_EQ(login->vendor_id, "17");
    EXPECT_EQ(login->userAccess, 1);
    EXPECT_TRUE(login->sessionId && !login->sessionId->empty());
    EXPECT_EQ(login->email, "alice@acme.test");
    EXPECT_EQ(login->companyName, "Acme Co");
    EXPECT_EQ(login->companyLink, "http://127.0.0.1/acme");
    EXPECT_EQ(login->vendor_group_id, "3");
    // What the back end saw: the digest, never the typed text.
    auto sent = logged("258");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0]["parameters"]["password"].toString(), RequestLogin::passwordDigest("s3cret!"));
    for (const base::Value& record : logged())
        EXPECT_EQ(JSONRepresentation(record).value_or("").find("s3cret!"), std::string::npos);

    LoginMode::sharedInstance()->setPassword(RequestLogin::passwordDigest("wrong"));
    auto refused = roundTrip<LoginRst>(std::make_shared<RequestLogin>());
    EXPECT_EQ(refused->status, "206");
    EXPECT_EQ(refused->message, Language::stringWithName("206"));
    EXPECT_FALSE(refused->sessionId);
    EXPECT_FALSE(refused->clientId);

    auto configCommand = std::make_shared<RequestConfig>();
    configCommand->setClientId("AcmeCo");
    auto config = roundTrip<ConfigRst>(configCommand);
    EXPECT_EQ(rowsOf(*config), (Rows{{"configuration", "1,1,1,1,1,1,1"}, {"date_format", "MM/dd/yy"},
                                     {"modify_price", "1"}, {"left_panel", "normal"}, {"order_method", "2"}}));
    auto runtimeCommand = std::make_shared<RequestRuntimeConfig>();
    runtimeCommand->setClientId("AcmeCo");
    auto runtime = roundTrip<ConfigRst>(runtimeCommand);
    EXPECT_EQ(rowsOf(*runtime), (Rows{{"date_format", "MM/dd/yy"}, {"modify_price", "1"}}));

    auto device = roundTrip<CheckDeviceRst>(std::make_shared<RequestCheckDeviceStatus>());
    EXPECT_EQ(device->status, "200");

    auto version = roundTrip<CheckAppVersionRst>(std::make_shared<RequestCheckVersion>());
    EXPECT_EQ(version->status, "200");
    EXPECT_EQ(version->updateType, 0);
    EXPECT_EQ(version->appVersion, "1.0.0");
    EXPECT_EQ(version->appUrl, "http://127.0.0.1/brivanta/update");
    EXPECT_EQ(version->updateMessage(), "You have the latest version");
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    EXPECT_EQ(version->updateMessage(), "已是最新版本");
    LanguageManager::sharedInstance()->setCurrentLanguage(1);

    auto userinfo = roundTrip<GetUserinfoRst>(std::make_shared<RequestGetUserinfo>());
    EXPECT_EQ(userinfo->status, "200");
    EXPECT_EQ(userinfo->email, "alice@acme.test");
    EXPECT_EQ(userinfo->userAccess, 1);
    EXPECT_EQ(userinfo->companyName, "Acme Co");
    EXPECT_EQ(userinfo->companyLink, "http://127.0.0.1/acme");
}

TEST_F(ServerCommandRoundTripTest, AccountAnswersOfUnusualShapes)
{
    struct Case {
        const char* name;
        const char* content;
        Rows rows;
    } cases[] = {
        {"a switch missing",
         R"({"configuration":{"home":"1","category":"1","customer":"1","inventory":"1","library":"1","order":"1"},
             "appConfiguration":{"dateformat":"dd/MM/yy","modifyprice":"1"},"settings":{"view_type":"normal","order_method":"2"}})",
         {{"date_format", "dd/MM/yy"}, {"modify_price", "1"}, {"left_panel", "normal"}, {"order_method", "2"}}},
        {"only the order method", R"({"settings":{"order_method":"2"}})", {{"order_method", "2"}}},
        {"empty format, blank switch", R"({"appConfiguration":{"dateformat":"","modifyprice":"  "}})",
         {{"date_format", "MM/dd/yy"}, {"modify_price", "0"}}},
        {"content of the wrong kind", R"(["configuration"])", {}},
    };
    for (const Case& c : cases) {
        answerNextWith("260", c.content);
        auto command = std::make_shared<RequestConfig>();
        command->setClientId("AcmeCo");
        auto result = roundTrip<ConfigRst>(command);
        EXPECT_EQ(result->status, "200") << c.name;
        EXPECT_EQ(rowsOf(*result), c.rows) << c.name;
    }

    answerNextWith("258", R"({"sessionId":"S-9","email":"a@b","user_access":2})");
    auto login = roundTrip<LoginRst>(std::make_shared<RequestLogin>());
    EXPECT_EQ(login->sessionId, "S-9");
    EXPECT_EQ(login->companyName, "");
    for (const auto* field : {&login->account, &login->clientId, &login->device_id, &login->device_token,
                              &login->discount, &login->is_locked, &login->password, &login->phone, &login->username,
                              &login->vendor_group_id, &login->vendor_id, &login->vendor_state_id})
        EXPECT_FALSE(*field);

    answerNextWith("258", "[]");
    auto wrongKind = roundTrip<LoginRst>(std::make_shared<RequestLogin>());
    EXPECT_EQ(wrongKind->status, "200");
    EXPECT_FALSE(wrongKind->sessionId);
    EXPECT_FALSE(wrongKind->companyName);
}

TEST_F(ServerCommandRoundTripTest, SyncTablesOfFixtureS)
{
    auto products = roundTrip<SyncAllTableRst>(std::make_shared<RequestSyncAllTable>());
    EXPECT_EQ(products->status, "200");
    EXPECT_EQ(products->productTable.size(), 3u);
    ASSERT_EQ(products->productPriceTable.size(), 3u);
    const auto& price = products->productPriceTable[0];
    EXPECT_EQ(price.price_id, 1001);
    EXPECT_DOUBLE_EQ(price.price, 120.5);
    EXPECT_EQ(price.currency, "USD");
    EXPECT_DOUBLE_EQ(price.discount_price, 99.0);
    EXPECT_EQ(price.discount_start_date, base::Date(86400));
    std::vector<std::pair<int, int>> links;
    for (const auto& link : products->productCategoryXrefTable)
        links.emplace_back(link.category_id, link.product_id);
    EXPECT_EQ(links, (std::vector<std::pair<int, int>>{{1, 101}, {3, 101}, {2, 102}, {2, 103}}));
    ASSERT_EQ(products->productAttributeTable.size(), 1u);
    EXPECT_EQ(products->productAttributeTable[0].product_id, 101);
    EXPECT_EQ(products->imagesTable.size(), 2u);
    EXPECT_EQ(products->categoryTable.size(), 3u);
    ASSERT_EQ(products->fieldsAttributeTable.size(), 1u);
    EXPECT_EQ(products->fieldsAttributeTable[0].selection_list, "Red,Blue");
    EXPECT_EQ(products->productRelatedFilesTable.size(), 1u);
    EXPECT_EQ(products->productTagTable.size(), 1u);
    EXPECT_EQ(products->productRelateTagTable.size(), 1u);
    EXPECT_EQ(products->productRelatedTable.size(), 3u);

    auto library = roundTrip<SyncFileTableRst>(std::make_shared<RequestSyncFileTable>());
    EXPECT_EQ(library->libFileTable.size(), 2u);
    EXPECT_EQ(library->libCategoryTable.size(), 1u);
    EXPECT_TRUE(library->libFileUpdateTable.empty());
    ASSERT_TRUE(backend().applyChangeSet("S2"));
    auto changed = std::make_shared<RequestSyncFileTable>();
    changed->setIsFull("false");
    auto update = roundTrip<SyncFileTableRst>(changed);
    EXPECT_EQ(update->libFileUpdateTable, std::vector<std::string>{"501"});
    ASSERT_EQ(update->libFileTable.size(), 1u);
    EXPECT_EQ(update->libFileTable[0].file_name, "brochure_v2.pdf");

    auto customers = roundTrip<SyncCustomerTableRst>(std::make_shared<RequestSyncCustomerTable>());
    ASSERT_EQ(customers->customerTable.size(), 1u);
    EXPECT_EQ(customers->customerTable[0].customer_id, 9001);
    ASSERT_EQ(customers->customerAttributeTable.size(), 2u);
    for (const auto& value : customers->customerAttributeTable)
        EXPECT_EQ(value.customer_id, 9001);
    EXPECT_EQ(customers->fieldsAttributeTable.size(), 8u);
    EXPECT_EQ(customers->customerAddressTable.size(), 1u);
    ASSERT_EQ(customers->customerContactTable.size(), 1u);
    EXPECT_EQ(customers->customerContactTable[0].im, "");
    EXPECT_EQ(customers->resultCount(), 12u);

    for (const char* type : {"product", "file", "customer"}) {
        auto finish = std::make_shared<RequestSyncDataFinish>();
        finish->setTableType(type);
        auto confirmed = roundTrip<SyncDataFinishRst>(finish);
        EXPECT_EQ(confirmed->status, "200");
        EXPECT_EQ(confirmed->tableType, type);
    }
    auto fileDone = std::make_shared<RequestDownloadFinish>();
    fileDone->setFileId(501);
    auto done = roundTrip<SyncDataFinishRst>(fileDone);
    EXPECT_EQ(done->status, "200");
    EXPECT_FALSE(done->tableType);
    EXPECT_EQ(logged("519").at(0)["parameters"]["fileIds"].toString(), "501");
}

TEST_F(ServerCommandRoundTripTest, SyncAnswersWithTextsForNumbersAndOddElements)
{
    base::Value content = serverContent("product");
    ASSERT_TRUE(content.isArray());
    answerNextWith("513", JSONRepresentation(numbersAsTexts(content)).value_or(""));
    auto texts = roundTrip<SyncAllTableRst>(std::make_shared<RequestSyncAllTable>());
    ASSERT_EQ(texts->productPriceTable.size(), 3u);
    EXPECT_DOUBLE_EQ(texts->productPriceTable[0].price, 120.5);
    EXPECT_EQ(texts->productPriceTable[0].discount_start_date, base::Date(86400));
    EXPECT_EQ(texts->productTable[0].product_id, 101);
    EXPECT_EQ(texts->productCategoryXrefTable.size(), 4u);
    EXPECT_EQ(texts->productCategoryXrefTable[1].category_id, 3);
    EXPECT_EQ(texts->imagesTable.at(0).image_isdault, 1);

    // A non-object product, a list where the categories belong, a date that is no number.
    base::Array odd = content.asArray();
    base::Array products = odd[0].asArray();
    products.insert(products.begin() + 1, base::Value("junk"));
    base::Dictionary first = products[0].asDictionary();
    first.set("discountStartDate", base::Value("abc"));
    products[0] = base::Value(std::move(first));
    odd[0] = base::Value(std::move(products));
    odd[1] = base::Value(base::Dictionary{{"categoryID", 1}});
    answerNextWith("513", JSONRepresentation(base::Value(odd)).value_or(""));
    auto skipped = roundTrip<SyncAllTableRst>(std::make_shared<RequestSyncAllTable>());
    EXPECT_EQ(skipped->productTable.size(), 3u);
    EXPECT_TRUE(skipped->categoryTable.empty());
    EXPECT_EQ(skipped->fieldsAttributeTable.size(), 1u);
    EXPECT_EQ(skipped->productPriceTable.at(0).discount_start_date, base::Date(0));
}

TEST_F(ServerCommandRoundTripTest, UploadsAndHistory)
{
    auto order = [](const std::string& number) {
        return testsupport::uploadOrder(number, "01/31/2026 17:05:00", 1, 10, 5);
    };
    auto upload = std::make_shared<RequestUploadQuoteOrder>();
    upload->setSyncData(R"({"order":[)" + order("T-1") + "," + order("T-2") + "]}");
    auto mapped = roundTrip<UploadQuoteOrderRst>(upload);
    EXPECT_EQ(mapped->status, "200");
    ASSERT_EQ(mapped->orderIdUpdateArray.size(), 2u);
    std::set<int> ids;
    for (const auto& [i, number] : std::vector<std::pair<size_t, std::string>>{{0, "T-1"}, {1, "T-2"}}) {
        EXPECT_EQ(mapped->orderIdUpdateArray[i]["id"].toString(), number);
        ids.insert(static_cast<int>(mapped->orderIdUpdateArray[i]["generateId"].toInt()));
    }
    EXPECT_EQ(ids.size(), 2u);

    ASSERT_TRUE(backend().setFault("518", "status", 1, R"("status": "101")"));
    auto again = std::make_shared<RequestUploadQuoteOrder>();
    again->setSyncData(R"({"order":[)" + order("T-3") + "]}");
    auto refused = roundTrip<UploadQuoteOrderRst>(again);
    EXPECT_EQ(refused->status, "101");
    EXPECT_TRUE(refused->orderIdUpdateArray.empty());

    // A refused customer upload still fills its lists from the content it carries.
    ASSERT_TRUE(backend().setFault("520", "status", 1, R"("status": "101", "keepContent": true)"));
    auto customers = std::make_shared<RequestUploadCustomer>();
    customers->setSyncData(R"({"brivanta_customer":[{"customer_id":-1,"customer_info_id":"","customer_name":"Initech",
        "customer_publish":1,"customer_ordering":0,"discount":0}],
        "brivanta_customer_address":[{"id":-1,"customer_id":-1,"address":"2 Side Road","city":"Austin","state":"",
        "zip_code":""}],
        "brivanta_customer_attribute":[{"attribute_id":-1,"customer_id":-1,"attribute_fields_id":4,"attribute_value":"Gold"}],
        "brivanta_customer_contact":[{"contact_id":-1,"customer_id":-1,"first_name":"Bill","last_name":"","job_title":"",
        "work_phone":"","mobile_phone":"","email":"","im":"","note":""}]})");
    auto submitted = roundTrip<SubmitCustomerRst>(customers);
    EXPECT_EQ(submitted->status, "101");
    ASSERT_EQ(submitted->customerArry.size(), 1u);
    EXPECT_EQ(submitted->customerArry[0].pid, -1);
    EXPECT_GT(submitted->customerArry[0].customer_id, 0);
    ASSERT_EQ(submitted->customerAddress.size(), 1u);
    EXPECT_EQ(submitted->customerAddress[0].customerCity, "Austin");
    EXPECT_EQ(submitted->customerAddress[0].customerId, submitted->customerArry[0].customer_id);
    ASSERT_EQ(submitted->customerAttributes.size(), 1u);
    EXPECT_EQ(submitted->customerAttributes[0].attribute_value, "Gold");
    ASSERT_EQ(submitted->customerContacts.size(), 1u);
    EXPECT_EQ(submitted->customerContacts[0].first_name, "Bill");

    answerNextWith("520", R"({"brivanta_customer_address":[{"preId":-2,"customerId":9001,"id":7,"address":"3 Loop"}]})");
    auto noCity = std::make_shared<RequestUploadCustomer>();
    noCity->setSyncData(R"({"brivanta_customer":[],"brivanta_customer_address":[],"brivanta_customer_attribute":[],"brivanta_customer_contact":[]})");
    auto address = roundTrip<SubmitCustomerRst>(noCity);
    ASSERT_EQ(address->customerAddress.size(), 1u);
    EXPECT_EQ(address->customerAddress[0].customerCity, "");
    EXPECT_EQ(address->customerAddress[0].pID, -2);

    auto history = std::make_shared<RequestGetOrderHistory>();
    history->setNumberOfOrder(10);
    auto page = roundTrip<GetOrderHistoryRst>(history);
    EXPECT_EQ(page->status, "200");
    EXPECT_EQ(page->orderHistoryArray.size(), 10u);
    ASSERT_FALSE(page->orderItemHistoryArray.empty());
    // The newest are the two orders just uploaded.
    EXPECT_EQ(page->orderHistoryArray[0]["discountRate"].toInt(), 10);
    for (const base::Value& line : page->orderItemHistoryArray)
        EXPECT_TRUE(line.asDictionary().contains("discountRate"));
    auto records = logged("265-history");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]["parameters"]["numberOfOrder"].toString(), "10");
    EXPECT_EQ(records[0]["parameters"]["baseTime"].toString(), "");
}

TEST_F(ServerCommandRoundTripTest, DownloadsLandInTheirFolders)
{
    auto send = [&](std::vector<std::string> names, int type) {
        auto command = download(m_requester, std::move(names), type, kProgressTypeSingle);
        size_t before = m_requester->results.size();
        size_t expected = command->fileNameList()->size();
        int id = NetworkModel::sharedInstance()->sendRequest(command);
        EXPECT_EQ(id, command->downloadId());
        EXPECT_TRUE(runUntil([&] { return m_requester->results.size() >= before + expected; }));
        return std::make_pair(command->downloadId(), before);
    };
    const std::string client = base::Paths::documents() + "/acmeco/";

    auto [batchId, start] = send({"ch1.jpg", "ch1_t.jpg", "tb1.jpg"}, 1);
    ASSERT_EQ(m_requester->results.size(), start + 3);
    std::set<std::string> names;
    for (size_t i = start; i < start + 3; ++i) {
        auto result = m_requester->download(i);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, "200");
        EXPECT_EQ(result->downloadId, batchId);
        EXPECT_EQ(result->fileId, 501);
        EXPECT_EQ(result->type, 1);
        EXPECT_EQ(result->cmdCode, kCmdDownload);
        names.insert(result->fileName);
        EXPECT_TRUE(std::filesystem::is_regular_file(client + "ProductImages/" + result->fileName)) << result->fileName;
    }
    EXPECT_EQ(names, (std::set<std::string>{"ch1.jpg", "ch1_t.jpg", "tb1.jpg"}));

    struct Case {
        std::string name;
        int type;
        std::string local;
    } cases[] = {{"brochure_c.jpg", 4, "LibraryImages/brochure_c.jpg"},
                 {"brochure.pdf", 5, "Pdf/brochure.pdf"},
                 {"demo.webm", 6, "Video/demo.webm"},
                 {"SkinImages.zip", 10, "SkinImages.zip"}};
    int lastId = batchId;
    for (const Case& c : cases) {
        auto [id, at] = send({c.name}, c.type);
        EXPECT_EQ(id, lastId + 1);
        lastId = id;
        auto result = m_requester->download(at);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, "200") << c.name;
        EXPECT_TRUE(std::filesystem::is_regular_file(client + c.local)) << c.local;
    }
    // The address keeps the client id as the server knows it.
    for (const base::Value& record : logged("file"))
        EXPECT_NE(record["request"].toString().find("/AcmeCo/"), std::string::npos) << record["request"].toString();

    // The types the fixture holds no file of ask in their own server folders, and a missing
    // file leaves nothing behind.
    struct Folder {
        int type;
        const char* server;
        const char* local;
    } folders[] = {{2, "CatalogImages", "CatalogImages"}, {3, "icon", "ConfigImages"},
                   {7, "library/excel", "Excel"}, {8, "library/word", "Word"}, {9, "library/keynote", "Keynote"}};
    for (const Folder& f : folders) {
        size_t from = logged("file").size();
        auto [id, at] = send({"absent.bin"}, f.type);
        EXPECT_EQ(m_requester->download(at)->status, "404") << f.type;
        auto records = logged("file");
        ASSERT_GT(records.size(), from) << f.type;
        EXPECT_NE(records.back()["request"].toString().find(std::string("/AcmeCo/") + f.server + "/absent.bin"),
                  std::string::npos)
            << records.back()["request"].toString();
        EXPECT_FALSE(std::filesystem::exists(client + f.local + "/absent.bin")) << f.local;
    }

    auto [missingId, missingAt] = send({"nothing_here.jpg"}, 1);
    auto missing = m_requester->download(missingAt);
    EXPECT_EQ(missing->status, "404");
    EXPECT_EQ(missing->message, Language::stringWithName("404"));
    EXPECT_FALSE(std::filesystem::exists(client + "ProductImages/nothing_here.jpg"));

    ASSERT_TRUE(backend().setFault("tb1_t.jpg", "error500", 0));
    auto [failedId, failedAt] = send({"tb1_t.jpg"}, 1);
    auto failed = m_requester->download(failedAt);
    EXPECT_NE(failed->status, "200");
    EXPECT_NE(failed->status, "404");
    EXPECT_EQ(failed->message, Language::stringWithName("DOWNLOADERROR"));

    // Without names nothing is sent and nothing answers.
    size_t requests = logged("file").size();
    auto empty = std::make_shared<RequestDownload>();
    empty->setReceiveDelegete(m_requester);
    size_t heard = m_requester->results.size();
    NetworkModel::sharedInstance()->sendRequest(empty);
    runUntil([] { return false; }, 0.3);
    EXPECT_EQ(m_requester->results.size(), heard);
    EXPECT_EQ(logged("file").size(), requests);
}

} // namespace
