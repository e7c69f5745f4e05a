// Unpacking the demo archive against the unzip tool, and skin picture lookups against decoding
// the same file directly.
#include "Common/SkinManager.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Graphics/Context.h"
#include "Protocol/LoginMode.h"

#include <benchmark/benchmark.h>
#include <stb/stb_image.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Home {
    Home()
    {
        char pattern[] = "/tmp/brivanta-skin-bench-XXXXXX";
        path = mkdtemp(pattern);
        setenv("BRIVANTA_HOME", path.c_str(), 1);
        setenv("BRIVANTA_BUNDLE", BRIVANTA_BUNDLE_DIR, 0);
    }
    ~Home() { fs::remove_all(path); }
    fs::path path;
};

void BM_UnpackDemo(benchmark::State& state)
{
    Home home;
    auto skins = SkinManager::sharedInstance();
    for (auto _ : state)
        if (!skins->initializeDemoZip())
            state.SkipWithError("demo archive missing or broken");
}
BENCHMARK(BM_UnpackDemo)->Unit(benchmark::kMillisecond);

void BM_UnzipToolPeer(benchmark::State& state)
{
    Home home;
    std::string archive = base::Bundle::pathForResource("DEMO", "zip");
    std::string command = "unzip -o -q '" + archive + "' -d '" + (home.path / "out").string() + "'";
    for (auto _ : state) {
        fs::remove_all(home.path / "out");
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("unzip failed");
    }
}
BENCHMARK(BM_UnzipToolPeer)->Unit(benchmark::kMillisecond);

fs::path skinPicture(const Home& home)
{
    LoginMode::sharedInstance()->setClientID("bench");
    fs::path file = home.path / "Documents" / "bench" / "SkinImages" / "icon.png";
    fs::create_directories(file.parent_path());
    auto ctx = gfx::Context::createBitmap({64, 64}, 1);
    ctx->setFillColor(gfx::Color::fromRgb(30, 120, 200));
    ctx->fillEllipse({4, 4, 56, 56});
    base::FileManager::writeAtomically(file, ctx->makeImage().pngData());
    return file;
}

void BM_SkinLookup1000(benchmark::State& state)
{
    Home home;
    skinPicture(home);
    for (auto _ : state)
        for (int i = 0; i < 1000; ++i)
            benchmark::DoNotOptimize(SkinManager::skinFromImageName("icon.png"));
}
BENCHMARK(BM_SkinLookup1000)->Unit(benchmark::kMillisecond);

void BM_DirectDecode1000(benchmark::State& state)
{
    Home home;
    std::string file = skinPicture(home).string();
    for (auto _ : state)
        for (int i = 0; i < 1000; ++i) {
            int w, h, n;
            unsigned char* pixels = stbi_load(file.c_str(), &w, &h, &n, 4);
            benchmark::DoNotOptimize(pixels);
            stbi_image_free(pixels);
        }
}
BENCHMARK(BM_DirectDecode1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
