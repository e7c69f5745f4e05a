#pragma once
#include "Database/BaseDataModel.h"
#include "Database/SharedRows.h"
#include "Database/brivanta_customer_Entity.h"
#include "Database/brivanta_customer_address_Entity.h"
#include "Database/brivanta_customer_attribute_Entity.h"
#include "Database/brivanta_customer_contact_entity.h"
#include "Database/brivanta_fields_customer_attribute_Entity.h"
#include "Database/customer_attribute_cell_Entity.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

// What a customer's rows are packed from in the customer list: every member.
template <>
struct RowMembers<customer_attribute_cell_Entity> {
    using Row = customer_attribute_cell_Entity;
    static constexpr auto members = std::make_tuple(&Row::field_id, &Row::fieldName, &Row::attributeValue,
                                                    &Row::attributeList);
};
// A text column of an address or contact row: its name in the table and the member holding it.
template <typename Row>
struct RowColumn {
    const char* name;
    std::optional<std::string> Row::*member;
};

// The text columns of an address and of a contact, each once: the packing below, the changes a
// user made, and the re-apply of those changes over the office's version are all made from it.
template <typename Row>
struct RowColumns;
template <>
struct RowColumns<brivanta_customer_address_Entity> {
    using Row = brivanta_customer_address_Entity;
    static constexpr const char* table = "brivanta_customer_address";
    static constexpr const char* idColumn = "id";
    static constexpr auto texts = std::make_tuple(
        RowColumn<Row>{"address", &Row::customerAddress}, RowColumn<Row>{"city", &Row::customerCity},
        RowColumn<Row>{"state", &Row::customerState}, RowColumn<Row>{"zip_code", &Row::customerZipCode});
};
template <>
struct RowColumns<brivanta_customer_contact_entity> {
    using Row = brivanta_customer_contact_entity;
    static constexpr const char* table = "brivanta_customer_contact";
    static constexpr const char* idColumn = "contact_id";
    static constexpr auto texts = std::make_tuple(
        RowColumn<Row>{"first_name", &Row::first_name}, RowColumn<Row>{"last_name", &Row::last_name},
        RowColumn<Row>{"job_title", &Row::job_title}, RowColumn<Row>{"work_phone", &Row::work_phone},
        RowColumn<Row>{"mobile_phone", &Row::mobile_phone}, RowColumn<Row>{"email", &Row::email},
        RowColumn<Row>{"im", &Row::im}, RowColumn<Row>{"note", &Row::note});
};

// The members of the text columns, in their order.
template <typename Row>
constexpr auto textMembers()
{
    return std::apply([](auto... column) { return std::make_tuple(column.member...); }, RowColumns<Row>::texts);
}

template <>
struct RowMembers<brivanta_customer_address_Entity> {
    using Row = brivanta_customer_address_Entity;
    static constexpr auto members = std::tuple_cat(std::make_tuple(&Row::pID, &Row::indexId, &Row::customerId),
                                                   textMembers<Row>(), std::make_tuple(&Row::isDefault));
};
template <>
struct RowMembers<brivanta_customer_contact_entity> {
    using Row = brivanta_customer_contact_entity;
    static constexpr auto members = std::tuple_cat(std::make_tuple(&Row::pID, &Row::customerID, &Row::contactID),
                                                   textMembers<Row>(), std::make_tuple(&Row::isDeful));
};

// One customer as the customer list reads it; the members carry the names the customer
// screens look up.
struct CustomerInfoEntry {
    std::optional<std::string> customer_info_id;
    std::string customer_name; // "" for NULL
    int customer_publish = 0;
    int customer_ordering = 0;
    bool hidden = false;
    double discount = 0;
    // The displayed attribute values by field id; one empty cell when there is none. Shared
    // with the copies of the entry, and of the person made from it, until one is changed.
    SharedRows<customer_attribute_cell_Entity> attribute;
    SharedRows<brivanta_customer_address_Entity> address;
    SharedRows<brivanta_customer_contact_entity> contact;
};

using CustomerInfoDictionary = std::map<int, CustomerInfoEntry>;

// A customer with every row of it, as stored; customer.customer_id is 0 when there is none.
struct CustomerRecord {
    brivanta_customer_Entity customer;
    std::vector<brivanta_customer_attribute_Entity> attributes;
    std::vector<brivanta_customer_address_Entity> addresses;
    std::vector<brivanta_customer_contact_entity> contacts;
};

// One field the user changed since the office's version. kind "customer": row 0, field
// "customer_name"; "attribute": row is the attribute field id; "address" and "contact": row is
// the row's id, field a column or "deleted".
struct ChangedField {
    std::string kind;
    int row = 0;
    std::string field;
    bool operator<(const ChangedField& o) const
    {
        return std::tie(kind, row, field) < std::tie(o.kind, o.row, o.field);
    }
    bool operator==(const ChangedField& o) const = default;
};

// The primary address and contact ids of every customer: the device's own choices.
struct PrimaryChoices {
    std::vector<int> addresses;
    std::vector<int> contacts;
};

// The customers with their attribute values, addresses and contacts, and the customer
// attribute field definitions. Local rows carry negative ids until an upload rewrites them.
// Bulk saves and id rewrites are all-or-nothing.
class CustomerModel : public BaseDataModel {
public:
    // Published customers by id; hidden ones only when asked for.
    CustomerInfoDictionary getAllCustomers(bool showHidden);
    // The published attribute fields (fieldName, field_id), in storage order.
    std::vector<customer_attribute_cell_Entity> getAllAttributes();
    // The last published customer of exactly that name.
    std::optional<brivanta_customer_Entity> getCustomerByCustomerName(const std::optional<std::string>& name);
    // An empty record when there is no such customer.
    brivanta_customer_Entity getCustomerByCustomerId(int customerId);
    std::vector<brivanta_customer_attribute_Entity> getCustomerAttributes(int customerId);
    // A local customer's newest first; a server customer's by ascending id.
    std::vector<brivanta_customer_address_Entity> getCustomerAddress(int customerId);
    std::vector<brivanta_customer_contact_entity> getCustomerContact(int customerId);
    // Whether any order row names the customer, submitted or not.
    bool isInUnsubmitOrder(int customerId);

    // The smallest negative id of each table, 0 when there is none.
    int getLastLocalCustomerId();
    int getLastLocalCustomerAttributesId();
    int getLastLocalCustomerAddressId();
    int getLastLocalCustomerContactsId();

    // The lowest local customer id this database ever handed out, kept beside the rows: once a
    // customer carries the server's id, this alone keeps its local id from coming back.
    // Nothing when none was kept (a database of an older program, or a new one).
    std::optional<int> localCustomerIdMark();
    // Lowers the mark to the id, never raises it; run in the transaction that stores the
    // customer, so a customer and its mark are kept together or not at all.
    bool keepLocalCustomerIdMark(int customerId);

    // The customer and its addresses, attributes and contacts, all or none.
    bool deleteCustomerTableWithID(int customerId);
    bool updateCustomerTableHiddenWithCustomerIdWithHidden(int customerId, bool hidden);
    // Clears the customer's defaults, then marks that address (none for 0).
    bool updateAddressToDefaultIndexId(int customerId, int addressId);
    bool updateContactToDefaultContact(int customerId, int contactId);

    // Id rewrites after an upload: pid / pID is the row's id now, the record's ids the new ones.
    // A customer's child rows follow it to its new id.
    bool updateCustomerTable(const std::optional<std::vector<brivanta_customer_Entity>>& customers);
    bool updateCustomerAddressTable(const std::optional<std::vector<brivanta_customer_address_Entity>>& addresses);
    bool updateCustomerAttributeTable(const std::optional<std::vector<brivanta_customer_attribute_Entity>>& attributes);
    bool updateContactIdAfterUpload(const std::optional<std::vector<brivanta_customer_contact_entity>>& contacts);

    // When an upload's customer already came with a sync: rows stored under the server ids
    // the answer gives to local rows go, so that the local rows take those ids.
    bool dropRowsHoldingServerIds(const std::vector<brivanta_customer_address_Entity>& addresses,
                                  const std::vector<brivanta_customer_attribute_Entity>& attributes,
                                  const std::vector<brivanta_customer_contact_entity>& contacts);
    // Then the local customer's child rows move under the stored customer and the local row
    // goes; with `localWins` the stored row takes the local name and hidden flag first.
    bool mergeLocalCustomerInto(int localId, int customerId, bool localWins);
    // A lost upload's copy found on the server, stored already: the local rows the server holds
    // (by their local ids) go, the rows added since move under it, and so do the hidden flag
    // and the customer's place; the local row goes.
    bool takeOverLocalCustomer(int localId, int customerId, const std::set<int>& storedAddresses,
                               const std::set<int>& storedAttributes, const std::set<int>& storedContacts);

    // Bulk saves. A customer save keeps the hidden flag and deletes the customer's child rows,
    // so customers go first.
    bool saveToDatabaseCustomer(const std::optional<std::vector<brivanta_customer_Entity>>& customers);
    bool saveToDatabaseCustomerAttribute(const std::optional<std::vector<brivanta_customer_attribute_Entity>>& attributes);
    bool saveToDatabaseCustomerContact(const std::optional<std::vector<brivanta_customer_contact_entity>>& contacts);
    // An empty list answers NO.
    bool saveToDatabaseCustomerAddress(const std::optional<std::vector<brivanta_customer_address_Entity>>& addresses);
    // Replaces every definition; an empty list answers NO and keeps them.
    bool saveToDatabaseFieldsCustomerAttribute(
        const std::optional<std::vector<brivanta_fields_customer_attribute_Entity>>& fields);

    // --- Changes made on the device and not yet uploaded --------------------------------
    // Each store of a customer on the device counts one change, kept in the database so
    // that it outlives the process. A sync leaves a customer with changes as the device has
    // it; an upload answer forgets the changes it carried.
    bool markCustomerChanged(int customerId);
    // 0 for a customer without changes.
    int customerChangeCount(int customerId);
    std::set<int> customersWithUnsentChanges();
    // 0 forgets the customer's changes.
    bool setCustomerChangeCount(int customerId, int count);

    // --- What the user changed, field by field, for the merge with the office's version ---
    CustomerRecord readCustomerRecord(int customerId);
    // Adds the fields that differ between the two versions of the customer to its record.
    bool recordChangedFields(int customerId, const CustomerRecord& before, const CustomerRecord& after);
    std::vector<ChangedField> changedFields(int customerId);
    bool forgetChangedFields(int customerId);
    // After an upload answer: the record follows the customer and its rows to their new ids.
    bool moveChangedFields(int fromCustomer, int toCustomer, const std::map<int, int>& addressIds,
                           const std::map<int, int>& contactIds);
    // Once the office's version is stored: the changed fields take the user's values again.
    bool reapplyChangedFields(int customerId, const CustomerRecord& mine, const std::vector<ChangedField>& fields);
    PrimaryChoices primaryChoices();
    // Marks again every chosen row that still exists.
    bool restorePrimaryChoices(const PrimaryChoices& choices);
    // Storing the office's version of customers: read what is the device's before, put it
    // back after. A customer counted as changed before fields were recorded stays whole
    // (`whole`: the caller leaves the office's rows of it out).
    struct OfficeMerge {
        PrimaryChoices choices;
        std::map<int, std::pair<CustomerRecord, std::vector<ChangedField>>> mine;
        std::set<int> whole;
    };
    OfficeMerge beforeOfficeVersion(const std::set<int>& arriving);
    bool afterOfficeVersion(const OfficeMerge& merge);

    // --- Uploads of local customers whose answer never came ---------------------------------
    // What was sent of the customer, kept until an answer says what became of it, with the
    // server customers of its name there were when it was sent (`alike`): the copy a lost
    // upload made is none of those.
    bool rememberSentUpload(int customerId, const std::string& sent, const std::set<int>& alike = {});
    std::map<int, std::string> sentUploads();
    std::set<int> alikeWhenSent(int customerId);
    bool forgetSentUpload(int customerId);
    // The server customers (positive ids) of exactly that name, hidden and unpublished ones too.
    std::vector<int> serverCustomersNamed(const std::string& name);

    // The address and contact tables, the hidden column and the tables of unsent changes.
    bool updateVersion() override;
    bool createCustomerAddressTable();
    bool alterCustomerTable();
    bool createCustomerConatctTable();
    bool createCustomerUnsentTable();
    bool createCustomerChangedTable();
    bool createCustomerSentTable();
    bool createLocalIdMarkTable();
};
