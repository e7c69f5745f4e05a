#pragma once
#include <optional>
#include <string>

// Identifiers of the device made from its hardware address.
class IdentifierAddition {
public:
    // The primary interface's address as "AA:BB:CC:DD:EE:FF"; nothing, after a log line,
    // when the machine has none.
    static std::optional<std::string> macaddress();
    // The MD5 text of the address followed by the bundle identifier.
    static std::optional<std::string> uniqueDeviceIdentifier();
    // The MD5 text of the address: the device identifier of new order records.
    static std::optional<std::string> uniqueGlobalDeviceIdentifier();
};
