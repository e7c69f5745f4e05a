#include "Classes/Library/PdfThumbsView.h"

#include "Platform/UI/LongPressGestureRecognizer.h"
#include "Platform/UI/TapGestureRecognizer.h"
#include "Platform/UI/Touch.h"

#include <algorithm>
#include <cmath>
#include <set>

PdfThumbsView::PdfThumbsView(const gfx::Rect& frame)
    : ui::ScrollView(frame)
{
    setAutoresizesSubviews(false);
    setAlwaysBounceVertical(true);
    setContentMode(ui::ContentMode::Redraw);
    setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    setBackgroundColor(std::nullopt);
    ui::ScrollView::setDelegate(this);
    auto tap = std::make_shared<ui::TapGestureRecognizer>();
    tap->addTarget([this](ui::GestureRecognizer& r) {
        if (r.state() != ui::GestureRecognizer::State::Ended || !m_thumbsDelegate)
            return;
        if (auto cell = thumbCellContainingPoint(r.locationInView(this)))
            m_thumbsDelegate->thumbsViewDidSelectThumbWithIndex(*this, cell->tag());
    });
    addGestureRecognizer(tap);
    auto press = std::make_shared<ui::LongPressGestureRecognizer>();
    press->setMinimumPressDuration(0.8);
    press->addTarget([this](ui::GestureRecognizer& r) {
        if (r.state() != ui::GestureRecognizer::State::Began || !m_thumbsDelegate || !m_thumbsDelegate->answersPress())
            return;
        if (auto cell = thumbCellContainingPoint(r.locationInView(this)))
            m_thumbsDelegate->thumbsViewDidPressThumbWithIndex(*this, cell->tag());
    });
    addGestureRecognizer(press);
    m_tap = tap;
    m_press = press;
}

PdfThumbsView::~PdfThumbsView()
{
    ui::ScrollView::setDelegate(nullptr);
}

void PdfThumbsView::setThumbSize(gfx::Size size)
{
    if (m_thumbSize.width == 0 && m_thumbSize.height == 0 && size.width > 0 && size.height > 0)
        m_thumbSize = size;
}

gfx::Rect PdfThumbsView::thumbCellFrameForIndex(int index) const
{
    int columns = std::max(m_thumbsX, 1);
    double x = std::floor((index % columns) * m_thumbSize.width + m_thumbX);
    double y = std::floor((index / columns) * m_thumbSize.height);
    return gfx::Rect(x, y, m_thumbSize.width, m_thumbSize.height);
}

void PdfThumbsView::updateContentSize(size_t count)
{
    m_canUpdate = false;
    if (count == 0) {
        setContentSize({0, 0});
    } else {
        double width = bounds().width();
        m_thumbsX = std::max(1, int(width / m_thumbSize.width));
        m_thumbsY = int(count / size_t(m_thumbsX));
        if (size_t(m_thumbsX) * size_t(m_thumbsY) < count)
            ++m_thumbsY;
        double contentWidth = m_thumbsX * m_thumbSize.width;
        if (contentWidth < width) {
            m_thumbX = int((width - contentWidth) / 2);
            contentWidth = width;
        } else {
            m_thumbX = 0;
        }
        setContentSize({contentWidth, m_thumbsY * m_thumbSize.height});
    }
    m_canUpdate = true;
}

std::pair<int, int> PdfThumbsView::visibleIndexRange() const
{
    if (m_thumbCount == 0 || m_thumbSize.height <= 0)
        return {0, -1};
    double minY = contentOffset().y;
    double maxY = minY + bounds().height() - 1;
    // Overscrolled above the top or past short content: clamp, and nothing past the end.
    int startRow = std::max(0, int(std::floor(minY / m_thumbSize.height)));
    int finalRow = int(std::floor(maxY / m_thumbSize.height));
    int start = startRow * m_thumbsX;
    int final = std::min(finalRow * m_thumbsX + m_thumbsX - 1, int(m_thumbCount) - 1);
    if (finalRow < 0 || start > final)
        return {0, -1};
    return {start, final};
}

std::shared_ptr<PdfThumbView> PdfThumbsView::dequeueThumbCellWithFrame(const gfx::Rect& frame)
{
    std::shared_ptr<PdfThumbView> cell;
    if (!m_queue.empty()) {
        cell = m_queue.front();
        m_queue.pop_front();
        cell->setFrame(frame);
    } else {
        cell = m_thumbsDelegate->thumbsViewThumbCellWithFrame(*this, frame);
        ++m_cellsMade;
        cell->setTag(kIdleTag);
        cell->setHidden(true);
        insertSubviewAtIndex(cell, 0);
    }
    m_visible.push_back(cell);
    return cell;
}

void PdfThumbsView::requeueThumbCell(const std::shared_ptr<PdfThumbView>& cell)
{
    m_queue.push_back(cell);
    std::erase(m_visible, cell);
    cell->setTag(kIdleTag);
    cell->setHidden(true);
    cell->reuse();
}

void PdfThumbsView::requeueAllThumbCells()
{
    auto copy = m_visible;
    for (const auto& cell : copy)
        requeueThumbCell(cell);
}

void PdfThumbsView::fillCell(int index)
{
    auto cell = dequeueThumbCellWithFrame(thumbCellFrameForIndex(index));
    m_thumbsDelegate->thumbsViewUpdateThumbCellForIndex(*this, *cell, index);
    cell->setTag(index);
    cell->setHidden(false);
}

void PdfThumbsView::updateVisibleThumbs()
{
    if (!m_canUpdate || m_thumbCount == 0 || !m_thumbsDelegate)
        return;
    if (m_lastContentOffset && *m_lastContentOffset == contentOffset())
        return;
    m_lastContentOffset = contentOffset();
    std::set<int> kept;
    auto copy = m_visible;
    for (const auto& cell : copy) {
        if (gfx::Rect shown = cell->frame().intersection(bounds()); !shown.isNull() && !shown.isEmpty())
            kept.insert(cell->tag());
        else
            requeueThumbCell(cell);
    }
    auto [start, final] = visibleIndexRange();
    for (int index = start; index <= final; ++index)
        if (!kept.count(index))
            fillCell(index);
}

void PdfThumbsView::layoutSubviews()
{
    ui::ScrollView::layoutSubviews();
    if (m_lastViewSize.width == 0 && m_lastViewSize.height == 0) {
        m_lastViewSize = bounds().size;
        return;
    }
    if (bounds().size == m_lastViewSize)
        return;
    m_lastViewSize = bounds().size;
    if (m_thumbSize.width <= 0 || !m_thumbsDelegate)
        return;
    updateContentSize(m_thumbCount);
    auto [start, final] = visibleIndexRange();
    std::set<int> wanted;
    for (int i = start; i <= final; ++i)
        wanted.insert(i);
    auto copy = m_visible;
    for (const auto& cell : copy) {
        if (wanted.erase(cell->tag()))
            cell->setFrame(thumbCellFrameForIndex(cell->tag()));
        else
            requeueThumbCell(cell);
    }
    for (int index : wanted)
        fillCell(index);
}

void PdfThumbsView::reload(bool centre, int index, gfx::Point offset)
{
    if (!m_thumbsDelegate || m_thumbSize.width <= 0 || m_thumbSize.height <= 0)
        return;
    if (isDecelerating())
        setContentOffset(contentOffset(), false);
    m_lastContentOffset.reset();
    requeueAllThumbCells();
    m_thumbCount = 0;
    size_t count = m_thumbsDelegate->numberOfThumbsInThumbsView(*this);
    updateContentSize(count);
    m_thumbCount = count;
    gfx::Point target{0, 0};
    if (count > 0) {
        int h = int(bounds().height());
        double maxY = std::max(0.0, std::floor(contentSize().height - h) - 1);
        double y;
        if (centre) {
            index = std::clamp(index, 0, int(count) - 1);
            y = std::floor((index / m_thumbsX) * m_thumbSize.height) - h / 2 + std::floor(m_thumbSize.height / 2);
        } else {
            y = std::floor(offset.y);
        }
        target.y = std::clamp(y, 0.0, maxY);
    }
    target.y -= contentInset().top;
    if (target != contentOffset())
        setContentOffset(target, false);
    else
        updateVisibleThumbs();
    // Tells the user how far the new content reaches.
    flashScrollIndicators();
}

void PdfThumbsView::reloadThumbsCenterOnIndex(int index)
{
    reload(true, index, {});
}

void PdfThumbsView::reloadThumbsContentOffset(gfx::Point offset)
{
    reload(false, 0, offset);
}

void PdfThumbsView::refreshThumbWithIndex(int index)
{
    if (!m_thumbsDelegate || !m_thumbsDelegate->answersRefresh())
        return;
    for (const auto& cell : m_visible)
        if (cell->tag() == index)
            m_thumbsDelegate->thumbsViewRefreshThumbCellForIndex(*this, *cell, index);
}

void PdfThumbsView::refreshVisibleThumbs()
{
    if (!m_thumbsDelegate || !m_thumbsDelegate->answersRefresh())
        return;
    for (const auto& cell : m_visible)
        m_thumbsDelegate->thumbsViewRefreshThumbCellForIndex(*this, *cell, cell->tag());
}

gfx::Point PdfThumbsView::insetContentOffset() const
{
    gfx::Point offset = contentOffset();
    offset.y += contentInset().top;
    return offset;
}

std::shared_ptr<PdfThumbView> PdfThumbsView::thumbCellContainingPoint(gfx::Point point) const
{
    for (const auto& cell : m_visible)
        if (cell->frame().contains(point))
            return cell;
    return nullptr;
}

void PdfThumbsView::clearTouched()
{
    if (m_touched) {
        m_touched->showTouched(false);
        m_touched.reset();
    }
}

void PdfThumbsView::touchesBegan(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    ui::ScrollView::touchesBegan(touches, event);
    clearTouched();
    if (touches.size() == 1) {
        m_touched = thumbCellContainingPoint(touches.front()->locationInView(this));
        if (m_touched)
            m_touched->showTouched(true);
    }
}

void PdfThumbsView::touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    ui::ScrollView::touchesEnded(touches, event);
    clearTouched();
}

void PdfThumbsView::touchesCancelled(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    ui::ScrollView::touchesCancelled(touches, event);
    clearTouched();
}
