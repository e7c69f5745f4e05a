#include "Classes/Library/Reader/PdfContentThumb.h"

PdfContentThumb::PdfContentThumb(const gfx::Rect& frame)
    : PdfThumbView(frame)
{
    imageView()->setContentMode(ui::ContentMode::ScaleAspectFill);
    imageView()->setClipsToBounds(true);
}
