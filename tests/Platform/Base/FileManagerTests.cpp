#include "Platform/Base/FileManager.h"

#include "FileTestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using base::Bytes;
using base::Date;
using base::FileManager;
using basetest::TempDir;
namespace fs = std::filesystem;

namespace {

void writeText(const fs::path& path, const std::string& text)
{
    ASSERT_TRUE(FileManager::writeAtomically(path, std::string_view(text)));
}

std::string readText(const fs::path& path)
{
    return FileManager::readTextFile(path).value_or("<missing>");
}

} // namespace

TEST(FileManager, WriteAtomicallyReplacesContentsWithTheGivenModeAndLeavesNoTemporary)
{
    TempDir dir;
    fs::path file = dir / "settings.plist";
    writeText(file, "first");
    Bytes second = {0, 1, 2, 255};
    ASSERT_TRUE(FileManager::writeAtomically(file, second, 0600));
    EXPECT_EQ(FileManager::readFile(file), second);
    struct stat st;
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(FileManager::contentsOfDirectory(dir.path()), std::vector<std::string>{"settings.plist"});
    EXPECT_EQ(FileManager::fileSize(file), 4u);
}

TEST(FileManager, FailedWriteKeepsTheOldFileAndRemovesItsTemporary)
{
    TempDir dir;
    fs::path file = dir / "data.bin";
    writeText(file, "good contents");
    {
        basetest::ScopedFileSizeLimit limit(1024);
        std::string big(64 * 1024, 'x');
        EXPECT_FALSE(FileManager::writeAtomically(file, std::string_view(big)));
    }
    EXPECT_EQ(readText(file), "good contents");
    EXPECT_EQ(FileManager::contentsOfDirectory(dir.path()), std::vector<std::string>{"data.bin"});

    EXPECT_FALSE(FileManager::writeAtomically(dir / "missing/data.bin", std::string_view("x")));
    EXPECT_FALSE(FileManager::exists(dir / "missing"));
}

// Syncing now or later, readers see the whole new contents at once, and failures alike.
TEST(FileManager, BothAtomicWritesReplaceWholeAndFailAlike)
{
    using Write = bool (*)(const fs::path&, std::string_view, mode_t);
    struct Case {
        const char* name;
        Write write;
    } cases[] = {
        {"sync now", [](const fs::path& p, std::string_view t, mode_t m) { return FileManager::writeAtomically(p, t, m); }},
        {"sync later", &FileManager::writeAtomicallySyncLater},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::path file = dir / "record.plist";
        ASSERT_TRUE(c.write(file, "first", 0644));
        ASSERT_TRUE(c.write(file, "second", 0600));
        EXPECT_EQ(readText(file), "second");
        struct stat st;
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u);
        {
            basetest::ScopedFileSizeLimit limit(1024);
            EXPECT_FALSE(c.write(file, std::string(64 * 1024, 'x'), 0644));
        }
        EXPECT_EQ(readText(file), "second");
        EXPECT_FALSE(c.write(dir / "missing/record.plist", "x", 0644));
        EXPECT_EQ(FileManager::contentsOfDirectory(dir.path()), std::vector<std::string>{"record.plist"});
        FileManager::waitForLaterSyncs();
    }
}

TEST(FileManager, ReadsListsAndDatesFiles)
{
    TempDir dir;
    EXPECT_FALSE(FileManager::readFile(dir / "none"));
    EXPECT_FALSE(FileManager::readFile(dir.path())); // a folder is not a file
    EXPECT_FALSE(FileManager::fileSize(dir / "none"));
    EXPECT_TRUE(FileManager::contentsOfDirectory(dir / "none").empty());

    ASSERT_TRUE(FileManager::createDirectories(dir / "a/b/c"));
    EXPECT_TRUE(FileManager::isDirectory(dir / "a/b/c"));
    EXPECT_TRUE(FileManager::createDirectories(dir / "a/b/c")); // already there
    writeText(dir / "z.txt", "z");
    writeText(dir / "m.txt", "m");
    EXPECT_EQ(FileManager::contentsOfDirectory(dir.path()),
              (std::vector<std::string>{"a", "m.txt", "z.txt"}));
    EXPECT_FALSE(FileManager::createDirectories(dir / "z.txt/sub"));

    Date when(1600000000.25);
    ASSERT_TRUE(FileManager::setModificationDate(dir / "z.txt", when));
    auto read = FileManager::modificationDate(dir / "z.txt");
    ASSERT_TRUE(read);
    EXPECT_NEAR(read->timeIntervalSince1970(), when.timeIntervalSince1970(), 1e-6);
}

TEST(FileManager, RemoveRecursivelyNeverLeavesItsRoot)
{
    TempDir dir;
    fs::path root = dir / "root";
    fs::path outside = dir / "outside";
    ASSERT_TRUE(FileManager::createDirectories(root / "cache/deep"));
    ASSERT_TRUE(FileManager::createDirectories(outside));
    writeText(outside / "keep.txt", "keep");
    writeText(root / "cache/deep/file", "x");
    fs::create_directory_symlink(outside, root / "cache/deep/link-out");
    fs::create_directory_symlink(outside, root / "escape");

    // Out of bounds: the root itself, its parent, a sibling, and paths that only look inside.
    EXPECT_FALSE(FileManager::removeRecursively(root, root));
    EXPECT_FALSE(FileManager::removeRecursively(root / ".", root));
    EXPECT_FALSE(FileManager::removeRecursively(root / "..", root));
    EXPECT_FALSE(FileManager::removeRecursively(outside, root));
    EXPECT_FALSE(FileManager::removeRecursively(root / "cache/../../outside", root));
    EXPECT_FALSE(FileManager::removeRecursively(root / "escape/keep.txt", root));
    EXPECT_FALSE(FileManager::removeRecursively(root / "cache", dir / "no-such-root"));
    EXPECT_EQ(readText(outside / "keep.txt"), "keep");

    // Inside: symlinks go, their targets stay.
    EXPECT_TRUE(FileManager::removeRecursively(root / "cache", root));
    EXPECT_FALSE(FileManager::exists(root / "cache"));
    EXPECT_TRUE(FileManager::removeRecursively(root / "escape", root));
    EXPECT_FALSE(fs::is_symlink(root / "escape"));
    EXPECT_EQ(readText(outside / "keep.txt"), "keep");
    EXPECT_TRUE(FileManager::isDirectory(root));
    EXPECT_FALSE(FileManager::removeRecursively(root / "gone", root));
}

TEST(FileManager, RemoveItemDeletesLinksNotTargets)
{
    TempDir dir;
    ASSERT_TRUE(FileManager::createDirectories(dir / "target"));
    writeText(dir / "target/keep.txt", "keep");
    ASSERT_TRUE(FileManager::createDirectories(dir / "tree"));
    fs::create_directory_symlink(dir / "target", dir / "tree/link");
    EXPECT_TRUE(FileManager::removeItem(dir / "tree"));
    EXPECT_FALSE(FileManager::exists(dir / "tree"));
    EXPECT_EQ(readText(dir / "target/keep.txt"), "keep");
}

namespace {

// A small tree with a file, a subfolder and a symlink, to move or copy whole.
void makeTree(const fs::path& top)
{
    ASSERT_TRUE(FileManager::createDirectories(top / "sub"));
    writeText(top / "a.txt", "alpha");
    writeText(top / "sub/b.txt", "beta");
    fs::create_symlink("sub/b.txt", top / "link");
    ASSERT_TRUE(FileManager::setModificationDate(top / "a.txt", Date(1500000000)));
}

void expectTree(const fs::path& top)
{
    EXPECT_EQ(readText(top / "a.txt"), "alpha");
    EXPECT_EQ(readText(top / "sub/b.txt"), "beta");
    EXPECT_TRUE(fs::is_symlink(top / "link"));
    EXPECT_EQ(fs::read_symlink(top / "link"), "sub/b.txt");
    EXPECT_EQ(FileManager::modificationDate(top / "a.txt"), Date(1500000000));
}

} // namespace

TEST(FileManager, MoveAndCopyKeepTreesAndRefuseToOverwrite)
{
    TempDir dir;
    makeTree(dir / "src");
    ASSERT_TRUE(FileManager::copyItem(dir / "src", dir / "copy"));
    expectTree(dir / "copy");
    expectTree(dir / "src");

    ASSERT_TRUE(FileManager::moveItem(dir / "src", dir / "moved"));
    EXPECT_FALSE(FileManager::exists(dir / "src"));
    expectTree(dir / "moved");

    EXPECT_FALSE(FileManager::moveItem(dir / "moved", dir / "copy"));
    EXPECT_FALSE(FileManager::copyItem(dir / "moved/a.txt", dir / "copy/a.txt"));
    EXPECT_FALSE(FileManager::moveItem(dir / "none", dir / "other"));
    expectTree(dir / "moved");
    expectTree(dir / "copy");
}

TEST(FileManager, MoveAcrossFileSystemsCopiesThenRemoves)
{
    TempDir local;
    if (!fs::is_directory("/dev/shm"))
        GTEST_SKIP() << "no second file system";
    TempDir other("/dev/shm");
    struct stat a, b;
    ASSERT_EQ(stat(local.path().c_str(), &a), 0);
    ASSERT_EQ(stat(other.path().c_str(), &b), 0);
    if (a.st_dev == b.st_dev)
        GTEST_SKIP() << "/dev/shm is on the same file system";

    makeTree(other / "src");
    ASSERT_TRUE(FileManager::moveItem(other / "src", local / "dst"));
    EXPECT_FALSE(FileManager::exists(other / "src"));
    expectTree(local / "dst");

    writeText(local / "single", "one");
    ASSERT_TRUE(FileManager::moveItem(local / "single", other / "single"));
    EXPECT_EQ(readText(other / "single"), "one");
    EXPECT_FALSE(FileManager::exists(local / "single"));
}
