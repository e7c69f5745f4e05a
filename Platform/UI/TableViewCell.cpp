#include "Platform/UI/TableViewCell.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {
constexpr double kMargin = 10;
constexpr double kAccessoryWidth = 30;
constexpr double kDetailButtonWidth = 44;
constexpr double kDeleteButtonHeight = 32;
const gfx::Color kAccessoryBlue = gfx::Color::fromRgb(50, 85, 145);
const gfx::Color kDeleteRed = gfx::Color::fromRgb(214, 46, 40);

constexpr double kDeselectFade = 0.3;

gfx::Font deleteFont()
{
    return gfx::Font::boldSystemFont(15);
}

std::vector<gfx::GradientStop> highlightStops(TableViewCellSelectionStyle style)
{
    if (style == TableViewCellSelectionStyle::Blue)
        return {{0, gfx::Color::fromRgb(5, 140, 245)}, {1, gfx::Color::fromRgb(1, 93, 230)}};
    return {{0, gfx::Color::fromWhite(0.74)}, {1, gfx::Color::fromWhite(0.6)}};
}

// The highlight of a row just deselected, fading away under the content.
class SelectionFadeView : public View {
public:
    SelectionFadeView(const gfx::Rect& frame, TableViewCellSelectionStyle style) : View(frame), m_style(style)
    {
        setUserInteractionEnabled(false);
        setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    }
    const char* className() const override { return "SelectionFade"; }
    void drawRect(gfx::Context& ctx, const gfx::Rect&) override
    {
        gfx::Rect b = bounds();
        ctx.fillLinearGradient(b, {b.x(), b.y()}, {b.x(), b.maxY()}, highlightStops(m_style));
    }

private:
    TableViewCellSelectionStyle m_style;
};
}

TableViewCell::TableViewCell(TableViewCellStyle style, std::string reuseIdentifier)
    : m_style(style), m_reuseIdentifier(std::move(reuseIdentifier))
{
    setBackgroundColor(gfx::Color::white());
    m_contentView = View::make();
    addSubview(m_contentView);
    m_imageView = View::make<ImageView>();
    m_textLabel = View::make<Label>();
    m_textLabel->setFont(gfx::Font::boldSystemFont(18));
    m_textLabel->setHighlightedTextColor(gfx::Color::white());
    m_detailTextLabel = View::make<Label>();
    m_detailTextLabel->setFont(gfx::Font::systemFont(14));
    m_detailTextLabel->setTextColor(gfx::Color::fromWhite(0.5));
    m_detailTextLabel->setHighlightedTextColor(gfx::Color::white());
    if (style == TableViewCellStyle::Value1) {
        m_textLabel->setFont(gfx::Font::boldSystemFont(17));
        m_detailTextLabel->setFont(gfx::Font::systemFont(17));
        m_detailTextLabel->setTextColor(gfx::Color::fromRgb(56, 84, 135));
        m_detailTextLabel->setTextAlignment(gfx::TextAlignment::Right);
    }
    m_detailTextLabel->setHidden(style == TableViewCellStyle::Default);
    m_contentView->addSubview(m_imageView);
    m_contentView->addSubview(m_textLabel);
    m_contentView->addSubview(m_detailTextLabel);
}

TableViewCell::~TableViewCell() = default;

void TableViewCell::setAccessoryType(TableViewCellAccessoryType type)
{
    setNeedsDisplay();
    m_accessory = type;
    setNeedsLayout();
}

void TableViewCell::setAccessoryView(std::shared_ptr<View> view)
{
    setNeedsDisplay();
    if (m_accessoryView)
        m_accessoryView->removeFromSuperview();
    m_accessoryView = std::move(view);
    if (m_accessoryView)
        addSubview(m_accessoryView);
    setNeedsLayout();
}

bool TableViewCell::isLit() const
{
    return (m_highlighted || m_selected) && m_selectionStyle != TableViewCellSelectionStyle::None;
}

void TableViewCell::setSelected(bool selected, bool animated)
{
    setNeedsDisplay();
    if (selected == m_selected)
        return;
    bool wasLit = isLit();
    m_selected = selected;
    updateLabelHighlight();
    if (animated && wasLit && !isLit())
        fadeOutHighlight();
}

void TableViewCell::fadeOutHighlight()
{
    setNeedsDisplay();
    auto fade = View::make<SelectionFadeView>(bounds(), m_selectionStyle);
    insertSubviewAtIndex(fade, 0);
    View::animate(kDeselectFade, [&fade] { fade->setAlpha(0); }, [fade](bool) { fade->removeFromSuperview(); });
}

void TableViewCell::setHighlighted(bool highlighted, bool animated)
{
    setNeedsDisplay();
    if (highlighted == m_highlighted)
        return;
    m_highlighted = highlighted;
    updateLabelHighlight();
}

void TableViewCell::setSelectedBackgroundView(std::shared_ptr<View> view)
{
    if (m_selectedBackgroundView)
        m_selectedBackgroundView->removeFromSuperview();
    m_selectedBackgroundView = std::move(view);
    if (m_selectedBackgroundView) {
        insertSubviewAtIndex(m_selectedBackgroundView, 0);
        m_selectedBackgroundView->setHidden(!isLit());
    }
    setNeedsDisplay();
}

void TableViewCell::updateLabelHighlight()
{
    setNeedsDisplay();
    bool on = (m_highlighted || m_selected) && m_selectionStyle != TableViewCellSelectionStyle::None;
    if (m_selectedBackgroundView)
        m_selectedBackgroundView->setHidden(!on);
    m_textLabel->setHighlighted(on);
    m_detailTextLabel->setHighlighted(on);
    m_imageView->setHighlighted(on);
}

void TableViewCell::setEditing(bool editing, bool animated)
{
    setNeedsDisplay();
    if (editing == m_editing)
        return;
    m_editing = editing;
    if (!editing)
        hideDeleteConfirmation();
    if (animated)
        View::animate(0.3, [this] { layoutSubviews(); });
    else
        setNeedsLayout();
}

void TableViewCell::prepareForReuse()
{
    setNeedsDisplay();
    m_selected = false;
    m_highlighted = false;
    m_editing = false;
    hideDeleteConfirmation();
    updateLabelHighlight();
    setAlpha(1);
    setNeedsLayout();
}

void TableViewCell::showDeleteConfirmation(const std::string& title, std::function<void()> onDelete)
{
    setNeedsDisplay();
    hideDeleteConfirmation();
    m_deleteButton = View::make<Button>(ButtonType::Custom);
    m_deleteButton->setTitle(title);
    m_deleteButton->setTitleColor(gfx::Color::white());
    m_deleteButton->titleLabel().setFont(deleteFont());
    m_deleteButton->setBackgroundColor(kDeleteRed);
    m_deleteButton->setCornerRadius(6);
    m_deleteButton->addTarget([onDelete = std::move(onDelete)](Control&) { onDelete(); }, ControlEventTouchUpInside);
    addSubview(m_deleteButton);
    layoutSubviews();
    m_deleteButton->setAlpha(0);
    View::animate(0.2, [this] { m_deleteButton->setAlpha(1); });
}

void TableViewCell::hideDeleteConfirmation()
{
    setNeedsDisplay();
    if (!m_deleteButton)
        return;
    m_deleteButton->removeFromSuperview();
    m_deleteButton.reset();
    setNeedsLayout();
}

void TableViewCell::layoutSubviews()
{
    setNeedsDisplay();
    double w = bounds().width(), h = bounds().height();
    bool editingControl = m_editing && m_editingStyle != TableViewCellEditingStyle::None;
    double indent = editingControl ? kEditingControlWidth : 0;
    double right = 0;
    if (m_deleteButton) {
        double bw = std::max(64.0, gfx::sizeOfText(m_deleteButton->currentTitle(), deleteFont()).width + 24);
        m_deleteButton->setFrame({w - kMargin - bw, (h - kDeleteButtonHeight) / 2, bw, kDeleteButtonHeight});
        right = bw + 2 * kMargin;
    } else if (!m_editing && m_accessoryView) {
        gfx::Size size = m_accessoryView->bounds().size;
        right = size.width + 2 * kMargin;
        m_accessoryView->setFrame({w - kMargin - size.width, (h - size.height) / 2, size.width, size.height});
    } else if (!m_editing && m_accessory != TableViewCellAccessoryType::None) {
        right = m_accessory == TableViewCellAccessoryType::DetailDisclosureButton ? kDetailButtonWidth : kAccessoryWidth;
    }
    if (m_accessoryView)
        m_accessoryView->setHidden(m_editing || m_deleteButton);
    m_contentView->setFrame({indent, 0, std::max(0.0, w - indent - right), h});

    double cw = m_contentView->bounds().width();
    double x = kMargin;
    if (!m_imageView->image().isNull()) {
        gfx::Size s = m_imageView->image().size();
        double side = std::min(h, std::max(s.width, s.height));
        double scale = std::max(s.width, s.height) > 0 ? side / std::max(s.width, s.height) : 1;
        gfx::Size fit{s.width * scale, s.height * scale};
        m_imageView->setFrame({x, (h - fit.height) / 2, fit.width, fit.height});
        x += fit.width + kMargin;
    } else {
        m_imageView->setFrame({x, 0, 0, 0});
    }
    double tw = std::max(0.0, cw - x - kMargin);
    if (m_style == TableViewCellStyle::Subtitle) {
        m_textLabel->setFrame({x, h / 2 - 22, tw, 22});
        m_detailTextLabel->setFrame({x, h / 2 + 1, tw, 18});
    } else if (m_style == TableViewCellStyle::Value1) {
        // The title keeps its natural width; the detail takes what is left, at the right.
        double title = std::min(tw, gfx::sizeOfText(m_textLabel->text(), m_textLabel->font()).width);
        double detailX = x + title + kMargin;
        m_textLabel->setFrame({x, 0, title, h});
        m_detailTextLabel->setFrame({detailX, 0, std::max(0.0, cw - kMargin - detailX), h});
    } else {
        m_textLabel->setFrame({x, 0, tw, h});
    }
}

void TableViewCell::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect box = bounds();
    double w = box.width(), h = box.height();
    bool lit = isLit();
    if (lit && !m_selectedBackgroundView)
        ctx.fillLinearGradient(box, {box.x(), box.y()}, {box.x(), box.maxY()}, highlightStops(m_selectionStyle));
    if (m_separatorColor && !m_grouped) {
        ctx.setFillColor(*m_separatorColor);
        ctx.fillRect({box.x(), box.maxY() - 1, w, 1});
    }
    if (m_editing && m_editingStyle != TableViewCellEditingStyle::None) {
        // A round control at the left: minus to delete (turned upright while the delete
        // button shows), plus to insert.
        gfx::Rect circle{box.x() + 8, box.y() + (h - 22) / 2, 22, 22};
        bool insert = m_editingStyle == TableViewCellEditingStyle::Insert;
        ctx.setFillColor(insert ? gfx::Color::fromRgb(40, 170, 60) : kDeleteRed);
        ctx.fillEllipse(circle);
        ctx.setFillColor(gfx::Color::white());
        gfx::Point c = circle.center();
        if (m_deleteButton)
            ctx.fillRect({c.x - 2, c.y - 7, 4, 14});
        else
            ctx.fillRect({c.x - 7, c.y - 2, 14, 4});
        if (insert)
            ctx.fillRect({c.x - 2, c.y - 7, 4, 14});
    }
    if (!m_editing && !m_deleteButton && !m_accessoryView && m_accessory != TableViewCellAccessoryType::None) {
        double aw = m_accessory == TableViewCellAccessoryType::DetailDisclosureButton ? kDetailButtonWidth : kAccessoryWidth;
        drawAccessory(ctx, {box.maxX() - aw, box.y(), aw, h}, lit);
    }
}

void TableViewCell::drawAccessory(gfx::Context& ctx, const gfx::Rect& area, bool inverted) const
{
    gfx::Point c = area.center();
    ctx.setLineWidth(3);
    switch (m_accessory) {
    case TableViewCellAccessoryType::DisclosureIndicator:
        ctx.setStrokeColor(inverted ? gfx::Color::white() : gfx::Color::fromWhite(0.5));
        ctx.beginPath();
        ctx.moveTo({c.x - 4, c.y - 6});
        ctx.lineTo({c.x + 2, c.y});
        ctx.lineTo({c.x - 4, c.y + 6});
        ctx.strokePath();
        break;
    case TableViewCellAccessoryType::Checkmark:
        ctx.setStrokeColor(inverted ? gfx::Color::white() : kAccessoryBlue);
        ctx.beginPath();
        ctx.moveTo({c.x - 8, c.y});
        ctx.lineTo({c.x - 3, c.y + 6});
        ctx.lineTo({c.x + 7, c.y - 8});
        ctx.strokePath();
        break;
    case TableViewCellAccessoryType::DetailDisclosureButton: {
        ctx.setFillColor(inverted ? gfx::Color::white() : gfx::Color::fromRgb(35, 110, 220));
        ctx.fillEllipse({c.x - 11, c.y - 11, 22, 22});
        ctx.setStrokeColor(inverted ? gfx::Color::fromRgb(35, 110, 220) : gfx::Color::white());
        ctx.beginPath();
        ctx.moveTo({c.x - 3, c.y - 5});
        ctx.lineTo({c.x + 2, c.y});
        ctx.lineTo({c.x - 3, c.y + 5});
        ctx.strokePath();
        break;
    }
    case TableViewCellAccessoryType::None:
        break;
    }
}

} // namespace ui
