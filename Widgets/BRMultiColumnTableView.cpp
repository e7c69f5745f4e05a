#include "Widgets/BRMultiColumnTableView.h"

#include "Platform/Base/Log.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/LongPressGestureRecognizer.h"

#include <algorithm>
#include <cmath>

using ui::IndexPath;

namespace {

constexpr size_t kOptionalCount = static_cast<size_t>(BRMultiColumnTableViewDataSource::Optional::heightForHeaderCellInSectionHeaderAtSection) + 1;

// Stands where the data source gave no cell, so the row keeps one view per column.
class BRMultiColumnEmptyCell : public ui::View {
public:
    using View::View;
    const char* className() const override { return "BRMultiColumnEmptyCell"; }
};

bool isEmptyCell(const ui::View& view)
{
    return dynamic_cast<const BRMultiColumnEmptyCell*>(&view) != nullptr;
}

bool isSectionHeaderRow(const IndexPath& entry)
{
    return entry.row < 0;
}

} // namespace

void addBottomLineWithWidthColor(ui::View& view, double width, gfx::Color color)
{
    gfx::Rect frame = view.frame();
    view.setFrame({frame.x(), frame.y(), frame.width(), frame.height() + width});
    auto line = ui::View::make(gfx::Rect(0, frame.height(), frame.width(), width));
    line->setBackgroundColor(color);
    line->setUserInteractionEnabled(false);
    line->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleTopMargin);
    view.addSubview(line);
}

std::shared_ptr<ui::View> addVerticalLineWithWidthColorAtX(ui::View& view, double width, gfx::Color color, double x)
{
    auto line = ui::View::make(gfx::Rect(x, 0, width, view.bounds().height()));
    line->setBackgroundColor(color);
    line->setUserInteractionEnabled(false);
    line->setAutoresizingMask(ui::AutoresizingFlexibleHeight | ui::AutoresizingFlexibleRightMargin);
    view.addSubview(line);
    return line;
}

BRMultiColumnTableViewCell::BRMultiColumnTableViewCell(std::string reuseIdentifier)
    : TableViewCell(ui::TableViewCellStyle::Default, std::move(reuseIdentifier))
{
    m_columnCells.reserve(5);
}

void BRMultiColumnTableViewBGScrollView::redraw()
{
    for (auto& line : m_lines)
        line->removeFromSuperview();
    m_lines.clear();
    if (!m_parent)
        return;
    double width = m_parent->normalSeperatorLineWidth();
    gfx::Color color = m_parent->normalSeperatorLineColor();
    // Each line fills the gap a column leaves after itself.
    double x = -width;
    m_lines.push_back(addVerticalLineWithWidthColorAtX(*this, width, color, x));
    int columns = m_parent->dataSource() ? m_parent->dataSource()->numberOfColumnsInTableView(*m_parent) : 0;
    for (int k = 0; k < columns; ++k) {
        x += m_parent->widthForColumn(k) + width;
        m_lines.push_back(addVerticalLineWithWidthColorAtX(*this, width, color, x));
    }
}

void BRHeaderHighlightLayer::drawRect(gfx::Context& context, const gfx::Rect&)
{
    cairo_t* cr = context.cairo();
    cairo_save(cr);
    cairo_set_source_rgba(cr, 0, 1, 0, 1);
    cairo_set_line_width(cr, 4);
    cairo_move_to(cr, 0, 0);
    cairo_line_to(cr, bounds().width(), bounds().height());
    cairo_stroke(cr);
    cairo_restore(cr);
}

BRMultiColumnTableView::BRMultiColumnTableView(const gfx::Rect& frame) : View(frame), m_answers(kOptionalCount, false)
{
    setBorderWidth(1);
    setBorderColor(gfx::Color::fromWhite(212 / 255.0));
    setCornerRadius(3);
    setClipsToBounds(true);
    setBackgroundColor(std::nullopt);
    setContentMode(ui::ContentMode::Redraw);

    m_scrlView = View::make<BRMultiColumnTableViewBGScrollView>(bounds());
    m_scrlView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    m_scrlView->setParent(this);
    addSubview(m_scrlView);

    m_tblView = View::make<BRMultiColumnTableViewContentBackgroundView>(gfx::Rect(0, 0, bounds().width(), bounds().height()));
    m_tblView->setAutoresizingMask(ui::AutoresizingFlexibleHeight);
    m_tblView->setSeparatorColor(std::nullopt);
    m_tblView->setBackgroundColor(std::nullopt);
    m_tblView->setDataSource(this);
    m_tblView->setDelegate(this);
    m_scrlView->addSubview(m_tblView);

    m_longPress = std::make_shared<ui::LongPressGestureRecognizer>();
    m_longPress->setMinimumPressDuration(1.0);
    m_longPress->addTarget([this](ui::GestureRecognizer& recognizer) { columnLongPressed(recognizer); });
    m_tblView->addGestureRecognizer(m_longPress);
}

BRMultiColumnTableView::~BRMultiColumnTableView()
{
    // The inner tables may outlive this view in a pool or an animation: they must not call back.
    m_tblView->setDataSource(nullptr);
    m_tblView->setDelegate(nullptr);
    if (m_headerTblView) {
        m_headerTblView->setDataSource(nullptr);
        m_headerTblView->setDelegate(nullptr);
    }
    m_scrlView->setParent(nullptr);
}

void BRMultiColumnTableView::setDataSource(BRMultiColumnTableViewDataSource* dataSource)
{
    if (dataSource == m_dataSource)
        return;
    m_dataSource = dataSource;
    for (size_t i = 0; i < kOptionalCount; ++i)
        m_answers[i] = dataSource && dataSource->answers(static_cast<Optional>(i));
    adjustWidth();
    m_sectionFoldingStatus.assign(static_cast<size_t>(numberOfSections()), m_sectionFoldedByDefault);
    reset();
    if (has(Optional::headerCellForIndexPath)) {
        setupHeaderTblView();
    } else if (m_headerTblView) {
        m_headerTblView->removeFromSuperview();
        m_headerTblView.reset();
        m_scrlView->setFrame(bounds());
    }
    m_tblView->reloadData();
    setNeedsDisplay();
}

void BRMultiColumnTableView::reloadData()
{
    reset();
    if (m_headerTblView)
        m_headerTblView->reloadData();
    m_tblView->reloadData();
    adjustWidth();
}

int BRMultiColumnTableView::numberOfSections()
{
    if (!m_dataSource)
        return 0;
    return has(Optional::numberOfSectionsInTableView) ? std::max(0, m_dataSource->numberOfSectionsInTableView(*this)) : 1;
}

int BRMultiColumnTableView::numberOfColumns()
{
    return m_dataSource ? std::max(0, m_dataSource->numberOfColumnsInTableView(*this)) : 0;
}

double BRMultiColumnTableView::widthForColumn(int column)
{
    return has(Optional::widthForColumn) ? m_dataSource->tableViewWidthForColumn(*this, column) : m_cellWidth;
}

double BRMultiColumnTableView::xForColumn(int column)
{
    double x = 0;
    for (int j = 0; j < column; ++j)
        x += widthForColumn(j) + m_normalSeperatorLineWidth;
    return x;
}

double BRMultiColumnTableView::headerWidth()
{
    if (!has(Optional::headerCellForIndexPath))
        return 0;
    return has(Optional::widthForHeaderCellOfTableView) ? m_dataSource->widthForHeaderCellOfTableView(*this) : m_leftHeaderWidth;
}

double BRMultiColumnTableView::totalWidth()
{
    int columns = numberOfColumns();
    return xForColumn(columns) - m_normalSeperatorLineWidth;
}

int BRMultiColumnTableView::columnAtX(double x)
{
    double sum = 0;
    int columns = numberOfColumns();
    for (int k = 0; k < columns; ++k) {
        sum += widthForColumn(k) + m_normalSeperatorLineWidth;
        if (sum > x)
            return k;
    }
    return -1;
}

void BRMultiColumnTableView::adjustWidth()
{
    double total = totalWidth();
    m_scrlView->setContentSize({std::max(0.0, total), 0});
    gfx::Rect frame = m_tblView->frame();
    m_tblView->setFrame({frame.x(), frame.y(), std::max(total, bounds().width() - headerWidth()), frame.height()});
}

void BRMultiColumnTableView::reset()
{
    // A reload may bring more or fewer sections than the statuses were made for.
    size_t sections = static_cast<size_t>(numberOfSections());
    if (m_sectionFoldingStatus.size() != sections)
        m_sectionFoldingStatus.resize(sections, m_sectionFoldedByDefault);
    m_indexPathTable.clear();
    m_indexPathTable.reserve(5 * sections);
    rebuildIndexPathTable();
    m_scrlView->redraw();
}

void BRMultiColumnTableView::rebuildIndexPathTable()
{
    m_indexPathTable.clear();
    int sections = numberOfSections();
    for (int s = 0; s < sections; ++s) {
        if (m_sectionHeaderEnabled) {
            m_indexPathTable.push_back({s, -1});
            if (m_sectionFoldingStatus[static_cast<size_t>(s)])
                continue;
        }
        int rows = std::max(0, m_dataSource->tableViewNumberOfRowsInSection(*this, s));
        for (int r = 0; r < rows; ++r)
            m_indexPathTable.push_back({s, r});
    }
}

void BRMultiColumnTableView::setupHeaderTblView()
{
    double width = headerWidth();
    if (!m_headerTblView) {
        m_headerTblView = View::make<ui::TableView>(gfx::Rect(0, 0, width, bounds().height()));
        m_headerTblView->setAutoresizingMask(ui::AutoresizingFlexibleHeight);
        m_headerTblView->setSeparatorColor(std::nullopt);
        m_headerTblView->setShowsScrollIndicators(false);
        m_headerTblView->setDataSource(this);
        m_headerTblView->setDelegate(this);
        addSubview(m_headerTblView);
    }
    m_headerTblView->setFrame({0, 0, width, bounds().height()});
    m_headerTblView->setBackgroundColor(m_leftHeaderBackgroundColor);
    double left = width + m_boldSeperatorLineWidth;
    m_scrlView->setFrame({left, 0, bounds().width() - left, bounds().height()});
}

std::shared_ptr<ui::View> BRMultiColumnTableView::emptyCell(double width, double height)
{
    return View::make<BRMultiColumnEmptyCell>(gfx::Rect(0, 0, width, height));
}

int BRMultiColumnTableView::numberOfRowsInSection(ui::TableView&, int)
{
    return static_cast<int>(m_indexPathTable.size());
}

std::shared_ptr<ui::TableViewCell> BRMultiColumnTableView::cellForRowAtIndexPath(ui::TableView& table, const IndexPath& indexPath)
{
    if (!m_dataSource || indexPath.row < 0 || static_cast<size_t>(indexPath.row) >= m_indexPathTable.size())
        return std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, "Empty");
    const IndexPath entry = m_indexPathTable[static_cast<size_t>(indexPath.row)];
    return &table == m_headerTblView.get() ? leftHeaderRow(entry) : bodyRow(entry);
}

std::shared_ptr<ui::TableViewCell> BRMultiColumnTableView::bodyRow(const IndexPath& entry)
{
    bool header = isSectionHeaderRow(entry);
    std::string identifier = header ? "SectionHeaderCell"
                             : has(Optional::reuseIdForIndexPath) ? m_dataSource->tableViewReuseIdForIndexPath(*this, entry)
                                                                  : "MultiColumnCell";
    auto row = std::dynamic_pointer_cast<BRMultiColumnTableViewCell>(m_tblView->dequeueReusableCellWithIdentifier(identifier));
    if (!row) {
        row = View::make<BRMultiColumnTableViewCell>(identifier);
        row->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
        addBottomLineWithWidthColor(*row, m_normalSeperatorLineWidth, m_normalSeperatorLineColor);
    }
    if (header)
        row->contentView().setBackgroundColor(m_sectionHeaderBackgroundColor);
    else if (has(Optional::backgroundColorAtIndexPath))
        row->setBackgroundColor(m_dataSource->backgroundColorAtIndexPath(*this, entry));

    int columns = numberOfColumns();
    auto& cells = row->columnCells();
    auto& offsets = row->columnOffsets();
    for (int k = static_cast<int>(cells.size()); k < columns; ++k) {
        std::shared_ptr<View> cell;
        if (!header)
            cell = m_dataSource->tableViewCellForIndexPathColumn(*this, entry, k);
        else if (has(Optional::sectionHeaderCellForSectionColumn))
            cell = m_dataSource->tableViewSectionHeaderCellForSectionColumn(*this, entry.section, k);
        if (!cell) {
            double height = header ? m_sectionHeaderHeight
                            : has(Optional::heightForCellAtIndexPathColumn)
                                ? m_dataSource->tableViewHeightForCellAtIndexPathColumn(*this, entry, k)
                                : m_cellHeight;
            cell = emptyCell(widthForColumn(k), height);
        }
        row->contentView().addSubview(cell);
        cells.push_back(cell);
        offsets.push_back(cell->frame().x());
    }
    while (static_cast<int>(cells.size()) > columns) {
        cells.back()->removeFromSuperview();
        cells.pop_back();
        offsets.pop_back();
    }
    // Column k always starts at the sum of the widths and separators before it, whatever
    // the reused row held.
    double x = 0;
    for (int k = 0; k < columns; ++k) {
        View& cell = *cells[static_cast<size_t>(k)];
        gfx::Rect frame = cell.frame();
        cell.setFrame({x + offsets[static_cast<size_t>(k)], frame.y(), frame.width(), frame.height()});
        x += widthForColumn(k) + m_normalSeperatorLineWidth;
    }
    for (int k = 0; k < columns; ++k) {
        View& cell = *cells[static_cast<size_t>(k)];
        if (!header && has(Optional::backgroundColorAtIndexPathAtColumn))
            cell.setBackgroundColor(m_dataSource->backgroundColorAtIndexPathAtColumn(*this, entry, k));
        if (isEmptyCell(cell))
            continue;
        if (!header)
            m_dataSource->tableViewSetContentForCellIndexPathColumn(*this, cell, entry, k);
        else if (has(Optional::setContentForSectionHeaderCellSectionColumn))
            m_dataSource->tableViewSetContentForSectionHeaderCellSectionColumn(*this, cell, entry.section, k);
    }
    return row;
}

std::shared_ptr<ui::TableViewCell> BRMultiColumnTableView::leftHeaderRow(const IndexPath& entry)
{
    bool header = isSectionHeaderRow(entry);
    std::string identifier = header ? "HeaderCellInSectionHeader" : "HeaderCell";
    auto row = m_headerTblView->dequeueReusableCellWithIdentifier(identifier);
    if (!row) {
        row = View::make<ui::TableViewCell>(ui::TableViewCellStyle::Default, identifier);
        row->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
        std::shared_ptr<View> cell;
        if (header) {
            row->contentView().setBackgroundColor(m_sectionHeaderBackgroundColor);
            if (has(Optional::headerCellInSectionHeaderForSection))
                cell = m_dataSource->tableViewHeaderCellInSectionHeaderForSection(*this, entry.section);
        } else {
            cell = m_dataSource->tableViewHeaderCellForIndexPath(*this, entry);
        }
        if (!cell)
            cell = emptyCell(headerWidth(), header ? m_cellHeight : m_sectionHeaderHeight);
        cell->setTag(-1);
        row->contentView().addSubview(cell);
        addBottomLineWithWidthColor(*row, m_normalSeperatorLineWidth, m_normalSeperatorLineColor);
    }
    View* cell = row->contentView().viewWithTag(-1);
    if (cell && !isEmptyCell(*cell)) {
        if (header && has(Optional::setContentForHeaderCellInSectionHeaderAtSection))
            m_dataSource->tableViewSetContentForHeaderCellInSectionHeaderAtSection(*this, *cell, entry.section);
        else if (!header && has(Optional::setContentForHeaderCellAtIndexPath))
            m_dataSource->tableViewSetContentForHeaderCellAtIndexPath(*this, *cell, entry);
    }
    return row;
}

double BRMultiColumnTableView::heightForRowAtIndexPath(ui::TableView&, const IndexPath& indexPath)
{
    if (!m_dataSource || indexPath.row < 0 || static_cast<size_t>(indexPath.row) >= m_indexPathTable.size())
        return m_cellHeight;
    const IndexPath entry = m_indexPathTable[static_cast<size_t>(indexPath.row)];
    int columns = numberOfColumns();
    double height;
    if (isSectionHeaderRow(entry)) {
        height = has(Optional::heightForHeaderCellInSectionHeaderAtSection)
                   ? m_dataSource->tableViewHeightForHeaderCellInSectionHeaderAtSection(*this, entry.section)
                   : m_cellHeight;
        for (int k = 0; k < columns; ++k)
            height = std::max(height, has(Optional::heightForSectionHeaderCellAtSectionColumn)
                                          ? m_dataSource->tableViewHeightForSectionHeaderCellAtSectionColumn(*this, entry.section, k)
                                          : m_sectionHeaderHeight);
    } else {
        height = has(Optional::heightForHeaderCellAtIndexPath)
                   ? m_dataSource->tableViewHeightForHeaderCellAtIndexPath(*this, entry)
                   : m_sectionHeaderHeight;
        bool answered = has(Optional::heightForCellAtIndexPathColumn);
        for (int k = 0; k < columns; ++k)
            height = std::max(height, answered ? m_dataSource->tableViewHeightForCellAtIndexPathColumn(*this, entry, k) : m_cellHeight);
    }
    return height + m_normalSeperatorLineWidth;
}

double BRMultiColumnTableView::heightForHeaderInSection(ui::TableView&, int)
{
    double top = has(Optional::heightForHeaderCellOfTableView) ? m_dataSource->heightForHeaderCellOfTableView(*this) : m_topHeaderHeight;
    return top + m_boldSeperatorLineWidth;
}

std::shared_ptr<ui::View> BRMultiColumnTableView::viewForHeaderInSection(ui::TableView& table, int)
{
    if (!m_dataSource)
        return View::make(gfx::Rect());
    double top = has(Optional::heightForHeaderCellOfTableView) ? m_dataSource->heightForHeaderCellOfTableView(*this) : m_topHeaderHeight;
    if (&table == m_headerTblView.get()) {
        if (!has(Optional::topleftHeaderCellOfTableView))
            return View::make(gfx::Rect());
        auto corner = m_dataSource->topleftHeaderCellOfTableView(*this);
        if (!corner)
            corner = emptyCell(headerWidth(), top);
        gfx::Rect frame = corner->frame();
        auto view = View::make(gfx::Rect(frame.x(), frame.y(), frame.width(), top));
        view->addSubview(corner);
        addBottomLineWithWidthColor(*view, m_boldSeperatorLineWidth, m_boldSeperatorLineColor);
        return view;
    }
    auto view = View::make(gfx::Rect());
    view->setClipsToBounds(true);
    double tallest = 0;
    if (has(Optional::headerCellForColumn)) {
        int columns = numberOfColumns();
        for (int k = 0; k < columns; ++k) {
            auto cell = m_dataSource->tableViewHeaderCellForColumn(*this, k);
            if (!cell)
                cell = emptyCell(widthForColumn(k), top);
            gfx::Rect frame = cell->frame();
            cell->setFrame({xForColumn(k) + frame.x(), frame.y(), frame.width(), frame.height()});
            view->addSubview(cell);
            tallest = std::max(tallest, frame.maxY());
        }
    }
    view->setFrame({0, 0, std::max(totalWidth() - m_normalSeperatorLineWidth, m_tblView->bounds().width()), tallest});
    view->setBackgroundColor(m_topHeaderBackgroundColor);
    addBottomLineWithWidthColor(*view, m_boldSeperatorLineWidth, m_boldSeperatorLineColor);
    return view;
}

void BRMultiColumnTableView::didSelectRowAtIndexPath(ui::TableView& table, const IndexPath& indexPath)
{
    if (&table != m_headerTblView.get() || !m_sectionHeaderEnabled)
        return;
    if (indexPath.row < 0 || static_cast<size_t>(indexPath.row) >= m_indexPathTable.size())
        return;
    const IndexPath entry = m_indexPathTable[static_cast<size_t>(indexPath.row)];
    table.deselectRowAtIndexPath(indexPath, false);
    if (isSectionHeaderRow(entry))
        toggleFoldOfSection(entry.section, indexPath.row);
}

void BRMultiColumnTableView::toggleFoldOfSection(int section, int headerRow)
{
    // A fold started from inside another (a table calling back during its update) waits.
    if (m_folding || !m_dataSource || section < 0 || static_cast<size_t>(section) >= m_sectionFoldingStatus.size())
        return;
    m_folding = true;
    bool wasFolded = m_sectionFoldingStatus[static_cast<size_t>(section)];
    m_sectionFoldingStatus[static_cast<size_t>(section)] = !wasFolded;
    int rows = std::max(0, m_dataSource->tableViewNumberOfRowsInSection(*this, section));
    std::vector<IndexPath> affected;
    for (int r = headerRow + 1; r <= headerRow + rows; ++r)
        affected.push_back({0, r});
    rebuildIndexPathTable();
    for (ui::TableView* table : {static_cast<ui::TableView*>(m_tblView.get()), m_headerTblView.get()}) {
        if (!table)
            continue;
        if (wasFolded)
            table->insertRowsAtIndexPaths(affected, ui::TableViewRowAnimation::Automatic);
        else
            table->deleteRowsAtIndexPaths(affected, ui::TableViewRowAnimation::Automatic);
    }
    m_folding = false;
}

void BRMultiColumnTableView::scrollViewDidScroll(ui::ScrollView& scrollView)
{
    if (m_syncingOffset || !m_headerTblView)
        return;
    ui::ScrollView* other = nullptr;
    if (&scrollView == m_tblView.get())
        other = m_headerTblView.get();
    else if (&scrollView == m_headerTblView.get())
        other = m_tblView.get();
    if (!other || other->contentOffset() == scrollView.contentOffset())
        return;
    m_syncingOffset = true;
    other->setContentOffset(scrollView.contentOffset());
    m_syncingOffset = false;
}

void BRMultiColumnTableView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    if (!has(Optional::headerCellForIndexPath) || m_boldSeperatorLineWidth <= 0)
        return;
    cairo_t* cr = context.cairo();
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    gfx::Color c = m_boldSeperatorLineColor;
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
    cairo_set_line_width(cr, m_boldSeperatorLineWidth);
    double x = headerWidth() + m_boldSeperatorLineWidth / 2;
    cairo_move_to(cr, x, 0);
    cairo_line_to(cr, x, bounds().height());
    cairo_stroke(cr);
    cairo_restore(cr);
}

void BRMultiColumnTableView::columnLongPressed(ui::GestureRecognizer& recognizer)
{
    if (!has(Optional::swapDataOfColumnAndColumn))
        return;
    using State = ui::GestureRecognizer::State;
    double x = recognizer.locationInView(m_tblView.get()).x;
    switch (recognizer.state()) {
    case State::Began:
        m_selectedColumn = columnAtX(x);
        if (m_selectedColumn >= 0)
            highlightColumn(m_selectedColumn);
        break;
    case State::Changed: {
        int column = columnAtX(x);
        // A press that began outside every column has nothing to move.
        if (column < 0 || m_selectedColumn < 0 || column == m_selectedColumn)
            break;
        m_dataSource->tableViewSwapDataOfColumnAndColumn(*this, m_selectedColumn, column);
        m_tblView->reloadData();
        m_scrlView->redraw();
        m_selectedColumn = column;
        highlightColumn(column);
        break;
    }
    case State::Ended:
    case State::Cancelled:
        if (m_highlightColumnLayer)
            m_highlightColumnLayer->removeFromSuperview();
        m_selectedColumn = -1;
        break;
    default:
        base::logf("recognizer.state: %d", static_cast<int>(recognizer.state()));
        break;
    }
}

void BRMultiColumnTableView::highlightColumn(int column)
{
    if (!m_highlightColumnLayer) {
        m_highlightColumnLayer = View::make(gfx::Rect());
        m_highlightColumnLayer->setUserInteractionEnabled(false);
        m_highlightColumnLayer->setBorderColor(gfx::Color::fromRgb(232, 142, 20));
        m_highlightColumnLayer->setBorderWidth(4);
        ui::View::Shadow shadow;
        shadow.radius = 5;
        shadow.opacity = 0.5;
        m_highlightColumnLayer->setShadow(shadow);
    }
    if (m_highlightColumnLayer->superview() != this)
        addSubview(m_highlightColumnLayer);
    // The body's own left edge: after the left header and its bold line when there is one.
    double x = m_scrlView->frame().x() - m_scrlView->contentOffset().x + xForColumn(column);
    m_highlightColumnLayer->setFrame({x, 1, widthForColumn(column), bounds().height() - 2});
}
