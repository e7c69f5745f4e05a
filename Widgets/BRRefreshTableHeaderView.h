#pragma once
#include "Platform/Base/Date.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

#include <memory>
#include <optional>

namespace ui {
class ScrollView;
}

// The states of the pull header and footer.
enum BRPullRefreshState { BRPullRefreshPulling = 0, BRPullRefreshNormal = 1, BRPullRefreshLoading = 2 };

class BRRefreshTableHeaderView;

class BRRefreshTableHeaderDelegate {
public:
    virtual ~BRRefreshTableHeaderDelegate() = default;
    virtual void egoRefreshTableHeaderDidTriggerRefresh(BRRefreshTableHeaderView&) = 0;
    // No date: the last-updated line stays empty.
    virtual std::optional<base::Date> egoRefreshTableHeaderDataSourceLastUpdated(BRRefreshTableHeaderView&)
    {
        return std::nullopt;
    }
};

// Above a table's content: pulled down past 120 points it arms, released it asks its delegate
// to refresh and stays open with a spinner until told that loading finished.
class BRRefreshTableHeaderView : public ui::View {
public:
    static constexpr double kTriggerDistance = 120.0;
    static constexpr double kLoadingInset = 60.0;
    static constexpr const char* kStringsTable = "BRPullTableViewLan";

    explicit BRRefreshTableHeaderView(const gfx::Rect& frame);
    const char* className() const override { return "BRRefreshTableHeaderView"; }

    BRRefreshTableHeaderDelegate* delegate() const { return m_delegate; }
    void setDelegate(BRRefreshTableHeaderDelegate* delegate) { m_delegate = delegate; }
    int state() const { return m_state; }
    void setState(int state);
    bool isLoading() const { return m_isLoading; }

    // Unset colours and picture take the built-in ones.
    void setBackgroundColorTextColorArrowImage(std::optional<gfx::Color> background, std::optional<gfx::Color> text,
                                               const gfx::Image& arrow);
    void refreshLastUpdatedDate();

    void egoRefreshScrollViewWillBeginDragging(ui::ScrollView& scrollView);
    void egoRefreshScrollViewDidScroll(ui::ScrollView& scrollView);
    void egoRefreshScrollViewDidEndDragging(ui::ScrollView& scrollView);
    void startAnimatingWithScrollView(ui::ScrollView& scrollView);
    void egoRefreshScrollViewDataSourceDidFinishedLoading(ui::ScrollView& scrollView);

    ui::Label& lastUpdatedLabel() { return *m_lastUpdatedLabel; }
    ui::Label& statusLabel() { return *m_statusLabel; }
    ui::ImageView& arrowImage() { return *m_arrowImage; }
    ui::ActivityIndicator& activityView() { return *m_activityView; }

    // "Updated n minutes ago" and the like for s seconds, in the user's language; a negative
    // span (a clock set back) counts as none.
    static std::string lastUpdatedText(double seconds);

private:
    BRRefreshTableHeaderDelegate* m_delegate = nullptr;
    int m_state = -1;
    std::shared_ptr<ui::Label> m_lastUpdatedLabel;
    std::shared_ptr<ui::Label> m_statusLabel;
    std::shared_ptr<ui::ImageView> m_arrowImage;
    std::shared_ptr<ui::ActivityIndicator> m_activityView;
    bool m_isLoading = false;
};

// The label look shared by the pull views: centred, clear, with a faint shadow of the text colour.
void BRPullStyleLabel(ui::Label& label, gfx::Color textColor);
