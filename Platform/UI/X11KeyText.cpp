#include "Platform/UI/X11KeyText.h"

#include <SDL2/SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

namespace ui {

std::optional<std::string> x11KeyPressText(const SDL_SysWMmsg* message)
{
#if defined(SDL_VIDEO_DRIVER_X11)
    if (!message || message->subsystem != SDL_SYSWM_X11)
        return std::nullopt;
    XEvent event = message->msg.x11.event;
    if (event.type != KeyPress)
        return std::nullopt;
    // Shortcuts type nothing.
    if (event.xkey.state & (ControlMask | Mod1Mask | Mod4Mask))
        return std::string();
    char bytes[32];
    KeySym sym = 0;
    int length = XLookupString(&event.xkey, bytes, sizeof bytes, &sym, nullptr);
    std::string text;
    // The lookup gives Latin-1; control characters are keys, not text.
    for (int i = 0; i < length; ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c == 0x7f)
            return std::string();
        if (c < 0x80) {
            text.push_back(static_cast<char>(c));
        } else {
            text.push_back(static_cast<char>(0xc0 | (c >> 6)));
            text.push_back(static_cast<char>(0x80 | (c & 0x3f)));
        }
    }
    return text;
#else
    (void)message;
    return std::nullopt;
#endif
}

std::optional<bool> x11KeyPressShift(const SDL_SysWMmsg* message)
{
#if defined(SDL_VIDEO_DRIVER_X11)
    if (!message || message->subsystem != SDL_SYSWM_X11 || message->msg.x11.event.type != KeyPress)
        return std::nullopt;
    return (message->msg.x11.event.xkey.state & ShiftMask) != 0;
#else
    (void)message;
    return std::nullopt;
#endif
}

} // namespace ui
