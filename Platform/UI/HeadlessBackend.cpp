#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/Backend.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/Window.h"

namespace ui {

namespace {

// No screen: time runs on the manual clock, so a script's waits cost nothing and every run
// of the same script gives the same pictures.
class HeadlessBackend : public Backend {
public:
    // Input comes from the driver; time moves only when advanced.
    void processEvents(double seconds) override { base::RunLoop::main().advance(seconds); }

    int run(Application& app, const Application::Options& options, std::shared_ptr<ApplicationDelegate> delegate) override
    {
        auto& loop = base::RunLoop::main();
        loop.setManualClock(true);
        // No desktop to open addresses on: a script checks them with expect-opened instead.
        app.setRecordsOpenedURLs(true);
        // Scripted runs stand for a desktop window: no keyboard covers the screen.
        Keyboard::setOnScreen(false);
        if (!app.launch(std::move(delegate)))
            return 1;
        loop.advance(0.5); // let the launch's animations and posted work finish
        Window* window = Window::keyWindow();
        if (window)
            window->setScale(options.scale); // the pictures' resolution: --scale 2 doubles it
        int status = 0;
        if (!options.script.empty()) {
            if (!window) {
                base::log("The application shows no window.");
                status = 1;
            } else {
                Driver driver(*window);
                ScriptRunner runner(driver);
                if (!runner.runFile(options.script)) {
                    base::log("script failed: " + runner.error());
                    status = 1;
                }
            }
        }
        if (status == 0 && !options.screenshot.empty()) {
            // As a script's own screenshot: laid out, the due tiles drawn.
            if (!window || !Driver(*window).screenshot(options.screenshot)) {
                base::log("cannot write " + options.screenshot);
                status = 1;
            }
        }
        app.terminate();
        loop.runPending();
        return status;
    }
};

} // namespace

std::unique_ptr<Backend> Backend::makeHeadless()
{
    return std::make_unique<HeadlessBackend>();
}

} // namespace ui
