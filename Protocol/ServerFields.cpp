#include "Protocol/ServerFields.h"

#include <climits>
#include <cmath>

namespace serverfields {

int intOf(const base::Value* value)
{
    if (!value)
        return 0;
    // Numbers, booleans and numeric texts; anything else falls back to 0.
    int64_t wide = value->toInt(0);
    if (wide > INT_MAX)
        return INT_MAX;
    if (wide < INT_MIN)
        return INT_MIN;
    return static_cast<int>(wide);
}

double doubleOf(const base::Value* value)
{
    if (!value)
        return 0;
    double number = value->toDouble(0);
    return std::isfinite(number) ? number : 0;
}

std::optional<std::string> textOf(const base::Value* value)
{
    if (!value)
        return std::nullopt;
    if (value->isString())
        return value->asString();
    if (value->isNumber())
        return value->toString();
    return std::nullopt;
}

base::Date dateOf(const base::Value* value)
{
    return base::Date(doubleOf(value));
}

} // namespace serverfields
