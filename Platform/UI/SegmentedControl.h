#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/UI/Control.h"

#include <optional>
#include <string>
#include <vector>

namespace ui {

// A row of titled segments, one of them selected. Lifting a finger on a segment selects it
// and sends ValueChanged; a momentary control only flashes the segment.
class SegmentedControl : public Control {
public:
    static constexpr int kNoSegment = -1;

    explicit SegmentedControl(std::vector<std::string> items = {});
    SegmentedControl(std::vector<std::string> items, const gfx::Rect& frame);
    const char* className() const override { return "SegmentedControl"; }

    size_t numberOfSegments() const { return m_items.size(); }
    void insertSegmentWithTitle(const std::string& title, size_t index);
    void removeSegmentAtIndex(size_t index);
    void removeAllSegments();
    void setTitleForSegmentAtIndex(const std::string& title, size_t index);
    std::string titleForSegmentAtIndex(size_t index) const;
    // A picture shown in place of the segment's title.
    void setImageForSegmentAtIndex(const gfx::Image& image, size_t index);
    gfx::Image imageForSegmentAtIndex(size_t index) const;
    // Drawn over the whole control for the normal state, in place of the plain gradient.
    void setBackgroundImage(const gfx::Image& image);
    const gfx::Image& backgroundImage() const { return m_background; }

    int selectedSegmentIndex() const { return m_selected; }
    // No events: only the user's choice sends ValueChanged.
    void setSelectedSegmentIndex(int index);
    bool isMomentary() const { return m_momentary; }
    void setMomentary(bool momentary) { m_momentary = momentary; }
    std::optional<gfx::Color> tintColor() const { return m_tint; }
    void setTintColor(std::optional<gfx::Color> color) { m_tint = color; setNeedsDisplay(); }

    gfx::Rect segmentRect(size_t index) const;
    // The segment under a point of the bounds, or kNoSegment.
    int segmentAtPoint(gfx::Point point) const;

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    std::string accessibilityText() const override;
    gfx::Rect accessibilityRectOfText(const std::string& text) const override;

protected:
    bool beginTracking(gfx::Point point, const Touch& touch) override;
    void continueTracking(gfx::Point point, const Touch& touch) override;
    void endTracking(gfx::Point point, bool inside) override;
    void cancelTracking() override
    {
        m_pressed = kNoSegment;
        setNeedsDisplay();
    }

private:
    gfx::Color tint() const;

    std::vector<std::string> m_items;
    std::vector<gfx::Image> m_images;
    gfx::Image m_background;
    int m_selected = kNoSegment;
    int m_pressed = kNoSegment;
    bool m_momentary = false;
    std::optional<gfx::Color> m_tint;
};

} // namespace ui
