#include "Platform/Base/Log.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/ViewController.h"
#include "Platform/UI/Window.h"

#include <cstdio>

namespace {

// Shown until the application's own start-up screen exists.
class PlaceholderView : public ui::View {
public:
    using View::View;
    std::string accessibilityText() const override { return "Brivanta"; }
    void drawRect(gfx::Context& ctx, const gfx::Rect& rect) override
    {
        gfx::Font font = gfx::Font::boldSystemFont(36);
        ctx.drawText("Brivanta", {0, bounds().height() / 2 - 30, bounds().width(), 50}, font,
                     gfx::Color::fromRgb(40, 60, 90), gfx::TextAlignment::Center);
    }
};

class PlaceholderController : public ui::ViewController {
public:
    void loadView() override
    {
        auto v = std::make_shared<PlaceholderView>(gfx::Rect({0, 0}, ui::Window::kScreenSize));
        v->setBackgroundColor(gfx::Color::white());
        setView(v);
    }
};

class PlaceholderDelegate : public ui::ApplicationDelegate {
public:
    bool didFinishLaunching(ui::Application&) override
    {
        m_window = std::make_shared<ui::Window>();
        m_window->setRootViewController(std::make_shared<PlaceholderController>());
        m_window->makeKeyAndVisible();
        return true;
    }

private:
    std::shared_ptr<ui::Window> m_window;
};

} // namespace

int main(int argc, char** argv)
{
    ui::Application::Options options;
    std::string message;
    if (!ui::Application::parseArguments(argc, argv, options, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 2;
    }
    return ui::Application::shared().run(options, std::make_shared<PlaceholderDelegate>());
}
