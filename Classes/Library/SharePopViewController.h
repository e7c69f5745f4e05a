#pragma once
#include "Common/BaseViewController.h"

#include <array>
#include <memory>

namespace ui {
class Button;
}

// What the share panel's buttons ask for; each is optional.
class SharePopViewControllerDelegate {
public:
    virtual ~SharePopViewControllerDelegate() = default;
    virtual void emailAction() {}
    virtual void printAction() {}
    virtual void thirdAction() {}
};

// A small panel of three buttons: e-mail, print, open in another application.
class SharePopViewController : public BaseViewController {
public:
    SharePopViewController() = default;
    const char* className() const override { return "SharePopViewController"; }

    void setDelegate(SharePopViewControllerDelegate* delegate) { m_delegate = delegate; }
    SharePopViewControllerDelegate* delegate() const { return m_delegate; }

    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    // 0 e-mail, 1 print, 2 another application.
    const std::shared_ptr<ui::Button>& button(int index) const { return m_buttons.at(size_t(index)); }

private:
    SharePopViewControllerDelegate* m_delegate = nullptr;
    std::array<std::shared_ptr<ui::Button>, 3> m_buttons;
};
