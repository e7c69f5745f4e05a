#include "Classes/Library/SinglePPTViewer.h"

#include "Classes/Library/PPTViewController.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/View.h"

void SinglePPTViewer::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    m_preview = std::make_shared<PPTViewController>();
    m_preview->setFilePath(m_filePath);
    m_preview->setFileName(m_fileName);
    // The screen's view lies below the bar already: the preview fills it.
    m_preview->view()->setFrame(view()->bounds());
    m_preview->view()->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    view()->addSubview(m_preview->view());
    m_preview->reloadData();
}

void SinglePPTViewer::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    m_bar = PPTViewController::showTitleBar(*this, m_fileName.value_or(""), [this] { btnBackClick(); });
}

void SinglePPTViewer::btnBackClick()
{
    if (auto* nav = PPTViewController::rootNavigationController())
        nav->popViewController(true);
}

void SinglePPTViewer::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    PPTViewController::hideTitleBar(m_bar);
}

void SinglePPTViewer::didReceiveMemoryWarning()
{
    BaseViewController::didReceiveMemoryWarning();
    if (m_preview && m_preview->isViewLoaded())
        m_preview->view()->removeFromSuperview();
    m_preview.reset();
}
