#include "Database/brivanta_product_Entity.h"

#include "Platform/Base/Text.h"

std::string brivanta_product_Entity::attributesShow() const
{
    if (!attributes || base::trimmingWhitespace(*attributes).empty())
        return {};
    std::string shown;
    std::string_view rest = *attributes;
    for (;;) {
        size_t comma = rest.find(',');
        shown.append(rest.substr(0, comma));
        shown += '\n';
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    return shown;
}
