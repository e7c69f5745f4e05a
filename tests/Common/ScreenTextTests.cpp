// Every main screen as a person reads it: at the longest texts of the large fixture, each
// label's text fits or ends in an ellipsis and no two overlap; in each language, no text of
// the other one shows.
#include "tests/App/MainScreenTestSupport.h"
#include "tests/App/ScreenCheckSupport.h"

#include "Common/SkinManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/PropertyList.h"
#include "Database/SQLite/BRResultSet.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace {

using apptest::MainScreenTest;

// The longest text of each kind in the large fixture, read with the back end's own generator.
std::map<std::string, std::string> fixtureMLongest()
{
    std::string script =
        "import sys; sys.path.insert(0, sys.argv[1]); import fixtures; d = fixtures.load('M')\n"
        "def longest(t, k): print(k + '=' + max((r[k] for r in d[t] if isinstance(r.get(k), str)), key=len))\n"
        "longest('products', 'productName'); longest('products', 'productSKU'); longest('categories', 'categoryName')\n"
        "longest('customers', 'customerName'); longest('libraryFiles', 'title'); longest('tags', 'tagName')\n"
        "print('products=%d' % len(d['products']))\n";
    std::string folder = std::string(BRIVANTA_SOURCE_DIR) + "/tools/backend";
    std::string command = "/usr/bin/python3 -c \"" + script + "\" '" + folder + "' 2>/dev/null";
    std::map<std::string, std::string> out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char line[1024];
        while (std::fgets(line, sizeof line, pipe)) {
            std::string text(line);
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.pop_back();
            if (auto eq = text.find('='); eq != std::string::npos)
                out[text.substr(0, eq)] = text.substr(eq + 1);
        }
        pclose(pipe);
    }
    return out;
}

class ScreenTextTest : public MainScreenTest {
protected:
    static constexpr int kTabs = 8;

    // The demo tenant's texts made as long as the fixture's longest, its first category as
    // full, and a signed order and an open one in its list.
    void fillWithTheLongestTexts(const std::string& client)
    {
        auto longest = fixtureMLongest();
        ASSERT_EQ(longest.size(), 7u) << "the fixture generator did not answer";
        DataAccessManager::releaseDataModel();
        BRDatabase::releaseDataBase();
        // A connection of its own: the shared one belongs to the screens.
        auto db = std::make_shared<BRDatabase>((documents() / client / "brivanta_lite.sqlite").string());
        ASSERT_TRUE(db && db->open());
        ASSERT_TRUE(db->beginTransaction());
        EXPECT_TRUE(db->executeUpdate("UPDATE brivanta_product SET product_name = ?, product_sku = ?", longest["productName"],
                                      longest["productSKU"]));
        EXPECT_TRUE(db->executeUpdate("UPDATE brivanta_category SET category_name = ?", longest["categoryName"]));
        EXPECT_TRUE(db->executeUpdate("UPDATE brivanta_customer SET customer_name = ?", longest["customerName"]));
        EXPECT_TRUE(db->executeUpdate("UPDATE brivanta_library_files SET title = ?", longest["title"]));
        // Thousands of products in one category without sub-categories.
        int products = std::stoi(longest["products"]);
        for (int i = 0; i < products; ++i) {
            int id = 900000 + i;
            EXPECT_TRUE(db->executeUpdate("INSERT INTO brivanta_product (product_id, product_sku, product_name, product_publish) "
                                          "VALUES (?, ?, ?, 1)",
                                          id, longest["productSKU"], longest["productName"]));
            EXPECT_TRUE(db->executeUpdate("INSERT INTO brivanta_product_category_xref (category_id, product_id) "
                                          "SELECT c.category_id, ? FROM brivanta_category c WHERE NOT EXISTS "
                                          "(SELECT 1 FROM brivanta_category s WHERE s.category_parent_id = c.category_id) "
                                          "ORDER BY c.category_id LIMIT 1",
                                          id));
        }
        for (int k = 0; k < 2; ++k)
            EXPECT_TRUE(db->executeUpdate(
                "INSERT INTO brivanta_quote_order (order_id, customer_name, order_number, order_total, order_currency, "
                "order_status, cdate, mdate, customer_note, uploaded, signature) VALUES (?, ?, ?, 1234567.89, 'USD', 1, "
                "'12/07/2026 09:30:00', '12/07/2026 09:30:00', ?, 0, ?)",
                -1 - k, longest["customerName"], "SO-2026-1207-00" + std::to_string(k), longest["productName"],
                k == 0 ? std::string("c2lnbmVk") : std::string()));
        ASSERT_TRUE(db->commit());
        db->close();
    }

    void tapTab(int tag)
    {
        auto tabs = app->tabBarController();
        ASSERT_TRUE(tabs);
        auto button = tabs->buttonWithTag(tag);
        ASSERT_TRUE(button);
        if (button->isHidden())
            return;
        ASSERT_TRUE(driver->tap(button->btn().get()));
        // Twice: the pictures read in the background land, then the views they lay out again
        // start their own reads, and those land too before the window is looked at.
        settle(1);
        settle(1);
    }

    // Each tab in turn, the settings sheet closed again after it was looked at.
    void visitTabs(const std::function<void(int tag)>& look)
    {
        for (int tag = 0; tag < kTabs; ++tag) {
            SCOPED_TRACE(tabName(tag));
            tapTab(tag);
            look(tag);
            if (tag == kSettingsTag) {
                app->tabBarController()->dismissViewController(false);
                settle(1);
            }
        }
    }

    static constexpr int kSettingsTag = 7;

    static const char* tabName(int tag)
    {
        static const char* names[] = {"home", "catalog", "customers", "inventory", "library", "orders", "sync", "settings"};
        return names[tag];
    }
};

TEST_F(ScreenTextTest, AtTheLongestTextsEveryLabelFitsAndNoneOverlap)
{
    ASSERT_TRUE(SkinManager::sharedInstance()->initializeDemoZip());
    fillWithTheLongestTexts(kDemoClient);
    loginAsDemo();
    ASSERT_TRUE(showMain());
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        settle();
        SCOPED_TRACE(language == 1 ? "English" : "Chinese");
        visitTabs([&](int tag) {
            for (const std::string& fault : screencheck::layoutFaults(*app->window()))
                ADD_FAILURE() << fault;
            driver->screenshot(reviewPath(std::string("layout_") + tabName(tag) + (language == 1 ? "_en.png" : "_cn.png")));
        });
    }
}

// ASCII words of two letters or more.
std::set<std::string> latinWords(const std::string& text)
{
    std::set<std::string> words;
    static const std::regex word("[A-Za-z]{2,}");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), word); it != std::sregex_iterator(); ++it)
        words.insert(it->str());
    return words;
}

bool hasHan(const std::string& text)
{
    // The CJK ideographs are three bytes in UTF-8, led by 0xE3..0xE9.
    for (size_t i = 0; i + 2 < text.size(); ++i) {
        auto lead = static_cast<unsigned char>(text[i]);
        if (lead >= 0xE4 && lead <= 0xE9)
            return true;
    }
    return false;
}

TEST_F(ScreenTextTest, EachLanguageShowsNoTextOfTheOther)
{
    ASSERT_TRUE(SkinManager::sharedInstance()->initializeDemoZip());
    // English over the English tenant: no Chinese character may show.
    {
        loginAsDemo();
        ASSERT_TRUE(showMain());
        visitTabs([&](int) {
            for (const std::string& text : screencheck::shownTexts(*app->window()))
                EXPECT_FALSE(hasHan(text)) << "\"" << text << "\" in English";
        });
    }
    // Chinese over the Chinese tenant: a Latin word shows only when the Chinese table itself
    // uses it, or the tenant's own data does.
    std::set<std::string> allowed = {"USD", "CNY", "PDF", "ID"};
    auto chinese = base::PropertyList::readFile(base::Bundle::pathForResource("language_cn", "plist"));
    ASSERT_TRUE(chinese && chinese->isDictionary());
    for (const auto& [key, value] : chinese->asDictionary())
        if (value.isString())
            for (const auto& w : latinWords(value.asString()))
                allowed.insert(w);
    {
        auto db = std::make_shared<BRDatabase>((documents() / "wendloft_" / "brivanta_lite.sqlite").string());
        ASSERT_TRUE(db && db->open());
        // Every text the tenant's own data holds, in every table.
        std::vector<std::string> tables;
        if (auto rows = db->executeQuery("SELECT name FROM sqlite_master WHERE type = 'table'"))
            while (rows->next())
                tables.push_back(rows->stringForColumnIndex(0).value_or(""));
        for (const auto& table : tables) {
            std::string sql = "SELECT * FROM \"" + table + "\"";
            auto rows = db->executeQuery(sql);
            if (!rows)
                continue;
            while (rows->next())
                for (int c = 0; c < rows->columnCount(); ++c)
                    for (const auto& w : latinWords(rows->stringForColumnIndex(c).value_or("")))
                        allowed.insert(w);
        }
        EXPECT_GT(tables.size(), 10u) << "the tenant's tables";
        EXPECT_TRUE(allowed.count("WL")) << "the tenant's own words";
        db->close();
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    app->showLoginPage();
    settle(1);
    // The demo tile is on the login page.
    for (const std::string& text : screencheck::shownTexts(*app->window()))
        for (const auto& w : latinWords(text))
            EXPECT_TRUE(allowed.count(w)) << "\"" << text << "\" on the login page in Chinese";
    loginAsDemo("1,1,1,1,1,1,1", 3, "wendloft_");
    ASSERT_TRUE(showMain());
    visitTabs([&](int) {
        for (const std::string& text : screencheck::shownTexts(*app->window()))
            for (const auto& w : latinWords(text))
                EXPECT_TRUE(allowed.count(w)) << "\"" << text << "\" in Chinese";
    });
}

} // namespace
