#pragma once
#include "Platform/UI/AlertView.h"
#include "Platform/UI/TableViewCell.h"
#include "Platform/UI/TextField.h"

#include <memory>
#include <optional>
#include <string>

class QuoteOrderItemEntity;
class QuoteOrderItemsTableViewCell;
class QVTextField;
namespace ui {
class Button;
class Label;
}

// What the order editor hears from a line row; the tag is the row's view tag.
class QuoteOrderItemDelegate {
public:
    virtual ~QuoteOrderItemDelegate() = default;
    virtual void tapSKU(int tag) {}
    virtual void tapImage(int tag) {}
    virtual void QuoteOrderItemCellBeginEdit(QuoteOrderItemsTableViewCell& cell) {}
    virtual void QuoteOrderItemCellChanged(QuoteOrderItemsTableViewCell& cell) {}
};

// One order line in the editor: thumbnail, name, SKU, attributes, list price, and the
// quantity, rate and discounted price fields, which write straight into the order's line.
class QuoteOrderItemsTableViewCell : public ui::TableViewCell, public ui::TextFieldDelegate, public ui::AlertViewDelegate {
public:
    static constexpr const char* kReuseIdentifier = "QuoteOrderItemsTableViewCell";
    // Content x positions shrink by this much while the table shows its delete controls.
    static constexpr double kIndentFactor = 0.932;

    QuoteOrderItemsTableViewCell(ui::TableViewCellStyle style = ui::TableViewCellStyle::Default,
                                 std::string reuseIdentifier = kReuseIdentifier);
    const char* className() const override { return "QuoteOrderItemsTableViewCell"; }

    const std::shared_ptr<QuoteOrderItemEntity>& quoteOrderItem() const { return m_quoteOrderItem; }
    void setQuoteOrderItem(std::shared_ptr<QuoteOrderItemEntity> line);
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool readOnly);
    bool couldModifyPrice() const { return m_couldModifyPrice; }
    void setCouldModifyPrice(bool could);
    void setIsNullPrice(bool isNull);
    void indentCellContent();
    void unindentCellContent();
    // Width and place of the discounted price field and its sign, from the field's text.
    void placeDiscountPriceField();

    QuoteOrderItemDelegate* delegate() const { return m_delegate; }
    void setDelegate(QuoteOrderItemDelegate* delegate) { m_delegate = delegate; }
    const std::optional<std::string>& editingFieldOldValue() const { return m_editingFieldOldValue; }
    // The line's field being typed in, if any.
    QVTextField* editingField() const;
    // Ends the typing as Return does. NO when the check refuses the text: its alert shows and
    // the field stays in edit. Quietly (the program's end, a logout it cannot stop) nothing is
    // shown or asked: a refused text or a quantity of 0 gives the field back its text from
    // before, and the line stays as it was.
    bool takeTyping(bool quiet);

    ui::Button& imageImageView() const { return *m_imageImageView; }
    ui::Label& nameLabel() const { return *m_nameLabel; }
    ui::Label& skuLabel() const { return *m_skuLabel; }
    ui::Label& attributesLabel() const { return *m_attributesLabel; }
    ui::Label& priceLabel() const { return *m_priceLabel; }
    ui::Label& lblPercentFlag() const { return *m_lblPercentFlag; }
    ui::Label& lblDiscountCurrency() const { return *m_lblDiscountCurrency; }
    ui::Label& subTotalLabel() const { return *m_subTotalLabel; }
    QVTextField& quantityTextField() const { return *m_quantityTextField; }
    QVTextField& txtDiscountRat() const { return *m_txtDiscountRat; }
    QVTextField& txtDiscountPrice() const { return *m_txtDiscountPrice; }

    void textFieldDidBeginEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;

private:
    std::shared_ptr<QVTextField> makeField(const gfx::Rect& frame, gfx::TextAlignment alignment);
    void setFieldEditable(QVTextField& field, bool editable, double x);
    std::string sign() const;
    bool editablePrice() const { return !m_readOnly && m_couldModifyPrice; }

    std::shared_ptr<ui::Button> m_imageImageView;
    std::shared_ptr<ui::Label> m_nameLabel, m_skuLabel, m_attributesLabel, m_priceLabel, m_lblPercentFlag,
        m_lblDiscountCurrency, m_subTotalLabel;
    std::shared_ptr<QVTextField> m_quantityTextField, m_txtDiscountRat, m_txtDiscountPrice;
    std::shared_ptr<QuoteOrderItemEntity> m_quoteOrderItem;
    std::optional<std::string> m_editingFieldOldValue;
    bool m_readOnly = false;
    bool m_couldModifyPrice = false;
    QuoteOrderItemDelegate* m_delegate = nullptr;
};
