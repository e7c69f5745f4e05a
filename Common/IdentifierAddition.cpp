#include "Common/IdentifierAddition.h"

#include "Common/MD5Addition.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NetworkInterfaces.h"

#include <cstdio>

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

std::optional<std::string> IdentifierAddition::uniqueDeviceIdentifier()
{
    auto address = macaddress();
    if (!address)
        return std::nullopt;
    return MD5Addition::stringFromMD5(*address + base::Bundle::infoValue("Identifier").toString());
}

std::optional<std::string> IdentifierAddition::uniqueGlobalDeviceIdentifier()
{
    auto address = macaddress();
    if (!address)
        return std::nullopt;
    return MD5Addition::stringFromMD5(*address);
}
