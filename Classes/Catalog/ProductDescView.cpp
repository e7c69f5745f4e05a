#include "Classes/Catalog/ProductDescView.h"

#include "Common/Language.h"
#include "Platform/Graphics/Context.h"

namespace {

gfx::AttributedString g_descriptionHeader;
gfx::AttributedString g_longDescriptionHeader;

gfx::Color headingColor()
{
    return gfx::Color::fromWhite(0.5);
}

} // namespace

AttributedStringView::AttributedStringView(const gfx::Rect& frame, gfx::AttributedString text)
    : View(frame), m_text(std::move(text))
{
    ProductDescView::rebuildHeaders();
    setBackgroundColor(gfx::Color::white());
}

void AttributedStringView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    context.drawAttributedText(m_text, bounds());
}

std::shared_ptr<NODescriptionView> NODescriptionView::create(const gfx::Rect& frame)
{
    auto view = std::make_shared<NODescriptionView>(frame);
    LanguageManager::sharedInstance()->registerLanugageNotification(view);
    return view;
}

NODescriptionView::NODescriptionView(const gfx::Rect& frame) : View(frame)
{
    m_noDescriptionLabel = std::make_shared<ui::Label>(gfx::Rect(0, 50, frame.width(), 50));
    m_noDescriptionLabel->setBackgroundColor(std::nullopt);
    m_noDescriptionLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_noDescriptionLabel->setTextColor(gfx::Color::fromWhite(0.5));
    addSubview(m_noDescriptionLabel);
    notifiChangelanguage();
}

NODescriptionView::~NODescriptionView()
{
    LanguageManager::sharedInstance()->unRegisterLanugageNotification(this);
}

void NODescriptionView::notifiChangelanguage()
{
    m_noDescriptionLabel->setText(Language::stringWithName("NODESCRIPTION"));
    bool chinese = LanguageManager::sharedInstance()->currentLanguage() == 2;
    m_noDescriptionLabel->setFont(gfx::Font("Zapfino", chinese ? 35 : 25));
}

ProductDescView::ProductDescView(const gfx::Rect& frame) : ScrollView(frame)
{
    rebuildHeaders();
}

void ProductDescView::rebuildHeaders()
{
    gfx::Font font = headerFont();
    g_descriptionHeader = gfx::AttributedString(Language::stringWithName("DESCRIPTION") + ":\n", font, headingColor());
    g_longDescriptionHeader = gfx::AttributedString("\n" + Language::stringWithName("DETAILS") + ":\n", font, headingColor());
}

const gfx::AttributedString& ProductDescView::descriptionHeader()
{
    return g_descriptionHeader;
}

const gfx::AttributedString& ProductDescView::longDescriptionHeader()
{
    return g_longDescriptionHeader;
}

void ProductDescView::setShortDesc(const std::optional<std::string>& text)
{
    m_shortDesc = text;
    markDirty();
}

void ProductDescView::setLongDesc(const std::optional<std::string>& text)
{
    m_longDesc = text;
    markDirty();
}

void ProductDescView::updateLanguage()
{
    rebuildHeaders();
    if (m_contentView) {
        m_contentView->removeFromSuperview();
        m_contentView.reset();
    }
    markDirty();
}

void ProductDescView::markDirty()
{
    m_descIsDrity = true;
    setNeedsLayout();
    setNeedsDisplay();
}

void ProductDescView::buildAttributedDesc()
{
    m_descIsDrity = false;
    gfx::AttributedString text;
    gfx::Font body = normalFont();
    if (m_shortDesc && !m_shortDesc->empty()) {
        text.append(g_descriptionHeader);
        text.append(*m_shortDesc + "\n", body, gfx::Color::black());
    }
    if (m_longDesc && !m_longDesc->empty()) {
        text.append(g_longDescriptionHeader);
        text.append(*m_longDesc, body, gfx::Color::black());
    }
    m_attributedDesc = std::move(text);
}

void ProductDescView::layoutSubviews()
{
    ScrollView::layoutSubviews();
    if (m_descIsDrity || bounds().width() != m_builtWidth)
        rebuildContent();
}

void ProductDescView::rebuildContent()
{
    if (m_descIsDrity)
        buildAttributedDesc();
    m_builtWidth = bounds().width();
    if (m_contentView) {
        m_contentView->removeFromSuperview();
        m_contentView.reset();
    }
    setScrollEnabled(false);
    gfx::Rect box = bounds();
    if (m_attributedDesc && !m_attributedDesc->empty()) {
        gfx::Size suggested = gfx::suggestedSizeOfAttributedText(*m_attributedDesc, box.width() - 4);
        if (suggested.height > box.height()) {
            setScrollEnabled(true);
            setContentSize(suggested);
        } else {
            setContentSize(box.size);
        }
        auto view = std::make_shared<AttributedStringView>(
            gfx::Rect(box.x(), box.y() - 3, suggested.width, suggested.height), *m_attributedDesc);
        view->setBackgroundColor(std::nullopt);
        m_contentView = view;
    } else {
        setContentSize(box.size);
        m_contentView = NODescriptionView::create(
            gfx::Rect(box.x() + 2, box.y() + 2, box.width() - 4, box.height() - 4));
    }
    addSubview(m_contentView);
}
