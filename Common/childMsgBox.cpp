#include "Common/childMsgBox.h"

#include "Platform/UI/AlertView.h"

childMsgBox::childMsgBox(const std::string& title, const std::string& message,
                         std::weak_ptr<MessageBoxDelegate> msgBoxDelegate, ui::AlertViewDelegate* delegate,
                         const std::string& cancelButtonTitle)
    : m_msgBoxDelegate(std::move(msgBoxDelegate))
    , m_av(std::make_shared<ui::AlertView>(title, message, delegate, cancelButtonTitle))
{
}

childMsgBox::~childMsgBox() = default;

void childMsgBox::show()
{
    if (m_av)
        m_av->show();
}

void childMsgBox::dimissAlert()
{
    if (!m_av)
        return;
    auto av = std::move(m_av);
    av->dismissWithClickedButtonIndex(av->cancelButtonIndex(), true);
}
