#pragma once
#include "Database/brivanta_customer_Entity.h"
#include "Database/brivanta_customer_address_Entity.h"
#include "Database/brivanta_customer_attribute_Entity.h"
#include "Database/brivanta_customer_contact_entity.h"
#include "Platform/Base/Value.h"
#include "Protocol/NetBaseRst.h"

#include <vector>

// The server's answer to a customer upload: each row pairs the device's provisional id (pid,
// pID) with the server's ids.
class SubmitCustomerRst : public NetBaseRst {
public:
    std::vector<brivanta_customer_Entity> customerArry;
    std::vector<brivanta_customer_address_Entity> customerAddress;
    std::vector<brivanta_customer_attribute_Entity> customerAttributes;
    std::vector<brivanta_customer_contact_entity> customerContacts;

    void readContent(const base::Dictionary& content);
};
