#include "Platform/Pdf/Engine/PageWorkerServer.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/Engine/PageCost.h"
#include "Platform/Pdf/Engine/PopplerDocument.h"
#include "Platform/Pdf/PageWorkerProtocol.h"

#include <algorithm>
#include <cmath>
#include <cairo.h>
#include <cstring>
#include <map>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pdf {
namespace {

using engine::Document;
using engine::Page;
using worker::Answer;

// The last document asked for stays open with a few of its pages: tiles of one page come in
// runs.
struct OpenDocument {
    std::string path;
    std::optional<std::string> password;
    timespec modified{};
    off_t size = 0;
    std::shared_ptr<Document> document;
    std::map<int, std::shared_ptr<Page>> pages;
};

bool sameVersion(const OpenDocument& open, const struct stat& st)
{
    return open.modified.tv_sec == st.st_mtim.tv_sec && open.modified.tv_nsec == st.st_mtim.tv_nsec &&
           open.size == st.st_size;
}

// The document at the path, opened again when it is another file or has changed.
Answer documentOf(OpenDocument& open, const std::string& path, const std::optional<std::string>& password)
{
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        open = OpenDocument{};
        return Answer::NotRead;
    }
    if (open.document && open.path == path && open.password == password && sameVersion(open, st))
        return Answer::Done;
    open = OpenDocument{};
    auto result = Document::open(path, password);
    if (result.status != Document::Status::Opened)
        return result.status == Document::Status::Locked ? Answer::Locked : Answer::NotRead;
    open.path = path;
    open.password = password;
    open.modified = st.st_mtim;
    open.size = st.st_size;
    open.document = std::move(result.document);
    return Answer::Done;
}

std::shared_ptr<Page> pageOf(OpenDocument& open, const std::string& path, const std::optional<std::string>& password,
                             int number)
{
    if (documentOf(open, path, password) != Answer::Done)
        return nullptr;
    // What drawing keeps for the next tiles is kept for one page only.
    for (auto& [other, kept] : open.pages)
        if (other != number)
            kept->forgetDrawing();
    auto found = open.pages.find(number);
    if (found != open.pages.end())
        return found->second;
    auto page = open.document->page(number);
    if (!page)
        return nullptr;
    if (open.pages.size() >= 4)
        open.pages.erase(open.pages.begin());
    open.pages[number] = page;
    return page;
}

// The page's box and size from the drawing library, its rotation from `geometries` (pages 1..,
// read from the file's own objects, which the drawing reads anyway) or, where the page tree
// cannot be read that way, from the library too.
worker::PageDescription describe(const Page& page, const std::vector<PageGeometry>& geometries)
{
    worker::PageDescription d;
    gfx::Rect box = page.box();
    d.box[0] = box.x(), d.box[1] = box.y(), d.box[2] = box.width(), d.box[3] = box.height();
    d.size[0] = page.size().width, d.size[1] = page.size().height;
    size_t index = size_t(page.number() - 1);
    d.rotation = int32_t(index < geometries.size() ? geometries[index].rotation : page.rotation());
    return d;
}

// The same from the file's own objects alone: the drawing library reads each page object in
// full, which for a long document costs more than the rest of its opening.
worker::PageDescription describe(const PageGeometry& page)
{
    worker::PageDescription d;
    std::copy(std::begin(page.box), std::end(page.box), d.box);
    bool turned = page.rotation == 90 || page.rotation == 270;
    d.size[0] = turned ? page.box[3] : page.box[2];
    d.size[1] = turned ? page.box[2] : page.box[3];
    d.rotation = page.rotation;
    return d;
}

bool sameDescription(const worker::PageDescription& a, const worker::PageDescription& b)
{
    auto near = [](double x, double y) { return std::abs(x - y) <= 1e-6 * std::max(1.0, std::abs(x)); };
    return near(a.box[0], b.box[0]) && near(a.box[1], b.box[1]) && near(a.box[2], b.box[2]) &&
           near(a.box[3], b.box[3]) && near(a.size[0], b.size[0]) && near(a.size[1], b.size[1]) &&
           a.rotation == b.rotation;
}

gfx::AffineTransform transformOf(const double m[6])
{
    return gfx::AffineTransform{m[0], m[1], m[2], m[3], m[4], m[5]};
}

void drawPage(const worker::Request& request, unsigned char* mapped, Page& page)
{
    int stride = request.width * 4;
    int x = std::clamp(request.region[0], 0, request.width), y = std::clamp(request.region[1], 0, request.height);
    int w = std::clamp(request.region[2], 0, request.width - x), h = std::clamp(request.region[3], 0, request.height - y);
    int clear = request.onPaper ? 0xff : 0; // opaque white, or nothing
    for (int row = y; row < y + h; ++row)
        std::memset(mapped + size_t(row) * size_t(stride) + size_t(x) * 4, clear, size_t(w) * 4);
    // The caller's bitmap's twin: the page draws as it would there.
    auto context = gfx::Context::createBitmapOver(mapped, request.width, request.height, stride,
                                                  request.deviceScale[0], request.deviceScale[1]);
    if (!context)
        return;
    cairo_t* cr = context->cairo();
    cairo_surface_set_device_offset(cairo_get_target(cr), request.deviceOffset[0], request.deviceOffset[1]);
    cairo_matrix_t ctm;
    cairo_matrix_init(&ctm, request.ctm[0], request.ctm[1], request.ctm[2], request.ctm[3], request.ctm[4],
                      request.ctm[5]);
    cairo_set_matrix(cr, &ctm);
    cairo_rectangle(cr, request.clip[0], request.clip[1], request.clip[2], request.clip[3]);
    cairo_clip(cr);
    page.draw(*context, transformOf(request.pageToContext));
    cairo_surface_flush(cairo_get_target(cr));
}

// Answers one request; the payload goes into `out`.
Answer answer(const worker::Request& request, const std::string& path, const std::optional<std::string>& password,
              OpenDocument& open, unsigned char* mapped, worker::PayloadWriter& out)
{
    using worker::Ask;
    if (request.ask == Ask::Open) {
        Answer opened = documentOf(open, path, password);
        if (opened != Answer::Done)
            return opened;
        int count = open.document->pageCount();
        out.put(int32_t(count));
        // Every page the screens may show first, in one answer: the application never asks
        // for these again.
        std::vector<worker::PageDescription> described;
        int describing = std::min(count, int(worker::kPagesDescribedAtOpen));
        std::vector<PageGeometry> geometries = pageGeometries(path, size_t(describing));
        // Page 1 is drawn next: the library's reading of it, kept for that, tells whether the
        // file's own objects say what the library reads.
        bool ownObjectsHold = false;
        if (describing > 0 && !geometries.empty() && geometries[0].boxRead)
            if (auto first = pageOf(open, path, password, 1))
                ownObjectsHold = sameDescription(describe(*first, geometries), describe(geometries[0]));
        for (int number = 1; number <= describing; ++number) {
            size_t index = size_t(number - 1);
            if (ownObjectsHold && index < geometries.size() && geometries[index].boxRead) {
                described.push_back(describe(geometries[index]));
                continue;
            }
            auto page = open.document->page(number);
            if (!page)
                break;
            described.push_back(describe(*page, geometries));
        }
        out.put(uint32_t(described.size()));
        for (const auto& each : described)
            out.put(each);
        return opened;
    }
    auto page = pageOf(open, path, password, request.page);
    if (!page)
        return Answer::NotRead;
    switch (request.ask) {
    case Ask::Page:
        out.put(describe(*page, pageGeometries(path, size_t(request.page))));
        break;
    case Ask::Links: {
        auto links = page->links(gfx::AffineTransform{});
        out.put(uint32_t(links.size()));
        for (const auto& link : links) {
            for (double v : {link.area.x(), link.area.y(), link.area.width(), link.area.height()})
                out.put(v);
            out.put(int32_t(link.target.kind));
            out.put(int32_t(link.target.page));
            out.putString(link.target.url);
        }
        break;
    }
    case Ask::Text:
        out.putString(page->text());
        break;
    case Ask::Draw:
        if (request.width > 0 && request.height > 0)
            drawPage(request, mapped, *page);
        break;
    default:
        return Answer::NotRead;
    }
    return Answer::Done;
}

} // namespace

void runPageWorker()
{
    // Started ahead of need, the worker is ready by the time a page is asked of it.
    engine::warmUpDrawing();
    OpenDocument open;
    unsigned char* mapped = nullptr;
    size_t mappedBytes = 0;
    // Pixels shared ahead are made ready now rather than page by page as the first is drawn.
    struct stat shared {};
    if (fstat(worker::kPixelsFd, &shared) == 0 && shared.st_size > 0) {
        void* at = mmap(nullptr, size_t(shared.st_size), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE,
                        worker::kPixelsFd, 0);
        if (at != MAP_FAILED) {
            mapped = static_cast<unsigned char*>(at);
            mappedBytes = size_t(shared.st_size);
        }
    }
    worker::Reply ready;
    ready.answer = worker::Answer::Ready;
    ready.payloadBytes = 0;
    if (send(worker::kSocketFd, &ready, sizeof ready, MSG_NOSIGNAL) != ssize_t(sizeof ready))
        _exit(0);
    std::vector<char> message(sizeof(worker::Request) + 2 * worker::kMaxPathBytes);
    for (;;) {
        ssize_t got = recv(worker::kSocketFd, message.data(), message.size(), 0);
        if (got <= 0)
            _exit(0); // the application closed its end, or went away
        worker::Request request;
        if (size_t(got) < sizeof request)
            _exit(2);
        std::memcpy(&request, message.data(), sizeof request);
        if (request.magic != worker::kMagic || request.pathBytes > worker::kMaxPathBytes ||
            request.passwordBytes > worker::kMaxPathBytes ||
            size_t(got) != sizeof request + request.pathBytes + request.passwordBytes || request.width < 0 ||
            request.height < 0 ||
            (request.ask == worker::Ask::Draw && request.sharedBytes < uint64_t(request.width) * uint64_t(request.height) * 4))
            _exit(2);
        std::string path(message.data() + sizeof request, request.pathBytes);
        std::optional<std::string> password;
        if (request.hasPassword)
            password = std::string(message.data() + sizeof request + request.pathBytes, request.passwordBytes);

        worker::Reply reply;
        if (request.sharedBytes != mappedBytes) {
            if (mapped)
                munmap(mapped, mappedBytes);
            mapped = nullptr;
            mappedBytes = 0;
            if (request.sharedBytes > 0) {
                void* at = mmap(nullptr, request.sharedBytes, PROT_READ | PROT_WRITE, MAP_SHARED, worker::kPixelsFd, 0);
                if (at == MAP_FAILED)
                    _exit(worker::kExitOverLimit);
                mapped = static_cast<unsigned char*>(at);
                mappedBytes = request.sharedBytes;
            }
        }
        worker::PayloadWriter payload;
        reply.answer = answer(request, path, password, open, mapped, payload);
        const std::string& bytes = payload.bytes();
        reply.payloadBytes = uint32_t(std::min<size_t>(bytes.size(), worker::kMaxPayloadBytes));
        if (send(worker::kSocketFd, &reply, sizeof reply, MSG_NOSIGNAL) != ssize_t(sizeof reply))
            _exit(0);
        for (size_t at = 0; at < reply.payloadBytes; at += worker::kPieceBytes) {
            size_t piece = std::min<size_t>(worker::kPieceBytes, reply.payloadBytes - at);
            if (send(worker::kSocketFd, bytes.data() + at, piece, MSG_NOSIGNAL) != ssize_t(piece))
                _exit(0);
        }
    }
}

} // namespace pdf
