#pragma once
#include <cstddef>
#include <string>

namespace pdf {

// What drawing one page would ask of the machine, read from the file's own objects before
// anything is drawn: the drawing library cannot be stopped once it has begun, so a page that
// would take gigabytes or minutes is refused instead.
struct PageCost {
    double imagePixels = 0;      // every picture the page draws, counted per use
    size_t saveDepth = 0;        // deepest nesting of saved graphics states
    size_t operators = 0;        // drawing operators, forms included per use
    size_t contentBytes = 0;     // the page's drawing instructions, inflated
    bool read = false;           // false when the page could not be found in the file
};

// Limits no real page reaches; above any of them a page is not drawn.
struct PageLimits {
    static constexpr double kImagePixels = 64.0 * 1000 * 1000;
    static constexpr size_t kSaveDepth = 10000;
    static constexpr size_t kOperators = 5 * 1000 * 1000;
    static constexpr size_t kContentBytes = 64u * 1024 * 1024;
};

// The cost of page `number` (from 1) of the PDF at `path`. A page that cannot be read this way
// (a damaged file the drawing library repairs) answers `read` false and is not judged.
PageCost pageCost(const std::string& path, int number);
bool withinLimits(const PageCost& cost);
// Both at once, remembered for the file's current version.
bool pageIsDrawable(const std::string& path, int number);

} // namespace pdf
