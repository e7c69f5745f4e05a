#include "DatabaseTestSupport.h"

#include "Common/PublicFunction.h"
#include "Database/LoginUserModel.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/Digest.h"

namespace {

LoginInfo login(std::optional<std::string> client, std::optional<std::string> device,
                std::optional<std::string> user, std::optional<std::string> password)
{
    LoginInfo info;
    info.clientId = std::move(client);
    info.deviceId = std::move(device);
    info.accountId = std::move(user);
    info.passWord = std::move(password);
    return info;
}

class LoginUserModelTest : public dbtest::DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        logIn("AcMe");
        base::Date::setFixedNow(base::Date(1367937000));
        m_manager = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_manager->hasModels());
        model = m_manager->loginUserModel();
        auto saved = login("ACME", "dev1", "bob", "pw");
        saved.email = "bob@example.com";
        saved.companyName = "Acme";
        saved.companyLink = "http://acme.example";
        ASSERT_TRUE(model->saveUserInfo(saved));
    }
    void TearDown() override
    {
        model.reset();
        m_manager.reset();
        base::Date::setFixedNow(std::nullopt);
        DatabaseTest::TearDown();
    }

    std::shared_ptr<LoginUserModel> model;

private:
    std::shared_ptr<DataAccessManager> m_manager;
};

TEST_F(LoginUserModelTest, OfflineCheckNamesTheFirstFieldThatFails)
{
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", "dev1", "bob", "pw")), "200");
    EXPECT_EQ(model->checkLocalUserInfo(login("AcMe", "dev1", "bob", "pw")), "200");
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", "dev2", "bob", "pw")), "201");
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", "dev1", "Bob", "pw")), "202");
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", "dev1", "bob", "px")), "206");
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", "dev1", "bob", "  ")), "206");
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", std::nullopt, "bob", "pw")), "201");
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", " \t", "bob", "pw")), "201");
    EXPECT_EQ(model->checkLocalUserInfo(login("zzz", "dev1", "bob", "pw")), "210");
    EXPECT_EQ(model->checkLocalUserInfo(login(" ", "dev1", "bob", "pw")), "210");
    EXPECT_EQ(model->checkLocalUserInfo(std::nullopt), "210");
    // Quotes are data, not SQL.
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", "dev1' or '1'='1", "bob", "pw")), "201");
    // Trimming only decides blankness: the stored values are compared as typed.
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", "dev1 ", "bob", "pw")), "201");
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", "dev1", "bob", "pw ")), "206");

    // A row whose credential is not a hash (plain text) never passes, not even its own text,
    // and neither does the stored hash handed back as the credential.
    auto db = BRDatabase::sharedDataBase();
    std::string hash = db->stringForQuery("select password from brivanta_login_user where useName = 'bob'").value_or("");
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", "dev1", "bob", hash)), "206");
    ASSERT_TRUE(db->executeUpdate("update brivanta_login_user set password = 'pw' where useName = 'bob'"));
    EXPECT_EQ(model->checkLocalUserInfo(login("acme", "dev1", "bob", "pw")), "206");
}

TEST_F(LoginUserModelTest, ClientIdsFoldOnlyAsciiLetters)
{
    ASSERT_TRUE(model->saveUserInfo(login("ÄBC", "dev9", "eve", "pw")));
    EXPECT_EQ(model->checkLocalUserInfo(login("Äbc", "dev9", "eve", "pw")), "200");
    // SQLite's lower() leaves "Ä" alone, so a typed "ä" is another client.
    EXPECT_EQ(model->checkLocalUserInfo(login("äbc", "dev9", "eve", "pw")), "210");
}

TEST_F(LoginUserModelTest, SavedUsersReadBackByExactName)
{
    auto info = model->getUserInfo("bob");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->clientId, "ACME");
    EXPECT_EQ(info->deviceId, "dev1");
    // The credential is only kept as a salted hash that verifies it.
    ASSERT_TRUE(info->passWord);
    EXPECT_EQ(info->passWord->rfind("pbkdf2-sha256$", 0), 0u) << *info->passWord;
    EXPECT_TRUE(base::Digest::verifyPasswordHash("pw", *info->passWord));
    EXPECT_EQ(info->email, "bob@example.com");
    EXPECT_EQ(info->companyName, "Acme");
    EXPECT_EQ(info->companyLink, "http://acme.example");
    EXPECT_FALSE(model->getUserInfo(" bob "));
    EXPECT_FALSE(model->getUserInfo("   "));
    EXPECT_FALSE(model->getUserInfo(std::nullopt));

    auto db = BRDatabase::sharedDataBase();
    EXPECT_EQ(db->stringForQuery("select lastLoginTime from brivanta_login_user where useName = 'bob'"),
              PublicFunction::currentTime());

    // A user name saved again replaces its row, whichever client it had.
    ASSERT_TRUE(model->saveUserInfo(login("other", "dev3", "bob", "pw2")));
    EXPECT_EQ(db->intForQuery("select count(*) from brivanta_login_user"), 1);
    EXPECT_EQ(model->getUserInfo("bob")->clientId, "other");
    EXPECT_FALSE(model->getUserInfo("bob")->email);
    EXPECT_FALSE(model->saveUserInfo(std::nullopt));
}

} // namespace
