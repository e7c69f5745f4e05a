#pragma once
#include "Platform/Base/OperationQueue.h"
#include "Platform/Graphics/Image.h"

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <memory>
#include <string>

class PdfThumbRequest;

// Thumbnail work for one document, found again by its GUID when the reader closes.
class PdfThumbOperation : public base::Operation {
public:
    explicit PdfThumbOperation(std::string guid) : m_guid(std::move(guid)) {}
    const std::string& guid() const { return m_guid; }

private:
    std::string m_guid;
};

// Loads the picture's PNG from disk; queues a render when there is none (or it is damaged).
class PdfThumbFetch : public PdfThumbOperation {
public:
    explicit PdfThumbFetch(std::shared_ptr<PdfThumbRequest> request);
    void cancel() override;
    std::string thumbFileURL() const;
    const std::shared_ptr<PdfThumbRequest>& request() const { return m_request; }

    // Pictures read from disk since the process started.
    static std::atomic<int> loadCount;

protected:
    void main() override;

private:
    std::shared_ptr<PdfThumbRequest> m_request;
};

// Draws the page, caches and shows the picture, and keeps it as a PNG.
class PdfThumbRender : public PdfThumbOperation {
public:
    explicit PdfThumbRender(std::shared_ptr<PdfThumbRequest> request);
    void cancel() override;
    std::string thumbFileURL() const;

    // Pages drawn since the process started.
    static std::atomic<int> renderCount;

protected:
    void main() override;

private:
    std::shared_ptr<PdfThumbRequest> m_request;
};

// Closes the document kept open for the next render (its reader has closed).
void PdfThumbReleaseRenderDocument();

// The picture's size in pixels for a page of this size (points): fitted into the request's box
// in even points, at its scale. Empty when there is none.
gfx::Size PdfThumbPixelSize(gfx::Size page, const PdfThumbRequest& request);

// A finished picture into the memory cache, to its view when `show`, and to disk.
void PdfThumbKeep(const std::shared_ptr<PdfThumbRequest>& request, const gfx::Image& image, bool show);

// The same picture to any view that still wants it, on the main loop.
void PdfThumbShowOnMain(const std::shared_ptr<PdfThumbRequest>& request, const gfx::Image& image);

// Keeps finished pictures as PNG files, one at a time on a thread of its own, so drawing goes
// on while they are written. A picture waiting for its write is still found by its path.
class PdfThumbWriter {
public:
    static PdfThumbWriter& sharedInstance();
    void write(const std::string& path, const gfx::Image& image);
    // The picture waiting to be written at this path; none when there is none.
    gfx::Image pendingImage(const std::string& path) const;
    void waitUntilIdle();
    // Writes what waits, then takes nothing more and joins its thread; answers what it dropped.
    size_t stop();
    base::OperationQueue& queue() { return m_queue; }

private:
    PdfThumbWriter();
    void drain();
    static bool writeFile(const std::string& path, const gfx::Image& image);

    struct Pending {
        gfx::Image image;
        uint64_t sequence = 0;
    };
    mutable std::mutex m_mutex;
    std::map<std::string, Pending> m_pending;
    std::deque<std::string> m_order;
    uint64_t m_sequence = 0;
    bool m_draining = false;
    base::OperationQueue m_queue;
};
