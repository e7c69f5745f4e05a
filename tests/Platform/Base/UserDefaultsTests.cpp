#include "Platform/Base/UserDefaults.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "FileTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using base::Array;
using base::Date;
using base::Dictionary;
using base::UserDefaults;
using base::Value;
namespace fs = std::filesystem;

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    UserDefaultsTest() { UserDefaults::resetStandard(); }
    ~UserDefaultsTest() override { UserDefaults::resetStandard(); }

    // Drops the shared instance so the next one reads the file.
    static std::shared_ptr<UserDefaults> reloaded()
    {
        UserDefaults::resetStandard();
        return UserDefaults::standard();
    }
    fs::path file() const { return m_home.path() / "Library/Preferences/brivanta.plist"; }

    basetest::TempHome m_home;
};

} // namespace

TEST_F(UserDefaultsTest, ValuesSurviveAReloadWithTheirTypes)
{
    auto defaults = UserDefaults::standard();
    EXPECT_EQ(defaults->filePath(), file());
    Array list{Value("a"), Value(2), Value(false)};
    Dictionary dict{{"z", Value(1)}, {"a", Value(Array{})}, {"when", Value(Date(1600000000))}};
    EXPECT_TRUE(defaults->setBool(false, "flag"));
    EXPECT_TRUE(defaults->setBool(true, "on"));
    EXPECT_TRUE(defaults->setInteger(0, "zero"));
    EXPECT_TRUE(defaults->setInteger(-7, "count"));
    EXPECT_TRUE(defaults->setDouble(2.0, "ratio"));
    EXPECT_TRUE(defaults->setString("", "blank"));
    EXPECT_TRUE(defaults->setString("user@example.com", "user"));
    EXPECT_TRUE(defaults->setObject(Value(Date(1700000000)), "lastSync"));
    EXPECT_TRUE(defaults->setObject(Value(base::Bytes{1, 2, 3}), "token"));
    EXPECT_TRUE(defaults->setObject(Value(list), "list"));
    EXPECT_TRUE(defaults->setObject(Value(dict), "dict"));

    auto back = reloaded();
    ASSERT_NE(back, defaults);
    EXPECT_EQ(back->objectForKey("flag"), Value(false));
    EXPECT_TRUE(back->objectForKey("flag")->isBool());
    EXPECT_TRUE(back->objectForKey("on")->isBool());
    EXPECT_TRUE(back->objectForKey("zero")->isInteger());
    EXPECT_EQ(back->integerForKey("count"), -7);
    EXPECT_TRUE(back->objectForKey("ratio")->isDouble());
    EXPECT_EQ(back->doubleForKey("ratio"), 2.0);
    EXPECT_EQ(back->stringForKey("blank"), "");
    EXPECT_EQ(back->stringForKey("user"), "user@example.com");
    EXPECT_EQ(back->dateForKey("lastSync"), Date(1700000000));
    EXPECT_EQ(back->objectForKey("token"), Value(base::Bytes{1, 2, 3}));
    EXPECT_EQ(back->arrayForKey("list"), list);
    auto dictBack = back->dictionaryForKey("dict");
    ASSERT_TRUE(dictBack);
    EXPECT_EQ(*dictBack, dict);
    EXPECT_EQ(dictBack->entries().front().first, "z");

    // Absent differs from false, zero and empty.
    EXPECT_FALSE(back->objectForKey("missing"));
    EXPECT_FALSE(back->stringForKey("missing"));
    EXPECT_FALSE(back->dateForKey("missing"));
    EXPECT_FALSE(back->boolForKey("missing"));
    EXPECT_EQ(back->integerForKey("missing"), 0);
}

TEST_F(UserDefaultsTest, TypedGettersConvertOnlyWhatMakesSense)
{
    auto defaults = UserDefaults::standard();
    defaults->setInteger(42, "n");
    defaults->setString("17", "s");
    defaults->setBool(true, "b");
    EXPECT_EQ(defaults->stringForKey("n"), "42");
    EXPECT_EQ(defaults->integerForKey("s"), 17);
    EXPECT_TRUE(defaults->boolForKey("n"));
    EXPECT_EQ(defaults->integerForKey("b"), 1);
    EXPECT_FALSE(defaults->stringForKey("b"));
    EXPECT_FALSE(defaults->dateForKey("n"));
    EXPECT_FALSE(defaults->arrayForKey("s"));
    EXPECT_FALSE(defaults->dictionaryForKey("s"));
}

TEST_F(UserDefaultsTest, RemovalsAndRefusalsPersist)
{
    auto defaults = UserDefaults::standard();
    defaults->setString("keep", "a");
    defaults->setString("drop", "b");
    defaults->setString("null", "c");
    EXPECT_TRUE(defaults->removeObjectForKey("b"));
    EXPECT_TRUE(defaults->setObject(Value(), "c")); // null removes
    EXPECT_FALSE(defaults->setObject(Value(Array{Value(1), Value()}), "a"));
    EXPECT_EQ(defaults->stringForKey("a"), "keep");

    auto back = reloaded();
    EXPECT_EQ(back->stringForKey("a"), "keep");
    EXPECT_FALSE(back->objectForKey("b"));
    EXPECT_FALSE(back->objectForKey("c"));
    EXPECT_TRUE(back->removeAll());
    EXPECT_FALSE(reloaded()->objectForKey("a"));
}

TEST_F(UserDefaultsTest, FileIsPrivateAndAHalfWrittenOneNeverReplacesIt)
{
    auto defaults = UserDefaults::standard();
    ASSERT_TRUE(defaults->setString("good", "state"));
    struct stat st;
    ASSERT_EQ(stat(file().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    auto before = base::FileManager::readFile(file());

    {
        basetest::ScopedFileSizeLimit limit(static_cast<rlim_t>(st.st_size) + 512);
        EXPECT_FALSE(defaults->setString(std::string(100000, 'x'), "huge"));
        EXPECT_FALSE(defaults->synchronize());
    }
    EXPECT_EQ(base::FileManager::readFile(file()), before);
    EXPECT_EQ(base::FileManager::contentsOfDirectory(file().parent_path()),
              std::vector<std::string>{"brivanta.plist"});
    EXPECT_EQ(reloaded()->stringForKey("state"), "good");
    EXPECT_FALSE(UserDefaults::standard()->objectForKey("huge"));
}

TEST_F(UserDefaultsTest, ACorruptFileReadsAsEmptyAndIsReplacedOnTheNextChange)
{
    ASSERT_TRUE(base::FileManager::createDirectories(file().parent_path()));
    ASSERT_TRUE(base::FileManager::writeAtomically(file(), std::string_view("<plist><dict><key>a")));
    base::ScopedLogCapture log;
    auto defaults = reloaded();
    EXPECT_TRUE(log.contains("corrupt"));
    EXPECT_FALSE(defaults->objectForKey("a"));
    EXPECT_TRUE(defaults->setInteger(5, "fresh"));
    EXPECT_EQ(reloaded()->integerForKey("fresh"), 5);
}
