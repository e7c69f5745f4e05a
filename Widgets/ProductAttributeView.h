#pragma once
#include "Database/product_attribute_cell_Entity.h"
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Image.h"
#include "Platform/UI/OverlayView.h"
#include "Platform/UI/TableView.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class Button;
class Label;
}

// One labelled drop-down button per product attribute, two to a row. The chosen values make
// the order line's attribute text.
class ProductAttributeView : public ui::ScrollView, public ui::TableViewDataSource, public ui::TableViewDelegate {
public:
    static constexpr int kButtonTagBase = 5000;
    static constexpr double kListHeight = 112;
    static constexpr double kListRowHeight = 34;

    explicit ProductAttributeView(const gfx::Rect& frame);
    ~ProductAttributeView() override;
    const char* className() const override { return "ProductAttributeView"; }

    const std::vector<product_attribute_cell_Entity>& attributeAry() const { return m_attributeAry; }
    // Keeps a copy and builds the labels and buttons again.
    void setAttributeAry(const std::vector<product_attribute_cell_Entity>& attributes);
    // Presets, such as those read back from an order line; names the chooser lacks and blank
    // values are ignored.
    void setAttributeValues(const std::vector<product_attribute_cell_Entity>& values);
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    // The order-line attribute text of the choices.
    std::string attributes() const;
    // The first attribute that must still be chosen (see OrderLineAttributeText).
    std::optional<size_t> firstUnchosenAttributeIndex() const;

    std::optional<gfx::Font> attributeFont() const { return m_attributeFont; }
    void setAttributeFont(std::optional<gfx::Font> font) { m_attributeFont = std::move(font); }
    std::optional<gfx::Color> attributeColor() const { return m_attributeColor; }
    void setAttributeColor(std::optional<gfx::Color> color) { m_attributeColor = color; }
    gfx::Image bgImage() const { return m_bgImage; }
    void setBgImage(const gfx::Image& image) { m_bgImage = image; }
    gfx::Image normalImage() const { return m_normalImage; }
    void setNormalImage(const gfx::Image& image) { m_normalImage = image; }
    gfx::Image selectedImage() const { return m_selectedImage; }
    void setSelectedImage(const gfx::Image& image) { m_selectedImage = image; }

    double btnWidth = 150;
    double btnHeight = 28;
    double btnHorizontalIntervalWidth = 50;
    double btnVerticalIntervalWidth = 53;
    double arrowWidth = 24;
    double arrowHeight = 28;
    double arrowOffsetY = 0;

    // Touch handlers: a value button, and the overlay behind an open list.
    void cellClick(ui::Button& button);
    void btnBGClicked();

    // For the screens and their tests.
    const std::shared_ptr<ui::TableView>& dropDownList() const { return m_list; }
    const std::shared_ptr<ui::OverlayView>& overlay() const { return m_overlay; }
    bool isListShown() const { return m_listShown; }
    ui::Button* buttonAtIndex(size_t index) const;
    ui::Label* labelAtIndex(size_t index) const;

    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    double heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override { return kListRowHeight; }
    void didSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) override;

private:
    void rebuildButtons();
    void showChosen(size_t index);
    // Clears the list state, deselects the open button and detaches the overlay.
    void closeList(bool animated);
    ui::Button* openButton() const;

    std::vector<product_attribute_cell_Entity> m_attributeAry;
    std::optional<gfx::Font> m_attributeFont;
    std::optional<gfx::Color> m_attributeColor;
    gfx::Image m_bgImage;
    gfx::Image m_normalImage;
    gfx::Image m_selectedImage;
    bool m_readOnly = false;

    std::shared_ptr<ui::TableView> m_list;
    std::shared_ptr<ui::OverlayView> m_overlay;
    std::vector<std::shared_ptr<ui::Label>> m_labels;
    std::vector<std::shared_ptr<ui::Button>> m_buttons;
    std::vector<std::string> m_listValues;
    bool m_listShown = false;
    int m_openTag = 0;
    // Bumped at every open and close: a closing animation's end detaches only its own list.
    unsigned m_listGeneration = 0;
};
