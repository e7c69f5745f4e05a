#include "tests/Platform/UI/X11KeyEvents.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_syswm.h>
#include <X11/Xlib.h>

#include <cstring>

struct X11KeyPresses::State {
    Display* display = nullptr;
    SDL_SysWMmsg message;
};

X11KeyPresses::X11KeyPresses() : m_state(std::make_unique<State>())
{
    m_state->display = XOpenDisplay(nullptr);
}

X11KeyPresses::~X11KeyPresses()
{
    if (m_state->display)
        XCloseDisplay(m_state->display);
}

void X11KeyPresses::push(unsigned long keysym, bool shiftHeld)
{
    if (!m_state->display)
        return;
    SDL_SysWMmsg& message = m_state->message;
    std::memset(&message, 0, sizeof message);
    SDL_VERSION(&message.version);
    message.subsystem = SDL_SYSWM_X11;
    XKeyEvent& key = message.msg.x11.event.xkey;
    key.type = KeyPress;
    key.display = m_state->display;
    key.keycode = XKeysymToKeycode(m_state->display, keysym);
    key.state = shiftHeld ? ShiftMask : 0;
    SDL_Event event{};
    event.type = SDL_SYSWMEVENT;
    event.syswm.msg = &message;
    SDL_PushEvent(&event);
}
