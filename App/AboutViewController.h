#pragma once
#include "App/SettingsViewControllerDelegate.h"
#include "Common/BaseViewController.h"

#include <memory>

namespace ui {
class BarButtonItem;
class ImageView;
class Label;
}

// The about page of the settings sheet: the application's icon, name and version, and the
// company line, centred in the sheet's width.
class AboutViewController : public BaseViewController {
public:
    AboutViewController() = default;
    const char* className() const override { return "AboutViewController"; }

    void viewDidLoad() override;
    void doneButtonTapped();
    void updateLanguage(ui::Responder* sender) override;

    std::shared_ptr<SettingsViewControllerDelegate> delegate() const { return m_delegate.lock(); }
    void setDelegate(const std::shared_ptr<SettingsViewControllerDelegate>& delegate) { m_delegate = delegate; }
    // The width the content is centred in; set before the view loads.
    float viewWidth() const { return m_viewWidth; }
    void setViewWidth(float width) { m_viewWidth = width; }

    const std::shared_ptr<ui::ImageView>& imageViewAppIcon() const { return m_imageViewAppIcon; }
    const std::shared_ptr<ui::Label>& lblAppName() const { return m_lblAppName; }
    const std::shared_ptr<ui::Label>& lblAppVersionTitle() const { return m_lblAppVersionTitle; }
    const std::shared_ptr<ui::Label>& lblAppVersion() const { return m_lblAppVersion; }
    const std::shared_ptr<ui::Label>& lblComapny() const { return m_lblComapny; }
    const std::shared_ptr<ui::Label>& lblRights() const { return m_lblRights; }

private:
    std::shared_ptr<ui::ImageView> m_imageViewAppIcon;
    std::shared_ptr<ui::Label> m_lblAppName;
    std::shared_ptr<ui::Label> m_lblAppVersionTitle;
    std::shared_ptr<ui::Label> m_lblAppVersion;
    std::shared_ptr<ui::Label> m_lblComapny;
    std::shared_ptr<ui::Label> m_lblRights;
    std::weak_ptr<SettingsViewControllerDelegate> m_delegate;
    float m_viewWidth = 0;
    std::shared_ptr<ui::BarButtonItem> m_doneItem;
};
