#pragma once
// A fresh home, English texts and a key window on the main loop's manual clock, for the tests
// of the application's screens and boxes.
#include "AppTestSupport.h"

#include "Common/MessageBox.h"
#include "Common/SkinManager.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"

#include <cctype>
#include <filesystem>
#include <memory>

namespace apptest {

class AppWindowTest : public AppServiceTest {
protected:
    AppWindowTest()
    {
        base::RunLoop::main().setManualClock(true);
        ui::View::setAnimationsEnabled(true);
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        driver = std::make_unique<ui::Driver>(*window);
        SkinManager::resetScaleFactorForTesting();
        LoginMode::sharedInstance()->setClientID("");
    }
    ~AppWindowTest() override
    {
        MessageBox::sharedInstance()->dismissAllMsgBox();
        base::RunLoop::main().advance(10); // pending timers, animations and toasts end
        ui::AlertView::dismissAllForTesting();
        driver.reset();
        window.reset();
        base::RunLoop::main().setManualClock(false);
        LoginMode::sharedInstance()->setClientID("");
        SkinManager::resetScaleFactorForTesting();
    }

    // Moves the manual clock to just past `seconds` after `start`, so that sums of steps
    // never land a hair short of a deadline.
    static void advanceTo(double start, double seconds)
    {
        auto& loop = base::RunLoop::main();
        loop.advance(start + seconds + 1e-6 - loop.now());
    }
    static double now() { return base::RunLoop::main().now(); }

    // Logs in as a client whose skin folder is returned.
    std::filesystem::path useClientSkin(const std::string& client = "acme")
    {
        LoginMode::sharedInstance()->setClientID(client);
        std::string lower = client;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        auto folder = m_home.path() / "Documents" / lower / "SkinImages";
        std::filesystem::create_directories(folder);
        return folder;
    }

    // A picture of one colour, straight (not premultiplied) RGBA components 0..255.
    static void writeSolidPng(const std::filesystem::path& path, gfx::Size size, int r, int g, int b, int a = 255)
    {
        auto context = gfx::Context::createBitmap(size, 1);
        context->setFillColor(gfx::Color::fromRgb(r, g, b, a / 255.0));
        context->fillRect({{0, 0}, size});
        ASSERT_EQ(context->savePng(path.string()), nullptr);
    }

    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::Driver> driver;
};

} // namespace apptest
