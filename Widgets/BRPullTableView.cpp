#include "Widgets/BRPullTableView.h"

#include <algorithm>

// --- BRMessageInterceptor ----------------------------------------------------------------

void BRMessageInterceptor::scrollViewDidScroll(ui::ScrollView& scrollView)
{
    m_middleMan.pullScrollViewDidScroll();
    if (m_receiver)
        m_receiver->scrollViewDidScroll(scrollView);
}

void BRMessageInterceptor::scrollViewWillBeginDragging(ui::ScrollView& scrollView)
{
    m_middleMan.pullScrollViewWillBeginDragging();
    if (m_receiver)
        m_receiver->scrollViewWillBeginDragging(scrollView);
}

void BRMessageInterceptor::scrollViewDidEndDragging(ui::ScrollView& scrollView, bool willDecelerate)
{
    m_middleMan.pullScrollViewDidEndDragging();
    if (m_receiver)
        m_receiver->scrollViewDidEndDragging(scrollView, willDecelerate);
}

void BRMessageInterceptor::scrollViewWillEndDragging(ui::ScrollView& scrollView, gfx::Point velocity, gfx::Point* target)
{
    if (m_receiver)
        m_receiver->scrollViewWillEndDragging(scrollView, velocity, target);
}

void BRMessageInterceptor::scrollViewWillBeginDecelerating(ui::ScrollView& scrollView)
{
    if (m_receiver)
        m_receiver->scrollViewWillBeginDecelerating(scrollView);
}

void BRMessageInterceptor::scrollViewDidEndDecelerating(ui::ScrollView& scrollView)
{
    if (m_receiver)
        m_receiver->scrollViewDidEndDecelerating(scrollView);
}

void BRMessageInterceptor::scrollViewDidEndScrollingAnimation(ui::ScrollView& scrollView)
{
    if (m_receiver)
        m_receiver->scrollViewDidEndScrollingAnimation(scrollView);
}

ui::View* BRMessageInterceptor::viewForZoomingInScrollView(ui::ScrollView& scrollView)
{
    return m_receiver ? m_receiver->viewForZoomingInScrollView(scrollView) : nullptr;
}

void BRMessageInterceptor::scrollViewDidZoom(ui::ScrollView& scrollView)
{
    if (m_receiver)
        m_receiver->scrollViewDidZoom(scrollView);
}

void BRMessageInterceptor::scrollViewDidEndZooming(ui::ScrollView& scrollView, ui::View* view, double scale)
{
    if (m_receiver)
        m_receiver->scrollViewDidEndZooming(scrollView, view, scale);
}

double BRMessageInterceptor::heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    return m_receiver ? m_receiver->heightForRowAtIndexPath(table, path) : TableViewDelegate::heightForRowAtIndexPath(table, path);
}

double BRMessageInterceptor::heightForHeaderInSection(ui::TableView& table, int section)
{
    return m_receiver ? m_receiver->heightForHeaderInSection(table, section)
                      : TableViewDelegate::heightForHeaderInSection(table, section);
}

double BRMessageInterceptor::heightForFooterInSection(ui::TableView& table, int section)
{
    return m_receiver ? m_receiver->heightForFooterInSection(table, section)
                      : TableViewDelegate::heightForFooterInSection(table, section);
}

std::shared_ptr<ui::View> BRMessageInterceptor::viewForHeaderInSection(ui::TableView& table, int section)
{
    return m_receiver ? m_receiver->viewForHeaderInSection(table, section) : nullptr;
}

std::optional<ui::IndexPath> BRMessageInterceptor::willSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    return m_receiver ? m_receiver->willSelectRowAtIndexPath(table, path) : std::optional<ui::IndexPath>(path);
}

void BRMessageInterceptor::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    if (m_receiver)
        m_receiver->didSelectRowAtIndexPath(table, path);
}

void BRMessageInterceptor::didDeselectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    if (m_receiver)
        m_receiver->didDeselectRowAtIndexPath(table, path);
}

ui::TableViewCellEditingStyle BRMessageInterceptor::editingStyleForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& path)
{
    return m_receiver ? m_receiver->editingStyleForRowAtIndexPath(table, path)
                      : TableViewDelegate::editingStyleForRowAtIndexPath(table, path);
}

std::string BRMessageInterceptor::titleForDeleteConfirmationButtonForRowAtIndexPath(ui::TableView& table,
                                                                                     const ui::IndexPath& path)
{
    return m_receiver ? m_receiver->titleForDeleteConfirmationButtonForRowAtIndexPath(table, path)
                      : TableViewDelegate::titleForDeleteConfirmationButtonForRowAtIndexPath(table, path);
}

void BRMessageInterceptor::willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& path)
{
    if (m_receiver)
        m_receiver->willDisplayCell(table, cell, path);
}

// --- BRPullTableView ---------------------------------------------------------------------

BRPullTableView::BRPullTableView(const gfx::Rect& frame, ui::TableViewStyle style) : ui::TableView(frame, style)
{
    config();
}

BRPullTableView::~BRPullTableView()
{
    m_refreshView->setDelegate(nullptr);
    m_loadMoreView->setDelegate(nullptr);
    ui::TableView::setDelegate(nullptr);
}

void BRPullTableView::config()
{
    m_delegateInterceptor = std::make_unique<BRMessageInterceptor>(*this);
    m_delegateInterceptor->setReceiver(ui::TableView::delegate());
    ui::TableView::setDelegate(m_delegateInterceptor.get());
    m_pullTableIsRefreshing = false;
    m_pullTableIsLoadingMore = false;

    double w = bounds().width(), h = bounds().height();
    m_refreshView = ui::View::make<BRRefreshTableHeaderView>(gfx::Rect(0, -h, w, h));
    m_refreshView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleBottomMargin);
    m_refreshView->setDelegate(this);
    addSubview(m_refreshView);
    m_loadMoreView = ui::View::make<BRLoadMoreTableFooterView>(gfx::Rect(0, h, w, h));
    m_loadMoreView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleTopMargin);
    m_loadMoreView->setDelegate(this);
    addSubview(m_loadMoreView);
}

void BRPullTableView::setDelegate(ui::TableViewDelegate* delegate)
{
    if (!m_delegateInterceptor) {
        ui::TableView::setDelegate(delegate);
        return;
    }
    // Set again so the table takes the new receiver's answers into account.
    ui::TableView::setDelegate(nullptr);
    m_delegateInterceptor->setReceiver(delegate);
    ui::TableView::setDelegate(m_delegateInterceptor.get());
}

void BRPullTableView::reloadData()
{
    ui::TableView::reloadData();
    // Refits the footer's inset to the new content.
    layoutIfNeeded();
    m_loadMoreView->egoRefreshScrollViewDidScroll(*this);
}

void BRPullTableView::layoutSubviews()
{
    ui::TableView::layoutSubviews();
    double h = bounds().height();
    double content = contentSize().height;
    gfx::Rect frame = m_loadMoreView->frame();
    frame.origin.y = content + (h - std::min(h, content));
    m_loadMoreView->setFrame(frame);
}

bool BRPullTableView::scrollByWheel(gfx::Point delta)
{
    bool moved = ui::TableView::scrollByWheel(delta);
    // A wheel has no pull past the end: reaching the end while turning down asks for more.
    if (m_loadMoreEnable && delta.y > 0 && !m_loadMoreView->isLoading() &&
        contentOffset().y >= maximumContentOffset().y - 0.5) {
        m_loadMoreView->scrollViewWheelReachedEnd(*this);
        return true;
    }
    return moved;
}

void BRPullTableView::configDisplayProperties()
{
    m_refreshView->setBackgroundColorTextColorArrowImage(m_pullBackgroundColor, m_pullTextColor, m_pullArrowImage);
    m_loadMoreView->setBackgroundColorTextColorArrowImage(m_pullBackgroundColor, m_pullTextColor, m_pullArrowImage);
}

void BRPullTableView::setPullArrowImage(const gfx::Image& image)
{
    if (image.cairoSurface() == m_pullArrowImage.cairoSurface())
        return;
    m_pullArrowImage = image;
    configDisplayProperties();
}

void BRPullTableView::setPullBackgroundColor(std::optional<gfx::Color> color)
{
    if (color == m_pullBackgroundColor)
        return;
    m_pullBackgroundColor = color;
    configDisplayProperties();
}

void BRPullTableView::setPullTextColor(std::optional<gfx::Color> color)
{
    if (color == m_pullTextColor)
        return;
    m_pullTextColor = color;
    configDisplayProperties();
}

void BRPullTableView::setPullLastRefreshDate(std::optional<base::Date> date)
{
    auto seconds = [](const std::optional<base::Date>& d) {
        return d ? std::optional<double>(d->timeIntervalSince1970()) : std::nullopt;
    };
    if (seconds(date) == seconds(m_pullLastRefreshDate))
        return;
    m_pullLastRefreshDate = date;
    m_refreshView->refreshLastUpdatedDate();
}

void BRPullTableView::setPullTableIsRefreshing(bool refreshing)
{
    if (refreshing == m_pullTableIsRefreshing)
        return;
    if (refreshing)
        m_refreshView->startAnimatingWithScrollView(*this);
    else
        m_refreshView->egoRefreshScrollViewDataSourceDidFinishedLoading(*this);
    m_pullTableIsRefreshing = refreshing;
}

void BRPullTableView::setPullTableIsLoadingMore(bool loading)
{
    if (loading == m_pullTableIsLoadingMore)
        return;
    if (loading)
        m_loadMoreView->startAnimatingWithScrollView(*this);
    else
        m_loadMoreView->egoRefreshScrollViewDataSourceDidFinishedLoading(*this);
    m_pullTableIsLoadingMore = loading;
}

void BRPullTableView::setRefreshEnable(bool enable)
{
    m_refreshEnable = enable;
    m_refreshView->setHidden(!enable);
}

void BRPullTableView::setLoadMoreEnable(bool enable)
{
    m_loadMoreEnable = enable;
    m_loadMoreView->setHidden(!enable);
}

void BRPullTableView::pullScrollViewDidScroll()
{
    if (m_refreshEnable)
        m_refreshView->egoRefreshScrollViewDidScroll(*this);
    if (m_loadMoreEnable)
        m_loadMoreView->egoRefreshScrollViewDidScroll(*this);
}

void BRPullTableView::pullScrollViewDidEndDragging()
{
    if (m_refreshEnable)
        m_refreshView->egoRefreshScrollViewDidEndDragging(*this);
    if (m_loadMoreEnable)
        m_loadMoreView->egoRefreshScrollViewDidEndDragging(*this);
}

void BRPullTableView::pullScrollViewWillBeginDragging()
{
    if (m_refreshEnable)
        m_refreshView->egoRefreshScrollViewWillBeginDragging(*this);
}

void BRPullTableView::egoRefreshTableHeaderDidTriggerRefresh(BRRefreshTableHeaderView&)
{
    m_pullTableIsRefreshing = true;
    if (m_pullDelegate)
        m_pullDelegate->pullTableViewDidTriggerRefresh(*this);
}

std::optional<base::Date> BRPullTableView::egoRefreshTableHeaderDataSourceLastUpdated(BRRefreshTableHeaderView&)
{
    return m_pullLastRefreshDate;
}

void BRPullTableView::loadMoreTableFooterDidTriggerLoadMore(BRLoadMoreTableFooterView&)
{
    m_pullTableIsLoadingMore = true;
    if (m_pullDelegate)
        m_pullDelegate->pullTableViewDidTriggerLoadMore(*this);
}
