#pragma once
#include "Platform/UI/View.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {

class ActionSheet;
class OverlayView;

class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void actionSheetClickedButtonAtIndex(ActionSheet& sheet, int index) {}
    virtual void actionSheetDidDismissWithButtonIndex(ActionSheet& sheet, int index) {}
    virtual void actionSheetCancel(ActionSheet& sheet) {}
};

// A list of choices shown next to what the user touched. Tapping outside cancels with the
// cancel button's index (-1 without one). Indices: destructive first, then the others, then
// cancel.
class ActionSheet : public View {
public:
    ActionSheet(std::string title, ActionSheetDelegate* delegate, std::string cancelButtonTitle,
                std::string destructiveButtonTitle, std::vector<std::string> otherButtonTitles);
    const char* className() const override { return "ActionSheet"; }

    int addButtonWithTitle(const std::string& title);
    int numberOfButtons() const { return static_cast<int>(m_titles.size()); }
    std::string buttonTitleAtIndex(int index) const;
    int cancelButtonIndex() const { return m_cancelIndex; }
    int destructiveButtonIndex() const { return m_destructiveIndex; }
    void setDelegate(ActionSheetDelegate* delegate) { m_delegate = delegate; }

    // rect in view's coordinates; the sheet floats beside it.
    void showFromRect(const gfx::Rect& rect, View* view, bool animated);
    // Centred in the view.
    void showInView(View* view);
    void dismissWithClickedButtonIndex(int index, bool animated);
    bool isVisible() const { return m_visible; }

    std::string accessibilityText() const override { return m_title; }

    static constexpr double kWidth = 272;
    static constexpr double kRowHeight = 44;

private:
    void show(const gfx::Rect& anchor, View* view, bool showCancel);
    void tapped(int index);

    std::string m_title;
    ActionSheetDelegate* m_delegate;
    std::vector<std::string> m_titles;
    int m_cancelIndex = -1;
    int m_destructiveIndex = -1;
    bool m_visible = false;
    // The window holds the overlay and the overlay the sheet; a strong pointer back would keep
    // both alive for ever once the window lets go of a sheet still shown.
    std::weak_ptr<OverlayView> m_overlay;
};

} // namespace ui
