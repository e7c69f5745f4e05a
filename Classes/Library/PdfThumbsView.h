#pragma once
#include "Classes/Library/Reader/PdfThumbView.h"
#include "Platform/UI/ScrollView.h"

#include <climits>
#include <deque>
#include <memory>
#include <vector>

class PdfThumbsView;
namespace ui {
class GestureRecognizer;
}

class PdfThumbsViewDelegate {
public:
    virtual ~PdfThumbsViewDelegate() = default;
    virtual size_t numberOfThumbsInThumbsView(PdfThumbsView&) = 0;
    virtual std::shared_ptr<PdfThumbView> thumbsViewThumbCellWithFrame(PdfThumbsView&, const gfx::Rect& frame) = 0;
    virtual void thumbsViewUpdateThumbCellForIndex(PdfThumbsView&, PdfThumbView& cell, int index) = 0;
    virtual void thumbsViewDidSelectThumbWithIndex(PdfThumbsView&, int index) = 0;
    // Optional: a delegate that does not answer leaves the cell as it is / ignores the press.
    virtual bool answersRefresh() const { return false; }
    virtual void thumbsViewRefreshThumbCellForIndex(PdfThumbsView&, PdfThumbView&, int) {}
    virtual bool answersPress() const { return false; }
    virtual void thumbsViewDidPressThumbWithIndex(PdfThumbsView&, int) {}
};

// A vertically scrolling grid of equal cells that keeps alive only the cells in view and
// reuses them (first given back, first taken again).
class PdfThumbsView : public ui::ScrollView, public ui::ScrollViewDelegate {
public:
    explicit PdfThumbsView(const gfx::Rect& frame);
    ~PdfThumbsView() override;
    const char* className() const override { return "PdfThumbsView"; }

    void setDelegate(PdfThumbsViewDelegate* delegate) { m_thumbsDelegate = delegate; }
    // Only the first non-zero size counts.
    void setThumbSize(gfx::Size size);
    gfx::Size thumbSize() const { return m_thumbSize; }
    void reloadThumbsCenterOnIndex(int index);
    void reloadThumbsContentOffset(gfx::Point offset);
    void refreshThumbWithIndex(int index);
    void refreshVisibleThumbs();
    gfx::Point insetContentOffset() const;

    int thumbsX() const { return m_thumbsX; }
    int thumbsY() const { return m_thumbsY; }
    int thumbX() const { return m_thumbX; }
    size_t thumbCount() const { return m_thumbCount; }
    const std::vector<std::shared_ptr<PdfThumbView>>& visibleCells() const { return m_visible; }
    size_t cellsMade() const { return m_cellsMade; }
    gfx::Rect thumbCellFrameForIndex(int index) const;
    // The first and last index in view; empty (first > last) when none.
    std::pair<int, int> visibleIndexRange() const;

    void layoutSubviews() override;
    void scrollViewDidScroll(ui::ScrollView&) override { updateVisibleThumbs(); }
    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesCancelled(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

    static constexpr int kIdleTag = INT_MIN;

private:
    void updateContentSize(size_t count);
    void updateVisibleThumbs();
    std::shared_ptr<PdfThumbView> dequeueThumbCellWithFrame(const gfx::Rect& frame);
    void requeueThumbCell(const std::shared_ptr<PdfThumbView>& cell);
    void requeueAllThumbCells();
    std::shared_ptr<PdfThumbView> thumbCellContainingPoint(gfx::Point point) const;
    void fillCell(int index);
    void reload(bool centre, int index, gfx::Point offset);
    void clearTouched();

    PdfThumbsViewDelegate* m_thumbsDelegate = nullptr;
    std::deque<std::shared_ptr<PdfThumbView>> m_queue;
    std::vector<std::shared_ptr<PdfThumbView>> m_visible;
    std::shared_ptr<PdfThumbView> m_touched;
    gfx::Size m_thumbSize;
    int m_thumbsX = 0, m_thumbsY = 0, m_thumbX = 0;
    size_t m_thumbCount = 0;
    size_t m_cellsMade = 0;
    gfx::Size m_lastViewSize;
    std::optional<gfx::Point> m_lastContentOffset; // none: the next update runs
    bool m_canUpdate = true;
    std::shared_ptr<ui::GestureRecognizer> m_tap, m_press;
};
