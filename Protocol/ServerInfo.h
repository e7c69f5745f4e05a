#pragma once
#include <string>

// The addresses of the back end: the command server and the file server (downloads and web
// pages). PublicFunction::GetServer fills the one shared record from the user defaults.
class ServerInfo {
public:
    const std::string& strIP() const { return m_strIP; }
    void setStrIP(std::string ip) { m_strIP = std::move(ip); }
    int httpPort() const { return m_httpPort; }
    void setHttpPort(int port) { m_httpPort = port; }
    const std::string& websiteServer() const { return m_websiteServer; }
    void setWebsiteServer(std::string path) { m_websiteServer = std::move(path); }

    const std::string& imageIP() const { return m_imageIP; }
    void setImageIP(std::string ip) { m_imageIP = std::move(ip); }
    int imageHttpPort() const { return m_imageHttpPort; }
    void setImageHttpPort(int port) { m_imageHttpPort = port; }
    const std::string& imageWebsiteServer() const { return m_imageWebsiteServer; }
    void setImageWebsiteServer(std::string path) { m_imageWebsiteServer = std::move(path); }

    // The file server as "host[:port][/path]": the port only when it is 1 or more and not 80,
    // the path (as stored) only when it is not blank.
    std::string imageUrlStr() const;

private:
    std::string m_strIP;
    int m_httpPort = 0;
    std::string m_websiteServer;
    std::string m_imageIP;
    int m_imageHttpPort = 0;
    std::string m_imageWebsiteServer;
};
