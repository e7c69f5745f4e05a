#pragma once
#include "Platform/Graphics/Font.h"

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

// A file path as shown on screen: lines break after a slash and never inside a folder's name
// (a zero-width space after each '/', a word joiner after each '-'); the file's own name, an
// identifier wider than a line as often as not, may break after its hyphens.
std::string pathBreakingAtSlashes(const std::string& path);

// The path as drawn in `width` points of `font`: as above, with the file's name starting a line
// of its own when it would otherwise begin on a folder's line and run on to the next.
std::string pathForLines(const std::string& path, const gfx::Font& font, double width);

// Tells the user where a message stays that the mail program took and then failed to send.
void showUnsentMail(const std::string& messagePath);
