#include "Classes/Order/QuoteOrderHistoryTableView.h"

#include "Classes/Order/QuoteOrderHistoryTableViewCell.h"
#include "Platform/UI/Touch.h"

QuoteOrderHistoryTableView::QuoteOrderHistoryTableView(const gfx::Rect& frame) : BRPullTableView(frame)
{
    // A short or empty list still pulls up: that is how the first older orders are asked for.
    setAlwaysBounceVertical(true);
}

QuoteOrderHistoryTableViewCell* QuoteOrderHistoryTableView::visibleCellWithTag(int tag) const
{
    if (tag < kRowTagBase)
        return nullptr;
    for (auto* cell : visibleCells()) {
        if (cell->tag() == tag)
            return dynamic_cast<QuoteOrderHistoryTableViewCell*>(cell);
    }
    return nullptr;
}

void QuoteOrderHistoryTableView::showRowTouched(int row, bool touched) const
{
    if (row < 0)
        return;
    if (auto* cell = visibleCellWithTag(kRowTagBase + row))
        cell->showTouched(touched);
}

void QuoteOrderHistoryTableView::clearTouched()
{
    if (auto* cell = visibleCellWithTag(m_touchedCellTag))
        cell->showTouched(false);
    m_touchedCellTag = -1;
}

void QuoteOrderHistoryTableView::touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    // A row still held from an earlier touch (an open popover) lets go first.
    clearTouched();
    m_cellIsSelected = false;
    if (touches.size() == 1) {
        gfx::Point point = touches.front()->locationInView(this);
        for (auto* cell : visibleCells()) {
            auto* row = dynamic_cast<QuoteOrderHistoryTableViewCell*>(cell);
            if (row && row->tag() >= kRowTagBase && row->frame().contains(point)) {
                row->showTouched(true);
                m_touchedCellTag = row->tag();
                break;
            }
        }
    }
    BRPullTableView::touchesBegan(touches, event);
}

void QuoteOrderHistoryTableView::touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    if (!m_cellIsSelected)
        clearTouched();
    BRPullTableView::touchesEnded(touches, event);
}

void QuoteOrderHistoryTableView::touchesCancelled(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    if (!m_cellIsSelected)
        clearTouched();
    BRPullTableView::touchesCancelled(touches, event);
}
