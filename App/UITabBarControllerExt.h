#pragma once
#include "App/SettingsViewControllerDelegate.h"
#include "Classes/Catalog/CatalogViewDelegate.h"
#include "Classes/Library/LibraryViewDelegate.h"
#include "Common/ConfigDelegate.h"
#include "Common/LanguageManager.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UI/PopoverController.h"
#include "Platform/UI/TabBarController.h"
#include "Classes/Login/LoginPopController.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class Button;
class GestureRecognizer;
class ImageView;
}
class TabBarItemButton;

// The main screen after login: the tab screens under a bottom bar of our own (the platform's
// bar stays hidden) with the company logo, seven tab buttons and the settings button.
class UITabBarControllerExt : public ui::TabBarController,
                              public ConfigDelegate,
                              public ui::PopoverControllerDelegate,
                              public LanguageManagerDelegate,
                              public LoginPopControllerDelegate,
                              public SettingsViewControllerDelegate {
public:
    static constexpr int kSettingsTag = 7;
    static constexpr double kBarTop = 702;
    static constexpr double kBarHeight = 66;

    // Builds the seven tab screens and loads their views, so their first-load work runs now.
    static std::shared_ptr<UITabBarControllerExt> create();
    UITabBarControllerExt() = default;
    ~UITabBarControllerExt() override;
    const char* className() const override { return "UITabBarControllerExt"; }

    void addViewControllers();
    void hideTabBar();
    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void addCustomElements();
    void loadByConfig() override;
    void setBackgroundView();
    void setButtonImagNormalImgSelectImg(TabBarItemButton& button, const std::string& normal, const std::string& selected);

    void buttonClicked(int tag);
    // 0 to 6; a tab switched off can still be selected, only its button is hidden.
    void selectTab(int index);
    void returnPerselectTab();
    // The screen on top of the shown tab takes what is being typed in it (see
    // BaseViewController::takeTyping); NO when it refuses and the road away must stop.
    bool shownScreenTakesTyping(bool quiet);
    // YES while the catalogue's or library's side panel is hidden, NO while it shows.
    void itemsMove(bool panelHidden);
    // Tag 5 (orders) shows counts: "0" or no number clears it, 1000 and more read "999+".
    void setBadgeValueTabBarItemTagAnimated(const std::optional<std::string>& value, int tag, bool animated);
    void startSyncIconAnimation();
    void stopSyncIconAnimation();
    void settingsBtnClicked();
    void deselectButton() override;
    void logoOnLongClickListener(ui::GestureRecognizer& gesture);
    void goBackLoginView() override;
    void notifiChangelanguage() override;

    bool shouldAutorotate() const override { return true; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    const std::vector<std::shared_ptr<TabBarItemButton>>& itmeButtonArray() const { return m_itmeButtonArray; }
    std::shared_ptr<TabBarItemButton> buttonWithTag(int tag) const;
    const std::shared_ptr<ui::ImageView>& backgroundImage() const { return m_backgroundImage; }
    const std::shared_ptr<ui::Button>& btnLogo() const { return m_btnLogo; }
    const std::shared_ptr<ui::PopoverController>& logoutPopController() const { return m_logoutPopController; }
    std::shared_ptr<CatalogViewDelegate> catalogDelegate() const { return m_catalogDelegate.lock(); }
    void setCatalogDelegate(const std::shared_ptr<CatalogViewDelegate>& delegate) { m_catalogDelegate = delegate; }
    std::shared_ptr<LibraryViewDelegate> libraryDelegate() const { return m_libraryDelegate.lock(); }
    void setLibraryDelegate(const std::shared_ptr<LibraryViewDelegate>& delegate) { m_libraryDelegate = delegate; }
    int iCurSelectTab() const { return m_iCurSelectTab; }
    int iPerSelectTab() const { return m_iPerSelectTab; }
    bool bViewHasLoad() const { return m_bViewHasLoad; }

    // The captions' colours on the bar as it is drawn now: the skin's own, unless they cannot
    // be read on it.
    std::pair<gfx::Color, gfx::Color> captionColors();

private:
    gfx::Image barImage();
    // Visible buttons from `left`, `step` apart and `width` wide; the step shrinks when the
    // last one would end past the screen's right edge.
    void layoutVisibleButtons(double left, double step, double width);

    std::shared_ptr<TabBarItemButton> m_homeBtn;
    std::shared_ptr<TabBarItemButton> m_catalogBtn;
    std::shared_ptr<TabBarItemButton> m_customerBtn;
    std::shared_ptr<TabBarItemButton> m_inventoryBtn;
    std::shared_ptr<TabBarItemButton> m_salesLibraryBtn;
    std::shared_ptr<TabBarItemButton> m_quoteOrderBtn;
    std::shared_ptr<TabBarItemButton> m_syncBtn;
    std::shared_ptr<TabBarItemButton> m_settingsBtn;
    std::shared_ptr<ui::ImageView> m_backgroundImage;
    std::shared_ptr<ui::Button> m_btnLogo;
    std::shared_ptr<ui::PopoverController> m_logoutPopController;
    std::vector<std::shared_ptr<TabBarItemButton>> m_itmeButtonArray;
    std::weak_ptr<CatalogViewDelegate> m_catalogDelegate;
    std::weak_ptr<LibraryViewDelegate> m_libraryDelegate;
    int32_t m_iCurSelectTab = 0;
    int32_t m_iPerSelectTab = 0;
    bool m_bViewHasLoad = false;
    // The configuration's own bar picture, by file, while it is named.
    std::string m_barPath;
    gfx::Image m_barPicture;
    base::ObserverToken m_skinPicturesArrived;
};
