#pragma once
#include "Database/BaseDataModel.h"
#include "Protocol/LoginInfo.h"

#include <optional>
#include <string>

// Every user who logged in online on this device, so that the same user can later log in
// offline.
class LoginUserModel : public BaseDataModel {
public:
    // One row per user name, stamped with the current time; the credential (the digest the
    // login sends) is stored only as "pbkdf2-sha256$<iterations>$<salt>$<hash>".
    bool saveUserInfo(const std::optional<LoginInfo>& info);
    // The saved fields of that user name as given; nothing for a blank name or no row.
    std::optional<LoginInfo> getUserInfo(const std::optional<std::string>& accountId);
    // "200" when a saved row matches, else the code of the first failing check: "210" client,
    // "201" device, "202" user name, "206" password. The client id compares without regard to
    // ASCII letter case, the rest exactly; the credential is verified against the saved hash.
    std::string checkLocalUserInfo(const std::optional<LoginInfo>& info);

    bool updateVersion() override;
    bool createLoginUserTable();
    bool alterLoginUserTable();

private:
    bool checkClientId(const LoginInfo& info);
    bool checkDeviceId(const LoginInfo& info);
    bool checkUserName(const LoginInfo& info);
    bool checkPassword(const LoginInfo& info);
};
