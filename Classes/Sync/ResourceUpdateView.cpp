#include "Classes/Sync/ResourceUpdateView.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/Animation.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Classes/Sync/SyncInfoItem.h"

#include <cstdio>

namespace {
// Room left of the remaining time for its indicator.
constexpr double kIndicatorRoom = 24;
}

std::shared_ptr<ResourceUpdateView> ResourceUpdateView::create(const gfx::Rect& frame)
{
    auto view = ui::View::make<ResourceUpdateView>(frame);
    auto languages = LanguageManager::sharedInstance();
    for (auto& row : {view->m_syncInfoProduc, view->m_syncInfoIcon, view->m_syncInfoCustomer})
        languages->registerLanugageNotification(row);
    languages->registerLanugageNotification(view);
    return view;
}

ResourceUpdateView::ResourceUpdateView(const gfx::Rect& frame) : SyncItemView(frame)
{
    auto row = [this](double y) {
        auto item = ui::View::make<SyncInfoItem>(gfx::Rect(20, y, 900, 45));
        addSubview(item);
        return item;
    };
    m_syncInfoProduc = row(kRowsTop);
    m_syncInfoIcon = row(kRowsTop + kRowStep);
    m_syncInfoCustomer = row(kRowsTop + 2 * kRowStep);

    // The text starts right of the indicator, which stands in the label's margin.
    m_lblRemainTime = ui::View::make<ui::Label>(gfx::Rect(20 + kIndicatorRoom, 260, 300 - kIndicatorRoom, 45));
    m_lblRemainTime->setBackgroundColor(gfx::Color::clear());
    m_lblRemainTime->setHidden(true);
    addSubview(m_lblRemainTime);
    m_activityIndicator = ui::View::make<ui::ActivityIndicator>(ui::ActivityIndicatorStyle::Gray);
    m_activityIndicator->setFrame(gfx::Rect(-kIndicatorRoom, 12, 20, 20));
    m_lblRemainTime->addSubview(m_activityIndicator);

    m_btnsync = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect(450, 260, 127, 34));
    PublicFunction::initializeToButtonHeight34(m_btnsync.get());
    m_btnsync->setTitleColor(gfx::Color::white());
    m_btnsync->addTarget([this](ui::Control&) { btnSyncClick(m_btnsync.get()); }, ui::ControlEventTouchUpInside);
    addSubview(m_btnsync);

    m_labelBgDownload = ui::View::make<ui::Label>(gfx::Rect(600, 262, 400, 30));
    m_labelBgDownload->setBackgroundColor(gfx::Color::clear());
    m_labelBgDownload->setTextColor(gfx::Color::gray());
    m_labelBgDownload->setAlpha(0);
    addSubview(m_labelBgDownload);

    notifiChangelanguage();
}

ResourceUpdateView::~ResourceUpdateView()
{
    LanguageManager::sharedInstance()->unRegisterLanugageNotification(this);
}

void ResourceUpdateView::setBtnSyncEnabled(bool enabled)
{
    m_lblRemainTime->setHidden(enabled);
    m_btnSyncEnabled = enabled;
    m_btnsync->setEnabled(enabled);
    if (enabled)
        m_activityIndicator->stopAnimating();
}

void ResourceUpdateView::setSyncDate(const std::string& date)
{
    m_syncDate = date;
    for (auto* row : {m_syncInfoProduc.get(), m_syncInfoIcon.get(), m_syncInfoCustomer.get()})
        row->setSyncDate(date);
}

void ResourceUpdateView::setRemainTime(int seconds)
{
    m_remainTime = seconds;
    m_activityIndicator->startAnimating();
    if (seconds < 61) {
        m_lblRemainTime->setText(Language::stringWithName("TIMEREMAININGLESSAMINUTE"));
        return;
    }
    int minutes = seconds / 60 + (seconds % 60 ? 1 : 0);
    // Estimates this far out are noise early in a sync; the last sensible text stays.
    if (minutes > 1000)
        return;
    std::string format = Language::stringWithName("TIMEREMAININGXXMINUTES");
    std::string text = format;
    if (auto at = format.find("%d"); at != std::string::npos)
        text = format.substr(0, at) + std::to_string(minutes) + format.substr(at + 2);
    m_lblRemainTime->setText(text);
}

void ResourceUpdateView::setIsCatalogOnshow(bool on)
{
    m_isCatalogOnshow = on;
    m_syncInfoProduc->setHidden(!on);
    resetItemsFrame();
}

void ResourceUpdateView::setIsSalesLibraryOnShow(bool on)
{
    m_isSalesLibraryOnShow = on;
    m_syncInfoIcon->setHidden(!on);
    resetItemsFrame();
}

void ResourceUpdateView::setIsCustomerOnShow(bool on)
{
    m_isCustomerOnShow = on;
    m_syncInfoCustomer->setHidden(!on);
    resetItemsFrame();
}

void ResourceUpdateView::resetItemsFrame()
{
    m_syncInfoProduc->setFrame(gfx::Rect(20, kRowsTop, 900, 45));
    double materialsY = m_isCatalogOnshow ? kRowsTop + kRowStep : kRowsTop;
    m_syncInfoIcon->setFrame(gfx::Rect(20, materialsY, 900, 45));
    double customerY = m_isSalesLibraryOnShow ? materialsY + kRowStep : materialsY;
    m_syncInfoCustomer->setFrame(gfx::Rect(20, customerY, 900, 45));
    setRowTitles();
}

void ResourceUpdateView::setRowTitles()
{
    // The three rows read alike: a name each, no colon.
    m_syncInfoProduc->lbTittle()->setText(Language::stringWithName("PRODUCT"));
    m_syncInfoIcon->lbTittle()->setText(Language::stringWithName("SAVEMATERIAL"));
    m_syncInfoCustomer->lbTittle()->setText(Language::stringWithName("CUSTOMERPOINT"));
}

void ResourceUpdateView::resetProgress()
{
    for (auto* row : {m_syncInfoProduc.get(), m_syncInfoIcon.get(), m_syncInfoCustomer.get()}) {
        row->setProgress(0);
        row->setLbprogressTxt("0%");
    }
}

void ResourceUpdateView::btnSyncClick(ui::Button* sender)
{
    if (!m_delegate)
        return;
    showHelp();
    m_delegate->btnSyncClick(sender);
}

void ResourceUpdateView::showHelp()
{
    ui::View::AnimationOptions options;
    options.duration = 0.25;
    options.delay = 1.5;
    options.allowUserInteraction = true;
    ui::View::animate(options, [this] { m_labelBgDownload->setAlpha(1.0); });
}

void ResourceUpdateView::hideHelp()
{
    removeAllAnimations();
    ui::PropertyAnimator::cancelAnimations(m_labelBgDownload.get());
    m_labelBgDownload->setAlpha(0);
}

void ResourceUpdateView::notifiChangelanguage()
{
    setRowTitles();
    m_btnsync->setTitle(Language::stringWithName("GETUPDATES"));
    m_labelBgDownload->setText(Language::stringWithName("HELPBACKGROUNDDOWNLOAD"));
    setRemainTime(m_remainTime);
    // The spinner only turns while a sync runs.
    if (m_btnSyncEnabled)
        m_activityIndicator->stopAnimating();
}
