#pragma once
#include "Widgets/BRRefreshTableHeaderView.h"

class BRLoadMoreTableFooterView;

class BRLoadMoreTableFooterDelegate {
public:
    virtual ~BRLoadMoreTableFooterDelegate() = default;
    virtual void loadMoreTableFooterDidTriggerLoadMore(BRLoadMoreTableFooterView&) = 0;
};

// Below a table's content: pulled up past 120 points it arms, released it asks its delegate
// for more rows and stays open with a spinner until told that loading finished.
class BRLoadMoreTableFooterView : public ui::View {
public:
    explicit BRLoadMoreTableFooterView(const gfx::Rect& frame);
    const char* className() const override { return "BRLoadMoreTableFooterView"; }

    BRLoadMoreTableFooterDelegate* delegate() const { return m_delegate; }
    void setDelegate(BRLoadMoreTableFooterDelegate* delegate) { m_delegate = delegate; }
    int state() const { return m_state; }
    void setState(int state);
    bool isLoading() const { return m_isLoading; }

    void setBackgroundColorTextColorArrowImage(std::optional<gfx::Color> background, std::optional<gfx::Color> text,
                                               const gfx::Image& arrow);

    void egoRefreshScrollViewDidScroll(ui::ScrollView& scrollView);
    void egoRefreshScrollViewDidEndDragging(ui::ScrollView& scrollView);
    // A wheel turned on at the list's end asks for more, as a pull released past it does.
    void scrollViewWheelReachedEnd(ui::ScrollView& scrollView);
    void startAnimatingWithScrollView(ui::ScrollView& scrollView);
    void egoRefreshScrollViewDataSourceDidFinishedLoading(ui::ScrollView& scrollView);

    // How far the list's end lies above the view's bottom edge (negative when pulled up past it).
    static double scrollViewOffsetFromBottom(const ui::ScrollView& scrollView);
    // The empty space below a list shorter than the view.
    static double visibleTableHeightDiffWithBoundsHeight(const ui::ScrollView& scrollView);

    ui::Label& statusLabel() { return *m_statusLabel; }
    ui::ImageView& arrowImage() { return *m_arrowImage; }
    ui::ActivityIndicator& activityView() { return *m_activityView; }

private:
    BRLoadMoreTableFooterDelegate* m_delegate = nullptr;
    int m_state = -1;
    std::shared_ptr<ui::Label> m_statusLabel;
    std::shared_ptr<ui::ImageView> m_arrowImage;
    std::shared_ptr<ui::ActivityIndicator> m_activityView;
    bool m_isLoading = false;
};
