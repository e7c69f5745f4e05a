#pragma once
#include "Platform/UI/View.h"

#include <memory>
#include <string>
#include <vector>

namespace ui {

class AlertView;
class OverlayView;

class Label;

class AlertViewDelegate {
public:
    virtual ~AlertViewDelegate() = default;
    virtual void alertViewClickedButtonAtIndex(AlertView& alert, int index) {}
    // The alert went away without an answer (see AlertView::cancel).
    virtual void alertViewCancel(AlertView& alert) {}
    virtual void willPresentAlertView(AlertView& alert) {}
    virtual void didPresentAlertView(AlertView& alert) {}
    virtual void alertViewWillDismissWithButtonIndex(AlertView& alert, int index) {}
    virtual void alertViewDidDismissWithButtonIndex(AlertView& alert, int index) {}
};

// A modal box with a title, a message and buttons. Only one is on screen; alerts shown while
// another is up wait their turn. The cancel button, when there is one, has index 0; an alert
// may have no button at all and be dismissed by its owner.
//
// The title and message are the first two subviews, labels in that order (empty ones take no
// room). Subviews the owner adds keep their frames, and the box grows to hold them.
class AlertView : public View {
public:
    AlertView(std::string title, std::string message, AlertViewDelegate* delegate, std::string cancelButtonTitle,
              std::vector<std::string> otherButtonTitles = {});
    ~AlertView() override;
    const char* className() const override { return "AlertView"; }

    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title);
    const std::string& message() const { return m_message; }
    void setMessage(const std::string& message);
    void setDelegate(AlertViewDelegate* delegate);
    // A delegate that may go first: the alert tells it only while it lives.
    void setDelegate(std::weak_ptr<AlertViewDelegate> delegate);
    AlertViewDelegate* delegate() const;
    int addButtonWithTitle(const std::string& title);
    int numberOfButtons() const { return static_cast<int>(m_buttonTitles.size()); }
    std::string buttonTitleAtIndex(int index) const;
    int cancelButtonIndex() const { return m_cancelIndex; }
    int firstOtherButtonIndex() const;
    // What Return answers: the first other button, else the cancel button; -1 without buttons.
    int defaultButtonIndex() const;
    // Return presses the default button and "escape" the cancel button, as a tap would; false
    // when the alert is not up or has no such button.
    bool pressKey(const std::string& key);

    virtual void show();
    // Tells the delegate will- and did-dismiss with the index, but not that it was clicked.
    void dismissWithClickedButtonIndex(int index, bool animated);
    // Takes the alert away unanswered, as when the application leaves: the delegate hears
    // alertViewCancel only.
    void cancel();
    bool isVisible() const { return m_visible; }
    Label& titleLabel() const { return *m_titleLabel; }
    Label& messageLabel() const { return *m_messageLabel; }

    // What is up now, and what waits.
    static std::shared_ptr<AlertView> visibleAlert();
    static size_t queuedCount();
    static void dismissAllForTesting();

    std::string accessibilityText() const override { return m_title; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

    static constexpr double kWidth = 284;
    // How wide the title and the message are wrapped.
    static constexpr double kTextWidth = kWidth - 2 * 16;

private:
    void present();
    void build();
    void buttonTapped(int index);
    void removeFromScreen(const std::shared_ptr<OverlayView>& overlay);
    static void presentNext();
    // The delegate to tell now, kept alive for the call; null when there is none.
    std::shared_ptr<AlertViewDelegate> liveDelegate() const;

    std::string m_title;
    std::string m_message;
    AlertViewDelegate* m_delegate;
    std::weak_ptr<AlertViewDelegate> m_weakDelegate;
    std::vector<std::string> m_buttonTitles;
    std::shared_ptr<Label> m_titleLabel;
    std::shared_ptr<Label> m_messageLabel;
    std::vector<std::shared_ptr<View>> m_buttons;
    int m_cancelIndex = -1;
    bool m_visible = false;
    bool m_queued = false;
    std::shared_ptr<OverlayView> m_overlay;
};

} // namespace ui
