#include "Classes/Library/SharePopViewController.h"

#include "Common/Language.h"
#include "Platform/UI/Button.h"

namespace {
constexpr const char* kTitleKeys[] = {"EMAIL", "PRINT", "OPENINOTHERAPP"};
}

void SharePopViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color{0.114, 0.125, 0.157, 1});
    setContentSizeForViewInPopover(gfx::Size{200, 116});
    for (int i = 0; i < 3; ++i) {
        auto button = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(0, 41.0 * i, 200, 34));
        button->setTitleColor(gfx::Color::white());
        button->setTitle(Language::stringWithName(kTitleKeys[i]));
        button->addTarget(
            [this, i](ui::Control&) {
                if (!m_delegate)
                    return;
                if (i == 0)
                    m_delegate->emailAction();
                else if (i == 1)
                    m_delegate->printAction();
                else
                    m_delegate->thirdAction();
            },
            ui::ControlEventTouchUpInside);
        view()->addSubview(button);
        m_buttons[size_t(i)] = button;
    }
}

void SharePopViewController::updateLanguage(ui::Responder*)
{
    for (int i = 0; i < 3; ++i)
        if (m_buttons[size_t(i)])
            m_buttons[size_t(i)]->setTitle(Language::stringWithName(kTitleKeys[i]));
}
