// Grouping the customer list by name: 10,000 customers with generated Chinese names through
// CustomerTable (pinyin of each name, keys in pinyin order, rows sorted in each group), against
// a plain std::sort of keys computed beforehand.
#include "Classes/Customer/CustomerTable.h"
#include "Classes/Customer/Pinyin.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kSurnames[] = {"张", "王", "李", "赵", "刘", "陈", "杨", "黄", "吴", "周", "徐", "孙", "马", "朱", "胡", "郭"};
const char* const kWords[] = {"记", "氏", "家", "茶", "庄", "酒", "店", "书", "院", "商", "贸", "餐", "厅", "艺", "馆", "行"};

CustomerInfoDictionary customers(int count)
{
    std::mt19937 random(20130507);
    CustomerInfoDictionary dic;
    for (int i = 1; i <= count; ++i) {
        std::string name = kSurnames[random() % 16];
        for (int w = 0; w < 3; ++w)
            name += kWords[random() % 16];
        dic[i].customer_name = name;
    }
    return dic;
}

void BM_GroupByName(benchmark::State& state)
{
    CustomerTable table({0, 0, 360, 549});
    table.setAllcustomerdic(customers(static_cast<int>(state.range(0))));
    for (auto _ : state) {
        table.RefrashByType(CustomerTable::ByName);
        benchmark::DoNotOptimize(table.customerlist().size());
    }
}
BENCHMARK(BM_GroupByName)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SortPrecomputedKeys(benchmark::State& state)
{
    auto dic = customers(static_cast<int>(state.range(0)));
    std::vector<std::pair<std::string, int>> keys;
    for (const auto& [id, entry] : dic)
        keys.emplace_back(pinyinOfName(entry.customer_name), id);
    for (auto _ : state) {
        auto sorted = keys;
        std::sort(sorted.begin(), sorted.end());
        benchmark::DoNotOptimize(sorted.data());
    }
}
BENCHMARK(BM_SortPrecomputedKeys)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
