#pragma once
#include "Common/MessageBoxDelegate.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace ui {
class AlertView;
class AlertViewDelegate;
}

// One box of MessageBox: owns its alert view and remembers who asked for it. Main thread.
class childMsgBox {
public:
    // An alert with only a cancel button (none when its title is empty); its events go to
    // `delegate`, the requester is not kept alive.
    childMsgBox(const std::string& title, const std::string& message, std::weak_ptr<MessageBoxDelegate> msgBoxDelegate,
                ui::AlertViewDelegate* delegate, const std::string& cancelButtonTitle);
    ~childMsgBox();
    childMsgBox(const childMsgBox&) = delete;
    childMsgBox& operator=(const childMsgBox&) = delete;

    void show();
    // Dismissed as by its cancel button, animated, and let go.
    void dimissAlert();

    std::shared_ptr<MessageBoxDelegate> msgBoxDelegate() const { return m_msgBoxDelegate.lock(); }
    const std::shared_ptr<ui::AlertView>& av() const { return m_av; }
    // 0 alert, 1 notice, 2 wait box.
    int32_t msgBoxType() const { return m_msgBoxType.load(); }
    void setMsgBoxType(int32_t type) { m_msgBoxType.store(type); }

private:
    std::weak_ptr<MessageBoxDelegate> m_msgBoxDelegate;
    std::shared_ptr<ui::AlertView> m_av;
    std::atomic<int32_t> m_msgBoxType{0};
};
