#pragma once
#include "Platform/Base/Value.h"
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UI/View.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace gfx {
class Context;
}

// Something placed in a document: where it sits in its line, where it landed, and how it draws.
class BRPDFCreaterBaseCell {
public:
    BRPDFCreaterBaseCell() = default;
    explicit BRPDFCreaterBaseCell(const gfx::Rect& frameInLine) : m_frameInLine(frameInLine) {}
    virtual ~BRPDFCreaterBaseCell() = default;

    // x from the left margin, y from the top of the line.
    const gfx::Rect& frameInLine() const { return m_frameInLine; }
    void setFrameInLine(const gfx::Rect& frame) { m_frameInLine = frame; }
    // In container space (pages stacked); zero until placed.
    const gfx::Rect& frameInContainer() const { return m_frameInContainer; }
    void setFrameInContainer(const gfx::Rect& frame) { m_frameInContainer = frame; }
    int tagOfCell() const { return m_tagOfCell; }
    void setTagOfCell(int tag) { m_tagOfCell = tag; }
    int cellType() const { return m_cellType; }
    void setCellType(int type) { m_cellType = type; }

    virtual void drawInRect(gfx::Context& context, const gfx::Rect& rect);

private:
    gfx::Rect m_frameInLine;
    gfx::Rect m_frameInContainer;
    int m_tagOfCell = 0;
    int m_cellType = 0;
};

class BRPDFCreaterStringCell : public BRPDFCreaterBaseCell {
public:
    BRPDFCreaterStringCell() : BRPDFCreaterStringCell(gfx::Rect(), std::nullopt, std::nullopt, std::nullopt, 0) {}
    explicit BRPDFCreaterStringCell(const gfx::Rect& frameInLine)
        : BRPDFCreaterStringCell(frameInLine, std::nullopt, std::nullopt, std::nullopt, 0)
    {
    }
    // Alignment 0 left, 1 centre, 2 right; vertical centring on.
    BRPDFCreaterStringCell(const gfx::Rect& frameInLine, std::optional<std::string> text, std::optional<gfx::Font> font,
                           std::optional<gfx::Color> color, int alignment);

    const std::optional<std::string>& text() const { return m_text; }
    void setText(std::optional<std::string> text) { m_text = std::move(text); }
    const std::optional<gfx::Font>& textFont() const { return m_textFont; }
    void setTextFont(std::optional<gfx::Font> font) { m_textFont = std::move(font); }
    const std::optional<gfx::Color>& textColor() const { return m_textColor; }
    void setTextColor(std::optional<gfx::Color> color) { m_textColor = color; }
    int textAlignment() const { return m_textAlignment; }
    void setTextAlignment(int alignment) { m_textAlignment = alignment; }
    bool centerInVertical() const { return m_centerInVertical; }
    void setCenterInVertical(bool center) { m_centerInVertical = center; }

    void drawInRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    std::optional<std::string> m_text;
    std::optional<gfx::Font> m_textFont;
    std::optional<gfx::Color> m_textColor;
    int m_textAlignment = 0;
    bool m_centerInVertical = true;
};

class BRPDFCreaterImageCell : public BRPDFCreaterBaseCell {
public:
    BRPDFCreaterImageCell() = default;
    explicit BRPDFCreaterImageCell(const gfx::Rect& frameInLine, gfx::Image image = {})
        : BRPDFCreaterBaseCell(frameInLine), m_image(std::move(image))
    {
    }

    const gfx::Image& image() const { return m_image; }
    void setImage(gfx::Image image) { m_image = std::move(image); }

    // Fills the rectangle exactly; the aspect is not kept.
    void drawInRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    gfx::Image m_image;
};

using BRPDFCellList = std::vector<std::shared_ptr<BRPDFCreaterBaseCell>>;
// One list of placed cells per page, shared by the creator and its preview.
using BRPDFPageList = std::vector<BRPDFCellList>;

// The preview: every page stacked in one tall, clear view drawing the creator's own lists.
class BRPDFView : public ui::View {
public:
    explicit BRPDFView(const gfx::Rect& frame);
    const char* className() const override { return "BRPDFView"; }

    const std::shared_ptr<BRPDFPageList>& cellsArray() const { return m_cellsArray; }
    void setCellsArray(std::shared_ptr<BRPDFPageList> pages) { m_cellsArray = std::move(pages); }

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    std::shared_ptr<BRPDFPageList> m_cellsArray;
};

// Lays a document out as lines of cells on pages of one size, turning pages by itself and
// numbering them, and renders it as PDF data or as a preview view.
class BRPDFCreater {
public:
    static constexpr gfx::Size kDefaultPageSize{1024, 1448};

    explicit BRPDFCreater(gfx::Size pageSize = kDefaultPageSize);
    virtual ~BRPDFCreater() = default;
    BRPDFCreater(const BRPDFCreater&) = delete;
    BRPDFCreater& operator=(const BRPDFCreater&) = delete;

    // Begins page 1 when no page exists; a null cell is dropped after that.
    void addCell(std::shared_ptr<BRPDFCreaterBaseCell> cell);
    void beginNewLine();
    // With automatic paging only the page test runs; H does not move.
    void addSpacing(double spacing);
    void beginNewPage();
    bool computeChangePageForHeight(double height);
    void changeToNewPage();
    void addPageNumber();
    virtual BRPDFCellList additionalHeaderInPage(int page);
    virtual BRPDFCellList additionalFooterInPage(int page);
    void addAdditionalHeader(const BRPDFCellList& cells);
    void addAdditionalFooter(const BRPDFCellList& cells);
    void saveCellToPageArray(std::shared_ptr<BRPDFCreaterBaseCell> cell);
    void saveCellToLineArray(std::shared_ptr<BRPDFCreaterBaseCell> cell);

    std::shared_ptr<BRPDFView> generatePDFToView();
    // Empty when nothing was laid out.
    base::Bytes generatePDFToData();
    void clearAllCell();
    std::shared_ptr<BRPDFCreaterBaseCell> cellWithTag(int tag) const;
    // Removes the first cell with the tag; every other cell keeps its place.
    void removeCellByTag(int tag);

    gfx::Size pageSize() const { return m_pageSize; }
    // Pages begun from now on have the new size.
    void setPageSize(gfx::Size size) { m_pageSize = size; }
    double leftMargin() const { return m_leftMargin; }
    void setLeftMargin(double v) { m_leftMargin = v; }
    double rightMargin() const { return m_rightMargin; }
    void setRightMargin(double v) { m_rightMargin = v; }
    double topMargin() const { return m_topMargin; }
    void setTopMargin(double v) { m_topMargin = v; }
    double bottomMargin() const { return m_bottomMargin; }
    void setBottomMargin(double v) { m_bottomMargin = v; }
    double lineSpacing() const { return m_lineSpacing; }
    void setLineSpacing(double v) { m_lineSpacing = v; }
    bool autoPage() const { return m_autoPage; }
    void setAutoPage(bool v) { m_autoPage = v; }
    bool showPageNumber() const { return m_showPageNumber; }
    void setShowPageNumber(bool v) { m_showPageNumber = v; }
    const std::string& pageNumberFormat() const { return m_pageNumberFormat; }
    void setPageNumberFormat(std::string format) { m_pageNumberFormat = std::move(format); }
    const gfx::Font& pageNumberFont() const { return m_pageNumberFont; }
    void setPageNumberFont(gfx::Font font) { m_pageNumberFont = std::move(font); }
    const gfx::Color& pageNumberColor() const { return m_pageNumberColor; }
    void setPageNumberColor(gfx::Color color) { m_pageNumberColor = color; }
    int currentPage() const { return m_currentPage; }
    double currentContentHeight() const { return m_currentContentHeight; }
    const BRPDFCellList& currentLineArray() const { return m_currentLineArray; }
    const std::shared_ptr<BRPDFPageList>& cellsPageArray() const { return m_cellsPageArray; }

private:
    std::string pageNumberText() const;

    gfx::Size m_pageSize;
    double m_leftMargin = 60, m_rightMargin = 60, m_topMargin = 60, m_bottomMargin = 60;
    double m_lineSpacing = 0;
    bool m_autoPage = true;
    bool m_showPageNumber = true;
    std::string m_pageNumberFormat = "- Page %d -";
    gfx::Font m_pageNumberFont{"Didot-Italic", 15};
    gfx::Color m_pageNumberColor = gfx::Color::black();
    int m_currentPage = 0;
    double m_currentContentHeight = 60;
    BRPDFCellList m_currentLineArray;
    std::shared_ptr<BRPDFPageList> m_cellsPageArray = std::make_shared<BRPDFPageList>();
};
