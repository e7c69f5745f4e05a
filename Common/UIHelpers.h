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

// A file path as shown on screen: lines break after a slash and never inside a name (a
// zero-width space after each '/', a word joiner after each '-').
std::string pathBreakingAtSlashes(const std::string& path);

// Tells the user where a message stays that the mail program took and then failed to send.
void showUnsentMail(const std::string& messagePath);
