#include "Platform/UI/AlertView.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/OverlayView.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/ViewController.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

bool isScrollKey(const std::string& key)
{
    return key == "pageup" || key == "pagedown" || key == "home" || key == "end" || key == "left" || key == "right" ||
           key == "up" || key == "down";
}

// The topmost overlay of the window that a click outside its piece closes (a popover or an
// action sheet), if it is the top layer.
OverlayView* topOverlay(const Window& window)
{
    for (auto it = window.subviews().rbegin(); it != window.subviews().rend(); ++it) {
        if ((*it)->isHidden())
            continue;
        auto* overlay = dynamic_cast<OverlayView*>(it->get());
        return overlay && overlay->onTapOutside ? overlay : nullptr;
    }
    return nullptr;
}

// The top view of the window that a controller presented on top shows (a sheet), if any.
View* topPresentedView(Window& window)
{
    for (auto it = window.subviews().rbegin(); it != window.subviews().rend(); ++it) {
        ViewController* controller = (*it)->viewController();
        if ((*it)->isHidden() || !controller || !controller->presentingViewController())
            continue;
        return it->get();
    }
    return nullptr;
}

TableView* firstTable(View& view)
{
    if (view.isHidden())
        return nullptr;
    if (auto* table = dynamic_cast<TableView*>(&view))
        return table;
    for (auto& child : view.subviews())
        if (auto* table = firstTable(*child))
            return table;
    return nullptr;
}

// Shown to the user: not hidden or transparent, and not clipped away by what holds it.
bool isShown(const View& view, const Window& window)
{
    gfx::Rect rect = view.bounds();
    for (const View* v = &view; v && v != &window; v = v->superview()) {
        if (v->isHidden() || v->alpha() <= 0)
            return false;
        if (v != &view && v->clipsToBounds() && !view.convertRectToView(rect, v).intersects(v->bounds()))
            return false;
    }
    return view.window() == &window;
}

void collectFields(View& view, const Window& window, std::vector<TextField*>& fields)
{
    if (view.isHidden())
        return;
    if (auto* field = dynamic_cast<TextField*>(&view); field && field->canBecomeFirstResponder() && isShown(*field, window))
        fields.push_back(field);
    for (auto& child : view.subviews())
        collectFields(*child, window, fields);
}

// A view in the subtree that takes typed text (a popup's own field).
bool holdsTextInput(const View& view)
{
    if (view.isHidden())
        return false;
    if (view.canBecomeFirstResponder())
        return true;
    for (auto& child : view.subviews())
        if (holdsTextInput(*child))
            return true;
    return false;
}

// A sheet (a controller presented on top) lies over the layer of the window that holds the
// view: the view is hidden behind it, though it may still have the caret.
bool coveredBySheet(const Window& window, const View& view)
{
    for (auto it = window.subviews().rbegin(); it != window.subviews().rend(); ++it) {
        const View& layer = **it;
        if (view.isDescendantOfView(&layer))
            return false;
        ViewController* controller = layer.viewController();
        if (!layer.isHidden() && controller && controller->presentingViewController())
            return true;
    }
    return false;
}

} // namespace

Responder* Window::keyResponder() const
{
    Responder* responder = Responder::currentFirstResponder();
    auto* focused = dynamic_cast<View*>(responder);
    // Modal: while an alert is up (or going), nothing behind it hears a key, only its own field.
    if (auto alert = AlertView::visibleAlert()) {
        if (!focused || !focused->isDescendantOfView(alert.get()))
            return nullptr;
    }
    // A popover with a field of its own takes the keys: none reaches a field behind it, where
    // the caret may still be. A list of results over the field being typed in leaves them.
    if (OverlayView* overlay = topOverlay(*this);
        overlay && focused && !focused->isDescendantOfView(overlay) && holdsTextInput(*overlay))
        return nullptr;
    // A sheet takes the keys as a popover does: none reaches a field it covers.
    if (focused && coveredBySheet(*this, *focused))
        return nullptr;
    return responder;
}

void Window::pressKey(const std::string& key)
{
    if (auto alert = AlertView::visibleAlert()) {
        if (alert->pressKey(key) || !keyResponder())
            return;
    }
    if (key == "escape" && dismissTopLayerByEscape())
        return;
    if ((key == "up" || key == "down" || key == "\n") && pickFromPopoverList(key))
        return;
    if ((key == "\t" || key == "shift+\t") && moveFocus(key == "\t"))
        return;
    Responder* responder = keyResponder();
    // The page and line keys mean nothing to a line of text: they scroll whatever the focus.
    bool pageKey = key == "pageup" || key == "pagedown" || key == "up" || key == "down";
    if (responder && !pageKey) {
        if (key == "\b" || key == "backspace")
            responder->deleteBackward();
        else
            responder->keyPressed(key);
        return;
    }
    if (isScrollKey(key))
        scrollByKey(key);
}

bool Window::scrollByKey(const std::string& key)
{
    layoutIfNeeded();
    auto scrolls = [&](View* from) {
        for (View* v = from; v; v = v->superview())
            if (auto* scroll = dynamic_cast<ScrollView*>(v); scroll && scroll->scrollByKey(key))
                return true;
        return false;
    };
    // The list with the keyboard focus: the one holding the focused view, else the one
    // clicked last while it is still shown here; neither when a sheet covers it.
    if (auto* focused = dynamic_cast<View*>(keyResponder()); focused && focused->window() == this)
        for (View* v = focused->superview(); v; v = v->superview())
            if (dynamic_cast<ScrollView*>(v))
                return scrolls(v);
    if (auto list = m_keyList.lock(); list && isShown(*list, *this) && !coveredBySheet(*this, *list))
        return scrolls(list.get());
    return scrolls(hitTest(m_pointer));
}

bool Window::dismissTopLayerByEscape()
{
    if (OverlayView* overlay = topOverlay(*this)) {
        auto close = overlay->onTapOutside; // it may go with the overlay
        close();
        return true;
    }
    View* sheet = topPresentedView(*this);
    if (!sheet)
        return false;
    ViewController* controller = sheet->viewController();
    if (auto* navigation = dynamic_cast<NavigationController*>(controller))
        if (auto top = navigation->topViewController(); top && top->escapePressed())
            return true;
    return controller->escapePressed();
}

bool Window::pickFromPopoverList(const std::string& key)
{
    if (OverlayView* overlay = topOverlay(*this)) {
        TableView* table = firstTable(*overlay);
        return table && table->pickByKey(key);
    }
    // A sheet's list, unless the sheet's own field is the one that Return is for.
    View* sheet = topPresentedView(*this);
    if (!sheet)
        return false;
    auto* focused = dynamic_cast<TextField*>(Responder::currentFirstResponder());
    if (key == "\n" && focused && focused->isDescendantOfView(sheet))
        return false;
    TableView* table = firstTable(*sheet);
    return table && table->pickByKey(key);
}

View* Window::passOnFromListOverTyping(View* hit, gfx::Point point)
{
    // A list over the field being typed in (matches shown as the user types) belongs to that
    // typing: a click outside it closes it and goes on to what lies beneath, so that one click
    // on another field ends the typing as it would with no list up.
    OverlayView* overlay = topOverlay(*this);
    if (!overlay || hit != overlay || holdsTextInput(*overlay))
        return hit;
    auto* typing = dynamic_cast<View*>(keyResponder());
    if (!typing || typing->window() != this || typing->isDescendantOfView(overlay))
        return hit;
    auto keep = overlay->sharedView();
    auto close = overlay->onTapOutside; // it may go with the overlay
    close();
    if (overlay->onTapOutside)
        return hit; // its owner kept it up: the click was for it alone
    return hitTest(point);
}

bool Window::moveFocus(bool forward)
{
    auto* current = dynamic_cast<TextField*>(keyResponder());
    if (!current || current->window() != this)
        return false;
    layoutIfNeeded();
    // The fields of the layer the focus is in (a screen, a modal sheet, a popover).
    View* layer = current;
    while (layer->superview() && layer->superview() != this)
        layer = layer->superview();
    if (layer == current)
        layer = this; // a field straight on the window: the window is its screen
    std::vector<TextField*> fields;
    collectFields(*layer, *this, fields);
    std::vector<std::pair<gfx::Rect, TextField*>> placed;
    for (TextField* field : fields)
        placed.emplace_back(field->convertRectToView(field->bounds(), this), field);
    // Reading order: rows from the top, fields left to right within a row; a field belongs to
    // a row when its middle lies within half a height of the row's first field.
    std::stable_sort(placed.begin(), placed.end(), [](auto& a, auto& b) { return a.first.midY() < b.first.midY(); });
    std::vector<TextField*> order;
    for (size_t i = 0; i < placed.size();) {
        size_t end = i + 1;
        double limit = placed[i].first.height() / 2;
        while (end < placed.size() && placed[end].first.midY() - placed[i].first.midY() < limit)
            ++end;
        std::stable_sort(placed.begin() + static_cast<long>(i), placed.begin() + static_cast<long>(end),
                         [](auto& a, auto& b) { return a.first.minX() < b.first.minX(); });
        for (size_t k = i; k < end; ++k)
            order.push_back(placed[k].second);
        i = end;
    }
    auto at = std::find(order.begin(), order.end(), current);
    if (order.empty() || at == order.end())
        return true; // Tab never types into a line
    long n = static_cast<long>(order.size());
    long index = at - order.begin();
    // A field that refuses the focus is passed over.
    for (long step = 1; step < n; ++step) {
        TextField* next = order[static_cast<size_t>(((index + (forward ? step : -step)) % n + n) % n)];
        if (next->becomeFirstResponder())
            return true;
        // It refused but handed the caret on (to a popup it opened): the move ends there.
        if (Responder::currentFirstResponder() != current)
            return true;
    }
    return true;
}

} // namespace ui
