#pragma once
#include "Common/LanguageManager.h"
#include "Classes/Sync/SyncItemView.h"

#include <memory>
#include <string>

namespace ui {
class ActivityIndicator;
class Button;
class Label;
}
class SyncInfoItem;

class ResourceUpdateDelegate {
public:
    virtual ~ResourceUpdateDelegate() = default;
    virtual void btnSyncClick(ui::Button* sender) {}
};

// The sync panel: the product, materials and customer rows, the remaining time, the sync
// button and the hint that the download goes on in the background.
class ResourceUpdateView : public SyncItemView, public LanguageManagerDelegate {
public:
    static constexpr double kRowsTop = 70;
    static constexpr double kRowStep = 65;

    // Also listens for language changes, with its rows.
    static std::shared_ptr<ResourceUpdateView> create(const gfx::Rect& frame);
    explicit ResourceUpdateView(const gfx::Rect& frame);
    ~ResourceUpdateView() override;
    const char* className() const override { return "ResourceUpdateView"; }

    bool btnSyncEnabled() const { return m_btnSyncEnabled; }
    void setBtnSyncEnabled(bool enabled);
    const std::string& syncDate() const { return m_syncDate; }
    void setSyncDate(const std::string& date);
    int remainTime() const { return m_remainTime; }
    void setRemainTime(int seconds);
    void setIsCatalogOnshow(bool on);
    void setIsSalesLibraryOnShow(bool on);
    void setIsCustomerOnShow(bool on);
    void resetItemsFrame();
    void resetProgress();
    void btnSyncClick(ui::Button* sender);
    void showHelp();
    void hideHelp();
    void notifiChangelanguage() override;

    ResourceUpdateDelegate* delegate() const { return m_delegate; }
    void setDelegate(ResourceUpdateDelegate* delegate) { m_delegate = delegate; }

    const std::shared_ptr<SyncInfoItem>& syncInfoProduc() const { return m_syncInfoProduc; }
    const std::shared_ptr<SyncInfoItem>& syncInfoIcon() const { return m_syncInfoIcon; }
    const std::shared_ptr<SyncInfoItem>& syncInfoCustomer() const { return m_syncInfoCustomer; }
    const std::shared_ptr<ui::Button>& btnsync() const { return m_btnsync; }
    const std::shared_ptr<ui::Label>& lblRemainTime() const { return m_lblRemainTime; }
    const std::shared_ptr<ui::ActivityIndicator>& activityIndicator() const { return m_activityIndicator; }
    const std::shared_ptr<ui::Label>& labelBgDownload() const { return m_labelBgDownload; }

private:
    void setRowTitles();

    std::shared_ptr<SyncInfoItem> m_syncInfoProduc;
    std::shared_ptr<SyncInfoItem> m_syncInfoIcon;
    std::shared_ptr<SyncInfoItem> m_syncInfoCustomer;
    std::shared_ptr<ui::Label> m_lblRemainTime;
    std::shared_ptr<ui::ActivityIndicator> m_activityIndicator;
    std::shared_ptr<ui::Button> m_btnsync;
    std::shared_ptr<ui::Label> m_labelBgDownload;
    ResourceUpdateDelegate* m_delegate = nullptr;
    bool m_btnSyncEnabled = true;
    std::string m_syncDate;
    int m_remainTime = 0;
    bool m_isCatalogOnshow = true;
    bool m_isCustomerOnShow = true;
    bool m_isSalesLibraryOnShow = true;
};
