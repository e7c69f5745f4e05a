#include "tests/App/AppTestSupport.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/PropertyList.h"
#include "Protocol/LoginMode.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using base::Value;

namespace {

class ServerSettingsTest : public apptest::AppServiceTest {
protected:
    ~ServerSettingsTest() override { LoginMode::freeInstance(); }

    base::Value storedOnDisk() const
    {
        auto stored = base::PropertyList::readFile(defaultsFile());
        return stored && stored->isDictionary() ? *stored : base::Value(base::Dictionary());
    }
};

// Counts the store's change notifications while alive.
class ChangeCounter {
public:
    ChangeCounter()
        : m_token(base::NotificationCenter::defaultCenter().addObserver(
              base::UserDefaults::kDidChangeNotification, nullptr, [this](const auto&) { ++count; }))
    {
    }
    int count = 0;

private:
    base::ObserverToken m_token;
};

} // namespace

TEST_F(ServerSettingsTest, FirstCallStoresTheSixDefaults)
{
    auto server = PublicFunction::GetServer();
    EXPECT_EQ(server->strIP(), "localhost");
    EXPECT_EQ(server->httpPort(), 58080);
    EXPECT_EQ(server->websiteServer(), "BrivantaSaas");
    EXPECT_EQ(server->imageIP(), "localhost");
    EXPECT_EQ(server->imageHttpPort(), 580);
    EXPECT_EQ(server->imageWebsiteServer(), "brivanta_saas");
    EXPECT_EQ(server->imageUrlStr(), "localhost:580/brivanta_saas");

    auto disk = storedOnDisk();
    EXPECT_EQ(disk["IP"], Value("localhost"));
    EXPECT_EQ(disk["Port"], Value(58080));
    EXPECT_EQ(disk["Path"], Value("BrivantaSaas"));
    EXPECT_EQ(disk["ImageIP"], Value("localhost"));
    EXPECT_EQ(disk["ImagePort"], Value(580));
    EXPECT_EQ(disk["ImagePath"], Value("brivanta_saas"));
}

TEST_F(ServerSettingsTest, EveryCallReloadsAndFillsOnlyWhatIsMissing)
{
    defaults()->setString("sales.example.net", "IP");
    defaults()->setInteger(0, "Port");
    defaults()->setString("   ", "ImagePath");
    defaults()->setInteger(8080, "ImagePort");
    auto server = PublicFunction::GetServer();
    EXPECT_EQ(server->strIP(), "sales.example.net");
    EXPECT_EQ(server->httpPort(), 58080);
    EXPECT_EQ(server->imageIP(), "localhost");
    // Blanks are a stored path, kept as they are but left out of the address.
    EXPECT_EQ(server->imageWebsiteServer(), "   ");
    EXPECT_EQ(server->imageUrlStr(), "localhost:8080");

    auto disk = storedOnDisk();
    EXPECT_EQ(disk["IP"], Value("sales.example.net"));
    EXPECT_EQ(disk["Port"], Value(58080));
    EXPECT_EQ(disk["ImagePath"], Value("   "));

    defaults()->setInteger(9000, "Port");
    defaults()->setString("files.example.net", "ImageIP");
    auto again = PublicFunction::GetServer();
    EXPECT_EQ(again, server);
    EXPECT_EQ(again->httpPort(), 9000);
    EXPECT_EQ(again->imageIP(), "files.example.net");
}

// Every command and every file download asks: with nothing missing the store is not rewritten.
TEST_F(ServerSettingsTest, AskingAgainWritesNothingUnlessADefaultIsFilledIn)
{
    // The store is replaced whole on every write. The file seen is held open, so its inode
    // number cannot come back for a later file: a different number means a rewrite.
    struct Held {
        int fd = -1;
        ino_t inode = 0;
        explicit Held(const std::string& path) : fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
        {
            struct stat info {};
            if (fd >= 0 && ::fstat(fd, &info) == 0)
                inode = info.st_ino;
        }
        ~Held()
        {
            if (fd >= 0)
                ::close(fd);
        }
    };
    auto current = [this] {
        struct stat info {};
        return ::stat(defaultsFile().c_str(), &info) == 0 ? info.st_ino : ino_t(0);
    };
    PublicFunction::GetServer();
    {
        Held written(defaultsFile().string());
        ASSERT_NE(written.inode, ino_t(0));
        for (int i = 0; i < 3; ++i)
            PublicFunction::GetServer();
        EXPECT_EQ(current(), written.inode);
    }

    defaults()->removeObjectForKey("ImageIP");
    Held removed(defaultsFile().string());
    EXPECT_EQ(PublicFunction::GetServer()->imageIP(), "localhost");
    EXPECT_NE(current(), removed.inode);
    EXPECT_EQ(storedOnDisk()["ImageIP"], Value("localhost"));
}

TEST_F(ServerSettingsTest, ResetOverwritesOnlyCustomValues)
{
    PublicFunction::GetServer();
    {
        ChangeCounter changes;
        PublicFunction::resetUserSetting();
        EXPECT_EQ(changes.count, 0);
    }
    defaults()->setInteger(9000, "Port");
    defaults()->setString("other", "ImageIP");
    {
        ChangeCounter changes;
        PublicFunction::resetUserSetting();
        EXPECT_EQ(changes.count, 2);
    }
    auto disk = storedOnDisk();
    EXPECT_EQ(disk["Port"], Value(58080));
    EXPECT_EQ(disk["ImageIP"], Value("localhost"));
}

TEST_F(ServerSettingsTest, ClearRemovesEveryStoredSetting)
{
    PublicFunction::GetServer();
    defaults()->setString("x", "Login_Info_Array");
    defaults()->setBool(true, "WENDLOFT_SHORTCUT");
    PublicFunction::clearUserDefault();
    for (const char* key : {"IP", "Port", "Path", "ImageIP", "ImagePort", "ImagePath",
                            "Login_Info_Array", "WENDLOFT_SHORTCUT"}) {
        EXPECT_FALSE(defaults()->objectForKey(key)) << key;
        EXPECT_FALSE(storedOnDisk().asDictionary().contains(key)) << key;
    }
}

TEST_F(ServerSettingsTest, FileServerAddressText)
{
    struct Case {
        int port;
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {580, "brivanta_saas", "files:580/brivanta_saas"},
        {80, "brivanta_saas", "files/brivanta_saas"},
        {0, "brivanta_saas", "files/brivanta_saas"},
        {-1, "", "files"},
        {8080, " \t\n", "files:8080"},
        {1, " p ", "files:1/ p "},
    };
    for (const auto& c : cases) {
        ServerInfo info;
        info.setStrIP("commands");
        info.setImageIP("files");
        info.setImageHttpPort(c.port);
        info.setImageWebsiteServer(c.path);
        EXPECT_EQ(info.imageUrlStr(), c.expected) << c.port << " '" << c.path << "'";
    }
}

TEST_F(ServerSettingsTest, WebPagesEscapeTheAccountAndFollowTheLanguage)
{
    defaults()->setInteger(80, "ImagePort");
    auto login = LoginMode::sharedInstance();
    login->setAcountID("ann&lee+1#x");
    login->setClientID("Ac me/é");
    EXPECT_EQ(PublicFunction::editUserUrl(),
              "http://localhost/brivanta_saas/index.php?option=com_news&view=check"
              "&username=ann%26lee%2B1%23x@Ac%20me%2F%C3%A9&from=app&lan=en");
    EXPECT_EQ(PublicFunction::forgetPassWordUrl(),
              "http://localhost/brivanta_saas/index.php?option=com_forgetpw&view=newsletter");

    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    login->setAcountID("ann.lee_2~");
    login->setClientID("ACME");
    EXPECT_EQ(PublicFunction::editUserUrl(),
              "http://localhost/brivanta_saas/index.php?option=com_news&view=check"
              "&username=ann.lee_2~@ACME&from=app&lan=zh");
    EXPECT_EQ(PublicFunction::forgetPassWordUrl(),
              "http://localhost/brivanta_saas/index.php?option=com_cforgetpw&view=newsletter");
}
