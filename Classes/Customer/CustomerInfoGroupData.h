#pragma once
#include "Classes/Customer/CustomerDataModel.h"

#include <optional>
#include <string>
#include <vector>

// One row of a detail group. The label is for display only; `field` names what the row
// stores: a customer attribute field ("Phone", "Address", a client field's own name), a
// column of an address or contact row ("address", "first_name", ...), or "" for the name.
struct CustomerGroupRow {
    std::string key;   // the language key of the label, "" for a client field
    std::string label;
    std::string field;
    std::optional<std::string> value;
};

// One group of the customer detail: the base information, an address or a contact.
struct brivanta_customer_group_Entity {
    std::string groupName;
    std::vector<CustomerGroupRow> customerAttributes;
    int indexId = 0;
    bool isDefault = false;
    int addSection = -1;

    void addAttributeVaueForKey(const std::optional<std::string>& value, const std::string& key, const std::string& field);
    const CustomerGroupRow* rowWithField(const std::string& field) const;
};

// The customer shown in the detail pane, arranged in groups: [0] base information, [1] the
// primary address, then the stored and added addresses; the contacts apart.
class CustomerInfoGroupData {
public:
    std::vector<brivanta_customer_group_Entity>& customerCompanyData() { return m_company; }
    const std::vector<brivanta_customer_group_Entity>& customerCompanyData() const { return m_company; }
    std::vector<brivanta_customer_group_Entity>& customerContactData() { return m_contacts; }
    const std::vector<brivanta_customer_group_Entity>& customerContactData() const { return m_contacts; }

    void updateCustomerInfoData(const std::optional<PersonInfo>& person);
    // Captions and group names in the current language; the values stay as they are.
    void retext();
    void switchActivi(bool on);
    void setFirstContactToPromary();
    void removeAllObjects();
    // Ids for groups added while editing: below every id handed out or stored, never 0.
    int nextNewGroupId() { return --m_lowestId; }
    brivanta_customer_group_Entity newAddressGroup();
    brivanta_customer_group_Entity newContactGroup();

private:
    std::vector<brivanta_customer_group_Entity> m_company;
    std::vector<brivanta_customer_group_Entity> m_contacts;
    int m_lowestId = 0;
};
