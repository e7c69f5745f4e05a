#include "Widgets/BRLoadMoreTableFooterView.h"

#include "Common/Language.h"
#include "Platform/Graphics/AffineTransform.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/ScrollView.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kArrowTurnDuration = 0.18;
constexpr double kTriggerDistance = BRRefreshTableHeaderView::kTriggerDistance;
constexpr double kLoadingInset = BRRefreshTableHeaderView::kLoadingInset;
}

BRLoadMoreTableFooterView::BRLoadMoreTableFooterView(const gfx::Rect& frame) : ui::View(frame)
{
    double w = frame.width();
    m_statusLabel = ui::View::make<ui::Label>(gfx::Rect(0, 20, w, 20));
    m_statusLabel->setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    m_statusLabel->setFont(gfx::Font::boldSystemFont(13));
    m_statusLabel->setBackgroundColor(gfx::Color::clear());
    m_statusLabel->setShadowOffset({0, 1});
    m_statusLabel->setTextAlignment(gfx::TextAlignment::Center);
    addSubview(m_statusLabel);
    m_arrowImage = ui::View::make<ui::ImageView>(gfx::Rect(25, 10, 30, 55));
    m_arrowImage->setContentMode(ui::ContentMode::ScaleAspectFit);
    addSubview(m_arrowImage);
    m_activityView = ui::View::make<ui::ActivityIndicator>(ui::ActivityIndicatorStyle::Gray);
    m_activityView->setFrame({25, 22, 20, 20});
    addSubview(m_activityView);
    setState(BRPullRefreshNormal);
    setBackgroundColorTextColorArrowImage(std::nullopt, std::nullopt, {});
}

void BRLoadMoreTableFooterView::setBackgroundColorTextColorArrowImage(std::optional<gfx::Color> background,
                                                                      std::optional<gfx::Color> textColor,
                                                                      const gfx::Image& arrow)
{
    setBackgroundColor(background.value_or(gfx::Color::fromRgb(226, 231, 237)));
    BRPullStyleLabel(*m_statusLabel, textColor.value_or(gfx::Color::fromRgb(87, 108, 137)));
    m_arrowImage->setImage(arrow ? arrow : ui::imageNamed("blueArrow.png"));
}

void BRLoadMoreTableFooterView::setState(int state)
{
    auto turn = [this](double angle) {
        ui::View::animate(kArrowTurnDuration, [&] { m_arrowImage->setTransform(gfx::AffineTransform::rotation(angle)); });
    };
    switch (state) {
    case BRPullRefreshPulling:
        m_statusLabel->setText(Language::stringWithName("PULLUPRELEASE"));
        turn(0);
        break;
    case BRPullRefreshNormal:
        if (m_state == BRPullRefreshPulling)
            turn(M_PI);
        m_statusLabel->setText(Language::stringWithName("PULLUPTOLOADMORE"));
        m_activityView->stopAnimating();
        m_arrowImage->removeAllAnimations();
        m_arrowImage->setHidden(false);
        m_arrowImage->setTransform(gfx::AffineTransform::rotation(M_PI));
        break;
    case BRPullRefreshLoading:
        m_statusLabel->setText(Language::stringWithName("PULLUPLOADING"));
        m_activityView->startAnimating();
        m_arrowImage->removeAllAnimations();
        m_arrowImage->setHidden(true);
        break;
    default:
        break;
    }
    m_state = state;
}

double BRLoadMoreTableFooterView::scrollViewOffsetFromBottom(const ui::ScrollView& scrollView)
{
    double content = scrollView.contentSize().height;
    double h = scrollView.bounds().height();
    return content - (std::min(h, content) + scrollView.contentOffset().y);
}

double BRLoadMoreTableFooterView::visibleTableHeightDiffWithBoundsHeight(const ui::ScrollView& scrollView)
{
    double content = scrollView.contentSize().height;
    double h = scrollView.bounds().height();
    return h - std::min(h, content);
}

void BRLoadMoreTableFooterView::egoRefreshScrollViewDidScroll(ui::ScrollView& scrollView)
{
    double d = scrollViewOffsetFromBottom(scrollView);
    gfx::EdgeInsets insets = scrollView.contentInset();
    if (m_state == BRPullRefreshLoading) {
        double b = std::min(std::max(-d, 0.0), kLoadingInset);
        if (b != 0)
            b += visibleTableHeightDiffWithBoundsHeight(scrollView);
        insets.bottom = b;
        scrollView.setContentInset(insets);
        return;
    }
    if (!scrollView.isDragging())
        return;
    if (m_state == BRPullRefreshPulling && d > -kTriggerDistance && d < 0 && !m_isLoading)
        setState(BRPullRefreshNormal);
    else if (m_state == BRPullRefreshNormal && d < -kTriggerDistance && !m_isLoading)
        setState(BRPullRefreshPulling);
    if (insets.bottom != 0) {
        insets.bottom = 0;
        scrollView.setContentInset(insets);
    }
}

void BRLoadMoreTableFooterView::egoRefreshScrollViewDidEndDragging(ui::ScrollView& scrollView)
{
    if (scrollViewOffsetFromBottom(scrollView) <= -kTriggerDistance && !m_isLoading) {
        if (m_delegate)
            m_delegate->loadMoreTableFooterDidTriggerLoadMore(*this);
        startAnimatingWithScrollView(scrollView);
    }
}

void BRLoadMoreTableFooterView::scrollViewWheelReachedEnd(ui::ScrollView& scrollView)
{
    if (m_isLoading)
        return;
    if (m_delegate)
        m_delegate->loadMoreTableFooterDidTriggerLoadMore(*this);
    startAnimatingWithScrollView(scrollView);
}

void BRLoadMoreTableFooterView::startAnimatingWithScrollView(ui::ScrollView& scrollView)
{
    m_isLoading = true;
    setState(BRPullRefreshLoading);
    ui::View::animate(0.2, [&] {
        gfx::EdgeInsets insets = scrollView.contentInset();
        insets.bottom = kLoadingInset + visibleTableHeightDiffWithBoundsHeight(scrollView);
        scrollView.setContentInset(insets);
    });
    if (scrollViewOffsetFromBottom(scrollView) == 0) {
        gfx::Point offset = scrollView.contentOffset();
        scrollView.setContentOffset({offset.x, offset.y + kTriggerDistance}, true);
    }
}

void BRLoadMoreTableFooterView::egoRefreshScrollViewDataSourceDidFinishedLoading(ui::ScrollView& scrollView)
{
    m_isLoading = false;
    ui::View::animate(0.3, [&] {
        gfx::EdgeInsets insets = scrollView.contentInset();
        insets.bottom = 0;
        scrollView.setContentInset(insets);
    });
    setState(BRPullRefreshNormal);
}
