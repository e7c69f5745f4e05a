#pragma once
#include "Platform/Base/Value.h"

#include <optional>
#include <string>
#include <vector>

// The saved-login list "Login_Info_Array": every account that logged in on this device, most
// recent first, each entry a dictionary of texts. Its rules are pure functions from the stored
// list to the new one, so that only store() writes.
class SavedLogins {
public:
    static constexpr const char* kKey = "Login_Info_Array";
    static constexpr const char* kUser = "Input_UserID";
    // The credential: the digest the login command sends, never the typed text.
    static constexpr const char* kCredential = "Input_PassWord";
    static constexpr const char* kClient = "Input_ClientID";
    static constexpr const char* kDevice = "Input_DeviceID";
    static constexpr const char* kShortcut = "INPUT_USESHORTCUT";

    struct Login {
        std::string user;
        std::string credential;
        std::string client;
        std::string device;
    };

    // The list as stored; empty when missing. Entries that are not dictionaries are kept.
    static base::Array stored();
    // Replaces the stored list and synchronizes the store.
    static void store(const base::Array& list);

    // After a login: entries of that client and user move to the front (the shortcut flag set
    // when one was asked for, else kept; credential and device renewed when `renewCredential`);
    // another user of that client loses the shortcut when one was asked for; with no match and
    // a client id not blank, a new entry goes first.
    static base::Array afterLogin(const base::Array& list, const Login& login, bool askedShortcut,
                                  bool renewCredential);
    // Without the first entry of that user (not blank) and client.
    static base::Array afterRemoval(const base::Array& list, const std::string& user, const std::string& client);
    // A deleted shortcut tile: the first entry of that client and user goes to the end as a
    // plain entry without device id. Nothing when no entry matches (the list stays as stored).
    static std::optional<base::Array> afterTileDeletion(const base::Array& list, const std::string& user,
                                                        const std::string& credential, const std::string& client);

    // The login form's pre-fill: the first entry's user name and client id (empty when absent).
    static std::optional<std::pair<std::string, std::string>> prefill(const base::Array& list);
    // The entries shown as shortcut tiles, in list order.
    static std::vector<base::Dictionary> shortcutEntries(const base::Array& list);
    // Another user of that client already has a shortcut.
    static bool isShortcutTaken(const base::Array& list, const std::string& client, const std::string& user);
    // The distinct client ids saved with that user name and credential, in list order.
    static std::vector<std::string> clientIdsForUser(const base::Array& list, const std::string& user,
                                                     const std::string& credential);
    // Completion: distinct saved user names that start with the text and differ from it
    // (letter case counts); client ids the same ignoring ASCII letter case.
    static std::vector<std::string> userNameCandidates(const base::Array& list, const std::string& typed);
    static std::vector<std::string> clientIdCandidates(const base::Array& list, const std::string& typed);
};
