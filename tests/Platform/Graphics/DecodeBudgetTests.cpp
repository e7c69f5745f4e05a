#include "Platform/Base/BackgroundWork.h"
#include "Platform/Graphics/DecodeBudget.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/Resample.h"
#include "Platform/Graphics/RowDecode.h"

#include "TestSupport.h"
#include "tests/Support/LargePictures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>


namespace gfx {

// Named: the folder's tests may be built as one unit.
namespace decodebudgettest {

// Opaque quadrants: red, green / blue, yellow.
constexpr uint32_t kQuadrants[4] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};

uint32_t quadrantAt(int x, int y, int width, int height)
{
    return kQuadrants[(y >= height / 2 ? 2 : 0) + (x >= width / 2 ? 1 : 0)];
}

Image quadrantPicture(int width, int height)
{
    SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    uint8_t* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < width; ++x)
            row[x] = quadrantAt(x, y, width, height);
    }
    cairo_surface_mark_dirty(surface.get());
    return Image::fromSurface(surface.get(), 1);
}

// A JPEG of the quadrants, progressive or baseline, written by the system's encoder.
base::Bytes quadrantJpeg(int width, int height, bool progressive)
{
    return largepictures::encodeJpeg(width, height, progressive, 90,
                                     [&](int x, int y) { return quadrantAt(x, y, width, height); });
}

bool nearColour(uint32_t a, uint32_t b, int tolerance)
{
    for (int shift = 0; shift < 32; shift += 8) {
        int d = static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff);
        if (std::abs(d) > tolerance)
            return false;
    }
    return true;
}

// Restores the shared budget's limit and peak after a test.
struct BudgetScope {
    explicit BudgetScope(size_t limit)
    {
        DecodeBudget::shared().setLimit(limit);
        DecodeBudget::shared().resetPeak();
    }
    ~BudgetScope() { DecodeBudget::shared().setLimit(DecodeBudget::kDefaultLimit); }
};

bool waitUntil(const std::function<bool()>& done, double seconds = 20)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}

} // namespace decodebudgettest

using namespace decodebudgettest;

TEST(DecodeBudget, DecodesWaitForRoomAndTogetherStayWithinIt)
{
    test::TempDir dir;
    base::Bytes png = quadrantPicture(400, 300).pngData();
    base::Bytes baseline = quadrantJpeg(800, 600, false);
    base::Bytes progressive = quadrantJpeg(800, 600, true);
    {
        std::ofstream(dir.file("picture.png"), std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    }
    struct Case {
        const char* name;
        std::function<Image()> decode;
        int width;
        int height;
    };
    const std::vector<Case> cases = {
        {"png whole", [&] { return Image::fromBytes(png); }, 400, 300},
        {"png fitted", [&] { return Image::fromBytesFitting(png, {100, 100}); }, 100, 75},
        {"png file fitted", [&] { return Image::fromFileFitting(dir.file("picture.png"), {200, 200}); }, 200, 150},
        {"jpeg whole", [&] { return Image::fromBytes(baseline); }, 800, 600},
        {"jpeg scaled", [&] { return Image::fromBytesFitting(baseline, {160, 110}); }, 147, 110},
        {"progressive jpeg scaled", [&] { return Image::fromBytesFitting(progressive, {160, 110}); }, 147, 110},
    };
    // Each of these decodes holds well under 4 MiB: six of them at once would not fit in 4 MiB
    // were they all let in, but a held megabyte leaves room for only some at a time.
    constexpr size_t kLimit = size_t(4) << 20;
    BudgetScope scope(kLimit);
    auto& budget = DecodeBudget::shared();

    // Every decode asks the budget first: with all of it taken, none of them starts.
    auto blocker = std::make_unique<DecodeBudget::Reservation>(budget.reserve(kLimit));
    std::atomic<int> finished = 0;
    std::vector<Image> results(cases.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < cases.size(); ++i)
        threads.emplace_back([&, i] {
            results[i] = cases[i].decode();
            ++finished;
        });
    // All six are parked inside the budget, so none can have decoded. A failure here still
    // lets them go and joins them, so it is reported rather than ending the test program.
    EXPECT_TRUE(waitUntil([&] { return budget.waiting() == cases.size(); })) << budget.waiting();
    EXPECT_EQ(finished.load(), 0);
    blocker.reset();
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(budget.inFlight(), 0u);
    EXPECT_LE(budget.peakInFlight(), kLimit);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(results[i].pixelWidth(), cases[i].width);
        EXPECT_EQ(results[i].pixelHeight(), cases[i].height);
    }

    // One decode larger than the whole budget is refused: nothing could keep it inside.
    BudgetScope tiny(64 << 10);
    budget.resetPeak();
    Image big = Image::fromBytes(baseline);
    EXPECT_TRUE(big.isNull());
    EXPECT_EQ(budget.peakInFlight(), 0u);
}

TEST(DecodeBudget, ReducedJpegDecodesKeepTheirContentAndHoldLittle)
{
    struct Case {
        const char* name;
        bool progressive;
        Size box;
        int width;
        int height;
    };
    const Case cases[] = {
        {"baseline to a thumbnail", false, {160, 110}, 147, 110},
        {"progressive to a thumbnail", true, {160, 110}, 147, 110},
        {"baseline to half", false, {800, 800}, 800, 600},
        {"progressive, just below its size", true, {1500, 1500}, 1500, 1125},
        {"baseline, a box larger than the picture", false, {4000, 4000}, 1600, 1200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        base::Bytes jpeg = quadrantJpeg(1600, 1200, c.progressive);
        BudgetScope scope(DecodeBudget::kDefaultLimit);
        Image image = Image::fromBytesFitting(jpeg, c.box);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.pixelWidth(), c.width);
        EXPECT_EQ(image.pixelHeight(), c.height);
        int w = image.pixelWidth(), h = image.pixelHeight();
        for (auto [x, y] : {std::pair{w / 4, h / 4}, std::pair{3 * w / 4, h / 4}, std::pair{w / 4, 3 * h / 4},
                            std::pair{3 * w / 4, 3 * h / 4}})
            EXPECT_TRUE(nearColour(image.pixelAt(x, y), quadrantAt(x, y, w, h), 12))
                << std::hex << image.pixelAt(x, y) << " at " << std::dec << x << "," << y;
        // A thumbnail of a baseline picture never holds the whole picture's pixels.
        size_t whole = size_t(1600) * 1200 * 4;
        if (!c.progressive && c.width < 400) {
            EXPECT_LT(DecodeBudget::shared().peakInFlight(), whole / 8);
        }
    }
}

TEST(DecodeBudget, AScreensDecodeGoesAheadOfWaitingBackgroundWork)
{
    constexpr size_t kLimit = size_t(64) << 20;
    BudgetScope scope(kLimit);
    auto& budget = DecodeBudget::shared();
    using Priority = DecodeBudget::Priority;
    struct Case {
        const char* name;
        std::vector<Priority> asked; // in the order asked
        std::string order;          // the order let in, by index
    };
    const Case cases[] = {
        {"background only, first come first served", {Priority::Background, Priority::Background, Priority::Background}, "012"},
        {"a screen behind three background decodes", {Priority::Background, Priority::Background, Priority::Background, Priority::Screen}, "3012"},
        {"two screens keep their order", {Priority::Background, Priority::Screen, Priority::Background, Priority::Screen}, "1302"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Each asks for the whole budget, so they are let in one at a time.
        auto blocker = std::make_unique<DecodeBudget::Reservation>(budget.reserve(kLimit));
        std::mutex lock;
        std::string order;
        std::vector<std::thread> threads;
        for (size_t i = 0; i < c.asked.size(); ++i) {
            threads.emplace_back([&, i] {
                auto room = budget.reserve(kLimit, c.asked[i]);
                std::lock_guard guard(lock);
                order += static_cast<char>('0' + i);
            });
            // Asked one after another: each is parked before the next asks. A failure stops
            // asking but still lets the parked ones go and joins them, so it is reported.
            bool parked = waitUntil([&] { return budget.waiting() == i + 1; });
            EXPECT_TRUE(parked) << budget.waiting();
            if (!parked)
                break;
        }
        blocker.reset();
        for (auto& t : threads)
            t.join();
        EXPECT_EQ(order, c.order);
        EXPECT_EQ(budget.inFlight(), 0u);
    }
}

// At the application's end no decode waits and none goes on: every decode waiting in the
// budget returns at once with no picture and no refusal named, the steps of a decode already
// under way stop, and no picture is refused for it. Afterwards the budget serves as before.
TEST(DecodeBudget, TheApplicationsEndDropsWaitingDecodesAndStopsRunningOnes)
{
    base::Bytes png = quadrantPicture(400, 300).pngData();
    base::Bytes baseline = quadrantJpeg(800, 600, false);
    base::Bytes deep = largepictures::png(600, 4, 16);
    base::Bytes gif = largepictures::gif(600);
    struct Case {
        const char* name;
        std::function<Image()> decode;
    };
    const std::vector<Case> cases = {
        {"png whole", [&] { return Image::fromBytes(png); }},
        {"png fitted", [&] { return Image::fromBytesFitting(png, {100, 100}); }},
        {"jpeg scaled", [&] { return Image::fromBytesFitting(baseline, {160, 110}); }},
        {"jpeg whole for a screen",
         [&] { return Image::fromBytesFitting(baseline, {800, 800}, 1, DecodeBudget::Priority::Screen); }},
        {"16-bit png by rows", [&] { return Image::fromBytesFitting(deep, {100, 100}); }},
        {"gif fitted", [&] { return Image::fromBytesFitting(gif, {100, 100}); }},
    };
    constexpr size_t kLimit = size_t(4) << 20;
    BudgetScope scope(kLimit);
    auto& budget = DecodeBudget::shared();
    base::BackgroundWork::resetForTesting();
    auto blocker = std::make_unique<DecodeBudget::Reservation>(budget.reserve(kLimit));
    std::atomic<int> finished = 0;
    std::vector<Image> results(cases.size());
    std::vector<std::string> refused(cases.size());
    std::vector<std::thread> threads;
    for (size_t i = 0; i < cases.size(); ++i)
        threads.emplace_back([&, i] {
            DecodeRefusals refusals;
            results[i] = cases[i].decode();
            refused[i] = refusals.reason();
            ++finished;
        });
    EXPECT_TRUE(waitUntil([&] { return budget.waiting() == cases.size(); })) << budget.waiting();
    base::BackgroundWork::stopAll();
    // Bounded: a failure lets the waiting ones go and joins them, so it is reported.
    EXPECT_TRUE(waitUntil([&] { return finished.load() == int(cases.size()); }, 10)) << finished.load();
    blocker.reset();
    for (auto& t : threads)
        t.join();
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_TRUE(results[i].isNull());
        EXPECT_EQ(refused[i], "");
    }
    EXPECT_EQ(budget.inFlight(), 0u);
    EXPECT_EQ(budget.waiting(), 0u);

    // The steps of a decode under way: a reduction and a read by rows stop between rows.
    Image large = quadrantPicture(1200, 900);
    auto* source = large.cairoSurface();
    ASSERT_NE(source, nullptr);
    EXPECT_FALSE(areaAveragedSurface(source, 1200, 900, 120, 90));
    EXPECT_FALSE(rowdecode::decode(deep, 100, 100));

    // The next run of the application: every line of the budget moves again.
    base::BackgroundWork::resetForTesting();
    EXPECT_TRUE(areaAveragedSurface(source, 1200, 900, 120, 90));
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_FALSE(cases[i].decode().isNull());
    }
}

} // namespace gfx
