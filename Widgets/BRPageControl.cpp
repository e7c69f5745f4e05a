#include "Widgets/BRPageControl.h"

#include "Platform/Graphics/Context.h"
#include "Platform/UI/ScrollView.h"

#include <algorithm>
#include <cmath>

namespace {

// Copies of a picture share its pixels, so the same pixels mean the same picture.
bool samePicture(const gfx::Image& a, const gfx::Image& b)
{
    return a.cairoSurface() == b.cairoSurface();
}

} // namespace

BRPageControl::BRPageControl()
{
    setUp();
}

BRPageControl::BRPageControl(const gfx::Rect& frame) : Control(frame)
{
    setUp();
}

void BRPageControl::setUp()
{
    setBackgroundColor(gfx::Color::clear());
    setOpaque(false);
}

void BRPageControl::setNumberOfPages(int count)
{
    count = std::max(count, 0);
    if (count == m_numberOfPages)
        return;
    m_numberOfPages = count;
    // A page past the end would be drawn as current by no dot and stepped from by taps.
    int last = std::max(count - 1, 0);
    m_currentPage = std::clamp(m_currentPage, 0, last);
    m_displayedPage = std::clamp(m_displayedPage, 0, last);
    setNeedsDisplay();
}

void BRPageControl::setCurrentPage(int page)
{
    setCurrentPageSendEventCanDefer(page, false, false);
}

void BRPageControl::setCurrentPageSendEventCanDefer(int page, bool sendEvent, bool canDefer)
{
    if (page < 0 || page >= m_numberOfPages)
        return;
    m_currentPage = page;
    if (!(m_defersCurrentPageDisplay && canDefer)) {
        m_displayedPage = m_currentPage;
        setNeedsDisplay();
    }
    if (sendEvent)
        sendActionsForControlEvents(ui::ControlEventValueChanged);
}

void BRPageControl::updateCurrentPageDisplay()
{
    m_displayedPage = m_currentPage;
    setNeedsDisplay();
}

void BRPageControl::setIndicatorMargin(double margin)
{
    if (margin == m_indicatorMargin)
        return;
    m_indicatorMargin = margin;
    setNeedsDisplay();
}

void BRPageControl::setIndicatorDiameter(double diameter)
{
    if (diameter == m_indicatorDiameter)
        return;
    m_indicatorDiameter = diameter;
    updateMeasuredIndicatorSizes();
    setNeedsDisplay();
}

void BRPageControl::setPageIndicatorImage(const gfx::Image& image)
{
    if (samePicture(image, m_pageIndicatorImage))
        return;
    m_pageIndicatorImage = image;
    updateMeasuredIndicatorSizes();
    setNeedsDisplay();
}

void BRPageControl::setCurrentPageIndicatorImage(const gfx::Image& image)
{
    if (samePicture(image, m_currentPageIndicatorImage))
        return;
    m_currentPageIndicatorImage = image;
    updateMeasuredIndicatorSizes();
    setNeedsDisplay();
}

void BRPageControl::updateMeasuredIndicatorSizes()
{
    m_measuredIndicatorWidth = m_indicatorDiameter;
    m_measuredIndicatorHeight = m_indicatorDiameter;
    // The current page's picture wins when both are set.
    for (const gfx::Image* image : {&m_pageIndicatorImage, &m_currentPageIndicatorImage}) {
        if (!*image)
            continue;
        m_measuredIndicatorWidth = std::max(m_indicatorDiameter, image->size().width);
        m_measuredIndicatorHeight = std::max(m_indicatorDiameter, image->size().height);
    }
}

void BRPageControl::setImageForPage(const gfx::Image& image, int page)
{
    if (page < 0 || page >= m_numberOfPages)
        return;
    setNeedsDisplay();
    if (image)
        m_pageImages[page] = image;
    else
        m_pageImages.erase(page);
}

void BRPageControl::setCurrentImageForPage(const gfx::Image& image, int page)
{
    if (page < 0 || page >= m_numberOfPages)
        return;
    setNeedsDisplay();
    if (image)
        m_currentPageImages[page] = image;
    else
        m_currentPageImages.erase(page);
}

gfx::Image BRPageControl::imageForPage(int page) const
{
    if (page < 0 || page >= m_numberOfPages)
        return {};
    auto it = m_pageImages.find(page);
    return it == m_pageImages.end() ? gfx::Image() : it->second;
}

gfx::Image BRPageControl::currentImageForPage(int page) const
{
    if (page < 0 || page >= m_numberOfPages)
        return {};
    auto it = m_currentPageImages.find(page);
    return it == m_currentPageImages.end() ? gfx::Image() : it->second;
}

gfx::Size BRPageControl::sizeForNumberOfPages(int count) const
{
    return {count * m_measuredIndicatorWidth + std::max(count - 1, 0) * m_indicatorMargin, m_measuredIndicatorHeight};
}

double BRPageControl::leftOffset() const
{
    double rowWidth = sizeForNumberOfPages(m_numberOfPages).width;
    if (m_alignment == kAlignmentRight)
        return bounds().maxX() - rowWidth - 1;
    if (m_alignment == kAlignmentCenter)
        return bounds().midX() - rowWidth / 2;
    return 0;
}

double BRPageControl::topOffset() const
{
    if (m_verticalAlignment == kVerticalAlignmentBottom)
        return bounds().maxY() - sizeForNumberOfPages(m_numberOfPages).height;
    if (m_verticalAlignment == kVerticalAlignmentMiddle)
        return bounds().midY() - m_measuredIndicatorHeight / 2;
    return 0;
}

gfx::Rect BRPageControl::rectForPageIndicator(int page) const
{
    if (page < 0 || page >= m_numberOfPages)
        return {};
    double x = leftOffset() + sizeForNumberOfPages(page + 1).width - m_measuredIndicatorWidth;
    // The cell's own height: pictures need not be square.
    return {x, 0, m_measuredIndicatorWidth, m_measuredIndicatorHeight};
}

void BRPageControl::updatePageNumberForScrollView(const ui::ScrollView& scrollView)
{
    double width = scrollView.frame().width();
    // Before layout the width is 0 and the quotient is no page at all.
    if (!(width > 0))
        return;
    double page = std::floor(scrollView.contentOffset().x / width);
    if (!(page >= 0 && page < m_numberOfPages))
        return;
    setCurrentPage(static_cast<int>(page));
}

gfx::Size BRPageControl::sizeThatFits(gfx::Size) const
{
    gfx::Size size = sizeForNumberOfPages(m_numberOfPages);
    size.height = std::max(size.height, 36.0);
    return size;
}

void BRPageControl::drawRect(gfx::Context& context, const gfx::Rect&)
{
    if (m_numberOfPages <= 0 || (m_numberOfPages < 2 && m_hidesForSinglePage))
        return;
    double x = leftOffset();
    double top = topOffset();
    for (int page = 0; page < m_numberOfPages; ++page) {
        gfx::Color color;
        gfx::Image image;
        if (page == m_displayedPage) {
            color = m_currentPageIndicatorTintColor.value_or(gfx::Color::white());
            auto it = m_currentPageImages.find(page);
            image = it != m_currentPageImages.end() ? it->second : m_currentPageIndicatorImage;
        } else {
            color = m_pageIndicatorTintColor.value_or(gfx::Color::fromWhite(1, 0.3));
            auto it = m_pageImages.find(page);
            image = it != m_pageImages.end() ? it->second : m_pageIndicatorImage;
        }
        if (image) {
            context.drawImage(image, {{x, top}, image.size()});
        } else {
            context.setFillColor(color);
            context.fillEllipse({x, top, m_measuredIndicatorWidth, m_measuredIndicatorHeight});
        }
        x += m_measuredIndicatorWidth + m_indicatorMargin;
    }
}

void BRPageControl::endTracking(gfx::Point point, bool)
{
    double middle = leftOffset() + sizeForNumberOfPages(m_numberOfPages).width / 2;
    int page = point.x < middle ? m_currentPage - 1 : m_currentPage + 1;
    setCurrentPageSendEventCanDefer(page, true, true);
}

void BRPageControl::boundsDidChange(const gfx::Rect&)
{
    setNeedsDisplay();
}
