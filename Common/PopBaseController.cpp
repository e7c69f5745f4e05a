#include "Common/PopBaseController.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

PopBaseController::~PopBaseController() = default;

void PopBaseController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto bar = std::make_shared<ui::View>(gfx::Rect(0, 0, 1024, kTitleBarHeight));
    bar->setUserInteractionEnabled(true);
    auto background = std::make_shared<ui::ImageView>(gfx::Rect(0, 0, 1024, kTitleBarHeight));
    background->setImage(SkinManager::skinFromImageName(std::string("topbar-bg.png")));
    bar->addSubview(background);

    auto title = std::make_shared<ui::Label>(gfx::Rect(0, 7, 1024, 30));
    title->setFont(gfx::Font("Helvetica-Bold", 20));
    title->setTextColor(gfx::Color::white());
    title->setTextAlignment(gfx::TextAlignment::Center);
    title->setBackgroundColor(gfx::Color::clear());
    bar->addSubview(title);
    m_lblTittle = title;

    auto closeButton = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(949, 5, 60, 34));
    PublicFunction::initializeToButtonHeight34(closeButton.get());
    closeButton->setTitle(Language::stringWithName("CLOSE"));
    std::weak_ptr<ui::Responder> weakSelf = weak_from_this();
    closeButton->addTarget([weakSelf](ui::Control&) {
        if (auto self = weakSelf.lock())
            static_cast<PopBaseController*>(self.get())->close();
    }, ui::ControlEventTouchUpInside);
    bar->addSubview(closeButton);
    m_btnClose = closeButton;

    m_titlebar = bar;
    view()->addSubview(bar);
}

void PopBaseController::close()
{
    if (auto listener = delegate())
        listener->dismissPopController(true);
}

void PopBaseController::updateLanguage()
{
    if (m_btnClose)
        m_btnClose->setTitle(Language::stringWithName("CLOSE"));
}

void PopBaseController::didReceiveMemoryWarning()
{
    BaseViewController::didReceiveMemoryWarning();
    // The label stays in the bar; only this reference goes.
    m_lblTittle.reset();
}
