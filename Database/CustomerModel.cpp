#include "Database/CustomerModel.h"

#include "Database/BulkSave.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <map>
#include <set>

namespace {

// The customer's default row: the old one cleared and the new one set together, so that a
// refused second statement leaves the old default in place rather than none. The choice is the
// device's own: nothing to send.
bool setDefault(const char* operation, const std::string& table, const std::string& idColumn, int customerId,
                int rowId)
{
    BulkSave save(operation);
    save.run("update " + table + " set isDefault = 0 where  customer_id = ?", customerId);
    if (rowId != 0)
        save.run("update " + table + " set isDefault = 1 where  customer_id = ? and " + idColumn + " = ?", customerId,
                 rowId);
    return save.commit();
}

brivanta_customer_Entity readCustomer(BRResultSet& rs)
{
    brivanta_customer_Entity customer;
    customer.customer_id = rs.intForColumn("customer_id");
    customer.customer_info_id = rs.stringForColumn("customer_info_id");
    customer.customer_name = rs.stringForColumn("customer_name");
    customer.customer_publish = rs.intForColumn("customer_publish");
    customer.customer_ordering = rs.intForColumn("customer_ordering");
    customer.discount = rs.doubleForColumn("discount");
    customer.hidden = rs.intForColumn("hidden");
    return customer;
}

brivanta_customer_attribute_Entity readAttribute(BRResultSet& rs)
{
    brivanta_customer_attribute_Entity attribute;
    attribute.attribute_id = rs.intForColumn("attribute_id");
    attribute.customer_id = rs.intForColumn("customer_id");
    attribute.attribute_fields_id = rs.intForColumn("attribute_fields_id");
    attribute.attribute_value = rs.stringForColumn("attribute_value");
    return attribute;
}

brivanta_customer_address_Entity readAddress(BRResultSet& rs)
{
    brivanta_customer_address_Entity address;
    address.indexId = rs.intForColumn("id");
    address.customerId = rs.intForColumn("customer_id");
    address.customerAddress = rs.stringForColumn("address");
    address.customerCity = rs.stringForColumn("city");
    address.customerState = rs.stringForColumn("state");
    address.customerZipCode = rs.stringForColumn("zip_code");
    address.isDefault = rs.boolForColumn("isDefault");
    return address;
}

brivanta_customer_contact_entity readContact(BRResultSet& rs)
{
    brivanta_customer_contact_entity contact;
    contact.contactID = rs.intForColumn("contact_id");
    contact.customerID = rs.intForColumn("customer_id");
    contact.first_name = rs.stringForColumn("first_name");
    contact.last_name = rs.stringForColumn("last_name");
    contact.job_title = rs.stringForColumn("job_title");
    contact.work_phone = rs.stringForColumn("work_phone");
    contact.mobile_phone = rs.stringForColumn("mobile_phone");
    contact.email = rs.stringForColumn("email");
    contact.im = rs.stringForColumn("im");
    contact.note = rs.stringForColumn("note");
    contact.isDeful = rs.boolForColumn("isDefault");
    return contact;
}

// One row of the customer list's join: the customer and one displayed attribute value.
struct CustomerListRow {
    int customerId;
    CustomerInfoEntry customer;
    customer_attribute_cell_Entity cell;
};

CustomerListRow readCustomerListRow(BRResultSet& rs)
{
    CustomerListRow row;
    row.customerId = rs.intForColumn("customer_id");
    row.customer.customer_info_id = rs.stringForColumn("customer_info_id");
    row.customer.customer_name = rs.stringForColumn("customer_name").value_or("");
    row.customer.customer_publish = rs.intForColumn("customer_publish");
    row.customer.customer_ordering = rs.intForColumn("customer_ordering");
    row.customer.discount = rs.doubleForColumn("discount");
    row.customer.hidden = rs.boolForColumn("hidden");
    row.cell.fieldName = rs.stringForColumn("field_name").value_or("");
    row.cell.attributeValue = rs.stringForColumn("attribute_value").value_or("");
    return row;
}

} // namespace

CustomerInfoDictionary CustomerModel::getAllCustomers(bool showHidden)
{
    CustomerInfoDictionary customers;
    std::string sql =
        "select  t1.customer_id,t1.customer_info_id,t1.customer_name,t1.customer_publish,"
        "t1.customer_ordering ,t1.discount ,t1.hidden,t5.attribute_value,t5.field_name from "
        "brivanta_customer t1 left join (select  t2.customer_id ,t2.attribute_value,t3.field_id,"
        "t3.field_name from brivanta_customer_attribute t2, brivanta_fields_customer_attribute t3,"
        "brivanta_customer t4 where t2.attribute_fields_id = t3.field_id and t3.published = 1 and "
        "t3.display = 1 and t2.customer_id = t4.customer_id and t4.customer_publish = 1) t5 on "
        "t1.customer_id = t5.customer_id where t1.customer_publish=1 ";
    if (!showHidden)
        sql += "and t1.hidden != 1 ";
    sql += "order by t1.customer_ordering,t1.customer_id,t5.field_id ;";
    // Each customer's rows are gathered as they are read, and packed into it once it has them
    // all: tens of thousands of customers are never held a second time as the rows they came
    // from. A row of another customer than the one before starts that customer's entry.
    CustomerInfoEntry* current = nullptr;
    int currentId = 0;
    std::vector<customer_attribute_cell_Entity> cells;
    forEachRow(readCustomerListRow, sql, [&](CustomerListRow row) {
        if (!current || row.customerId != currentId) {
            if (current)
                current->attribute = cells;
            cells.clear();
            currentId = row.customerId;
            current = &customers[currentId];
            *current = std::move(row.customer);
        }
        cells.push_back(std::move(row.cell));
    });
    if (current)
        current->attribute = cells;
    if (customers.empty())
        return customers;
    // Two reads of the whole child tables instead of two queries per customer; the same
    // order as getCustomerAddress / getCustomerContact: a local customer's newest first.
    auto gather = [&](auto read, const char* query, auto customerOf, auto rowsOf) {
        using Row = decltype(read(std::declval<BRResultSet&>()));
        std::vector<Row> rows;
        int owner = 0;
        auto flush = [&] {
            if (rows.empty())
                return;
            if (auto it = customers.find(owner); it != customers.end()) {
                if (owner < 0)
                    std::reverse(rows.begin(), rows.end());
                rowsOf(it->second) = rows;
            }
            rows.clear();
        };
        forEachRow(read, query, [&](Row row) {
            if (customerOf(row) != owner) {
                flush();
                owner = customerOf(row);
            }
            rows.push_back(std::move(row));
        });
        flush();
    };
    gather(readAddress,
           "select id, customer_id , address,city, state , zip_code ,isDefault "
           "from brivanta_customer_address order by customer_id, id",
           [](const brivanta_customer_address_Entity& a) { return a.customerId; },
           [](CustomerInfoEntry& entry) -> auto& { return entry.address; });
    gather(readContact, "select * from brivanta_customer_contact order by customer_id, contact_id",
           [](const brivanta_customer_contact_entity& c) { return c.customerID; },
           [](CustomerInfoEntry& entry) -> auto& { return entry.contact; });
    return customers;
}

std::vector<customer_attribute_cell_Entity> CustomerModel::getAllAttributes()
{
    return readRows(
        [](BRResultSet& rs) {
            customer_attribute_cell_Entity cell;
            cell.fieldName = rs.stringForColumn("field_name").value_or("");
            cell.field_id = rs.intForColumn("field_id");
            return cell;
        },
        "select * from brivanta_fields_customer_attribute where published=1 ");
}

std::optional<brivanta_customer_Entity> CustomerModel::getCustomerByCustomerName(
    const std::optional<std::string>& name)
{
    if (!name)
        return std::nullopt;
    auto rows = readRows(readCustomer,
                         "select * from brivanta_customer where customer_publish = 1 and "
                         "customer_name = ?",
                         *name);
    if (rows.empty())
        return std::nullopt;
    return rows.back();
}

brivanta_customer_Entity CustomerModel::getCustomerByCustomerId(int customerId)
{
    auto rows = readRows(readCustomer, "select * from brivanta_customer where  customer_id = ?",
                         customerId);
    return rows.empty() ? brivanta_customer_Entity{} : rows.front();
}

std::vector<brivanta_customer_attribute_Entity> CustomerModel::getCustomerAttributes(int customerId)
{
    return readRows(readAttribute, "select * from brivanta_customer_attribute where  customer_id = ?",
                    customerId);
}

std::vector<brivanta_customer_address_Entity> CustomerModel::getCustomerAddress(int customerId)
{
    // Local ids count down, so descending is the order they were made in.
    if (customerId < 0) {
        return readRows(readAddress,
                        "select id, customer_id , address,city, state , zip_code ,isDefault from "
                        "brivanta_customer_address where  customer_id = ? order by id DESC",
                        customerId);
    }
    return readRows(readAddress,
                    "select id, customer_id , address,city, state , zip_code ,isDefault from "
                    "brivanta_customer_address where  customer_id = ? order by id",
                    customerId);
}

std::vector<brivanta_customer_contact_entity> CustomerModel::getCustomerContact(int customerId)
{
    if (customerId < 0) {
        return readRows(readContact,
                        "select * from brivanta_customer_contact where  customer_id = ? order by "
                        "contact_id DESC",
                        customerId);
    }
    return readRows(readContact,
                    "select * from brivanta_customer_contact where  customer_id = ? order by "
                    "contact_id ",
                    customerId);
}

bool CustomerModel::isInUnsubmitOrder(int customerId)
{
    return intForQuery("select count(*) as count from brivanta_quote_order WHERE customer_id = ? ",
                       customerId) > 0;
}

int CustomerModel::getLastLocalCustomerId()
{
    // Unpublished local customers count too: their ids must not be handed out again.
    return intForQuery("select min(customer_id) as customer_id from brivanta_customer where customer_id < 0");
}

int CustomerModel::getLastLocalCustomerAttributesId()
{
    return intForQuery("select min(attribute_id) as attribute_id from brivanta_customer_attribute where "
                   "attribute_id < 0");
}

int CustomerModel::getLastLocalCustomerAddressId()
{
    return intForQuery("select min([id]) as id from brivanta_customer_address where id < 0 ");
}

int CustomerModel::getLastLocalCustomerContactsId()
{
    return intForQuery("select min(contact_id) as contact_id from brivanta_customer_contact where "
                   "contact_id < 0");
}

std::optional<int> CustomerModel::localCustomerIdMark()
{
    // A database without the table has no mark: the query fails and nothing comes back.
    return readFirstRow([](BRResultSet& rs) { return rs.intForColumnIndex(0); },
                        "SELECT lowest FROM brivanta_local_id_mark WHERE kind = 'customer'");
}

bool CustomerModel::keepLocalCustomerIdMark(int customerId)
{
    auto db = database();
    return db && createLocalIdMarkTable()
        && db->executeUpdate("INSERT INTO brivanta_local_id_mark(kind,lowest) VALUES('customer',?) "
                             "ON CONFLICT(kind) DO UPDATE SET lowest = min(lowest, excluded.lowest)",
                             customerId);
}

bool CustomerModel::deleteCustomerTableWithID(int customerId)
{
    BulkSave save("deleteCustomerTableWithID");
    save.run("DELETE FROM brivanta_customer WHERE customer_id = ?", customerId);
    save.run("DELETE FROM brivanta_customer_address WHERE customer_id = ?", customerId);
    save.run("DELETE FROM brivanta_customer_attribute WHERE customer_id = ?", customerId);
    save.run("DELETE FROM brivanta_customer_contact WHERE customer_id = ?", customerId);
    return save.commit();
}

bool CustomerModel::updateCustomerTableHiddenWithCustomerIdWithHidden(int customerId, bool hidden)
{
    auto db = database();
    return db && db->executeUpdate("UPDATE brivanta_customer SET hidden = ? WHERE customer_id = ?",
                                   hidden ? 1 : 0, customerId);
}

bool CustomerModel::updateAddressToDefaultIndexId(int customerId, int addressId)
{
    return setDefault("updateAddressToDefaultIndexId", "brivanta_customer_address", "id", customerId, addressId);
}

bool CustomerModel::updateContactToDefaultContact(int customerId, int contactId)
{
    return setDefault("updateContactToDefaultContact", "brivanta_customer_contact", "contact_id", customerId,
                      contactId);
}

bool CustomerModel::updateCustomerTable(const std::optional<std::vector<brivanta_customer_Entity>>& customers)
{
    if (!customers)
        return false;
    BulkSave save("updateCustomerTable");
    for (const auto& customer : *customers) {
        // The child rows the server's answer does not list must not keep the local id.
        if (!save.run("UPDATE brivanta_customer SET customer_id = ? WHERE customer_id = ?",
                      customer.customer_id, customer.pid)
            || !save.run("UPDATE brivanta_customer_address SET customer_id = ? WHERE customer_id = ?",
                         customer.customer_id, customer.pid)
            || !save.run("UPDATE brivanta_customer_attribute SET customer_id = ? WHERE customer_id = ?",
                         customer.customer_id, customer.pid)
            || !save.run("UPDATE brivanta_customer_contact SET customer_id = ? WHERE customer_id = ?",
                         customer.customer_id, customer.pid))
            break;
    }
    return save.commit();
}

bool CustomerModel::updateCustomerAddressTable(
    const std::optional<std::vector<brivanta_customer_address_Entity>>& addresses)
{
    if (!addresses)
        return false;
    BulkSave save("updateCustomerAddressTable");
    for (const auto& address : *addresses) {
        if (!save.run("UPDATE brivanta_customer_address SET id = ? ,customer_id = ? WHERE id = ?",
                      address.indexId, address.customerId, address.pID))
            break;
    }
    return save.commit();
}

bool CustomerModel::updateCustomerAttributeTable(
    const std::optional<std::vector<brivanta_customer_attribute_Entity>>& attributes)
{
    if (!attributes)
        return false;
    BulkSave save("updateCustomerAttributeTable");
    for (const auto& attribute : *attributes) {
        if (!save.run("UPDATE brivanta_customer_attribute SET attribute_id = ? ,customer_id = ? "
                      "WHERE attribute_id = ?",
                      attribute.attribute_id, attribute.customer_id, attribute.pID))
            break;
    }
    return save.commit();
}

bool CustomerModel::updateContactIdAfterUpload(
    const std::optional<std::vector<brivanta_customer_contact_entity>>& contacts)
{
    if (!contacts)
        return false;
    BulkSave save("updateContactIdAfterUpload");
    for (const auto& contact : *contacts) {
        if (!save.run("UPDATE brivanta_customer_contact SET contact_id = ? ,customer_id = ? WHERE "
                      "contact_id = ?",
                      contact.contactID, contact.customerID, contact.pID))
            break;
    }
    return save.commit();
}

bool CustomerModel::dropRowsHoldingServerIds(const std::vector<brivanta_customer_address_Entity>& addresses,
                                             const std::vector<brivanta_customer_attribute_Entity>& attributes,
                                             const std::vector<brivanta_customer_contact_entity>& contacts)
{
    BulkSave save("dropRowsHoldingServerIds");
    for (const auto& address : addresses)
        if (address.indexId != address.pID)
            save.run("DELETE FROM brivanta_customer_address WHERE id = ?", address.indexId);
    for (const auto& attribute : attributes)
        if (attribute.attribute_id != attribute.pID)
            save.run("DELETE FROM brivanta_customer_attribute WHERE attribute_id = ?", attribute.attribute_id);
    for (const auto& contact : contacts)
        if (contact.contactID != contact.pID)
            save.run("DELETE FROM brivanta_customer_contact WHERE contact_id = ?", contact.contactID);
    return save.commit();
}

bool CustomerModel::mergeLocalCustomerInto(int localId, int customerId, bool localWins)
{
    BulkSave save("mergeLocalCustomerInto");
    if (localWins)
        save.run("UPDATE brivanta_customer SET (customer_name, hidden) = (SELECT customer_name, hidden FROM "
                 "brivanta_customer WHERE customer_id = ?) WHERE customer_id = ?",
                 localId, customerId);
    save.run("DELETE FROM brivanta_customer WHERE customer_id = ?", localId);
    for (const char* table : {"brivanta_customer_address", "brivanta_customer_attribute", "brivanta_customer_contact"})
        save.run("UPDATE " + std::string(table) + " SET customer_id = ? WHERE customer_id = ?", customerId, localId);
    return save.commit();
}

bool CustomerModel::takeOverLocalCustomer(int localId, int customerId, const std::set<int>& storedAddresses,
                                          const std::set<int>& storedAttributes, const std::set<int>& storedContacts)
{
    BulkSave save("takeOverLocalCustomer");
    save.run("UPDATE brivanta_customer SET hidden = (SELECT hidden FROM brivanta_customer WHERE customer_id = ?) "
             "WHERE customer_id = ? AND EXISTS (SELECT 1 FROM brivanta_customer WHERE customer_id = ?)",
             localId, customerId, localId);
    for (int id : storedAddresses)
        save.run("DELETE FROM brivanta_customer_address WHERE customer_id = ? AND id = ?", localId, id);
    for (int id : storedAttributes)
        save.run("DELETE FROM brivanta_customer_attribute WHERE customer_id = ? AND attribute_id = ?", localId, id);
    for (int id : storedContacts)
        save.run("DELETE FROM brivanta_customer_contact WHERE customer_id = ? AND contact_id = ?", localId, id);
    save.run("DELETE FROM brivanta_customer WHERE customer_id = ?", localId);
    for (const char* table : {"brivanta_customer_address", "brivanta_customer_attribute", "brivanta_customer_contact"})
        save.run("UPDATE " + std::string(table) + " SET customer_id = ? WHERE customer_id = ?", customerId, localId);
    return save.commit();
}

bool CustomerModel::saveToDatabaseCustomer(const std::optional<std::vector<brivanta_customer_Entity>>& customers)
{
    if (!customers)
        return false;
    BulkSave save("saveToDatabaseCustomer");
    for (const auto& customer : *customers) {
        // An upsert, not a replace: the hidden flag is the device's own and survives sync.
        if (!save.run("INSERT INTO brivanta_customer(customer_id,customer_info_id,customer_name,"
                      "customer_publish,customer_ordering,discount) VALUES(?,?,?,?,?,?) "
                      "ON CONFLICT(customer_id) DO UPDATE SET "
                      "customer_info_id=excluded.customer_info_id,"
                      "customer_name=excluded.customer_name,"
                      "customer_publish=excluded.customer_publish,"
                      "customer_ordering=excluded.customer_ordering,discount=excluded.discount;",
                      customer.customer_id, customer.customer_info_id, customer.customer_name,
                      customer.customer_publish, customer.customer_ordering, customer.discount)
            // The synced child rows go, to come again from the server; rows added on the
            // device (negative ids) have not been uploaded yet and stay until their upload
            // gives them server ids.
            || !save.run("DELETE FROM brivanta_customer_attribute WHERE customer_id = ? AND attribute_id > 0;",
                         customer.customer_id)
            || !save.run("DELETE FROM brivanta_customer_address WHERE customer_id = ? AND id > 0;",
                         customer.customer_id)
            || !save.run("DELETE FROM brivanta_customer_contact WHERE customer_id = ? AND contact_id > 0;",
                         customer.customer_id))
            break;
    }
    return save.commit();
}

bool CustomerModel::saveToDatabaseCustomerAttribute(
    const std::optional<std::vector<brivanta_customer_attribute_Entity>>& attributes)
{
    if (!attributes)
        return false;
    BulkSave save("saveToDatabaseCustomerAttribute");
    for (const auto& attribute : *attributes) {
        if (!save.run("INSERT or REPLACE INTO brivanta_customer_attribute(attribute_id,customer_id,"
                      "attribute_fields_id,attribute_value) VALUES(?,?,?,?);",
                      attribute.attribute_id, attribute.customer_id, attribute.attribute_fields_id,
                      attribute.attribute_value))
            break;
    }
    return save.commit();
}

bool CustomerModel::saveToDatabaseCustomerContact(
    const std::optional<std::vector<brivanta_customer_contact_entity>>& contacts)
{
    if (!contacts)
        return false;
    BulkSave save("saveToDatabaseCustomerContact");
    for (const auto& contact : *contacts) {
        if (!save.run("INSERT or REPLACE INTO brivanta_customer_contact(contact_id,customer_id,"
                      "first_name,last_name,job_title,work_phone,mobile_phone,email,im,note,"
                      "isDefault) VALUES(?,?,?,?,?,?,?,?,?,?,?);",
                      contact.contactID, contact.customerID, contact.first_name, contact.last_name,
                      contact.job_title, contact.work_phone, contact.mobile_phone, contact.email,
                      contact.im, contact.note, contact.isDeful))
            break;
    }
    return save.commit();
}

bool CustomerModel::saveToDatabaseCustomerAddress(
    const std::optional<std::vector<brivanta_customer_address_Entity>>& addresses)
{
    if (!addresses || addresses->empty())
        return false;
    BulkSave save("saveToDatabaseCustomerAddress");
    for (const auto& address : *addresses) {
        if (!save.run("INSERT or REPLACE INTO brivanta_customer_address(id,customer_id,address,city,"
                      "state,zip_code,isDefault) VALUES(?,?,?,?,?,?,?);",
                      address.indexId, address.customerId, address.customerAddress,
                      address.customerCity, address.customerState, address.customerZipCode,
                      address.isDefault))
            break;
    }
    return save.commit();
}

bool CustomerModel::saveToDatabaseFieldsCustomerAttribute(
    const std::optional<std::vector<brivanta_fields_customer_attribute_Entity>>& fields)
{
    if (!fields || fields->empty())
        return false;
    BulkSave save("saveToDatabaseFieldsCustomerAttribute");
    // Inside the transaction, so a failed save keeps the stored definitions.
    save.run("DELETE FROM brivanta_fields_customer_attribute;");
    for (const auto& field : *fields) {
        if (!save.run("INSERT or REPLACE INTO brivanta_fields_customer_attribute(field_id,field_name,"
                      "description,data_type,selection_list,display,published) "
                      "VALUES(?,?,?,?,?,?,?);",
                      field.field_id, field.field_name, field.description, field.data_type,
                      field.selection_list, field.display, field.published))
            break;
    }
    return save.commit();
}

bool CustomerModel::markCustomerChanged(int customerId)
{
    auto db = database();
    return db && db->executeUpdate("INSERT INTO brivanta_customer_unsent(customer_id,change_count) VALUES(?,1) "
                                   "ON CONFLICT(customer_id) DO UPDATE SET change_count = change_count + 1",
                                   customerId);
}

int CustomerModel::customerChangeCount(int customerId)
{
    return intForQuery("SELECT change_count FROM brivanta_customer_unsent WHERE customer_id = ?", customerId);
}

std::set<int> CustomerModel::customersWithUnsentChanges()
{
    auto ids = readRows([](BRResultSet& rs) { return rs.intForColumnIndex(0); },
                        "SELECT customer_id FROM brivanta_customer_unsent WHERE change_count > 0");
    return {ids.begin(), ids.end()};
}

bool CustomerModel::setCustomerChangeCount(int customerId, int count)
{
    auto db = database();
    if (!db)
        return false;
    if (count == 0)
        return db->executeUpdate("DELETE FROM brivanta_customer_unsent WHERE customer_id = ?", customerId);
    return db->executeUpdate("INSERT OR REPLACE INTO brivanta_customer_unsent(customer_id,change_count) VALUES(?,?)",
                             customerId, count);
}

bool CustomerModel::updateVersion()
{
    BaseDataModel::updateVersion();
    bool addresses = createCustomerAddressTable();
    bool hidden = alterCustomerTable();
    bool contacts = createCustomerConatctTable();
    bool unsent = createCustomerUnsentTable();
    bool changed = createCustomerChangedTable();
    bool sent = createCustomerSentTable();
    bool mark = createLocalIdMarkTable();
    return addresses && hidden && contacts && unsent && changed && sent && mark;
}

bool CustomerModel::createLocalIdMarkTable()
{
    auto db = database();
    return db
        && db->executeUpdate("create table if not exists brivanta_local_id_mark(kind TEXT PRIMARY KEY NOT NULL,"
                             "lowest INTEGER NOT NULL)");
}

bool CustomerModel::createCustomerChangedTable()
{
    auto db = goodDatabase();
    return db
        && db->executeUpdate("create table if not exists brivanta_customer_changed(customer_id INTEGER NOT NULL,"
                             "kind TEXT NOT NULL,row_id INTEGER NOT NULL,field TEXT NOT NULL,"
                             "PRIMARY KEY(customer_id,kind,row_id,field))");
}

bool CustomerModel::createCustomerSentTable()
{
    auto db = goodDatabase();
    return db
        && db->executeUpdate("create table if not exists brivanta_customer_sent(customer_id INTEGER PRIMARY KEY "
                             "NOT NULL,sent TEXT NOT NULL,alike TEXT NOT NULL DEFAULT '')")
        && addColumnIfMissing("brivanta_customer_sent", "alike",
                              "ALTER TABLE brivanta_customer_sent ADD alike TEXT NOT NULL DEFAULT ''");
}

namespace {

// The text column `name` of a row; nothing when the row has no such column.
template <typename Row>
const std::optional<std::string>* column(const Row& row, std::string_view name)
{
    const std::optional<std::string>* found = nullptr;
    auto look = [&](const RowColumn<Row>& c) {
        if (!found && name == c.name)
            found = &(row.*c.member);
    };
    std::apply([&](const auto&... c) { (look(c), ...); }, RowColumns<Row>::texts);
    return found;
}

// Puts back a row the office deleted, with the user's texts, not as the primary one.
template <typename Row>
void insertIfMissing(BulkSave& save, const Row& row, int id, int customerId)
{
    using Columns = RowColumns<Row>;
    std::string names, marks;
    std::apply([&](auto... c) { ((names += std::string(",") + c.name, marks += ",?"), ...); }, Columns::texts);
    std::string sql = std::string("INSERT OR IGNORE INTO ") + Columns::table + "(" + Columns::idColumn + ",customer_id"
                      + names + ",isDefault) VALUES(?,?" + marks + ",0)";
    std::apply([&](auto... c) { save.run(sql, id, customerId, (row.*c.member)...); }, Columns::texts);
}

int rowId(const brivanta_customer_address_Entity& a) { return a.indexId; }
int rowId(const brivanta_customer_contact_entity& c) { return c.contactID; }

// The columns of rows present in both versions that differ, and the rows the newer one lacks.
template <typename Row>
void diffRows(const char* kind, const std::vector<Row>& before, const std::vector<Row>& after,
              std::set<ChangedField>& out)
{
    for (const auto& old : before) {
        auto now = std::find_if(after.begin(), after.end(), [&](const Row& r) { return rowId(r) == rowId(old); });
        if (now == after.end()) {
            out.insert({kind, rowId(old), "deleted"});
            continue;
        }
        auto compare = [&](const RowColumn<Row>& c) {
            if ((old.*c.member).value_or("") != ((*now).*c.member).value_or(""))
                out.insert({kind, rowId(old), c.name});
        };
        std::apply([&](const auto&... c) { (compare(c), ...); }, RowColumns<Row>::texts);
    }
}

std::map<int, std::string> attributeValues(const std::vector<brivanta_customer_attribute_Entity>& rows)
{
    std::map<int, std::string> values;
    for (const auto& row : rows)
        values[row.attribute_fields_id] += row.attribute_value.value_or("") + '\x1f';
    return values;
}

} // namespace

CustomerRecord CustomerModel::readCustomerRecord(int customerId)
{
    CustomerRecord record;
    record.customer = getCustomerByCustomerId(customerId);
    if (record.customer.customer_id != customerId || customerId == 0) {
        record.customer = {};
        return record;
    }
    record.attributes = getCustomerAttributes(customerId);
    record.addresses = getCustomerAddress(customerId);
    record.contacts = getCustomerContact(customerId);
    return record;
}

bool CustomerModel::recordChangedFields(int customerId, const CustomerRecord& before, const CustomerRecord& after)
{
    std::set<ChangedField> changed;
    if (before.customer.customer_name.value_or("") != after.customer.customer_name.value_or(""))
        changed.insert({"customer", 0, "customer_name"});
    auto oldValues = attributeValues(before.attributes);
    auto newValues = attributeValues(after.attributes);
    for (const auto& [field, value] : oldValues)
        if (auto now = newValues.find(field); now == newValues.end() || now->second != value)
            changed.insert({"attribute", field, "attribute_value"});
    for (const auto& [field, value] : newValues)
        if (!oldValues.count(field))
            changed.insert({"attribute", field, "attribute_value"});
    diffRows("address", before.addresses, after.addresses, changed);
    diffRows("contact", before.contacts, after.contacts, changed);
    BulkSave save("recordChangedFields");
    for (const auto& field : changed)
        save.run("INSERT OR IGNORE INTO brivanta_customer_changed(customer_id,kind,row_id,field) VALUES(?,?,?,?)",
                 customerId, field.kind, field.row, field.field);
    return save.commit();
}

std::vector<ChangedField> CustomerModel::changedFields(int customerId)
{
    return readRows(
        [](BRResultSet& rs) {
            return ChangedField{rs.stringForColumn("kind").value_or(""), rs.intForColumn("row_id"),
                                rs.stringForColumn("field").value_or("")};
        },
        "SELECT kind,row_id,field FROM brivanta_customer_changed WHERE customer_id = ? ORDER BY kind,row_id,field",
        customerId);
}

bool CustomerModel::forgetChangedFields(int customerId)
{
    auto db = database();
    return db && db->executeUpdate("DELETE FROM brivanta_customer_changed WHERE customer_id = ?", customerId);
}

bool CustomerModel::moveChangedFields(int fromCustomer, int toCustomer, const std::map<int, int>& addressIds,
                                      const std::map<int, int>& contactIds)
{
    auto fields = changedFields(fromCustomer);
    BulkSave save("moveChangedFields");
    save.run("DELETE FROM brivanta_customer_changed WHERE customer_id = ?", fromCustomer);
    for (auto field : fields) {
        const auto& ids = field.kind == "address" ? addressIds : contactIds;
        if (field.kind == "address" || field.kind == "contact")
            if (auto it = ids.find(field.row); it != ids.end())
                field.row = it->second;
        save.run("INSERT OR IGNORE INTO brivanta_customer_changed(customer_id,kind,row_id,field) VALUES(?,?,?,?)",
                 toCustomer, field.kind, field.row, field.field);
    }
    return save.commit();
}

bool CustomerModel::reapplyChangedFields(int customerId, const CustomerRecord& mine,
                                         const std::vector<ChangedField>& fields)
{
    BulkSave save("reapplyChangedFields");
    for (const auto& field : fields) {
        if (field.kind == "customer") {
            save.run("UPDATE brivanta_customer SET customer_name = ? WHERE customer_id = ?",
                     mine.customer.customer_name, customerId);
        } else if (field.kind == "attribute") {
            save.run("DELETE FROM brivanta_customer_attribute WHERE customer_id = ? AND attribute_fields_id = ?",
                     customerId, field.row);
            for (const auto& a : mine.attributes)
                if (a.attribute_fields_id == field.row)
                    save.run("INSERT OR REPLACE INTO brivanta_customer_attribute(attribute_id,customer_id,"
                             "attribute_fields_id,attribute_value) VALUES(?,?,?,?)",
                             a.attribute_id, customerId, a.attribute_fields_id, a.attribute_value);
        } else if (field.kind == "address") {
            if (field.field == "deleted") {
                save.run("DELETE FROM brivanta_customer_address WHERE customer_id = ? AND id = ?", customerId, field.row);
                continue;
            }
            auto a = std::find_if(mine.addresses.begin(), mine.addresses.end(),
                                  [&](const auto& r) { return r.indexId == field.row; });
            if (a == mine.addresses.end() || !column(*a, field.field))
                continue;
            // A row the office deleted comes back with the user's edit.
            insertIfMissing(save, *a, a->indexId, customerId);
            save.run("UPDATE brivanta_customer_address SET " + field.field + " = ? WHERE id = ? AND customer_id = ?",
                     *column(*a, field.field), a->indexId, customerId);
        } else if (field.kind == "contact") {
            if (field.field == "deleted") {
                save.run("DELETE FROM brivanta_customer_contact WHERE customer_id = ? AND contact_id = ?", customerId,
                         field.row);
                continue;
            }
            auto c = std::find_if(mine.contacts.begin(), mine.contacts.end(),
                                  [&](const auto& r) { return r.contactID == field.row; });
            if (c == mine.contacts.end() || !column(*c, field.field))
                continue;
            insertIfMissing(save, *c, c->contactID, customerId);
            save.run("UPDATE brivanta_customer_contact SET " + field.field
                         + " = ? WHERE contact_id = ? AND customer_id = ?",
                     *column(*c, field.field), c->contactID, customerId);
        }
    }
    return save.commit();
}

PrimaryChoices CustomerModel::primaryChoices()
{
    auto ids = [](BRResultSet& rs) { return rs.intForColumnIndex(0); };
    return {readRows(ids, "SELECT id FROM brivanta_customer_address WHERE isDefault = 1"),
            readRows(ids, "SELECT contact_id FROM brivanta_customer_contact WHERE isDefault = 1")};
}

bool CustomerModel::restorePrimaryChoices(const PrimaryChoices& choices)
{
    BulkSave save("restorePrimaryChoices");
    for (int id : choices.addresses)
        save.run("UPDATE brivanta_customer_address SET isDefault = 1 WHERE id = ?", id);
    for (int id : choices.contacts)
        save.run("UPDATE brivanta_customer_contact SET isDefault = 1 WHERE contact_id = ?", id);
    return save.commit();
}

CustomerModel::OfficeMerge CustomerModel::beforeOfficeVersion(const std::set<int>& arriving)
{
    OfficeMerge merge;
    merge.choices = primaryChoices();
    for (int id : customersWithUnsentChanges()) {
        if (!arriving.count(id))
            continue;
        auto fields = changedFields(id);
        if (fields.empty())
            merge.whole.insert(id);
        else
            merge.mine[id] = {readCustomerRecord(id), std::move(fields)};
    }
    return merge;
}

bool CustomerModel::afterOfficeVersion(const OfficeMerge& merge)
{
    for (const auto& [id, changed] : merge.mine)
        if (!reapplyChangedFields(id, changed.first, changed.second))
            return false;
    return restorePrimaryChoices(merge.choices);
}

bool CustomerModel::rememberSentUpload(int customerId, const std::string& sent, const std::set<int>& alike)
{
    std::string ids;
    for (int id : alike)
        ids += (ids.empty() ? "" : ",") + std::to_string(id);
    auto db = database();
    return db
        && db->executeUpdate("INSERT OR REPLACE INTO brivanta_customer_sent(customer_id,sent,alike) VALUES(?,?,?)",
                             customerId, sent, ids);
}

std::set<int> CustomerModel::alikeWhenSent(int customerId)
{
    std::set<int> ids;
    const std::string text =
        stringForQuery("SELECT alike FROM brivanta_customer_sent WHERE customer_id = ?", customerId).value_or("");
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find(',', at);
        if (end == std::string::npos)
            end = text.size();
        ids.insert(std::atoi(text.substr(at, end - at).c_str()));
        at = end + 1;
    }
    return ids;
}

std::vector<int> CustomerModel::serverCustomersNamed(const std::string& name)
{
    return readRows([](BRResultSet& rs) { return rs.intForColumnIndex(0); },
                    "SELECT customer_id FROM brivanta_customer WHERE customer_id > 0 AND customer_name = ? "
                    "ORDER BY customer_id",
                    name);
}

std::map<int, std::string> CustomerModel::sentUploads()
{
    std::map<int, std::string> sent;
    for (auto& [id, text] : readRows(
             [](BRResultSet& rs) {
                 return std::pair{rs.intForColumn("customer_id"), rs.stringForColumn("sent").value_or("")};
             },
             "SELECT customer_id,sent FROM brivanta_customer_sent"))
        sent[id] = std::move(text);
    return sent;
}

bool CustomerModel::forgetSentUpload(int customerId)
{
    auto db = database();
    return db && db->executeUpdate("DELETE FROM brivanta_customer_sent WHERE customer_id = ?", customerId);
}

bool CustomerModel::createCustomerUnsentTable()
{
    auto db = goodDatabase();
    return db
        && db->executeUpdate("create table if not exists brivanta_customer_unsent(customer_id INTEGER PRIMARY KEY "
                             "NOT NULL,change_count INTEGER NOT NULL DEFAULT 1)");
}

bool CustomerModel::createCustomerAddressTable()
{
    auto db = goodDatabase();
    if (!db)
        return false;
    return db->executeUpdate(
               "create table if not exists brivanta_customer_address(id INTEGER PRIMARY KEY "
               "AUTOINCREMENT NOT NULL,customer_id INTEGER NOT NULL,address VARCHAR(64),city "
               "VARCHAR(64),state VARCHAR(64),zip_code VARCHAR(64),isDefault INTEGER NOT NULL  "
               "DEFAULT 0)")
        // The customer save deletes by customer id, once per customer.
        && db->executeUpdate("CREATE INDEX IF NOT EXISTS idx_caddr_customer ON "
                             "brivanta_customer_address(customer_id)");
}

bool CustomerModel::alterCustomerTable()
{
    return addColumnIfMissing("brivanta_customer", "hidden",
                              "ALTER TABLE brivanta_customer ADD hidden INTEGER  DEFAULT 0");
}

bool CustomerModel::createCustomerConatctTable()
{
    auto db = goodDatabase();
    if (!db)
        return false;
    return db->executeUpdate(
               "create table if not exists brivanta_customer_contact(contact_id INTEGER PRIMARY "
               "KEY AUTOINCREMENT NOT NULL,customer_id INTEGER NOT NULL,first_name VARCHAR(64),"
               "last_name VARCHAR(64),job_title VARCHAR(64),work_phone VARCHAR(64),mobile_phone "
               "VARCHAR(64),email VARCHAR(64),im VARCHAR(64),note VARCHAR(64),isDefault INTEGER "
               "NOT NULL  DEFAULT 0)")
        && db->executeUpdate("CREATE INDEX IF NOT EXISTS idx_ccontact_customer ON "
                             "brivanta_customer_contact(customer_id)");
}
