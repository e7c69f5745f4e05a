#include "Classes/Customer/CustomerInfoGroupView.h"

#include "Common/SkinManager.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"

CustomerInfoGroupView::CustomerInfoGroupView(const gfx::Rect& frame) : ui::View(frame)
{
    setBackgroundColor(gfx::Color::clear());
    m_name = make<ui::Label>(gfx::Rect{45, 15, 190, 25});
    m_name->setFont(gfx::Font::boldSystemFont(18));
    m_name->setTextColor(gfx::Color::fromRgb(65, 93, 128));
    m_name->setBackgroundColor(gfx::Color::clear());
    addSubview(m_name);

    m_select = make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{205, 7, 40, 40});
    m_select->setImage(SkinManager::skinFromImageName("checkbox-off.png"));
    m_select->setImage(SkinManager::skinFromImageName("checkbox-on.png"), ui::ControlStateDisabled);
    m_select->setImage(SkinManager::skinFromImageName("checkbox-on.png"), ui::ControlStateSelected);
    // The titles name the box for the driver and for speech; the picture says it on screen.
    m_select->setTitle("choose me");
    m_select->setTitle("select", ui::ControlStateSelected);
    m_select->setTitleColor(gfx::Color::clear());
    m_select->setTitleColor(gfx::Color::clear(), ui::ControlStateSelected);
    m_select->setTitleColor(gfx::Color::clear(), ui::ControlStateDisabled);
    m_select->addTarget(
        [this](ui::Control&) {
            if (m_isSelect)
                return;
            // The delegate reloads its table, which lets go of this header.
            auto keep = sharedView();
            m_select->setSelected(true);
            if (delegate)
                delegate->groupViewClickWithType(indexId, type);
        },
        ui::ControlEventTouchUpInside);
    addSubview(m_select);

    m_delete = make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{frame.width() - 80, 5, 50, 50});
    m_delete->setImage(SkinManager::skinFromImageName("file-del.png"));
    m_delete->setImageEdgeInsets({10, 10, 10, 10});
    m_delete->setHidden(true);
    m_delete->addTarget(
        [this](ui::Control&) {
            auto keep = sharedView();
            if (delegate)
                delegate->deleteSectionWithType(indexId, type);
        },
        ui::ControlEventTouchUpInside);
    addSubview(m_delete);
}

void CustomerInfoGroupView::setIsSelect(bool selected)
{
    m_isSelect = selected;
    m_select->setEnabled(!selected);
}

bool CustomerInfoGroupView::selectButtonHidden() const
{
    return m_select->isHidden();
}

void CustomerInfoGroupView::setSelectButtonHidden(bool hidden)
{
    m_select->setHidden(hidden);
}

ui::View* CustomerInfoGroupView::hitTest(gfx::Point point)
{
    return pointInside(point) ? ui::View::hitTest(point) : nullptr;
}
