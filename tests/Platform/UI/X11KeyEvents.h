#pragma once
#include <memory>

// The desktop's own record of key presses, as SDL passes it on just before the key event it
// makes of each: pushed into SDL's queue over a connection to the test's display, closed with
// this object (before the display goes).
class X11KeyPresses {
public:
    X11KeyPresses();
    ~X11KeyPresses();
    // The key of `keysym` on the display's layout, with Shift held by the X server or not.
    // The record lives until the next push.
    void push(unsigned long keysym, bool shiftHeld);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
