#include "Classes/Sync/SyncItemView.h"

#include "Common/SkinManager.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

SyncItemView::SyncItemView(const gfx::Rect& frame) : ui::View(frame)
{
    SyncItemView::initializationView(frame);
}

void SyncItemView::initializationView(const gfx::Rect& frame)
{
    setBackgroundColor(gfx::Color::white());
    m_imatitle = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, frame.width(), 55));
    m_imatitle->setImage(SkinManager::skinFromImageName(std::string("titlebar.png")));
    addSubview(m_imatitle);
    m_lblTitle = ui::View::make<ui::Label>(gfx::Rect(20, 10, frame.width() - 40, 35));
    m_lblTitle->setFont(gfx::Font("Helvetica-Bold", 18));
    m_lblTitle->setTextColor(gfx::Color::black());
    m_lblTitle->setTextAlignment(gfx::TextAlignment::Center);
    m_lblTitle->setBackgroundColor(gfx::Color::clear());
    m_imatitle->addSubview(m_lblTitle);
}

std::string SyncItemView::title() const
{
    return m_lblTitle->text();
}

void SyncItemView::setTitle(const std::optional<std::string>& title)
{
    m_lblTitle->setText(title.value_or(std::string()));
}
