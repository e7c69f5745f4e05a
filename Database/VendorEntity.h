#pragma once
#include "Platform/Base/Date.h"

#include <memory>
#include <optional>
#include <string>

// The vendor types the order records refer to. Nothing makes one, so an order's vendor is
// always absent and its stored vendor id 0.
struct VendorStateEntity {
    int serial = 0;
    std::optional<std::string> name;
    std::optional<std::string> code;
    double taxRate = 0;
};

struct VendorGroupEntity {
    int serial = 0;
    std::optional<std::string> name;
    std::optional<std::string> desc;
    double discount = 0;
};

struct VendorEntity {
    int serial = 0;
    std::shared_ptr<VendorStateEntity> state;
    std::shared_ptr<VendorGroupEntity> group;
    double discount = 0;
    std::optional<std::string> deviceID;
    std::optional<std::string> deviceToken;
    std::optional<std::string> account;
    std::optional<std::string> password;
    std::optional<std::string> username;
    std::optional<std::string> email;
    std::optional<std::string> phone;
    bool islocked = false;
    std::optional<base::Date> registerDate;
    std::optional<base::Date> lastsyncDate;
    int inDate = 0;
};
