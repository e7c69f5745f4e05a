#include "Database/QuoteOrderItemEntity.h"

#include "Common/PublicFunction.h"
#include "Database/OrderLineAttributeText.h"
#include "Platform/Base/Text.h"

namespace {

std::string moneyText(double value, const std::optional<std::string>& currency)
{
    return PublicFunction::flagWithCurrency(currency.value_or("")) + PublicFunction::doubleFormate(value);
}

bool isBlank(const std::optional<std::string>& text)
{
    return !text || base::trimmingWhitespace(*text).empty();
}

// The ","-separated pieces of an attribute text, empty ones included.
std::vector<std::string_view> pieces(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        size_t at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

} // namespace

double QuoteOrderItemEntity::subtotal() const
{
    return m_finalPrice * m_quantity;
}

double QuoteOrderItemEntity::discontRat() const
{
    float rate = static_cast<float>(m_discontRat);
    if (m_price < 0)
        rate = -1;
    if (rate != 0)
        return rate;
    float price = static_cast<float>(m_price);
    if (price == 0)
        return 0;
    float paid = static_cast<float>(m_finalPrice) * 100.0f / price;
    return static_cast<float>(PublicFunction::shownDiscountRatFromAbsolute(paid));
}

std::string QuoteOrderItemEntity::attributesShow() const
{
    if (isBlank(m_attributes))
        return {};
    std::string shown;
    for (auto piece : pieces(*m_attributes, ',')) {
        shown.append(piece);
        shown += '\n';
    }
    return shown;
}

std::vector<product_attribute_cell_Entity> QuoteOrderItemEntity::attributesArray() const
{
    return OrderLineAttributeText::read(m_attributes);
}

std::string QuoteOrderItemEntity::strPrice() const
{
    return m_price < 0 ? "-" : moneyText(m_price, m_currency);
}

std::string QuoteOrderItemEntity::strFinalPrice() const
{
    // A hidden list price hides the final price too.
    return m_price < 0 ? "-" : moneyText(m_finalPrice, m_currency);
}

std::string QuoteOrderItemEntity::strSubtotal() const
{
    double value = subtotal();
    return value < 0 ? "-" : moneyText(value, m_currency);
}
