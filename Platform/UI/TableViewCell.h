#pragma once
#include "Platform/UI/View.h"

#include <functional>
#include <memory>
#include <string>

namespace ui {

class TextField;

class Label;
class ImageView;
class Button;

// Value1: the title at the left and the detail, right-aligned, at the right of one line.
enum class TableViewCellStyle { Default, Value1, Subtitle };
enum class TableViewCellAccessoryType { None, DisclosureIndicator, DetailDisclosureButton, Checkmark };
enum class TableViewCellSelectionStyle { None, Blue, Gray };
enum class TableViewCellEditingStyle { None, Delete, Insert };

// One row of a table: an image and one or two lines of text in a content view, an accessory
// at the right, and the editing control and delete button while editing.
class TableViewCell : public View {
public:
    static constexpr double kEditingControlWidth = 38;

    TableViewCell(TableViewCellStyle style, std::string reuseIdentifier);
    ~TableViewCell() override;
    const char* className() const override { return "TableViewCell"; }

    TableViewCellStyle style() const { return m_style; }
    const std::string& reuseIdentifier() const { return m_reuseIdentifier; }
    // Custom content goes in the content view; it moves aside for editing and accessories.
    View& contentView() const { return *m_contentView; }
    Label& textLabel() const { return *m_textLabel; }
    // Shown in the subtitle and value-1 styles only.
    Label& detailTextLabel() const { return *m_detailTextLabel; }
    ImageView& imageView() const { return *m_imageView; }

    TableViewCellAccessoryType accessoryType() const { return m_accessory; }
    void setAccessoryType(TableViewCellAccessoryType type);
    // A view of the owner's in place of the accessory type, at the right, centred vertically.
    const std::shared_ptr<View>& accessoryView() const { return m_accessoryView; }
    void setAccessoryView(std::shared_ptr<View> view);
    // Shown behind the content while the cell is selected or highlighted, in place of the
    // selection style's own fill.
    const std::shared_ptr<View>& selectedBackgroundView() const { return m_selectedBackgroundView; }
    void setSelectedBackgroundView(std::shared_ptr<View> view);
    TableViewCellSelectionStyle selectionStyle() const { return m_selectionStyle; }
    void setSelectionStyle(TableViewCellSelectionStyle style) { m_selectionStyle = style; }

    bool isSelected() const { return m_selected; }
    // Deselecting animated lets the highlight fade out. Cells that recolour their own
    // content override these and call them.
    virtual void setSelected(bool selected, bool animated = false);
    bool isHighlighted() const { return m_highlighted; }
    virtual void setHighlighted(bool highlighted, bool animated = false);
    bool isEditing() const { return m_editing; }
    void setEditing(bool editing, bool animated = false);
    TableViewCellEditingStyle editingStyle() const { return m_editingStyle; }
    bool showsDeleteConfirmation() const { return m_deleteButton != nullptr; }
    Button* deleteConfirmationButton() const { return m_deleteButton.get(); }

    // A form's row: a click anywhere on the row that no control of its own takes (its label,
    // its margins) edits this field of the row, while it is shown and enabled. The cell owns
    // the field among its subviews.
    TextField* fieldForRowClicks() const { return m_fieldForRowClicks; }
    void setFieldForRowClicks(TextField* field) { m_fieldForRowClicks = field; }

    // Called before a table hands the cell out again.
    virtual void prepareForReuse();

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    friend class TableView;
    void setEditingStyle(TableViewCellEditingStyle style) { m_editingStyle = style; }
    void showDeleteConfirmation(const std::string& title, std::function<void()> onDelete);
    void hideDeleteConfirmation();
    void updateLabelHighlight();
    void drawAccessory(gfx::Context& context, const gfx::Rect& area, bool inverted) const;
    bool isLit() const;
    void fadeOutHighlight();

    TableViewCellStyle m_style;
    std::string m_reuseIdentifier;
    std::shared_ptr<View> m_contentView;
    std::shared_ptr<Label> m_textLabel;
    std::shared_ptr<Label> m_detailTextLabel;
    std::shared_ptr<ImageView> m_imageView;
    std::shared_ptr<Button> m_deleteButton;
    std::shared_ptr<View> m_selectedBackgroundView;
    std::shared_ptr<View> m_accessoryView;
    TableViewCellAccessoryType m_accessory = TableViewCellAccessoryType::None;
    TableViewCellSelectionStyle m_selectionStyle = TableViewCellSelectionStyle::Blue;
    TableViewCellEditingStyle m_editingStyle = TableViewCellEditingStyle::None;
    bool m_selected = false;
    bool m_highlighted = false;
    bool m_editing = false;
    // Set by the table: grouped rows are inset panels with their own separators.
    bool m_grouped = false;
    std::optional<gfx::Color> m_separatorColor = gfx::Color::fromWhite(0.88);
    TextField* m_fieldForRowClicks = nullptr;
};

} // namespace ui
