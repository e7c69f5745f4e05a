#pragma once
#include "Classes/Catalog/CatalogViewDelegate.h"
#include "Common/BaseViewController.h"
#include "Common/ConfigDelegate.h"

#include <memory>

class TitleBarView;

// The catalogue tab. Its category panel and product area are handed to the main tab bar's
// view while the tab is selected.
class CatalogViewController : public BaseViewController, public ConfigDelegate, public CatalogViewDelegate {
public:
    static constexpr int kMasterViewTag = 6001;
    static constexpr int kDetailViewTag = 6002;

    CatalogViewController() = default;
    const char* className() const override { return "CatalogViewController"; }

    void viewDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;
    void loadByConfig() override;
    int loadByConfigCount() const { return m_loadByConfigCount; }

    // Only while the catalogue tab is selected.
    void addCatologView() override;
    void removeCalogView() override;

    const std::shared_ptr<ui::View>& masterView() const { return m_masterView; }
    const std::shared_ptr<ui::View>& detailView() const { return m_detailView; }

private:
    std::shared_ptr<TitleBarView> m_titleBar;
    std::shared_ptr<ui::View> m_masterView;
    std::shared_ptr<ui::View> m_detailView;
    int m_loadByConfigCount = 0;
};
