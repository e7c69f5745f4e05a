#pragma once
#include "Platform/Graphics/AffineTransform.h"
#include "Platform/Graphics/Geometry.h"
#include "Platform/Pdf/Link.h"
#include "Platform/Pdf/PageWorkerProtocol.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace gfx {
class Context;
}

namespace pdf {

// What asking a worker came to: answered (drawn); over a limit (memory, time), so the page is
// refused at that size; the worker crashed on the file (damaged); stopped because its document
// or the application is closing; or not answered because no worker could be had or the worker
// could not read the document or page.
enum class DrawOutcome { Drawn, TooCostly, Damaged, Stopped, Failed };

struct DocumentState;

// A page of `page` points (upright) into `into`: scaled to fit with the aspect ratio kept and
// centred. The same for the application and the workers that draw for it.
gfx::AffineTransform fitTransform(const gfx::Size& page, const gfx::Rect& into);

// One page of an open document. Its box, size and rotation came in one answer of a page
// worker (the document's opening, or a question about this page); everything else is asked of
// a worker when called. Any thread.
class Page {
public:
    Page(const Page&) = delete;
    Page& operator=(const Page&) = delete;
    int number() const { return m_number; }
    // The crop box within the media box, in PDF units (y up, unrotated).
    gfx::Rect box() const { return m_box; }
    // The page's /Rotate, one of 0, 90, 180, 270.
    int rotation() const { return m_rotation; }
    // The box with the rotation applied (width and height exchanged at 90 and 270).
    gfx::Size size() const { return m_size; }

    // The transform from the upright page (points, y down, origin at its top left) into
    // `into`: scaled to fit with the aspect ratio kept and centred.
    gfx::AffineTransform fitTransform(const gfx::Rect& into) const;
    // Draws the upright page fitted into `into`, or under the given page-to-context transform
    // (tiles), into a bitmap context: by a worker under its limits, within the context's clip.
    DrawOutcome draw(gfx::Context& context, const gfx::Rect& into) const;
    DrawOutcome draw(gfx::Context& context, const gfx::AffineTransform& pageToContext) const;
    DrawOutcome drawInWorker(gfx::Context& context, const gfx::Rect& into) const { return draw(context, into); }
    DrawOutcome drawInWorker(gfx::Context& context, const gfx::AffineTransform& pageToContext) const
    {
        return draw(context, pageToContext);
    }
    // The same on white paper: the context's clip is made paper with the page drawn on it,
    // whatever lay there (a tile's or a thumbnail's own bitmap).
    DrawOutcome drawOnPaper(gfx::Context& context, const gfx::Rect& into) const;
    // The same for a stand-in (a tile drawn again at a lower level): over a limit, it refuses
    // only itself, never the level it was drawn at.
    DrawOutcome drawStandIn(gfx::Context& context, const gfx::Rect& into) const;
    // The page's text in reading order, lines separated by newlines; empty when it cannot be had.
    std::string text() const;
    // Link annotations in document order, their areas under the page-to-view transform of
    // draw(context, into). Read once.
    std::vector<Link> links(const gfx::Rect& into) const;
    std::vector<Link> links(const gfx::AffineTransform& pageToView) const;

private:
    friend class Document;
    Page(std::shared_ptr<DocumentState> state, int number, gfx::Rect box, gfx::Size size, int rotation);

    std::shared_ptr<DocumentState> m_state;
    int m_number = 0;
    gfx::Rect m_box;
    gfx::Size m_size;
    int m_rotation = 0;
    mutable std::mutex m_mutex;
    mutable std::optional<std::vector<Link>> m_links; // upright page, points
};

// An open PDF document: the answers a page worker gave about it. Its file is never read here.
class Document {
public:
    // Damaged: opening it passed a worker's limits or crashed the worker.
    enum class Status { Opened, NotPdf, Locked, Damaged };
    struct OpenResult {
        Status status = Status::NotPdf;
        std::shared_ptr<Document> document;
    };

    // Opens without a password first, then with the given one when the document is locked.
    // The path is made absolute first. Waits for a worker's answer, which describes the first
    // pages (every page of an ordinary document): off the main thread.
    static OpenResult open(const std::string& path, const std::optional<std::string>& password = {});

    int pageCount() const { return m_pageCount; }
    // A page known without asking: described when the document opened, or answered since.
    // Nothing otherwise; never waits, so the main thread may call it.
    std::shared_ptr<Page> knownPage(int number) const;
    // 1-based; nothing outside 1..pageCount or when the page cannot be had (`outcome` tells
    // why: TooCostly when the question passed a worker's limits, refused by itself). Asks a
    // worker when the page is not known: off the main thread.
    std::shared_ptr<Page> page(int number, DrawOutcome* outcome = nullptr) const;
    // Several pages of this document in a row passed the workers' limits only to be had: a
    // page nobody waits for (a thumbnail) is not asked for any more.
    bool pagesKeepFailing() const;
    const std::string& path() const;

private:
    Document(std::shared_ptr<DocumentState> state, int pageCount);
    std::shared_ptr<Page> makePage(int number, const worker::PageDescription& described) const;
    std::shared_ptr<DocumentState> m_state;
    int m_pageCount = 0;
};

// Starts a page worker ahead of the first document, so that opening does not wait for one.
void warmUp();

} // namespace pdf
