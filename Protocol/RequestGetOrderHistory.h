#pragma once
#include "Protocol/RequestInterfaceBase.h"

#include <optional>
#include <string>

// Fetches a page of the account's order history (265 on the "SyncServer;" head): the orders
// older than baseTime, newest first, at most numberOfOrder.
class RequestGetOrderHistory : public RequestInterfaceBase {
public:
    // Takes user and client from the login state.
    RequestGetOrderHistory();

    const std::string& userName() const { return m_userName; }
    const std::string& clientID() const { return m_clientID; }
    // Local time "MM/dd/yyyy HH:mm:ss"; absent asks from the newest order.
    const std::optional<std::string>& baseTime() const { return m_baseTime; }
    void setBaseTime(std::optional<std::string> v) { m_baseTime = std::move(v); }
    int numberOfOrder() const { return m_numberOfOrder; }
    void setNumberOfOrder(int v) { m_numberOfOrder = v; }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    std::string m_userName;
    std::string m_clientID;
    std::optional<std::string> m_baseTime;
    int m_numberOfOrder = 0;
};
