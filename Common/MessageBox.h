#pragma once
#include "Common/MessageBoxDelegate.h"
#include "Common/childMsgBox.h"
#include "Platform/UI/AlertView.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// The application's modal boxes, each under a tag of its own: alerts, two-second notices and
// the one blocking wait box of long operations. One instance, never destroyed.
//
// showMessageBoxWithTitle… may be called from any thread; everything else, and the boxes
// themselves, live on the main thread.
class MessageBox : public ui::AlertViewDelegate {
public:
    enum Type : int { Alert = 0, Notice = 1, Wait = 2 };
    static constexpr int kWaitLabelTag = 888;

    static std::shared_ptr<MessageBox> sharedInstance();

    // The new box's tag, at once. Tags count up from 1 and are never reused; a type other
    // than the three makes no box but still takes a tag. Off the main thread the box is made
    // and shown once the main loop runs.
    int showMessageBoxWithTitleMessageDelegateCancelButtonTitleMsgBoxType(
        const std::string& title, const std::string& message, const std::shared_ptr<MessageBoxDelegate>& delegate,
        const std::string& cancelButtonTitle, int msgBoxType);

    // The wait box: shown with the text, closed by itself after the time-out (whole seconds).
    // `onTimeOut`, when given, runs on the main thread once the box is closed by that time-out
    // (not when it is ended otherwise), so that the work it stood for can end with it.
    void BeginBlockWaitTimeout(const std::string& text, double timeout, std::function<void()> onTimeOut = {});
    // What the open wait box runs should its time-out close it, in place of what it had; nothing
    // when no wait box is open.
    void setWaitTimeOutHandler(std::function<void()> onTimeOut);
    void ChangeWaitMessage(const std::string& text);
    void EndBlockWait();
    // Closes the wait box, if any, after the delay.
    void BlockWaitEnd(double seconds);
    // The delay is cut to whole seconds; below one second means the next turn of the loop.
    void dimissMsgBoxAfterDelay(int tag, double delay);
    // An unknown tag does nothing.
    void dimissMsgBoxWithStrtag(int tag);
    void dismissAllMsgBox();

    // The current wait box's tag; 0 when none is open.
    int32_t waitMsgBoxtag() const { return m_waitMsgBoxtag.load(); }
    const std::map<int, std::shared_ptr<childMsgBox>>& msgBoxDic() const { return m_msgBoxDic; }

    // The alert views' events, passed on to each box's requester with the box's tag.
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;
    void alertViewCancel(ui::AlertView& alert) override;
    void willPresentAlertView(ui::AlertView& alert) override;
    void didPresentAlertView(ui::AlertView& alert) override;
    void alertViewWillDismissWithButtonIndex(ui::AlertView& alert, int index) override;
    void alertViewDidDismissWithButtonIndex(ui::AlertView& alert, int index) override;

private:
    void makeBox(int tag, const std::string& title, const std::string& message,
                 const std::weak_ptr<MessageBoxDelegate>& delegate, const std::string& cancelButtonTitle, int type);
    std::shared_ptr<MessageBoxDelegate> requesterOf(const ui::AlertView& alert) const;

    std::mutex m_lock;
    int m_tagCounter = 0;
    std::map<int, std::shared_ptr<childMsgBox>> m_msgBoxDic;
    // Wait boxes' time-out handlers, by tag, while the box is open.
    std::map<int, std::function<void()>> m_waitTimeOutHandlers;
    std::atomic<int32_t> m_waitMsgBoxtag{0};
};
