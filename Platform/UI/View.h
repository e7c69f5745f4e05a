#pragma once
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/AffineTransform.h"
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UI/Responder.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gfx {
class Context;
}

namespace ui {

class Window;
class ViewController;
class GestureRecognizer;
class LayerAnimation;

enum Autoresizing : unsigned {
    AutoresizingNone = 0,
    AutoresizingFlexibleLeftMargin = 1 << 0,
    AutoresizingFlexibleWidth = 1 << 1,
    AutoresizingFlexibleRightMargin = 1 << 2,
    AutoresizingFlexibleTopMargin = 1 << 3,
    AutoresizingFlexibleHeight = 1 << 4,
    AutoresizingFlexibleBottomMargin = 1 << 5,
};

enum class ContentMode {
    ScaleToFill,
    ScaleAspectFit,
    ScaleAspectFill,
    Redraw,
    Center,
    Top,
    Bottom,
    Left,
    Right,
    TopLeft,
    TopRight,
    BottomLeft,
    BottomRight,
};

// The highlighted look of labels, image views and controls, reachable without knowing the type.
class Highlightable {
public:
    virtual bool isHighlighted() const = 0;
    virtual void setHighlighted(bool highlighted) = 0;

protected:
    ~Highlightable() = default;
};

// Where `content` of a given size goes inside `bounds` for a content mode.
gfx::Rect rectForContentMode(ContentMode mode, gfx::Size content, const gfx::Rect& bounds);

// A rectangle on screen with subviews. Geometry follows the usual model: the frame is derived
// from centre, bounds size and transform; the bounds origin is the scroll offset of the content.
class View : public Responder {
public:
    View();
    explicit View(const gfx::Rect& frame);
    ~View() override;

    template<typename T = View, typename... Args>
    static std::shared_ptr<T> make(Args&&... args)
    {
        return std::make_shared<T>(std::forward<Args>(args)...);
    }
    std::shared_ptr<View> sharedView() { return std::static_pointer_cast<View>(shared_from_this()); }

    // A short class name for the test driver's lookups ("Button", "Label", ...).
    virtual const char* className() const { return "View"; }
    // Controls track their own touches; tap recognizers of their ancestors leave them alone.
    virtual bool isControl() const { return false; }
    // Views with a highlighted look answer themselves; the others have none.
    virtual Highlightable* highlightable() { return nullptr; }

    // Geometry.
    gfx::Rect frame() const;
    void setFrame(const gfx::Rect& frame);
    const gfx::Rect& bounds() const { return m_bounds; }
    void setBounds(const gfx::Rect& bounds);
    gfx::Point center() const { return m_center; }
    void setCenter(gfx::Point center);
    const gfx::AffineTransform& transform() const { return m_transform; }
    void setTransform(const gfx::AffineTransform& transform);

    // Look.
    double alpha() const { return m_alpha; }
    void setAlpha(double alpha);
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    bool isOpaque() const { return m_opaque; }
    void setOpaque(bool opaque) { m_opaque = opaque; }
    std::optional<gfx::Color> backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(std::optional<gfx::Color> color);
    bool clipsToBounds() const { return m_clipsToBounds; }
    void setClipsToBounds(bool clips);
    double cornerRadius() const { return m_cornerRadius; }
    void setCornerRadius(double radius);
    double borderWidth() const { return m_borderWidth; }
    void setBorderWidth(double width);
    gfx::Color borderColor() const { return m_borderColor; }
    void setBorderColor(gfx::Color color);
    struct Shadow {
        gfx::Color color = gfx::Color::black();
        gfx::Size offset{0, -3};
        double radius = 3;
        double opacity = 0;
        // When set, the shadow is cast by this rectangle (in the view's bounds), whatever
        // the view draws; a clear view can glow this way.
        std::optional<gfx::Rect> path = std::nullopt;
    };
    const Shadow& shadow() const { return m_shadow; }
    void setShadow(const Shadow& shadow);
    ContentMode contentMode() const { return m_contentMode; }
    void setContentMode(ContentMode mode);

    // Identity and input.
    int tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }
    // This view or the first descendant (depth first, in subview order) with the tag.
    View* viewWithTag(int tag);
    bool isUserInteractionEnabled() const { return m_userInteraction; }
    void setUserInteractionEnabled(bool enabled) { m_userInteraction = enabled; }
    bool isMultipleTouchEnabled() const { return m_multipleTouch; }
    void setMultipleTouchEnabled(bool enabled) { m_multipleTouch = enabled; }

    // Hierarchy.
    View* superview() const { return m_superview; }
    const std::vector<std::shared_ptr<View>>& subviews() const { return m_subviews; }
    void addSubview(const std::shared_ptr<View>& view);
    void insertSubviewAtIndex(const std::shared_ptr<View>& view, size_t index);
    void insertSubviewAboveSubview(const std::shared_ptr<View>& view, const View* sibling);
    void insertSubviewBelowSubview(const std::shared_ptr<View>& view, const View* sibling);
    void bringSubviewToFront(const View* view);
    void sendSubviewToBack(const View* view);
    void exchangeSubviewsAtIndices(size_t a, size_t b);
    void removeFromSuperview();
    bool isDescendantOfView(const View* view) const;
    // The first responder in this subtree (a field being edited) resigns; false when it
    // refuses. True when none is in the subtree.
    bool endEditing();
    Window* window() const;

    // Hooks around hierarchy changes.
    virtual void willMoveToSuperview(View* newSuperview) {}
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(Window* newWindow) {}
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(View* subview) {}
    virtual void willRemoveSubview(View* subview) {}

    // Layout.
    unsigned autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned mask) { m_autoresizingMask = mask; }
    bool autoresizesSubviews() const { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(bool on) { m_autoresizesSubviews = on; }
    void setNeedsLayout();
    bool needsLayout() const { return m_needsLayout; }
    // Lays out this view, then its subviews, where needed.
    void layoutIfNeeded();
    virtual void layoutSubviews() {}
    virtual gfx::Size sizeThatFits(gfx::Size size) const { return bounds().size; }
    void sizeToFit();

    // Drawing: rectangle in bounds coordinates; the context is already set up for this view.
    virtual void drawRect(gfx::Context& context, const gfx::Rect& rect) {}
    // What drawRect shows has changed: the window draws the view again in its next frame.
    void setNeedsDisplay();
    // Only part of it changed (bounds coordinates).
    void setNeedsDisplayInRect(const gfx::Rect& rect);

    // Coordinates. A null view means the window.
    gfx::Point convertPointToView(gfx::Point point, const View* view) const;
    gfx::Point convertPointFromView(gfx::Point point, const View* view) const;
    gfx::Rect convertRectToView(const gfx::Rect& rect, const View* view) const;
    gfx::Rect convertRectFromView(const gfx::Rect& rect, const View* view) const;
    // Maps a point of this view's bounds to its superview's coordinates (the model values).
    gfx::AffineTransform transformToSuperview() const;

    // Hit testing: the front-most interactive, visible descendant containing the point.
    virtual View* hitTest(gfx::Point point);
    virtual bool pointInside(gfx::Point point) const;

    // Gestures.
    void addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const GestureRecognizer* recognizer);
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return m_gestures; }

    // The controller whose root view this is; it is next in the responder chain.
    ViewController* viewController() const { return m_viewController; }
    void setViewController(ViewController* controller) { m_viewController = controller; }
    Responder* nextResponder() const override;

    // Animation: inside an animation block, property changes are recorded so the renderer
    // shows them moving while the model already holds the final values.
    struct AnimationOptions {
        double duration = 0.25;
        double delay = 0;
        enum class Curve { EaseInOut, EaseIn, EaseOut, Linear } curve = Curve::EaseInOut;
        bool allowUserInteraction = false;
        bool beginFromCurrentState = true;
    };
    static void animate(double duration, const std::function<void()>& changes,
                        std::function<void(bool finished)> completion = {});
    static void animate(const AnimationOptions& options, const std::function<void()>& changes,
                        std::function<void(bool finished)> completion = {});
    // Off: changes take effect at once and completions run at once (tests).
    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();

    // Keyed layer animations affect only what is shown, not the model.
    void addAnimation(const std::shared_ptr<LayerAnimation>& animation, const std::string& key);
    void removeAnimationForKey(const std::string& key);
    void removeAllAnimations();
    std::shared_ptr<LayerAnimation> animationForKey(const std::string& key) const;
    std::vector<std::string> animationKeys() const;
    bool hasRunningAnimations() const;
    // Takes a picture of the view now and, for `duration`, shows it leaving over (reveal) or
    // covered by (move-in) the content the view shows meanwhile, sliding in the direction the
    // subtype names; filed under `key` like a layer animation.
    struct TransitionOptions {
        enum class Type { Reveal, MoveIn } type = Type::MoveIn;
        enum class Subtype { FromLeft, FromRight } subtype = Subtype::FromRight;
        double duration = 0.25;
        AnimationOptions::Curve curve = AnimationOptions::Curve::EaseInOut;
    };
    void addTransition(const TransitionOptions& options, const std::string& key);

    // What is on screen now, animations applied.
    struct Presentation {
        gfx::Point center;
        gfx::Rect bounds;
        gfx::AffineTransform transform;
        double alpha = 1;
        std::optional<gfx::Color> backgroundColor;
        // Maps the shown bounds to the superview's coordinates.
        gfx::AffineTransform toSuperview() const;
        gfx::Rect rectToSuperview(const gfx::Rect& rect) const;
    };
    Presentation presentation() const;

    // What the view and its unclipped subviews cover when drawn, in bounds coordinates, with
    // the on-screen (animated) values; kept until something inside it changes.
    gfx::Rect drawnExtent();

    // The view and its subviews as they show now (animations applied), drawn at `scale`
    // pixels per point into a picture of the bounds' size; null for an empty view.
    gfx::Image snapshotImage(double scale);

    // Visible text (labels, button titles, fields) for the driver's lookups.
    virtual std::string accessibilityText() const { return {}; }
    // Where in the bounds `text` shows, for views that show several texts side by side;
    // null means the whole view.
    virtual gfx::Rect accessibilityRectOfText(const std::string& text) const { return gfx::Rect::null(); }

protected:
    // Subclasses whose content depends on their size re-lay out on bounds changes.
    virtual void boundsDidChange(const gfx::Rect& oldBounds) {}
    // How far drawRect may paint outside the bounds (a knob's shadow), so redraws cover it.
    virtual double drawingOutset() const { return 0; }

private:
    friend class Window;
    friend class PropertyAnimator;
    void resizeSubviews(gfx::Size oldSize);
    void noteDescendantNeedsLayout();
    void invalidateExtent();
    // The drawn extent on the window, cut by clipping ancestors; null when nothing shows.
    gfx::Rect extentInWindow();
    // A rectangle of this view's bounds on the window, cut by clipping ancestors.
    gfx::Rect rectInWindow(const gfx::Rect& local) const;
    // Adds what the view shows now to its window's dirty region.
    void markDrawnArea();
    // Marks what the view shows before and after a change that moves or reshapes it.
    template <typename Change>
    void changeDrawnArea(Change change);
    void setWindowRecursive(Window* window);
    void detachSubview(View* view);
    void attachSubview(const std::shared_ptr<View>& view, size_t index);

    gfx::Point m_center;
    gfx::Rect m_bounds;
    gfx::AffineTransform m_transform;
    double m_alpha = 1;
    bool m_hidden = false;
    bool m_opaque = true;
    std::optional<gfx::Color> m_backgroundColor;
    bool m_clipsToBounds = false;
    double m_cornerRadius = 0;
    double m_borderWidth = 0;
    gfx::Color m_borderColor = gfx::Color::black();
    Shadow m_shadow;
    ContentMode m_contentMode = ContentMode::ScaleToFill;
    int m_tag = 0;
    bool m_userInteraction = true;
    bool m_multipleTouch = false;
    unsigned m_autoresizingMask = AutoresizingNone;
    bool m_autoresizesSubviews = true;
    bool m_needsLayout = true;
    bool m_descendantNeedsLayout = false;
    bool m_extentValid = false;
    gfx::Rect m_extent;

    View* m_superview = nullptr;
    Window* m_window = nullptr;
    ViewController* m_viewController = nullptr;
    std::vector<std::shared_ptr<View>> m_subviews;
    std::vector<std::shared_ptr<GestureRecognizer>> m_gestures;
    std::map<std::string, std::shared_ptr<LayerAnimation>> m_layerAnimations;
    std::vector<std::string> m_layerAnimationOrder;
};

} // namespace ui
