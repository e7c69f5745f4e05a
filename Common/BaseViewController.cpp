#include "Common/BaseViewController.h"

#include "Platform/Base/Log.h"
#include "Platform/Base/Memory.h"

BaseViewController::~BaseViewController()
{
    LanguageManager::sharedInstance()->unRegisterLanugageNotification(this);
}

void BaseViewController::viewDidLoad()
{
    ui::ViewController::viewDidLoad();
    // Again after a reload; the manager keeps each listener once.
    LanguageManager::sharedInstance()->registerLanugageNotification(
        std::static_pointer_cast<BaseViewController>(sharedController()));
}

void BaseViewController::viewAfterFirstDidLoad()
{
    m_bViewHasLoad = true;
}

void BaseViewController::viewDidAppear(bool animated)
{
    ui::ViewController::viewDidAppear(animated);
    m_bViewAppear = true;
}

void BaseViewController::viewDidDisappear(bool animated)
{
    ui::ViewController::viewDidDisappear(animated);
    m_bViewAppear = false;
}

void BaseViewController::notifiChangelanguage()
{
    updateLanguage(this);
}

void BaseViewController::didReceiveMemoryWarning()
{
    ui::ViewController::didReceiveMemoryWarning();
    base::logf("~~~~~~~~~~~~~~level~~~~~~~~~~~~~~~ %d", base::Memory::pressureLevel());
    hightVersionViewDidUnload();
}
