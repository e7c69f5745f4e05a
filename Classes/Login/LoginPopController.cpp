#include "Classes/Login/LoginPopController.h"

#include "Common/Language.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"

void LoginPopController::loadView()
{
    auto root = ui::View::make(gfx::Rect({0, 0}, kContentSize));
    root->setBackgroundColor(std::nullopt);
    setView(root);
}

void LoginPopController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    m_gobackButton = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect({0, 0}, kContentSize));
    m_gobackButton->setBackgroundColor(gfx::Color::fromRgb(64, 95, 131));
    m_gobackButton->setCornerRadius(8);
    m_gobackButton->setClipsToBounds(true);
    m_gobackButton->setTitleColor(gfx::Color::white());
    m_gobackButton->setTitleColor(gfx::Color::white(), ui::ControlStateDisabled);
    m_gobackButton->titleLabel().setFont(gfx::Font::boldSystemFont(17));
    std::weak_ptr<ui::Responder> weak = weak_from_this();
    m_gobackButton->addTarget([weak](ui::Control&) {
        if (auto self = std::static_pointer_cast<LoginPopController>(weak.lock()))
            self->goBackLoginView();
    }, ui::ControlEventTouchUpInside);
    m_gobackButton->setEnabled(!m_isForHelp);
    updateLanguage(nullptr);
    view()->addSubview(m_gobackButton);
}

void LoginPopController::goBackLoginView()
{
    if (auto delegate = m_delegate.lock())
        delegate->goBackLoginView();
}

void LoginPopController::updateLanguage(ui::Responder*)
{
    // The help form keeps its help text; re-texting it as the logout button would offer a
    // button that does nothing.
    if (m_gobackButton)
        m_gobackButton->setTitle(Language::stringWithName(m_isForHelp ? "HELPLOGOUT" : "GOBACKTOLOGIN"));
}
