#include "Common/IdentifierAddition.h"

#include "Common/MD5Addition.h"
#include "Common/SharedUDID.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NetworkInterfaces.h"

#include <cstdio>

namespace {

// What the identifiers are made from: the hardware address, else the device's shared id,
// which stays the same across starts and re-installs.
std::string deviceSource()
{
    if (auto address = IdentifierAddition::macaddress())
        return *address;
    return SharedUDID::value();
}

} // namespace

std::optional<std::string> IdentifierAddition::macaddress()
{
    auto interface = base::NetworkInterfaces::primary();
    if (!interface) {
        base::log("Error: if_nametoindex error");
        return std::nullopt;
    }
    const base::HardwareAddress& a = *interface->hardwareAddress;
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", a[0], a[1], a[2], a[3], a[4],
                  a[5]);
    return std::string(text);
}

std::string IdentifierAddition::uniqueDeviceIdentifier()
{
    return MD5Addition::stringFromMD5(deviceSource() + base::Bundle::infoValue("Identifier").toString()).value_or("");
}

std::string IdentifierAddition::uniqueGlobalDeviceIdentifier()
{
    return MD5Addition::stringFromMD5(deviceSource()).value_or("");
}
