#include "Platform/Pdf/Document.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/PageWorkers.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>

namespace pdf {

// What every page of a document needs to ask a worker about it, and what is known of its pages.
struct DocumentState {
    std::string path;
    std::optional<std::string> password;
    std::vector<worker::PageDescription> described; // pages 1.. as the opening answered
    std::mutex mutex;
    std::map<int, worker::PageDescription> answered; // later pages, as asked
};

namespace {

using worker::Ask;
using worker::PayloadReader;

} // namespace

Document::OpenResult Document::open(const std::string& path, const std::optional<std::string>& password)
{
    OpenResult result;
    if (path.empty())
        return result;
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return result;
    auto state = std::make_shared<DocumentState>();
    state->path = absolute.lexically_normal().string();
    auto& workers = PageWorkers::shared();
    auto answered = workers.ask(Ask::Open, state->path, std::nullopt, 0);
    if (answered.outcome == DrawOutcome::Failed && answered.answer == worker::Answer::Locked) {
        if (!password) {
            result.status = Status::Locked;
            return result;
        }
        state->password = password;
        answered = workers.ask(Ask::Open, state->path, password, 0);
        if (answered.outcome == DrawOutcome::Failed && answered.answer == worker::Answer::Locked) {
            result.status = Status::Locked;
            return result;
        }
    }
    if (answered.outcome == DrawOutcome::TooCostly || answered.outcome == DrawOutcome::Damaged) {
        result.status = Status::Damaged;
        return result;
    }
    int32_t count = 0;
    uint32_t described = 0;
    PayloadReader reader(answered.payload);
    if (answered.outcome != DrawOutcome::Drawn || !reader.get(count) || !reader.get(described))
        return result;
    count = std::max(0, int(count));
    state->described.resize(std::min<size_t>({described, size_t(count), worker::kPagesDescribedAtOpen}));
    for (auto& page : state->described)
        if (!reader.get(page))
            return result;
    result.status = Status::Opened;
    result.document = std::shared_ptr<Document>(new Document(std::move(state), count));
    return result;
}

Document::Document(std::shared_ptr<DocumentState> state, int pageCount)
    : m_state(std::move(state))
    , m_pageCount(pageCount)
{
}

const std::string& Document::path() const
{
    return m_state->path;
}

std::shared_ptr<Page> Document::makePage(int number, const worker::PageDescription& d) const
{
    return std::shared_ptr<Page>(new Page(m_state, number, gfx::Rect(d.box[0], d.box[1], d.box[2], d.box[3]),
                                          gfx::Size{d.size[0], d.size[1]}, d.rotation));
}

std::shared_ptr<Page> Document::knownPage(int number) const
{
    if (number < 1 || number > m_pageCount)
        return nullptr;
    if (size_t(number) <= m_state->described.size())
        return makePage(number, m_state->described[size_t(number - 1)]);
    std::lock_guard lock(m_state->mutex);
    auto found = m_state->answered.find(number);
    return found == m_state->answered.end() ? nullptr : makePage(number, found->second);
}

std::shared_ptr<Page> Document::page(int number, DrawOutcome* outcome) const
{
    DrawOutcome ignored;
    DrawOutcome& how = outcome ? *outcome : ignored;
    how = DrawOutcome::Failed;
    if (auto known = knownPage(number)) {
        how = DrawOutcome::Drawn;
        return known;
    }
    if (number < 1 || number > m_pageCount)
        return nullptr;
    auto answered = PageWorkers::shared().ask(Ask::Page, m_state->path, m_state->password, number);
    how = answered.outcome;
    worker::PageDescription described;
    PayloadReader reader(answered.payload);
    if (answered.outcome != DrawOutcome::Drawn || !reader.get(described)) {
        if (how == DrawOutcome::Drawn)
            how = DrawOutcome::Failed;
        return nullptr;
    }
    {
        std::lock_guard lock(m_state->mutex);
        m_state->answered[number] = described;
    }
    return makePage(number, described);
}

bool Document::pagesKeepFailing() const
{
    return PageWorkers::shared().pagesKeepFailing(m_state->path);
}

Page::Page(std::shared_ptr<DocumentState> state, int number, gfx::Rect box, gfx::Size size, int rotation)
    : m_state(std::move(state))
    , m_number(number)
    , m_box(box)
    , m_size(size)
    , m_rotation(rotation)
{
}

gfx::AffineTransform fitTransform(const gfx::Size& page, const gfx::Rect& into)
{
    if (page.width <= 0 || page.height <= 0)
        return gfx::AffineTransform::translation(into.x(), into.y());
    double s = std::min(into.width() / page.width, into.height() / page.height);
    double dx = into.x() + (into.width() - page.width * s) / 2;
    double dy = into.y() + (into.height() - page.height * s) / 2;
    return gfx::AffineTransform{s, 0, 0, s, dx, dy};
}

gfx::AffineTransform Page::fitTransform(const gfx::Rect& into) const
{
    return pdf::fitTransform(m_size, into);
}

DrawOutcome Page::draw(gfx::Context& context, const gfx::Rect& into) const
{
    return draw(context, fitTransform(into));
}

DrawOutcome Page::draw(gfx::Context& context, const gfx::AffineTransform& pageToContext) const
{
    return PageWorkers::shared().draw(m_state->path, m_state->password, m_number, context, pageToContext);
}

DrawOutcome Page::drawOnPaper(gfx::Context& context, const gfx::Rect& into) const
{
    return PageWorkers::shared().draw(m_state->path, m_state->password, m_number, context, fitTransform(into),
                                      PageWorkers::Drawing::Page, PageWorkers::Backdrop::Paper);
}

DrawOutcome Page::drawStandIn(gfx::Context& context, const gfx::Rect& into) const
{
    return PageWorkers::shared().draw(m_state->path, m_state->password, m_number, context, fitTransform(into),
                                      PageWorkers::Drawing::StandIn);
}

std::string Page::text() const
{
    auto answered = PageWorkers::shared().ask(Ask::Text, m_state->path, m_state->password, m_number);
    std::string text;
    PayloadReader reader(answered.payload);
    if (answered.outcome != DrawOutcome::Drawn || !reader.getString(text))
        return {};
    return text;
}

std::vector<Link> Page::links(const gfx::Rect& into) const
{
    return links(fitTransform(into));
}

std::vector<Link> Page::links(const gfx::AffineTransform& pageToView) const
{
    std::lock_guard lock(m_mutex);
    if (!m_links) {
        auto answered = PageWorkers::shared().ask(Ask::Links, m_state->path, m_state->password, m_number);
        std::vector<Link> read;
        PayloadReader reader(answered.payload);
        uint32_t count = 0;
        if (answered.outcome == DrawOutcome::Drawn && reader.get(count)) {
            for (uint32_t i = 0; i < count; ++i) {
                double v[4];
                int32_t kind = 0, page = 0;
                std::string url;
                if (!reader.get(v[0]) || !reader.get(v[1]) || !reader.get(v[2]) || !reader.get(v[3]) ||
                    !reader.get(kind) || !reader.get(page) || !reader.getString(url))
                    break;
                LinkTarget target;
                if (kind == int32_t(LinkTarget::Kind::Url))
                    target = LinkTarget::toUrl(std::move(url));
                else if (kind == int32_t(LinkTarget::Kind::Page) && page >= 1)
                    target = LinkTarget::toPage(page);
                read.push_back(Link{gfx::Rect(v[0], v[1], v[2], v[3]), target});
            }
        }
        if (answered.outcome == DrawOutcome::Stopped)
            return {};
        m_links = std::move(read);
    }
    std::vector<Link> result;
    result.reserve(m_links->size());
    for (const auto& link : *m_links)
        result.push_back(Link{pageToView.apply(link.area), link.target});
    return result;
}

void warmUp()
{
    PageWorkers::shared().startAhead();
}

} // namespace pdf
