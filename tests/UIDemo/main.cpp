// Opens the demonstration screen in a window (or headless), for checking the UI layer by eye.
#include "DemoScreen.h"

#include "Platform/UI/Application.h"
#include "Platform/UI/Window.h"


namespace {
class DemoDelegate : public ui::ApplicationDelegate {
public:
    bool didFinishLaunching(ui::Application&) override
    {
        m_window = std::make_shared<ui::Window>();
        m_window->setRootViewController(uidemo::makeDemoScreen());
        m_window->makeKeyAndVisible();
        return true;
    }

private:
    std::shared_ptr<ui::Window> m_window;
};
}

int main(int argc, char** argv)
{
    return ui::Application::main(argc, argv, std::make_shared<DemoDelegate>());
}
