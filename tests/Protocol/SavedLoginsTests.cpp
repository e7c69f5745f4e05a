// The saved-login rules as tables: each case a stored list, one change and the list after it.
#include "Protocol/SavedLogins.h"
#include "tests/App/AppTestSupport.h"

namespace {

using base::Array;
using base::Dictionary;
using base::Value;

Value entry(std::string user, std::string credential, std::string client, std::optional<std::string> device,
            std::optional<std::string> shortcut)
{
    Dictionary d{{SavedLogins::kUser, user}, {SavedLogins::kCredential, credential}, {SavedLogins::kClient, client}};
    if (device)
        d.set(SavedLogins::kDevice, *device);
    if (shortcut)
        d.set(SavedLogins::kShortcut, *shortcut);
    return Value(std::move(d));
}

// Entries compared as written: "user/client/flag" (flag "-" when missing), plus the credential
// and device where a case names them.
std::string brief(const Array& list)
{
    std::string out;
    for (const Value& e : list) {
        if (!out.empty())
            out += " ";
        out += e[SavedLogins::kUser].toString() + "/" + e[SavedLogins::kClient].toString() + "/"
            + (e[SavedLogins::kShortcut].isString() ? e[SavedLogins::kShortcut].asString() : "-");
    }
    return out;
}

const std::string kA = "d41d8cd98f00b204e9800998ecf8427e";
const std::string kB = "ca6c5d8960b5f761e1676d26b282889c";

class SavedLoginsTest : public apptest::AppServiceTest {};

TEST_F(SavedLoginsTest, UpdateAfterLogin)
{
    const Array shortcutOfA{entry("ann", kA, "Acme", "dev", "YES"), entry("zed", kA, "Other", "dev", "YES")};
    struct Case {
        const char* name;
        Array stored;
        SavedLogins::Login login;
        bool shortcut;
        const char* expected;
    } cases[] = {
        {"first login", {}, {"bob", kB, "Acme", "dev"}, false, "bob/Acme/-"},
        {"first login with a shortcut", {}, {"bob", kB, "Acme", "dev"}, true, "bob/Acme/YES"},
        {"blank client id creates nothing", {}, {"bob", kB, " \t", "dev"}, true, ""},
        {"takeover: the other user of the client loses the tile", shortcutOfA, {"bob", kB, "Acme", "dev"}, true,
         "bob/Acme/YES ann/Acme/NO zed/Other/YES"},
        {"no shortcut asked: the other user keeps it", shortcutOfA, {"bob", kB, "Acme", "dev"}, false,
         "bob/Acme/- ann/Acme/YES zed/Other/YES"},
        {"move to the front keeping the flag", shortcutOfA, {"zed", kA, "Other", "dev"}, false,
         "zed/Other/YES ann/Acme/YES"},
        {"move to the front keeping no flag",
         {entry("ann", kA, "Acme", "dev", std::nullopt), entry("zed", kA, "Other", "dev", "NO")},
         {"zed", kA, "Other", "dev"}, false, "zed/Other/NO ann/Acme/-"},
        {"client and user compare exactly", shortcutOfA, {"Ann", kA, "acme", "dev"}, false,
         "Ann/acme/- ann/Acme/YES zed/Other/YES"},
        {"duplicates both move, the later first",
         {entry("x", kA, "C", "d1", std::nullopt), entry("y", kA, "C", "d", std::nullopt),
          entry("x", kA, "C", "d2", std::nullopt)},
         {"x", kA, "C", "dev"}, true, "x/C/YES x/C/YES y/C/NO"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(brief(SavedLogins::afterLogin(c.stored, c.login, c.shortcut, false)), c.expected) << c.name;

    // Duplicates: the later one ends first.
    Array dups{entry("x", kA, "C", "d1", std::nullopt), entry("x", kA, "C", "d2", std::nullopt)};
    Array moved = SavedLogins::afterLogin(dups, {"x", kA, "C", "dev"}, false, false);
    EXPECT_EQ(moved[0][SavedLogins::kDevice].toString(), "d2");
    EXPECT_EQ(moved[1][SavedLogins::kDevice].toString(), "d1");

    // The moved entry keeps its credential and device unless the login renews them (a form
    // login after a password change on the server).
    Array kept = SavedLogins::afterLogin(shortcutOfA, {"ann", kB, "Acme", "dev9"}, false, false);
    EXPECT_EQ(kept[0][SavedLogins::kCredential].toString(), kA);
    EXPECT_EQ(kept[0][SavedLogins::kDevice].toString(), "dev");
    Array renewed = SavedLogins::afterLogin(shortcutOfA, {"ann", kB, "Acme", "dev9"}, false, true);
    EXPECT_EQ(renewed[0][SavedLogins::kCredential].toString(), kB);
    EXPECT_EQ(renewed[0][SavedLogins::kDevice].toString(), "dev9");
    EXPECT_EQ(renewed[1], shortcutOfA[1]);
    // A new entry carries all four texts.
    Array fresh = SavedLogins::afterLogin({}, {"bob", kB, "Acme", "dev"}, false, false);
    EXPECT_EQ(fresh[0], entry("bob", kB, "Acme", "dev", std::nullopt));
}

TEST_F(SavedLoginsTest, RemovalAndTileDeletion)
{
    const Array list{entry("ann", kA, "Acme", "dev", "YES"), entry("bob", kB, "Acme", "dev", "YES"),
                     entry("ann", kA, "Acme", "dev2", "NO"), entry(" ", kA, "Blank", "dev", "YES")};
    struct Case {
        const char* name;
        std::string user, client;
        const char* expected;
    } removals[] = {
        {"first match only", "ann", "Acme", "bob/Acme/YES ann/Acme/NO  /Blank/YES"},
        {"client compares exactly", "ann", "acme", "ann/Acme/YES bob/Acme/YES ann/Acme/NO  /Blank/YES"},
        {"a blank user never matches", " ", "Blank", "ann/Acme/YES bob/Acme/YES ann/Acme/NO  /Blank/YES"},
    };
    for (const auto& c : removals)
        EXPECT_EQ(brief(SavedLogins::afterRemoval(list, c.user, c.client)), c.expected) << c.name;

    auto deleted = SavedLogins::afterTileDeletion(list, "ann", kA, "Acme");
    ASSERT_TRUE(deleted);
    EXPECT_EQ(brief(*deleted), "bob/Acme/YES ann/Acme/NO  /Blank/YES ann/Acme/NO");
    // The rewritten entry has no device id; the account stays available for completion.
    EXPECT_EQ(deleted->back(), entry("ann", kA, "Acme", std::nullopt, "NO"));
    EXPECT_EQ(SavedLogins::userNameCandidates(*deleted, "an"), std::vector<std::string>{"ann"});
    EXPECT_FALSE(SavedLogins::afterTileDeletion(list, "ann", kA, "ACME"));
    EXPECT_FALSE(SavedLogins::afterTileDeletion({}, "ann", kA, "Acme"));
}

TEST_F(SavedLoginsTest, ReadsOfTheFormAndTheTiles)
{
    const Array list{entry("abc", kA, "Acme", "d", "YES"),   entry("abd", kB, "acmeco", "d", "NO"),
                     entry("abc", kA, "Beta", "d", " "),     entry("abc", kA, "Acme", "d", std::nullopt),
                     entry("zed", kA, "ACMEX", "d", "maybe"), Value("junk")};
    auto pre = SavedLogins::prefill(list);
    ASSERT_TRUE(pre);
    EXPECT_EQ(*pre, std::make_pair(std::string("abc"), std::string("Acme")));
    EXPECT_FALSE(SavedLogins::prefill({}));

    auto tiles = SavedLogins::shortcutEntries(list);
    ASSERT_EQ(tiles.size(), 2u);
    EXPECT_EQ(Value(tiles[0])[SavedLogins::kClient].toString(), "Acme");
    EXPECT_EQ(Value(tiles[1])[SavedLogins::kClient].toString(), "ACMEX");

    struct Taken {
        const char* client;
        const char* user;
        bool taken;
    } taken[] = {{"Acme", "bob", true}, {"Acme", "abc", false}, {"acme", "bob", false}, {"ACMEX", "bob", false}};
    for (const auto& t : taken)
        EXPECT_EQ(SavedLogins::isShortcutTaken(list, t.client, t.user), t.taken) << t.client << " " << t.user;

    using V = std::vector<std::string>;
    EXPECT_EQ(SavedLogins::clientIdsForUser(list, "abc", kA), (V{"Acme", "Beta"}));
    EXPECT_EQ(SavedLogins::clientIdsForUser(list, "abc", kB), V{});
    EXPECT_EQ(SavedLogins::clientIdsForUser(list, "abd", kB), V{"acmeco"});

    struct Completion {
        const char* typed;
        V users, clients;
    } completions[] = {
        {"a", {"abc", "abd"}, {"Acme", "acmeco", "ACMEX"}},
        {"ab", {"abc", "abd"}, {}},
        {"abc", {}, {}},
        {"AC", {}, {"Acme", "acmeco", "ACMEX"}},
        {"acme", {}, {"acmeco", "ACMEX"}},
        {"ACMECO", {}, {}},
        {"", {}, {}},
    };
    for (const auto& c : completions) {
        EXPECT_EQ(SavedLogins::userNameCandidates(list, c.typed), c.users) << c.typed;
        EXPECT_EQ(SavedLogins::clientIdCandidates(list, c.typed), c.clients) << c.typed;
    }
}

TEST_F(SavedLoginsTest, StoreWritesTheDefaultsFile)
{
    EXPECT_TRUE(SavedLogins::stored().empty());
    SavedLogins::store({entry("ann", kA, "Acme", "dev", "YES")});
    base::UserDefaults::resetStandard();
    EXPECT_EQ(brief(SavedLogins::stored()), "ann/Acme/YES");
}

} // namespace
