// Device identifiers, digests and the system version.
#include "Common/PublicFunction.h"

#include "Common/SharedUDID.h"
#include "Platform/Base/Device.h"
#include "Platform/Base/Digest.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NetworkInterfaces.h"

#include <cstdio>
#include <charconv>

namespace {

// Ours to choose: it only has to stay the same.
constexpr const char* kMacAddressSuffix = "BRVNT";

std::string upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

} // namespace

std::string PublicFunction::encryptMD5(std::string_view text)
{
    return upper(base::Digest::md5Hex(text));
}

std::string PublicFunction::getOpenUDID()
{
    return SharedUDID::value();
}

double PublicFunction::getDeviceVersion()
{
    // Only the leading number counts: "5.1.1" reads as 5.1.
    std::string version = base::Device::current().systemVersion;
    double number = 0;
    std::from_chars(version.data(), version.data() + version.size(), number);
    return number;
}

std::optional<std::string> PublicFunction::getMacAddress()
{
    auto interface = base::NetworkInterfaces::primary();
    if (!interface) {
        base::log("Error: if_nametoindex error");
        return std::nullopt;
    }
    const base::HardwareAddress& a = *interface->hardwareAddress;
    char text[13];
    std::snprintf(text, sizeof text, "%02x%02x%02x%02x%02x%02x", a[0], a[1], a[2], a[3], a[4],
                  a[5]);
    return encryptMD5(upper(text) + kMacAddressSuffix);
}
