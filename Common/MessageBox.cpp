#include "Common/MessageBox.h"

#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Timer.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/Label.h"

#include <cmath>

namespace {

// Room in the title for the indicator and the wait text below it.
constexpr const char* kWaitTitle = "         ";

// The notice and wait boxes carry white text, so they get a dark box to show on.
void darken(ui::AlertView& alert)
{
    alert.setBackgroundColor(gfx::Color::fromRgb(24, 40, 72, 0.92));
    alert.titleLabel().setTextColor(gfx::Color::white());
    alert.messageLabel().setTextColor(gfx::Color::white());
}

std::shared_ptr<ui::Label> whiteLabel(const gfx::Rect& frame, const std::string& text)
{
    auto label = std::make_shared<ui::Label>(frame);
    label->setFont(gfx::Font::boldSystemFont(14));
    label->setTextAlignment(gfx::TextAlignment::Center);
    label->setBackgroundColor(gfx::Color::clear());
    label->setTextColor(gfx::Color::white());
    label->setText(text);
    return label;
}

} // namespace

std::shared_ptr<MessageBox> MessageBox::sharedInstance()
{
    static std::mutex lock;
    static std::shared_ptr<MessageBox>* instance = nullptr;
    std::lock_guard guard(lock);
    // Kept to the end of the process: timers and alerts may still call it while it exits.
    if (!instance)
        instance = new std::shared_ptr<MessageBox>(std::make_shared<MessageBox>());
    return *instance;
}

int MessageBox::showMessageBoxWithTitleMessageDelegateCancelButtonTitleMsgBoxType(
    const std::string& title, const std::string& message, const std::shared_ptr<MessageBoxDelegate>& delegate,
    const std::string& cancelButtonTitle, int msgBoxType)
{
    int tag;
    {
        std::lock_guard guard(m_lock);
        tag = ++m_tagCounter;
    }
    // The boxes and the view tree belong to the main thread; a worker only takes its tag.
    std::weak_ptr<MessageBoxDelegate> requester = delegate;
    base::performOnMain([self = sharedInstance(), tag, title, message, requester, cancelButtonTitle, msgBoxType] {
        self->makeBox(tag, title, message, requester, cancelButtonTitle, msgBoxType);
    });
    return tag;
}

void MessageBox::makeBox(int tag, const std::string& title, const std::string& message,
                         const std::weak_ptr<MessageBoxDelegate>& delegate, const std::string& cancelButtonTitle,
                         int type)
{
    std::shared_ptr<childMsgBox> box;
    switch (type) {
    case Wait: {
        EndBlockWait(); // one wait box at a time
        box = std::make_shared<childMsgBox>(kWaitTitle, message, delegate, this, "");
        auto& alert = *box->av();
        darken(alert);
        auto indicator = std::make_shared<ui::ActivityIndicator>(ui::ActivityIndicatorStyle::White);
        indicator->setFrame({132, 33.5, 20, 20});
        indicator->startAnimating();
        alert.addSubview(indicator);
        auto label = whiteLabel({0, 56.5, 280, 44}, title);
        label->setNumberOfLines(2);
        label->setTag(kWaitLabelTag);
        alert.addSubview(label);
        break;
    }
    case Notice: {
        box = std::make_shared<childMsgBox>("", "", delegate, this, "");
        darken(*box->av());
        box->av()->addSubview(whiteLabel({40, 22, 197, 24}, message));
        dimissMsgBoxAfterDelay(tag, 2.0);
        break;
    }
    case Alert:
        box = std::make_shared<childMsgBox>(title, message, delegate, this, cancelButtonTitle);
        break;
    default:
        return;
    }
    box->av()->setTag(tag);
    box->setMsgBoxType(type);
    m_msgBoxDic[tag] = box;
    box->show();
}

void MessageBox::BeginBlockWaitTimeout(const std::string& text, double timeout, std::function<void()> onTimeOut)
{
    int tag = showMessageBoxWithTitleMessageDelegateCancelButtonTitleMsgBoxType(text, "", nullptr, "", Wait);
    m_waitMsgBoxtag.store(tag);
    if (onTimeOut) {
        base::performOnMain([self = sharedInstance(), tag, onTimeOut = std::move(onTimeOut)]() mutable {
            self->m_waitTimeOutHandlers[tag] = std::move(onTimeOut);
        });
    }
    // Whole seconds, toward zero, as every box's delay.
    double whole = std::trunc(timeout);
    if (!(whole >= 1))
        whole = 0;
    base::Timer::scheduled(whole, false, [tag](base::Timer&) {
        auto self = sharedInstance();
        bool open = self->m_msgBoxDic.count(tag) != 0;
        std::function<void()> handler;
        if (auto it = self->m_waitTimeOutHandlers.find(tag); it != self->m_waitTimeOutHandlers.end()) {
            handler = std::move(it->second);
            self->m_waitTimeOutHandlers.erase(it);
        }
        self->dimissMsgBoxWithStrtag(tag);
        if (open && handler)
            handler();
    });
}

void MessageBox::setWaitTimeOutHandler(std::function<void()> onTimeOut)
{
    int tag = m_waitMsgBoxtag.load();
    if (tag == 0 || !m_msgBoxDic.count(tag))
        return;
    if (onTimeOut)
        m_waitTimeOutHandlers[tag] = std::move(onTimeOut);
    else
        m_waitTimeOutHandlers.erase(tag);
}

void MessageBox::ChangeWaitMessage(const std::string& text)
{
    auto it = m_msgBoxDic.find(m_waitMsgBoxtag.load());
    if (it == m_msgBoxDic.end() || !it->second->av())
        return;
    if (auto* label = dynamic_cast<ui::Label*>(it->second->av()->viewWithTag(kWaitLabelTag)))
        label->setText(text);
}

void MessageBox::EndBlockWait()
{
    dimissMsgBoxWithStrtag(m_waitMsgBoxtag.load());
    m_waitMsgBoxtag.store(0);
}

void MessageBox::BlockWaitEnd(double seconds)
{
    int tag = m_waitMsgBoxtag.load();
    if (tag != 0 && m_msgBoxDic.count(tag))
        dimissMsgBoxAfterDelay(tag, seconds);
}

void MessageBox::dimissMsgBoxAfterDelay(int tag, double delay)
{
    // Whole seconds, toward zero; anything shorter waits for the next turn of the loop.
    double whole = std::trunc(delay);
    if (!(whole >= 1))
        whole = 0;
    base::Timer::scheduled(whole, false, [tag](base::Timer&) { sharedInstance()->dimissMsgBoxWithStrtag(tag); });
}

void MessageBox::dimissMsgBoxWithStrtag(int tag)
{
    auto it = m_msgBoxDic.find(tag);
    if (it == m_msgBoxDic.end())
        return;
    auto box = it->second;
    // Ended before its time-out: what the time-out would have ended is not.
    m_waitTimeOutHandlers.erase(tag);
    // Still listed while it dismisses, so its requester hears will-dismiss.
    box->dimissAlert();
    it = m_msgBoxDic.find(tag);
    if (it != m_msgBoxDic.end() && it->second == box)
        m_msgBoxDic.erase(it);
    // Callers read a non-zero tag as "a wait box is open", so closing it clears the tag.
    if (tag == m_waitMsgBoxtag.load())
        m_waitMsgBoxtag.store(0);
}

void MessageBox::dismissAllMsgBox()
{
    auto boxes = m_msgBoxDic;
    for (auto& [tag, box] : boxes)
        box->dimissAlert();
    m_msgBoxDic.clear();
    m_waitTimeOutHandlers.clear();
    m_waitMsgBoxtag.store(0);
}

std::shared_ptr<MessageBoxDelegate> MessageBox::requesterOf(const ui::AlertView& alert) const
{
    auto it = m_msgBoxDic.find(alert.tag());
    return it == m_msgBoxDic.end() ? nullptr : it->second->msgBoxDelegate();
}

void MessageBox::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    if (auto requester = requesterOf(alert))
        requester->msgBoxClickedButtonAtIndex(alert.tag(), index);
    m_msgBoxDic.erase(alert.tag());
}

void MessageBox::alertViewCancel(ui::AlertView& alert)
{
    if (auto requester = requesterOf(alert))
        requester->msgBoxCancel(alert.tag());
}

void MessageBox::willPresentAlertView(ui::AlertView& alert)
{
    if (auto requester = requesterOf(alert))
        requester->willPresentMsgBox(alert.tag());
}

void MessageBox::didPresentAlertView(ui::AlertView& alert)
{
    if (auto requester = requesterOf(alert))
        requester->didPresentMsgBox(alert.tag());
}

void MessageBox::alertViewWillDismissWithButtonIndex(ui::AlertView& alert, int index)
{
    if (auto requester = requesterOf(alert))
        requester->msgBoxWillDismissWithButtonIndex(alert.tag(), index);
}

void MessageBox::alertViewDidDismissWithButtonIndex(ui::AlertView& alert, int index)
{
    if (auto requester = requesterOf(alert))
        requester->msgBoxDidDismissWithButtonIndex(alert.tag(), index);
}
