#pragma once
#include "Platform/UI/View.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace base {
class Timer;
}

// The base of every cell a grid view shows: a content view for the subclass's own views,
// optional background and selected-background views, a look for the selected and highlighted
// state, one-point separator lines, and what the grid needs to file and place it.
class BRGridViewCell : public ui::View {
public:
    enum SelectionStyle {
        SelectionStyleNone = 0,
        SelectionStyleBlue = 1,
        SelectionStyleGray = 2,
        SelectionStyleGrayBlue = 3,
        SelectionStyleGreen = 4,
        SelectionStyleRed = 5,
        SelectionStyleGlow = 6,
    };
    enum SeparatorEdge : unsigned { SeparatorEdgeBottom = 1, SeparatorEdgeRight = 2 };
    static constexpr int kSeparatorStyleLines = 2;
    static constexpr const char* kHighlightAnimationName = "BRGridCellViewHighlightAnimation";

    BRGridViewCell(const gfx::Rect& frame, const std::string& reuseIdentifier);
    ~BRGridViewCell() override;
    const char* className() const override { return "BRGridViewCell"; }

    // The colour of separator lines when the cell is given none.
    static gfx::Color defaultSeparatorColor();
    // The picture of a selection style 1 to 5 (null for the others).
    static std::string selectionImageNameForStyle(int style);

    // Made on first use: the cell's size, white, resizing with the cell.
    std::shared_ptr<ui::View> contentView();
    void setContentView(std::shared_ptr<ui::View> view) { m_contentView = std::move(view); }
    std::shared_ptr<ui::View> backgroundView() const { return m_backgroundView; }
    void setBackgroundView(std::shared_ptr<ui::View> view);
    std::shared_ptr<ui::View> selectedBackgroundView() const { return m_selectedBackgroundView; }
    // Nil brings back the style's picture the next time a highlight needs one.
    void setSelectedBackgroundView(std::shared_ptr<ui::View> view);

    int selectionStyle() const { return m_selectionStyle; }
    // 0 to 6; other values are ignored.
    void setSelectionStyle(int style);
    std::optional<gfx::Color> selectionGlowColor() const { return m_selectionGlowColor; }
    void setSelectionGlowColor(std::optional<gfx::Color> color) { m_selectionGlowColor = color; }
    double selectionGlowShadowRadius() const { return m_selectionGlowShadowRadius; }
    void setSelectionGlowShadowRadius(double radius) { m_selectionGlowShadowRadius = radius; }
    // The view that carries the glow.
    ui::View* glowSelectionLayer() { return contentView().get(); }

    int separatorStyle() const { return m_separatorStyle; }
    void setSeparatorStyle(int style);
    unsigned separatorEdge() const { return m_separatorEdge; }
    void setSeparatorEdge(unsigned edge);
    std::optional<gfx::Color> separatorColor() const { return m_separatorColor; }
    void setSeparatorColor(std::optional<gfx::Color> color);
    ui::View* bottomSeparatorView() const { return m_bottomSeparatorView.get(); }
    ui::View* rightSeparatorView() const { return m_rightSeparatorView.get(); }

    bool isSelected() const { return m_selected; }
    void setSelected(bool selected, bool animated = false);
    // An animated change takes its new value when the animation ends.
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted, bool animated = false);
    bool isAnimatingSelection() const { return m_animatingSelection; }
    bool isEditing() const { return m_editing; }
    void setEditing(bool editing, bool animated = false) { m_editing = editing; }

    const std::string& reuseIdentifier() const { return m_reuseIdentifier; }
    void setReuseIdentifier(const std::string& identifier) { m_reuseIdentifier = identifier; }
    uint32_t displayIndex() const { return m_displayIndex; }
    void setDisplayIndex(uint32_t index) { m_displayIndex = index; }
    bool hiddenForAnimation() const { return m_hiddenForAnimation; }
    // Yes hides the cell; no only clears the flag, as the grid shows the cell itself.
    void setHiddenForAnimation(bool hidden);

    // Subclasses extend it to clear what they show.
    virtual void prepareForReuse();
    // Negative when this cell comes first: the higher one, then the one further left.
    int compareOriginAgainstCell(const BRGridViewCell& other) const;

    void layoutSubviews() override;

    // The state saving walks over everything below a view, depth first.
    void makeSubviewsOfViewNonOpaqueWithBackgroundColor(ui::View& view, std::optional<gfx::Color> color);
    void makeSubviewsOfViewOpaqueAgain(ui::View& view);
    void highlightSubviewsOfView(ui::View& view);
    void resetHighlightForSubviewsOfView(ui::View& view);
    // Subviews whose state is saved while highlighted.
    size_t savedSubviewStateCount() const { return m_selectionColorInfo.size(); }

private:
    struct SavedState {
        std::weak_ptr<const ui::Responder> view;
        // Outer: saved or not; inner: the colour, or none.
        std::optional<std::optional<gfx::Color>> backgroundColor;
        std::optional<bool> highlighted;
    };
    SavedState* savedStateFor(ui::View& view, bool create);
    void beginBackgroundHighlight(bool highlighted, bool animated);
    void flipHighlightTimerFired(bool highlighted);
    void highlightAnimationStopped();
    gfx::Rect frameForDecoration(bool minusBottomOnlyWhenEdgeSet) const;

    std::string m_reuseIdentifier;
    std::shared_ptr<ui::View> m_contentView;
    std::shared_ptr<ui::View> m_backgroundView;
    std::shared_ptr<ui::View> m_selectedBackgroundView;
    std::optional<gfx::Color> m_separatorColor;
    std::optional<gfx::Color> m_selectionGlowColor;
    double m_selectionGlowShadowRadius = 12.0;
    std::shared_ptr<ui::View> m_bottomSeparatorView;
    std::shared_ptr<ui::View> m_rightSeparatorView;
    std::shared_ptr<base::Timer> m_fadeTimer;
    std::map<const ui::View*, SavedState> m_selectionColorInfo;
    uint32_t m_displayIndex = 0;

    int m_separatorStyle = 1;
    int m_selectionStyle = SelectionStyleGlow;
    unsigned m_separatorEdge = 0;
    bool m_animatingSelection = false;
    bool m_usingDefaultSelectedBackgroundView = true;
    bool m_selected = false;
    bool m_highlighted = false;
    bool m_becomingHighlighted = false;
    bool m_setShadowPath = false;
    bool m_editing = false;
    bool m_hiddenForAnimation = false;
};
