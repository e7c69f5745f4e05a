#include "Classes/Library/Reader/PdfThumbOperation.h"

#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Classes/Library/Reader/PdfThumbRequest.h"
#include "Classes/Library/Reader/PdfThumbView.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/PageWorkers.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>

std::atomic<int> PdfThumbFetch::loadCount{0};
std::atomic<int> PdfThumbRender::renderCount{0};

namespace {

std::string thumbFilePath(const PdfThumbRequest& request)
{
    return PdfThumbCache::thumbCachePathForGUID(request.guid()) + "/" + request.thumbName() + ".png";
}

void clearViewOperation(const PdfThumbRequest& request)
{
    if (auto view = request.thumbView())
        view->setOperation(nullptr);
}

void cancelRequest(const std::shared_ptr<PdfThumbRequest>& request)
{
    clearViewOperation(*request);
    request->setThumbView(nullptr);
    PdfThumbCache::sharedInstance().removeNullForKey(request->cacheKey());
}

// The work queue draws page after page of one document: the last one opened stays open for
// the next render, as long as the file is the same (path, password, size and date).
struct RenderDocument {
    std::mutex mutex;
    std::string key;
    std::shared_ptr<pdf::Document> document;
};

RenderDocument& renderDocument()
{
    static auto* shared = new RenderDocument(); // let go by PdfThumbReleaseRenderDocument
    return *shared;
}

std::shared_ptr<pdf::Document> openForRender(const PdfThumbRequest& request)
{
    auto size = base::FileManager::fileSize(request.fileURL());
    auto date = base::FileManager::modificationDate(request.fileURL());
    if (!size || !date)
        return nullptr;
    std::string key = request.fileURL() + '\0' + request.password().value_or("") + '\0' + std::to_string(*size) +
                      '\0' + std::to_string(date->timeIntervalSince1970());
    RenderDocument& last = renderDocument();
    std::lock_guard lock(last.mutex);
    if (key != last.key || !last.document) {
        last.document = PdfDocumentOpen(request.fileURL(), request.password());
        last.key = last.document ? key : std::string();
    }
    return last.document;
}

} // namespace

void PdfThumbReleaseRenderDocument()
{
    std::shared_ptr<pdf::Document> closing;
    RenderDocument& last = renderDocument();
    std::lock_guard lock(last.mutex);
    closing.swap(last.document);
    last.key.clear();
}

PdfThumbWriter& PdfThumbWriter::sharedInstance()
{
    // Never destroyed: the thumbnail queue stops it, after the renders that feed it.
    static auto* writer = new PdfThumbWriter();
    return *writer;
}

PdfThumbWriter::PdfThumbWriter()
{
    m_queue.setMaxConcurrentOperationCount(1);
}

void PdfThumbWriter::write(const std::string& path, const gfx::Image& image)
{
    bool start = false;
    {
        std::lock_guard lock(m_mutex);
        m_pending[path] = Pending{image, ++m_sequence};
        m_order.push_back(path);
        start = !m_draining;
        m_draining = true;
    }
    // One drain takes every picture waiting when it runs.
    if (start)
        m_queue.addOperation([this] { drain(); });
}

gfx::Image PdfThumbWriter::pendingImage(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_pending.find(path);
    return found == m_pending.end() ? gfx::Image() : found->second.image;
}

void PdfThumbWriter::waitUntilIdle()
{
    m_queue.waitUntilAllOperationsAreFinished();
}

size_t PdfThumbWriter::stop()
{
    // What waits is written: the next opening finds it.
    m_queue.waitUntilAllOperationsAreFinished();
    return m_queue.shutDown();
}

void PdfThumbWriter::drain()
{
    for (;;) {
        std::string path;
        Pending item;
        {
            std::lock_guard lock(m_mutex);
            if (m_order.empty()) {
                m_draining = false;
                return;
            }
            path = std::move(m_order.front());
            m_order.pop_front();
            auto found = m_pending.find(path);
            if (found == m_pending.end())
                continue;
            item = found->second;
        }
        writeFile(path, item.image);
        std::lock_guard lock(m_mutex);
        // Only this picture leaves; a newer one of the same name waits for its own write.
        if (auto found = m_pending.find(path); found != m_pending.end() && found->second.sequence == item.sequence)
            m_pending.erase(found);
    }
}

bool PdfThumbWriter::writeFile(const std::string& path, const gfx::Image& image)
{
    // Written aside and renamed, so a cut-short write never leaves a torn picture under the
    // real name.
    base::FileManager::createDirectories(std::filesystem::path(path).parent_path());
    auto png = image.pngData();
    std::string temp = path + ".tmp";
    bool written = false;
    if (!png.empty()) {
        if (std::FILE* file = std::fopen(temp.c_str(), "wb")) {
            written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
            written = std::fclose(file) == 0 && written;
        }
        written = written && std::rename(temp.c_str(), path.c_str()) == 0;
    }
    if (!written) {
        std::remove(temp.c_str());
        base::logf("PdfThumbWriter: cannot write %s", path.c_str());
    }
    return written;
}

gfx::Size PdfThumbPixelSize(gfx::Size page, const PdfThumbRequest& request)
{
    gfx::Size target = request.thumbSize();
    if (!(page.width > 0 && page.height > 0 && target.width > 0 && target.height > 0))
        return {};
    // Fitted into the box whatever its shape: a very tall page stays small.
    double s = std::min(target.width / page.width, target.height / page.height);
    int tw = int(int(page.width * s) & ~1) * request.scale();
    int th = int(int(page.height * s) & ~1) * request.scale();
    if (tw <= 0 || th <= 0)
        return {};
    return gfx::Size{double(tw), double(th)};
}

void PdfThumbKeep(const std::shared_ptr<PdfThumbRequest>& request, const gfx::Image& image, bool show)
{
    PdfThumbCache::sharedInstance().setObjectForKey(image, request->cacheKey());
    if (show)
        PdfThumbShowOnMain(request, image);
    // Kept even when not shown: the next opening needs it all the same. Written by the writer,
    // so the next page is drawn meanwhile.
    PdfThumbWriter::sharedInstance().write(thumbFilePath(*request), image);
}

void PdfThumbShowOnMain(const std::shared_ptr<PdfThumbRequest>& request, const gfx::Image& image)
{
    // Pictures finished while the main loop is busy go over in one task, not one task each.
    struct Shown {
        std::weak_ptr<PdfThumbView> view;
        std::string key;
        gfx::Image image;
    };
    static std::mutex mutex;
    static std::vector<Shown> waiting;
    bool post = false;
    {
        std::lock_guard lock(mutex);
        post = waiting.empty();
        waiting.push_back({request->thumbView(), request->cacheKey(), image});
    }
    if (!post)
        return;
    base::RunLoop::main().post([] {
        std::vector<Shown> batch;
        {
            std::lock_guard lock(mutex);
            batch.swap(waiting);
        }
        for (const auto& shown : batch)
            // The full key, not a hash of it: a reused view must not take another page's picture.
            if (auto view = shown.view.lock(); view && view->targetKey() == shown.key)
                view->showImage(shown.image);
    });
}

PdfThumbFetch::PdfThumbFetch(std::shared_ptr<PdfThumbRequest> request)
    : PdfThumbOperation(request->guid())
    , m_request(std::move(request))
{
}

std::string PdfThumbFetch::thumbFileURL() const
{
    return thumbFilePath(*m_request);
}

void PdfThumbFetch::cancel()
{
    PdfThumbOperation::cancel();
    cancelRequest(m_request);
}

void PdfThumbFetch::main()
{
    std::string path = thumbFileURL();
    // A picture drawn a moment ago may still be on its way to disk.
    gfx::Image drawn = PdfThumbWriter::sharedInstance().pendingImage(path);
    if (!drawn && base::FileManager::exists(path)) {
        auto bytes = base::FileManager::readFile(path);
        gfx::Image image = bytes ? gfx::Image::fromBytes(*bytes, m_request->scale()) : gfx::Image();
        if (image) {
            ++loadCount;
            // Drawn once here into an opaque picture, so the main thread only shows it.
            auto context = gfx::Context::createBitmap(image.size(), m_request->scale());
            context->setFillColor(gfx::Color::white());
            context->fillRect(gfx::Rect(gfx::Point{}, image.size()));
            context->drawImage(image, gfx::Rect(gfx::Point{}, image.size()));
            drawn = gfx::Image::fromSurface(cairo_get_target(context->cairo()), m_request->scale());
        } else {
            // A torn or damaged file: drop it and draw the page again.
            base::logf("PdfThumbFetch: damaged thumbnail %s, drawn again", path.c_str());
            base::FileManager::removeItem(path);
        }
    }
    if (drawn) {
        PdfThumbCache::sharedInstance().setObjectForKey(drawn, m_request->cacheKey());
        if (!isCancelled())
            PdfThumbShowOnMain(m_request, drawn);
        clearViewOperation(*m_request);
        return;
    }
    auto render = std::make_shared<PdfThumbRender>(m_request);
    render->setQueuePriority(queuePriority());
    if (isCancelled()) {
        clearViewOperation(*m_request);
        return;
    }
    if (auto view = m_request->thumbView())
        view->setOperation(render);
    PdfThumbQueue::sharedInstance().addWorkOperation(render);
}

PdfThumbRender::PdfThumbRender(std::shared_ptr<PdfThumbRequest> request)
    : PdfThumbOperation(request->guid())
    , m_request(std::move(request))
{
}

std::string PdfThumbRender::thumbFileURL() const
{
    return thumbFilePath(*m_request);
}

void PdfThumbRender::cancel()
{
    PdfThumbOperation::cancel();
    cancelRequest(m_request);
}

void PdfThumbRender::main()
{
    const PdfThumbRequest& request = *m_request;
    // Made meanwhile from the page's own tiles (the page on screen): shown, not drawn again.
    if (gfx::Image made = PdfThumbCache::sharedInstance().finishedImage(request.cacheKey())) {
        if (!isCancelled())
            PdfThumbShowOnMain(m_request, made);
        clearViewOperation(request);
        return;
    }
    gfx::Image image;
    // Each step asks a worker: a render cancelled meanwhile (its document closing) asks no more.
    auto document = isCancelled() ? nullptr : openForRender(request);
    if (document && !isCancelled()) {
        // A page over the workers' limits at this size gets no picture (they answer at once).
        // Where page after page of this document passed the limits only to be had, a page not
        // yet known is not asked for: each would take a worker to its limit for nothing.
        auto page = document->knownPage(request.thumbPage());
        if (!page && !document->pagesKeepFailing())
            page = document->page(request.thumbPage());
        if (page && !isCancelled()) {
            gfx::Size pixels = PdfThumbPixelSize(page->size(), request);
            if (pixels.width > 0) {
                ++renderCount;
                auto context = gfx::Context::createBitmap(pixels, 1);
                bool drawn = page->drawOnPaper(*context, gfx::Rect(gfx::Point{}, pixels)) == pdf::DrawOutcome::Drawn;
                if (drawn && !context->error())
                    image = gfx::Image::fromSurface(cairo_get_target(context->cairo()), request.scale());
            }
        }
    }
    if (image) {
        PdfThumbKeep(m_request, image, !isCancelled());
    } else {
        PdfThumbCache::sharedInstance().removeNullForKey(request.cacheKey());
    }
    clearViewOperation(request);
}
