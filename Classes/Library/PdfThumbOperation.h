#pragma once
#include "Platform/Base/OperationQueue.h"
#include "Platform/Graphics/Image.h"

#include <atomic>
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

// The same picture to any view that still wants it, on the main loop.
void PdfThumbShowOnMain(const std::shared_ptr<PdfThumbRequest>& request, const gfx::Image& image);
