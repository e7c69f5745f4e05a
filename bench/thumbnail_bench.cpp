// Product-image thumbnails (at most 160 by 110, PNG) of 1600 by 1200 JPEG photos, against
// ImageMagick's `convert -thumbnail 160x110` on the same files. BRIVANTA_BENCH_FULL=1 uses 500
// photos instead of 8.
#include "Common/PublicFunction.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Graphics/Image.h"
#include "Protocol/LoginMode.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A photo-like picture: smooth gradients with fine noise, so the codec has real work to do.
base::Bytes makePhoto(std::mt19937& random)
{
    const int width = 1600, height = 1200;
    gfx::SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    uint8_t* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    double phase = random() % 628 / 100.0;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int x = 0; x < width; ++x) {
            int noise = static_cast<int>(random() % 24);
            int r = static_cast<int>(127 + 100 * std::sin(x / 180.0 + phase)) + noise;
            int g = static_cast<int>(127 + 100 * std::cos(y / 140.0 - phase)) + noise;
            int b = (x + y) * 255 / (width + height);
            row[x] = 0xFF000000u | (std::min(r, 255) << 16) | (std::min(g, 255) << 8) | b;
        }
    }
    cairo_surface_mark_dirty(surface.get());
    return gfx::Image::fromSurface(surface.get(), 1).jpegData(0.85);
}

struct Photos {
    fs::path home;
    fs::path folder;
    std::vector<std::string> names;

    Photos()
    {
        const bool full = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
        const int count = full ? 500 : 8;
        char pattern[] = "/tmp/brivanta-thumb-bench-XXXXXX";
        home = mkdtemp(pattern);
        setenv("BRIVANTA_HOME", home.c_str(), 1);
        LoginMode::sharedInstance()->setClientID("bench");
        folder = home / "Documents/bench/ProductImages";
        fs::create_directories(folder);
        std::mt19937 random(7);
        // Photos differ only a little, so a few encoded ones are reused under many names.
        std::vector<base::Bytes> distinct;
        for (int i = 0; i < std::min(count, 8); ++i)
            distinct.push_back(makePhoto(random));
        for (int i = 0; i < count; ++i) {
            std::string name = "photo" + std::to_string(i) + ".jpg";
            base::FileManager::writeAtomically(folder / name, distinct[i % distinct.size()]);
            names.push_back(name);
        }
    }
    ~Photos() { fs::remove_all(home); }

    void clearThumbs() const
    {
        for (const auto& name : names)
            fs::remove(folder / thumbName(name));
    }
    static std::string thumbName(const std::string& name) { return name + "_t.png"; }
};

const Photos& photos()
{
    static Photos instance;
    return instance;
}

// The real ImageMagick, not a wrapper that may come first in PATH.
std::string convertTool()
{
    for (const char* candidate : {"/usr/bin/convert", "/usr/bin/convert-im6.q16", "/usr/bin/magick"}) {
        if (access(candidate, X_OK) == 0)
            return candidate;
    }
    return {};
}

bool run(const std::vector<std::string>& argv)
{
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0)
        return false;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_ThumbnailOurs(benchmark::State& state)
{
    const Photos& set = photos();
    for (auto _ : state) {
        state.PauseTiming();
        set.clearThumbs();
        state.ResumeTiming();
        for (const auto& name : set.names) {
            if (!PublicFunction::createImgThumbWithImgNameThumbNameFiletype(name, Photos::thumbName(name), 1)) {
                state.SkipWithError("thumbnail failed");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(set.names.size()));
}
BENCHMARK(BM_ThumbnailOurs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ThumbnailImageMagick(benchmark::State& state)
{
    const Photos& set = photos();
    std::string tool = convertTool();
    if (tool.empty()) {
        state.SkipWithError("ImageMagick is not installed (scripts/setup.sh installs it)");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        set.clearThumbs();
        state.ResumeTiming();
        for (const auto& name : set.names) {
            std::string out = (set.folder / Photos::thumbName(name)).string();
            if (!run({tool, "-thumbnail", "160x110", (set.folder / name).string(), "PNG:" + out})) {
                state.SkipWithError("convert failed");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(set.names.size()));
}
// Wall time: the work happens in child processes.
BENCHMARK(BM_ThumbnailImageMagick)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
