#include "App/AboutViewController.h"

#include "App/BrivantaAppDelegate.h"
#include "Common/Language.h"
#include "Common/SkinManager.h"
#include "Platform/Base/Bundle.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"

namespace {
std::shared_ptr<ui::Label> makeLabel(const gfx::Rect& frame, const gfx::Font& font, gfx::TextAlignment alignment,
                                     gfx::Color color = gfx::Color::black())
{
    auto label = ui::View::make<ui::Label>(frame);
    label->setFont(font);
    label->setTextAlignment(alignment);
    label->setTextColor(color);
    label->setBackgroundColor(std::nullopt);
    return label;
}
}

void AboutViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    double w = m_viewWidth;
    view()->setBackgroundColor(gfx::Color::fromRgb(240, 242, 245));
    m_imageViewAppIcon = ui::View::make<ui::ImageView>(gfx::Rect((w - 72) / 2, 90, 72, 72));
    m_imageViewAppIcon->setImage(SkinManager::skinFromImageName(std::string("icon_dev.png")));
    view()->addSubview(m_imageViewAppIcon);

    m_lblAppName = makeLabel({(w - 235) / 2, 230, 235, 30}, gfx::Font("Helvetica-Bold", 30), gfx::TextAlignment::Center);
    m_lblAppName->setText(base::Bundle::displayName());
    view()->addSubview(m_lblAppName);

    gfx::Color darkGrey = gfx::Color::fromWhite(1.0 / 3);
    m_lblAppVersionTitle = makeLabel({(w - 110) / 2, 280, 60, 30}, gfx::Font::systemFont(16), gfx::TextAlignment::Left, darkGrey);
    view()->addSubview(m_lblAppVersionTitle);
    m_lblAppVersion = makeLabel({(w - 110) / 2 + 60, 280, 50, 30}, gfx::Font::systemFont(16), gfx::TextAlignment::Right, darkGrey);
    auto app = BrivantaAppDelegate::sharedAppDelegate();
    m_lblAppVersion->setText(app ? app->currentVersion() : std::string());
    view()->addSubview(m_lblAppVersion);

    m_lblComapny = makeLabel({(w - 280) / 2, 430, 280, 30}, gfx::Font::systemFont(16), gfx::TextAlignment::Center);
    view()->addSubview(m_lblComapny);
    m_lblRights = makeLabel({(w - 280) / 2, 460, 280, 30}, gfx::Font::systemFont(16), gfx::TextAlignment::Center);
    view()->addSubview(m_lblRights);

    std::weak_ptr<ui::Responder> weak = weak_from_this();
    m_doneItem = std::make_shared<ui::BarButtonItem>(Language::stringWithName("DONE"), ui::BarButtonItem::Style::Done, [weak] {
        if (auto self = std::static_pointer_cast<AboutViewController>(weak.lock()))
            self->doneButtonTapped();
    });
    setRightBarButtonItem(m_doneItem);
    updateLanguage(nullptr);
}

void AboutViewController::doneButtonTapped()
{
    auto keep = sharedController();
    ui::ViewController* sheet = navigationController() ? static_cast<ui::ViewController*>(navigationController()) : this;
    sheet->dismissViewController(true, {});
    if (auto listener = delegate())
        listener->deselectButton();
}

void AboutViewController::updateLanguage(ui::Responder*)
{
    setTitle(Language::stringWithName("ABOUT"));
    if (m_lblAppVersionTitle)
        m_lblAppVersionTitle->setText(Language::stringWithName("VERSION"));
    if (m_lblComapny)
        m_lblComapny->setText(Language::stringWithName("COMPANYNAMEINFO"));
    if (m_lblRights)
        m_lblRights->setText(Language::stringWithName("COMPANYRIGHTS"));
    if (m_doneItem)
        m_doneItem->setTitle(Language::stringWithName("DONE"));
}
