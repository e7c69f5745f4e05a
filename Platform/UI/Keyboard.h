#pragma once
#include "Platform/Base/Value.h"
#include "Platform/Graphics/Geometry.h"

#include <optional>
#include <string>

namespace ui {

// Posted with a user info of kKeyboardFrameEndUserInfoKey: {"x", "y", "width", "height"}.
inline constexpr char kKeyboardDidShowNotification[] = "ui.KeyboardDidShow";
inline constexpr char kKeyboardDidHideNotification[] = "ui.KeyboardDidHide";
inline constexpr char kKeyboardWillChangeFrameNotification[] = "ui.KeyboardWillChangeFrame";
inline constexpr char kKeyboardFrameEndUserInfoKey[] = "KeyboardFrameEnd";

// The on-screen keyboard a tablet would show: a fixed landscape frame, taller for a Chinese
// input mode. The window's fields raise and lower it; every back end posts the same notices.
// A desktop has no keyboard on screen: there the frame is an empty strip below the window, so
// layouts that follow it keep their size.
class Keyboard {
public:
    static constexpr double kHeight = 352;
    static constexpr double kChineseExtraHeight = 54;

    static gfx::Rect frame();
    // On by default; the back ends that run the application turn it off.
    static bool isOnScreen();
    static void setOnScreen(bool onScreen);
    // The height the keyboard in a notice's user info takes from the screen.
    static double coveredHeight(const base::Value& userInfo);
    static bool isVisible();
    // "zh-Hans" for Chinese; by default from the process locale.
    static std::string currentInputModePrimaryLanguage();
    // A changed frame is announced while the keyboard shows.
    static void setCurrentInputModePrimaryLanguage(std::optional<std::string> language);
    // Will-show then did-show (will-hide then did-hide), each with the frame.
    static void show();
    static void hide();
    static gfx::Rect frameFromUserInfo(const base::Value& userInfo);
    static void resetForTesting();

private:
    static base::Value userInfo(const gfx::Rect& frame);
};

} // namespace ui
