#include "Protocol/SyncViewController.h"

#include "Common/Language.h"
#include "Common/TitleBarView.h"

void SyncViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    m_titleBar = std::make_shared<TitleBarView>(view()->bounds().width());
    view()->addSubview(m_titleBar);
    updateLanguage(nullptr);
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
}

void SyncViewController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    loadByConfig();
    SyncModel::sharedInstance()->setDelegate(std::dynamic_pointer_cast<SyncModelDelegate>(sharedController()));
}

void SyncViewController::updateLanguage(ui::Responder*)
{
    if (m_titleBar)
        m_titleBar->setTitle(Language::stringWithName("SYNC_"));
}

void SyncViewController::loadByConfig()
{
    ++m_loadByConfigCount;
}

void SyncViewController::startSyncData()
{
    ++m_startSyncDataCalls;
}
