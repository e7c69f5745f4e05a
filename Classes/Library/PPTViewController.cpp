#include "Classes/Library/PPTViewController.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Share/DocumentOpener.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/Window.h"

#include <filesystem>

ui::NavigationController* PPTViewController::rootNavigationController()
{
    ui::Window* window = ui::Window::keyWindow();
    return window ? dynamic_cast<ui::NavigationController*>(window->rootViewController().get()) : nullptr;
}

PPTViewController::TitleBar PPTViewController::showTitleBar(ui::ViewController& screen, const std::string& title,
                                                            std::function<void()> onBack)
{
    TitleBar bar;
    auto* nav = rootNavigationController();
    if (!nav)
        return bar;
    nav->setNavigationBarHidden(false);
    bar.image = ui::View::make<ui::ImageView>(gfx::Rect(-5, 0, 1029, 44));
    bar.image->setImage(SkinManager::skinFromImageName(std::string("topbar-bg.png")));

    bar.title = ui::View::make<ui::Label>(gfx::Rect(262, 0, 500, 44));
    bar.title->setFont(gfx::Font("Helvetica-Bold", 20));
    bar.title->setTextColor(gfx::Color::white());
    bar.title->setTextAlignment(gfx::TextAlignment::Center);
    bar.title->setBackgroundColor(std::nullopt);
    bar.title->setText(title);
    screen.setTitleView(bar.title);

    bar.back = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(0, 0, 80, 34));
    bar.back->setTitle(Language::stringWithName("BACK"));
    PublicFunction::initializeToBackButtonHeight34(bar.back.get());
    bar.back->addTarget([onBack = std::move(onBack)](ui::Control&) { onBack(); }, ui::ControlEventTouchUpInside);
    screen.setLeftBarButtonItem(std::make_shared<ui::BarButtonItem>(bar.back));
    // Under the bar's items and title.
    if (auto barView = nav->navigationBar())
        barView->insertSubviewAtIndex(bar.image, 0);
    return bar;
}

void PPTViewController::hideTitleBar(TitleBar& bar)
{
    if (auto* nav = rootNavigationController())
        nav->setNavigationBarHidden(true);
    if (bar.image)
        bar.image->removeFromSuperview();
}

void PPTViewController::setFileName(std::optional<std::string> name)
{
    m_fileName = std::move(name);
    setTitle(m_fileName.value_or(""));
}

std::optional<std::string> PPTViewController::previewItemAtIndex(int index) const
{
    if (index != 0 || !m_filePath)
        return std::nullopt;
    return m_filePath;
}

void PPTViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    m_currentIndex = 0;
    view()->setBackgroundColor(gfx::Color::fromWhite(0.93));
    // What stands here while the desktop's application shows the file.
    m_nameLabel = ui::View::make<ui::Label>(gfx::Rect(0, 0, view()->bounds().size.width, 60));
    m_nameLabel->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleTopMargin |
                                     ui::AutoresizingFlexibleBottomMargin);
    m_nameLabel->setCenter(view()->bounds().center());
    m_nameLabel->setFont(gfx::Font("Helvetica-Bold", 20));
    m_nameLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_nameLabel->setBackgroundColor(std::nullopt);
    if (m_filePath)
        m_nameLabel->setText(std::filesystem::path(*m_filePath).filename().string());
    view()->addSubview(m_nameLabel);
}

bool PPTViewController::reloadData()
{
    auto item = previewItemAtIndex(m_currentIndex);
    m_previewShown = item && share::DocumentOpener::shared().open(*item);
    return m_previewShown;
}

void PPTViewController::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    m_bar = showTitleBar(*this, title(), [this] { btnBackClick(); });
    m_barImage = m_bar.image;
    if (!m_previewShown)
        reloadData();
}

void PPTViewController::btnBackClick()
{
    if (auto* nav = rootNavigationController())
        nav->popViewController(true);
}

void PPTViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    hideTitleBar(m_bar);
}

void PPTViewController::didReceiveMemoryWarning()
{
    BaseViewController::didReceiveMemoryWarning();
    if (m_barImage)
        m_barImage->removeFromSuperview();
    m_barImage.reset();
    m_bar.image.reset();
}
