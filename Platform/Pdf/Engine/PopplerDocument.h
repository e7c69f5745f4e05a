#pragma once
#include "Platform/Graphics/AffineTransform.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Pdf/Link.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace gfx {
class Context;
}

namespace pdf::engine {

class Document;
struct DocumentState;

// One page of an open document. Every call takes the document's lock, so pages of one
// document may be used from several threads, one call at a time.
class Page {
public:
    ~Page();
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;
    int number() const { return m_number; }
    // The crop box within the media box, in PDF units (y up, unrotated).
    gfx::Rect box() const { return m_box; }
    // The page's /Rotate, one of 0, 90, 180, 270. Read when first asked: drawing needs it not
    // (the size already has it), and reading it opens the file a second time.
    int rotation() const;
    // The box with the rotation applied (width and height exchanged at 90 and 270).
    gfx::Size size() const { return m_size; }

    // The transform from the upright page (points, y down, origin at its top left) into
    // `into`: scaled to fit with the aspect ratio kept and centred.
    gfx::AffineTransform fitTransform(const gfx::Rect& into) const;
    // Draws the upright page fitted into `into`.
    void draw(gfx::Context& context, const gfx::Rect& into) const;
    // Draws the upright page under the given page-to-context transform (tiles).
    void draw(gfx::Context& context, const gfx::AffineTransform& pageToContext) const;
    // Lets go of what drawing kept for the next tiles.
    void forgetDrawing() const;
    // The page's text in reading order, lines separated by newlines.
    std::string text() const;
    // Link annotations in document order, their areas under the page-to-view transform of
    // draw(context, into).
    std::vector<Link> links(const gfx::Rect& into) const;
    std::vector<Link> links(const gfx::AffineTransform& pageToView) const;

private:
    friend class Document;
    Page(std::shared_ptr<DocumentState> state, void* page, int number);
    // Under the document's lock: whether pictures cover a quarter of the page or more.
    bool holdsLargePictures() const;
    // Draws through poppler's own rasteriser when that suits; false when it does not.
    bool drawPicturesInto(cairo_t* cr) const;
    // Draws in the bitmap's own pixels, from the page kept as drawing operations at this scale
    // when tiles of it come again; false when the bitmap or its clip do not suit.
    bool drawInPixels(cairo_t* cr) const;

    std::shared_ptr<DocumentState> m_state;
    void* m_page = nullptr; // the poppler page, a reference of our own
    int m_number = 0;
    gfx::Rect m_box;
    mutable std::optional<int> m_rotation; // guarded by the document's lock
    gfx::Size m_size;
    mutable std::optional<bool> m_largePictures; // guarded by the document's lock
    // The page as drawing operations under one scale (guarded by the document's lock): the
    // pictures decoded once for every tile of a zoom level.
    struct Recording;
    mutable std::unique_ptr<Recording> m_recording;
};

// Makes the drawing library ready (its settings, the system's font list, a text page drawn),
// so that a worker started ahead spends that before the first page is asked of it.
void warmUpDrawing();

// An open PDF document over poppler.
class Document {
public:
    enum class Status { Opened, NotPdf, Locked };
    struct OpenResult {
        Status status = Status::NotPdf;
        std::shared_ptr<Document> document;
    };

    // Opens without a password first, then with the given one when the document is locked.
    // The path is made absolute before it becomes a file URI.
    static OpenResult open(const std::string& path, const std::optional<std::string>& password = {});

    int pageCount() const { return m_pageCount; }
    // 1-based; nothing outside 1..pageCount.
    std::shared_ptr<Page> page(int number) const;
    // Held by every call that reaches poppler for this document.
    std::mutex& mutex() const;

private:
    explicit Document(std::shared_ptr<DocumentState> state);
    std::shared_ptr<DocumentState> m_state;
    int m_pageCount = 0;
};

} // namespace pdf::engine
