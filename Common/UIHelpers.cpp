#include "Common/UIHelpers.h"

#include "Common/Language.h"
#include "Platform/Base/Bundle.h"
#include "Platform/UI/AlertView.h"

#include <memory>

void UIHelpers::showAlertWithTitleMsgButtonTitle(const std::string& title, const std::string& msg,
                                                 const std::string& buttonTitle)
{
    std::make_shared<ui::AlertView>(title, msg, nullptr, buttonTitle)->show();
}

void UIHelpers::showAlertWithTitle(const std::string& title)
{
    showAlertWithTitleMsg(title, {});
}

void UIHelpers::showAlertWithTitleMsg(const std::string& title, const std::string& msg)
{
    showAlertWithTitleMsgButtonTitle(title, msg, base::Bundle::localizedString("OK"));
}

void showUnsentMail(const std::string& messagePath)
{
    std::make_shared<ui::AlertView>(Language::stringWithName("MAILSAVED"), messagePath, nullptr,
                                    Language::stringWithName("OK"))
        ->show();
}
