#pragma once
#include "Database/brivanta_customer_Entity.h"
#include "Database/brivanta_customer_address_Entity.h"
#include "Database/brivanta_customer_attribute_Entity.h"
#include "Database/brivanta_customer_contact_entity.h"
#include "Database/brivanta_fields_customer_attribute_Entity.h"
#include "Platform/Base/Value.h"
#include "Protocol/AnswerRows.h"
#include "Protocol/NetBaseRst.h"

#include <functional>
#include <optional>
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

    // The lists a pass of forEachBatch fills.
    enum Table : unsigned {
        Customers = 1 << 0,
        Attributes = 1 << 1,
        AttributeFields = 1 << 2,
        Addresses = 1 << 3,
        Contacts = 1 << 4,
    };
    // As SyncAllTableRst::forEachBatch, `each` called whenever `rows` rows of the `batched`
    // lists have been read.
    void forEachBatch(unsigned batched, unsigned whole, size_t rows, const std::function<bool(bool last)>& each);
    void readAnswer(AnswerText answer);
    // Lets the answer's text go once every pass is done.
    void releaseAnswer() { m_rows.reset(); }

private:
    // The rows the object added to the lists.
    size_t readRow(size_t slot, const base::Dictionary& object, unsigned tables);

    void clear(unsigned tables);

    std::optional<AnswerRows> m_rows;
};
