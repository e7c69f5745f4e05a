#pragma once
#include "Platform/Base/Value.h"

#include <string>

namespace base {

// The application's resources: the "Resources" folder next to the executable, or
// $BRIVANTA_BUNDLE when set (read on every call).
class Bundle {
public:
    static std::string resourcePath();
    // The path of "name.type" (or "name" when type is empty), optionally in a subfolder of the
    // resources; empty when there is no such file.
    static std::string pathForResource(const std::string& name, const std::string& type,
                                       const std::string& subdirectory = {});
    // A value of the resources' Info.plist; null when absent.
    static Value infoValue(const std::string& key);
    static std::string shortVersion();
    static std::string buildVersion();
    // The display name, else the name.
    static std::string displayName();
    static std::string identifier();
    // The text of `key` in the strings table `table` ("Localizable" when empty), a property
    // list "<table>.strings": first in "<language>.lproj/" for each of the user's preferred
    // languages (a tag, then its shorter forms), then among the resources themselves. On a
    // miss: `value` when not empty, else the key.
    static std::string localizedString(const std::string& key, const std::string& value = {},
                                       const std::string& table = {});
};

} // namespace base
