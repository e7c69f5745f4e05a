#pragma once
#include "Platform/UI/Application.h"

#include <memory>
#include <string>

namespace ui {

// Where the window is shown and input comes from: an SDL window, or nothing (headless).
class Backend {
public:
    virtual ~Backend() = default;
    virtual int run(Application& app, const Application::Options& options,
                    std::shared_ptr<ApplicationDelegate> delegate) = 0;
    // Takes the input that arrived, runs the main loop and draws for `seconds` of its clock:
    // the key window gets it all as the user gave it.
    virtual void processEvents(double seconds) = 0;

    static std::unique_ptr<Backend> makeHeadless();
    // Nothing when no display can be opened.
    static std::unique_ptr<Backend> makeWindowed();
    // A message for the user before any window opens (the program is about to stop): a
    // message box on the desktop with one button, until it is answered; false when none
    // could be shown.
    static bool showMessageBox(const std::string& title, const std::string& message, const std::string& button);
};

} // namespace ui
