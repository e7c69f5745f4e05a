#include "Classes/Order/BRPDFCreater.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"

#include <algorithm>

void BRPDFCreaterBaseCell::drawInRect(gfx::Context&, const gfx::Rect&) {}

BRPDFCreaterStringCell::BRPDFCreaterStringCell(const gfx::Rect& frameInLine, std::optional<std::string> text,
                                               std::optional<gfx::Font> font, std::optional<gfx::Color> color,
                                               int alignment)
    : BRPDFCreaterBaseCell(frameInLine)
    , m_text(std::move(text))
    , m_textFont(std::move(font))
    , m_textColor(color)
    , m_textAlignment(alignment)
{
}

void BRPDFCreaterStringCell::drawInRect(gfx::Context& context, const gfx::Rect& rect)
{
    gfx::Color color = m_textColor.value_or(gfx::Color::black());
    context.setFillColor(color);
    if (!m_text || m_text->empty())
        return;
    gfx::Font font = m_textFont.value_or(gfx::Font::systemFont(12));
    gfx::TextAlignment alignment = m_textAlignment == 1 ? gfx::TextAlignment::Center
        : m_textAlignment == 2                          ? gfx::TextAlignment::Right
                                                        : gfx::TextAlignment::Left;
    gfx::Rect target = rect;
    if (m_centerInVertical) {
        double height = gfx::sizeOfText(*m_text, font, rect.size, gfx::LineBreakMode::WordWrap).height;
        target = {rect.x(), rect.y() + (rect.height() - height) * 0.5, rect.width(), height};
    }
    context.drawText(*m_text, target, font, color, alignment, gfx::LineBreakMode::WordWrap);
}

void BRPDFCreaterImageCell::drawInRect(gfx::Context& context, const gfx::Rect& rect)
{
    if (!m_image.isNull())
        context.drawImage(m_image.isStretchable() ? m_image.stretchable(gfx::EdgeInsets{}) : m_image, rect);
}

BRPDFView::BRPDFView(const gfx::Rect& frame) : ui::View(frame)
{
    setBackgroundColor(gfx::Color::clear());
}

void BRPDFView::drawRect(gfx::Context& context, const gfx::Rect& rect)
{
    if (!m_cellsArray)
        return;
    // Only what meets the dirty rectangle is drawn, so a long preview costs what shows.
    for (const BRPDFCellList& page : *m_cellsArray) {
        for (const auto& cell : page) {
            const gfx::Rect& frame = cell->frameInContainer();
            if (frame.width() <= 0 || frame.height() <= 0 || !frame.intersects(rect))
                continue;
            context.save();
            cell->drawInRect(context, frame);
            context.restore();
        }
    }
}

BRPDFCreater::BRPDFCreater(gfx::Size pageSize) : m_pageSize(pageSize)
{
    m_currentContentHeight = m_currentPage * m_pageSize.height + m_topMargin;
}

void BRPDFCreater::addCell(std::shared_ptr<BRPDFCreaterBaseCell> cell)
{
    if (m_currentPage == 0)
        beginNewPage();
    if (cell)
        saveCellToLineArray(std::move(cell));
}

void BRPDFCreater::beginNewLine()
{
    // Every page test before any placement, so a line never splits between pages.
    if (m_autoPage)
        for (const auto& cell : m_currentLineArray)
            computeChangePageForHeight(cell->frameInLine().maxY());
    double lineHeight = 0;
    for (const auto& cell : m_currentLineArray) {
        const gfx::Rect& f = cell->frameInLine();
        cell->setFrameInContainer({m_leftMargin + f.x(), m_currentContentHeight + f.y(), f.width(), f.height()});
        saveCellToPageArray(cell);
        lineHeight = std::max(lineHeight, f.maxY());
    }
    m_currentContentHeight += lineHeight + m_lineSpacing;
    m_currentLineArray.clear();
}

void BRPDFCreater::addSpacing(double spacing)
{
    if (m_currentPage == 0)
        beginNewPage();
    if (!m_currentLineArray.empty())
        beginNewLine();
    if (m_autoPage)
        computeChangePageForHeight(spacing);
    else
        m_currentContentHeight += spacing;
}

void BRPDFCreater::beginNewPage()
{
    if (!m_currentLineArray.empty())
        beginNewLine();
    changeToNewPage();
}

bool BRPDFCreater::computeChangePageForHeight(double height)
{
    double remaining = m_pageSize.height * m_currentPage - m_currentContentHeight;
    if (remaining < m_bottomMargin + height) {
        addAdditionalFooter(additionalFooterInPage(m_currentPage));
        changeToNewPage();
        return true;
    }
    return false;
}

void BRPDFCreater::changeToNewPage()
{
    ++m_currentPage;
    addAdditionalHeader(additionalHeaderInPage(m_currentPage));
    // The page's list exists even when the header hook gave nothing.
    if (static_cast<int>(m_cellsPageArray->size()) < m_currentPage)
        m_cellsPageArray->resize(m_currentPage);
    m_currentContentHeight = m_topMargin + (m_currentPage - 1) * m_pageSize.height;
    if (m_showPageNumber)
        addPageNumber();
}

std::string BRPDFCreater::pageNumberText() const
{
    // The format is filled by hand: it is data, and a stray placeholder must not read memory.
    std::string out;
    bool filled = false;
    const std::string& format = m_pageNumberFormat;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size()) {
            if (format[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
            if (format[i + 1] == 'd' && !filled) {
                out += std::to_string(m_currentPage);
                filled = true;
                ++i;
                continue;
            }
        }
        out += format[i];
    }
    return out;
}

void BRPDFCreater::addPageNumber()
{
    double width = m_pageSize.width - m_leftMargin - m_rightMargin;
    auto cell = std::make_shared<BRPDFCreaterStringCell>(gfx::Rect(0, 0, width, m_bottomMargin), pageNumberText(),
                                                         m_pageNumberFont, m_pageNumberColor, 1);
    cell->setCenterInVertical(true);
    cell->setFrameInContainer({m_leftMargin, m_pageSize.height * m_currentPage - m_bottomMargin, width, m_bottomMargin});
    saveCellToPageArray(cell);
}

BRPDFCellList BRPDFCreater::additionalHeaderInPage(int)
{
    return {};
}

BRPDFCellList BRPDFCreater::additionalFooterInPage(int)
{
    return {};
}

void BRPDFCreater::addAdditionalHeader(const BRPDFCellList& cells)
{
    for (const auto& cell : cells)
        if (cell)
            saveCellToPageArray(cell);
}

void BRPDFCreater::addAdditionalFooter(const BRPDFCellList& cells)
{
    addAdditionalHeader(cells);
}

void BRPDFCreater::saveCellToPageArray(std::shared_ptr<BRPDFCreaterBaseCell> cell)
{
    size_t index = static_cast<size_t>(std::max(0, m_currentPage - 1));
    if (index >= m_cellsPageArray->size())
        m_cellsPageArray->emplace_back();
    (*m_cellsPageArray)[std::min(index, m_cellsPageArray->size() - 1)].push_back(std::move(cell));
}

void BRPDFCreater::saveCellToLineArray(std::shared_ptr<BRPDFCreaterBaseCell> cell)
{
    m_currentLineArray.push_back(std::move(cell));
}

std::shared_ptr<BRPDFView> BRPDFCreater::generatePDFToView()
{
    if (!m_currentLineArray.empty())
        beginNewLine();
    auto view = ui::View::make<BRPDFView>(gfx::Rect(0, 0, m_pageSize.width, m_pageSize.height * m_currentPage));
    view->setCellsArray(m_cellsPageArray);
    return view;
}

base::Bytes BRPDFCreater::generatePDFToData()
{
    if (!m_currentLineArray.empty())
        beginNewLine();
    if (m_cellsPageArray->empty())
        return {};
    auto pdf = gfx::Context::createPdfInMemory();
    if (!pdf)
        return {};
    pdf->omitPdfCreationDate();
    for (size_t k = 0; k < m_cellsPageArray->size(); ++k) {
        pdf->beginPage(m_pageSize);
        double shift = static_cast<double>(k) * m_pageSize.height;
        for (const auto& cell : (*m_cellsPageArray)[k]) {
            gfx::Rect frame = cell->frameInContainer();
            pdf->save();
            cell->drawInRect(*pdf, {frame.x(), frame.y() - shift, frame.width(), frame.height()});
            pdf->restore();
        }
        pdf->endPage();
    }
    if (pdf->close())
        return {};
    return pdf->pdfData();
}

void BRPDFCreater::clearAllCell()
{
    m_currentLineArray.clear();
    // The same list object, so a preview made earlier follows the new layout.
    m_cellsPageArray->clear();
    m_currentPage = 0;
    m_currentContentHeight = m_topMargin;
}

std::shared_ptr<BRPDFCreaterBaseCell> BRPDFCreater::cellWithTag(int tag) const
{
    for (const BRPDFCellList& page : *m_cellsPageArray)
        for (const auto& cell : page)
            if (cell->tagOfCell() == tag)
                return cell;
    return nullptr;
}

void BRPDFCreater::removeCellByTag(int tag)
{
    for (BRPDFCellList& page : *m_cellsPageArray) {
        auto it = std::find_if(page.begin(), page.end(), [tag](const auto& cell) { return cell->tagOfCell() == tag; });
        if (it != page.end()) {
            page.erase(it);
            return;
        }
    }
}
