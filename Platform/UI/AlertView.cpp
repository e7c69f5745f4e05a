#include "Platform/UI/AlertView.h"

#include "Platform/Graphics/Context.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/OverlayView.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <deque>

namespace ui {

namespace {
constexpr double kPadding = (AlertView::kWidth - AlertView::kTextWidth) / 2;
constexpr double kButtonHeight = 44;

struct Queue {
    std::shared_ptr<AlertView> visible;
    std::deque<std::shared_ptr<AlertView>> waiting;
};

Queue& queue()
{
    static Queue* q = new Queue();
    return *q;
}

gfx::Font titleFont() { return gfx::Font::boldSystemFont(17); }
gfx::Font messageFont() { return gfx::Font::systemFont(15); }
}

AlertView::AlertView(std::string title, std::string message, AlertViewDelegate* delegate, std::string cancelButtonTitle,
                     std::vector<std::string> otherButtonTitles)
    : m_title(std::move(title)), m_message(std::move(message)), m_delegate(delegate)
{
    if (!cancelButtonTitle.empty()) {
        m_buttonTitles.push_back(cancelButtonTitle);
        m_cancelIndex = 0;
    }
    for (auto& t : otherButtonTitles)
        m_buttonTitles.push_back(t);
    setBackgroundColor(gfx::Color::fromRgb(245, 245, 248));
    setCornerRadius(10);
    setClipsToBounds(true);
    auto makeText = [this](const gfx::Font& font) {
        auto label = std::make_shared<Label>();
        label->setFont(font);
        label->setTextAlignment(gfx::TextAlignment::Center);
        label->setNumberOfLines(0);
        label->setLineBreakMode(gfx::LineBreakMode::WordWrap);
        addSubview(label);
        return label;
    };
    m_titleLabel = makeText(titleFont());
    m_messageLabel = makeText(messageFont());
    m_titleLabel->setText(m_title);
    m_messageLabel->setText(m_message);
}

AlertView::~AlertView() = default;

void AlertView::setDelegate(AlertViewDelegate* delegate)
{
    m_delegate = delegate;
    m_weakDelegate.reset();
}

void AlertView::setDelegate(std::weak_ptr<AlertViewDelegate> delegate)
{
    m_delegate = nullptr;
    m_weakDelegate = std::move(delegate);
}

AlertViewDelegate* AlertView::delegate() const
{
    return m_delegate ? m_delegate : m_weakDelegate.lock().get();
}

std::shared_ptr<AlertViewDelegate> AlertView::liveDelegate() const
{
    if (m_delegate)
        return std::shared_ptr<AlertViewDelegate>(std::shared_ptr<AlertViewDelegate>(), m_delegate);
    return m_weakDelegate.lock();
}

void AlertView::setTitle(const std::string& title)
{
    m_title = title;
    m_titleLabel->setText(title);
    if (m_visible)
        build();
}

void AlertView::setMessage(const std::string& message)
{
    m_message = message;
    m_messageLabel->setText(message);
    if (m_visible)
        build();
}

int AlertView::addButtonWithTitle(const std::string& title)
{
    m_buttonTitles.push_back(title);
    return numberOfButtons() - 1;
}

std::string AlertView::buttonTitleAtIndex(int index) const
{
    if (index < 0 || index >= numberOfButtons())
        return {};
    return m_buttonTitles[static_cast<size_t>(index)];
}

int AlertView::firstOtherButtonIndex() const
{
    int first = m_cancelIndex == 0 ? 1 : 0;
    return first < numberOfButtons() ? first : -1;
}

int AlertView::defaultButtonIndex() const
{
    int other = firstOtherButtonIndex();
    return other >= 0 ? other : m_cancelIndex;
}

bool AlertView::pressKey(const std::string& key)
{
    if (!m_visible)
        return false;
    int index = key == "\n" ? defaultButtonIndex() : key == "escape" ? m_cancelIndex : -1;
    if (index < 0)
        return false;
    buttonTapped(index);
    return true;
}

std::shared_ptr<AlertView> AlertView::visibleAlert()
{
    return queue().visible;
}

size_t AlertView::queuedCount()
{
    return queue().waiting.size();
}

void AlertView::dismissAllForTesting()
{
    queue().waiting.clear();
    if (auto v = queue().visible) {
        v->setDelegate(nullptr);
        v->dismissWithClickedButtonIndex(-1, false);
    }
}

void AlertView::show()
{
    if (m_visible || m_queued)
        return;
    auto self = std::static_pointer_cast<AlertView>(sharedView());
    if (queue().visible) {
        m_queued = true;
        queue().waiting.push_back(self);
        return;
    }
    present();
}

void AlertView::present()
{
    Window* window = Window::keyWindow();
    if (!window)
        return;
    auto self = std::static_pointer_cast<AlertView>(sharedView());
    queue().visible = self;
    m_queued = false;
    m_visible = true;
    m_overlay = std::make_shared<OverlayView>(window->bounds());
    m_overlay->setBackgroundColor(gfx::Color::black().withAlpha(0.4));
    build();
    if (auto delegate = liveDelegate())
        delegate->willPresentAlertView(*this);
    m_overlay->addSubview(self);
    window->addSubview(m_overlay);
    m_overlay->setAlpha(0);
    View::animate(0.2, [&] { m_overlay->setAlpha(1); }, [self](bool) {
        auto delegate = self->liveDelegate();
        if (self->m_visible && delegate)
            delegate->didPresentAlertView(*self);
    });
}

void AlertView::build()
{
    for (auto& button : m_buttons)
        button->removeFromSuperview();
    m_buttons.clear();
    double inner = kTextWidth;
    double y = kPadding;
    // Wrapped, centred text; an empty one takes no room.
    auto place = [&](Label& label, double gap) {
        double h = label.text().empty() ? 0 : label.sizeThatFits({inner, 1000}).height;
        label.setFrame({kPadding, y, inner, h});
        if (h > 0)
            y += h + gap;
    };
    place(*m_titleLabel, 6);
    place(*m_messageLabel, 0);
    y += kPadding;
    // The owner's own subviews keep their frames; the buttons go below them.
    for (auto& sub : subviews()) {
        if (sub == m_titleLabel || sub == m_messageLabel)
            continue;
        y = std::max(y, sub->frame().maxY() + kPadding);
    }
    // Two buttons sit side by side, cancel on the left; more stack with cancel last.
    std::vector<int> order;
    for (int i = 0; i < numberOfButtons(); ++i)
        if (i != m_cancelIndex)
            order.push_back(i);
    bool sideBySide = numberOfButtons() == 2;
    if (m_cancelIndex >= 0) {
        if (sideBySide)
            order.insert(order.begin(), m_cancelIndex);
        else
            order.push_back(m_cancelIndex);
    }
    double buttonsTop = y;
    for (size_t k = 0; k < order.size(); ++k) {
        int index = order[k];
        auto button = std::make_shared<Button>(ButtonType::Custom);
        button->setTitle(m_buttonTitles[static_cast<size_t>(index)]);
        button->setTitleColor(gfx::Color::fromRgb(0, 122, 255));
        button->titleLabel().setFont(index == m_cancelIndex ? gfx::Font::boldSystemFont(17) : gfx::Font::systemFont(17));
        if (sideBySide)
            button->setFrame({kWidth / 2 * static_cast<double>(k), buttonsTop, kWidth / 2, kButtonHeight});
        else
            button->setFrame({0, buttonsTop + kButtonHeight * static_cast<double>(k), kWidth, kButtonHeight});
        std::weak_ptr<View> weak = sharedView();
        button->addTarget([weak, index](Control&) {
            if (auto self = weak.lock())
                static_cast<AlertView*>(self.get())->buttonTapped(index);
        }, ControlEventTouchUpInside);
        // After the two texts, under the owner's subviews.
        insertSubviewAtIndex(button, 2 + k);
        m_buttons.push_back(button);
    }
    double height = buttonsTop + (order.empty() ? 0 : (sideBySide ? kButtonHeight : kButtonHeight * static_cast<double>(order.size())));
    gfx::Rect screen = m_overlay ? m_overlay->bounds() : gfx::Rect({0, 0}, Window::kScreenSize);
    setFrame({(screen.width() - kWidth) / 2, (screen.height() - height) / 2, kWidth, height});
}

void AlertView::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    // Hairlines above and between the buttons.
    ctx.setFillColor(gfx::Color::fromWhite(0.8));
    for (auto& sub : subviews()) {
        if (std::string(sub->className()) != "Button")
            continue;
        gfx::Rect f = sub->frame();
        ctx.fillRect({f.x(), f.y(), f.width(), 0.5});
        if (f.x() > 0)
            ctx.fillRect({f.x(), f.y(), 0.5, f.height()});
    }
}

void AlertView::buttonTapped(int index)
{
    auto keep = sharedView();
    if (auto delegate = liveDelegate())
        delegate->alertViewClickedButtonAtIndex(*this, index);
    dismissWithClickedButtonIndex(index, true);
}

void AlertView::dismissWithClickedButtonIndex(int index, bool animated)
{
    if (!m_visible) {
        // Still waiting: just leave the queue.
        auto& waiting = queue().waiting;
        waiting.erase(std::remove_if(waiting.begin(), waiting.end(), [this](auto& a) { return a.get() == this; }),
                      waiting.end());
        m_queued = false;
        return;
    }
    auto self = std::static_pointer_cast<AlertView>(sharedView());
    if (auto delegate = liveDelegate())
        delegate->alertViewWillDismissWithButtonIndex(*this, index);
    m_visible = false;
    auto overlay = std::move(m_overlay);
    auto finish = [self, overlay, index](bool) {
        self->removeFromScreen(overlay);
        if (auto delegate = self->liveDelegate())
            delegate->alertViewDidDismissWithButtonIndex(*self, index);
        presentNext();
    };
    if (animated)
        View::animate(0.2, [&] { overlay->setAlpha(0); }, finish);
    else
        finish(true);
}

void AlertView::cancel()
{
    auto self = std::static_pointer_cast<AlertView>(sharedView());
    if (!m_visible && !m_queued)
        return;
    if (auto delegate = liveDelegate())
        delegate->alertViewCancel(*this);
    if (!m_visible) {
        dismissWithClickedButtonIndex(-1, false); // leaves the queue without a word
        return;
    }
    m_visible = false;
    removeFromScreen(std::move(m_overlay));
    presentNext();
}

void AlertView::removeFromScreen(const std::shared_ptr<OverlayView>& overlay)
{
    auto self = std::static_pointer_cast<AlertView>(sharedView());
    removeFromSuperview();
    if (overlay)
        overlay->removeFromSuperview();
    if (queue().visible == self)
        queue().visible.reset();
}

void AlertView::presentNext()
{
    if (!queue().visible && !queue().waiting.empty()) {
        auto next = queue().waiting.front();
        queue().waiting.pop_front();
        next->present();
    }
}

} // namespace ui
