#include "Platform/Base/BlockPool.h"
#include "Platform/Base/Value.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <string>
#include <thread>
#include <vector>

using namespace base;

namespace {

// Runs the work on a thread with a small machine stack, as a worker thread may have.
template<typename Work>
void onSmallStack(Work work)
{
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 128 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attr, [](void* w) -> void* { (*static_cast<Work*>(w))(); return nullptr; }, &work),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

// Levels alternate between one-element arrays and one-member dictionaries around a text.
Value nested(size_t depth, const std::string& innermost)
{
    Value v(innermost);
    for (size_t i = 0; i < depth; ++i) {
        if (i % 2) {
            Array a;
            a.push_back(std::move(v));
            v = Value(std::move(a));
        } else {
            Dictionary d;
            d.set("k", std::move(v));
            v = Value(std::move(d));
        }
    }
    return v;
}

Value* innermostOf(Value& v)
{
    Value* at = &v;
    while (at->isArray() || at->isDictionary())
        at = at->isArray() ? &at->asArray()[0] : at->asDictionary().find("k");
    return at;
}

TEST(ValueTree, DeepTreesCopyCompareAndDieOnASmallStack)
{
    bool equalCopy = false, differsAfterChange = false, differsInDepth = false;
    std::string copiedInnermost;
    onSmallStack([&] {
        Value tree = nested(100000, "a text longer than fifteen bytes");
        Value copy = tree;
        copiedInnermost = innermostOf(copy)->asString().str();
        equalCopy = copy == tree;
        *innermostOf(copy) = Value("changed");
        differsAfterChange = copy != tree;
        differsInDepth = nested(100000, "x") != nested(99999, "x");
        Value assigned;
        assigned = tree;
    });
    EXPECT_EQ(copiedInnermost, "a text longer than fifteen bytes");
    EXPECT_TRUE(equalCopy);
    EXPECT_TRUE(differsAfterChange);
    EXPECT_TRUE(differsInDepth);
}

TEST(ValueTree, CopiesAndComparisonsKeepEveryKindAndOrder)
{
    Dictionary inner{{"n", Value(*Decimal::fromText("1.50"))}, {"b", Value(Bytes{1, 2, 3})}, {"d", Value(Date(86400))}};
    Dictionary big;
    for (int i = 0; i < 40; ++i) // past the size where lookups use an index
        big.set("key number " + std::to_string(i), i);
    Value original(Array{Value(std::move(inner)), Value(std::move(big)), Value(), Value(true), Value(2.5),
                         Value("long enough to live on the heap"), Value(Array{})});
    Value copy = original;
    EXPECT_EQ(copy, original);
    EXPECT_EQ(copy.asArray()[0]["n"].asDecimal().sourceText(), "1.50");
    EXPECT_EQ(copy.asArray()[1].asDictionary().entries()[39].first, "key number 39");
    EXPECT_EQ(copy.asArray()[1]["key number 33"].asInteger(), 33);

    // Members compare in any order; any difference anywhere is seen.
    EXPECT_EQ(Value(Dictionary{{"a", 1}, {"b", 2}}), Value(Dictionary{{"b", 2}, {"a", 1}}));
    struct Change {
        const char* what;
        void (*apply)(Value&);
    };
    const Change changes[] = {
        {"decimal", [](Value& v) { v.asArray()[0].asDictionary().set("n", Value(*Decimal::fromText("1.5001"))); }},
        {"bytes", [](Value& v) { v.asArray()[0].asDictionary().set("b", Value(Bytes{1, 2})); }},
        {"indexed member", [](Value& v) { v.asArray()[1].asDictionary().set("key number 33", 34); }},
        {"missing member", [](Value& v) { v.asArray()[1].asDictionary().remove("key number 0"); }},
        {"type", [](Value& v) { v.asArray()[2] = Value(0); }},
        {"element", [](Value& v) { v.asArray().back().asArray().push_back(Value()); }},
        {"length", [](Value& v) { v.asArray().pop_back(); }},
    };
    for (const Change& change : changes) {
        Value changed = original;
        change.apply(changed);
        EXPECT_NE(changed, original) << change.what;
        EXPECT_NE(original, changed) << change.what;
    }
}

// Values made while a pool is in use keep their blocks in its chunks; they must outlive the pool,
// be changed and freed anywhere, and free every chunk once the last block goes (the leak checker
// of the sanitizer build sees any chunk left).
TEST(ValueTree, PooledValuesOutliveTheirPoolAndMoveBetweenThreads)
{
    std::vector<Value> kept;
    {
        BlockPool pool;
        BlockPool::Use use(pool);
        for (int i = 0; i < 20000; ++i) {
            Dictionary d;
            d.set("a member key longer than fifteen", Value(std::string(40, char('a' + i % 26))));
            d.set("list", Value(Array{Value(i), Value("another long enough text value")}));
            kept.emplace_back(std::move(d));
        }
    }
    // Changed after the pool is gone: blocks regrow and texts are replaced from the heap.
    for (size_t i = 0; i < kept.size(); i += 7) {
        kept[i].asDictionary().find("list")->asArray().push_back(Value("grown after the pool was gone"));
        kept[i].asDictionary().set("a member key longer than fifteen", Value("short"));
    }
    Value moved = std::move(*kept[1].asDictionary().find("list"));
    std::thread([&] {
        for (size_t i = 0; i < kept.size(); i += 2)
            kept[i] = Value();
    }).join();
    EXPECT_EQ(moved.asArray()[1].asString(), "another long enough text value");
    EXPECT_EQ(kept[7]["list"].asArray().size(), 3u);
    EXPECT_EQ(kept[7]["a member key longer than fifteen"].asString(), "short");
    EXPECT_EQ(kept[9]["a member key longer than fifteen"].asString(), std::string(40, char('a' + 9)));
    kept.clear();
    EXPECT_EQ(moved.asArray()[0].asInteger(), 1);
}

} // namespace
