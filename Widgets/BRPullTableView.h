#pragma once
#include "Platform/UI/TableView.h"
#include "Widgets/BRLoadMoreTableFooterView.h"
#include "Widgets/BRRefreshTableHeaderView.h"

#include <memory>
#include <optional>

class BRPullTableView;

class BRPullTableViewDelegate {
public:
    virtual ~BRPullTableViewDelegate() = default;
    virtual void pullTableViewDidTriggerRefresh(BRPullTableView&) = 0;
    virtual void pullTableViewDidTriggerLoadMore(BRPullTableView&) = 0;
};

// Stands as the table's delegate so the table sees its own scroll events first, then hands
// every call on to the owner's delegate (or the table's defaults when there is none).
class BRMessageInterceptor : public ui::TableViewDelegate {
public:
    explicit BRMessageInterceptor(BRPullTableView& middleMan) : m_middleMan(middleMan) {}
    ui::TableViewDelegate* receiver() const { return m_receiver; }
    void setReceiver(ui::TableViewDelegate* receiver) { m_receiver = receiver; }

    void scrollViewDidScroll(ui::ScrollView&) override;
    void scrollViewWillBeginDragging(ui::ScrollView&) override;
    void scrollViewWillEndDragging(ui::ScrollView&, gfx::Point velocity, gfx::Point* target) override;
    void scrollViewDidEndDragging(ui::ScrollView&, bool willDecelerate) override;
    void scrollViewWillBeginDecelerating(ui::ScrollView&) override;
    void scrollViewDidEndDecelerating(ui::ScrollView&) override;
    void scrollViewDidEndScrollingAnimation(ui::ScrollView&) override;
    ui::View* viewForZoomingInScrollView(ui::ScrollView&) override;
    void scrollViewDidZoom(ui::ScrollView&) override;
    void scrollViewDidEndZooming(ui::ScrollView&, ui::View* view, double scale) override;

    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForHeaderInSection(ui::TableView&, int section) override;
    double heightForFooterInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::View> viewForHeaderInSection(ui::TableView&, int section) override;
    std::optional<ui::IndexPath> willSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void didDeselectRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    ui::TableViewCellEditingStyle editingStyleForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    std::string titleForDeleteConfirmationButtonForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    void willDisplayCell(ui::TableView&, ui::TableViewCell&, const ui::IndexPath&) override;

private:
    BRPullTableView& m_middleMan;
    ui::TableViewDelegate* m_receiver = nullptr;
};

// A table with pull-down-to-refresh above its rows and pull-up-to-load-more below them, each
// off until its owner turns it on.
class BRPullTableView : public ui::TableView, public BRRefreshTableHeaderDelegate, public BRLoadMoreTableFooterDelegate {
public:
    BRPullTableView(const gfx::Rect& frame, ui::TableViewStyle style = ui::TableViewStyle::Plain);
    ~BRPullTableView() override;
    const char* className() const override { return "BRPullTableView"; }

    // The owner's delegate; the table keeps standing in front of it.
    void setDelegate(ui::TableViewDelegate* delegate) override;
    ui::TableViewDelegate* ownerDelegate() const { return m_delegateInterceptor->receiver(); }
    void reloadData();

    BRRefreshTableHeaderView& refreshView() { return *m_refreshView; }
    BRLoadMoreTableFooterView& loadMoreView() { return *m_loadMoreView; }

    const gfx::Image& pullArrowImage() const { return m_pullArrowImage; }
    void setPullArrowImage(const gfx::Image& image);
    std::optional<gfx::Color> pullBackgroundColor() const { return m_pullBackgroundColor; }
    void setPullBackgroundColor(std::optional<gfx::Color> color);
    std::optional<gfx::Color> pullTextColor() const { return m_pullTextColor; }
    void setPullTextColor(std::optional<gfx::Color> color);
    std::optional<base::Date> pullLastRefreshDate() const { return m_pullLastRefreshDate; }
    void setPullLastRefreshDate(std::optional<base::Date> date);

    // Setting YES opens the loading state without telling pullDelegate; NO closes it.
    bool pullTableIsRefreshing() const { return m_pullTableIsRefreshing; }
    void setPullTableIsRefreshing(bool refreshing);
    bool pullTableIsLoadingMore() const { return m_pullTableIsLoadingMore; }
    void setPullTableIsLoadingMore(bool loading);

    BRPullTableViewDelegate* pullDelegate() const { return m_pullDelegate; }
    void setPullDelegate(BRPullTableViewDelegate* delegate) { m_pullDelegate = delegate; }

    // Off until set: a disabled part is hidden and hears no scrolling.
    bool refreshEnable() const { return m_refreshEnable; }
    void setRefreshEnable(bool enable);
    bool loadMoreEnable() const { return m_loadMoreEnable; }
    void setLoadMoreEnable(bool enable);

    void layoutSubviews() override;
    bool scrollByWheel(gfx::Point delta) override;

    // What the interceptor routes here before the owner hears it.
    void pullScrollViewDidScroll();
    void pullScrollViewDidEndDragging();
    void pullScrollViewWillBeginDragging();

    void egoRefreshTableHeaderDidTriggerRefresh(BRRefreshTableHeaderView&) override;
    std::optional<base::Date> egoRefreshTableHeaderDataSourceLastUpdated(BRRefreshTableHeaderView&) override;
    void loadMoreTableFooterDidTriggerLoadMore(BRLoadMoreTableFooterView&) override;

private:
    void config();
    void configDisplayProperties();

    std::shared_ptr<BRRefreshTableHeaderView> m_refreshView;
    std::shared_ptr<BRLoadMoreTableFooterView> m_loadMoreView;
    std::unique_ptr<BRMessageInterceptor> m_delegateInterceptor;
    gfx::Image m_pullArrowImage;
    std::optional<gfx::Color> m_pullBackgroundColor;
    std::optional<gfx::Color> m_pullTextColor;
    std::optional<base::Date> m_pullLastRefreshDate;
    bool m_pullTableIsRefreshing = false;
    bool m_pullTableIsLoadingMore = false;
    BRPullTableViewDelegate* m_pullDelegate = nullptr;
    bool m_refreshEnable = false;
    bool m_loadMoreEnable = false;
};
