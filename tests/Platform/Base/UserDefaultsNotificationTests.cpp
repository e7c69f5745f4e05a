#include "Platform/Base/UserDefaults.h"

#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/PropertyList.h"
#include "FileTestSupport.h"

#include <gtest/gtest.h>

using base::UserDefaults;
using base::Value;

namespace {

class UserDefaultsNotificationTest : public ::testing::Test {
protected:
    UserDefaultsNotificationTest()
        : m_token(base::NotificationCenter::defaultCenter().addObserver(
            UserDefaults::kDidChangeNotification, nullptr,
            [this](const base::Notification& n) {
                senders.push_back(n.object.get());
                // Reading the store from the handler must not deadlock.
                if (auto store = std::static_pointer_cast<UserDefaults>(n.object))
                    lastSeenValue = store->objectForKey("key");
            }))
    {
        UserDefaults::resetStandard();
    }
    ~UserDefaultsNotificationTest() override { UserDefaults::resetStandard(); }

    std::filesystem::path file() const { return m_home.path() / "Library/Preferences/brivanta.plist"; }

    std::vector<const void*> senders;
    std::optional<Value> lastSeenValue;
    basetest::TempHome m_home;

private:
    base::ObserverToken m_token;
};

} // namespace

TEST_F(UserDefaultsNotificationTest, EveryChangePostsOnceBeforeReturning)
{
    auto store = UserDefaults::standard();
    store->setString("a", "key");
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], store.get());
    EXPECT_EQ(lastSeenValue, Value("a"));

    store->setInteger(3, "key");
    store->setBool(true, "other");
    store->setDouble(1.5, "other");
    store->setObject(Value(base::Array{Value(1)}), "other");
    EXPECT_EQ(senders.size(), 5u);
    EXPECT_EQ(lastSeenValue, Value(3));

    store->removeObjectForKey("key");
    EXPECT_EQ(senders.size(), 6u);
    EXPECT_EQ(lastSeenValue, std::nullopt);
    store->removeAll();
    EXPECT_EQ(senders.size(), 7u);

    // Nothing changed here, so nothing is posted.
    store->synchronize();
    store->objectForKey("other");
    EXPECT_EQ(senders.size(), 7u);
}

TEST_F(UserDefaultsNotificationTest, AStoreWithoutSharedOwnerNamesItselfToo)
{
    basetest::TempDir dir;
    UserDefaults local(dir / "own.plist");
    local.setString("b", "key");
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], &local);
}

TEST_F(UserDefaultsNotificationTest, SynchronizeReloadsWhatAnotherProcessWrote)
{
    auto store = UserDefaults::standard();
    store->setString("mine", "key");
    store->setInteger(1, "language");
    senders.clear();

    auto onDisk = base::PropertyList::readFile(file());
    ASSERT_TRUE(onDisk && onDisk->isDictionary());
    onDisk->asDictionary().set("language", Value(2));
    onDisk->asDictionary().remove("key");
    ASSERT_TRUE(base::PropertyList::writeFile(file(), *onDisk, 0600));
    EXPECT_EQ(store->integerForKey("language"), 1);

    EXPECT_TRUE(store->synchronize());
    ASSERT_EQ(senders.size(), 1u);
    EXPECT_EQ(senders[0], store.get());
    EXPECT_EQ(store->integerForKey("language"), 2);
    EXPECT_EQ(store->objectForKey("key"), std::nullopt);

    store->synchronize();
    EXPECT_EQ(senders.size(), 1u);

    // Its own writes afterwards are not mistaken for someone else's.
    store->setInteger(3, "language");
    store->synchronize();
    EXPECT_EQ(senders.size(), 2u);
    EXPECT_EQ(UserDefaults(file()).integerForKey("language"), 3);
}

TEST_F(UserDefaultsNotificationTest, PreferredLanguagesFromTheEnvironment)
{
    struct Case {
        const char* language;
        const char* all;
        const char* messages;
        const char* lang;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, "zh_CN.UTF-8", {"zh-Hans"}},
        {nullptr, nullptr, nullptr, "zh_SG", {"zh-Hans"}},
        {nullptr, nullptr, nullptr, "zh_TW.UTF-8", {"zh-Hant"}},
        {nullptr, nullptr, nullptr, "zh_HK.Big5", {"zh-Hant"}},
        {nullptr, nullptr, nullptr, "zh_MO", {"zh-Hant"}},
        {nullptr, nullptr, nullptr, "zh", {"zh"}},
        {nullptr, nullptr, nullptr, "de_AT.UTF-8@euro", {"de"}},
        {nullptr, nullptr, nullptr, "C.UTF-8", {"en"}},
        {nullptr, nullptr, nullptr, nullptr, {"en"}},
        {"fr_FR:zh_CN::en", nullptr, nullptr, "zh_TW.UTF-8", {"fr", "zh-Hans", "en", "zh-Hant"}},
        {nullptr, "th_TH.UTF-8", "ja_JP.UTF-8", "en_US.UTF-8", {"th", "ja", "en"}},
        {"", "", "POSIX", "zh_cn.utf8", {"zh-Hans"}},
    };
    for (const auto& c : cases) {
        basetest::ScopedEnv language("LANGUAGE", c.language ? std::optional<std::string>(c.language) : std::nullopt);
        basetest::ScopedEnv all("LC_ALL", c.all ? std::optional<std::string>(c.all) : std::nullopt);
        basetest::ScopedEnv messages("LC_MESSAGES", c.messages ? std::optional<std::string>(c.messages) : std::nullopt);
        basetest::ScopedEnv lang("LANG", c.lang ? std::optional<std::string>(c.lang) : std::nullopt);
        EXPECT_EQ(UserDefaults::preferredLanguagesFromEnvironment(), c.expected)
            << (c.language ? c.language : "-") << " " << (c.lang ? c.lang : "-");
    }
}

TEST_F(UserDefaultsNotificationTest, TheStoreAnswersTheEnvironmentsLanguagesUntilItHoldsItsOwn)
{
    basetest::ScopedEnv language("LANGUAGE", std::nullopt);
    basetest::ScopedEnv all("LC_ALL", std::nullopt);
    basetest::ScopedEnv messages("LC_MESSAGES", std::nullopt);
    basetest::ScopedEnv lang("LANG", "zh_TW.UTF-8");
    auto store = UserDefaults::standard();
    EXPECT_EQ(store->arrayForKey(UserDefaults::kPreferredLanguagesKey), base::Array{Value("zh-Hant")});

    store->setObject(Value(base::Array{Value("en"), Value("zh-Hans")}), UserDefaults::kPreferredLanguagesKey);
    EXPECT_EQ(store->arrayForKey(UserDefaults::kPreferredLanguagesKey),
              (base::Array{Value("en"), Value("zh-Hans")}));
    store->removeObjectForKey(UserDefaults::kPreferredLanguagesKey);
    EXPECT_EQ(store->arrayForKey(UserDefaults::kPreferredLanguagesKey), base::Array{Value("zh-Hant")});
    // Answered, never written.
    auto onDisk = base::PropertyList::readFile(file());
    ASSERT_TRUE(onDisk);
    EXPECT_FALSE(onDisk->asDictionary().contains(UserDefaults::kPreferredLanguagesKey));
}
