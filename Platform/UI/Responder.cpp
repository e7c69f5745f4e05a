#include "Platform/UI/Responder.h"

namespace ui {

namespace {
Responder* g_firstResponder = nullptr;
}

Responder::~Responder()
{
    if (g_firstResponder == this)
        g_firstResponder = nullptr;
}

void Responder::touchesBegan(const std::vector<Touch*>& touches, Event& event)
{
    if (Responder* next = nextResponder())
        next->touchesBegan(touches, event);
}

void Responder::touchesMoved(const std::vector<Touch*>& touches, Event& event)
{
    if (Responder* next = nextResponder())
        next->touchesMoved(touches, event);
}

void Responder::touchesEnded(const std::vector<Touch*>& touches, Event& event)
{
    if (Responder* next = nextResponder())
        next->touchesEnded(touches, event);
}

void Responder::touchesCancelled(const std::vector<Touch*>& touches, Event& event)
{
    if (Responder* next = nextResponder())
        next->touchesCancelled(touches, event);
}

bool Responder::becomeFirstResponder()
{
    if (g_firstResponder == this)
        return true;
    if (!canBecomeFirstResponder())
        return false;
    if (g_firstResponder && !g_firstResponder->resignFirstResponder())
        return false;
    g_firstResponder = this;
    didBecomeFirstResponder();
    return true;
}

bool Responder::resignFirstResponder()
{
    if (g_firstResponder != this)
        return true;
    g_firstResponder = nullptr;
    didResignFirstResponder();
    return true;
}

bool Responder::isFirstResponder() const
{
    return g_firstResponder == this;
}

Responder* Responder::currentFirstResponder()
{
    return g_firstResponder;
}

} // namespace ui
