#include "Widgets/BRGridViewController.h"

#include "Platform/UI/Window.h"

BRGridViewController::~BRGridViewController()
{
    // The grid may outlive its screen; it must not call back into a gone one.
    if (m_gridView) {
        if (m_gridView->dataSource() == this)
            m_gridView->setDataSource(nullptr);
        if (m_gridView->delegate() == this)
            m_gridView->setDelegate(nullptr);
    }
}

std::shared_ptr<BRGridView> BRGridViewController::gridView()
{
    view();
    return m_gridView;
}

void BRGridViewController::setGridView(std::shared_ptr<BRGridView> gridView)
{
    m_gridView = gridView;
    setView(gridView);
}

void BRGridViewController::loadView()
{
    auto grid = ui::View::make<BRGridView>(gfx::Rect({0, 0}, ui::Window::kScreenSize));
    grid->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    grid->setDataSource(this);
    grid->setDelegate(this);
    setGridView(grid);
}

void BRGridViewController::viewDidLoad()
{
    if (m_gridView)
        m_gridView->reloadData();
}

void BRGridViewController::viewWillAppear(bool animated)
{
    if (m_clearsSelectionOnViewWillAppear && m_gridView)
        m_gridView->deselectItemAtIndexAnimated(m_gridView->indexOfSelectedItem(), animated);
}

void BRGridViewController::willRotateToInterfaceOrientationDuration(ui::InterfaceOrientation orientation, double)
{
    if (m_gridView)
        m_gridView->viewWillRotateToInterfaceOrientation(int(orientation));
}

void BRGridViewController::didRotateFromInterfaceOrientation(ui::InterfaceOrientation)
{
    if (m_gridView)
        m_gridView->viewDidRotate();
}
