#pragma once
#include "Platform/Base/Value.h"
#include "Protocol/NetBaseRst.h"

#include <optional>
#include <string>

// The answer to a login: the session, what changed since the last sync, the account's user
// info and, when the server sends it, the vendor record.
class LoginRst : public NetBaseRst {
public:
    std::optional<std::string> sessionId;
    bool needUpdate = false;
    bool needUpdateSkin = false;
    bool needSyncAll = false;
    std::optional<std::string> email;
    std::optional<std::string> companyName;
    std::optional<std::string> companyLink;
    int userAccess = 0;

    // Vendor fields: absent unless the answer has a vendor object; then "" when left out,
    // except the three ids, which stay as given.
    std::optional<std::string> account;
    std::optional<std::string> clientId;
    std::optional<std::string> device_id;
    std::optional<std::string> device_token;
    std::optional<std::string> discount;
    std::optional<std::string> is_locked;
    std::optional<std::string> password;
    std::optional<std::string> phone;
    std::optional<std::string> username;
    std::optional<std::string> vendor_group_id;
    std::optional<std::string> vendor_id;
    std::optional<std::string> vendor_state_id;
    std::optional<std::string> userId; // never filled

    void readContent(const base::Dictionary& content);
};
