#include "Classes/Sync/SyncInfoItem.h"

#include "Common/Language.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ProgressView.h"

namespace {

std::shared_ptr<ui::Label> rowLabel(const gfx::Rect& frame, double size)
{
    auto label = ui::View::make<ui::Label>(frame);
    label->setFont(gfx::Font("Helvetica", size));
    label->setBackgroundColor(gfx::Color::clear());
    return label;
}

}

SyncInfoItem::SyncInfoItem(const gfx::Rect& frame) : ui::View(frame)
{
    m_lbTittle = rowLabel(gfx::Rect(0, 0, 100, 20), 14);
    addSubview(m_lbTittle);
    m_lbDateTag = rowLabel(gfx::Rect(820, 0, 70, 20), 12);
    addSubview(m_lbDateTag);
    m_lbDatevalue = rowLabel(gfx::Rect(890, 0, 100, 20), 12);
    addSubview(m_lbDatevalue);
    m_progress = ui::View::make<ui::ProgressView>(ui::ProgressViewStyle::Default, gfx::Rect(0, 30, 800, 30));
    addSubview(m_progress);
    m_lbprogressTxt = rowLabel(gfx::Rect(820, 23, 180, 20), 14);
    m_lbprogressTxt->setTextColor(gfx::Color::fromRgb(36, 115, 211));
    addSubview(m_lbprogressTxt);
    notifiChangelanguage();
}

SyncInfoItem::~SyncInfoItem()
{
    LanguageManager::sharedInstance()->unRegisterLanugageNotification(this);
}

float SyncInfoItem::progress() const
{
    return static_cast<float>(m_progress->progress());
}

void SyncInfoItem::setProgress(float progress)
{
    m_progress->setProgress(progress);
    if (progress == 1.0f)
        m_lbprogressTxt->setText(Language::stringWithName("COMPLETED"));
}

std::string SyncInfoItem::lbprogressTxt() const
{
    return m_lbprogressTxt->text();
}

void SyncInfoItem::setLbprogressTxt(const std::string& text)
{
    m_lbprogressTxt->setText(text);
}

void SyncInfoItem::setSyncDate(const std::string& date)
{
    m_syncDate = date;
    m_lbDatevalue->setText(date);
}

void SyncInfoItem::notifiChangelanguage()
{
    m_lbDateTag->setText(Language::stringWithName("LASTSYNC"));
    // A known sync time stays: only a row that never synced reads "no record".
    m_lbDatevalue->setText(m_syncDate.value_or(Language::stringWithName("NORECORD")));
    if (progress() == 1.0f)
        m_lbprogressTxt->setText(Language::stringWithName("COMPLETED"));
}
