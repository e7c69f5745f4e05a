#include "Widgets/BRIndexSet.h"

#include <algorithm>
#include <iterator>

BRIndexSet indexesOutsideIndexSet(const BRIndexSet& set, const BRIndexSet& other)
{
    BRIndexSet out;
    std::set_difference(set.begin(), set.end(), other.begin(), other.end(), std::inserter(out, out.end()));
    return out;
}

BRIndexSet indexSetWithRange(uint32_t location, uint32_t length)
{
    BRIndexSet out;
    for (uint64_t i = location; i < uint64_t(location) + length; ++i)
        out.insert(out.end(), static_cast<uint32_t>(i));
    return out;
}
