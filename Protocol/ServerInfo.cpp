#include "Protocol/ServerInfo.h"

namespace {

bool isBlank(const std::string& text)
{
    return text.find_first_not_of(" \t\n\r\v\f") == std::string::npos;
}

} // namespace

std::string ServerInfo::imageUrlStr() const
{
    std::string url = m_imageIP;
    if (m_imageHttpPort >= 1 && m_imageHttpPort != 80)
        url += ":" + std::to_string(m_imageHttpPort);
    if (!isBlank(m_imageWebsiteServer))
        url += "/" + m_imageWebsiteServer;
    return url;
}
