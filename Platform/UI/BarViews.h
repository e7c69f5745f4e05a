#pragma once
#include "Platform/UI/View.h"

#include <functional>
#include <memory>
#include <string>

namespace ui {

class BarButtonItem;
class Button;

// The navigation bar: a title, below the root a back item, and the top screen's items as
// buttons (a left item replaces the back item). Title and back text are drawn by a layer of
// their own, so an owner can slip a background under them with insertSubviewAtIndex(…, 0).
class NavigationBarView : public View {
public:
    explicit NavigationBarView(const gfx::Rect& frame);
    ~NavigationBarView() override;
    const char* className() const override { return "NavigationBar"; }
    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    void setBackTitle(const std::string& title);
    // Shown at its own frame in place of the title text; null shows the text again.
    void setTitleView(std::shared_ptr<View> view);
    const std::shared_ptr<View>& titleView() const { return m_titleView; }
    void setRightItem(std::shared_ptr<BarButtonItem> item);
    // Null when there is no right item or it brings its own view.
    Button* rightButton() const;
    void setLeftItem(std::shared_ptr<BarButtonItem> item);
    // The left item's view: its custom view, or the button made for it.
    View* leftView() const { return m_left.view.get(); }
    std::function<void()> onBack;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    std::string accessibilityText() const override { return m_title; }
    // Empty while there is nothing to go back to or a left item stands there.
    gfx::Rect backRect() const;
    void drawTexts(gfx::Context& context);

private:
    struct Side {
        std::shared_ptr<BarButtonItem> item;
        std::shared_ptr<View> view;
        bool custom = false;
    };
    void setItem(Side& side, std::shared_ptr<BarButtonItem> item, bool left);
    void updateItemView(Side& side, bool left);

    std::string m_title;
    std::string m_backTitle;
    std::shared_ptr<View> m_texts;
    std::shared_ptr<View> m_titleView;
    Side m_left, m_right;
};

// One item of a tab bar: a title that can be tapped.
class TabBarItemView : public View {
public:
    TabBarItemView(const std::string& title, std::function<void()> onTap);
    const char* className() const override { return "TabBarItem"; }
    bool isControl() const override { return true; }
    void setSelected(bool selected) { m_selected = selected; setNeedsDisplay(); }
    bool isSelected() const { return m_selected; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    std::string accessibilityText() const override { return m_title; }

private:
    std::string m_title;
    std::function<void()> m_onTap;
    bool m_selected = false;
};

} // namespace ui
