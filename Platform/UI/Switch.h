#pragma once
#include "Platform/UI/Control.h"

#include <memory>
#include <string>

namespace ui {

// An on/off control of a fixed size. A tap toggles it, a drag moves the knob; either sends
// ValueChanged when the value changes.
class Switch : public Control {
public:
    static constexpr gfx::Size kSize{79, 27};

    Switch();
    // The frame's size is ignored: a switch is always kSize.
    explicit Switch(const gfx::Rect& frame);
    const char* className() const override { return "Switch"; }

    bool isOn() const { return m_on; }
    // No events: only the user's changes send ValueChanged.
    void setOn(bool on, bool animated = false);

    // The words on the track's two halves; "ON" and "OFF" unless the owner gives its own.
    void setTitles(const std::string& on, const std::string& off);
    const std::string& onTitle() const { return m_onTitle; }
    const std::string& offTitle() const { return m_offTitle; }

    gfx::Size sizeThatFits(gfx::Size) const override { return kSize; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    std::string accessibilityText() const override { return m_on ? m_onTitle : m_offTitle; }

protected:
    bool beginTracking(gfx::Point point, const Touch& touch) override;
    void continueTracking(gfx::Point point, const Touch& touch) override;
    void endTracking(gfx::Point point, bool inside) override;
    void cancelTracking() override;
    void boundsDidChange(const gfx::Rect& oldBounds) override;

private:
    gfx::Rect knobFrame(bool on) const;
    void placeKnob(bool animated);
    void changeByUser(bool on);

    bool m_on = false;
    std::string m_onTitle = "ON";
    std::string m_offTitle = "OFF";
    std::shared_ptr<View> m_knob;
    gfx::Point m_trackStart;
    double m_knobStartX = 0;
    bool m_dragged = false;
};

} // namespace ui
