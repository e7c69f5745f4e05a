#pragma once
#include "Platform/Base/Value.h"
#include "Protocol/NetBaseRst.h"
#include "Protocol/RequestBody.h"

#include <optional>
#include <string>

// What the commands share in writing their parameters and finding their content.
namespace commandparameters {

// The running version the server checks: the application delegate's, else the bundle's.
std::string currentVersion();

// A number as "%d".
std::string decimal(int number);

// "jsessionId" (dropped again by the body writer), "methodName", then the login state's
// "accountId" and "clientId" as they are now.
void addSessionMethodAccountClient(RequestBody& body, const std::string& sessionId, const std::string& methodName);

// 513, 515 and 516: the above, then "deviceId", "syncType" and "isFull".
void addSyncTableParameters(RequestBody& body, const std::string& sessionId, const std::string& methodName,
                            const std::string& syncType, const std::string& isFull);

// The answer's "content" when it is an object (an array), and only on "200".
const base::Dictionary* objectContent(const NetBaseRst& result, const std::optional<base::Value>& answer);
const base::Array* arrayContent(const NetBaseRst& result, const std::optional<base::Value>& answer);
// The content when it is an object, whatever the status.
const base::Dictionary* anyObjectContent(const std::optional<base::Value>& answer);

// Copies of the objects of an array; anything else is skipped. Empty when it is no array.
base::Array objectsOf(const base::Value* list);

} // namespace commandparameters
