#pragma once
#include "Classes/Library/PPTLoadingViewController.h"
#include "Classes/Library/PdfViewController.h"
#include "Classes/Library/VideoViewController.h"
#include "Platform/Base/NotificationCenter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ui {
class NavigationController;
class View;
}

// Opens a library document that is on the device with the viewer for its type: the PDF
// reader for "PDF", the video player for "VEDIO" (over the root screen until it posts
// "stopViewVideo"), the office viewer for office files within the size limit, the desktop's
// own application for the rest (a message when nothing takes the file). The library screens
// own one and keep it while a viewer is open.
class LibraryFileOpener : public PdfViewControllerDelegate,
                          public std::enable_shared_from_this<LibraryFileOpener> {
public:
    static constexpr int kAlertTag = 1001;

    // A reader still held elsewhere must not call back into a released opener.
    ~LibraryFileOpener() override;

    // The file of the logged-in client by name and library type number
    // (PublicFunction::getFileType), titled `title` in its viewer.
    void selectDownloadedFileType(const std::optional<std::string>& name, int type, const std::string& title);
    // The same for a path already worked out. A PDF is read by a page worker off the main
    // thread: its reader, or the alert that it cannot be opened, comes with the answer.
    void openPath(const std::string& path, int type, const std::string& title);

    // Pops the reader from the window's root navigation controller.
    void dismissReaderViewController(PdfViewController& reader) override;

    // Where alerts go (title, message, tag); by default an alert with "OK".
    void setAlertHandler(std::function<void(const std::string&, const std::string&, int)> handler)
    {
        m_alert = std::move(handler);
    }
    // The navigation controller viewers are pushed on; by default the window's root one.
    void setNavigationController(std::function<ui::NavigationController*()> finder) { m_navigation = std::move(finder); }

    // PDFs of every opener being read by a page worker, their reader or alert still to come.
    static int pdfReadsUnderWay();

    const std::shared_ptr<PdfViewController>& reader() const { return m_reader; }
    const std::shared_ptr<VideoViewController>& video() const { return m_video; }
    const std::shared_ptr<PPTLoadingViewController>& officeViewer() const { return m_office; }
    // The file last handed to the desktop's preview, until that preview ends.
    const std::optional<std::string>& previewedFile() const { return m_documentController; }
    void documentInteractionControllerDidEndPreview() { m_documentController.reset(); }
    // The player left: its view goes and the player is dropped.
    void stopViewVideo();

private:
    void openPdf(const std::string& path, const std::string& title);
    void showPdf(const std::shared_ptr<PdfDocument>& record, bool locked, const std::string& path,
                 const std::string& title);
    void openVideo(const std::string& path, const std::string& title);
    void openOffice(const std::string& path, const std::string& title);
    // The platform preview with its "open in" hand-off; false when nothing takes the file.
    bool preview(const std::string& path);
    void showAlert(const std::string& messageKey);
    ui::NavigationController* navigation() const;

    std::shared_ptr<PdfViewController> m_reader;
    std::shared_ptr<VideoViewController> m_video;
    std::shared_ptr<PPTLoadingViewController> m_office;
    std::optional<std::string> m_documentController;
    base::ObserverToken m_videoObserver;
    std::function<void(const std::string&, const std::string&, int)> m_alert;
    std::function<ui::NavigationController*()> m_navigation;
    // Counts openings: a PDF read in the background is shown only when no other opening came
    // since.
    uint64_t m_opening = 0;
};
