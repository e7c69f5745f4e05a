#include "Classes/Order/HistoryEditPopController.h"

#include "Common/Language.h"
#include "Common/SkinManager.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"

HistoryEditPopController::HistoryEditPopController(int cellTag, int orderSerial)
    : m_cellTag(cellTag), m_orderSerial(orderSerial)
{
}

std::shared_ptr<ui::Button> HistoryEditPopController::makeButton(int tag, double x, const char* highlighted)
{
    auto button = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{x, 0, 60, 34});
    button->setTag(tag);
    button->setBackgroundImage(SkinManager::skinFromImageName("bg_popbutton.png"));
    button->setBackgroundImage(SkinManager::skinFromImageName(highlighted), ui::ControlStateHighlighted);
    button->setTitleColor(gfx::Color::black());
    button->setTitleColor(gfx::Color::white(), ui::ControlStateHighlighted);
    button->titleLabel().setFont(gfx::Font::boldSystemFont(15));
    std::weak_ptr<HistoryEditPopController> weak = std::static_pointer_cast<HistoryEditPopController>(shared_from_this());
    button->addTarget([weak, tag](ui::Control&) {
        if (auto self = weak.lock())
            self->buttonClick(tag);
    }, ui::ControlEventTouchUpInside);
    view()->addSubview(button);
    return button;
}

void HistoryEditPopController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setFrame({0, 0, 121, 34});
    view()->setBackgroundColor(gfx::Color::clear());
    m_btnCopy = makeButton(kCopyTag, 0, "btn_copy_highlighted.png");
    m_btnDelete = makeButton(kDeleteTag, 61, "btn_delete_highlighted.png");
    updateLanguage(nullptr);
}

void HistoryEditPopController::updateLanguage(ui::Responder*)
{
    if (m_btnCopy)
        m_btnCopy->setTitle(Language::stringWithName("COPY"));
    if (m_btnDelete)
        m_btnDelete->setTitle(Language::stringWithName("DELETE"));
}

void HistoryEditPopController::buttonClick(int tag)
{
    if (!m_delegate)
        return;
    if (tag == kCopyTag)
        m_delegate->historyOrderCopy(m_cellTag, m_orderSerial);
    else
        m_delegate->historyOrderDelete(m_cellTag, m_orderSerial);
}
