#include "Database/LoginUserModel.h"

#include "Common/PublicFunction.h"
#include "Platform/Base/Digest.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Text.h"

namespace {

bool isBlank(const std::optional<std::string>& text)
{
    return !text || base::trimmingWhitespace(*text).empty();
}

// SQLite's lower() folds ASCII letters only; the typed id is folded the same way so that
// both sides of the comparison agree.
std::string asciiLowercased(std::string_view text)
{
    std::string lowered(text);
    for (char& c : lowered) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lowered;
}

template <typename... Args>
bool hasRow(std::string_view sql, const Args&... args)
{
    if (!BaseDataModel::goodDatabase())
        return false;
    return BaseDataModel::readFirstRow([](BRResultSet&) { return true; }, sql, args...).has_value();
}

} // namespace

bool LoginUserModel::saveUserInfo(const std::optional<LoginInfo>& info)
{
    auto db = database();
    if (!info || !db)
        return false;
    // Only a salted hash of the credential is kept, so a copied database gives no login.
    std::optional<std::string> stored;
    if (info->passWord)
        stored = base::Digest::passwordHash(*info->passWord);
    return db->executeUpdate("INSERT OR REPLACE INTO brivanta_login_user(useName,password,clientId,"
                             "deviceId,email,companyName,companyLink,lastLoginTime) "
                             "VALUES(?,?,?,?,?,?,?,?);",
                             info->accountId, stored, info->clientId, info->deviceId,
                             info->email, info->companyName, info->companyLink,
                             PublicFunction::currentTime());
}

std::optional<LoginInfo> LoginUserModel::getUserInfo(const std::optional<std::string>& accountId)
{
    if (isBlank(accountId) || !goodDatabase())
        return std::nullopt;
    return readFirstRow(
        [](BRResultSet& rs) {
            LoginInfo info;
            info.accountId = rs.stringForColumn("useName");
            info.passWord = rs.stringForColumn("password");
            info.clientId = rs.stringForColumn("clientId");
            info.deviceId = rs.stringForColumn("deviceId");
            info.email = rs.stringForColumn("email");
            info.companyName = rs.stringForColumn("companyName");
            info.companyLink = rs.stringForColumn("companyLink");
            return info;
        },
        "select * from brivanta_login_user \nwhere useName = ? limit 0,1;", *accountId);
}

std::string LoginUserModel::checkLocalUserInfo(const std::optional<LoginInfo>& info)
{
    if (!info || !checkClientId(*info))
        return "210";
    if (!checkDeviceId(*info))
        return "201";
    if (!checkUserName(*info))
        return "202";
    if (!checkPassword(*info))
        return "206";
    return "200";
}

// Each check also needs every earlier field in the same row; the values go in untrimmed.
bool LoginUserModel::checkClientId(const LoginInfo& info)
{
    if (isBlank(info.clientId))
        return false;
    return hasRow("select * from brivanta_login_user \nwhere  lower(clientId) = ? ",
                  asciiLowercased(*info.clientId));
}

bool LoginUserModel::checkDeviceId(const LoginInfo& info)
{
    if (isBlank(info.clientId) || isBlank(info.deviceId))
        return false;
    return hasRow("select * from brivanta_login_user \nwhere lower(clientId) = ? and deviceId = ? ",
                  asciiLowercased(*info.clientId), *info.deviceId);
}

bool LoginUserModel::checkUserName(const LoginInfo& info)
{
    if (isBlank(info.clientId) || isBlank(info.deviceId) || isBlank(info.accountId))
        return false;
    return hasRow("select * from brivanta_login_user \nwhere lower(clientId) = ? and deviceId = ? "
                  "and useName = ? ",
                  asciiLowercased(*info.clientId), *info.deviceId, *info.accountId);
}

bool LoginUserModel::checkPassword(const LoginInfo& info)
{
    if (isBlank(info.clientId) || isBlank(info.deviceId) || isBlank(info.accountId)
        || isBlank(info.passWord) || !goodDatabase())
        return false;
    // useName is unique: at most one row. A row not holding a hash (plain text from an
    // older store) never passes; the next online login replaces it.
    auto stored = readFirstRow([](BRResultSet& rs) { return rs.stringForColumn("password"); },
                               "select password from brivanta_login_user \nwhere lower(clientId) = ? "
                               "and deviceId = ? and useName = ? ",
                               asciiLowercased(*info.clientId), *info.deviceId, *info.accountId);
    if (!stored || !*stored)
        return false;
    bool passed = base::Digest::verifyPasswordHash(*info.passWord, **stored);
    if (!passed && (*stored)->rfind("pbkdf2-sha256$", 0) != 0)
        base::log("offline check: the saved credential is not a hash, it cannot be checked");
    return passed;
}

bool LoginUserModel::updateVersion()
{
    BaseDataModel::updateVersion();
    createLoginUserTable();
    alterLoginUserTable();
    return true;
}

bool LoginUserModel::createLoginUserTable()
{
    auto db = goodDatabase();
    if (!db)
        return false;
    return db->executeUpdate("create table if not exists brivanta_login_user(indexId INTEGER "
                             "PRIMARY KEY AUTOINCREMENT NOT NULL,useName VARCHAR(20) NOT NULL "
                             "UNIQUE,password VARCHAR(64) NOT NULL,clientId VARCHAR(20) NOT NULL,"
                             "deviceId VARCHAR(20) NOT NULL,lastLoginTime VARCHAR(15))");
}

bool LoginUserModel::alterLoginUserTable()
{
    if (!goodDatabase())
        return false;
    bool email = addColumnIfMissing("brivanta_login_user", "email", "ALTER TABLE brivanta_login_user ADD email VARCHAR(20);");
    bool company = addColumnIfMissing("brivanta_login_user", "companyName",
                                      "ALTER TABLE brivanta_login_user ADD companyName VARCHAR(20);");
    bool link = addColumnIfMissing("brivanta_login_user", "companyLink",
                                   "ALTER TABLE brivanta_login_user ADD companyLink VARCHAR(50)");
    return email && company && link;
}
