#pragma once
#include "Platform/UI/ScrollView.h"
#include "Widgets/BRGridViewData.h"
#include "Widgets/BRIndexSet.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class GestureRecognizer;
class Touch;
}

class BRGridView;
class BRGridViewCell;
class BRGridViewUpdateInfo;

// Where the grid hands out items and their cells. The data source is not owned.
class BRGridViewDataSource {
public:
    virtual ~BRGridViewDataSource() = default;
    virtual uint32_t numberOfItemsInGridView(BRGridView& gridView) = 0;
    // A configured cell; normally one from dequeueReusableCellWithIdentifier when there is one.
    virtual std::shared_ptr<BRGridViewCell> gridViewCellForItemAtIndex(BRGridView& gridView, uint32_t index) = 0;
    // The desired cell size; none keeps the grid's own.
    virtual std::optional<gfx::Size> portraitGridCellSizeForGridView(BRGridView& gridView) { return std::nullopt; }
};

// Hears what the grid does; sits in the scroll view's delegate slot, so it hears the scrolling
// too. Every operation is optional: the bodies here do what the grid does without an answer.
class BRGridViewDelegate : public ui::ScrollViewDelegate {
public:
    virtual void gridViewWillDisplayCellForItemAtIndex(BRGridView&, BRGridViewCell&, uint32_t index) {}
    // The index to select instead.
    virtual uint32_t gridViewWillSelectItemAtIndex(BRGridView&, uint32_t index) { return index; }
    virtual uint32_t gridViewWillSelectItemAtIndexNumFingersTouch(BRGridView&, uint32_t index, uint32_t fingers)
    {
        return index;
    }
    virtual void gridViewDidSelectItemAtIndex(BRGridView&, uint32_t index) {}
    virtual void gridViewDidSelectItemAtIndexNumFingersTouch(BRGridView&, uint32_t index, uint32_t fingers) {}
    // The answer is not used.
    virtual uint32_t gridViewWillDeselectItemAtIndex(BRGridView&, uint32_t index) { return index; }
    virtual void gridViewDidDeselectItemAtIndex(BRGridView&, uint32_t index) {}
    virtual void gridViewDidEndUpdateAnimation(BRGridView&) {}
    virtual gfx::Rect gridViewAdjustCellFrameWithinGridCellFrame(BRGridView&, const gfx::Rect& cellFrame,
                                                                 const gfx::Rect& gridCellFrame)
    {
        return cellFrame;
    }
    // Declared for completeness; the grid does not call them.
    virtual void gridViewGestureRecognizerActivatedForItemAtIndex(BRGridView&, ui::GestureRecognizer&, uint32_t) {}
    virtual void gridViewCommitEditingStyleForRowAtIndex(BRGridView&, int editingStyle, uint32_t index) {}
};

// A view moving in an update animation and the item it will show. Equal by index, so that a
// set of them holds one view per item.
struct BRGridViewAnimatorItem {
    std::shared_ptr<ui::View> animatingView;
    uint32_t index = NSNotFound;

    static BRGridViewAnimatorItem itemWithViewIndex(std::shared_ptr<ui::View> view, uint32_t index)
    {
        return {std::move(view), index};
    }
    bool operator==(const BRGridViewAnimatorItem& other) const { return index == other.index; }
    // Orders by index.
    int compare(const BRGridViewAnimatorItem& other) const { return index < other.index ? -1 : index > other.index ? 1 : 0; }
};

// A scrolling grid of equally sized cells, filled row by row. Only items on screen have cells;
// cells leaving the screen wait in per-identifier pools for the data source to reuse them.
// A tap highlights its item one turn of the main loop after the finger comes down and selects
// it one turn after the finger lifts over it, so that a drag can still cancel both.
class BRGridView : public ui::ScrollView {
public:
    enum ScrollPosition { ScrollPositionNone = 0, ScrollPositionTop = 1, ScrollPositionMiddle = 2, ScrollPositionBottom = 3 };
    static constexpr const char* kSelectionDidChangeNotification = "BRGridViewSelectionDidChangeNotification";

    explicit BRGridView(const gfx::Rect& frame);
    ~BRGridView() override;
    const char* className() const override { return "BRGridView"; }

    BRGridViewDataSource* dataSource() const { return m_dataSource; }
    void setDataSource(BRGridViewDataSource* dataSource) { m_dataSource = dataSource; }
    // Null when the scroll view's delegate slot holds a plain scroll view delegate.
    BRGridViewDelegate* delegate() const;
    void setDelegate(BRGridViewDelegate* delegate) { ui::ScrollView::setDelegate(delegate); }

    // Re-reads count and cell size and hands every cell back; dropped while suspended.
    void reloadData();
    uint32_t numberOfItems() const { return m_gridData.numberOfItems(); }
    uint32_t numberOfColumns();
    // Full rows only.
    uint32_t numberOfRows() const;
    gfx::Size gridCellSize() const { return m_gridData.cellSize(); }
    const BRGridViewData& gridData() const { return m_gridData; }

    int layoutDirection() const { return m_gridData.layoutDirection(); }
    void setLayoutDirection(int direction);
    bool clipsContentWidthToBounds() const { return layoutDirection() == BRGridViewData::Vertical; }
    void setClipsContentWidthToBounds(bool clips);
    double leftContentInset() const { return m_gridData.leftPadding(); }
    void setLeftContentInset(double inset) { m_gridData.setLeftPadding(inset); }
    double rightContentInset() const { return m_gridData.rightPadding(); }
    void setRightContentInset(double inset) { m_gridData.setRightPadding(inset); }
    bool resizesCellWidthToFit() const { return m_resizesCellWidths; }
    void setResizesCellWidthToFit(bool resizes);
    bool usesPagedHorizontalScrolling() const { return m_usesPagedHorizontalScrolling; }
    void setUsesPagedHorizontalScrolling(bool paged);
    bool contentSizeGrowsToFillBounds() const { return m_contentSizeFillsBounds; }
    void setContentSizeGrowsToFillBounds(bool grows) { m_contentSizeFillsBounds = grows; }
    bool allowsSelection() const { return m_allowsSelection; }
    void setAllowsSelection(bool allows) { m_allowsSelection = allows; }
    bool requiresSelection() const { return m_requiresSelection; }
    void setRequiresSelection(bool required) { m_requiresSelection = required; }
    // 0 or 1: no lines (1 by default); 2: one-point lines in the cells.
    int separatorStyle() const { return m_separatorStyle; }
    void setSeparatorStyle(int style);
    gfx::Color separatorColor() const { return m_separatorColor; }
    void setSeparatorColor(gfx::Color color);

    std::shared_ptr<ui::View> backgroundView() const { return m_backgroundView; }
    void setBackgroundView(std::shared_ptr<ui::View> view);
    bool backgroundViewExtendsUp() const { return m_backgroundViewExtendsUp; }
    void setBackgroundViewExtendsUp(bool extends) { m_backgroundViewExtendsUp = extends; }
    bool backgroundViewExtendsDown() const { return m_backgroundViewExtendsDown; }
    void setBackgroundViewExtendsDown(bool extends) { m_backgroundViewExtendsDown = extends; }
    std::shared_ptr<ui::View> gridHeaderView() const { return m_headerView; }
    void setGridHeaderView(std::shared_ptr<ui::View> view);
    std::shared_ptr<ui::View> gridFooterView() const { return m_footerView; }
    void setGridFooterView(std::shared_ptr<ui::View> view);

    bool isEditing() const { return m_isEditing; }
    void setEditing(bool editing, bool animated = false);

    std::shared_ptr<BRGridViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // Files cells into their pools; a cell already there stays once.
    void enqueueReusableCells(const std::vector<std::shared_ptr<BRGridViewCell>>& cells);
    size_t reusableCellCount(const std::string& identifier) const;
    // The cell on screen for an item, or null.
    std::shared_ptr<BRGridViewCell> cellForItemAtIndex(uint32_t index) const;
    uint32_t indexForItemAtPoint(gfx::Point point) const { return m_gridData.itemIndexForPoint(point); }
    std::shared_ptr<BRGridViewCell> cellForItemAtPoint(gfx::Point point) const;
    uint32_t indexForCell(const BRGridViewCell* cell) const;
    gfx::Rect rectForItemAtIndex(uint32_t index) const;
    std::vector<std::shared_ptr<BRGridViewCell>> visibleCells() const { return m_visibleCells; }
    const BRIndexSet& visibleCellIndices() const { return m_visibleIndices; }
    void scrollToItemAtIndexAtScrollPositionAnimated(uint32_t index, int position, bool animated);
    bool isRectVisible(const gfx::Rect& rect) const { return rect.intersects(bounds()); }
    gfx::Rect gridViewVisibleBounds() const { return {contentOffset(), bounds().size}; }
    void viewWillRotateToInterfaceOrientation(int orientation) {}
    void viewDidRotate();

    // Selection by code tells nobody.
    void selectItemAtIndexAnimatedScrollPosition(uint32_t index, bool animated, int position);
    void deselectItemAtIndexAnimated(uint32_t index, bool animated);
    uint32_t indexOfSelectedItem() const { return m_selectedIndex; }
    // NSNotFound clears every highlight.
    void highlightItemAtIndexAnimatedScrollPosition(uint32_t index, bool animated, int position);
    void unhighlightItemAtIndexAnimated(uint32_t index, bool animated);
    const BRIndexSet& highlightedIndices() const { return m_highlightedIndices; }

    // Batch updates. The caller changes its data first, then tells the grid what changed;
    // changes between beginUpdates and the matching endUpdates form one animated batch, and a
    // change outside them is a batch of its own. A count from the data source that does not
    // match the changes is a programming error: logged, and the batch dropped, with false.
    void beginUpdates();
    bool endUpdates();
    bool insertItemsAtIndicesWithAnimation(const BRIndexSet& indices, int animation);
    bool deleteItemsAtIndicesWithAnimation(const BRIndexSet& indices, int animation);
    bool reloadItemsAtIndicesWithAnimation(const BRIndexSet& indices, int animation);
    bool moveItemAtIndexToIndexWithAnimation(uint32_t index, uint32_t newIndex, int animation);
    bool isAnimatingUpdates() const { return m_animationCount > 0; }
    const std::vector<BRGridViewAnimatorItem>& animatingCells() const { return m_animatingCells; }
    void setAnimatingCells(std::vector<BRGridViewAnimatorItem> cells);
    // Why the last batch was refused; empty when it was not.
    const std::string& lastUpdateFailure() const { return m_lastUpdateFailure; }

    // The content height is kept at least the bounds height (and the footer's minimum).
    void setContentSize(gfx::Size size);
    void setContentOffset(gfx::Point offset, bool animated = false);
    // Brings the cells on screen up to date with the visible bounds.
    void updateVisibleGridCellsNow();
    // While above 0, reloads and visible-cell updates are skipped (batch updates raise it).
    int reloadingSuspendedCount() const { return m_reloadingSuspendedCount; }
    void suspendReloading() { ++m_reloadingSuspendedCount; }
    void resumeReloading();

    void layoutSubviews() override;
    // Up and Down move by one row of cells.
    double lineKeyOffset(double offsetY, bool down) override;
    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesMoved(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesCancelled(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

protected:
    void boundsDidChange(const gfx::Rect& oldBounds) override;

private:
    friend class BRGridViewUpdateInfo;
    struct UserSelectItemIndexParams {
        uint32_t indexNum = NSNotFound;
        uint32_t numFingers = 1;
    };

    // Cells.
    std::shared_ptr<BRGridViewCell> createPreparedCellForIndex(uint32_t index);
    std::shared_ptr<BRGridViewCell> createPreparedCellForIndexUsingGridData(uint32_t index, const BRGridViewData& data);
    void insertCellView(const std::shared_ptr<BRGridViewCell>& cell);
    gfx::Rect fixCellFrameForGridRect(const gfx::Rect& cellFrame, const gfx::Rect& gridRect);
    void doAddVisibleCell(const std::shared_ptr<BRGridViewCell>& cell);
    void delegateWillDisplayCellAtIndex(BRGridViewCell& cell, uint32_t index);
    void layoutAllCells();
    bool isAnimatingView(const ui::View* view) const;
    // Visible-list operations, also for batch updates.
    uint32_t visibleCellListIndexForItemIndex(uint32_t index) const { return index - m_visibleLocation; }
    void insertVisibleCellAtIndex(const std::shared_ptr<BRGridViewCell>& cell, uint32_t position);
    void deleteVisibleCellAtIndexAppendingNewCell(uint32_t position, const std::shared_ptr<BRGridViewCell>& cell);
    void ensureCellInVisibleList(const std::shared_ptr<BRGridViewCell>& cell);

    // Batches.
    void setupUpdateAnimations();
    bool endUpdateAnimations();
    bool updateItemsAtIndicesUpdateActionWithAnimation(const BRIndexSet& indices, int action, int animation);
    bool recordChange(const std::function<void(BRGridViewUpdateInfo&)>& record);
    void fixCellsFromAnimation();

    // Size and bounds.
    void handleGridViewBoundsChanged(const gfx::Rect& oldBounds, const gfx::Rect& newBounds);
    void updateContentRectWithOldMaxLocationGridSize(gfx::Point oldMaxLocation, gfx::Size gridSize);
    void updateGridViewBoundsForNewGridData(const BRGridViewData& data);
    double minimumContentHeightForFooter() const;

    // Selection and touches.
    void selectItemInternal(uint32_t index, bool animated, int position, bool notify, uint32_t fingers);
    void deselectItemInternal(uint32_t index, bool animated, bool notify);
    void userSelectItemAtIndex(const UserSelectItemIndexParams& params);
    void gridViewDeferredTouchesBegan();
    bool canSelectItemContainingHitView(ui::View* view) const;
    ui::View* basicHitTest(gfx::Point point);
    bool gestureRecognizerIsHandlingTouches(const std::vector<ui::Touch*>& touches);
    void postSelectionDidChange();

    BRGridViewDataSource* m_dataSource = nullptr;
    BRGridViewData m_gridData;
    // Room for batch updates: open batches, running animations and the views in flight.
    std::vector<std::shared_ptr<BRGridViewUpdateInfo>> m_updateInfoStack;
    int32_t m_animationCount = 0;
    int32_t m_updateCount = 0;
    std::vector<BRGridViewAnimatorItem> m_animatingCells;
    BRIndexSet m_animatingIndices;
    std::string m_lastUpdateFailure;

    // The first visible item and the count; the items themselves are kept as a set, as a
    // sideways grid shows a block of each row rather than one run of items.
    uint32_t m_visibleLocation = 0;
    uint32_t m_visibleLength = 0;
    BRIndexSet m_visibleIndices;
    std::vector<std::shared_ptr<BRGridViewCell>> m_visibleCells;
    std::map<std::string, std::vector<std::shared_ptr<BRGridViewCell>>> m_reusableGridCells;
    BRIndexSet m_highlightedIndices;
    std::weak_ptr<ui::Responder> m_touchedContentView;

    std::shared_ptr<ui::View> m_backgroundView;
    gfx::Color m_separatorColor;
    std::shared_ptr<ui::View> m_headerView;
    std::shared_ptr<ui::View> m_footerView;

    int32_t m_reloadingSuspendedCount = 0;
    uint32_t m_selectedIndex = NSNotFound;
    uint32_t m_pendingSelectionIndex = NSNotFound;

    uint32_t m_numColumns = 0;
    int m_separatorStyle = 1;
    bool m_resizesCellWidths = false;
    bool m_allowsSelection = true;
    bool m_backgroundViewExtendsUp = false;
    bool m_backgroundViewExtendsDown = false;
    bool m_usesPagedHorizontalScrolling = false;
    bool m_ignoreTouchSelect = false;
    bool m_allCellsNeedLayout = false;
    bool m_requiresSelection = false;
    bool m_contentSizeFillsBounds = true;
    bool m_isEditing = false;
};
