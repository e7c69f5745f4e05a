#pragma once
#include "Platform/Graphics/Color.h"

#include <cstdint>
#include <string>
#include <vector>

// The test catalogue the catalogue's tests and benchmarks share: a client folder and database
// filled through the data manager's own saves, as a sync fills them. The same plan always
// gives the same rows and pictures. BRIVANTA_HOME must point at a temporary home.
namespace catalogfixture {

struct Plan {
    uint32_t seed = 1;
    // 0 builds the small fixture below; any other count builds the large one of the benchmarks.
    int products = 0;
    int categories = 500;
    int depth = 4;
    int tags = 300;
    int activeDiscountPercent = 20;
};

// The small fixture's notable rows.
namespace small {
// Categories: A holds 1-2; B holds B1 (3-5), B2 (6) and 7-10 directly; 11-15 have none;
// "Loop" names itself as its parent.
constexpr int kCategoryA = 10, kCategoryB = 20, kCategoryB1 = 21, kCategoryB2 = 22, kCategoryLoop = 30;
// Tags: "Zebra" twice (1: 3; 3: 4, 5), "apple" (1, 2), "empty" (only the unpublished 16) and
// "sapphire", the only way to find 12.
constexpr int kNoAttributes = 1;      // no attributes, no images
constexpr int kSingleValue = 2;       // Colour: "Red"
constexpr int kTwoValues = 3;         // Colour: "Red,Blue"; named "50% Off Chair"
constexpr int kBlankList = 4;         // Colour: ""; named "a_b Table"
constexpr int kAbsentList = 5;        // Colour with no list; named "O'Neil Lamp"
constexpr int kSixAttributes = 6;     // six attributes, three images
constexpr int kActiveDiscount = 7;    // 100.00 with 80.00 while the discount runs
constexpr int kExpiredDiscount = 8;   // 50.00; its discount ended long ago
constexpr int kNegativePrice = 9;     // a hidden price
constexpr int kSecondCurrency = 10;   // priced in EUR
constexpr int kNoPriceRow = 11;
constexpr int kTagOnly = 12;          // found only by the tag "sapphire"
constexpr int kColourAndSize = 13;    // Colour (Red, Blue) and Size (L)
constexpr int kBlanksList = 14;       // Colour " , ": a list of blanks; its thumbnail file is missing
constexpr int kNoImages = 15;
constexpr int kUnpublished = 16;
constexpr int kProductCount = 16;
} // namespace small

struct Built {
    std::string clientId;
    std::vector<int> productIds; // every product, published or not
};

// Builds the fixture for the given client id (the login's client id is set to it).
Built build(const Plan& plan, const std::string& clientId = "fixture");

// The colour the pictures of a product are painted in (its thumbnail and first full image).
gfx::Color colorOfProduct(int productId);
// The file names of a product's first thumbnail and full image; PNG for even ids, JPEG for odd.
std::string thumbnailName(int productId, int view = 0);
std::string fullImageName(int productId, int view = 0);

} // namespace catalogfixture
