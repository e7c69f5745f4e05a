#include "Platform/Base/Pasteboard.h"
#include "Platform/Base/PropertyList.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using namespace base;
namespace fs = std::filesystem;

namespace {

class PasteboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/brivanta-pasteboard-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_home = pattern;
        setenv("BRIVANTA_HOME", m_home.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("BRIVANTA_HOME");
        fs::remove_all(m_home);
    }
    fs::path fileOf(const std::string& name) const
    {
        return m_home / "Library/Pasteboards" / (name + ".plist");
    }

    fs::path m_home;
};

TEST_F(PasteboardTest, LookupWithoutCreateFindsNothingAndUnsafeNamesAreRefused)
{
    EXPECT_EQ(Pasteboard::withName("board.absent", false), nullptr);
    for (const char* bad : {"", ".", "..", "a/b", "../up"})
        EXPECT_EQ(Pasteboard::withName(bad, true), nullptr) << bad;
    EXPECT_EQ(Pasteboard::withName(std::string("a\0b", 3), true), nullptr);
    EXPECT_FALSE(fs::exists(m_home / "Library/Pasteboards/up.plist"));
}

TEST_F(PasteboardTest, ATransientBoardLivesInTheProcessOnly)
{
    auto board = Pasteboard::withName("board.transient", true);
    ASSERT_NE(board, nullptr);
    EXPECT_FALSE(board->isPersistent());
    EXPECT_FALSE(board->valueForType("t").has_value());
    ASSERT_TRUE(board->setValueForType(Value(Dictionary {{"k", "v"}}), "t"));

    auto again = Pasteboard::withName("board.transient", false);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->valueForType("t"), Value(Dictionary {{"k", "v"}}));
    EXPECT_FALSE(fs::exists(fileOf("board.transient")));
}

TEST_F(PasteboardTest, MakingItPersistentWritesItsItemsToItsOwnFileByType)
{
    auto board = Pasteboard::withName("board.kept", true);
    ASSERT_NE(board, nullptr);
    ASSERT_TRUE(board->setValueForType(Value(Dictionary {{"k", "v"}}), "first"));
    ASSERT_TRUE(board->setPersistent(true));
    EXPECT_TRUE(board->isPersistent());
    ASSERT_TRUE(board->setValueForType(Value(Dictionary {{"n", 3}}), "second"));

    auto onDisk = PropertyList::readFile(fileOf("board.kept"));
    ASSERT_TRUE(onDisk && onDisk->isDictionary());
    EXPECT_EQ((*onDisk)["first"], Value(Dictionary {{"k", "v"}}));
    EXPECT_EQ((*onDisk)["second"], Value(Dictionary {{"n", 3}}));

    // Back to transient: the file goes, the items stay.
    ASSERT_TRUE(board->setPersistent(false));
    EXPECT_FALSE(fs::exists(fileOf("board.kept")));
    EXPECT_EQ(board->valueForType("first"), Value(Dictionary {{"k", "v"}}));
}

TEST_F(PasteboardTest, AFileWrittenByAnotherProcessIsFoundAndRead)
{
    fs::create_directories(m_home / "Library/Pasteboards");
    Dictionary items {{"type", Value(Dictionary {{"x", "y"}})}};
    ASSERT_TRUE(PropertyList::writeFile(fileOf("board.other"), Value(items)));

    auto board = Pasteboard::withName("board.other", false);
    ASSERT_NE(board, nullptr);
    EXPECT_TRUE(board->isPersistent());
    EXPECT_EQ(board->valueForType("type"), Value(Dictionary {{"x", "y"}}));
    EXPECT_FALSE(board->valueForType("other").has_value());

    // The other process removes it: the handle finds nothing and writes nothing.
    fs::remove(fileOf("board.other"));
    EXPECT_FALSE(board->valueForType("type").has_value());
    EXPECT_FALSE(board->setValueForType(Value(1), "type"));
    EXPECT_FALSE(fs::exists(fileOf("board.other")));
}

} // namespace
