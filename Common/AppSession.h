#pragma once
#include <memory>
#include <optional>
#include <string>

namespace ui {
class Window;
}
class CheckAppVersionRst;

// What the data models, commands and feature screens ask of the running application: its
// version, its window, the way to the main screen and back to the login, the answer on an
// update, one display choice.
// The application delegate is the session; code below it reaches it through this.
class AppSession {
public:
    // Where a demo user signs up for an account of their own.
    static constexpr const char* kRegistrationPageAddress = "https://www.brivanta.app/signup";

    virtual ~AppSession() = default;

    // The running application's session; null before launch and in tests that start none.
    static std::shared_ptr<AppSession> shared();

    virtual const std::string& currentVersion() const = 0;
    virtual std::shared_ptr<ui::Window> window() const = 0;
    // The main tab bar becomes the root, unless it already is.
    virtual void showMainController() = 0;
    // Logout: every per-login service is released and a new welcome screen is the root.
    virtual void showLoginPage() = 0;
    // "11411" and "207" with a message are shown, and answering them leads back to the login.
    virtual void logoutWithLockedUserMessage(const std::string& status, const std::optional<std::string>& message) = 0;
    // The server's answer on this version: an update offered, suggested or demanded.
    virtual void CheckAppVersionReturn(const CheckAppVersionRst& result) = 0;
    virtual void setIsFileDisPlayTwoColumn(bool on) = 0;
};
