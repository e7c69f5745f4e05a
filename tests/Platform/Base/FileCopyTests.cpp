#include "FileTestSupport.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

using base::FileManager;

mode_t modeOf(const std::filesystem::path& path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

TEST(FileCopyTest, CopiesWholeWithTheModeAndLeavesNothingOnFailure)
{
    basetest::TempDir dir;
    base::ScopedLogCapture log;
    base::Bytes content(200000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(FileManager::writeAtomically(dir / "source", content));

    ASSERT_TRUE(FileManager::copyFileAtomically(dir / "source", dir / "copy", 0600));
    EXPECT_EQ(FileManager::readFile(dir / "copy"), content);
    EXPECT_EQ(modeOf(dir / "copy"), 0600u);
    // Replaces an older copy.
    ASSERT_TRUE(FileManager::writeAtomically(dir / "source", std::string_view("new")));
    ASSERT_TRUE(FileManager::copyFileAtomically(dir / "source", dir / "copy", 0600));
    EXPECT_EQ(FileManager::readTextFile(dir / "copy"), "new");

    // A missing source, a folder as source, and a write cut short leave no file behind.
    EXPECT_FALSE(FileManager::copyFileAtomically(dir / "missing", dir / "a"));
    EXPECT_FALSE(FileManager::copyFileAtomically(dir.path(), dir / "b"));
    ASSERT_TRUE(FileManager::writeAtomically(dir / "source", content));
    {
        basetest::ScopedFileSizeLimit limit(4096);
        EXPECT_FALSE(FileManager::copyFileAtomically(dir / "source", dir / "c"));
    }
    EXPECT_EQ(FileManager::contentsOfDirectory(dir.path()),
              (std::vector<std::string>{"copy", "source"}));
}

} // namespace
