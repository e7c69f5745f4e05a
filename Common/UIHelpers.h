#pragma once
#include <string>

// One-button alerts without a delegate.
class UIHelpers {
public:
    UIHelpers() = delete;

    static void showAlertWithTitleMsgButtonTitle(const std::string& title, const std::string& msg,
                                                 const std::string& buttonTitle);
    // The button reads the bundle's text for "OK".
    static void showAlertWithTitle(const std::string& title);
    static void showAlertWithTitleMsg(const std::string& title, const std::string& msg);
};
