#include "Classes/Order/QuoteOrderItemsTableViewCell.h"

#include "Common/Language.h"
#include "Common/NumericInputValidator.h"
#include "Common/PublicFunction.h"
#include "Common/QVTextField.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderItemEntity.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TapGestureRecognizer.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// A quantity is a whole number the order's 32-bit field holds; anything else is refused as the
// numeric check refuses a bad text.
class QuantityInputValidator : public NumericInputValidator {
public:
    bool validateInputError(const ui::TextField* input, std::optional<InputValidationError>* error) const override
    {
        if (!NumericInputValidator::validateInputError(input, error))
            return false;
        if (std::strtod(input->text().c_str(), nullptr) <= static_cast<double>(INT_MAX))
            return true;
        if (error) {
            InputValidationError refused;
            refused.code = kErrorCode;
            refused.localizedDescription = Language::stringWithName("INPUTVALIDATIONFAILED");
            refused.localizedFailureReason = Language::stringWithName("PLEASEINPUTAPOSITIVENUMBER");
            *error = refused;
        }
        return false;
    }
};

std::string withoutCommas(const std::string& text)
{
    return PublicFunction::stringRemoveTagStrTag(text, std::string(",")).value_or(std::string());
}

double valueOf(const std::string& text)
{
    return std::strtod(withoutCommas(text).c_str(), nullptr);
}

std::string twoDecimals(double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.2f", value);
    return buffer;
}

std::shared_ptr<ui::Label> makeLabel(const gfx::Rect& frame, const gfx::Font& font)
{
    auto label = ui::View::make<ui::Label>(frame);
    label->setFont(font);
    label->setBackgroundColor(gfx::Color::clear());
    return label;
}

// The stored "name:value" lines of a line's attributes as a person reads them: "Colour: Red".
std::string readableAttributes(const std::string& stored)
{
    std::string shown;
    for (size_t i = 0; i < stored.size(); ++i) {
        shown += stored[i];
        if (stored[i] == ':' && i + 1 < stored.size() && stored[i + 1] != ' ' && stored[i + 1] != '\n')
            shown += ' ';
    }
    return shown;
}

} // namespace

QuoteOrderItemsTableViewCell::QuoteOrderItemsTableViewCell(ui::TableViewCellStyle style, std::string reuseIdentifier)
    : ui::TableViewCell(style, std::move(reuseIdentifier))
{
    m_imageImageView = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect(5, 10, 156, 80));
    m_imageImageView->addTarget([this](ui::Control&) {
        if (m_delegate)
            m_delegate->tapImage(tag());
    }, ui::ControlEventTouchUpInside);

    m_nameLabel = makeLabel({161, 8, 140, 40}, gfx::Font::systemFont(15));
    m_nameLabel->setNumberOfLines(2);
    m_skuLabel = makeLabel({161, 52, 140, 40}, gfx::Font::systemFont(14));
    m_skuLabel->setNumberOfLines(2);
    m_skuLabel->setTextColor(gfx::Color::gray());
    // The SKU opens the plain product page.
    m_skuLabel->setUserInteractionEnabled(true);
    auto skuTap = std::make_shared<ui::TapGestureRecognizer>();
    skuTap->addTarget([this](ui::GestureRecognizer& recognizer) {
        if (recognizer.state() == ui::GestureRecognizer::State::Ended && m_delegate)
            m_delegate->tapSKU(tag());
    });
    m_skuLabel->addGestureRecognizer(skuTap);
    m_attributesLabel = makeLabel({315, 0, 150, 100}, gfx::Font::systemFont(15));
    m_attributesLabel->setNumberOfLines(0);
    m_priceLabel = makeLabel({548, 35, 110, 30}, gfx::Font::systemFont(17));
    m_priceLabel->setTextAlignment(gfx::TextAlignment::Right);
    m_priceLabel->setTextColor(gfx::Color::fromRgb(176, 48, 96));
    m_lblPercentFlag = makeLabel({735, 35, 15, 30}, gfx::Font::systemFont(17));
    m_lblPercentFlag->setText("%");
    m_lblDiscountCurrency = makeLabel({762, 35, 10, 30}, gfx::Font::systemFont(17));
    m_subTotalLabel = makeLabel({900, 35, 110, 30}, gfx::Font::systemFont(17));
    m_subTotalLabel->setTextAlignment(gfx::TextAlignment::Right);

    m_quantityTextField = makeField({480, 37, 60, 30}, gfx::TextAlignment::Center);
    m_quantityTextField->setInputValidator(std::make_shared<QuantityInputValidator>());
    m_txtDiscountRat = makeField({667, 37, 68, 30}, gfx::TextAlignment::Right);
    m_txtDiscountPrice = makeField({775, 37, 120, 30}, gfx::TextAlignment::Right);
    // Sized to its text plus the border's room, which here is a point short of the text's.
    m_txtDiscountPrice->setAdjustsFontSizeToFitWidth(true);
    m_txtDiscountPrice->setMinimumFontSize(10);

    for (const std::shared_ptr<ui::View>& view :
         std::initializer_list<std::shared_ptr<ui::View>>{m_imageImageView, m_nameLabel, m_skuLabel, m_attributesLabel,
                                                          m_quantityTextField, m_priceLabel, m_txtDiscountRat,
                                                          m_lblPercentFlag, m_lblDiscountCurrency, m_txtDiscountPrice,
                                                          m_subTotalLabel})
        contentView().addSubview(view);
}

std::shared_ptr<QVTextField> QuoteOrderItemsTableViewCell::makeField(const gfx::Rect& frame, gfx::TextAlignment alignment)
{
    auto field = ui::View::make<QVTextField>(frame);
    field->setBorderStyle(ui::TextBorderStyle::RoundedRect);
    field->setTextAlignment(alignment);
    field->setKeyboardType(ui::KeyboardType::NumberPad);
    field->setInputValidator(std::make_shared<NumericInputValidator>());
    field->setDelegate(this);
    return field;
}

std::string QuoteOrderItemsTableViewCell::sign() const
{
    return PublicFunction::flagWithCurrency(m_quoteOrderItem ? m_quoteOrderItem->currency().value_or("") : "");
}

void QuoteOrderItemsTableViewCell::setQuoteOrderItem(std::shared_ptr<QuoteOrderItemEntity> line)
{
    m_quoteOrderItem = std::move(line);
    if (!m_quoteOrderItem)
        return;
    const QuoteOrderItemEntity& item = *m_quoteOrderItem;
    m_txtDiscountRat->setText(twoDecimals(item.discontRat()));
    int productId = item.product() ? item.product()->product_id : 0;
    std::optional<std::string> thumb;
    if (auto data = DataAccessManager::sharedDataModel())
        if (auto image = data->getImageByKeyId(productId))
            thumb = image->image_thumb_address;
    PublicFunction::ImageViewSetImgImg(m_imageImageView.get(), PublicFunction::getLocalImageFiletype(thumb, 1, PublicFunction::thumbShownPixels()));
    m_nameLabel->setText(item.product() ? item.product()->product_name.value_or("") : "");
    m_skuLabel->setText(item.sku().value_or(""));
    m_attributesLabel->setText(readableAttributes(item.attributesShow()));
    std::string flag = sign();
    m_lblDiscountCurrency->setText(flag);
    m_priceLabel->setText(flag + PublicFunction::doubleFormate(item.price()));
    m_txtDiscountPrice->setText(PublicFunction::doubleFormate(item.finalPrice()));
    m_subTotalLabel->setText(flag + PublicFunction::doubleFormate(item.finalPrice() * item.quantity()));
    m_quantityTextField->setText(PublicFunction::intFormate(item.quantity()));
}

void QuoteOrderItemsTableViewCell::setFieldEditable(QVTextField& field, bool editable, double x)
{
    field.setEnabled(editable);
    field.setBorderStyle(editable ? ui::TextBorderStyle::RoundedRect : ui::TextBorderStyle::None);
    gfx::Rect f = field.frame();
    field.setFrame({x, editable ? 38.0 : 40.0, f.width(), f.height()});
    // The sign beside a field sits on the field's line: a bare read-only field's text is lower.
    ui::Label* sign = &field == m_txtDiscountRat.get() ? m_lblPercentFlag.get()
                      : &field == m_txtDiscountPrice.get() ? m_lblDiscountCurrency.get()
                                                            : nullptr;
    if (sign) {
        gfx::Rect s = sign->frame();
        sign->setFrame({s.x(), editable ? 35.0 : 40.0, s.width(), s.height()});
    }
}

void QuoteOrderItemsTableViewCell::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    // A saved line's figures stand on one line: the prices beside the bare fields' text.
    for (ui::Label* label : {m_priceLabel.get(), m_subTotalLabel.get()}) {
        gfx::Rect f = label->frame();
        label->setFrame({f.x(), readOnly ? 40.0 : 35.0, f.width(), f.height()});
    }
    if (readOnly) {
        setFieldEditable(*m_quantityTextField, false, 480);
        setFieldEditable(*m_txtDiscountRat, false, 667);
        setFieldEditable(*m_txtDiscountPrice, false, 775);
    } else {
        setFieldEditable(*m_quantityTextField, true, 480);
        setCouldModifyPrice(m_couldModifyPrice);
    }
}

void QuoteOrderItemsTableViewCell::setCouldModifyPrice(bool could)
{
    m_couldModifyPrice = could;
    if (m_readOnly)
        return;
    setFieldEditable(*m_txtDiscountRat, could, 667);
    setFieldEditable(*m_txtDiscountPrice, could, 775);
}

void QuoteOrderItemsTableViewCell::setIsNullPrice(bool isNull)
{
    gfx::TextAlignment alignment = isNull ? gfx::TextAlignment::Center : gfx::TextAlignment::Right;
    m_priceLabel->setTextAlignment(alignment);
    m_txtDiscountRat->setTextAlignment(alignment);
    m_txtDiscountPrice->setTextAlignment(alignment);
    if (isNull) {
        m_priceLabel->setText("-");
        m_txtDiscountRat->setText("-");
        m_txtDiscountPrice->setText("-");
        setFieldEditable(*m_txtDiscountRat, false, 667);
        setFieldEditable(*m_txtDiscountPrice, false, 775);
        m_lblPercentFlag->setText("");
        m_lblDiscountCurrency->setText("");
    } else {
        m_lblPercentFlag->setText("%");
    }
    // The last of the three calls on each use: the field fits what this line shows.
    placeDiscountPriceField();
}

void QuoteOrderItemsTableViewCell::indentCellContent()
{
    for (const auto& view : contentView().subviews()) {
        gfx::Rect f = view->frame();
        view->setFrame({f.x() * kIndentFactor, f.y(), f.width(), f.height()});
    }
}

void QuoteOrderItemsTableViewCell::unindentCellContent()
{
    for (const auto& view : contentView().subviews()) {
        gfx::Rect f = view->frame();
        view->setFrame({f.x() / kIndentFactor, f.y(), f.width(), f.height()});
    }
}

void QuoteOrderItemsTableViewCell::placeDiscountPriceField()
{
    double width = std::min(100.0, gfx::sizeOfText(m_txtDiscountPrice->text(), m_txtDiscountPrice->font()).width);
    if (editablePrice())
        width += 15;
    gfx::Rect f = m_txtDiscountPrice->frame();
    double x = m_subTotalLabel->frame().x() - 10 - width;
    m_txtDiscountPrice->setFrame({x, f.y(), width, f.height()});
    gfx::Rect s = m_lblDiscountCurrency->frame();
    m_lblDiscountCurrency->setFrame({x - s.width(), s.y(), s.width(), s.height()});
}

void QuoteOrderItemsTableViewCell::textFieldDidBeginEditing(ui::TextField& field)
{
    m_editingFieldOldValue = field.text();
    if (!field.text().empty())
        field.setText(withoutCommas(field.text()));
    if (m_delegate)
        m_delegate->QuoteOrderItemCellBeginEdit(*this);
}

QVTextField* QuoteOrderItemsTableViewCell::editingField() const
{
    for (QVTextField* own : {m_quantityTextField.get(), m_txtDiscountRat.get(), m_txtDiscountPrice.get()})
        if (own->isFirstResponder())
            return own;
    return nullptr;
}

bool QuoteOrderItemsTableViewCell::takeTyping(bool quiet)
{
    QVTextField* field = editingField();
    if (!field)
        return true;
    if (!quiet) {
        field->setTraget(std::dynamic_pointer_cast<ui::AlertViewDelegate>(shared_from_this()));
        if (!field->validate())
            return false;
        field->resignFirstResponder();
        return true;
    }
    bool zero = field == m_quantityTextField.get() && valueOf(field->text()) == 0;
    if (field->isValid() && !zero) {
        field->resignFirstResponder();
        return true;
    }
    // Left without the end of editing: no alert, no question, the line untouched.
    field->setText(m_editingFieldOldValue.value_or(""));
    field->setDelegate(nullptr);
    field->resignFirstResponder();
    field->setDelegate(this);
    return true;
}

bool QuoteOrderItemsTableViewCell::textFieldShouldReturn(ui::TextField& field)
{
    field.resignFirstResponder();
    return true;
}

void QuoteOrderItemsTableViewCell::textFieldDidEndEditing(ui::TextField& textField)
{
    QVTextField* field = nullptr;
    for (QVTextField* own : {m_quantityTextField.get(), m_txtDiscountRat.get(), m_txtDiscountPrice.get()})
        if (own == &textField)
            field = own;
    if (!field)
        return;
    field->setTraget(std::dynamic_pointer_cast<ui::AlertViewDelegate>(shared_from_this()));
    if (!field->validate()) {
        field->setText(m_editingFieldOldValue.value_or(""));
    } else if (m_quoteOrderItem) {
        QuoteOrderItemEntity& item = *m_quoteOrderItem;
        double price = item.price();
        if (field == m_quantityTextField.get()) {
            field->setText(PublicFunction::intFormate(static_cast<int64_t>(valueOf(field->text()))));
        } else if (field == m_txtDiscountRat.get()) {
            // Money stays in double precision: single precision is a cent off above 100,000.
            double rate = std::min(100.0, valueOf(field->text()));
            double absolute = PublicFunction::absoluteDiscountRatFromShown(rate);
            m_txtDiscountPrice->setText(twoDecimals(absolute * price / 100));
            field->setText(PublicFunction::doubleFormate(rate));
        } else {
            double discounted = valueOf(field->text());
            if (discounted >= price)
                discounted = price;
            double absolute = 100;
            if (discounted != 0 && price != 0)
                absolute = discounted * 100 / price;
            m_txtDiscountRat->setText(twoDecimals(std::round(PublicFunction::shownDiscountRatFromAbsolute(absolute))));
            field->setText(PublicFunction::doubleFormate(discounted));
        }
        placeDiscountPriceField();
        item.setQuantity(static_cast<int>(valueOf(m_quantityTextField->text())));
        // A hidden price shows "-" in both price fields: those are no numbers to keep.
        if (price >= 0) {
            item.setDiscontRat(valueOf(m_txtDiscountRat->text()));
            item.setFinalPrice(valueOf(m_txtDiscountPrice->text()));
        }
        item.setSubtotal(item.quantity() * item.finalPrice());
        m_subTotalLabel->setText(sign() + PublicFunction::doubleFormate(item.subtotal()));
    }
    if (m_delegate)
        m_delegate->QuoteOrderItemCellChanged(*this);
}
