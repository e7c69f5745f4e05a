#pragma once
#include "Classes/Library/Reader/PdfThumbView.h"

// The picture under a page while its tiles come in: filling the page with its shape kept.
class PdfContentThumb : public PdfThumbView {
public:
    explicit PdfContentThumb(const gfx::Rect& frame);
    const char* className() const override { return "PdfContentThumb"; }
};
