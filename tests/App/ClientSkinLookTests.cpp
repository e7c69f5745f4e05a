// A client's realistic skin (tests' data) on every screen of the main bar, looked at as drawn:
// each skin picture comes, shows at the size it has, and the frames made from it are right
// from the first frame on.
#include "Widgets/BRCheckBoxView.h"
#include "Common/LanguageManager.h"
#include "Platform/UI/Label.h"
#include "tests/App/MainScreenTestSupport.h"
#include "tests/Support/PicturesArrived.h"

#include "Common/SkinManager.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Window.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

namespace {

using apptest::MainScreenTest;

struct SkinPicture {
    std::string name;
    gfx::Size size;
    bool ownSize; // shown at its own size, not stretched over a bar or a background
};

std::filesystem::path skinData()
{
    return std::filesystem::path(BRIVANTA_TEST_DATA_DIR) / "client_skin";
}

std::vector<SkinPicture> listedPictures()
{
    std::vector<SkinPicture> out;
    std::ifstream in(skinData() / "sizes.txt");
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        SkinPicture p;
        std::string how;
        fields >> p.name >> p.size.width >> p.size.height >> how;
        p.ownSize = how == "own";
        out.push_back(p);
    }
    return out;
}

// Each view on screen that shows the picture (as an image or a button's background), with the
// size it gives it.
void viewsShowing(ui::View& view, const gfx::Image& picture, std::vector<std::pair<ui::View*, gfx::Image>>& out)
{
    if (view.isHidden())
        return;
    std::vector<gfx::Image> shown;
    if (auto* image = dynamic_cast<ui::ImageView*>(&view))
        shown.push_back(image->image());
    if (auto* button = dynamic_cast<ui::Button*>(&view))
        shown.push_back(button->currentBackgroundImage());
    for (const auto& image : shown)
        if (image.sharesArrivalWith(picture))
            out.emplace_back(&view, image);
    for (const auto& sub : view.subviews())
        viewsShowing(*sub, picture, out);
}

class ClientSkinLookTest : public MainScreenTest {
protected:
    // The screen as it is now, at its first frame and once its pictures came.
    void lookAt(ui::Window& window, const std::vector<SkinPicture>& pictures, const std::string& shot,
                std::set<std::string>& seen)
    {
        SCOPED_TRACE(shot);
        window.layoutIfNeeded();
        // Before any decode came back, frames made from a skin picture already have its size.
        for (const auto& p : pictures) {
            std::vector<std::pair<ui::View*, gfx::Image>> showing;
            viewsShowing(window, SkinManager::skinFromImageName(p.name), showing);
            for (auto& [view, image] : showing) {
                if (p.ownSize && image.awaitsPicture() && !image.isStretchable()) {
                    EXPECT_EQ(view->bounds().size, p.size) << p.name << " before it came";
                }
            }
        }
        settle();
        ASSERT_TRUE(testsupport::picturesArrived());
        settle();
        driver->screenshot(reviewPath("client_skin_" + shot + ".png"));
        for (const auto& p : pictures) {
            SCOPED_TRACE(p.name);
            gfx::Image picture = SkinManager::skinFromImageName(p.name);
            EXPECT_FALSE(picture.awaitsPicture());
            EXPECT_EQ(picture.size(), p.size);
            std::vector<std::pair<ui::View*, gfx::Image>> showing;
            viewsShowing(window, picture, showing);
            for (auto& [view, image] : showing) {
                seen.insert(p.name);
                if (p.ownSize && !image.isStretchable()) {
                    EXPECT_EQ(view->bounds().size, p.size);
                }
            }
        }
    }
};

TEST_F(ClientSkinLookTest, EverySkinPictureComesAndShowsAtItsOwnSizeOnEveryScreen)
{
    const auto pictures = listedPictures();
    ASSERT_EQ(pictures.size(), 6u);
    std::filesystem::path skin = documents() / kDemoClient / "SkinImages";
    std::filesystem::remove_all(skin);
    std::filesystem::create_directories(skin);
    for (const auto& p : pictures)
        std::filesystem::copy_file(skinData() / "SkinImages" / p.name, skin / p.name);
    loginAsDemo();
    auto tabs = showMain();
    ASSERT_TRUE(tabs);
    ui::Window& window = *app->window();

    std::set<std::string> seen;
    for (auto& item : std::vector<std::shared_ptr<TabBarItemButton>>(tabs->itmeButtonArray())) {
        if (item->isHidden() || item->tag() == 6)
            continue; // the sync tab opens the sync screen instead of selecting
        SCOPED_TRACE(item->title());
        tabs->selectTab(item->tag());
        lookAt(window, pictures, "tab" + std::to_string(item->tag()), seen);
        if (item->tag() == 4) {
            // Ticked, "Hide my documents" shows the skin's other box, at its size at once too.
            ui::View* label = driver->findByText(text("HIDELOCALFILES"));
            ASSERT_TRUE(driver->tap(label));
            lookAt(window, pictures, "tab4_ticked", seen);
            // The skin's larger box leaves its text whole beside it.
            auto* box = dynamic_cast<BRCheckBoxView*>(label->superview());
            ASSERT_NE(box, nullptr);
            EXPECT_GE(box->textLabel().frame().x(), box->checkBoxImageView().frame().maxX());
            // In Chinese too, the text whole beside the box.
            LanguageManager::sharedInstance()->setCurrentLanguage(2);
            driver->wait(0.5);
            driver->screenshot(reviewPath("client_skin_tab4_ticked_cn.png"));
            EXPECT_EQ(box->textLabel().text(), text("HIDELOCALFILES"));
            EXPECT_GE(box->textLabel().frame().x(), box->checkBoxImageView().frame().maxX());
            EXPECT_LE(box->textLabel().sizeThatFits({1000, 20}).width, box->textLabel().frame().width());
            LanguageManager::sharedInstance()->setCurrentLanguage(1);
            driver->wait(0.5);
        }
    }
    // Every picture of the skin is on some screen.
    for (const auto& p : pictures)
        EXPECT_TRUE(seen.count(p.name)) << p.name << " shown nowhere";
}

} // namespace
