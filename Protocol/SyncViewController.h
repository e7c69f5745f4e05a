#pragma once
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"
#include "Protocol/SyncModel.h"

#include <memory>

class TitleBarView;

// The sync tab. It is the sync engine's delegate from its first load, so that a sync asked
// for elsewhere reaches it.
class SyncViewController : public BaseViewController, public ConfigDelegate, public SyncModelDelegate {
public:
    SyncViewController() = default;
    const char* className() const override { return "SyncViewController"; }

    void viewDidLoad() override;
    void viewAfterFirstDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

    void startSyncData() override;
    int startSyncDataCalls() const { return m_startSyncDataCalls; }

private:
    std::shared_ptr<TitleBarView> m_titleBar;
    int m_loadByConfigCount = 0;
    int m_startSyncDataCalls = 0;
};
