#pragma once
// A scratch folder with real database files and the log captured; any "DB Error" line the
// test did not ask for fails it.
#include "Database/SQLite/BRDatabase.h"
#include "Database/SQLite/BRResultSet.h"
#include "Platform/Base/Log.h"
#include "tests/Platform/Base/FileTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

namespace sqltest {

class SQLiteTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        BRDatabase::releaseDataBase();
        if (!m_expectDBError) {
            for (const auto& line : m_log.lines())
                EXPECT_EQ(line.find("DB Error"), std::string::npos) << "unexpected: " << line;
        }
    }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    std::shared_ptr<BRDatabase> openDatabase(const std::string& name = "test.sqlite")
    {
        auto db = std::make_shared<BRDatabase>(path(name));
        EXPECT_TRUE(db->open());
        return db;
    }

    size_t countLines(std::string_view fragment) const
    {
        auto lines = m_log.lines();
        return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) {
            return l.find(fragment) != std::string::npos;
        }));
    }

    void expectDBError() { m_expectDBError = true; }

    basetest::TempDir m_dir;
    base::ScopedLogCapture m_log;
    bool m_expectDBError = false;
};

} // namespace sqltest
