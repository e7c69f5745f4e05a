#pragma once
#include "Common/BaseViewController.h"
#include "Platform/UI/AlertView.h"
#include "Widgets/LinkLabel.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {
class ImageView;
class PopoverController;
}

// The home tab: the client's home picture with the company's web link. Right after an online
// login that reported new data it offers a sync; after a demo login it shows once where the
// logout is.
class HomeViewController : public BaseViewController, public ui::AlertViewDelegate, public LinkLabelDelegate {
public:
    static constexpr int kUpdateAlertTag = 1000;
    static constexpr int kWifiAlertTag = 1001;

    HomeViewController() = default;
    ~HomeViewController() override;
    const char* className() const override { return "HomeViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    void viewAfterFirstDidLoad() override;
    void viewDidUnload() override;
    void updateLanguage(ui::Responder* sender) override;

    // A non-empty text is shown as the link; none hides it.
    void loadWebsiteAddress(const std::string& address);
    void showAlertViewWithMessageWithButtons(int tag, const std::string& message, const std::vector<std::string>& buttons);
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;
    void linkLabelToucheTouchesWtihTag(LinkLabel& label, int tag) override;

    void showHelpLogout();
    static bool hasShownHelpLogout();
    static void markAppHasShownHelpLogout();

    // Offered by the screen, though no control of it calls them.
    void userEditBtnClick();
    void logoutBtnClick();

    bool shouldAutorotate() const override { return true; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    const std::shared_ptr<ui::ImageView>& homeBg() const { return m_homeBg; }
    const std::shared_ptr<LinkLabel>& linklblWebsite() const { return m_linklblWebsite; }
    const std::shared_ptr<ui::PopoverController>& helpPopController() const { return m_helpPopController; }

private:
    void setSyncBadge(bool animated);

    std::shared_ptr<ui::ImageView> m_homeBg;
    std::shared_ptr<LinkLabel> m_linklblWebsite;
    std::shared_ptr<ui::PopoverController> m_helpPopController;
    // Alerts that still point at this screen; they forget it when it goes.
    std::vector<std::weak_ptr<ui::AlertView>> m_alerts;
};
