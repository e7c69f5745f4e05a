#pragma once
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Value.h"
#include "Platform/UI/ScrollView.h"
#include "Classes/Login/LoginItem.h"

#include <memory>
#include <vector>

namespace ui {
class GestureRecognizer;
}

// Hears the row's taps and deletions.
class LoginItemListDelegate {
public:
    virtual ~LoginItemListDelegate() = default;
    virtual void loginItemClick(LoginItem& item) {}
    virtual void loginItemDelete(LoginItem& item) {}
};

// The paged row of shortcut tiles under the login form: the demo tenants whose flags are on,
// then every saved login marked as a shortcut, four to a page. A long press puts every tile
// into a wiggling delete mode.
class LoginItemList : public ui::ScrollView, private LoginItemDelegate {
public:
    static constexpr double kPageWidth = 1024;
    static constexpr int kTilesPerPage = 4;
    static constexpr const char* kZKorvKey = "Z_KORV_SHORTCUT";
    static constexpr const char* kWendloftKey = "WENDLOFT_SHORTCUT";

    explicit LoginItemList(const gfx::Rect& frame);
    ~LoginItemList() override;
    const char* className() const override { return "LoginItemList"; }

    LoginItemListDelegate* itemListDelegate() const { return m_itemListDelegate; }
    void setItemListDelegate(LoginItemListDelegate* delegate) { m_itemListDelegate = delegate; }

    // Keeps the saved-login list and rebuilds the tiles from it.
    void setLoginArry(base::Array list);
    const base::Array& loginArry() const { return m_loginArry; }
    // Rebuilds the tiles from the flags and the list, then lays them out.
    void reConstructAttributes();
    void layoutItems();
    // 1 without tiles, else the pages of up to four tiles.
    int page() const;
    const std::vector<std::shared_ptr<LoginItem>>& itemList() const { return m_itemList; }
    bool isShaking() const { return m_isShaking; }
    bool isShowZKorv() const { return m_isShowZKorv; }
    bool isShowWendloft() const { return m_isShowWendloft; }

    // A tile's tap, passed on unless the tile is in delete mode.
    void loginItemClick(LoginItem& item);
    void itemOnLongPress(ui::GestureRecognizer& recognizer);
    void addDeleteItemBtn();
    void stopSharking();
    void RemoveAllDeleteItemBtn();
    // Every tile unselected.
    void resetItemStatus();
    // A tile's deletion was confirmed: it goes, and with it its flag or its shortcut mark.
    void btnDeleteClick(LoginItem& item) override;

private:
    void readFlags(bool& zKorv, bool& wendloft) const;
    void defaultsDidChange();
    void enterBackground();
    void enterForeground();
    std::shared_ptr<LoginItem> makeDemoItem(int tenant);
    std::shared_ptr<LoginItem> makeSavedItem(const base::Dictionary& entry);

    std::vector<std::shared_ptr<LoginItem>> m_itemList;
    base::Array m_loginArry;
    bool m_isShowZKorv = false;
    bool m_isShowWendloft = false;
    LoginItemListDelegate* m_itemListDelegate = nullptr;
    bool m_isShaking = false;
    base::ObserverToken m_defaultsObserver;
    base::ObserverToken m_backgroundObserver;
    base::ObserverToken m_foregroundObserver;
};
