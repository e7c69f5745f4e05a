#include "Platform/UI/ActionSheet.h"

#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/OverlayView.h"
#include "Platform/UI/Window.h"

#include <algorithm>

namespace ui {

ActionSheet::ActionSheet(std::string title, ActionSheetDelegate* delegate, std::string cancelButtonTitle,
                         std::string destructiveButtonTitle, std::vector<std::string> otherButtonTitles)
    : m_title(std::move(title)), m_delegate(delegate)
{
    if (!destructiveButtonTitle.empty()) {
        m_destructiveIndex = 0;
        m_titles.push_back(destructiveButtonTitle);
    }
    for (auto& t : otherButtonTitles)
        m_titles.push_back(t);
    if (!cancelButtonTitle.empty()) {
        m_cancelIndex = static_cast<int>(m_titles.size());
        m_titles.push_back(cancelButtonTitle);
    }
    setBackgroundColor(gfx::Color::white());
    setCornerRadius(8);
    setClipsToBounds(true);
    setBorderWidth(1);
    setBorderColor(gfx::Color::fromWhite(0.75));
}

int ActionSheet::addButtonWithTitle(const std::string& title)
{
    m_titles.push_back(title);
    return numberOfButtons() - 1;
}

std::string ActionSheet::buttonTitleAtIndex(int index) const
{
    return index >= 0 && index < numberOfButtons() ? m_titles[static_cast<size_t>(index)] : std::string();
}

void ActionSheet::showFromRect(const gfx::Rect& rect, View* view, bool)
{
    // Beside a touched item the sheet leaves out its cancel row: tapping outside cancels.
    show(view ? view->convertRectToView(rect, nullptr) : rect, view, false);
}

void ActionSheet::showInView(View* view)
{
    gfx::Rect r = view ? view->convertRectToView(view->bounds(), nullptr) : gfx::Rect({0, 0}, Window::kScreenSize);
    show({r.midX(), r.midY(), 0, 0}, view, true);
}

void ActionSheet::show(const gfx::Rect& anchor, View* view, bool showCancel)
{
    Window* window = view && view->window() ? view->window() : Window::keyWindow();
    if (!window || m_visible)
        return;
    for (auto& sub : std::vector(subviews()))
        sub->removeFromSuperview();
    double y = 0;
    if (!m_title.empty()) {
        auto label = std::make_shared<Label>(gfx::Rect(12, 8, kWidth - 24, 30));
        label->setText(m_title);
        label->setFont(gfx::Font::systemFont(13));
        label->setTextColor(gfx::Color::fromWhite(0.4));
        label->setTextAlignment(gfx::TextAlignment::Center);
        addSubview(label);
        y = 44;
    }
    for (int i = 0; i < numberOfButtons(); ++i) {
        if (i == m_cancelIndex && !showCancel)
            continue;
        auto button = std::make_shared<Button>(ButtonType::Custom, gfx::Rect(0, y, kWidth, kRowHeight));
        button->setTitle(m_titles[static_cast<size_t>(i)]);
        button->setTitleColor(i == m_destructiveIndex ? gfx::Color::fromRgb(220, 40, 40) : gfx::Color::fromRgb(0, 122, 255));
        button->titleLabel().setFont(i == m_cancelIndex ? gfx::Font::boldSystemFont(18) : gfx::Font::systemFont(18));
        button->setBackgroundColor(gfx::Color::white());
        std::weak_ptr<View> weak = sharedView();
        button->addTarget([weak, i](Control&) {
            if (auto self = weak.lock())
                static_cast<ActionSheet*>(self.get())->tapped(i);
        }, ControlEventTouchUpInside);
        addSubview(button);
        if (y > 0) {
            auto line = std::make_shared<View>(gfx::Rect(0, y, kWidth, 0.5));
            line->setBackgroundColor(gfx::Color::fromWhite(0.8));
            addSubview(line);
        }
        y += kRowHeight;
    }
    gfx::Rect screen = window->bounds().insetBy(10, 10);
    double x = std::clamp(anchor.midX() - kWidth / 2, screen.minX(), screen.maxX() - kWidth);
    double top = anchor.maxY() + 8;
    if (top + y > screen.maxY())
        top = std::max(screen.minY(), anchor.minY() - 8 - y);
    if (anchor.isEmpty())
        top = std::clamp(anchor.midY() - y / 2, screen.minY(), std::max(screen.minY(), screen.maxY() - y));
    setFrame({x, top, kWidth, y});

    auto overlay = std::make_shared<OverlayView>(window->bounds());
    m_overlay = overlay;
    std::weak_ptr<View> weak = sharedView();
    overlay->onTapOutside = [weak] {
        if (auto self = weak.lock()) {
            auto* sheet = static_cast<ActionSheet*>(self.get());
            if (sheet->m_delegate)
                sheet->m_delegate->actionSheetCancel(*sheet);
            sheet->dismissWithClickedButtonIndex(sheet->m_cancelIndex, true);
        }
    };
    overlay->addSubview(sharedView());
    window->addSubview(overlay);
    m_visible = true;
}

void ActionSheet::tapped(int index)
{
    auto keep = sharedView();
    if (m_delegate)
        m_delegate->actionSheetClickedButtonAtIndex(*this, index);
    dismissWithClickedButtonIndex(index, true);
}

void ActionSheet::dismissWithClickedButtonIndex(int index, bool)
{
    if (!m_visible)
        return;
    auto keep = sharedView();
    m_visible = false;
    removeFromSuperview();
    if (auto overlay = m_overlay.lock())
        overlay->removeFromSuperview();
    m_overlay.reset();
    if (m_delegate)
        m_delegate->actionSheetDidDismissWithButtonIndex(*this, index);
}

} // namespace ui
