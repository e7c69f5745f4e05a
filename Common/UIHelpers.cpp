#include "Common/UIHelpers.h"

#include "Common/Language.h"
#include "Platform/Base/Bundle.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Label.h"

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

std::string pathBreakingAtSlashes(const std::string& path)
{
    std::string shown;
    shown.reserve(path.size() + path.size() / 4);
    for (char c : path) {
        shown += c;
        if (c == '/')
            shown += "\u200B";
        else if (c == '-')
            shown += "\u2060";
    }
    return shown;
}

void showUnsentMail(const std::string& messagePath)
{
    auto alert = std::make_shared<ui::AlertView>(Language::stringWithName("MAILSAVED"), messagePath, nullptr,
                                                 Language::stringWithName("OK"));
    // The alert keeps the path itself; only what is drawn gets the break points.
    alert->messageLabel().setText(pathBreakingAtSlashes(messagePath));
    alert->show();
}
