#pragma once
#include "Widgets/BRPullTableView.h"

class QuoteOrderHistoryTableViewCell;

// The orders list: a touched row is tinted until the finger lifts, or while a popover holds it.
class QuoteOrderHistoryTableView : public BRPullTableView {
public:
    static constexpr int kRowTagBase = 4500;

    explicit QuoteOrderHistoryTableView(const gfx::Rect& frame);
    const char* className() const override { return "QuoteOrderHistoryTableView"; }

    // The tag of the tinted row, -1 for none.
    int touchedCellTag() const { return m_touchedCellTag; }
    void setTouchedCellTag(int tag) { m_touchedCellTag = tag; }
    // A popover holds the tinted row: lifting the finger leaves it tinted.
    bool cellIsSelected() const { return m_cellIsSelected; }
    void setCellIsSelected(bool selected) { m_cellIsSelected = selected; }

    // The visible row of that tag, or null.
    QuoteOrderHistoryTableViewCell* visibleCellWithTag(int tag) const;
    void showRowTouched(int row, bool touched) const;

    void touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event) override;
    void touchesCancelled(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

private:
    void clearTouched();

    int m_touchedCellTag = -1;
    bool m_cellIsSelected = false;
};
