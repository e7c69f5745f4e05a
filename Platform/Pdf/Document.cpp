#include "Platform/Pdf/Document.h"

#include "Platform/Graphics/Context.h"

#include <poppler.h>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace pdf {

// Everything poppler hands out for one document, released together.
struct DocumentState {
    std::string path;
    std::optional<std::string> password;
    PopplerDocument* document = nullptr;
    mutable std::mutex mutex;
    int pageCount = 0;
    // The glib binding does not tell a page's /Rotate; the C++ binding does.
    std::unique_ptr<poppler::document> rotations;
    bool rotationsTried = false;
    // Every named destination, from the /Dests dictionary and the /Names tree alike: poppler's
    // own lookup stops at the dictionary when a document has one.
    GTree* dests = nullptr;

    ~DocumentState()
    {
        if (dests)
            g_tree_destroy(dests);
        if (document)
            g_object_unref(document);
    }

    int rotationOf(int index)
    {
        if (!rotationsTried) {
            rotationsTried = true;
            std::string pw = password.value_or("");
            rotations.reset(poppler::document::load_from_file(path, pw, pw));
        }
        if (!rotations)
            return 0;
        std::unique_ptr<poppler::page> page(rotations->create_page(index));
        if (!page)
            return 0;
        switch (page->orientation()) {
        case poppler::page::landscape:
            return 90;
        case poppler::page::upside_down:
            return 180;
        case poppler::page::seascape:
            return 270;
        default:
            return 0;
        }
    }
};

namespace {

struct GErrorFree {
    void operator()(GError* e) const { g_error_free(e); }
};
using ErrorRef = std::unique_ptr<GError, GErrorFree>;

std::string fileUri(const std::string& path)
{
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return {};
    char* uri = g_filename_to_uri(absolute.lexically_normal().c_str(), nullptr, nullptr);
    if (!uri)
        return {};
    std::string result(uri);
    g_free(uri);
    return result;
}

// Named destinations are looked up in the tree of all names (keys as poppler encodes them).
LinkTarget targetOfDest(DocumentState& state, PopplerDest* dest)
{
    if (!dest)
        return {};
    if (dest->type == POPPLER_DEST_NAMED) {
        if (!dest->named_dest)
            return {};
        if (!state.dests)
            state.dests = poppler_document_create_dests_tree(state.document);
        auto* found = state.dests ? static_cast<PopplerDest*>(g_tree_lookup(state.dests, dest->named_dest)) : nullptr;
        if (!found || found->type == POPPLER_DEST_NAMED)
            return {};
        return targetOfDest(state, found);
    }
    if (dest->page_num >= 1)
        return LinkTarget::toPage(dest->page_num);
    return {};
}

LinkTarget targetOfAction(DocumentState& state, PopplerAction* action)
{
    if (!action)
        return {};
    switch (action->type) {
    case POPPLER_ACTION_URI:
        if (action->uri.uri && *action->uri.uri)
            return LinkTarget::toUrl(action->uri.uri);
        return {};
    case POPPLER_ACTION_GOTO_DEST:
        return targetOfDest(state, action->goto_dest.dest);
    default:
        return {};
    }
}

} // namespace

Document::OpenResult Document::open(const std::string& path, const std::optional<std::string>& password)
{
    OpenResult result;
    if (path.empty())
        return result;
    std::string uri = fileUri(path);
    if (uri.empty())
        return result;

    GError* raw = nullptr;
    PopplerDocument* document = poppler_document_new_from_file(uri.c_str(), nullptr, &raw);
    ErrorRef error(raw);
    bool usedPassword = false;
    if (!document && error && error->domain == POPPLER_ERROR && error->code == POPPLER_ERROR_ENCRYPTED) {
        if (!password) {
            result.status = Status::Locked;
            return result;
        }
        raw = nullptr;
        document = poppler_document_new_from_file(uri.c_str(), password->c_str(), &raw);
        ErrorRef second(raw);
        if (!document) {
            result.status = Status::Locked;
            return result;
        }
        usedPassword = true;
    }
    if (!document)
        return result;

    auto state = std::make_shared<DocumentState>();
    state->path = std::filesystem::absolute(path).lexically_normal().string();
    if (usedPassword)
        state->password = password;
    state->document = document;
    int count = std::max(0, poppler_document_get_n_pages(document));
    state->pageCount = count;
    result.status = Status::Opened;
    result.document = std::shared_ptr<Document>(new Document(std::move(state)));
    return result;
}

Document::Document(std::shared_ptr<DocumentState> state)
    : m_state(std::move(state))
    , m_pageCount(m_state->pageCount)
{
}

std::mutex& Document::mutex() const
{
    return m_state->mutex;
}

std::shared_ptr<Page> Document::page(int number) const
{
    if (number < 1 || number > m_pageCount)
        return nullptr;
    std::lock_guard lock(m_state->mutex);
    // Each page object holds its own poppler page: what poppler keeps for a drawn page (its
    // text layout) goes with it, so drawing every page once does not keep every page.
    PopplerPage* page = poppler_document_get_page(m_state->document, number - 1);
    if (!page)
        return nullptr;
    return std::shared_ptr<Page>(new Page(m_state, page, number));
}

Page::~Page()
{
    std::lock_guard lock(m_state->mutex);
    g_object_unref(static_cast<PopplerPage*>(m_page));
}

Page::Page(std::shared_ptr<DocumentState> state, void* page, int number)
    : m_state(std::move(state))
    , m_page(page)
    , m_number(number)
{
    auto* p = static_cast<PopplerPage*>(m_page);
    // Poppler's crop box is already clipped to the media box.
    PopplerRectangle crop{};
    poppler_page_get_crop_box(p, &crop);
    double x1 = std::min(crop.x1, crop.x2), x2 = std::max(crop.x1, crop.x2);
    double y1 = std::min(crop.y1, crop.y2), y2 = std::max(crop.y1, crop.y2);
    m_box = gfx::Rect(x1, y1, x2 - x1, y2 - y1);
    double w = 0, h = 0;
    poppler_page_get_size(p, &w, &h);
    m_size = gfx::Size{w, h};
    m_rotation = m_state->rotationOf(number - 1);
}

gfx::AffineTransform Page::fitTransform(const gfx::Rect& into) const
{
    if (m_size.width <= 0 || m_size.height <= 0)
        return gfx::AffineTransform::translation(into.x(), into.y());
    double s = std::min(into.width() / m_size.width, into.height() / m_size.height);
    double dx = into.x() + (into.width() - m_size.width * s) / 2;
    double dy = into.y() + (into.height() - m_size.height * s) / 2;
    return gfx::AffineTransform{s, 0, 0, s, dx, dy};
}

void Page::draw(gfx::Context& context, const gfx::Rect& into) const
{
    draw(context, fitTransform(into));
}

void Page::draw(gfx::Context& context, const gfx::AffineTransform& pageToContext) const
{
    context.save();
    context.concat(pageToContext);
    {
        std::lock_guard lock(m_state->mutex);
        poppler_page_render(static_cast<PopplerPage*>(m_page), context.cairo());
    }
    context.restore();
}

std::vector<Link> Page::links(const gfx::Rect& into) const
{
    return links(fitTransform(into));
}

std::string Page::text() const
{
    std::lock_guard lock(m_state->mutex);
    char* raw = poppler_page_get_text(static_cast<PopplerPage*>(m_page));
    std::string out = raw ? raw : "";
    g_free(raw);
    return out;
}

std::vector<Link> Page::links(const gfx::AffineTransform& pageToView) const
{
    std::vector<Link> result;
    std::lock_guard lock(m_state->mutex);
    GList* mapping = poppler_page_get_link_mapping(static_cast<PopplerPage*>(m_page));
    for (GList* item = mapping; item; item = item->next) {
        auto* m = static_cast<PopplerLinkMapping*>(item->data);
        // Poppler gives the upright page with y up; views have y down.
        double left = std::min(m->area.x1, m->area.x2), right = std::max(m->area.x1, m->area.x2);
        double bottom = std::min(m->area.y1, m->area.y2), top = std::max(m->area.y1, m->area.y2);
        gfx::Rect upright(left, m_size.height - top, right - left, top - bottom);
        result.push_back(Link{pageToView.apply(upright), targetOfAction(*m_state, m->action)});
    }
    poppler_page_free_link_mapping(mapping);
    // Poppler lists the page's annotations last first.
    std::reverse(result.begin(), result.end());
    return result;
}

void warmUp()
{
    static std::once_flag once;
    std::call_once(once, [] {
        auto pdfContext = gfx::Context::createPdfInMemory();
        pdfContext->beginPage(gfx::Size{8, 8});
        pdfContext->fillRect(gfx::Rect(0, 0, 4, 4));
        pdfContext->endPage();
        if (pdfContext->close())
            return;
        const auto& bytes = pdfContext->pdfData();
        GBytes* data = g_bytes_new(bytes.data(), bytes.size());
        PopplerDocument* document = poppler_document_new_from_bytes(data, nullptr, nullptr);
        g_bytes_unref(data);
        if (!document)
            return;
        if (PopplerPage* page = poppler_document_get_page(document, 0)) {
            auto bitmap = gfx::Context::createBitmap(gfx::Size{8, 8});
            poppler_page_render(page, bitmap->cairo());
            g_object_unref(page);
        }
        g_object_unref(document);
    });
}

} // namespace pdf
