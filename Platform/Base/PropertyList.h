#pragma once
#include "Platform/Base/Value.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace base {

// XML property lists. Dictionaries keep their order; a Decimal is written as an integer when
// integral and within int64, else as a real. Dates keep whole seconds and must lie within
// the format's 32-bit range around 2001 (about 1933..2069). A null cannot be stored, so a
// value holding one is refused, as is malformed input.
class PropertyList {
public:
    static std::optional<Value> fromXml(std::string_view xml);
    static std::optional<Value> readFile(const std::filesystem::path& path);

    static std::optional<std::string> toXml(const Value& value);
    // Written atomically (see FileManager::writeAtomically).
    static bool writeFile(const std::filesystem::path& path, const Value& value,
                          unsigned mode = 0644);
};

} // namespace base
