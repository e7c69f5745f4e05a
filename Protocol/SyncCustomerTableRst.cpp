#include "Protocol/SyncCustomerTableRst.h"

#include "Protocol/ServerFields.h"

namespace {

using serverfields::Conversion;
using serverfields::Field;
using Customer = brivanta_customer_Entity;
using Attribute = brivanta_customer_attribute_Entity;
using AttributeField = brivanta_fields_customer_attribute_Entity;
using Address = brivanta_customer_address_Entity;
using Contact = brivanta_customer_contact_entity;

constexpr Field<Customer> kCustomerFields[] = {
    {"customerId", &Customer::customer_id},
    {"customerInfoId", &Customer::customer_info_id},
    {"customerName", &Customer::customer_name},
    {"customerPublish", &Customer::customer_publish},
    {"customerOrdering", &Customer::customer_ordering},
    {"customerDiscount", &Customer::discount, Conversion::Float},
};

// The customer's id is stamped on afterwards.
constexpr Field<Attribute> kAttributeFields[] = {
    {"attributeId", &Attribute::attribute_id},
    {"attributeFieldsId", &Attribute::attribute_fields_id},
    {"attributeValue", &Attribute::attribute_value},
};

constexpr Field<AttributeField> kAttributeFieldFields[] = {
    {"attributeFieldsId", &AttributeField::field_id},
    {"attributeName", &AttributeField::field_name},
    {"description", &AttributeField::description},
    {"data_type", &AttributeField::data_type},
    {"selection_list", &AttributeField::selection_list},
    {"display", &AttributeField::display},
    {"published", &AttributeField::published},
};

constexpr Field<Address> kAddressFields[] = {
    {"id", &Address::indexId},
    {"customer_id", &Address::customerId},
    {"address", &Address::customerAddress},
    {"city", &Address::customerCity},
    {"state", &Address::customerState},
    {"zip_code", &Address::customerZipCode},
};

constexpr Field<Contact> kContactFields[] = {
    {"customerId", &Contact::customerID},
    {"contactId", &Contact::contactID},
    {"firstName", &Contact::first_name, Conversion::TextOrEmpty},
    {"lastName", &Contact::last_name, Conversion::TextOrEmpty},
    {"jobTitle", &Contact::job_title, Conversion::TextOrEmpty},
    {"workPhone", &Contact::work_phone, Conversion::TextOrEmpty},
    {"mobilePhone", &Contact::mobile_phone, Conversion::TextOrEmpty},
    {"email", &Contact::email, Conversion::TextOrEmpty},
    {"im", &Contact::im, Conversion::TextOrEmpty},
    {"note", &Contact::note, Conversion::TextOrEmpty},
};

} // namespace

size_t SyncCustomerTableRst::resultCount() const
{
    return customerTable.size() + customerAttributeTable.size() + fieldsAttributeTable.size() +
           customerAddressTable.size();
}

size_t SyncCustomerTableRst::readRow(size_t slot, const base::Dictionary& object, unsigned tables)
{
    size_t added = 0;
    auto add = [&](auto& table, const auto& fields) {
        table.push_back(serverfields::recordOf(object, fields));
        ++added;
    };
    switch (slot) {
    case 0:
        if (tables & Customers)
            add(customerTable, kCustomerFields);
        if (tables & Attributes) {
            const int customerId = serverfields::intOf(object.find("customerId"));
            serverfields::forEachObject(object.find("attributes"), [&](const base::Dictionary& attribute) {
                customerAttributeTable.push_back(serverfields::recordOf(attribute, kAttributeFields));
                customerAttributeTable.back().customer_id = customerId;
                ++added;
            });
        }
        break;
    case 1:
        if (tables & AttributeFields)
            add(fieldsAttributeTable, kAttributeFieldFields);
        break;
    case 2:
        if (tables & Addresses)
            add(customerAddressTable, kAddressFields);
        break;
    case 3:
        if (tables & Contacts)
            add(customerContactTable, kContactFields);
        break;
    default:
        break;
    }
    return added;
}

void SyncCustomerTableRst::readContent(const base::Array& content)
{
    AnswerRows::forEachRowOf(content, [&](size_t slot, const base::Dictionary& object) { readRow(slot, object, ~0u); });
}

void SyncCustomerTableRst::readAnswer(AnswerText answer)
{
    m_rows = AnswerRows::read(*this, std::move(answer));
}

void SyncCustomerTableRst::clear(unsigned tables)
{
    auto empty = [&](Table table, auto& list) {
        if (tables & table)
            list = {};
    };
    empty(Customers, customerTable);
    empty(Attributes, customerAttributeTable);
    empty(AttributeFields, fieldsAttributeTable);
    empty(Addresses, customerAddressTable);
    empty(Contacts, customerContactTable);
}

void SyncCustomerTableRst::forEachBatch(unsigned batched, unsigned whole, size_t rows,
                                        const std::function<bool(bool last)>& each)
{
    AnswerRows::inBatches(
        m_rows, rows,
        [&](size_t slot, const base::Dictionary& object) {
            size_t counted = readRow(slot, object, batched);
            readRow(slot, object, whole & ~batched);
            return counted;
        },
        each, [&](bool all) { clear(all ? batched | whole : batched); });
}
