// The library's viewers against the tools beneath them, on the same files and machine.
// Video: time from opening a clip to its first frame drawn in the player view, and frames
// drawn per second while it plays, against GStreamer's own decoding of the same clip as fast
// as it can (gst-launch-1.0 … fakesink sync=false). The player keeps to the clip's clock, so
// its rate is compared with the clip's rate, and the peer shows how much room decoding leaves.
// Office: first opening of a .docx until its first page is drawn, against the suite's
// conversion alone (soffice --convert-to pdf, profile warmed for both), and the second
// opening from the kept PDF. Ratios are peer / ours from medians.
// BRIVANTA_BENCH_FULL=1: a 10 s 1280 x 720 clip and a 20-page document, medians of three runs;
// the default is one run on a 1 s clip and a one-page document (the peer then starts cold).
// BRIVANTA_BENCH_SMOKE=1: a clip of a fifth of a second, no warm-up conversion, and the peer's
// conversion beside our first opening rather than after it.
#include "BenchSupport.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Media/Player.h"
#include "Platform/Share/OfficeConverter.h"
#include "Platform/Share/OfficeDocumentView.h"
#include "Platform/Share/Program.h"
#include "Platform/UI/Window.h"
#include "tests/Support/OfficeFixtures.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <future>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using benchsupport::msSince;
using benchsupport::median;

bool full()
{
    const char* f = std::getenv("BRIVANTA_BENCH_FULL");
    return f && *f == '1';
}

// Medians of three in full runs; one run proves the bench works in CI.
int runs() { return full() ? 3 : 1; }

// A full run is never a smoke run.
const bool kSmoke = benchsupport::smokeRun() && !full();

struct Files {
    fs::path home;
    std::string clip;
    int clipFrames = 0;
    double clipFps = 30;
    std::string docx;
    int pages = 0;
};

const Files& files()
{
    static Files f = [] {
        Files out;
        char pattern[] = "/tmp/brivanta-viewers-XXXXXX";
        out.home = mkdtemp(pattern);
        setenv("BRIVANTA_HOME", out.home.c_str(), 1);
        int width = full() ? 1280 : 320, height = full() ? 720 : 240, seconds = full() ? 10 : 1;
        out.clipFrames = kSmoke ? 6 : int(out.clipFps) * seconds;
        out.clip = (out.home / "clip.webm").string();
        benchsupport::runProgram({"gst-launch-1.0", "-q", "videotestsrc", "num-buffers=" + std::to_string(out.clipFrames),
                                  "pattern=ball", "!",
                                  "video/x-raw,width=" + std::to_string(width) + ",height=" + std::to_string(height) +
                                      ",framerate=30/1",
                                  "!", "vp8enc", "deadline=1", "!", "webmmux", "!", "filesink", "location=" + out.clip});
        out.pages = full() ? 20 : 1;
        std::vector<std::string> texts;
        for (int page = 1; page <= out.pages; ++page) {
            texts.push_back("Price list, page " + std::to_string(page));
            for (int line = 0; line < 30; ++line)
                texts.push_back("Item " + std::to_string(page * 100 + line) + ": a line of terms and prices to lay out.");
            if (page < out.pages)
                texts.push_back("\f");
        }
        out.docx = (out.home / "prices.docx").string();
        officefix::make(officefix::Kind::Document, out.docx, texts);
        return out;
    }();
    return f;
}

double peerMs(std::vector<std::string> argv)
{
    auto start = Clock::now();
    long rss = benchsupport::runProgram(std::move(argv));
    double ms = msSince(start);
    return rss < 0 ? NAN : ms;
}

void BM_VideoFirstFrameAndRate(benchmark::State& state)
{
    const Files& f = files();
    media::Player::setAudioEnabled(false);
    ui::Window window;
    std::vector<double> firstFrame, fps, peer;
    for (auto _ : state) {
        for (int run = 0; run < runs(); ++run) {
            auto player = media::Player::create();
            auto view = ui::View::make<media::PlayerView>(gfx::Rect(50, 94, 924, 604));
            view->setPlayer(player);
            window.addSubview(view);
            auto start = Clock::now();
            player->play(f.clip);
            auto& loop = base::RunLoop::main();
            // Drawn as the window draws: each frame that arrives is painted before the next.
            auto drawUntil = [&](const std::function<bool()>& done) {
                while (!done() && msSince(start) < 60000 && player->state() == media::Player::State::Playing) {
                    loop.runUntil([] { return false; }, 0.002);
                    window.snapshot();
                }
            };
            drawUntil([&] { return player->framesDrawn() > 0; });
            firstFrame.push_back(msSince(start));
            auto playing = Clock::now();
            uint64_t before = player->framesDrawn();
            drawUntil([&] { return player->endOfStreamCount() > 0; });
            double seconds = msSince(playing) / 1000;
            fps.push_back(seconds > 0 ? double(player->framesDrawn() - before) / seconds : 0);
            player->stop();
            view->setPlayer(nullptr);
            view->removeFromSuperview();
            peer.push_back(peerMs({"gst-launch-1.0", "-q", "filesrc", "location=" + f.clip, "!", "decodebin", "!",
                                   "videoconvert", "!", "fakesink", "sync=false"}));
        }
    }
    double peerFps = f.clipFrames / (median(peer) / 1000);
    state.counters["first_frame_ms"] = median(firstFrame);
    state.counters["frames_drawn_per_s"] = median(fps);
    state.counters["clip_fps"] = f.clipFps;
    state.counters["keep_up_ratio"] = median(fps) / f.clipFps;
    state.counters["peer_decode_ms"] = median(peer);
    state.counters["peer_decode_fps"] = peerFps;
    state.SetLabel(full() ? "10 s 1280x720 VP8" : kSmoke ? "0.2 s 320x240 VP8" : "1 s 320x240 VP8");
}
BENCHMARK(BM_VideoFirstFrameAndRate)->Iterations(1)->Unit(benchmark::kMillisecond);

// Loads the file into an office view on the window; the time until its first page is drawn.
double openUntilFirstPage(ui::Window& window, const std::string& path)
{
    auto view = ui::View::make<share::OfficeDocumentView>(gfx::Rect(0, 44, 1024, 704));
    window.addSubview(view);
    auto start = Clock::now();
    view->loadFile(path);
    base::RunLoop::main().runUntil([&] { return !view->isLoading(); }, 300);
    window.snapshot();
    double ms = msSince(start);
    bool shown = view->pageCount() > 0;
    view->removeFromSuperview();
    return shown ? ms : NAN;
}

void BM_OfficeFirstAndCachedOpening(benchmark::State& state)
{
    const Files& f = files();
    if (!share::OfficeConverter::isAvailable()) {
        state.SkipWithError("soffice is not installed");
        return;
    }
    ui::Window window;
    // The suite's profile is made on its first start; both sides start warm.
    std::string warm = (f.home / "warm.docx").string();
    officefix::make(officefix::Kind::Document, warm, {"warm-up"});
    if (!kSmoke)
        openUntilFirstPage(window, warm);
    fs::path peerProfile = f.home / "peer-profile";
    std::string profileArg = "-env:UserInstallation=file://" + peerProfile.string();
    if (full())
        peerMs({"soffice", profileArg, "--headless", "--convert-to", "pdf", "--outdir", (f.home / "peer").string(), warm});

    std::vector<double> first, cached, peer;
    for (auto _ : state) {
        for (int run = 0; run < runs(); ++run) {
            if (auto kept = share::OfficeConverter::cachedPdfPath(f.docx))
                fs::remove(*kept);
            auto convertByPeer = [&] {
                return peerMs({"soffice", profileArg, "--headless", "--convert-to", "pdf", "--outdir",
                               (f.home / "peer").string(), f.docx});
            };
            // Each conversion takes seconds: a smoke run, whose times need not hold, overlaps them.
            std::future<double> peerBeside;
            if (kSmoke)
                peerBeside = std::async(std::launch::async, convertByPeer);
            first.push_back(openUntilFirstPage(window, f.docx));
            cached.push_back(openUntilFirstPage(window, f.docx));
            peer.push_back(kSmoke ? peerBeside.get() : convertByPeer());
        }
    }
    state.counters["first_open_ms"] = median(first);
    state.counters["cached_open_ms"] = median(cached);
    state.counters["peer_convert_ms"] = median(peer);
    state.counters["first_open_ratio"] = median(peer) / median(first);
    state.counters["cached_open_ratio"] = median(peer) / median(cached);
    state.SetLabel(std::to_string(f.pages) + "-page .docx");
}
BENCHMARK(BM_OfficeFirstAndCachedOpening)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
