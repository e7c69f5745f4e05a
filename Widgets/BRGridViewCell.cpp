#include "Widgets/BRGridViewCell.h"

#include "Platform/Base/Timer.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/NamedImage.h"

namespace {

constexpr double kHighlightAnimationDuration = 0.2;
constexpr double kHighlightFlipDelay = 0.1;

// Switches view animations off and brings back what was there before.
class AnimationsOff {
public:
    AnimationsOff() : m_was(ui::View::areAnimationsEnabled()) { ui::View::setAnimationsEnabled(false); }
    ~AnimationsOff() { ui::View::setAnimationsEnabled(m_was); }
    bool previous() const { return m_was; }

private:
    bool m_was;
};

} // namespace

BRGridViewCell::BRGridViewCell(const gfx::Rect& frame, const std::string& reuseIdentifier)
    : View(frame)
    , m_reuseIdentifier(reuseIdentifier)
{
    setBackgroundColor(gfx::Color::white());
}

BRGridViewCell::~BRGridViewCell()
{
    if (m_fadeTimer)
        m_fadeTimer->invalidate();
}

gfx::Color BRGridViewCell::defaultSeparatorColor()
{
    return gfx::Color::fromWhite(0.82);
}

std::string BRGridViewCell::selectionImageNameForStyle(int style)
{
    switch (style) {
    case SelectionStyleBlue: return "BRGridSelection.png";
    case SelectionStyleGray: return "BRGridSelectionGray.png";
    case SelectionStyleGrayBlue: return "BRGridSelectionGrayBlue.png";
    case SelectionStyleGreen: return "BRGridSelectionGreen.png";
    case SelectionStyleRed: return "BRGridSelectionRed.png";
    default: return {};
    }
}

std::shared_ptr<ui::View> BRGridViewCell::contentView()
{
    if (!m_contentView) {
        m_contentView = ui::View::make(bounds());
        m_contentView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
        m_contentView->setAutoresizesSubviews(true);
        setAutoresizesSubviews(true);
        m_contentView->setBackgroundColor(gfx::Color::white());
        addSubview(m_contentView);
    }
    return m_contentView;
}

gfx::Rect BRGridViewCell::frameForDecoration(bool bottomOnlyWhenEdgeSet) const
{
    gfx::Rect r = bounds();
    r.origin = {0, 0};
    if (m_separatorStyle == kSeparatorStyleLines) {
        if (!bottomOnlyWhenEdgeSet || (m_separatorEdge & SeparatorEdgeBottom))
            r.size.height -= 1;
        if (m_separatorEdge & SeparatorEdgeRight)
            r.size.width -= 1;
    }
    return r;
}

void BRGridViewCell::setBackgroundView(std::shared_ptr<ui::View> view)
{
    if (view == m_backgroundView)
        return;
    if (m_backgroundView && m_backgroundView->superview() == this)
        m_backgroundView->removeFromSuperview();
    m_backgroundView = std::move(view);
    if (!m_backgroundView)
        return;
    m_backgroundView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    m_backgroundView->setFrame(frameForDecoration(false));
    insertSubviewAtIndex(m_backgroundView, 0);
}

void BRGridViewCell::setSelectedBackgroundView(std::shared_ptr<ui::View> view)
{
    if (view == m_selectedBackgroundView)
        return;
    if (m_selectedBackgroundView && m_selectedBackgroundView->superview() == this)
        m_selectedBackgroundView->removeFromSuperview();
    m_selectedBackgroundView = std::move(view);
    m_usingDefaultSelectedBackgroundView = !m_selectedBackgroundView;
    if (!m_selectedBackgroundView)
        return;
    m_selectedBackgroundView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    m_selectedBackgroundView->setFrame(frameForDecoration(true));
    insertSubviewAtIndex(m_selectedBackgroundView, 0);
}

void BRGridViewCell::setSelectionStyle(int style)
{
    if (style < SelectionStyleNone || style > SelectionStyleGlow)
        return;
    m_selectionStyle = style;
}

void BRGridViewCell::setSeparatorStyle(int style)
{
    if (style == m_separatorStyle)
        return;
    m_separatorStyle = style;
    setNeedsLayout();
}

void BRGridViewCell::setSeparatorEdge(unsigned edge)
{
    edge &= SeparatorEdgeBottom | SeparatorEdgeRight;
    if (edge == m_separatorEdge)
        return;
    m_separatorEdge = edge;
    setNeedsLayout();
}

void BRGridViewCell::setSeparatorColor(std::optional<gfx::Color> color)
{
    if (color == m_separatorColor)
        return;
    m_separatorColor = color;
    for (auto* line : {m_bottomSeparatorView.get(), m_rightSeparatorView.get()})
        if (line)
            line->setBackgroundColor(color.value_or(defaultSeparatorColor()));
}

void BRGridViewCell::setSelected(bool selected, bool animated)
{
    m_selected = selected;
    setHighlighted(selected, animated);
}

void BRGridViewCell::setHiddenForAnimation(bool hidden)
{
    if (hidden)
        setHidden(true);
    m_hiddenForAnimation = hidden;
}

void BRGridViewCell::prepareForReuse()
{
    // The glow outline is rebuilt for the next item.
    m_setShadowPath = false;
}

int BRGridViewCell::compareOriginAgainstCell(const BRGridViewCell& other) const
{
    gfx::Point a = frame().origin, b = other.frame().origin;
    if (a.y != b.y)
        return a.y < b.y ? -1 : 1;
    if (a.x != b.x)
        return a.x < b.x ? -1 : 1;
    return 0;
}

void BRGridViewCell::layoutSubviews()
{
    View::layoutSubviews();
    m_setShadowPath = false;
    gfx::Rect r(0, 0, bounds().width(), bounds().height());
    if (m_separatorStyle == kSeparatorStyleLines) {
        gfx::Color lineColor = m_separatorColor.value_or(defaultSeparatorColor());
        if (m_separatorEdge & SeparatorEdgeBottom) {
            if (!m_bottomSeparatorView) {
                m_bottomSeparatorView = ui::View::make();
                m_bottomSeparatorView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleTopMargin);
            }
            if (m_bottomSeparatorView->superview() != this)
                insertSubviewAtIndex(m_bottomSeparatorView, 0);
            m_bottomSeparatorView->setFrame({0, r.height() - 1, r.width(), 1});
            m_bottomSeparatorView->setBackgroundColor(lineColor);
            r.size.height -= 1;
        } else if (m_bottomSeparatorView) {
            m_bottomSeparatorView->removeFromSuperview();
        }
        if (m_separatorEdge & SeparatorEdgeRight) {
            if (!m_rightSeparatorView) {
                m_rightSeparatorView = ui::View::make();
                m_rightSeparatorView->setAutoresizingMask(ui::AutoresizingFlexibleHeight | ui::AutoresizingFlexibleLeftMargin);
            }
            if (m_rightSeparatorView->superview() != this)
                insertSubviewAtIndex(m_rightSeparatorView, 0);
            m_rightSeparatorView->setFrame({r.width() - 1, 0, 1, bounds().height()});
            m_rightSeparatorView->setBackgroundColor(lineColor);
            r.size.width -= 1;
        } else if (m_rightSeparatorView) {
            m_rightSeparatorView->removeFromSuperview();
        }
    }
    for (auto* view : {m_contentView.get(), m_backgroundView.get(), m_selectedBackgroundView.get()})
        if (view)
            view->setFrame(r);
}

void BRGridViewCell::setHighlighted(bool highlighted, bool animated)
{
    if (m_selectionStyle == SelectionStyleNone) {
        m_highlighted = highlighted;
        return;
    }
    m_becomingHighlighted = highlighted;
    bool animate = animated && View::areAnimationsEnabled();
    auto changes = [this, highlighted, animated] {
        if (m_selectionStyle == SelectionStyleGlow) {
            ui::View* layer = glowSelectionLayer();
            // The glow follows the content's bounds, so its outline needs no rebuilding here.
            m_setShadowPath = true;
            ui::View::Shadow glow;
            glow.offset = {0, 0};
            glow.color = m_selectionGlowColor.value_or(gfx::Color::darkGray());
            glow.radius = m_selectionGlowShadowRadius;
            glow.opacity = highlighted ? 1.0 : 0.0;
            // Every layout pass re-applies the selected state; an unchanged glow is left alone.
            const ui::View::Shadow& now = layer->shadow();
            if (now.opacity != glow.opacity || now.radius != glow.radius || now.color != glow.color ||
                now.offset != glow.offset)
                layer->setShadow(glow);
        } else {
            beginBackgroundHighlight(highlighted, animated);
        }
    };
    if (!animate) {
        changes();
        highlightAnimationStopped();
        return;
    }
    m_animatingSelection = true;
    ui::View::AnimationOptions options;
    options.duration = kHighlightAnimationDuration;
    options.curve = ui::View::AnimationOptions::Curve::Linear;
    options.beginFromCurrentState = true;
    std::weak_ptr<ui::Responder> weak = weak_from_this();
    View::animate(options, changes, [this, weak](bool) {
        if (weak.lock())
            highlightAnimationStopped();
    });
}

void BRGridViewCell::highlightAnimationStopped()
{
    if (m_becomingHighlighted) {
        m_highlighted = true;
    } else {
        AnimationsOff off;
        makeSubviewsOfViewOpaqueAgain(*this);
        m_highlighted = false;
        if (m_selectedBackgroundView && m_selectedBackgroundView->superview() == this)
            m_selectedBackgroundView->removeFromSuperview();
        m_selectionColorInfo.clear();
    }
    m_animatingSelection = false;
}

void BRGridViewCell::beginBackgroundHighlight(bool highlighted, bool animated)
{
    if (m_usingDefaultSelectedBackgroundView && !m_selectedBackgroundView) {
        // Made once: the picture is that of the style in force the first time it is needed.
        auto picture = ui::View::make<ui::ImageView>(ui::imageNamed(selectionImageNameForStyle(m_selectionStyle)));
        picture->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
        picture->setContentMode(ui::ContentMode::ScaleToFill);
        m_selectedBackgroundView = picture;
    }
    if (m_selectedBackgroundView) {
        if (highlighted) {
            bool previous;
            {
                AnimationsOff off;
                previous = off.previous();
                m_selectedBackgroundView->setAlpha(0);
                makeSubviewsOfViewNonOpaqueWithBackgroundColor(*this, gfx::Color::clear());
                if (m_backgroundView && m_backgroundView->superview() == this)
                    insertSubviewAboveSubview(m_selectedBackgroundView, m_backgroundView.get());
                else
                    insertSubviewAtIndex(m_selectedBackgroundView, 0);
                m_selectedBackgroundView->setFrame(gfx::Rect(0, 0, bounds().width(), bounds().height()));
            }
            // Inside an open animation the picture fades in.
            View::setAnimationsEnabled(previous);
            m_selectedBackgroundView->setAlpha(1.0);
        } else {
            m_selectedBackgroundView->setAlpha(0);
        }
    }
    if (!animated) {
        if (highlighted)
            highlightSubviewsOfView(*this);
        else
            resetHighlightForSubviewsOfView(*this);
        return;
    }
    if (m_fadeTimer)
        m_fadeTimer->invalidate();
    std::weak_ptr<ui::Responder> weak = weak_from_this();
    m_fadeTimer = base::Timer::scheduled(kHighlightFlipDelay, false, [this, weak, highlighted](base::Timer&) {
        if (weak.lock())
            flipHighlightTimerFired(highlighted);
    });
}

void BRGridViewCell::flipHighlightTimerFired(bool highlighted)
{
    if (highlighted)
        highlightSubviewsOfView(*this);
    else
        resetHighlightForSubviewsOfView(*this);
}

BRGridViewCell::SavedState* BRGridViewCell::savedStateFor(ui::View& view, bool create)
{
    auto it = m_selectionColorInfo.find(&view);
    // A view that went away and left its address to a newcomer has nothing saved.
    if (it != m_selectionColorInfo.end() && it->second.view.lock().get() != &view) {
        m_selectionColorInfo.erase(it);
        it = m_selectionColorInfo.end();
    }
    if (it != m_selectionColorInfo.end())
        return &it->second;
    if (!create)
        return nullptr;
    SavedState state;
    state.view = view.weak_from_this();
    return &m_selectionColorInfo.emplace(&view, std::move(state)).first->second;
}

void BRGridViewCell::makeSubviewsOfViewNonOpaqueWithBackgroundColor(ui::View& view, std::optional<gfx::Color> color)
{
    auto subviews = view.subviews();
    for (auto& sub : subviews) {
        if (sub->isOpaque()) {
            savedStateFor(*sub, true)->backgroundColor = sub->backgroundColor();
            sub->setOpaque(false);
            sub->setBackgroundColor(color);
        }
        makeSubviewsOfViewNonOpaqueWithBackgroundColor(*sub, color);
    }
}

void BRGridViewCell::makeSubviewsOfViewOpaqueAgain(ui::View& view)
{
    auto subviews = view.subviews();
    for (auto& sub : subviews) {
        if (SavedState* saved = savedStateFor(*sub, false); saved && saved->backgroundColor) {
            sub->setOpaque(true);
            sub->setBackgroundColor(*saved->backgroundColor);
        }
        makeSubviewsOfViewOpaqueAgain(*sub);
    }
}

void BRGridViewCell::highlightSubviewsOfView(ui::View& view)
{
    auto subviews = view.subviews();
    for (auto& sub : subviews) {
        if (ui::Highlightable* h = sub->highlightable()) {
            SavedState* saved = savedStateFor(*sub, true);
            if (!saved->highlighted)
                saved->highlighted = h->isHighlighted();
            h->setHighlighted(true);
        }
        highlightSubviewsOfView(*sub);
    }
}

void BRGridViewCell::resetHighlightForSubviewsOfView(ui::View& view)
{
    auto subviews = view.subviews();
    for (auto& sub : subviews) {
        if (ui::Highlightable* h = sub->highlightable())
            if (SavedState* saved = savedStateFor(*sub, false); saved && saved->highlighted)
                h->setHighlighted(*saved->highlighted);
        resetHighlightForSubviewsOfView(*sub);
    }
}
