#pragma once
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"
#include "Platform/UI/AlertView.h"
#include "Classes/Sync/ResourceUpdateView.h"
#include "Protocol/SyncModel.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace ui {
class ActivityIndicator;
class ImageView;
class Label;
}

// The sync tab. It is the sync engine's delegate from its first load, so that a sync asked
// for elsewhere reaches it, and shows the engine's progress, end and breaks.
class SyncViewController : public BaseViewController,
                           public ConfigDelegate,
                           public SyncModelDelegate,
                           public ResourceUpdateDelegate,
                           public ui::AlertViewDelegate {
public:
    enum AlertTag { BrokenAlert = 255, LoginBrokenAlert = 256, DemoAlert = 1000, WifiAlert = 1001, MissingFilesAlert = 257 };

    SyncViewController() = default;
    const char* className() const override { return "SyncViewController"; }

    void viewDidLoad() override;
    void viewAfterFirstDidLoad() override;
    void viewWillAppear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }
    void getsyncdate();

    void btnSyncClick(ui::Button* sender) override;
    void syncData();
    void startSyncData() override;
    int startSyncDataCalls() const { return m_startSyncDataCalls; }
    void breakSync(const std::string& message) override;
    void downloadimageFinished(int imageType) override;
    void finishedSync() override;
    void setProgressImageTypeRemainTime(float progress, int imageType, int remainTime) override;
    void getCustomerFinished() override;
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;
    void startIndictorView();
    void stopIndicatorView();

    const std::shared_ptr<ResourceUpdateView>& resourceUpdateView() const { return m_resourceUpdateView; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return m_titleLabel; }
    const std::shared_ptr<ui::View>& syncMainView() const { return m_syncMainView; }
    const std::shared_ptr<ui::ActivityIndicator>& indicatorView() const { return m_indicatorView; }

private:
    // The start behind the demo and network checks: one sync at a time.
    void guardedStart();
    void showAlert(int tag, const std::string& title, const std::string& message, const std::string& cancel,
                   const std::vector<std::string>& others);

    std::shared_ptr<ui::ImageView> m_topBar;
    std::shared_ptr<ui::Label> m_titleLabel;
    std::shared_ptr<ui::View> m_syncMainView;
    std::shared_ptr<ResourceUpdateView> m_resourceUpdateView;
    std::shared_ptr<ui::ActivityIndicator> m_indicatorView;
    std::vector<std::weak_ptr<ui::AlertView>> m_alerts;
    std::mutex m_lock;
    int m_loadByConfigCount = 0;
    int m_startSyncDataCalls = 0;
};
