#pragma once
#include <cstddef>
#include <optional>
#include <string>

namespace pdf {

// What drawing one page would ask of the machine, read from the file's own objects before
// anything is drawn: the drawing library cannot be stopped once it has begun, so a page that
// would take gigabytes or minutes is refused instead.
struct PageCost {
    double imagePixels = 0;      // every picture the page draws, counted per use
    // The bytes those pictures take decoded (at their own depth and components), with the
    // whole-picture buffers their decoders and the drawing make beside them, counted per use.
    double imageBytes = 0;
    size_t saveDepth = 0;        // deepest nesting of saved graphics states
    size_t operators = 0;        // drawing operators, forms included per use
    size_t contentBytes = 0;     // the page's drawing instructions, inflated
    bool read = false;           // false when the page could not be found in the file
};

// Limits no real page reaches; above any of them a page is not drawn.
struct PageLimits {
    // A scan of the largest paper at 600 dots an inch (A0, 19866 x 28087) passes; every pixel
    // is visited when the page is drawn, whatever its depth.
    static constexpr double kImagePixels = 600.0 * 1000 * 1000;
    // Memory: a 1-bit A0 scan takes 70 MB decoded, an A3 colour scan at 300 dots an inch 52 MB.
    static constexpr double kImageBytes = 256.0 * 1024 * 1024;
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
// Whether the page draws any picture at all, remembered likewise; nothing when the page could
// not be read this way.
std::optional<bool> pageDrawsPictures(const std::string& path, int number);

} // namespace pdf
