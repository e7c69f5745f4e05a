#pragma once
#include <optional>
#include <string>

// One row of brivanta_customer_contact; isDeful is the column isDefault.
struct brivanta_customer_contact_entity {
    int pID = 0; // in memory: the local id before upload
    int customerID = 0;
    int contactID = 0;
    std::optional<std::string> first_name;
    std::optional<std::string> last_name;
    std::optional<std::string> job_title;
    std::optional<std::string> work_phone;
    std::optional<std::string> mobile_phone;
    std::optional<std::string> email;
    std::optional<std::string> im;
    std::optional<std::string> note;
    bool isDeful = false;
};
