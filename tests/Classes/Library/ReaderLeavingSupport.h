#pragma once
// Counts the reader's requests to be dismissed, in place of the screen that presented it.
#include "Classes/Library/PdfViewController.h"

namespace readertest {

class Leaving : public PdfViewControllerDelegate {
public:
    int calls = 0;
    void dismissReaderViewController(PdfViewController&) override { ++calls; }
};

} // namespace readertest
