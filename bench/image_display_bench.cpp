// Picture displays drained through the image-display queue (the main operation queue), half of
// their views already off screen, against the same work posted straight to the main run loop.
// 1,000 displays by default; BRIVANTA_BENCH_FULL=1 uses 10,000.
#include "Common/ImageLoadOperation.h"
#include "Common/ImageLoadQueueManager.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/ImageView.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

int displays()
{
    return std::getenv("BRIVANTA_BENCH_FULL") ? 10000 : 1000;
}

// Views in a parent, every other one taken off again, as cells reused before their turn.
struct Scene {
    Scene()
    {
        auto context = gfx::Context::createBitmap({40, 30}, 1);
        context->setFillColor(gfx::Color::blue());
        context->fillRect({0, 0, 40, 30});
        picture = context->makeImage();
        parent = ui::View::make<ui::View>(gfx::Rect(0, 0, 1024, 768));
        for (int i = 0; i < displays(); ++i) {
            auto view = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, 100, 100));
            view->setAlpha(0);
            parent->addSubview(view);
            if (i % 2)
                view->removeFromSuperview();
            views.push_back(view);
        }
    }
    gfx::Image picture;
    std::shared_ptr<ui::View> parent;
    std::vector<std::shared_ptr<ui::ImageView>> views;
};

void drain()
{
    while (base::RunLoop::main().runPending()) {
    }
}

void BM_DisplaysThroughTheQueue(benchmark::State& state)
{
    Scene scene;
    auto manager = ImageLoadQueueManager::sharedInstance();
    for (auto _ : state) {
        for (auto& view : scene.views)
            manager->loadImageWithOperationUnique(std::make_shared<ImageLoadOperation>(scene.picture, view, false),
                                                  false);
        drain();
        if (manager->queue().operationCount() != 0)
            state.SkipWithError("displays left waiting");
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(scene.views.size()));
}
BENCHMARK(BM_DisplaysThroughTheQueue)->Unit(benchmark::kMillisecond);

void BM_DisplaysPostedToTheLoop(benchmark::State& state)
{
    Scene scene;
    for (auto _ : state) {
        for (auto& view : scene.views)
            base::RunLoop::main().post([view, picture = scene.picture] {
                if (!view->superview())
                    return;
                PublicFunction::ImageViewFitImgImg(view.get(), picture);
                view->setAlpha(1);
            });
        drain();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(scene.views.size()));
}
BENCHMARK(BM_DisplaysPostedToTheLoop)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
