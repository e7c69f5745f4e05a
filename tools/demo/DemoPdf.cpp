#include "DemoPdf.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"

namespace demo {

namespace {

constexpr gfx::Size kPage{595, 842}; // A4 in points
constexpr double kMargin = 56;

gfx::Color accentOf(const base::Value& v, gfx::Color fallback)
{
    auto c = gfx::Color::fromHex(v.toString());
    return c ? *c : fallback;
}

void footer(gfx::Context& ctx, const std::string& company, int page)
{
    ctx.setFillColor(gfx::Color::fromWhite(0.85));
    ctx.fillRect({kMargin, kPage.height - 48, kPage.width - 2 * kMargin, 0.8});
    ctx.drawText(company, {kMargin, kPage.height - 40, 300, 16}, gfx::Font::systemFont(9), gfx::Color::fromWhite(0.45));
    ctx.drawText(std::to_string(page), {kPage.width - kMargin - 60, kPage.height - 40, 60, 16}, gfx::Font::systemFont(9),
                 gfx::Color::fromWhite(0.45), gfx::TextAlignment::Right);
}

} // namespace

bool writeCatalogue(const std::string& path, const base::Value& tenant, const std::string& title,
                    const std::function<gfx::Image(const std::string&)>& picture,
                    const std::function<std::string(double)>& price)
{
    auto ctx = gfx::Context::createPdf(path);
    std::string company = tenant["company"].toString();
    const base::Array& categories = tenant["categories"].asArray();
    const base::Array& products = tenant["products"].asArray();
    gfx::Color accent = accentOf(categories.empty() ? base::Value() : categories.front()["color"], gfx::Color::fromRgb(40, 60, 90));

    // Cover.
    ctx->beginPage(kPage);
    ctx->fillLinearGradient({0, 0, kPage.width, kPage.height}, {0, 0}, {kPage.width, kPage.height},
                            {{0, accent}, {1, gfx::Color::fromRgb(20, 24, 32)}});
    ctx->drawText(company, {kMargin, 120, kPage.width - 2 * kMargin, 40}, gfx::Font::systemFont(20),
                  gfx::Color::white().withAlpha(0.85));
    ctx->drawText(title, {kMargin, 170, kPage.width - 2 * kMargin, 140}, gfx::Font::boldSystemFont(40), gfx::Color::white(),
                  gfx::TextAlignment::Left, gfx::LineBreakMode::WordWrap, 3);
    int shown = 0;
    for (const auto& p : products) {
        if (shown == 3)
            break;
        gfx::Image img = picture(p["product_sku"].toString());
        if (img)
            ctx->drawImage(img, {kMargin + shown * 165.0, 420, 150, 150});
        ++shown;
    }
    ctx->endPage();

    int page = 1;
    for (const auto& cat : categories) {
        int id = static_cast<int>(cat["category_id"].toInt());
        std::vector<const base::Value*> inCategory;
        for (const auto& p : products)
            for (const auto& c : p["categories"].asArray())
                if (c.toInt() == id)
                    inCategory.push_back(&p);
        if (inCategory.empty())
            continue;
        for (size_t start = 0; start < inCategory.size(); start += 3) {
            ctx->beginPage(kPage);
            ++page;
            gfx::Color catColor = accentOf(cat["color"], accent);
            ctx->setFillColor(catColor);
            ctx->fillRect({0, 0, kPage.width, 8});
            ctx->drawText(cat["category_name"].toString(), {kMargin, 40, kPage.width - 2 * kMargin, 34},
                          gfx::Font::boldSystemFont(24), catColor);
            double y = 100;
            for (size_t i = start; i < std::min(start + 3, inCategory.size()); ++i) {
                const base::Value& p = *inCategory[i];
                gfx::Image img = picture(p["product_sku"].toString());
                if (img)
                    ctx->drawImage(img, {kMargin, y, 170, 170});
                double x = kMargin + 190, w = kPage.width - x - kMargin;
                ctx->drawText(p["product_name"].toString(), {x, y, w, 24}, gfx::Font::boldSystemFont(16), gfx::Color::black());
                ctx->drawText(p["product_sku"].toString(), {x, y + 24, w, 16}, gfx::Font::systemFont(10),
                              gfx::Color::fromWhite(0.45));
                double amount = p["price"].toDouble(-1);
                ctx->drawText(amount < 0 ? std::string("—") : price(amount), {x, y + 44, w, 20},
                              gfx::Font::boldSystemFont(14), catColor);
                ctx->drawText(p["product_l_desc"].toString(), {x, y + 70, w, 96}, gfx::Font::systemFont(11),
                              gfx::Color::fromWhite(0.2), gfx::TextAlignment::Left, gfx::LineBreakMode::WordWrap, 6);
                y += 215;
            }
            footer(*ctx, company, page);
            ctx->endPage();
        }
    }
    return !ctx->close();
}

bool writeGuide(const std::string& path, const std::string& company, const std::string& title, const base::Value& sections,
                gfx::Color accent)
{
    auto ctx = gfx::Context::createPdf(path);
    double width = kPage.width - 2 * kMargin;
    double bottom = kPage.height - 70;
    int page = 1;
    ctx->beginPage(kPage);
    ctx->setFillColor(accent);
    ctx->fillRect({0, 0, kPage.width, 150});
    ctx->drawText(company, {kMargin, 40, width, 20}, gfx::Font::systemFont(12), gfx::Color::white().withAlpha(0.85));
    ctx->drawText(title, {kMargin, 64, width, 70}, gfx::Font::boldSystemFont(28), gfx::Color::white(),
                  gfx::TextAlignment::Left, gfx::LineBreakMode::WordWrap, 2);
    double y = 190;
    gfx::Font headFont = gfx::Font::boldSystemFont(16), bodyFont = gfx::Font::systemFont(12);
    for (const auto& section : sections.isArray() ? sections.asArray() : base::Array{}) {
        std::string heading = section["heading"].toString(), text = section["text"].toString();
        gfx::Size textSize = gfx::sizeOfText(text, bodyFont, {width, 10000}, gfx::LineBreakMode::WordWrap);
        // Each section starts on a fresh page when it would not fit, so the guides run to
        // several pages the way printed ones do.
        if (y + 30 + textSize.height > bottom || y > 190 + 220) {
            footer(*ctx, company, page);
            ctx->endPage();
            ctx->beginPage(kPage);
            ++page;
            y = kMargin;
        }
        ctx->drawText(heading, {kMargin, y, width, 24}, headFont, accent);
        y += 28;
        ctx->drawText(text, {kMargin, y, width, textSize.height + 4}, bodyFont, gfx::Color::fromWhite(0.15),
                      gfx::TextAlignment::Left, gfx::LineBreakMode::WordWrap);
        y += textSize.height + 24;
    }
    footer(*ctx, company, page);
    ctx->endPage();
    return !ctx->close();
}

} // namespace demo
