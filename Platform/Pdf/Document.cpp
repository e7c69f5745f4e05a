#include "Platform/Pdf/Document.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Pdf/PageWorkers.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace pdf {

// What every page of a document needs to ask a worker about it.
struct DocumentState {
    std::string path;
    std::optional<std::string> password;
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
    PayloadReader reader(answered.payload);
    if (answered.outcome != DrawOutcome::Drawn || !reader.get(count))
        return result;
    result.status = Status::Opened;
    result.document = std::shared_ptr<Document>(new Document(std::move(state), std::max(0, int(count))));
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

std::shared_ptr<Page> Document::page(int number) const
{
    if (number < 1 || number > m_pageCount)
        return nullptr;
    auto answered = PageWorkers::shared().ask(Ask::Page, m_state->path, m_state->password, number);
    if (answered.outcome != DrawOutcome::Drawn)
        return nullptr;
    PayloadReader reader(answered.payload);
    double v[6];
    for (double& each : v)
        if (!reader.get(each))
            return nullptr;
    return std::shared_ptr<Page>(new Page(m_state, number, gfx::Rect(v[0], v[1], v[2], v[3]), gfx::Size{v[4], v[5]}));
}

Page::Page(std::shared_ptr<DocumentState> state, int number, gfx::Rect box, gfx::Size size)
    : m_state(std::move(state))
    , m_number(number)
    , m_box(box)
    , m_size(size)
{
}

int Page::rotation() const
{
    std::lock_guard lock(m_mutex);
    if (!m_rotation) {
        auto answered = PageWorkers::shared().ask(Ask::Rotation, m_state->path, m_state->password, m_number);
        int32_t degrees = 0;
        PayloadReader reader(answered.payload);
        if (answered.outcome != DrawOutcome::Drawn || !reader.get(degrees))
            degrees = 0;
        // Only a stopped question is asked again.
        if (answered.outcome == DrawOutcome::Stopped)
            return degrees;
        m_rotation = degrees;
    }
    return *m_rotation;
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
