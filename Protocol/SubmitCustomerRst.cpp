#include "Protocol/SubmitCustomerRst.h"

#include "Protocol/ServerFields.h"

namespace {

using serverfields::Conversion;
using serverfields::Field;
using Customer = brivanta_customer_Entity;
using Address = brivanta_customer_address_Entity;
using Attribute = brivanta_customer_attribute_Entity;
using Contact = brivanta_customer_contact_entity;

constexpr Field<Customer> kCustomerFields[] = {
    {"customerId", &Customer::customer_id},
    {"preId", &Customer::pid},
};

constexpr Field<Address> kAddressFields[] = {
    {"preId", &Address::pID},
    {"customerId", &Address::customerId},
    {"id", &Address::indexId},
    {"address", &Address::customerAddress, Conversion::TextOrEmpty},
    {"city", &Address::customerCity, Conversion::TextOrEmpty},
    {"state", &Address::customerState, Conversion::TextOrEmpty},
    {"zip_code", &Address::customerZipCode, Conversion::TextOrEmpty},
};

constexpr Field<Attribute> kAttributeFields[] = {
    {"preId", &Attribute::pID},
    {"attributeId", &Attribute::attribute_id},
    {"customerId", &Attribute::customer_id},
    {"attributeFieldsId", &Attribute::attribute_fields_id},
    {"attributeValue", &Attribute::attribute_value},
};

constexpr Field<Contact> kContactFields[] = {
    {"preId", &Contact::pID},
    {"customerId", &Contact::customerID},
    {"contactId", &Contact::contactID},
    {"firstName", &Contact::first_name},
    {"lastName", &Contact::last_name},
    {"jobTitle", &Contact::job_title},
    {"workPhone", &Contact::work_phone},
    {"mobilePhone", &Contact::mobile_phone},
    {"email", &Contact::email},
    {"im", &Contact::im},
    {"note", &Contact::note},
};

template<class Record, size_t N>
void appendAll(std::vector<Record>& table, const base::Value* list, const Field<Record> (&fields)[N])
{
    serverfields::forEachObject(list, [&](const base::Dictionary& object) {
        table.push_back(serverfields::recordOf(object, fields));
    });
}

} // namespace

void SubmitCustomerRst::readContent(const base::Dictionary& content)
{
    appendAll(customerArry, content.find("brivanta_customer"), kCustomerFields);
    appendAll(customerAddress, content.find("brivanta_customer_address"), kAddressFields);
    appendAll(customerAttributes, content.find("brivanta_customer_attribute"), kAttributeFields);
    appendAll(customerContacts, content.find("brivanta_customer_contact"), kContactFields);
}
