#pragma once
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UI/Control.h"

#include <map>
#include <optional>

namespace ui {
class ScrollView;
}

// A row of page dots (or pictures) that draws itself; a tap left of the row's middle asks for
// the page before, right of it for the page after, reported as value-changed.
class BRPageControl : public ui::Control {
public:
    static constexpr unsigned kAlignmentLeft = 1;
    static constexpr unsigned kAlignmentCenter = 2;
    static constexpr unsigned kAlignmentRight = 3;
    static constexpr unsigned kVerticalAlignmentTop = 1;
    static constexpr unsigned kVerticalAlignmentMiddle = 2;
    static constexpr unsigned kVerticalAlignmentBottom = 3;

    BRPageControl();
    explicit BRPageControl(const gfx::Rect& frame);
    const char* className() const override { return "BRPageControl"; }

    int numberOfPages() const { return m_numberOfPages; }
    // A negative count is 0; the current and displayed pages are kept inside the new range.
    void setNumberOfPages(int count);
    int currentPage() const { return m_currentPage; }
    void setCurrentPage(int page);
    // Pages outside 0 .. count - 1 are ignored. The drawing waits for updateCurrentPageDisplay
    // when both this call and the control defer.
    void setCurrentPageSendEventCanDefer(int page, bool sendEvent, bool canDefer);
    void updateCurrentPageDisplay();
    // The page drawn as current (behind currentPage while the display is deferred).
    int displayedPage() const { return m_displayedPage; }

    double indicatorMargin() const { return m_indicatorMargin; }
    void setIndicatorMargin(double margin);
    double indicatorDiameter() const { return m_indicatorDiameter; }
    void setIndicatorDiameter(double diameter);
    unsigned alignment() const { return m_alignment; }
    void setAlignment(unsigned alignment) { m_alignment = alignment; setNeedsDisplay(); }
    unsigned verticalAlignment() const { return m_verticalAlignment; }
    void setVerticalAlignment(unsigned alignment) { m_verticalAlignment = alignment; setNeedsDisplay(); }
    bool hidesForSinglePage() const { return m_hidesForSinglePage; }
    void setHidesForSinglePage(bool hides) { m_hidesForSinglePage = hides; setNeedsDisplay(); }
    bool defersCurrentPageDisplay() const { return m_defersCurrentPageDisplay; }
    void setDefersCurrentPageDisplay(bool defers) { m_defersCurrentPageDisplay = defers; }

    const gfx::Image& pageIndicatorImage() const { return m_pageIndicatorImage; }
    void setPageIndicatorImage(const gfx::Image& image);
    const gfx::Image& currentPageIndicatorImage() const { return m_currentPageIndicatorImage; }
    void setCurrentPageIndicatorImage(const gfx::Image& image);
    // Without a tint the current dot is white and the others white at alpha 0.3.
    std::optional<gfx::Color> pageIndicatorTintColor() const { return m_pageIndicatorTintColor; }
    void setPageIndicatorTintColor(std::optional<gfx::Color> color) { m_pageIndicatorTintColor = color; setNeedsDisplay(); }
    std::optional<gfx::Color> currentPageIndicatorTintColor() const { return m_currentPageIndicatorTintColor; }
    void setCurrentPageIndicatorTintColor(std::optional<gfx::Color> color) { m_currentPageIndicatorTintColor = color; setNeedsDisplay(); }

    // Per-page pictures for a page in range; a null picture removes the page's entry.
    void setImageForPage(const gfx::Image& image, int page);
    void setCurrentImageForPage(const gfx::Image& image, int page);
    gfx::Image imageForPage(int page) const;
    gfx::Image currentImageForPage(int page) const;

    gfx::Size sizeForNumberOfPages(int count) const;
    // Where a page's indicator lies in the bounds; the zero rectangle outside the range.
    gfx::Rect rectForPageIndicator(int page) const;
    // The page under the scroll view's offset; ignored while it has no width yet.
    void updatePageNumberForScrollView(const ui::ScrollView& scrollView);

    gfx::Size measuredIndicatorSize() const { return {m_measuredIndicatorWidth, m_measuredIndicatorHeight}; }

    // sizeToFit: the size for the page count, at least 36 high.
    gfx::Size sizeThatFits(gfx::Size size) const override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

protected:
    void endTracking(gfx::Point point, bool inside) override;
    void boundsDidChange(const gfx::Rect& oldBounds) override;

private:
    void setUp();
    void updateMeasuredIndicatorSizes();
    double leftOffset() const;
    double topOffset() const;

    int m_displayedPage = 0;
    double m_measuredIndicatorWidth = 10;
    double m_measuredIndicatorHeight = 10;
    std::map<int, gfx::Image> m_pageImages;
    std::map<int, gfx::Image> m_currentPageImages;
    bool m_defersCurrentPageDisplay = false;
    gfx::Image m_pageIndicatorImage;
    unsigned m_alignment = kAlignmentCenter;
    int m_numberOfPages = 0;
    std::optional<gfx::Color> m_currentPageIndicatorTintColor;
    bool m_hidesForSinglePage = false;
    unsigned m_verticalAlignment = kVerticalAlignmentMiddle;
    gfx::Image m_currentPageIndicatorImage;
    double m_indicatorDiameter = 10;
    std::optional<gfx::Color> m_pageIndicatorTintColor;
    int m_currentPage = 0;
    double m_indicatorMargin = 10;
};
