#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <optional>
#include <string>
#include <vector>

namespace pdf {

// What drawing one page asks of the machine, read from the file's own objects. Read in the
// page workers only, and never a reason to refuse a page: the workers' limits are the guard.
// Drawing uses it to pick its road for pages of pictures.
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

// Past any of these the scan stops counting: the figures are then "at least".
struct PageLimits {
    static constexpr double kImagePixels = 600.0 * 1000 * 1000;
    static constexpr double kImageBytes = 256.0 * 1024 * 1024;
    static constexpr size_t kSaveDepth = 10000;
    static constexpr size_t kOperators = 5 * 1000 * 1000;
    static constexpr size_t kContentBytes = 64u * 1024 * 1024;
};

// The cost of page `number` (from 1) of the PDF at `path`. A page that cannot be read this way
// (a damaged file the drawing library repairs) answers `read` false.
PageCost pageCost(const std::string& path, int number);
// Whether the page draws any picture at all, remembered for the file's current version;
// nothing when the page could not be read this way.
std::optional<bool> pageDrawsPictures(const std::string& path, int number);
// The pixels of every picture the page draws (masks and each use counted), remembered as above.
std::optional<double> pagePicturePixels(const std::string& path, int number);
// A page's place on paper, read from the file's own objects.
struct PageGeometry {
    int rotation = 0;     // 0, 90, 180, 270
    bool boxRead = false; // the media and crop boxes were plain numbers and overlap
    double box[4] = {};   // then the crop box cut to the media box: x, y, width, height (unrotated)
};

// The first `count` pages in order; fewer when its page tree cannot be read this way.
std::vector<PageGeometry> pageGeometries(const std::string& path, size_t count);

// A page that shows one JPEG picture upright and nothing else (a photographed or scanned page).
struct PhotoPage {
    double x = 0, y = 0, width = 0, height = 0; // where the picture lies, in the page's own units
    int pixelWidth = 0, pixelHeight = 0;         // as its dictionary says
    bool gray = false;
    std::span<const uint8_t> jpeg;               // its bytes, as long as `use` runs
};
// Calls `use` and answers true when page `number` is such a page.
bool withPhotoPage(const std::string& path, int number, const std::function<void(const PhotoPage&)>& use);

} // namespace pdf
