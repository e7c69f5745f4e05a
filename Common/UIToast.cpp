#include "Common/UIToast.h"

#include "Platform/Graphics/Text.h"
#include "Platform/UI/TextView.h"
#include "Platform/UI/Window.h"

namespace {

double gravityFactor(int gravity)
{
    switch (gravity) {
    case 1:
        return 0.5;
    case 2:
        return 0.75;
    default:
        return 0.25;
    }
}

} // namespace

void UIToast::show(const std::string& text)
{
    showGravityLength(text, 2, 0);
}

void UIToast::showGravityLength(const std::string& text, int gravity, int length)
{
    m_length = length;
    m_gravity = gravity;
    m_animation = 0;
    gfx::Font font("Arial", 18);
    gfx::Size size{30, 20};
    if (!text.empty()) {
        gfx::Size measured = gfx::sizeOfText(text, font, {kMaxTextWidth, kMaxTextHeight}, gfx::LineBreakMode::WordWrap);
        size = {measured.width + 30, measured.height + 20};
    }
    place(size, gravityFactor(gravity));
    initShowingTextWithFont(text, font);
    animationStep();
}

void UIToast::showViewWithGravityLength(const std::shared_ptr<ui::View>& view, float gravity, int length)
{
    if (!view)
        return;
    m_length = length;
    m_gravity = static_cast<int32_t>(gravity);
    m_animation = 0;
    gfx::Size size = view->frame().size;
    place(size, gravity);
    view->setFrame({{0, 0}, size});
    addSubview(view);
    m_animationView = view;
    animationStep();
}

void UIToast::place(gfx::Size size, double fraction)
{
    ui::Window* window = ui::Window::keyWindow();
    gfx::Size screen = window ? window->bounds().size : ui::Window::kScreenSize;
    // Centred across; the box's middle at the fraction of the height.
    setTransform(gfx::AffineTransform());
    setFrame({(screen.width - size.width) / 2, fraction * screen.height - size.height / 2, size.width, size.height});
    setTransform(transformForOrientation().scaled(0.01, 0.01));
    if (window)
        window->addSubview(sharedView());
}

void UIToast::initShowingTextWithFont(const std::string& text, const gfx::Font& font)
{
    auto textView = std::make_shared<ui::TextView>(bounds());
    textView->setBackgroundColor(gfx::Color{90.0 / 255, 90.0 / 255, 90.0 / 255, 0.85});
    textView->setTextColor(gfx::Color::white());
    textView->setAlpha(1.0);
    textView->setFont(font);
    textView->setTextAlignment(gfx::TextAlignment::Center);
    // The room the box was measured with (30 across, 20 down), half on each side.
    textView->setContentInset({10, 15, 10, 15});
    textView->setEditable(false);
    textView->setText(text);
    textView->setCornerRadius(8);
    textView->setClipsToBounds(true);
    textView->setShadow({gfx::Color::black(), {5, 3}, 5, 0.6});
    addSubview(textView);
    m_animationView = textView;
}

gfx::AffineTransform UIToast::transformForOrientation() const
{
    return gfx::AffineTransform();
}

void UIToast::commitModalAnimationsWithSelector(const std::function<void()>& changes, void (UIToast::*didStop)())
{
    ui::View::AnimationOptions options;
    options.duration = m_stepDuration;
    options.curve = ui::View::AnimationOptions::Curve::EaseInOut;
    // The animation keeps the toast alive until its step is done.
    auto self = std::static_pointer_cast<UIToast>(sharedView());
    ui::View::animate(options, changes, [self, didStop](bool) { ((*self).*didStop)(); });
}

void UIToast::animationStep()
{
    gfx::AffineTransform turn = transformForOrientation();
    switch (m_animation++) {
    case 0:
        addSubview(std::make_shared<ui::View>(bounds()));
        beginAnimationWithDuration(0.2);
        commitModalAnimationsWithSelector([&] { setTransform(turn.scaled(1.15, 1.15)); }, &UIToast::animationStep);
        break;
    case 1:
        beginAnimationWithDuration(0.1);
        commitModalAnimationsWithSelector([&] { setTransform(turn.scaled(0.999, 0.999)); }, &UIToast::animationStep);
        break;
    case 2:
        // The hold.
        beginAnimationWithDuration(m_length == 1 ? 3.0 : 0.5);
        commitModalAnimationsWithSelector([&] { setTransform(turn.scaled(1.0, 1.0)); }, &UIToast::animationStep);
        break;
    case 3:
        beginAnimationWithDuration(1.0);
        commitModalAnimationsWithSelector([&] {
            setTransform(turn.scaled(1.1, 0.01));
            setAlpha(0);
        }, &UIToast::animationStep);
        break;
    case 4: {
        auto self = sharedView();
        while (!subviews().empty())
            subviews().back()->removeFromSuperview();
        removeFromSuperview();
        break;
    }
    default:
        m_animation = 5; // stays done
        break;
    }
}
