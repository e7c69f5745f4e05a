#include "tests/App/AppTestSupport.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/PropertyList.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

namespace fs = std::filesystem;

namespace {

base::Dictionary table(const fs::path& file)
{
    auto value = base::PropertyList::readFile(file);
    return value && value->isDictionary() ? value->asDictionary() : base::Dictionary();
}

fs::path sourceTable(const char* name)
{
    return fs::path(BRIVANTA_SOURCE_DIR) / "Resources" / (std::string(name) + ".plist");
}

// The literal keys handed to Language::stringWithName in a source text.
std::set<std::string> keysUsedIn(std::string_view source)
{
    static constexpr std::string_view kCall = "Language::stringWithName(";
    std::set<std::string> keys;
    for (size_t at = source.find(kCall); at != std::string_view::npos; at = source.find(kCall, at + 1)) {
        size_t i = at + kCall.size();
        while (i < source.size() && std::isspace(static_cast<unsigned char>(source[i])))
            ++i;
        if (i >= source.size() || source[i] != '"')
            continue;
        size_t end = source.find('"', i + 1);
        if (end != std::string_view::npos)
            keys.emplace(source.substr(i + 1, end - i - 1));
    }
    return keys;
}

class Listener : public LanguageManagerDelegate {
public:
    explicit Listener(std::function<void()> onChange = {}) : m_onChange(std::move(onChange)) {}
    void notifiChangelanguage() override
    {
        ++calls;
        seenLanguage = LanguageManager::sharedInstance()->currentLanguage();
        if (m_onChange)
            m_onChange();
    }
    int calls = 0;
    int seenLanguage = 0;

private:
    std::function<void()> m_onChange;
};

class LanguageTest : public apptest::AppServiceTest {
protected:
    static std::shared_ptr<LanguageManager> manager() { return LanguageManager::sharedInstance(); }
    static std::string textIn(const char* name, const char* key)
    {
        return base::Value(table(sourceTable(name)))[key].toString();
    }
    static std::string cn(const char* key) { return textIn("language_cn", key); }
    static std::string en(const char* key) { return textIn("language_en", key); }
};

} // namespace

TEST(LanguageTablesTest, BothTablesHoldTheSameNonEmptyTexts)
{
    auto english = table(sourceTable("language_en"));
    auto chinese = table(sourceTable("language_cn"));
    ASSERT_FALSE(english.empty());
    ASSERT_FALSE(chinese.empty());
    std::set<std::string> englishKeys, chineseKeys;
    for (auto& [key, text] : english) {
        englishKeys.insert(key);
        EXPECT_TRUE(text.isString() && !text.asString().empty()) << "language_en: " << key;
    }
    for (auto& [key, text] : chinese) {
        chineseKeys.insert(key);
        EXPECT_TRUE(text.isString() && !text.asString().empty()) << "language_cn: " << key;
    }
    EXPECT_EQ(englishKeys, chineseKeys);
    // The alert title and buttons, the demo refusal, and the status codes the network layer
    // and the envelope reader show.
    for (const char* key : {"OK", "Cancel", "CANCEL", "NOTIFICATION", "FUNCTIONLIMITED",
                            "DEMOMODELOGIN", "SIGNUPNOW", "115", "999", "404"})
        EXPECT_TRUE(englishKeys.count(key)) << key;
}

TEST(LanguageTablesTest, TheBuildCopiesTheTablesIntoTheBundle)
{
    basetest::ScopedEnv bundle("BRIVANTA_BUNDLE", std::nullopt);
    for (const char* name : {"language_en", "language_cn"}) {
        std::string copied = base::Bundle::pathForResource(name, "plist");
        ASSERT_FALSE(copied.empty()) << name;
        EXPECT_EQ(base::FileManager::readFile(copied), base::FileManager::readFile(sourceTable(name))) << name;
    }
}

TEST(LanguageTablesTest, EveryKeyTheSourcesAskForIsInBothTables)
{
    EXPECT_EQ(keysUsedIn("a = Language::stringWithName(\"OK\");\n"
                         "b = Language::stringWithName(\n    \"NOTIFICATION\") + x;\n"
                         "c = Language::stringWithName(status);"),
              (std::set<std::string>{"OK", "NOTIFICATION"}));

    auto english = table(sourceTable("language_en"));
    auto chinese = table(sourceTable("language_cn"));
    auto hasText = [](const base::Dictionary& t, const std::string& key) {
        const base::Value* v = t.find(key);
        return v && v->isString() && !v->asString().empty();
    };
    // Keys handed to widgets as data, which the scan below cannot see: the sort orders.
    // And the catalogue's icon button types' titles, read from its type table; and the
    // inventory's column titles, read through its column records.
    for (const char* key : {"BYNAME", "BYSKU", "BYPRICE", "ADDTOORDER", "SAVEORDER", "PLAY", "VIEWFILE", "SKU", "IMAGE",
                            "PRODUCTNAME", "DESCRIPTION", "QUANTITY"}) {
        EXPECT_TRUE(hasText(english, key)) << key << " in language_en";
        EXPECT_TRUE(hasText(chinese, key)) << key << " in language_cn";
    }
    fs::path root(BRIVANTA_SOURCE_DIR);
    for (const char* folder : {"App", "Common", "Database", "Protocol", "Widgets", "Classes"}) {
        if (!fs::is_directory(root / folder))
            continue;
        for (auto& entry : fs::recursive_directory_iterator(root / folder)) {
            auto ext = entry.path().extension();
            if (!entry.is_regular_file() || (ext != ".cpp" && ext != ".h"))
                continue;
            std::ifstream in(entry.path());
            std::stringstream text;
            text << in.rdbuf();
            for (auto& key : keysUsedIn(text.str())) {
                EXPECT_TRUE(hasText(english, key)) << key << " (" << entry.path() << ") in language_en";
                EXPECT_TRUE(hasText(chinese, key)) << key << " (" << entry.path() << ") in language_cn";
            }
        }
    }
}

TEST_F(LanguageTest, SwitchingTellsEachListenerOnceAndStoresTheChoice)
{
    auto a = std::make_shared<Listener>();
    auto b = std::make_shared<Listener>();
    manager()->registerLanugageNotification(a);
    manager()->registerLanugageNotification(b);
    manager()->registerLanugageNotification(a);
    manager()->registerLanugageNotification(nullptr);
    manager()->unRegisterLanugageNotification(nullptr);
    EXPECT_EQ(Language::stringWithName("OK"), en("OK"));

    manager()->setCurrentLanguage(2);
    EXPECT_EQ(a->calls, 1);
    EXPECT_EQ(b->calls, 1);
    EXPECT_EQ(a->seenLanguage, 2);
    EXPECT_EQ(manager()->currentLanguage(), 2);
    EXPECT_EQ(manager()->curStringLanguage(), "zh");
    EXPECT_EQ(defaults()->integerForKey("language"), 2);
    EXPECT_EQ(base::Value(table(defaultsFile()))["language"], base::Value(2));
    EXPECT_EQ(Language::stringWithName("OK"), cn("OK"));
    EXPECT_NE(cn("OK"), en("OK"));

    manager()->setCurrentLanguage(2);
    EXPECT_EQ(a->calls, 1);
    EXPECT_EQ(b->calls, 1);

    manager()->unRegisterLanugageNotification(a.get());
    manager()->setCurrentLanguage(1);
    EXPECT_EQ(a->calls, 1);
    EXPECT_EQ(b->calls, 2);
    EXPECT_EQ(manager()->curStringLanguage(), "en");
    EXPECT_EQ(Language::stringWithName("OK"), en("OK"));
}

TEST_F(LanguageTest, ListenersMayComeAndGoDuringTheBroadcast)
{
    auto b = std::make_shared<Listener>();
    auto late = std::make_shared<Listener>();
    std::shared_ptr<Listener> a;
    a = std::make_shared<Listener>([&] {
        manager()->unRegisterLanugageNotification(a.get());
        manager()->registerLanugageNotification(late);
    });
    auto gone = std::make_shared<Listener>();
    manager()->registerLanugageNotification(a);
    manager()->registerLanugageNotification(gone);
    manager()->registerLanugageNotification(b);
    gone.reset();

    manager()->setCurrentLanguage(2);
    EXPECT_EQ(a->calls, 1);
    EXPECT_EQ(b->calls, 1);
    EXPECT_EQ(late->calls, 1);

    manager()->setCurrentLanguage(1);
    EXPECT_EQ(a->calls, 1);
    EXPECT_EQ(b->calls, 2);
    EXPECT_EQ(late->calls, 2);
}

TEST_F(LanguageTest, AnotherProcessChoosingALanguageIsPickedUpOnSynchronize)
{
    manager()->setCurrentLanguage(2);
    auto listener = std::make_shared<Listener>();
    manager()->registerLanugageNotification(listener);

    auto onDisk = table(defaultsFile());
    onDisk.set("language", base::Value(1));
    ASSERT_TRUE(base::PropertyList::writeFile(defaultsFile(), base::Value(onDisk)));
    EXPECT_EQ(manager()->currentLanguage(), 2);

    defaults()->synchronize();
    EXPECT_EQ(manager()->currentLanguage(), 1);
    EXPECT_EQ(listener->calls, 1);
    EXPECT_EQ(Language::stringWithName("OK"), en("OK"));
}

TEST_F(LanguageTest, AStrayStoredLanguageStillShowsEnglish)
{
    defaults()->setInteger(5, "language");
    EXPECT_EQ(manager()->currentLanguage(), 5);
    EXPECT_EQ(defaults()->integerForKey("language"), 5);
    EXPECT_EQ(Language::stringWithName("NOTIFICATION"), en("NOTIFICATION"));
    EXPECT_EQ(manager()->curStringLanguage(), "en");
    EXPECT_EQ(Language::stringWithName("NO SUCH KEY"), "");
}

TEST_F(LanguageTest, UnchosenLanguageFollowsTheDevice)
{
    struct Case {
        const char* lang;
        int expected;
    };
    for (auto [lang, expected] : {Case{"zh_CN.UTF-8", 2}, Case{"zh_SG", 2}, Case{"zh_TW.UTF-8", 1},
                                  Case{"zh_HK.UTF-8", 1}, Case{"de_DE.UTF-8", 1}, Case{"C", 1}}) {
        SCOPED_TRACE(lang);
        basetest::ScopedEnv language("LANGUAGE", std::nullopt);
        basetest::ScopedEnv all("LC_ALL", std::nullopt);
        basetest::ScopedEnv messages("LC_MESSAGES", std::nullopt);
        basetest::ScopedEnv locale("LANG", lang);
        auto listener = std::make_shared<Listener>();
        manager()->registerLanugageNotification(listener);
        base::ScopedLogCapture log;
        manager()->setCurrentLanguage(0);
        EXPECT_EQ(manager()->currentLanguage(), expected);
        EXPECT_EQ(defaults()->integerForKey("language"), expected);
        EXPECT_EQ(listener->calls, 0);
        EXPECT_TRUE(log.contains("Preferred Language:"));
        // The store's echo of the derived value changes nothing.
        EXPECT_EQ(manager()->currentLanguage(), expected);
        manager()->removeAllLanugageNotification();
    }
}

TEST_F(LanguageTest, StoredPreferredLanguagesWinOverTheEnvironment)
{
    basetest::ScopedEnv locale("LANG", "de_DE.UTF-8");
    basetest::ScopedEnv language("LANGUAGE", std::nullopt);
    basetest::ScopedEnv all("LC_ALL", std::nullopt);
    basetest::ScopedEnv messages("LC_MESSAGES", std::nullopt);
    EXPECT_EQ(PublicFunction::getPreferredLanguage(), "de");
    defaults()->setObject(base::Value(base::Array{base::Value("zh-Hans"), base::Value("en")}),
                          base::UserDefaults::kPreferredLanguagesKey);
    EXPECT_EQ(PublicFunction::getPreferredLanguage(), "zh-Hans");
}
