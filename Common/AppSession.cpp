#include "Common/AppSession.h"

#include "Platform/UI/Application.h"

std::shared_ptr<AppSession> AppSession::shared()
{
    return std::dynamic_pointer_cast<AppSession>(ui::Application::shared().delegate());
}
