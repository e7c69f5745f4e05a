#pragma once
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Button.h"

#include <memory>
#include <string>

namespace ui {
class Label;
}

class LoginItem;

// Told when the user confirmed the deletion of a tile.
class LoginItemDelegate {
public:
    virtual ~LoginItemDelegate() = default;
    virtual void btnDeleteClick(LoginItem& item) {}
};

// One shortcut tile of the login screen: a demo tenant or a saved login, shown by its logo or,
// without one, by its client id over a default picture. While shaking it shows a delete badge.
class LoginItem : public ui::Button, private ui::AlertViewDelegate {
public:
    static constexpr double kWidth = 231;
    static constexpr double kHeight = 60;

    explicit LoginItem(const gfx::Rect& frame = {0, 0, kWidth, kHeight});
    ~LoginItem() override;
    const char* className() const override { return "LoginItem"; }

    const std::string& accountId() const { return m_accountId; }
    void setAccountId(std::string accountId) { m_accountId = std::move(accountId); }
    const std::string& passWord() const { return m_passWord; }
    void setPassWord(std::string passWord) { m_passWord = std::move(passWord); }
    const std::string& clientId() const { return m_clientId; }
    // Shown in the label unless the tile is a demo tile.
    void setClientId(std::string clientId);
    bool isDemo() const { return m_isDemo; }
    // A demo tile's label reads "Demo".
    void setIsDemo(bool isDemo);
    bool shaking() const { return m_shaking; }
    // Shows the delete badge and wiggles, or neither.
    void setShaking(bool shaking);
    bool hasNoLogo() const { return m_hasNoLogo; }
    // The label shows exactly when there is no logo.
    void setHasNoLogo(bool hasNoLogo);

    LoginItemDelegate* delegate() const { return m_delegate; }
    void setDelegate(LoginItemDelegate* delegate) { m_delegate = delegate; }

    ui::Label& lblCompany() const { return *m_lblCompany; }
    ui::Button& btnDelete() const { return *m_btnDelete; }

private:
    // The badge asks before the tile goes.
    void deleteTapped();
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;

    std::shared_ptr<ui::Label> m_lblCompany;
    std::shared_ptr<ui::Button> m_btnDelete;
    std::string m_accountId;
    std::string m_passWord;
    std::string m_clientId;
    bool m_isDemo = false;
    bool m_shaking = false;
    LoginItemDelegate* m_delegate = nullptr;
    bool m_hasNoLogo = false;
    // The confirmation on screen; one at a time.
    std::shared_ptr<ui::AlertView> m_alert;
};
