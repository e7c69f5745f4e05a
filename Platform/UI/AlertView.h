#pragma once
#include "Platform/UI/View.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {

class AlertView;
class OverlayView;

class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(AlertView& alert, int index) {}
    virtual void alertViewWillDismissWithButtonIndex(AlertView& alert, int index) {}
    virtual void alertViewDidDismissWithButtonIndex(AlertView& alert, int index) {}
    virtual void alertViewCancel(AlertView& alert) {}
};

// A modal box with a title, a message and buttons. Only one is on screen; alerts shown while
// another is up wait their turn. The cancel button, when there is one, has index 0.
class AlertView : public View {
public:
    AlertView(std::string title, std::string message, AlertViewDelegate* delegate, std::string cancelButtonTitle,
              std::vector<std::string> otherButtonTitles = {});
    ~AlertView() override;
    const char* className() const override { return "AlertView"; }

    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title) { m_title = title; }
    const std::string& message() const { return m_message; }
    void setMessage(const std::string& message);
    void setDelegate(AlertViewDelegate* delegate) { m_delegate = delegate; }
    AlertViewDelegate* delegate() const { return m_delegate; }
    int addButtonWithTitle(const std::string& title);
    int numberOfButtons() const { return static_cast<int>(m_buttonTitles.size()); }
    std::string buttonTitleAtIndex(int index) const;
    int cancelButtonIndex() const { return m_cancelIndex; }
    int firstOtherButtonIndex() const;

    void show();
    void dismissWithClickedButtonIndex(int index, bool animated);
    bool isVisible() const { return m_visible; }

    // What is up now, and what waits.
    static std::shared_ptr<AlertView> visibleAlert();
    static size_t queuedCount();
    static void dismissAllForTesting();

    std::string accessibilityText() const override { return m_title; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

    static constexpr double kWidth = 284;

private:
    void present();
    void build();
    void buttonTapped(int index);

    std::string m_title;
    std::string m_message;
    AlertViewDelegate* m_delegate;
    std::vector<std::string> m_buttonTitles;
    int m_cancelIndex = -1;
    bool m_visible = false;
    bool m_queued = false;
    std::shared_ptr<OverlayView> m_overlay;
};

} // namespace ui
