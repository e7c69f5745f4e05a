#include "Widgets/ProductAttributeView.h"

#include "Common/Language.h"
#include "Common/SkinManager.h"
#include "Database/OrderLineAttributeText.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/OverlayView.h"
#include "Platform/UI/TableViewCell.h"

#include <cmath>

namespace {

constexpr double kOverlayWidth = 1024;
constexpr double kOverlayHeight = 786;
constexpr double kListAnimation = 0.2;
const char* const kCellIdentifier = "Cell";

// A value button: the title over the bar, the arrow flush with its right end.
class AttributeButton : public ui::Button {
public:
    AttributeButton(const gfx::Rect& frame, double arrowWidth, double arrowHeight, double arrowOffsetY)
        : ui::Button(ui::ButtonType::Custom, frame), m_arrow{arrowOffsetY, arrowWidth, arrowHeight}
    {
    }
    void layoutSubviews() override
    {
        ui::Button::layoutSubviews();
        double width = bounds().width();
        imageView().setFrame({width - m_arrow.width, m_arrow.offsetY, m_arrow.width, m_arrow.height});
        // The title keeps clear of the arrow, as its insets (-arrow, 20) ask.
        titleLabel().setFrame({6, 0, std::max(0.0, width - m_arrow.width - 10), bounds().height()});
    }

private:
    struct {
        double offsetY, width, height;
    } m_arrow;
};

ui::View* topContainer(ui::View* view)
{
    while (view->superview())
        view = view->superview();
    return view;
}

} // namespace

ProductAttributeView::ProductAttributeView(const gfx::Rect& frame)
    : ui::ScrollView(frame)
{
    m_list = std::make_shared<ui::TableView>(gfx::Rect(frame.x(), frame.y(), btnWidth, 0));
    m_list->setBackgroundColor(gfx::Color::clear());
    m_list->setOpaque(false);
    m_list->setSeparatorColor(std::nullopt);
    m_list->setClipsToBounds(true);
    auto background = std::make_shared<ui::ImageView>(gfx::Rect(-5, 0, btnWidth, 0));
    background->setImage(SkinManager::skinFromImageName("dropdownviewbg.png"));
    background->setAutoresizingMask(ui::AutoresizingFlexibleHeight);
    m_list->insertSubviewAtIndex(background, 0);
    m_list->setDataSource(this);
    m_list->setDelegate(this);

    // An overlay as a popover's: a click outside the list closes it, and so does Escape; the
    // window's Up, Down and Return move through the list it holds.
    m_overlay = std::make_shared<ui::OverlayView>(gfx::Rect(kOverlayWidth, 0, kOverlayWidth, kOverlayHeight));
    m_overlay->setAutoresizingMask(ui::AutoresizingNone);
    m_overlay->setBackgroundColor(gfx::Color::clear());
    m_overlay->setOpaque(false);
    m_overlay->onTapOutside = [this] { btnBGClicked(); };

    m_bgImage = ui::imageNamed("select-bar.png");
    m_normalImage = ui::imageNamed("select-off.png");
    m_selectedImage = ui::imageNamed("select-on.png");
}

ProductAttributeView::~ProductAttributeView()
{
    // The overlay may sit on the window while a list is open; it points back at us.
    m_overlay->removeFromSuperview();
    m_list->setDataSource(nullptr);
    m_list->setDelegate(nullptr);
}

void ProductAttributeView::setAttributeAry(const std::vector<product_attribute_cell_Entity>& attributes)
{
    m_attributeAry = attributes;
    rebuildButtons();
}

void ProductAttributeView::rebuildButtons()
{
    closeList(false);
    for (auto& label : m_labels)
        label->removeFromSuperview();
    for (auto& button : m_buttons)
        button->removeFromSuperview();
    m_labels.clear();
    m_buttons.clear();

    for (size_t i = 0; i < m_attributeAry.size(); ++i) {
        auto& record = m_attributeAry[i];
        double y = (btnHeight + btnVerticalIntervalWidth) * static_cast<double>(i / 2);
        double x = (btnWidth + btnHorizontalIntervalWidth) * static_cast<double>(i % 2);

        auto label = std::make_shared<ui::Label>(gfx::Rect(x, y + 10, btnWidth, btnHeight));
        label->setBackgroundColor(gfx::Color::clear());
        label->setOpaque(false);
        label->setTextColor(gfx::Color::fromRgb(70, 70, 70));
        label->setFont(gfx::Font::boldSystemFont(16));
        label->setText(record.fieldName.value_or(""));
        addSubview(label);
        m_labels.push_back(label);

        auto button = std::make_shared<AttributeButton>(gfx::Rect(x, y + 45, btnWidth, btnHeight), arrowWidth, arrowHeight,
                                                        arrowOffsetY);
        button->setTag(kButtonTagBase + static_cast<int>(i));
        button->setEnabled(!m_readOnly);
        button->setBackgroundImage(m_bgImage, ui::ControlStateNormal);
        button->setBackgroundImage(m_bgImage, ui::ControlStateHighlighted);
        button->setImage(m_normalImage, ui::ControlStateNormal);
        button->setImage(m_normalImage, ui::ControlStateHighlighted);
        button->setImage(m_selectedImage, ui::ControlStateSelected);
        button->setImageEdgeInsets({arrowOffsetY, btnWidth - arrowWidth, 0, 0});
        button->setTitleEdgeInsets({0, -arrowWidth, 0, 20});
        button->titleLabel().setFont(gfx::Font::systemFont(16));
        button->titleLabel().setTextAlignment(gfx::TextAlignment::Center);
        button->addTarget([this](ui::Control& c) { cellClick(static_cast<ui::Button&>(c)); }, ui::ControlEventTouchUpInside);
        addSubview(button);
        m_buttons.push_back(button);

        auto values = OrderLineAttributeText::permittedValues(record.attributeList);
        if (values.size() == 1) {
            record.attributeValue = values.front();
            showChosen(i);
        } else {
            button->setTitle(Language::stringWithName("PLEASESELECT"));
            button->setTitleColor(gfx::Color::gray());
        }
    }
    double rows = std::ceil(static_cast<double>(m_attributeAry.size()) / 2);
    setContentSize({bounds().width(), rows * (btnHeight + btnVerticalIntervalWidth)});
}

void ProductAttributeView::showChosen(size_t index)
{
    auto& button = *m_buttons[index];
    button.setTitle(m_attributeAry[index].attributeValue.value_or(""));
    button.setTitleColor(m_attributeColor.value_or(gfx::Color::black()));
}

void ProductAttributeView::setAttributeValues(const std::vector<product_attribute_cell_Entity>& values)
{
    for (const auto& given : values) {
        if (OrderLineAttributeText::isBlank(given.attributeValue))
            continue;
        for (size_t i = 0; i < m_attributeAry.size(); ++i) {
            if (m_attributeAry[i].fieldName != given.fieldName)
                continue;
            m_attributeAry[i].attributeValue = given.attributeValue;
            if (i < m_buttons.size())
                showChosen(i);
        }
    }
}

void ProductAttributeView::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    for (auto& button : m_buttons)
        button->setEnabled(!readOnly);
}

std::string ProductAttributeView::attributes() const
{
    return OrderLineAttributeText::write(m_attributeAry);
}

std::optional<size_t> ProductAttributeView::firstUnchosenAttributeIndex() const
{
    return OrderLineAttributeText::firstUnchosen(m_attributeAry);
}

ui::Button* ProductAttributeView::buttonAtIndex(size_t index) const
{
    return index < m_buttons.size() ? m_buttons[index].get() : nullptr;
}

ui::Label* ProductAttributeView::labelAtIndex(size_t index) const
{
    return index < m_labels.size() ? m_labels[index].get() : nullptr;
}

ui::Button* ProductAttributeView::openButton() const
{
    return buttonAtIndex(static_cast<size_t>(m_openTag - kButtonTagBase));
}

void ProductAttributeView::cellClick(ui::Button& button)
{
    if (m_readOnly)
        return;
    size_t index = static_cast<size_t>(button.tag() - kButtonTagBase);
    if (index >= m_attributeAry.size())
        return;
    const auto& values = m_attributeAry[index].attributeList;
    if (!values) {
        // Nothing to choose from: no list opens.
        button.setSelected(false);
        return;
    }
    if (m_listShown) {
        closeList(true);
        return;
    }
    m_openTag = button.tag();
    m_listValues = OrderLineAttributeText::permittedValues(values);
    button.setSelected(true);
    m_list->reloadData();

    // The overlay goes onto the top-most container only while the list is open, so a chooser
    // given its attributes before it was placed still opens its lists.
    ui::View* container = topContainer(this);
    m_overlay->setFrame({0, 0, kOverlayWidth, kOverlayHeight});
    if (m_overlay->superview() != container) {
        m_overlay->removeFromSuperview();
        container->addSubview(m_overlay);
    }
    container->bringSubviewToFront(m_overlay.get());
    if (m_list->superview() != m_overlay.get())
        m_overlay->addSubview(m_list);
    m_overlay->bringSubviewToFront(m_list.get());
    m_listShown = true;
    ++m_listGeneration;

    gfx::Rect below = convertRectToView({button.frame().x(), button.frame().y() + btnHeight, btnWidth, 0}, m_overlay.get());
    m_list->setHidden(false);
    m_list->setFrame(below);
    ui::View::AnimationOptions options;
    options.duration = kListAnimation;
    options.curve = ui::View::AnimationOptions::Curve::Linear;
    auto list = m_list;
    ui::View::animate(options, [list, below] { list->setFrame({below.origin, {below.width(), kListHeight}}); });
}

void ProductAttributeView::closeList(bool animated)
{
    if (auto* button = openButton())
        button->setSelected(false);
    m_listShown = false;
    m_listValues.clear();
    unsigned generation = ++m_listGeneration;
    gfx::Rect shut = m_list->frame();
    shut.size.height = 0;
    if (!animated || !m_overlay->superview()) {
        m_list->setFrame(shut);
        m_overlay->removeFromSuperview();
        m_overlay->setFrame({kOverlayWidth, 0, kOverlayWidth, kOverlayHeight});
        return;
    }
    ui::View::AnimationOptions options;
    options.duration = kListAnimation;
    options.curve = ui::View::AnimationOptions::Curve::Linear;
    auto list = m_list;
    auto overlay = m_overlay;
    ui::View::animate(options, [list, shut] { list->setFrame(shut); },
                      [this, generation, overlay](bool) {
                          // Reopened meanwhile: that list keeps its overlay.
                          if (generation != m_listGeneration)
                              return;
                          overlay->removeFromSuperview();
                          overlay->setFrame({kOverlayWidth, 0, kOverlayWidth, kOverlayHeight});
                      });
}

void ProductAttributeView::btnBGClicked()
{
    closeList(false);
}

int ProductAttributeView::numberOfRowsInSection(ui::TableView&, int)
{
    return static_cast<int>(m_listValues.size());
}

std::shared_ptr<ui::TableViewCell> ProductAttributeView::cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath)
{
    auto cell = table.dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell) {
        cell = std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, kCellIdentifier);
        cell->setBackgroundColor(gfx::Color::clear());
        cell->setOpaque(false);
        auto separator = std::make_shared<ui::ImageView>(gfx::Rect(0, 34.5, btnWidth, 1));
        separator->setImage(SkinManager::skinFromImageName("viewseparateline.png"));
        separator->setBackgroundColor(gfx::Color::white());
        cell->contentView().addSubview(separator);
    }
    cell->textLabel().setFont(gfx::Font::systemFont(14));
    cell->textLabel().setBackgroundColor(gfx::Color::clear());
    size_t row = static_cast<size_t>(indexPath.row);
    cell->textLabel().setText(row < m_listValues.size() ? m_listValues[row] : std::string());
    return cell;
}

void ProductAttributeView::didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath)
{
    size_t row = static_cast<size_t>(indexPath.row);
    size_t index = static_cast<size_t>(m_openTag - kButtonTagBase);
    if (row >= m_listValues.size() || index >= m_attributeAry.size())
        return;
    m_attributeAry[index].attributeValue = m_listValues[row];
    showChosen(index);
    closeList(false);
}
