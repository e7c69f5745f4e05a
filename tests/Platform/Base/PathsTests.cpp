#include "Platform/Base/Paths.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using base::Paths;
using basetest::ScopedEnv;
using basetest::TempDir;
namespace fs = std::filesystem;

TEST(Paths, HomeComesFromTheEnvironmentInOrderAndIsReadEachTime)
{
    TempDir dir;
    ScopedEnv home("HOME", (dir / "user").string());
    ScopedEnv xdg("XDG_DATA_HOME", std::nullopt);
    {
        ScopedEnv app("BRIVANTA_HOME", (dir / "app").string());
        EXPECT_EQ(Paths::home(), (dir / "app").string());
    }
    {
        ScopedEnv app("BRIVANTA_HOME", std::nullopt);
        EXPECT_EQ(Paths::home(), (dir / "user/.local/share/brivanta").string());
        ScopedEnv data("XDG_DATA_HOME", (dir / "data").string());
        EXPECT_EQ(Paths::home(), (dir / "data/brivanta").string());
    }
}

TEST(Paths, FoldersLiveUnderHomeAndAreCreatedPrivately)
{
    basetest::TempHome home;
    fs::path h = home.path();
    EXPECT_EQ(Paths::documents(), (h / "Documents").string());
    EXPECT_EQ(Paths::library(), (h / "Library").string());
    EXPECT_EQ(Paths::libraryCaches(), (h / "Library/Caches").string());
    EXPECT_EQ(Paths::applicationSupport(), (h / "Library/Application Support").string());
    EXPECT_EQ(Paths::tmp(), (h / "tmp").string());
    for (const char* sub : {"Documents", "Library/Caches", "Library/Application Support", "tmp"}) {
        struct stat st;
        ASSERT_EQ(stat((h / sub).c_str(), &st), 0) << sub;
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(st.st_mode & 077, 0u) << sub;
    }
}
