#pragma once
// The screens of the walk over every control, each reached from the main screen after log-in,
// and the places on them a person could tap. A new screen joins every walk with one row.
#include "MainScreenTestSupport.h"
#include "ScreenCheckSupport.h"

#include "Classes/Library/LibraryFileOpener.h"
#include "Classes/Library/PdfThumbsViewController.h"
#include "Classes/Library/PdfViewController.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Widgets/BRGridView.h"
#include "Widgets/BRGridViewCell.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Media/Player.h"
#include "Platform/Share/MailComposer.h"
#include "Platform/UI/ActionSheet.h"
#include "Platform/UI/Control.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/SegmentedControl.h"
#include "Platform/UI/TableViewCell.h"
#include "Platform/UI/TextField.h"
#include "tests/Support/PdfFixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <typeinfo>

namespace controlwalk {

using apptest::MainScreenTest;

// A place to tap, and what it was when the screen was first looked at.
struct Target {
    std::string what;
    gfx::Point point;
};

class EveryControlTest;
inline int makeSkinsOnePixel(const std::filesystem::path& documents);

// A screen of the walk, reached from the main screen as it shows after log-in. The tab bar's
// own controls are walked with the screen that says so, once.
struct Screen {
    const char* name;
    std::function<bool(EveryControlTest&)> open;
    bool withTabBar = false;
};

// Named in the test's output by its name.
inline void PrintTo(const Screen& screen, std::ostream* out)
{
    *out << screen.name;
}

class EveryControlTest : public MainScreenTest, public ::testing::WithParamInterface<Screen> {
public:
    // The road taken to a screen, as lines of a script for the application binary.
    std::vector<std::string> road;

    void record(const std::string& line) { road.push_back(line); }
    void recordTap(const ui::View* view)
    {
        gfx::Point at = driver->centerOf(view);
        record("tap " + std::to_string(std::lround(at.x)) + " " + std::to_string(std::lround(at.y)));
    }

    bool tab(int tag)
    {
        auto tabs = app->tabBarController();
        auto button = tabs ? tabs->buttonWithTag(tag) : nullptr;
        if (!button || button->isHidden())
            return false;
        // Twice in a script: the first tap of a session may only close a hint.
        recordTap(button->btn().get());
        record("wait 1");
        recordTap(button->btn().get());
        record("wait 1");
        if (!driver->tap(button->btn().get()))
            return false;
        settle(1);
        return true;
    }

    // A tab, then a control on it found by its text.
    bool tabThen(int tag, const std::string& text)
    {
        if (!tab(tag) || !driver->tapText(text))
            return false;
        record("tap \"" + text + "\"");
        record("wait 1");
        settle(1);
        return true;
    }
    // The page of the first product of the catalogue's grid.
    bool productPage()
    {
        if (!tab(1))
            return false;
        auto* grid = dynamic_cast<BRGridView*>(driver->findByClass("BRGridView"));
        if (!grid || grid->visibleCells().empty())
            return false;
        recordTap(grid->visibleCells().front().get());
        record("wait 1");
        if (!driver->tap(grid->visibleCells().front().get()))
            return false;
        settle(1);
        return driver->findByText(Language::stringWithName("ADDTOORDER")) != nullptr;
    }

    // The demo's collection, opened from its tile in the library, its bars shown.
    bool reader()
    {
        if (!tab(4) || !driver->tapText("Tolbernix Collection 2026"))
            return false;
        record("tap \"Tolbernix Collection 2026\"");
        record("wait 1");
        record("waitstill 10");
        // The reader comes once a page worker has read the file.
        base::RunLoop::main().runUntil([] { return LibraryFileOpener::pdfReadsUnderWay() == 0; }, 30);
        settle(1);
        auto shown = readerShown();
        if (!shown)
            return false;
        if (shown->mainToolbar()->isHidden() || shown->mainToolbar()->alpha() < 0.5) {
            record("tap 512 384");
            record("wait 1");
            driver->tap(gfx::Point{512, 384});
            settle(1);
        }
        return !shown->mainToolbar()->isHidden();
    }
    bool thumbnailGrid()
    {
        auto shown = reader() ? readerShown() : nullptr;
        if (!shown)
            return false;
        recordTap(shown->mainToolbar()->thumbsButton().get());
        record("wait 1");
        if (!driver->tap(shown->mainToolbar()->thumbsButton().get()))
            return false;
        settle(1);
        return std::dynamic_pointer_cast<PdfThumbsViewController>(shown->presentedViewController()) != nullptr;
    }
    bool shareSheet()
    {
        auto shown = reader() ? readerShown() : nullptr;
        if (!shown)
            return false;
        recordTap(shown->mainToolbar()->shareButton().get());
        record("wait 1");
        if (!driver->tap(shown->mainToolbar()->shareButton().get()))
            return false;
        settle(1);
        return driver->findByText(Language::stringWithName("PRINT")) != nullptr;
    }
    // A short clip, played by the library's own opener over the main screen.
    bool video()
    {
        if (!tab(4))
            return false;
        if (m_clip.empty()) {
            m_clip = (documents() / "walk-clip.webm").string();
            basetest::ScopedEnv path("PATH", m_path);
            if (!pdffix::run({"gst-launch-1.0", "-q", "videotestsrc", "num-buffers=60", "!",
                              "video/x-raw,width=320,height=240,framerate=30/1", "!", "vp8enc", "!", "webmmux", "!",
                              "filesink", "location=" + m_clip}))
                return false;
        }
        record("# the clip is handed to the opener directly: no script reaches it");
        m_opener = std::make_shared<LibraryFileOpener>();
        m_opener->openPath(m_clip, PublicFunction::getFileType("VEDIO"), "Product film");
        settle(1);
        return m_opener->video() != nullptr;
    }

    std::shared_ptr<PdfViewController> readerShown() const
    {
        auto nav = std::dynamic_pointer_cast<ui::NavigationController>(app->window()->rootViewController());
        return nav ? std::dynamic_pointer_cast<PdfViewController>(nav->topViewController()) : nullptr;
    }

    // The places a person could tap: enabled controls (each segment of a segmented control),
    // views that take gestures, and the first row of each list (its rows share one code path).
    std::vector<Target> targets()
    {
        auto& window = *app->window();
        window.layoutIfNeeded();
        std::vector<Target> out;
        std::set<const ui::View*> lists;
        auto add = [&](ui::View* view, gfx::Point point, const std::string& extra) {
            // Only where the tap reaches this view (or something inside it) first.
            ui::View* hit = window.hitTest(point);
            bool reaches = false;
            for (ui::View* v = hit; v && !reaches; v = v->superview())
                reaches = v == view;
            if (!reaches)
                return;
            // Named with the screen that owns it: the same button on two screens is two controls.
            std::string owner;
            for (ui::View* v = view; v && owner.empty(); v = v->superview())
                if (ui::ViewController* controller = v->viewController())
                    owner = typeid(*controller).name();
            owner.erase(0, owner.find_first_not_of("0123456789"));
            std::ostringstream what;
            what << owner << ": " << view->className() << extra << " at " << std::lround(point.x) << ","
                 << std::lround(point.y);
            out.push_back({what.str(), point});
        };
        for (const auto& shown : screencheck::shownViews(window)) {
            ui::View* view = shown.view;
            if (!interactive(view))
                continue;
            if (auto* segments = dynamic_cast<ui::SegmentedControl*>(view)) {
                if (!segments->isEnabled())
                    continue;
                for (size_t i = 0; i < segments->numberOfSegments(); ++i) {
                    gfx::Rect r = segments->convertRectToView(segments->segmentRect(i), &window).intersection(shown.visible);
                    if (!r.isEmpty())
                        add(view, r.center(), " segment " + std::to_string(i));
                }
            } else if (auto* control = dynamic_cast<ui::Control*>(view)) {
                if (control->isEnabled())
                    add(view, shown.visible.center(), labelOf(view));
            } else if (dynamic_cast<ui::TableViewCell*>(view)) {
                if (lists.insert(view->superview()).second)
                    add(view, shown.visible.center(), " (first row)");
            } else if (!view->gestureRecognizers().empty()) {
                add(view, shown.visible.center(), "");
            }
        }
        return out;
    }

    static bool interactive(const ui::View* view)
    {
        for (const ui::View* v = view; v; v = v->superview())
            if (!v->isUserInteractionEnabled())
                return false;
        return true;
    }
    static std::string labelOf(ui::View* view)
    {
        auto* button = dynamic_cast<ui::Button*>(view);
        std::string title = button ? button->currentTitle() : std::string();
        return title.empty() ? std::string() : " \"" + title + "\"";
    }

    // Everything over the main screen closed, and the main screen made afresh, as after a
    // log-in: whatever a tap left behind (a log-out, a screen pushed on a tab) is gone.
    void backToMain()
    {
        road.clear();
        ui::AlertView::dismissAllForTesting();
        MessageBox::sharedInstance()->dismissAllMsgBox();
        if (m_opener) {
            if (m_opener->video())
                m_opener->stopViewVideo();
            m_opener.reset();
        }
        // Presented screens lie on the window above the root's view, whoever presented them.
        for (int i = 0; i < 8; ++i) {
            ui::ViewController* presenting = nullptr;
            for (const auto& sub : app->window()->subviews())
                if (ui::ViewController* shown = sub->viewController(); shown && shown->presentingViewController())
                    presenting = shown->presentingViewController();
            if (!presenting)
                break;
            presenting->dismissViewController(false);
            settle(0.4);
        }
        if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(app->window()->rootViewController()))
            nav->popToRootViewController(false);
        NetworkModel::sharedInstance()->cancelAllRequests();
        settle(0.4);
        ui::AlertView::dismissAllForTesting();
        MessageBox::sharedInstance()->dismissAllMsgBox();
        app->showLoginPage();
        settle(0.4);
        ui::AlertView::dismissAllForTesting();
        MessageBox::sharedInstance()->dismissAllMsgBox();
        loginAsDemo();
        showMain();
        settle(0.4);
    }

    static std::string signature(const std::vector<Target>& found)
    {
        std::string out;
        for (const auto& t : found)
            out += t.what + "\n";
        return out;
    }

    // Opens the screen, taps each of its targets in turn, and brings it back after each.
    // Gives how many were tapped.
    // Opens the screen after a demo login, with a skin of one-pixel pictures when asked, and
    // taps each of its controls; gives how many (-1 when the screen could not be reached).
    int walkAfterDemoLogin(const Screen& screen, bool onePixelSkin)
    {
        media::Player::setAudioEnabled(false);
        std::filesystem::create_directories(documents());
        // Mail and printing end in a saved file, never in a program of the machine's.
        basetest::ScopedEnv path("PATH", (m_home.path() / "no-programs").string());
        ui::Application::shared().setRecordsOpenedURLs(true);
        int tapped = -1;
        if (SkinManager::sharedInstance()->initializeDemoZip()
            && (!onePixelSkin || makeSkinsOnePixel(documents()) > 20)) {
            loginAsDemo();
            if (showMain())
                tapped = walk(screen);
            backToMain();
        }
        ui::Application::shared().setRecordsOpenedURLs(false);
        return tapped;
    }

    int walk(const Screen& screen)
    {
        backToMain();
        if (!screen.open(*this)) {
            ADD_FAILURE() << screen.name << " could not be opened";
            return 0;
        }
        std::vector<Target> found = targets();
        std::string before = signature(found);
        if (!screen.withTabBar)
            std::erase_if(found, [](const Target& t) { return t.what.starts_with("UITabBarControllerExt:"); });
        driver->screenshot(reviewPath(std::string("every_control_") + screen.name + ".png"));
        int tapped = 0;
        for (size_t i = 0; i < found.size(); ++i) {
            SCOPED_TRACE(std::string(screen.name) + ": " + found[i].what);
            // A crash leaves no trace behind: this names the control it came from.
            if (std::getenv("BRIVANTA_WALK_TRACE"))
                std::fprintf(stderr, "tapping %s\n", found[i].what.c_str());
            driver->tap(found[i].point);
            settle(1);
            ++tapped;
            // Back: the layers a tap opened closed; the screen as it was, else opened again.
            ui::AlertView::dismissAllForTesting();
            MessageBox::sharedInstance()->dismissAllMsgBox();
            for (int escape = 0; escape < 2 && signature(targets()) != before; ++escape) {
                driver->pressKey("escape");
                settle(0.6);
                ui::AlertView::dismissAllForTesting();
            }
            if (signature(targets()) != before) {
                backToMain();
                EXPECT_TRUE(screen.open(*this)) << "the screen could not be opened again";
                settle(0.6);
            }
        }
        return tapped;
    }

    std::shared_ptr<LibraryFileOpener> m_opener;
    std::string m_clip;
    std::string m_path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
};

inline const Screen kScreens[] = {
    {"home", [](EveryControlTest& t) { return t.tab(0); }, true},
    {"catalog", [](EveryControlTest& t) { return t.tab(1); }},
    {"customers", [](EveryControlTest& t) { return t.tab(2); }},
    {"inventory", [](EveryControlTest& t) { return t.tab(3); }},
    {"library", [](EveryControlTest& t) { return t.tab(4); }},
    {"orders", [](EveryControlTest& t) { return t.tab(5); }},
    {"sync", [](EveryControlTest& t) { return t.tab(6); }},
    {"settings", [](EveryControlTest& t) { return t.tab(7); }},
    {"product page", [](EveryControlTest& t) { return t.productPage(); }},
    {"new customer", [](EveryControlTest& t) { return t.tabThen(2, Language::stringWithName("NEW")); }},
    {"order editor", [](EveryControlTest& t) { return t.tabThen(5, Language::stringWithName("NEWORDER")); }},
    {"reader", [](EveryControlTest& t) { return t.reader(); }},
    {"thumbnail grid", [](EveryControlTest& t) { return t.thumbnailGrid(); }},
    {"share sheet", [](EveryControlTest& t) { return t.shareSheet(); }},
    {"video", [](EveryControlTest& t) { return t.video(); }},
};

// Gives each of the demo's tenants under DOCUMENTS a skin whose every picture is one pixel:
// each picture its skin has, and every picture the bundle would otherwise stand in with. A skin may send any
// size, and a picture smaller than the caps it is stretched with must still draw.
inline int makeSkinsOnePixel(const std::filesystem::path& documents)
{
    namespace fs = std::filesystem;
    auto dot = gfx::Context::createBitmap({1, 1});
    dot->setFillColor(gfx::Color::orange());
    dot->fillRect({0, 0, 1, 1});
    const std::vector<uint8_t> png = dot->makeImage().pngData();
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(base::Bundle::resourcePath(), ec))
        if (entry.path().extension() == ".png")
            names.insert(entry.path().filename().string());
    int written = 0;
    for (const auto& tenant : fs::directory_iterator(documents, ec)) {
        if (!tenant.is_directory())
            continue;
        fs::path skin = tenant.path() / "SkinImages";
        fs::create_directories(skin, ec);
        std::set<std::string> all = names;
        for (const auto& entry : fs::directory_iterator(skin))
            all.insert(entry.path().filename().string());
        for (const auto& name : all) {
            std::ofstream out(skin / name, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
            written += out.good();
        }
    }
    return written;
}

} // namespace controlwalk
