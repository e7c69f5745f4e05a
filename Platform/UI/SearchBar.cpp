#include "Platform/UI/SearchBar.h"

#include "Platform/Graphics/Context.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

namespace ui {

namespace {
constexpr double kMargin = 8;
constexpr double kFieldHeight = 30;
constexpr double kCancelWidth = 70;

gfx::Image magnifier()
{
    auto ctx = gfx::Context::createBitmap({15, 15}, 2);
    ctx->setStrokeColor(gfx::Color::fromWhite(0.5));
    ctx->setLineWidth(2);
    ctx->strokeEllipse({1.5, 1.5, 9, 9});
    ctx->setLineWidth(2.5);
    ctx->strokeLine({9.5, 9.5}, {14, 14});
    return ctx->makeImage();
}
}

SearchBar::SearchBar() : SearchBar(gfx::Rect(0, 0, 320, kHeight))
{
}

SearchBar::SearchBar(const gfx::Rect& frame)
    : View(frame), m_field(View::make<TextField>()), m_cancel(View::make<Button>(ButtonType::RoundedRect))
{
    m_field->setBorderStyle(TextBorderStyle::RoundedRect);
    m_field->setFont(gfx::Font::systemFont(15));
    m_field->setClearButtonMode(TextFieldViewMode::WhileEditing);
    m_field->setReturnKeyType(ReturnKeyType::Search);
    m_field->setLeftView(View::make<ImageView>(magnifier()));
    m_field->setLeftViewMode(TextFieldViewMode::Always);
    m_field->setDelegate(this);
    m_field->addTarget([this](Control&) {
        if (m_delegate)
            m_delegate->searchBarTextDidChange(*this, m_field->text());
    }, ControlEventEditingChanged);
    addSubview(m_field);

    m_cancel->setTitle("Cancel");
    m_cancel->titleLabel().setFont(gfx::Font::boldSystemFont(13));
    m_cancel->setHidden(true);
    m_cancel->addTarget([this](Control&) {
        if (m_delegate)
            m_delegate->searchBarCancelButtonClicked(*this);
    }, ControlEventTouchUpInside);
    addSubview(m_cancel);
    // The field takes taps before any layout pass has reached the bar.
    layoutSubviews();
}

SearchBar::~SearchBar()
{
    m_field->setDelegate(nullptr);
}

const std::string& SearchBar::text() const
{
    return m_field->text();
}

void SearchBar::setText(const std::string& text)
{
    setNeedsDisplay();
    m_field->setText(text);
}

const std::string& SearchBar::placeholder() const
{
    return m_field->placeholder();
}

void SearchBar::setPlaceholder(const std::string& placeholder)
{
    setNeedsDisplay();
    m_field->setPlaceholder(placeholder);
}

void SearchBar::setShowsCancelButton(bool shows)
{
    setNeedsDisplay();
    m_showsCancel = shows;
    m_cancel->setHidden(!shows);
    setNeedsLayout();
}

bool SearchBar::becomeFirstResponder()
{
    return m_field->becomeFirstResponder();
}

bool SearchBar::resignFirstResponder()
{
    return m_field->resignFirstResponder();
}

void SearchBar::textFieldDidBeginEditing(TextField&)
{
    setNeedsDisplay();
    if (m_delegate)
        m_delegate->searchBarTextDidBeginEditing(*this);
}

void SearchBar::textFieldDidEndEditing(TextField&)
{
    setNeedsDisplay();
    if (m_delegate)
        m_delegate->searchBarTextDidEndEditing(*this);
}

bool SearchBar::textFieldShouldReturn(TextField&)
{
    if (m_delegate)
        m_delegate->searchBarSearchButtonClicked(*this);
    return false; // the delegate decides whether editing ends
}

void SearchBar::layoutSubviews()
{
    setNeedsDisplay();
    gfx::Rect b = bounds();
    double right = b.maxX() - kMargin;
    if (m_showsCancel) {
        m_cancel->setFrame({right - kCancelWidth, b.midY() - kFieldHeight / 2, kCancelWidth, kFieldHeight});
        right -= kCancelWidth + kMargin;
    }
    m_field->setFrame({b.x() + kMargin, b.midY() - kFieldHeight / 2, std::max(0.0, right - b.x() - kMargin), kFieldHeight});
}

void SearchBar::setBackgroundImage(const gfx::Image& image)
{
    m_backgroundImage = image;
    setNeedsDisplay();
}

void SearchBar::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    if (m_backgroundImage) {
        ctx.drawImage(m_backgroundImage, b);
        return;
    }
    ctx.fillLinearGradient(b, {b.x(), b.y()}, {b.x(), b.maxY()},
                           {{0, gfx::Color::fromRgb(214, 220, 227)}, {1, gfx::Color::fromRgb(180, 189, 200)}});
    ctx.setFillColor(gfx::Color::fromWhite(0.55));
    ctx.fillRect({b.x(), b.maxY() - 1, b.width(), 1});
}

} // namespace ui
