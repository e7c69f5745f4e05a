#include "Database/OrderLineAttributeText.h"

#include "Platform/Base/Text.h"

#include <string_view>

namespace OrderLineAttributeText {

namespace {

// The pieces between separators, empty ones included.
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

bool isBlank(const std::optional<std::string>& text)
{
    return !text || base::trimmingWhitespace(*text).empty();
}

std::vector<std::string> permittedValues(const std::optional<std::string>& list)
{
    std::vector<std::string> values;
    if (list)
        for (auto piece : pieces(*list, ','))
            values.emplace_back(piece);
    return values;
}

std::optional<size_t> firstUnchosen(const std::vector<product_attribute_cell_Entity>& records)
{
    for (size_t i = 0; i < records.size(); ++i) {
        if (records[i].attributeValue)
            continue;
        for (const auto& value : permittedValues(records[i].attributeList))
            if (!isBlank(value))
                return i;
    }
    return std::nullopt;
}

std::string write(const std::vector<product_attribute_cell_Entity>& records)
{
    std::string text;
    for (const auto& record : records) {
        if (isBlank(record.attributeValue))
            continue;
        text += record.fieldName.value_or("");
        text += ':';
        text += *record.attributeValue;
        text += ',';
    }
    if (!text.empty())
        text.pop_back();
    return text;
}

std::vector<product_attribute_cell_Entity> read(const std::optional<std::string>& text)
{
    std::vector<product_attribute_cell_Entity> records;
    if (isBlank(text))
        return records;
    for (auto piece : pieces(*text, ',')) {
        auto pair = pieces(piece, ':');
        if (pair.size() != 2)
            continue;
        product_attribute_cell_Entity record;
        record.fieldName = std::string(pair[0]);
        record.attributeValue = std::string(pair[1]);
        records.push_back(std::move(record));
    }
    return records;
}

} // namespace OrderLineAttributeText
