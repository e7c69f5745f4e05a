#pragma once
#include "Platform/UI/ViewController.h"
#include "Widgets/BRGridView.h"

#include <memory>

// A screen whose view is one full-size grid, itself its data source (with no items) and its
// delegate; subclasses answer for their items.
class BRGridViewController : public ui::ViewController, public BRGridViewDataSource, public BRGridViewDelegate {
public:
    BRGridViewController() = default;
    ~BRGridViewController() override;
    const char* className() const override { return "BRGridViewController"; }

    // The view, loaded on first use.
    std::shared_ptr<BRGridView> gridView();
    void setGridView(std::shared_ptr<BRGridView> gridView);
    bool clearsSelectionOnViewWillAppear() const { return m_clearsSelectionOnViewWillAppear; }
    void setClearsSelectionOnViewWillAppear(bool clears) { m_clearsSelectionOnViewWillAppear = clears; }

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void willRotateToInterfaceOrientationDuration(ui::InterfaceOrientation orientation, double duration) override;
    void didRotateFromInterfaceOrientation(ui::InterfaceOrientation from) override;

    uint32_t numberOfItemsInGridView(BRGridView&) override { return 0; }
    std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView&, uint32_t) override { return nullptr; }

private:
    std::shared_ptr<BRGridView> m_gridView;
    bool m_clearsSelectionOnViewWillAppear = true;
};
