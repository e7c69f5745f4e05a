#pragma once
// A fresh home, a bundle folder of the test's own holding the built template, a logged-in
// client, and the log captured: any "DB Error" line the test did not ask for fails it, and
// so does a read of a column its row does not have (a mapper naming a wrong column).
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Protocol/LoginMode.h"
#include "tests/Platform/Base/FileTestSupport.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace dbtest {

// The folder of the running test binary, where the build put the bundle and the fixtures.
inline std::filesystem::path binaryFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

// The rows `sql` answers, read straight through the handle: the columns from `first` to before
// `end` (to the last when -1), each followed by '|', a line a row.
inline std::string rowsOf(sqlite3* handle, const std::string& sql, int first = 0, int end = -1)
{
    std::string text;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK)
        return "(error " + sql + ")\n";
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const int last = end < 0 ? sqlite3_column_count(statement) : end;
        for (int i = first; i < last; ++i) {
            auto value = sqlite3_column_text(statement, i);
            text += value ? reinterpret_cast<const char*>(value) : "NULL";
            text += '|';
        }
        text += '\n';
    }
    sqlite3_finalize(statement);
    return text;
}

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DataAccessManager::releaseDataModel();
        LoginMode::freeInstance();
        auto built = binaryFolder() / "Resources/brivanta_lite.sqlite";
        ASSERT_TRUE(base::FileManager::exists(built)) << "the build makes the template";
        ASSERT_TRUE(base::FileManager::copyItem(built, templatePath()));
    }
    void TearDown() override
    {
        DataAccessManager::releaseDataModel();
        LoginMode::freeInstance();
        for (const auto& line : m_log.lines()) {
            if (!m_expectDBError) {
                EXPECT_EQ(line.find("DB Error"), std::string::npos) << "unexpected: " << line;
            }
            EXPECT_EQ(line.find(kMissingColumn), std::string::npos) << "a read names a wrong column: " << line;
        }
    }
    static constexpr const char* kMissingColumn = "could not find the column named";

    static void logIn(const std::string& clientID)
    {
        LoginMode::sharedInstance()->setClientID(clientID);
    }
    std::filesystem::path templatePath() const { return m_bundle.path() / "brivanta_lite.sqlite"; }
    std::filesystem::path documents() const { return m_home.path() / "Documents"; }

    basetest::TempHome m_home;
    basetest::TempDir m_bundle;
    basetest::ScopedEnv m_bundleEnv{"BRIVANTA_BUNDLE", m_bundle.path().string()};
    base::ScopedLogCapture m_log;
    bool m_expectDBError = false;
};

} // namespace dbtest
