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

#include <filesystem>
#include <string>
#include <unistd.h>

namespace dbtest {

// The folder of the running test binary, where the build put the bundle and the fixtures.
inline std::filesystem::path binaryFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
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
