#include "Classes/Library/Reader/PdfThumbView.h"

#include "Platform/Base/OperationQueue.h"

PdfThumbView::PdfThumbView(const gfx::Rect& frame)
    : ui::View(frame)
{
    setAutoresizesSubviews(false);
    setUserInteractionEnabled(false);
    setContentMode(ui::ContentMode::Redraw);
    setBackgroundColor(std::nullopt);
    m_imageView = ui::View::make<ui::ImageView>(bounds());
    m_imageView->setAutoresizingMask(ui::AutoresizingNone);
    m_imageView->setUserInteractionEnabled(false);
    m_imageView->setContentMode(ui::ContentMode::ScaleAspectFit);
    addSubview(m_imageView);
}

void PdfThumbView::showImage(const gfx::Image& image)
{
    m_imageView->setImage(image);
}

std::shared_ptr<base::Operation> PdfThumbView::operation() const
{
    std::lock_guard lock(m_operationMutex);
    return m_operation;
}

void PdfThumbView::setOperation(std::shared_ptr<base::Operation> operation)
{
    std::lock_guard lock(m_operationMutex);
    m_operation = std::move(operation);
}

void PdfThumbView::cancelOperation()
{
    // Cancelling clears the view's operation from inside; take it out first.
    std::shared_ptr<base::Operation> op;
    {
        std::lock_guard lock(m_operationMutex);
        op = m_operation;
    }
    if (op)
        op->cancel();
}

void PdfThumbView::reuse()
{
    m_targetKey.clear();
    cancelOperation();
    m_imageView->setImage(gfx::Image());
}

void PdfThumbView::willMoveToSuperview(ui::View* newSuperview)
{
    if (!newSuperview) {
        m_targetKey.clear();
        cancelOperation();
    }
}
