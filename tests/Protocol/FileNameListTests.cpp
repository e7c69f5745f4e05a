#include "Protocol/FileNameList.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> namesOf(const FileNameList& list)
{
    std::vector<std::string> out;
    for (std::string_view name : list)
        out.emplace_back(name);
    return out;
}

// What keepIf keeps is all the list then is: the kept names in their order, a name added
// after them follows them, and once trimmed the list holds their letters and ends alone, not
// the room of the names it dropped.
TEST(FileNameList, KeepIfLeavesOnlyTheKeptNames)
{
    std::vector<std::string> many;
    for (int i = 0; i < 20000; ++i)
        many.push_back("picture-" + std::to_string(i) + (i % 3 ? ".jpg" : ".png"));
    std::vector<std::string> everyThird;
    for (size_t i = 0; i < many.size(); i += 3)
        everyThird.push_back(many[i]);
    using Keep = std::function<bool(std::string_view, size_t)>;
    struct Case {
        const char* name;
        std::vector<std::string> names;
        Keep keep;
        std::vector<std::string> kept;
    } cases[] = {
        {"all", {"a.jpg", "bb.jpg", "ccc.jpg"}, [](std::string_view, size_t) { return true; },
         {"a.jpg", "bb.jpg", "ccc.jpg"}},
        {"none", {"a.jpg", "bb.jpg"}, [](std::string_view, size_t) { return false; }, {}},
        {"the first dropped", {"first.jpg", "b", "c"}, [](std::string_view, size_t at) { return at > 0; }, {"b", "c"}},
        {"the last dropped", {"a", "b", "last.jpg"}, [](std::string_view, size_t at) { return at < 2; }, {"a", "b"}},
        {"by name, empty ones among them", {"", "keep-1", "drop", "", "keep-2"},
         [](std::string_view name, size_t) { return name.empty() || name.starts_with("keep"); },
         {"", "keep-1", "", "keep-2"}},
        {"every third of many", many, [](std::string_view, size_t at) { return at % 3 == 0; }, everyThird},
        {"of many, the longest kept", many, [](std::string_view name, size_t) { return name == "picture-19999.jpg"; },
         {"picture-19999.jpg"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Grown name by name, as a sync gathers them, so the blocks have room beyond the names.
        FileNameList list;
        for (const auto& name : c.names)
            list.push_back(name);
        std::vector<size_t> places;
        list.keepIf([&](std::string_view name, size_t at) {
            EXPECT_EQ(name, c.names.at(at));
            places.push_back(at);
            return c.keep(name, at);
        });
        EXPECT_EQ(places.size(), c.names.size());
        EXPECT_EQ(list.size(), c.kept.size());
        EXPECT_EQ(list.empty(), c.kept.empty());
        EXPECT_EQ(namesOf(list), c.kept);

        list.shrinkToFit();
        size_t letters = 0;
        for (const auto& name : c.kept)
            letters += name.size();
        EXPECT_EQ(list.bytesHeld(), letters + c.kept.size() * sizeof(uint32_t));

        list.push_back("added.jpg");
        auto expected = c.kept;
        expected.push_back("added.jpg");
        EXPECT_EQ(namesOf(list), expected);
    }
}

} // namespace
