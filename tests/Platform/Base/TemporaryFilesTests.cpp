#include "Platform/Base/TemporaryFiles.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/Paths.h"
#include "FileTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <set>
#include <thread>
#include <vector>

namespace {

TEST(TemporaryFiles, CreatesUniquePrivateEmptyFilesInTheHomeTmp)
{
    basetest::TempDir home;
    basetest::ScopedEnv env("BRIVANTA_HOME", home.path().string());
    std::vector<std::vector<std::string>> made(4);
    std::vector<std::thread> threads;
    for (auto& list : made)
        threads.emplace_back([&list] {
            for (int i = 0; i < 50; ++i)
                if (auto path = base::createTemporaryFile("dl-", ".part"))
                    list.push_back(*path);
        });
    for (auto& t : threads)
        t.join();
    std::set<std::string> unique;
    for (auto& list : made) {
        ASSERT_EQ(list.size(), 50u);
        unique.insert(list.begin(), list.end());
    }
    EXPECT_EQ(unique.size(), 200u);

    const std::string& one = *unique.begin();
    std::filesystem::path path(one);
    EXPECT_EQ(path.parent_path().string(), base::Paths::tmp());
    EXPECT_TRUE(path.filename().string().starts_with("dl-"));
    EXPECT_TRUE(path.filename().string().ends_with(".part"));
    struct stat st {};
    ASSERT_EQ(::stat(one.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 0);

    EXPECT_FALSE(base::createTemporaryFile("../escape"));
    EXPECT_FALSE(base::createTemporaryFile("x", "/y"));
}

} // namespace
