#pragma once
#include "Platform/Graphics/Geometry.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {

class Touch;
class Event;

// Receives touches and key input; unhandled events go to the next responder.
class Responder : public std::enable_shared_from_this<Responder> {
public:
    virtual ~Responder();

    virtual Responder* nextResponder() const { return nullptr; }

    virtual void touchesBegan(const std::vector<Touch*>& touches, Event& event);
    virtual void touchesMoved(const std::vector<Touch*>& touches, Event& event);
    virtual void touchesEnded(const std::vector<Touch*>& touches, Event& event);
    virtual void touchesCancelled(const std::vector<Touch*>& touches, Event& event);

    // Keyboard focus. Views that take text answer canBecomeFirstResponder.
    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool becomeFirstResponder();
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    // Text typed while this responder has focus; keys are "\n", "\b", "\t", "escape", the
    // editing keys "left", "right", "home", "end", "delete" (each also with "shift+"), and
    // "ctrl+a", "ctrl+c", "ctrl+x", "ctrl+v". Tab, "pageup" and "pagedown" are the window's.
    virtual void insertText(const std::string& text) {}
    virtual void deleteBackward() {}
    virtual void keyPressed(const std::string& key) {}
    // An input method's text not yet committed, shown at the caret; empty ends it.
    virtual void setMarkedText(const std::string& text) {}
    // Whether an input method may compose text here (a window turns composition off where not).
    virtual bool acceptsComposition() const { return true; }
    // Where the caret is, in window coordinates, for an input method's candidate list.
    virtual std::optional<gfx::Rect> caretRectInWindow() const { return std::nullopt; }

    static Responder* currentFirstResponder();

protected:
    // Called after focus changed, so subclasses can start or stop editing.
    virtual void didBecomeFirstResponder() {}
    virtual void didResignFirstResponder() {}
};

} // namespace ui
