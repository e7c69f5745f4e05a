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

void SyncCustomerTableRst::readContent(const base::Array& content)
{
    using serverfields::slot;
    serverfields::forEachObject(slot(content, 0), [&](const base::Dictionary& object) {
        const int customerId = customerTable.emplace_back(serverfields::recordOf(object, kCustomerFields)).customer_id;
        serverfields::forEachObject(object.find("attributes"), [&](const base::Dictionary& attribute) {
            customerAttributeTable.push_back(serverfields::recordOf(attribute, kAttributeFields));
            customerAttributeTable.back().customer_id = customerId;
        });
    });
    serverfields::forEachObject(slot(content, 1), [&](const base::Dictionary& object) {
        fieldsAttributeTable.push_back(serverfields::recordOf(object, kAttributeFieldFields));
    });
    serverfields::forEachObject(slot(content, 2), [&](const base::Dictionary& object) {
        customerAddressTable.push_back(serverfields::recordOf(object, kAddressFields));
    });
    serverfields::forEachObject(slot(content, 3), [&](const base::Dictionary& object) {
        customerContactTable.push_back(serverfields::recordOf(object, kContactFields));
    });
}
