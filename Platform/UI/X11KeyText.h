#pragma once
#include <optional>
#include <string>

struct SDL_SysWMmsg;

namespace ui {

// The text an X key press types under the keyboard layout and the modifiers the X server
// held at that key (not those SDL last saw, which an input method may have kept from it):
// nullopt when the message is no X key press, empty when the key types nothing by itself.
std::optional<std::string> x11KeyPressText(const SDL_SysWMmsg* message);

// Whether the X server held Shift at a key press: nullopt when the message is no X key press.
std::optional<bool> x11KeyPressShift(const SDL_SysWMmsg* message);

} // namespace ui
