#pragma once
#include <string_view>

// The server's commands, request kinds and the status codes the protocol layer makes or
// acts on. Statuses are decimal texts and double as language keys.

inline constexpr int kRequestTypeMessage = 0;
// Has a queue in the transport; no command uses it and the dispatcher never sends it.
inline constexpr int kRequestTypeUpload = 1;
inline constexpr int kRequestTypeDownload = 2;

// Download progress: to the requester per file, or one figure for a batch.
inline constexpr int kProgressTypeSingle = 1;
inline constexpr int kProgressTypeBatch = 2;

inline constexpr std::string_view kStatusSuccess = "200";
// The answer carried no usable status.
inline constexpr std::string_view kStatusNoStatus = "115";
// The device or the user was locked: the application delegate hears of it.
inline constexpr std::string_view kStatusLocked = "114";
// Made on the device: a transport failure after the retries, a file missing on the server.
inline constexpr std::string_view kStatusNetworkError = "999";
inline constexpr std::string_view kStatusFileMissing = "404";
// Made on the device: the server's answer passed the room allowed for it and was refused.
inline constexpr std::string_view kStatusAnswerTooLarge = "ANSWERTOOLARGE";
// Made on the device: a download stopped for want of room on its disk (the reserve met).
inline constexpr std::string_view kStatusDiskFull = "DISKFULL";

// The file type of the company's skin archive, SkinImages.zip at the client's root.
inline constexpr int kSkinArchiveType = 10;

inline constexpr int kCmdLogin = 258;
inline constexpr int kCmdConfig = 260;
inline constexpr int kCmdRuntimeConfig = 261;
inline constexpr int kCmdCheckDeviceStatus = 262;
inline constexpr int kCmdCheckVersion = 263;
// Two commands share 265; answers are routed by request code.
inline constexpr int kCmdGetUserinfo = 265;
inline constexpr int kCmdGetOrderHistory = 265;
inline constexpr int kCmdSyncAllTable = 513;
inline constexpr int kCmdSyncFileTable = 515;
inline constexpr int kCmdSyncCustomerTable = 516;
inline constexpr int kCmdSyncDataFinish = 517;
inline constexpr int kCmdUploadQuoteOrder = 518;
inline constexpr int kCmdDownloadFinish = 519;
inline constexpr int kCmdUploadCustomer = 520;
inline constexpr int kCmdDownload = 769;

// One command: its code, its class, the last segment of its address and its "methodName".
// The file download has neither head nor method: its address is the file's.
struct ServerCommand {
    int code;
    std::string_view className;
    std::string_view head;
    std::string_view methodName;
    int requestType;
};

inline constexpr ServerCommand kServerCommands[] = {
    {kCmdLogin, "RequestLogin", "Vendor?", "login", kRequestTypeMessage},
    {kCmdConfig, "RequestConfig", "Component?", "loadConfigurationData", kRequestTypeMessage},
    {kCmdRuntimeConfig, "RequestRuntimeConfig", "Component?", "getRunTimeConfig", kRequestTypeMessage},
    {kCmdCheckDeviceStatus, "RequestCheckDeviceStatus", "Vendor?", "checkDeviceStatus", kRequestTypeMessage},
    {kCmdCheckVersion, "RequestCheckVersion", "SyncServer?", "checkAppVersion", kRequestTypeMessage},
    {kCmdGetUserinfo, "RequestGetUserinfo", "Vendor?", "getuserinfo", kRequestTypeMessage},
    {kCmdGetOrderHistory, "RequestGetOrderHistory", "SyncServer;", "getorderhistory", kRequestTypeMessage},
    {kCmdSyncAllTable, "RequestSyncAllTable", "SyncServer;", "syncData", kRequestTypeMessage},
    {kCmdSyncFileTable, "RequestSyncFileTable", "SyncServer;", "syncData", kRequestTypeMessage},
    {kCmdSyncCustomerTable, "RequestSyncCustomerTable", "SyncServer;", "syncData", kRequestTypeMessage},
    {kCmdSyncDataFinish, "RequestSyncDataFinish", "SyncServer;", "syncDataFinished", kRequestTypeMessage},
    {kCmdUploadQuoteOrder, "RequestUploadQuoteOrder", "SyncClient;", "syncData", kRequestTypeMessage},
    {kCmdDownloadFinish, "RequestDownloadFinish", "SyncServer;", "syncFileFinished", kRequestTypeMessage},
    {kCmdUploadCustomer, "RequestUploadCustomer", "SyncClient;", "syncData", kRequestTypeMessage},
    {kCmdDownload, "RequestDownload", "", "", kRequestTypeDownload},
};

// The command of that class; null when the table has none (a compile-time error where the
// result is used in a constant expression).
constexpr const ServerCommand* findServerCommand(std::string_view className)
{
    for (const ServerCommand& command : kServerCommands) {
        if (command.className == className)
            return &command;
    }
    return nullptr;
}

// Uploads store data on the server: sent again only when the first attempt never reached it.
constexpr bool isUploadCommand(int code)
{
    return code == kCmdUploadQuoteOrder || code == kCmdUploadCustomer;
}

// The sync's tables, whose answers grow with the catalogue.
constexpr bool isSyncTableCommand(int code)
{
    return code == kCmdSyncAllTable || code == kCmdSyncFileTable || code == kCmdSyncCustomerTable;
}
