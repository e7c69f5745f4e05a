#include "Classes/Customer/CustomerInfoGroupData.h"

#include "Common/Language.h"
#include "Platform/Base/Text.h"

#include <algorithm>

namespace {

struct Builtin {
    const char* field;
    const char* key;
    int group; // 0 base information, 1 primary address
};

// The attribute fields the detail shows under labels of its own.
constexpr Builtin kBuiltins[] = {
    {"Phone", "PHONE", 0},    {"Bank Account", "BANKACCOUNT", 0}, {"Active", "ACTIVE", 0},
    {"Address", "STREETADDRESS", 1}, {"City", "CITY", 1},         {"State/Province/Region", "STATE", 1},
    {"Zip Code", "ZIPCODE", 1},
};

constexpr std::pair<const char*, const char*> kAddressRows[] = {
    {"address", "STREETADDRESS"}, {"city", "CITY"}, {"state", "STATE"}, {"zip_code", "ZIPCODE"}};
constexpr std::pair<const char*, const char*> kContactRows[] = {
    {"first_name", "FIRSTNAME"},     {"last_name", "LASTNAME"},       {"job_title", "JOBTITLE"},
    {"work_phone", "WORKPHONE"},     {"mobile_phone", "MOBILEPHONE"}, {"email", "EMAILCONTACT"},
    {"im", "IM"},                    {"note", "NOTE"}};

} // namespace

void brivanta_customer_group_Entity::addAttributeVaueForKey(const std::optional<std::string>& value,
                                                            const std::string& key, const std::string& field)
{
    std::string label = key.empty() ? field : Language::stringWithName(key);
    customerAttributes.push_back({key, label, field, value.value_or("")});
}

const CustomerGroupRow* brivanta_customer_group_Entity::rowWithField(const std::string& field) const
{
    for (const auto& row : customerAttributes) {
        if (row.field == field)
            return &row;
    }
    return nullptr;
}

void CustomerInfoGroupData::removeAllObjects()
{
    m_company.clear();
    m_contacts.clear();
}

brivanta_customer_group_Entity CustomerInfoGroupData::newAddressGroup()
{
    brivanta_customer_group_Entity group;
    group.groupName = Language::stringWithName("ALTERNATEADDRESS");
    for (const auto& [field, key] : kAddressRows)
        group.addAttributeVaueForKey("", key, field);
    return group;
}

brivanta_customer_group_Entity CustomerInfoGroupData::newContactGroup()
{
    brivanta_customer_group_Entity group;
    group.groupName = Language::stringWithName("ALTERNATECONTACT");
    for (const auto& [field, key] : kContactRows)
        group.addAttributeVaueForKey("", key, field);
    return group;
}

void CustomerInfoGroupData::updateCustomerInfoData(const std::optional<PersonInfo>& person)
{
    removeAllObjects();
    m_lowestId = 0;
    if (!person)
        return;
    brivanta_customer_group_Entity base;
    base.groupName = Language::stringWithName("BASEINFO");
    base.addAttributeVaueForKey(person->name, "NAME", "");
    brivanta_customer_group_Entity primary;
    primary.groupName = Language::stringWithName("PRIMARYADDRESS");
    for (const auto& cell : person->attribute) {
        if (!cell.fieldName)
            continue;
        const std::string& field = *cell.fieldName;
        auto builtin = std::find_if(std::begin(kBuiltins), std::end(kBuiltins),
                                    [&](const Builtin& b) { return field == b.field; });
        std::optional<std::string> value = cell.attributeValue;
        if (field == "Active" && (!value || base::trimmingWhitespaceAndNewlines(*value).empty()))
            value = "YES";
        if (builtin == std::end(kBuiltins))
            base.addAttributeVaueForKey(value, "", field);
        else
            (builtin->group == 0 ? base : primary).addAttributeVaueForKey(value, builtin->key, field);
    }
    m_company.push_back(std::move(base));
    m_company.push_back(std::move(primary));
    bool anyDefault = false;
    for (const auto& stored : person->address) {
        brivanta_customer_group_Entity group;
        group.groupName = Language::stringWithName("ALTERNATEADDRESS");
        group.isDefault = stored.isDefault;
        group.indexId = stored.indexId;
        m_lowestId = std::min(m_lowestId, stored.indexId);
        anyDefault = anyDefault || stored.isDefault;
        const std::optional<std::string> values[] = {stored.customerAddress, stored.customerCity, stored.customerState,
                                                     stored.customerZipCode};
        for (size_t i = 0; i < 4; ++i)
            group.addAttributeVaueForKey(values[i], kAddressRows[i].second, kAddressRows[i].first);
        m_company.push_back(std::move(group));
    }
    if (!anyDefault)
        m_company[1].isDefault = true;
    for (const auto& contact : person->contact) {
        brivanta_customer_group_Entity group;
        group.groupName = Language::stringWithName("ALTERNATECONTACT");
        group.isDefault = contact.isDeful;
        group.indexId = contact.contactID;
        m_lowestId = std::min(m_lowestId, contact.contactID);
        const std::optional<std::string> values[] = {contact.first_name,   contact.last_name,   contact.job_title,
                                                     contact.work_phone,   contact.mobile_phone, contact.email,
                                                     contact.im,           contact.note};
        for (size_t i = 0; i < 8; ++i)
            group.addAttributeVaueForKey(values[i], kContactRows[i].second, kContactRows[i].first);
        m_contacts.push_back(std::move(group));
    }
    setFirstContactToPromary();
}

void CustomerInfoGroupData::retext()
{
    for (auto* groups : {&m_company, &m_contacts}) {
        for (auto& group : *groups) {
            for (auto& row : group.customerAttributes) {
                if (!row.key.empty())
                    row.label = Language::stringWithName(row.key);
            }
        }
    }
    // Group names follow the groups' places, as they were given.
    for (size_t i = 0; i < m_company.size(); ++i)
        m_company[i].groupName = Language::stringWithName(i == 0 ? "BASEINFO" : i == 1 ? "PRIMARYADDRESS" : "ALTERNATEADDRESS");
    for (size_t i = 0; i < m_contacts.size(); ++i)
        m_contacts[i].groupName = Language::stringWithName(i == 0 ? "PRIMARYCONTACT" : "ALTERNATECONTACT");
}

void CustomerInfoGroupData::switchActivi(bool on)
{
    if (m_company.empty())
        return;
    for (auto& row : m_company[0].customerAttributes) {
        if (row.field == "Active") {
            row.value = on ? "YES" : "NO";
            return;
        }
    }
}

void CustomerInfoGroupData::setFirstContactToPromary()
{
    if (m_contacts.empty())
        return;
    m_contacts[0].groupName = Language::stringWithName("PRIMARYCONTACT");
    bool anyDefault = std::any_of(m_contacts.begin(), m_contacts.end(), [](const auto& g) { return g.isDefault; });
    if (!anyDefault)
        m_contacts[0].isDefault = true;
}
