#include "Classes/Library/LibraryFileOpener.h"

#include "Classes/Library/Reader/PdfDocument.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/Share/DocumentOpener.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>

namespace {
constexpr int kTypePdf = 5;
constexpr int kTypeVideo = 6;

bool isOfficeFile(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".pptx" || ext == ".ppt" || ext == ".xls" || ext == ".xlsx" || ext == ".doc" || ext == ".docx";
}

std::atomic<int> s_pdfReads{0};

base::WorkerThread& openingThread()
{
    // Stopped when the application terminates, when the page workers' waits end too.
    static base::WorkerThread& thread = base::lastingWorkerThread("pdf-open", "opening documents");
    return thread;
}

} // namespace

LibraryFileOpener::~LibraryFileOpener()
{
    if (m_reader)
        m_reader->setDelegate(nullptr);
}

void LibraryFileOpener::selectDownloadedFileType(const std::optional<std::string>& name, int type,
                                                 const std::string& title)
{
    auto path = PublicFunction::filePathWithNameFiletype(name, type);
    if (!path) {
        showAlert("THEFILEISCORRUPTED");
        return;
    }
    openPath(*path, type, title);
}

void LibraryFileOpener::openPath(const std::string& path, int type, const std::string& title)
{
    ++m_opening;
    // An empty download is neither too large nor damaged: it holds nothing.
    if (base::FileManager::fileSize(path) == std::optional<uint64_t>(0)) {
        showAlert("THEFILEISEMPTY");
        return;
    }
    if (type == kTypePdf) {
        openPdf(path, title);
        return;
    }
    if (type == kTypeVideo) {
        openVideo(path, title);
        return;
    }
    if (PublicFunction::safeSizeOfPath(path)) {
        if (isOfficeFile(path)) {
            openOffice(path, title);
            return;
        }
        if (!preview(path))
            showAlert("PLEASEDOWNLOADKEYNOTE");
        return;
    }
    if (!preview(path))
        showAlert("FILETOOLARGEALERT");
}

void LibraryFileOpener::openPdf(const std::string& path, const std::string& title)
{
    // Reading the file waits for a page worker, up to its limits on a hostile file: the
    // library keeps answering meanwhile.
    std::weak_ptr<LibraryFileOpener> weak = weak_from_this();
    uint64_t opening = m_opening;
    // Under way until its answer is shown (or the task is dropped at termination).
    base::beginOutsideWork();
    ++s_pdfReads;
    auto underWay = std::shared_ptr<void>(nullptr, [](void*) {
        base::endOutsideWork();
        --s_pdfReads;
    });
    openingThread().post([weak, opening, path, title, underWay] {
        auto record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
        if (record) {
            record->updateProperties();
            // The reader's pages come from this opening: its screen asks no worker for them.
            if (record->pageCount().value_or(0) >= 1)
                record->holdOpenDocument();
        }
        // A password is no damage: the user hears which of the two keeps the file shut.
        bool locked = record && record->pageCount().value_or(0) < 1 &&
                      pdf::Document::open(record->fileURL()).status == pdf::Document::Status::Locked;
        base::RunLoop::main().post([weak, opening, record, locked, path, title, underWay] {
            auto self = weak.lock();
            if (self && self->m_opening == opening)
                self->showPdf(record, locked, path, title);
        });
    });
}

int LibraryFileOpener::pdfReadsUnderWay()
{
    return s_pdfReads.load();
}

void LibraryFileOpener::showPdf(const std::shared_ptr<PdfDocument>& record, bool locked, const std::string& path,
                                const std::string& title)
{
    // A record without pages (locked, or damaged past reading) would show an empty reader.
    if (!record || record->pageCount().value_or(0) < 1) {
        showAlert(locked ? "THEFILEISPROTECTED" : "THEFILEISCORRUPTED");
        return;
    }
    auto reader = PdfViewController::initWithReaderDocumentDocumentName(record, title);
    auto* nav = navigation();
    if (!reader || !nav) {
        base::logf("LibraryFileOpener: no navigation to show %s", path.c_str());
        return;
    }
    if (m_reader)
        m_reader->setDelegate(nullptr);
    m_reader = reader;
    reader->setDelegate(this);
    nav->pushViewController(reader, true);
}

void LibraryFileOpener::openVideo(const std::string& path, const std::string& title)
{
    ui::Window* window = ui::Window::keyWindow();
    auto root = window ? window->rootViewController() : nullptr;
    if (!root)
        return;
    // One player at a time: a new opening replaces the one held.
    if (m_video)
        stopViewVideo();
    m_video = std::make_shared<VideoViewController>();
    m_video->createWithFilenameAndFilePath(title, path);
    std::weak_ptr<LibraryFileOpener> weak = weak_from_this();
    m_videoObserver = base::NotificationCenter::defaultCenter().addObserver(
        VideoViewController::kStopNotification, nullptr, [weak](const base::Notification&) {
            if (auto self = weak.lock())
                self->stopViewVideo();
        });
    root->view()->addSubview(m_video->view());
}

void LibraryFileOpener::openOffice(const std::string& path, const std::string& title)
{
    auto* nav = navigation();
    if (!nav) {
        base::logf("LibraryFileOpener: no navigation to show %s", path.c_str());
        return;
    }
    m_office = std::make_shared<PPTLoadingViewController>();
    m_office->setFileName(title);
    m_office->setFilePath(path);
    nav->pushViewController(m_office, true);
}

void LibraryFileOpener::stopViewVideo()
{
    m_videoObserver.reset();
    if (!m_video)
        return;
    auto video = std::move(m_video);
    video->view()->removeFromSuperview();
    // The player's own back button is still on the stack: let it go once that has returned.
    base::RunLoop::main().post([video] {});
}

void LibraryFileOpener::dismissReaderViewController(PdfViewController& reader)
{
    if (auto* nav = navigation(); nav && nav->topViewController().get() == &reader)
        nav->popViewController(true);
    if (m_reader.get() == &reader) {
        m_reader->setDelegate(nullptr);
        m_reader.reset();
    }
}

bool LibraryFileOpener::preview(const std::string& path)
{
    // Preview and open-in are one hand-off here: the file is opened once.
    m_documentController.reset();
    if (!share::DocumentOpener::shared().open(path))
        return false;
    m_documentController = path;
    return true;
}

void LibraryFileOpener::showAlert(const std::string& messageKey)
{
    std::string title = Language::stringWithName("NOTIFICATION");
    std::string message = Language::stringWithName(messageKey);
    if (m_alert) {
        m_alert(title, message, kAlertTag);
        return;
    }
    auto alert = std::make_shared<ui::AlertView>(title, message, nullptr, Language::stringWithName("OK"),
                                                 std::vector<std::string>{});
    alert->setTag(kAlertTag);
    alert->show();
}

ui::NavigationController* LibraryFileOpener::navigation() const
{
    if (m_navigation)
        return m_navigation();
    ui::Window* window = ui::Window::keyWindow();
    if (!window)
        return nullptr;
    return dynamic_cast<ui::NavigationController*>(window->rootViewController().get());
}
