#pragma once
#include "Protocol/RequestInterfaceBase.h"

#include <string>
#include <string_view>

// Logs the user in (258). The credential is only ever the digest the server compares: the
// login form turns typed text into it with passwordDigest, and nothing keeps the plain text.
class RequestLogin : public RequestInterfaceBase {
public:
    // Takes user, device, credential and client from the login state.
    RequestLogin();

    // The lower-case hexadecimal MD5 of the typed password: what is sent, held and stored.
    static std::string passwordDigest(std::string_view plain);
    // Whether a text already has the digest's shape (32 lower-case hexadecimal digits).
    static bool isPasswordDigest(std::string_view text);

    const std::string& userName() const { return m_userName; }
    void setUserName(std::string v) { m_userName = std::move(v); }
    const std::string& deviceID() const { return m_deviceID; }
    void setDeviceID(std::string v) { m_deviceID = std::move(v); }
    const std::string& passWord() const { return m_passWord; }
    void setPassWord(std::string v) { m_passWord = std::move(v); }
    const std::string& clientID() const { return m_clientID; }
    void setClientID(std::string v) { m_clientID = std::move(v); }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    std::string m_userName;
    std::string m_deviceID;
    std::string m_passWord;
    std::string m_clientID;
};
