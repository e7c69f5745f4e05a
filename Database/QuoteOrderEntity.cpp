#include "Database/QuoteOrderEntity.h"

#include "Common/IdentifierAddition.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/Text.h"
#include "Protocol/LoginMode.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char* kOrderDateFormat = "MM/dd/yyyy HH:mm:ss";

std::string moneyText(double value, const std::optional<std::string>& currency)
{
    if (value < 0)
        return "-";
    return PublicFunction::flagWithCurrency(currency.value_or("")) + PublicFunction::doubleFormate(value);
}

} // namespace

QuoteOrderEntity::QuoteOrderEntity()
    : m_number(generateNewOrderNumber()),
      m_discount(-1),
      m_ipAddress(IdentifierAddition::uniqueGlobalDeviceIdentifier()),
      m_unsaved(true)
{
    std::string now = PublicFunction::currentTime();
    m_cdate = now;
    m_mdate = now;
}

std::string QuoteOrderEntity::generateNewOrderNumber()
{
    std::string stamp = base::DateFormatter("yyMMddHHmmss").stringFromDate(base::Date::now());
    return LoginMode::sharedInstance()->acountID() + "_" + stamp;
}

std::shared_ptr<QuoteOrderEntity> QuoteOrderEntity::duplicateOrder() const
{
    auto copy = std::make_shared<QuoteOrderEntity>();
    copy->m_customerId = m_customerId;
    copy->m_customerName = m_customerName;
    copy->m_customerAddress = m_customerAddress;
    copy->m_city = m_city;
    copy->m_state = m_state;
    copy->m_zip_code = m_zip_code;
    copy->m_phoneNumber = m_phoneNumber;
    copy->m_bankAccount = m_bankAccount;
    copy->m_currency = m_currency;
    copy->m_discount = discount();
    copy->m_customerInfo = m_customerInfo;
    copy->m_status = m_status;
    copy->m_customerNote = customerNote();
    for (const auto& source : m_items) {
        auto line = std::make_shared<QuoteOrderItemEntity>();
        line->setProduct(source->product());
        line->setCurrency(source->currency());
        line->setQuantity(source->quantity());
        line->setSku(source->sku());
        line->setName(source->name());
        line->setAttributes(source->attributes());
        line->setPrice(source->price());
        line->setFinalPrice(source->finalPrice());
        line->setSubtotal(source->subtotal());
        std::string now = PublicFunction::currentTime();
        line->setCdate(now);
        line->setMdate(now);
        copy->m_items.push_back(std::move(line));
    }
    return copy;
}

double QuoteOrderEntity::discount() const
{
    if (m_discount != -1)
        return m_discount;
    return total() * PublicFunction::absoluteDiscountRatFromShown(m_discountRat) / 100;
}

std::string QuoteOrderEntity::customerNote() const
{
    if (!m_customerNote || base::trimmingWhitespace(*m_customerNote).empty())
        return {};
    return *m_customerNote;
}

double QuoteOrderEntity::total() const
{
    double sum = 0;
    for (const auto& line : m_items)
        if (line->finalPrice() >= 0)
            sum += line->quantity() * line->finalPrice();
    return sum;
}

double QuoteOrderEntity::originalTotal() const
{
    double sum = 0;
    for (const auto& line : m_items)
        if (line->price() >= 0)
            sum += line->quantity() * line->price();
    return sum;
}

int QuoteOrderEntity::newItemIndex() const
{
    int largest = 0;
    for (const auto& line : m_items)
        largest = std::max(largest, line->serial());
    return largest + 1;
}

std::string QuoteOrderEntity::strPrice() const
{
    char text[512]; // room for the largest double
    std::snprintf(text, sizeof text, "%.2f", total());
    return text;
}

std::string QuoteOrderEntity::strTotal() const
{
    return moneyText(total(), m_currency);
}

std::string QuoteOrderEntity::strOriginalTotal() const
{
    return moneyText(originalTotal(), m_currency);
}

std::string QuoteOrderEntity::strDiscount() const
{
    return moneyText(discount(), m_currency);
}

std::string QuoteOrderEntity::mdateShow() const
{
    if (!m_mdate)
        return {};
    auto date = base::DateFormatter(kOrderDateFormat).dateFromString(*m_mdate);
    if (!date)
        return {};
    return base::DateFormatter("HH:mm " + PublicFunction::getFormateString()).stringFromDate(*date);
}
