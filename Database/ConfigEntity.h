#pragma once
#include <optional>
#include <string>

// One row of Brivanta_component_config: a setting of the client. Absent fields mean unset.
struct ConfigEntity {
    std::optional<std::string> _id;         // column id
    std::optional<std::string> clientid;    // column client_id
    std::optional<std::string> configType;  // column cfg_type
    std::optional<std::string> desc;
    std::optional<std::string> update_date; // "MM/dd/yyyy HH:mm:ss"
};
