// The database layout and the application version move together: the upgrade runs at login only
// when the stored version differs, so a layout shipped under an old version never reaches the
// devices that already have it.
#include "DatabaseTestSupport.h"

#include "Platform/Base/Bundle.h"
#include "Platform/Base/Digest.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> column(sqlite3* handle, const std::string& sql, int index = 0)
{
    std::vector<std::string> values;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return {"(error " + sql + ")"};
    while (sqlite3_step(statement) == SQLITE_ROW) {
        auto text = sqlite3_column_text(statement, index);
        values.push_back(text ? reinterpret_cast<const char*>(text) : "NULL");
    }
    sqlite3_finalize(statement);
    return values;
}

// Tables, their columns and their indexes (the implicit ones of UNIQUE included), independent of
// how the script that made them is written.
std::string layoutDigest(sqlite3* handle)
{
    std::string layout;
    for (const auto& table :
         column(handle, "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite_%' "
                        "ORDER BY name")) {
        layout += "table " + table + "\n" + dbtest::rowsOf(handle, "PRAGMA table_info(\"" + table + "\")");
        for (const auto& index : column(handle, "SELECT name FROM pragma_index_list('" + table + "') ORDER BY name")) {
            layout += "index " + index + "\n"
                + dbtest::rowsOf(handle, "SELECT \"unique\", partial FROM pragma_index_list('" + table + "') WHERE name = '"
                           + index + "'")
                + dbtest::rowsOf(handle, "SELECT seqno, name FROM pragma_index_info('" + index + "')");
        }
    }
    return base::Digest::md5Hex(layout);
}

std::string digestOfFile(const std::filesystem::path& path)
{
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return "(cannot open " + path.string() + ")";
    }
    std::string digest = layoutDigest(handle);
    sqlite3_close(handle);
    return digest;
}

std::string digestOfScript(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::stringstream script;
    script << in.rdbuf();
    sqlite3* handle = nullptr;
    sqlite3_open(":memory:", &handle);
    char* error = nullptr;
    std::string digest;
    if (script.str().empty() || sqlite3_exec(handle, script.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK)
        digest = "(" + path.string() + ": " + (error ? error : "empty") + ")";
    else
        digest = layoutDigest(handle);
    sqlite3_free(error);
    sqlite3_close(handle);
    return digest;
}

std::vector<int> versionParts(const std::string& version)
{
    std::vector<int> parts;
    std::stringstream in(version);
    std::string part;
    while (std::getline(in, part, '.'))
        parts.push_back(std::atoi(part.c_str()));
    return parts;
}

struct Shipped {
    std::string version;
    std::string digest;
};

TEST(SchemaLayout, EveryLayoutShipsUnderAVersionOfItsOwn)
{
    std::ifstream in(std::string(BRIVANTA_SOURCE_DIR) + "/Resources/schema_layouts.txt");
    ASSERT_TRUE(in) << "Resources/schema_layouts.txt";
    std::vector<Shipped> shipped;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::stringstream fields(line);
        Shipped entry;
        fields >> entry.version >> entry.digest;
        ASSERT_FALSE(entry.digest.empty()) << line;
        shipped.push_back(entry);
    }
    ASSERT_GE(shipped.size(), 2u);
    for (size_t i = 1; i < shipped.size(); ++i) {
        EXPECT_LT(versionParts(shipped[i - 1].version), versionParts(shipped[i].version))
            << "versions rise line by line: " << shipped[i].version;
        EXPECT_NE(shipped[i - 1].digest, shipped[i].digest) << "a line per new layout: " << shipped[i].version;
    }

    // The template the build made from Resources/schema.sql is the newest line's layout, shipped
    // under the version the application now reports.
    auto folder = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    std::string current = digestOfFile(folder / "Resources/brivanta_lite.sqlite");
    EXPECT_EQ(shipped.back().digest, current)
        << "Resources/schema.sql changed: raise the version in CMakeLists.txt and add a line \""
        << "<new version> " << current << "\" to Resources/schema_layouts.txt";
    EXPECT_EQ(shipped.back().version, base::Bundle::shortVersion())
        << "the newest layout ships under the application's version";

    // The older layout the start-up upgrade test opens is the one its version shipped.
    EXPECT_EQ(digestOfScript(std::string(BRIVANTA_SOURCE_DIR) + "/tests/Database/data/layout-1.0.0.sql"),
              shipped.front().digest);
}

} // namespace
