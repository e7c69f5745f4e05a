#pragma once
#include "Database/brivanta_customer_Entity.h"
#include "Database/brivanta_customer_address_Entity.h"
#include "Database/brivanta_customer_attribute_Entity.h"
#include "Database/brivanta_customer_contact_entity.h"
#include "Database/brivanta_fields_customer_attribute_Entity.h"
#include "Platform/Base/Value.h"
#include "Protocol/NetBaseRst.h"

#include <vector>

// The customer tables' rows as the server sent them.
class SyncCustomerTableRst : public NetBaseRst {
public:
    std::vector<brivanta_customer_Entity> customerTable;
    std::vector<brivanta_customer_attribute_Entity> customerAttributeTable;
    std::vector<brivanta_fields_customer_attribute_Entity> fieldsAttributeTable;
    std::vector<brivanta_customer_address_Entity> customerAddressTable;
    std::vector<brivanta_customer_contact_entity> customerContactTable;

    // Customers, attribute values, field definitions and addresses; contacts do not count.
    size_t resultCount() const;

    // [0] customers with their attribute values, [1] attribute fields, [2] addresses,
    // [3] contacts.
    void readContent(const base::Array& content);
};
