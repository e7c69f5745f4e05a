#pragma once
#include "Platform/Base/Date.h"
#include "Platform/Base/Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// How the decoders read the server's rows into records: one constexpr table per record kind
// of {server key, record field, conversion}, and one loop that applies a table to an object.
namespace serverfields {

enum class Conversion {
    Int,          // integer; absent or not a number: 0
    Double,       // double; absent or not a number: 0
    Float,        // single precision widened to double
    Text,         // a text, a number as its decimal text; absent stays absent
    TextOrEmpty,  // as Text, absent gives ""
    Date,         // seconds since 1970 UTC; absent or not a number: 1970-01-01 00:00:00
};

template<class Record>
struct Field {
    std::string_view key;
    Conversion conversion;
    int Record::*intField = nullptr;
    double Record::*doubleField = nullptr;
    std::optional<std::string> Record::*textField = nullptr;
    std::optional<base::Date> Record::*dateField = nullptr;

    constexpr Field(std::string_view k, int Record::*f) : key(k), conversion(Conversion::Int), intField(f) {}
    constexpr Field(std::string_view k, double Record::*f, Conversion c = Conversion::Double)
        : key(k), conversion(c), doubleField(f)
    {
    }
    constexpr Field(std::string_view k, std::optional<std::string> Record::*f, Conversion c = Conversion::Text)
        : key(k), conversion(c), textField(f)
    {
    }
    constexpr Field(std::string_view k, std::optional<base::Date> Record::*f)
        : key(k), conversion(Conversion::Date), dateField(f)
    {
    }
};

// The conversions; a value that does not convert counts as absent.
int intOf(const base::Value* value);
double doubleOf(const base::Value* value);
std::optional<std::string> textOf(const base::Value* value);
base::Date dateOf(const base::Value* value);

template<class Record, size_t N>
void fill(Record& record, const base::Dictionary& object, const Field<Record> (&fields)[N])
{
    for (const Field<Record>& field : fields) {
        const base::Value* value = object.find(field.key);
        switch (field.conversion) {
        case Conversion::Int: record.*field.intField = intOf(value); break;
        case Conversion::Double: record.*field.doubleField = doubleOf(value); break;
        case Conversion::Float: record.*field.doubleField = static_cast<float>(doubleOf(value)); break;
        case Conversion::Text: record.*field.textField = textOf(value); break;
        case Conversion::TextOrEmpty: record.*field.textField = textOf(value).value_or(std::string()); break;
        case Conversion::Date: record.*field.dateField = dateOf(value); break;
        }
    }
}

template<class Record, size_t N>
Record recordOf(const base::Dictionary& object, const Field<Record> (&fields)[N])
{
    Record record;
    fill(record, object, fields);
    return record;
}

// Each object of an array; anything else, in the array or in its place, is skipped.
template<class Each>
void forEachObject(const base::Value* list, Each&& each)
{
    if (!list || !list->isArray())
        return;
    for (const base::Value& element : list->asArray()) {
        if (element.isDictionary())
            each(element.asDictionary());
    }
}

// The slot of an answer's content array, or null when there is none.
inline const base::Value* slot(const base::Array& content, size_t index)
{
    return index < content.size() ? &content[index] : nullptr;
}

} // namespace serverfields
