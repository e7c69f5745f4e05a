#include "Widgets/BRRefreshTableHeaderView.h"

#include "Platform/Base/Bundle.h"
#include "Platform/Graphics/AffineTransform.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/ScrollView.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kArrowTurnDuration = 0.18;

std::string text(const std::string& english)
{
    return base::Bundle::localizedString(english, {}, BRRefreshTableHeaderView::kStringsTable);
}

// The translated format with its one "%ld" filled; a translation is never used as a format.
std::string formatCount(const std::string& format, long count)
{
    std::string out = text(format);
    size_t at = out.find("%ld");
    if (at != std::string::npos)
        out.replace(at, 3, std::to_string(count));
    return out;
}
}

void BRPullStyleLabel(ui::Label& label, gfx::Color textColor)
{
    label.setTextColor(textColor);
    label.setShadowColor(gfx::Color{textColor.r, textColor.g, textColor.b, 0.1});
}

BRRefreshTableHeaderView::BRRefreshTableHeaderView(const gfx::Rect& frame) : ui::View(frame)
{
    double w = frame.width(), h = frame.height();
    auto label = [&](const gfx::Rect& rect, const gfx::Font& font) {
        auto l = ui::View::make<ui::Label>(rect);
        l->setAutoresizingMask(ui::AutoresizingFlexibleWidth);
        l->setFont(font);
        l->setBackgroundColor(gfx::Color::clear());
        l->setShadowOffset({0, 1});
        l->setTextAlignment(gfx::TextAlignment::Center);
        addSubview(l);
        return l;
    };
    m_lastUpdatedLabel = label({0, h - 30, w, 20}, gfx::Font::systemFont(12));
    m_statusLabel = label({0, h - 48, w, 20}, gfx::Font::boldSystemFont(13));
    m_arrowImage = ui::View::make<ui::ImageView>(gfx::Rect(25, h - 65, 30, 55));
    m_arrowImage->setContentMode(ui::ContentMode::ScaleAspectFit);
    addSubview(m_arrowImage);
    m_activityView = ui::View::make<ui::ActivityIndicator>(ui::ActivityIndicatorStyle::Gray);
    m_activityView->setFrame({25, h - 38, 20, 20});
    addSubview(m_activityView);
    setState(BRPullRefreshNormal);
    setBackgroundColorTextColorArrowImage(std::nullopt, std::nullopt, {});
}

void BRRefreshTableHeaderView::setBackgroundColorTextColorArrowImage(std::optional<gfx::Color> background,
                                                                     std::optional<gfx::Color> textColor,
                                                                     const gfx::Image& arrow)
{
    setBackgroundColor(background.value_or(gfx::Color::fromRgb(226, 231, 237)));
    gfx::Color colour = textColor.value_or(gfx::Color::fromRgb(87, 108, 137));
    BRPullStyleLabel(*m_lastUpdatedLabel, colour);
    BRPullStyleLabel(*m_statusLabel, colour);
    m_arrowImage->setImage(arrow ? arrow : ui::imageNamed("blueArrow.png"));
}

std::string BRRefreshTableHeaderView::lastUpdatedText(double seconds)
{
    long s = static_cast<long>(std::max(0.0, seconds));
    if (s < 3600) {
        long n = s / 60;
        return formatCount(n == 1 ? "Updated %ld minute ago" : "Updated %ld minutes ago", n);
    }
    if (s < 86400) {
        long n = s / 3600;
        return formatCount(n == 1 ? "Updated %ld hour ago" : "Updated %ld hours ago", n);
    }
    long n = s / 86400;
    return formatCount(n == 1 ? "Updated %ld day ago" : "Updated %ld days ago", n);
}

void BRRefreshTableHeaderView::refreshLastUpdatedDate()
{
    std::optional<base::Date> date;
    if (m_delegate)
        date = m_delegate->egoRefreshTableHeaderDataSourceLastUpdated(*this);
    if (date)
        m_lastUpdatedLabel->setText(lastUpdatedText(-date->timeIntervalSinceNow()));
    else
        m_lastUpdatedLabel->setText({});
    double w = bounds().width(), h = bounds().height();
    m_statusLabel->setFrame({0, h - (m_lastUpdatedLabel->text().empty() ? 38 : 48), w, 20});
}

void BRRefreshTableHeaderView::setState(int state)
{
    auto turn = [this](double angle) {
        ui::View::animate(kArrowTurnDuration, [&] { m_arrowImage->setTransform(gfx::AffineTransform::rotation(angle)); });
    };
    auto instantly = [this](const std::function<void()>& change) {
        m_arrowImage->removeAllAnimations();
        change();
    };
    switch (state) {
    case BRPullRefreshPulling:
        m_statusLabel->setText(text("Release to refresh..."));
        turn(M_PI);
        break;
    case BRPullRefreshNormal:
        if (m_state == BRPullRefreshPulling)
            turn(0);
        m_statusLabel->setText(text("Pull down to refresh..."));
        m_activityView->stopAnimating();
        instantly([this] {
            m_arrowImage->setHidden(false);
            m_arrowImage->setTransform(gfx::AffineTransform::identity());
        });
        refreshLastUpdatedDate();
        break;
    case BRPullRefreshLoading:
        m_statusLabel->setText(text("Loading..."));
        m_activityView->startAnimating();
        instantly([this] { m_arrowImage->setHidden(true); });
        break;
    default:
        break;
    }
    m_state = state;
}

void BRRefreshTableHeaderView::egoRefreshScrollViewWillBeginDragging(ui::ScrollView&)
{
    refreshLastUpdatedDate();
}

void BRRefreshTableHeaderView::egoRefreshScrollViewDidScroll(ui::ScrollView& scrollView)
{
    double y = scrollView.contentOffset().y;
    gfx::EdgeInsets insets = scrollView.contentInset();
    if (m_state == BRPullRefreshLoading) {
        insets.top = std::min(std::max(-y, 0.0), kLoadingInset);
        scrollView.setContentInset(insets);
        return;
    }
    if (!scrollView.isDragging())
        return;
    if (m_state == BRPullRefreshPulling && y > -kTriggerDistance && y < 0 && !m_isLoading)
        setState(BRPullRefreshNormal);
    else if (m_state == BRPullRefreshNormal && y < -kTriggerDistance && !m_isLoading)
        setState(BRPullRefreshPulling);
    if (insets.top != 0) {
        insets.top = 0;
        scrollView.setContentInset(insets);
    }
}

void BRRefreshTableHeaderView::egoRefreshScrollViewDidEndDragging(ui::ScrollView& scrollView)
{
    if (scrollView.contentOffset().y <= -kTriggerDistance && !m_isLoading) {
        if (m_delegate)
            m_delegate->egoRefreshTableHeaderDidTriggerRefresh(*this);
        startAnimatingWithScrollView(scrollView);
    }
}

void BRRefreshTableHeaderView::startAnimatingWithScrollView(ui::ScrollView& scrollView)
{
    m_isLoading = true;
    setState(BRPullRefreshLoading);
    ui::View::animate(0.2, [&] {
        gfx::EdgeInsets insets = scrollView.contentInset();
        insets.top = kLoadingInset;
        scrollView.setContentInset(insets);
    });
    gfx::Point offset = scrollView.contentOffset();
    if (offset.y == 0)
        scrollView.setContentOffset({offset.x, -kTriggerDistance}, true);
}

void BRRefreshTableHeaderView::egoRefreshScrollViewDataSourceDidFinishedLoading(ui::ScrollView& scrollView)
{
    m_isLoading = false;
    ui::View::animate(0.3, [&] {
        gfx::EdgeInsets insets = scrollView.contentInset();
        insets.top = 0;
        scrollView.setContentInset(insets);
    });
    setState(BRPullRefreshNormal);
}
