#include "Platform/Base/Bundle.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Base/UserDefaults.h"
#include "FileTestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

using base::Bundle;
using base::FileManager;
using base::Value;
using basetest::ScopedEnv;

TEST(Bundle, FindsResourcesAndInfoValuesInTheOverriddenFolder)
{
    basetest::TempDir dir;
    ScopedEnv bundle("BRIVANTA_BUNDLE", dir.path().string());
    EXPECT_EQ(Bundle::resourcePath(), dir.path().string());
    EXPECT_EQ(Bundle::shortVersion(), ""); // no Info.plist yet
    EXPECT_TRUE(Bundle::infoValue("Name").isNull());

    ASSERT_TRUE(FileManager::createDirectories(dir / "skins"));
    ASSERT_TRUE(FileManager::writeAtomically(dir / "logo.png", std::string_view("png")));
    ASSERT_TRUE(FileManager::writeAtomically(dir / "skins/blue.plist", std::string_view("x")));
    ASSERT_TRUE(FileManager::writeAtomically(dir / "README", std::string_view("x")));
    ASSERT_TRUE(base::PropertyList::writeFile(
        dir / "Info.plist", base::Dictionary{{"ShortVersion", Value("2.3.4")}, {"Build", Value(77)}}));

    EXPECT_EQ(Bundle::pathForResource("logo", "png"), (dir / "logo.png").string());
    EXPECT_EQ(Bundle::pathForResource("README", ""), (dir / "README").string());
    EXPECT_EQ(Bundle::pathForResource("blue", "plist", "skins"), (dir / "skins/blue.plist").string());
    EXPECT_EQ(Bundle::pathForResource("blue", "plist"), "");
    EXPECT_EQ(Bundle::pathForResource("logo", "jpg"), "");
    EXPECT_EQ(Bundle::shortVersion(), "2.3.4");
    EXPECT_EQ(Bundle::infoValue("Build"), Value(77));
    EXPECT_TRUE(Bundle::infoValue("Missing").isNull());
    EXPECT_EQ(Bundle::buildVersion(), "");
    EXPECT_EQ(Bundle::displayName(), "");

    // The display name falls back to the name.
    ASSERT_TRUE(base::PropertyList::writeFile(dir / "Info.plist", base::Dictionary{{"Name", Value("Plain")}}));
    EXPECT_EQ(Bundle::displayName(), "Plain");
    ASSERT_TRUE(base::PropertyList::writeFile(
        dir / "Info.plist", base::Dictionary{{"Name", Value("Plain")}, {"DisplayName", Value("Shown")},
                                             {"BuildVersion", Value("45")}, {"Identifier", Value("x.y")}}));
    EXPECT_EQ(Bundle::displayName(), "Shown");
    EXPECT_EQ(Bundle::buildVersion(), "45");
    EXPECT_EQ(Bundle::identifier(), "x.y");
}

TEST(Bundle, TheBuiltInfoPlistSitsNextToTheExecutable)
{
    ScopedEnv bundle("BRIVANTA_BUNDLE", std::nullopt);
    std::ifstream cmake(BRIVANTA_SOURCE_DIR "/CMakeLists.txt");
    std::stringstream text;
    text << cmake.rdbuf();
    std::smatch match;
    std::string source = text.str();
    ASSERT_TRUE(std::regex_search(source, match, std::regex(R"(project\(brivanta VERSION ([0-9.]+))")));

    EXPECT_EQ(Bundle::shortVersion(), match[1].str());
    EXPECT_EQ(Bundle::buildVersion(), match[1].str());
    EXPECT_EQ(Bundle::infoValue("Name"), Value("Brivanta"));
    EXPECT_EQ(Bundle::displayName(), "Brivanta");
    EXPECT_FALSE(Bundle::identifier().empty());
}

TEST(Bundle, LocalizedStringsComeFromTheTableOrFallBackToTheDefaultThenTheKey)
{
    basetest::TempDir dir;
    ScopedEnv bundle("BRIVANTA_BUNDLE", dir.path().string());
    ScopedEnv home("BRIVANTA_HOME", (dir / "home").string());
    ScopedEnv language("LANGUAGE", "en");
    base::UserDefaults::resetStandard();
    // No table yet: the default, else the key.
    EXPECT_EQ(Bundle::localizedString("OK", "Fine"), "Fine");
    EXPECT_EQ(Bundle::localizedString("OK"), "OK");

    ASSERT_TRUE(base::PropertyList::writeFile(dir / "Localizable.strings",
                                              base::Dictionary{{"OK", Value("Okay")}, {"Count", Value(3)}}));
    ASSERT_TRUE(base::PropertyList::writeFile(dir / "Other.strings", base::Dictionary{{"OK", Value("Sure")}}));
    EXPECT_EQ(Bundle::localizedString("OK", "Fine"), "Okay");
    EXPECT_EQ(Bundle::localizedString("OK", "", "Other"), "Sure");
    EXPECT_EQ(Bundle::localizedString("Missing", "Fine"), "Fine");
    EXPECT_EQ(Bundle::localizedString("Missing"), "Missing");
    EXPECT_EQ(Bundle::localizedString("Count"), "Count"); // only texts count
}

TEST(Bundle, LocalizedStringsPreferTheTablesOfTheUsersLanguagesInOrder)
{
    basetest::TempDir dir;
    ScopedEnv bundle("BRIVANTA_BUNDLE", dir.path().string());
    ScopedEnv home("BRIVANTA_HOME", (dir / "home").string());
    base::UserDefaults::resetStandard();
    auto defaults = base::UserDefaults::standard();
    ASSERT_TRUE(FileManager::createDirectories(dir / "zh-Hans.lproj"));
    ASSERT_TRUE(FileManager::createDirectories(dir / "en.lproj"));
    ASSERT_TRUE(FileManager::createDirectories(dir / "fr.lproj"));
    ASSERT_TRUE(base::PropertyList::writeFile(dir / "Pull.strings",
                                              base::Dictionary{{"Loading...", Value("Base loading")}, {"Only", Value("base")}}));
    ASSERT_TRUE(base::PropertyList::writeFile(dir / "zh-Hans.lproj/Pull.strings",
                                              base::Dictionary{{"Loading...", Value("加载中...")}}));
    ASSERT_TRUE(base::PropertyList::writeFile(dir / "en.lproj/Pull.strings",
                                              base::Dictionary{{"Loading...", Value("Loading...")}, {"Pull", Value("Pull")}}));
    ASSERT_TRUE(FileManager::writeAtomically(dir / "fr.lproj/Pull.strings", std::string_view("not a list")));

    struct Case {
        std::vector<std::string> languages;
        std::string key;
        std::string expected;
    } cases[] = {
        {{"zh-Hans"}, "Loading...", "加载中..."},
        {{"zh-Hans-CN"}, "Loading...", "加载中..."},   // a longer tag finds the shorter folder
        {{"en", "zh-Hans"}, "Loading...", "Loading..."}, // the order of preference holds
        {{"zh-Hans", "en"}, "Pull", "Pull"},             // a miss goes on to the next language
        {{"fr", "zh-Hans"}, "Loading...", "加载中..."},  // an unreadable table is passed over
        {{"de"}, "Loading...", "Base loading"},          // no folder: the base table
        {{"zh-Hans"}, "Only", "base"},
        {{"zh-Hans"}, "Absent", "Absent"},
    };
    for (const auto& c : cases) {
        base::Array tags;
        for (const auto& tag : c.languages)
            tags.emplace_back(tag);
        ASSERT_TRUE(defaults->setObject(Value(std::move(tags)), base::UserDefaults::kPreferredLanguagesKey));
        EXPECT_EQ(Bundle::localizedString(c.key, "", "Pull"), c.expected) << c.languages.front() << " " << c.key;
    }
    base::UserDefaults::resetStandard();
}
