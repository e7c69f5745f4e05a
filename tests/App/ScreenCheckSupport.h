#pragma once
// What a person sees on the window: the views that show, the labels' texts where they are
// drawn, and the checks made over them (text that fits, texts that overlap, texts in the
// wrong language).
#include "Platform/Graphics/TextLayout.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Switch.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace screencheck {

struct Shown {
    ui::View* view;
    gfx::Rect visible; // in window coordinates, cut by every clipping ancestor
};

inline void collectShown(ui::View* view, const ui::Window& window, gfx::Rect clip, std::vector<Shown>& out)
{
    if (view->isHidden() || view->alpha() < 0.01)
        return;
    gfx::Rect frame = view->convertRectToView(view->bounds(), &window);
    gfx::Rect visible = frame.intersection(clip);
    if (visible.isEmpty())
        return;
    out.push_back({view, visible});
    gfx::Rect inner = view->clipsToBounds() ? visible : clip;
    for (auto& sub : view->subviews())
        collectShown(sub.get(), window, inner, out);
}

inline std::vector<Shown> shownViews(ui::Window& window)
{
    std::vector<Shown> out;
    for (auto& sub : window.subviews())
        collectShown(sub.get(), window, gfx::Rect({0, 0}, ui::Window::kScreenSize), out);
    return out;
}

// Where a label's text is drawn, in its own coordinates: as the label lays it out.
inline gfx::Rect drawnTextRect(const ui::Label& label)
{
    gfx::Rect b = label.bounds();
    gfx::TextLayout::Options options;
    options.width = b.width();
    options.mode = label.lineBreakMode();
    options.maxLines = label.numberOfLines();
    options.maxHeight = b.height();
    options.alignment = label.textAlignment();
    gfx::Size used = gfx::TextLayout(nullptr, label.text(), label.fontForDrawing(), options).size();
    double x = 0;
    if (label.textAlignment() == gfx::TextAlignment::Right)
        x = b.width() - used.width;
    else if (label.textAlignment() == gfx::TextAlignment::Center)
        x = (b.width() - used.width) / 2;
    return {b.x() + x, b.y() + (b.height() - used.height) / 2, used.width, used.height};
}

inline bool truncates(gfx::LineBreakMode mode)
{
    return mode == gfx::LineBreakMode::TruncateTail || mode == gfx::LineBreakMode::TruncateHead ||
           mode == gfx::LineBreakMode::TruncateMiddle;
}

// A label whose whole text needs more room than its frame, and that does not end in an
// ellipsis when cut; empty when it fits or is truncated so.
inline std::string fitFault(const ui::Label& label)
{
    gfx::Rect b = label.bounds();
    gfx::TextLayout::Options whole;
    whole.width = label.numberOfLines() == 1 ? -1 : b.width();
    whole.mode = gfx::LineBreakMode::WordWrap;
    gfx::Size need = gfx::TextLayout(nullptr, label.text(), label.fontForDrawing(), whole).size();
    constexpr double kSlack = 1;
    bool tooWide = need.width > b.width() + kSlack;
    bool tooTall = need.height > b.height() + kSlack;
    // One line taller than the frame is cut whatever the mode.
    double oneLine = label.fontForDrawing().lineHeight();
    if (oneLine > b.height() + 2 * kSlack)
        return "its font's line (" + std::to_string(oneLine) + ") is taller than the frame";
    if ((tooWide || tooTall) && !truncates(label.lineBreakMode()))
        return "needs " + std::to_string(need.width) + " x " + std::to_string(need.height) + " and is clipped without an ellipsis";
    return {};
}

struct LabelOnScreen {
    ui::Label* label;
    gfx::Rect text; // window coordinates, cut to what shows
};

inline std::vector<LabelOnScreen> shownLabels(ui::Window& window)
{
    std::vector<LabelOnScreen> out;
    for (const Shown& s : shownViews(window)) {
        auto* label = dynamic_cast<ui::Label*>(s.view);
        if (!label || label->text().empty())
            continue;
        gfx::Rect text = label->convertRectToView(drawnTextRect(*label), &window).intersection(s.visible);
        if (!text.isEmpty())
            out.push_back({label, text});
    }
    return out;
}

inline std::string describe(const ui::Label& label, const ui::Window& window)
{
    gfx::Rect f = label.convertRectToView(label.bounds(), &window);
    char where[96];
    std::snprintf(where, sizeof where, " at (%.0f, %.0f, %.0f x %.0f)", f.x(), f.y(), f.width(), f.height());
    return "\"" + label.text() + "\"" + where;
}

// A picture or indicator drawn over a label's text: one inside the label, or a sibling
// placed after it (a badge, a spinner).
inline std::vector<std::string> coveredText(ui::Window& window, const std::vector<Shown>& shown,
                                            const std::vector<LabelOnScreen>& labels)
{
    std::vector<std::string> faults;
    for (const auto& l : labels) {
        ui::View* parent = l.label->superview();
        for (const Shown& s : shown) {
            auto* picture = dynamic_cast<ui::ImageView*>(s.view);
            bool cover = dynamic_cast<ui::ActivityIndicator*>(s.view) || (picture && !picture->image().isNull());
            if (!cover)
                continue;
            bool inside = s.view->superview() == l.label;
            bool above = false;
            if (parent && s.view->superview() == parent) {
                const auto& subs = parent->subviews();
                auto at = [&](const ui::View* v) {
                    return std::find_if(subs.begin(), subs.end(), [&](auto& p) { return p.get() == v; }) - subs.begin();
                };
                above = at(s.view) > at(l.label);
            }
            if (!inside && !above)
                continue;
            gfx::Rect both = l.text.intersection(s.visible);
            if (both.width() > 1 && both.height() > 1)
                faults.push_back(describe(*l.label, window) + " lies under a " + s.view->className());
        }
    }
    return faults;
}

// Every label's text fits its frame or ends in an ellipsis, no two labels' texts overlap, and
// no picture or indicator covers one.
inline std::vector<std::string> layoutFaults(ui::Window& window)
{
    auto labels = shownLabels(window);
    std::vector<std::string> faults = coveredText(window, shownViews(window), labels);
    for (const auto& l : labels)
        if (std::string fault = fitFault(*l.label); !fault.empty())
            faults.push_back(describe(*l.label, window) + ": " + fault);
    constexpr double kTouch = 1; // antialiased edges may meet
    for (size_t i = 0; i < labels.size(); ++i)
        for (size_t j = i + 1; j < labels.size(); ++j) {
            gfx::Rect both = labels[i].text.intersection(labels[j].text);
            if (both.width() > kTouch && both.height() > kTouch)
                faults.push_back(describe(*labels[i].label, window) + " overlaps " + describe(*labels[j].label, window));
        }
    return faults;
}

// Every text the window shows: labels, titles, bars, and both words of each switch.
inline std::vector<std::string> shownTexts(ui::Window& window)
{
    std::vector<std::string> texts;
    for (const Shown& s : shownViews(window)) {
        if (auto* toggle = dynamic_cast<ui::Switch*>(s.view)) {
            texts.push_back(toggle->onTitle());
            texts.push_back(toggle->offTitle());
            continue;
        }
        if (dynamic_cast<ui::Button*>(s.view))
            continue; // its title label is shown on its own
        std::string text = s.view->accessibilityText();
        if (!text.empty())
            texts.push_back(text);
    }
    return texts;
}

} // namespace screencheck
