#pragma once
#include <optional>
#include <string>

// Identifiers of the device made from its hardware address.
class IdentifierAddition {
public:
    // The first interface by name that is not loopback and has a hardware address, as
    // "AA:BB:CC:DD:EE:FF"; nothing, after a log line, when the machine has none.
    static std::optional<std::string> macaddress();
    // The MD5 text of the address followed by the bundle identifier.
    static std::string uniqueDeviceIdentifier();
    // The MD5 text of the address: the device identifier of new order records.
    //
    // Both stand on the SharedUDID value instead when no interface has a hardware address
    // (containers, some virtual machines, no network), so they are never empty.
    static std::string uniqueGlobalDeviceIdentifier();
};
