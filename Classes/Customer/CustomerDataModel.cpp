#include "Classes/Customer/CustomerDataModel.h"

#include "Common/AppSession.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/MessageBox.h"
#include "Database/DataAccessManager.h"
#include "Network/BRJSON.h"
#include "Network/BRJsonWriter.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Text.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/LoginMode.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestUploadCustomer.h"
#include "Protocol/RequestSyncCustomerTable.h"
#include "Protocol/SubmitCustomerRst.h"
#include "Protocol/SyncCustomerTableRst.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <utility>

namespace {

constexpr int kCommandUploadCustomer = 520;
constexpr const char* kStatusOK = "200";
constexpr const char* kStatusUserLocked = "207";
constexpr const char* kStatusLoginBroken = "101";
constexpr const char* kStatusFailed = "FAILED";
constexpr const char* kStatusNetworkFailed = "999";

std::mutex g_lock;
std::shared_ptr<CustomerDataModel> g_instance;

bool isBlank(const std::optional<std::string>& text)
{
    return !text || base::trimmingWhitespace(*text).empty();
}

// The key, folded once by the caller, in the text (any case); nothing in a missing or empty text.
bool holds(std::string_view text, const std::string& loweredKey)
{
    if (text.empty())
        return false;
    // A search folds every text of every customer: one buffer serves them all.
    thread_local std::string key;
    base::foldInto(text, key);
    return key.find(loweredKey) != std::string::npos;
}

bool holds(const std::string& text, const std::string& loweredKey)
{
    return holds(std::string_view(text), loweredKey);
}

bool holds(const std::optional<std::string>& text, const std::string& loweredKey)
{
    return text && holds(*text, loweredKey);
}

bool contactHolds(const brivanta_customer_contact_entity& c, const std::string& key)
{
    return holds(c.first_name, key) || holds(c.last_name, key) || holds(c.job_title, key)
        || holds(c.work_phone, key) || holds(c.mobile_phone, key) || holds(c.email, key) || holds(c.im, key)
        || holds(c.note, key);
}

// The searches read the rows' texts where they are packed; of a customer's fields, only the values.
bool attributesHold(const CustomerInfoEntry& entry, const std::string& key)
{
    return entry.attribute.anyText<&customer_attribute_cell_Entity::attributeValue>(
        [&](std::string_view value) { return holds(value, key); });
}

bool addressesHold(const CustomerInfoEntry& entry, const std::string& key)
{
    return entry.address.anyText([&](std::string_view text) { return holds(text, key); });
}

bool contactsHold(const CustomerInfoEntry& entry, const std::string& key)
{
    return entry.contact.anyText([&](std::string_view text) { return holds(text, key); });
}

std::string markKey()
{
    return LoginMode::sharedInstance()->clientID() + "-LocalCustomerIdMark";
}

// Minus the seconds since the start of 2024: a counting start below every local id handed out
// before it, and far enough from the bottom of an int for decades of ids below it.
int64_t clockStartOfLocalIds()
{
    constexpr double kStart = 1704067200;
    constexpr double kMost = 1 << 30;
    const double since = base::Date::now().timeIntervalSince1970() - kStart;
    return -static_cast<int64_t>(std::clamp(since, 0.0, kMost));
}

int fieldIdNamed(const std::vector<customer_attribute_cell_Entity>& fields, const std::string& name)
{
    for (const auto& field : fields) {
        if (field.fieldName == name)
            return field.field_id;
    }
    return 0;
}

std::string text(const std::optional<std::string>& value)
{
    return value.value_or(std::string());
}

} // namespace

std::shared_ptr<CustomerDataModel> CustomerDataModel::sharedInstance()
{
    std::shared_ptr<CustomerDataModel> made;
    {
        std::lock_guard guard(g_lock);
        if (g_instance)
            return g_instance;
        made = g_instance = std::make_shared<CustomerDataModel>();
    }
    made->reloadCustomerData();
    return made;
}

void CustomerDataModel::freeInstance()
{
    std::shared_ptr<CustomerDataModel> dropped;
    std::lock_guard guard(g_lock);
    dropped = std::move(g_instance);
}

void CustomerDataModel::reloadSharedInstance()
{
    std::shared_ptr<CustomerDataModel> model;
    {
        std::lock_guard guard(g_lock);
        model = g_instance;
    }
    // A model made now has read them already.
    if (model)
        model->reloadCustomerData();
    else
        sharedInstance();
}

void CustomerDataModel::reloadCustomerData()
{
    // The old lists go first: tens of thousands of customers are not held twice over.
    setCustomerInfoDic({});
    m_allAttributes.clear();
    auto data = DataAccessManager::sharedDataModel();
    if (!data || !data->hasModels())
        return;
    setCustomerInfoDic(data->getAllCustomers(ConfigManager::sharedInstance()->isShowAllCustomer()));
    m_allAttributes = data->getAllAttributes();
}

PersonInfo CustomerDataModel::personInfoFromEntry(int customerId, const CustomerInfoEntry& entry)
{
    PersonInfo person;
    person.pid = customerId;
    person.name = entry.customer_name;
    person.customer_info_id = text(entry.customer_info_id);
    person.attribute = entry.attribute;
    person.address = entry.address;
    person.contact = entry.contact;
    person.discount = entry.discount;
    person.hidden = entry.hidden;
    return person;
}

void CustomerDataModel::setCustomerInfoDic(CustomerInfoDictionary customers)
{
    m_customerInfoDic = std::move(customers);
    m_hiddenWhenSet.clear();
    for (const auto& [customerId, entry] : m_customerInfoDic) {
        if (entry.hidden)
            m_hiddenWhenSet.push_back(customerId);
    }
    m_hiddenWhenSet.shrink_to_fit();
}

PersonInfo CustomerDataModel::listedPerson(int customerId, const CustomerInfoEntry& entry) const
{
    PersonInfo person = personInfoFromEntry(customerId, entry);
    person.hidden = std::binary_search(m_hiddenWhenSet.begin(), m_hiddenWhenSet.end(), customerId);
    return person;
}

std::vector<PersonInfo> CustomerDataModel::allSearchPersonList() const
{
    std::vector<PersonInfo> everyone;
    everyone.reserve(m_customerInfoDic.size());
    for (const auto& [customerId, entry] : m_customerInfoDic)
        everyone.push_back(listedPerson(customerId, entry));
    return everyone;
}

std::vector<PersonInfo> CustomerDataModel::customerSearch(const std::optional<std::string>& key) const
{
    std::vector<PersonInfo> found;
    if (isBlank(key))
        return found;
    const std::string lowered = base::folded(*key);
    for (const auto& [customerId, entry] : m_customerInfoDic) {
        bool hit = holds(entry.customer_name, lowered) || attributesHold(entry, lowered) || addressesHold(entry, lowered)
            || contactsHold(entry, lowered);
        if (hit)
            found.push_back(listedPerson(customerId, entry));
    }
    return found;
}

std::vector<ContactMode> CustomerDataModel::customerSearchByContact(const std::optional<std::string>& key) const
{
    std::vector<ContactMode> found;
    if (isBlank(key))
        return found;
    const std::string lowered = base::folded(*key);
    std::string compact = lowered;
    std::erase(compact, ' ');
    for (const auto& [customerId, entry] : m_customerInfoDic) {
        if (entry.contact.empty())
            continue;
        // The customer-wide tests are the same for each of its contacts.
        const bool nameHit = holds(entry.customer_name, lowered);
        std::optional<bool> othersHit;
        std::optional<PersonInfo> person;
        for (const auto& contact : entry.contact) {
            bool hit = nameHit || contactHolds(contact, lowered);
            if (!hit && !compact.empty() && !isBlank(contact.first_name) && !isBlank(contact.last_name)) {
                hit = holds(*contact.first_name + *contact.last_name, compact)
                    || holds(*contact.last_name + *contact.first_name, compact);
            }
            if (!hit) {
                if (!othersHit)
                    othersHit = attributesHold(entry, lowered) || addressesHold(entry, lowered);
                hit = *othersHit;
            }
            if (!hit)
                continue;
            if (!person)
                person = listedPerson(customerId, entry);
            found.push_back({text(contact.first_name), text(contact.last_name), *person});
        }
    }
    return found;
}

std::map<std::string, std::string> CustomerDataModel::getDefaultAddressByCustomer(int customerId) const
{
    std::map<std::string, std::string> address;
    auto person = m_customerInfoDic.find(customerId);
    if (person == m_customerInfoDic.end())
        return address;
    bool foundDefault = false;
    for (const auto& stored : person->second.address) {
        if (!stored.isDefault)
            continue;
        address["Address"] = text(stored.customerAddress);
        address["City"] = text(stored.customerCity);
        address["State/Province/Region"] = text(stored.customerState);
        address["Zip Code"] = text(stored.customerZipCode);
        foundDefault = true;
        break;
    }
    static const std::set<std::string> always = {"Phone", "Bank Account", "Active"};
    static const std::set<std::string> addressParts = {"Address", "City", "State/Province/Region", "Zip Code"};
    for (const auto& cell : person->second.attribute) {
        if (!cell.fieldName)
            continue;
        if (always.count(*cell.fieldName) || (!foundDefault && addressParts.count(*cell.fieldName)))
            address[*cell.fieldName] = text(cell.attributeValue);
    }
    return address;
}

int CustomerDataModel::nextLocalCustomerId()
{
    auto data = DataAccessManager::sharedDataModel();
    // An older program kept its mark in the preferences, under the company as typed at login.
    int64_t lowest = std::min<int64_t>(base::UserDefaults::standard()->integerForKey(markKey()), 0);
    std::optional<int> kept;
    if (data && data->hasModels()) {
        lowest = std::min<int64_t>(lowest, data->getLastLocalCustomerId());
        kept = data->customerModel()->localCustomerIdMark();
    }
    // Without a mark the ids handed out before are unknown (a wiped device, a lost or older
    // mark): the clock is below them all, as long as the device made fewer customers than
    // seconds have passed since it started counting.
    lowest = std::min<int64_t>(lowest, kept ? *kept : clockStartOfLocalIds());
    return static_cast<int>(std::max<int64_t>(lowest - 1, std::numeric_limits<int>::min()));
}

bool CustomerDataModel::keepLocalCustomerId(DataAccessManager& data, int customerId)
{
    return data.hasModels() && data.customerModel()->keepLocalCustomerIdMark(customerId);
}

int CustomerDataModel::saveCustomerWithNameStreetCityStateZipCode(const std::string& name,
                                                                  const std::optional<std::string>& street,
                                                                  const std::optional<std::string>& city,
                                                                  const std::optional<std::string>& state,
                                                                  const std::optional<std::string>& zip)
{
    auto data = DataAccessManager::sharedDataModel();
    if (!data || !data->hasModels())
        return 0;
    const int customerId = nextLocalCustomerId();
    bool saved = data->runInTransaction([&] {
        brivanta_customer_Entity customer;
        customer.customer_id = customerId;
        customer.customer_info_id = "";
        customer.customer_name = name;
        customer.customer_publish = 1;
        if (!data->saveToDatabaseCustomer(std::vector{customer}) || !keepLocalCustomerId(*data, customerId))
            return false;
        const int a = data->getLastLocalCustomerAttributesId();
        const std::pair<const char*, std::optional<std::string>> rows[] = {
            {"Phone", ""},
            {"Bank Account", ""},
            {"Active", "YES"},
            {"Address", street.value_or("")},
            {"City", city.value_or("")},
            {"State/Province/Region", state.value_or("")},
            {"Zip Code", zip.value_or("")},
        };
        std::vector<brivanta_customer_attribute_Entity> attributes;
        int step = 0;
        for (const auto& [field, value] : rows) {
            brivanta_customer_attribute_Entity attribute;
            attribute.attribute_id = a - ++step;
            attribute.customer_id = customerId;
            attribute.attribute_fields_id = fieldIdNamed(m_allAttributes, field);
            attribute.attribute_value = value;
            attributes.push_back(std::move(attribute));
        }
        return data->saveToDatabaseCustomerAttribute(attributes);
    });
    if (!saved)
        return 0;
    reloadCustomerData();
    return customerId;
}

void CustomerDataModel::updateCustomerInfoDicWithHidden(int customerId, bool hidden)
{
    if (auto it = m_customerInfoDic.find(customerId); it != m_customerInfoDic.end())
        it->second.hidden = hidden;
}

CustomerInfoDictionary CustomerDataModel::getNoHiddenCustomerData(bool reload)
{
    if (reload)
        reloadCustomerData();
    CustomerInfoDictionary shown;
    for (const auto& [customerId, entry] : m_customerInfoDic) {
        if (!entry.hidden)
            shown.emplace_hint(shown.end(), customerId, entry);
    }
    return shown;
}

// --- Upload ---------------------------------------------------------------------------------

std::optional<std::string> CustomerDataModel::getCustomerInfoById(const std::vector<int>& customerIds)
{
    auto document = buildDocument(customerIds);
    if (!document)
        return std::nullopt;
    return std::move(document->text);
}

namespace {

std::string addressText(const brivanta_customer_address_Entity& a)
{
    return text(a.customerAddress) + '\x1f' + text(a.customerCity) + '\x1f' + text(a.customerState) + '\x1f'
        + text(a.customerZipCode);
}

std::string contactText(const brivanta_customer_contact_entity& c)
{
    return text(c.first_name) + '\x1f' + text(c.last_name) + '\x1f' + text(c.job_title) + '\x1f' + text(c.work_phone)
        + '\x1f' + text(c.mobile_phone) + '\x1f' + text(c.email) + '\x1f' + text(c.im) + '\x1f' + text(c.note);
}

// The yes/no field goes up as a number: any text but "NO" is yes, as the server keeps it.
std::string attributeText(const brivanta_customer_attribute_Entity& a, int activeField)
{
    if (activeField != 0 && a.attribute_fields_id == activeField)
        return a.attribute_value == std::optional<std::string>("NO") ? "0" : "1";
    return text(a.attribute_value);
}

// The customer's address and contact rows joined after JOINED with ROWS, in an order of their
// own, so that two records holding the same rows give the same text.
std::string withAddressesAndContacts(std::string joined, std::vector<std::string> rows, const CustomerRecord& r)
{
    for (const auto& a : r.addresses)
        rows.push_back("a\x1f" + addressText(a));
    for (const auto& c : r.contacts)
        rows.push_back("c\x1f" + contactText(c));
    std::sort(rows.begin(), rows.end());
    for (const auto& row : rows)
        joined += '\x1e' + row;
    return joined;
}

// Everything an upload of a customer carries, ids left out, rows in no particular order: a
// server customer is the copy a lost upload made only when this is the same for both.
std::string sentContent(const CustomerRecord& r, int activeField)
{
    char discount[32];
    std::snprintf(discount, sizeof discount, "%.6g", r.customer.discount);
    std::string joined = text(r.customer.customer_name) + '\x1f' + text(r.customer.customer_info_id) + '\x1f'
        + std::to_string(r.customer.customer_publish) + '\x1f' + std::to_string(r.customer.customer_ordering) + '\x1f'
        + discount;
    std::vector<std::string> rows;
    for (const auto& a : r.attributes)
        rows.push_back("t\x1f" + std::to_string(a.attribute_fields_id) + '\x1f' + attributeText(a, activeField));
    return withAddressesAndContacts(std::move(joined), std::move(rows), r);
}

bool sameAddress(const brivanta_customer_address_Entity& a, const brivanta_customer_address_Entity& b)
{
    return addressText(a) == addressText(b);
}

bool sameContact(const brivanta_customer_contact_entity& a, const brivanta_customer_contact_entity& b)
{
    return contactText(a) == contactText(b);
}

// What was sent of a local customer, kept as it was stored then (ids included) so that a later
// attempt can find its copy and tell what the user changed since.
std::string keptRecord(const CustomerRecord& r)
{
    base::Array attributes, addresses, contacts;
    for (const auto& a : r.attributes)
        attributes.push_back(base::Array{a.attribute_id, a.attribute_fields_id, text(a.attribute_value)});
    for (const auto& a : r.addresses)
        addresses.push_back(base::Array{a.indexId, text(a.customerAddress), text(a.customerCity), text(a.customerState),
                                        text(a.customerZipCode), a.isDefault ? 1 : 0});
    for (const auto& c : r.contacts)
        contacts.push_back(base::Array{c.contactID, text(c.first_name), text(c.last_name), text(c.job_title),
                                       text(c.work_phone), text(c.mobile_phone), text(c.email), text(c.im),
                                       text(c.note), c.isDeful ? 1 : 0});
    base::Dictionary kept{{"customer_name", text(r.customer.customer_name)},
                          {"customer_info_id", text(r.customer.customer_info_id)},
                          {"customer_publish", r.customer.customer_publish},
                          {"customer_ordering", r.customer.customer_ordering},
                          {"discount", r.customer.discount},
                          {"attributes", std::move(attributes)},
                          {"addresses", std::move(addresses)},
                          {"contacts", std::move(contacts)}};
    return BRJsonWriter().stringWithObject(base::Value(std::move(kept))).value_or("");
}

// Nothing for a record kept by an older build (its texts alone): such an upload is never
// matched, and goes up again.
std::optional<CustomerRecord> readKeptRecord(int customerId, const std::string& kept)
{
    auto value = JSONValue(kept);
    if (!value || !value->isDictionary() || !(*value)["attributes"].isArray() || !(*value)["addresses"].isArray()
        || !(*value)["contacts"].isArray())
        return std::nullopt;
    const base::Value& v = *value;
    CustomerRecord r;
    r.customer.customer_id = customerId;
    r.customer.customer_name = v["customer_name"].toString();
    r.customer.customer_info_id = v["customer_info_id"].toString();
    r.customer.customer_publish = int(v["customer_publish"].toInt());
    r.customer.customer_ordering = int(v["customer_ordering"].toInt());
    r.customer.discount = v["discount"].toDouble();
    auto cell = [](const base::Value& row, size_t i) -> const base::Value& {
        static const base::Value none;
        return row.isArray() && i < row.asArray().size() ? row.asArray()[i] : none;
    };
    for (const auto& row : v["attributes"].asArray()) {
        brivanta_customer_attribute_Entity a;
        a.attribute_id = int(cell(row, 0).toInt());
        a.customer_id = customerId;
        a.attribute_fields_id = int(cell(row, 1).toInt());
        a.attribute_value = cell(row, 2).toString();
        r.attributes.push_back(std::move(a));
    }
    for (const auto& row : v["addresses"].asArray()) {
        brivanta_customer_address_Entity a;
        a.indexId = int(cell(row, 0).toInt());
        a.customerId = customerId;
        a.customerAddress = cell(row, 1).toString();
        a.customerCity = cell(row, 2).toString();
        a.customerState = cell(row, 3).toString();
        a.customerZipCode = cell(row, 4).toString();
        a.isDefault = cell(row, 5).toInt() != 0;
        r.addresses.push_back(std::move(a));
    }
    for (const auto& row : v["contacts"].asArray()) {
        brivanta_customer_contact_entity c;
        c.contactID = int(cell(row, 0).toInt());
        c.customerID = customerId;
        c.first_name = cell(row, 1).toString();
        c.last_name = cell(row, 2).toString();
        c.job_title = cell(row, 3).toString();
        c.work_phone = cell(row, 4).toString();
        c.mobile_phone = cell(row, 5).toString();
        c.email = cell(row, 6).toString();
        c.im = cell(row, 7).toString();
        c.note = cell(row, 8).toString();
        c.isDeful = cell(row, 9).toInt() != 0;
        r.contacts.push_back(std::move(c));
    }
    return r;
}

} // namespace

std::optional<CustomerDataModel::Document> CustomerDataModel::buildDocument(const std::vector<int>& customerIds)
{
    auto data = DataAccessManager::sharedDataModel();
    if (!data || !data->hasModels())
        return std::nullopt;
    auto model = data->customerModel();
    base::Array customers, addresses, attributes, contacts;
    Document document;
    const int activeField = fieldIdNamed(m_allAttributes, "Active");
    for (int customerId : customerIds) {
        // The stored customer, hidden or not, with every row the server has and the user added.
        const CustomerRecord stored = model->readCustomerRecord(customerId);
        if (customerId == 0 || stored.customer.customer_id != customerId)
            continue;
        // A customer the server has keeps its number, ordering and discount; defaults are for
        // one it has never seen.
        const bool known = customerId > 0;
        document.changes[customerId] = model->customerChangeCount(customerId);
        if (!known) {
            CustomerRecord sent = stored;
            sent.customer.customer_info_id = "";
            sent.customer.customer_publish = 1;
            sent.customer.customer_ordering = 0;
            sent.customer.discount = 0;
            document.sentLocal[customerId] = keptRecord(sent);
            // Every customer of that name the server has now, held or just fetched: the copy
            // this upload makes is none of them, however alike.
            const std::string name = text(stored.customer.customer_name);
            auto& older = document.alike[customerId];
            for (int id : model->serverCustomersNamed(name))
                older.insert(id);
            for (const auto& [id, fetchedName] : m_onServerBeforeSend)
                if (fetchedName == name)
                    older.insert(id);
        }
        customers.push_back(base::Dictionary{
            {"customer_id", customerId},
            {"customer_info_id", known ? text(stored.customer.customer_info_id) : std::string()},
            {"customer_name", text(stored.customer.customer_name)},
            {"customer_publish", known ? stored.customer.customer_publish : 1},
            {"customer_ordering", known ? stored.customer.customer_ordering : 0},
            {"discount", known ? stored.customer.discount : 0.0}});
        for (const auto& a : stored.addresses) {
            addresses.push_back(base::Dictionary{{"id", a.indexId},
                                                 {"customer_id", a.customerId},
                                                 {"address", text(a.customerAddress)},
                                                 {"city", text(a.customerCity)},
                                                 {"state", text(a.customerState)},
                                                 {"zip_code", text(a.customerZipCode)}});
        }
        for (const auto& a : stored.attributes) {
            base::Value value = text(a.attribute_value);
            if (activeField != 0 && a.attribute_fields_id == activeField)
                value = a.attribute_value == std::optional<std::string>("NO") ? 0 : 1;
            attributes.push_back(base::Dictionary{{"attribute_id", a.attribute_id},
                                                  {"customer_id", a.customer_id},
                                                  {"attribute_fields_id", a.attribute_fields_id},
                                                  {"attribute_value", std::move(value)}});
        }
        for (const auto& c : stored.contacts) {
            contacts.push_back(base::Dictionary{{"customer_id", c.customerID},
                                                {"contact_id", c.contactID},
                                                {"first_name", text(c.first_name)},
                                                {"last_name", text(c.last_name)},
                                                {"job_title", text(c.job_title)},
                                                {"work_phone", text(c.work_phone)},
                                                {"mobile_phone", text(c.mobile_phone)},
                                                {"email", text(c.email)},
                                                {"im", text(c.im)},
                                                {"note", text(c.note)}});
        }
    }
    if (customers.empty())
        return std::nullopt;
    base::Dictionary object{{"brivanta_customer", std::move(customers)},
                            {"brivanta_customer_address", std::move(addresses)},
                            {"brivanta_customer_attribute", std::move(attributes)},
                            {"brivanta_customer_contact", std::move(contacts)}};
    auto written = BRJsonWriter().stringWithObject(base::Value(std::move(object)));
    if (!written)
        return std::nullopt;
    document.text = std::move(*written);
    return document;
}

void CustomerDataModel::submitCustomer(int customerId)
{
    std::weak_ptr<CustomerDataModel> weak = weak_from_this();
    prepareUpload({customerId}, [weak, customerId](const QuoteOrderStore::PreUploadOutcome& prepared) {
        auto self = weak.lock();
        if (!self)
            return;
        std::optional<Document> document;
        if (prepared.proceed) {
            // A local customer found on the server goes up under the server's id.
            auto adopted = self->m_adopted.find(customerId);
            document = self->buildDocument({adopted == self->m_adopted.end() ? customerId : adopted->second});
        }
        if (!document) {
            // Nothing to send: the screen waiting for the answer hears at once.
            MessageBox::sharedInstance()->EndBlockWait();
            self->postUploadResult(false);
            const bool failed = !prepared.proceed;
            self->showFailure(failed ? prepared.status : kStatusFailed,
                              failed ? prepared.message : Language::stringWithName(kStatusFailed));
            return;
        }
        self->sendDocument(*document, nullptr);
    });
}

void CustomerDataModel::submitCustomerInfo(const std::string& document)
{
    sendText(document, std::nullopt, nullptr);
}

void CustomerDataModel::sendDocument(const Document& document, OrderResume resume)
{
    // Kept until an answer tells what became of them: a lost one is looked for next time. An
    // upload that could not be kept is not sent, since its copy could never be told apart.
    auto data = DataAccessManager::sharedDataModel();
    const bool kept = document.sentLocal.empty()
        || (data && data->hasModels() && data->runInTransaction([&] {
               for (const auto& [id, sent] : document.sentLocal) {
                   auto alike = document.alike.find(id);
                   if (!data->customerModel()->rememberSentUpload(
                           id, sent, alike == document.alike.end() ? std::set<int>{} : alike->second))
                       return false;
               }
               return true;
           }));
    if (!kept) {
        base::logf("customer upload not sent: what it carries could not be recorded");
        if (resume) {
            resume({false, kStatusFailed, Language::stringWithName(kStatusFailed)});
            return;
        }
        MessageBox::sharedInstance()->EndBlockWait();
        postUploadResult(false);
        showFailure(kStatusFailed, Language::stringWithName(kStatusFailed));
        return;
    }
    sendText(document.text, document.changes, std::move(resume));
}

void CustomerDataModel::sendText(const std::string& document, std::optional<SentChanges> changes, OrderResume resume)
{
    auto request = std::make_shared<RequestUploadCustomer>();
    request->setSyncData(document);
    request->setReceiveDelegete(weak_from_this());
    int code = NetworkModel::sharedInstance()->sendRequest(request);
    base::logf("submit customer rst is %d", code);
    if (resume)
        m_orderResumes[code] = std::move(resume);
    if (changes)
        m_sentChanges[code] = std::move(*changes);
}

void CustomerDataModel::prepareUpload(const std::vector<int>& customerIds, Prepared then)
{
    auto data = DataAccessManager::sharedDataModel();
    if (!data || !data->hasModels()) {
        then({});
        return;
    }
    const auto sent = data->customerModel()->sentUploads();
    const bool lost = std::any_of(customerIds.begin(), customerIds.end(), [&](int id) { return sent.count(id) != 0; });
    // The field types come from the stored definitions; none stored (a resync that never
    // reached the customer tables) means asking the server for them first.
    const bool noFields = data->customerModel()->getAllAttributes().empty();
    // A server customer goes up whole: the office's changes since the last sync come in first.
    const bool known = std::any_of(customerIds.begin(), customerIds.end(), [](int id) { return id > 0; });
    // A new customer goes up knowing the server's customers of its name, so that the copy a
    // lost upload makes can be told from them.
    auto model = data->customerModel();
    const bool local = std::any_of(customerIds.begin(), customerIds.end(), [&](int id) {
        return id < 0 && model->getCustomerByCustomerId(id).customer_id == id;
    });
    m_onServerBeforeSend.clear();
    if (!lost && !noFields && !known && !local) {
        then({});
        return;
    }
    auto request = std::make_shared<RequestSyncCustomerTable>();
    // The customers changed since the last customer sync: the office's changes to those that
    // go up, and the customer a lost upload made.
    request->setIsFull(noFields ? "true" : "false");
    request->setReceiveDelegete(weak_from_this());
    int code = NetworkModel::sharedInstance()->sendRequest(request);
    m_preparations[code] = [this, customerIds, then = std::move(then)](const std::shared_ptr<NetBaseRst>& result) {
        preparedAnswer(result, customerIds, then);
    };
}

void CustomerDataModel::preparedAnswer(const std::shared_ptr<NetBaseRst>& result, const std::vector<int>& customerIds,
                                       const Prepared& then)
{
    auto tables = std::dynamic_pointer_cast<SyncCustomerTableRst>(result);
    if (result->status != kStatusOK || !tables) {
        // Not knowing whether the server has them, nothing is sent again.
        then({false, result->status, result->message});
        return;
    }
    auto data = DataAccessManager::sharedDataModel();
    if (!data || !data->hasModels()) {
        then({false, kStatusFailed, Language::stringWithName(kStatusFailed)});
        return;
    }
    auto model = data->customerModel();
    if (!tables->fieldsAttributeTable.empty() && !data->saveToDatabaseFieldsCustomerAttribute(tables->fieldsAttributeTable)) {
        then({false, kStatusFailed, Language::stringWithName(kStatusFailed)});
        return;
    }
    // The office's version of the server customers about to go up, merged as a sync does.
    std::set<int> uploading;
    for (int id : customerIds)
        if (id > 0)
            uploading.insert(id);
    std::set<int> arriving;
    for (const auto& c : tables->customerTable)
        if (uploading.count(c.customer_id))
            arriving.insert(c.customer_id);
    if (!arriving.empty()) {
        auto merge = model->beforeOfficeVersion(arriving);
        for (int id : merge.whole)
            arriving.erase(id);
        auto ours = [&](int id) { return arriving.count(id) != 0; };
        std::vector<brivanta_customer_Entity> customers;
        std::vector<brivanta_customer_attribute_Entity> attributes;
        std::vector<brivanta_customer_address_Entity> addresses;
        std::vector<brivanta_customer_contact_entity> contacts;
        std::copy_if(tables->customerTable.begin(), tables->customerTable.end(), std::back_inserter(customers),
                     [&](const auto& r) { return ours(r.customer_id); });
        std::copy_if(tables->customerAttributeTable.begin(), tables->customerAttributeTable.end(),
                     std::back_inserter(attributes), [&](const auto& r) { return ours(r.customer_id); });
        std::copy_if(tables->customerAddressTable.begin(), tables->customerAddressTable.end(),
                     std::back_inserter(addresses), [&](const auto& r) { return ours(r.customerId); });
        std::copy_if(tables->customerContactTable.begin(), tables->customerContactTable.end(),
                     std::back_inserter(contacts), [&](const auto& r) { return ours(r.customerID); });
        bool merged = data->runInTransaction([&] {
            return data->saveToDatabaseCustomer(customers) && data->saveToDatabaseCustomerAttribute(attributes)
                && (addresses.empty() || data->saveToDatabaseCustomerAddress(addresses))
                && data->saveToDatabaseCustomerContact(contacts) && model->afterOfficeVersion(merge);
        });
        if (!merged) {
            then({false, kStatusFailed, Language::stringWithName(kStatusFailed)});
            return;
        }
    }
    const auto sent = model->sentUploads();
    std::set<int> taken;
    for (int localId : customerIds) {
        auto lost = sent.find(localId);
        if (lost == sent.end())
            continue;
        const auto kept = readKeptRecord(localId, lost->second);
        CustomerRecord copy, latest;
        bool held = false;
        if (kept && findServerCopy(localId, *kept, *tables, taken, copy, latest, held)) {
            if (!adoptServerCustomer(localId, *kept, copy, latest, held)) {
                then({false, kStatusFailed, Language::stringWithName(kStatusFailed)});
                return;
            }
            taken.insert(copy.customer.customer_id);
            continue;
        }
        // Not there: the upload never arrived, and is sent again.
        model->forgetSentUpload(localId);
    }
    for (const auto& customer : tables->customerTable)
        if (customer.customer_id > 0)
            m_onServerBeforeSend.emplace_back(customer.customer_id, text(customer.customer_name));
    reloadCustomerData();
    then({});
}

namespace {

// The fetched customers wanted, each with its rows of every table: one pass over each table.
std::map<int, CustomerRecord> fetchedRecords(const SyncCustomerTableRst& tables,
                                             const std::function<bool(const brivanta_customer_Entity&)>& wanted)
{
    std::map<int, CustomerRecord> fetched;
    for (const auto& c : tables.customerTable)
        if (wanted(c))
            fetched[c.customer_id].customer = c;
    auto into = [&](int id) -> CustomerRecord* {
        auto it = fetched.find(id);
        return it == fetched.end() ? nullptr : &it->second;
    };
    for (const auto& a : tables.customerAttributeTable)
        if (auto* r = into(a.customer_id))
            r->attributes.push_back(a);
    for (const auto& a : tables.customerAddressTable)
        if (auto* r = into(a.customerId))
            r->addresses.push_back(a);
    for (const auto& c : tables.customerContactTable)
        if (auto* r = into(c.customerID))
            r->contacts.push_back(c);
    return fetched;
}

// What tells one customer from another of its name: its number, where it is (its address rows
// and address fields) and its contacts. The office may change any other field of a copy.
std::string identifyingContent(const CustomerRecord& r, const std::set<int>& addressFields)
{
    std::string joined = text(r.customer.customer_name) + '\x1f' + text(r.customer.customer_info_id);
    std::vector<std::string> rows;
    for (const auto& a : r.attributes)
        if (addressFields.count(a.attribute_fields_id))
            rows.push_back("t\x1f" + std::to_string(a.attribute_fields_id) + '\x1f' + text(a.attribute_value));
    return withAddressesAndContacts(std::move(joined), std::move(rows), r);
}

} // namespace

int CustomerDataModel::findServerCopy(int localId, const CustomerRecord& sent, const SyncCustomerTableRst& tables,
                                      const std::set<int>& taken, CustomerRecord& copy, CustomerRecord& latest,
                                      bool& held)
{
    auto model = DataAccessManager::sharedDataModel()->customerModel();
    const int activeField = fieldIdNamed(m_allAttributes, "Active");
    std::set<int> addressFields;
    for (const char* field : {"Address", "City", "State/Province/Region", "Zip Code"})
        if (int id = fieldIdNamed(m_allAttributes, field))
            addressFields.insert(id);
    const std::string wanted = sentContent(sent, activeField);
    const std::string wantedIdentity = identifyingContent(sent, addressFields);
    const std::string name = text(sent.customer.customer_name);
    // Customers of that name the server had when it was sent are older than the copy.
    const std::set<int> older = model->alikeWhenSent(localId);
    auto candidate = [&](int id) { return id > 0 && !taken.count(id) && !older.count(id); };
    std::set<int> heldNamed;
    for (int id : model->serverCustomersNamed(name))
        if (candidate(id))
            heldNamed.insert(id);
    // Of that name now, or held under it: the office may have renamed a copy a sync brought.
    std::map<int, CustomerRecord> fetched = fetchedRecords(tables, [&](const brivanta_customer_Entity& c) {
        return candidate(c.customer_id) && (text(c.customer_name) == name || heldNamed.count(c.customer_id));
    });
    // Each customer made since that tells as the upload does: whether it holds exactly what was
    // sent (as fetched now or as held, since the office may have changed a copy a sync
    // brought), the version that matched, and the version the server has now.
    struct Found {
        bool exact = false;
        CustomerRecord matched;
        CustomerRecord now;
    };
    std::map<int, Found> found;
    for (auto& [id, record] : fetched) {
        const bool exact = sentContent(record, activeField) == wanted;
        if (exact || identifyingContent(record, addressFields) == wantedIdentity)
            found.emplace(id, Found{exact, record, record});
    }
    for (int id : heldNamed) {
        if (found.count(id) && found[id].exact)
            continue;
        CustomerRecord stored = model->readCustomerRecord(id);
        const bool exact = sentContent(stored, activeField) == wanted;
        // Held as it told, changed since: only a held copy that held exactly what was sent.
        if (!exact && (fetched.count(id) || identifyingContent(stored, addressFields) != wantedIdentity))
            continue;
        auto now = fetched.find(id);
        CustomerRecord current = now == fetched.end() ? stored : now->second;
        found[id] = Found{exact, std::move(stored), std::move(current)};
    }
    if (found.empty())
        return 0;
    // The server's ids grow: the copy is the first of them made after the upload. One the office
    // has changed since is taken only when nothing else made since could be it; otherwise the
    // customer goes up again, and at worst is held twice.
    auto first = found.begin();
    if (!first->second.exact && found.size() > 1)
        return 0;
    const int id = first->first;
    held = model->getCustomerByCustomerId(id).customer_id == id;
    copy = std::move(first->second.matched);
    latest = std::move(first->second.now);
    return id;
}

namespace {

// The device's rows that the server stored from a lost upload, each given the id of the first
// unclaimed server row it matches (`ids`: device id to server id); the device id is kept in pID.
template <class Row, class Same>
std::vector<Row> takeServerRows(const std::vector<Row>& mine, const std::vector<Row>& servers, int serverId,
                                int Row::*id, int Row::*customer, Same same, std::map<int, int>* ids = nullptr)
{
    std::vector<Row> taken;
    std::set<int> used;
    for (const auto& row : mine) {
        for (const auto& theirs : servers) {
            if (theirs.*customer != serverId || used.count(theirs.*id) || !same(row, theirs))
                continue;
            used.insert(theirs.*id);
            auto moved = row;
            moved.pID = row.*id;
            moved.*id = theirs.*id;
            moved.*customer = serverId;
            taken.push_back(moved);
            if (ids)
                (*ids)[row.*id] = theirs.*id;
            break;
        }
    }
    return taken;
}

} // namespace

bool CustomerDataModel::adoptServerCustomer(int localId, const CustomerRecord& sent, const CustomerRecord& copy,
                                            const CustomerRecord& latest, bool held)
{
    auto data = DataAccessManager::sharedDataModel();
    auto model = data->customerModel();
    const int serverId = copy.customer.customer_id;
    // The rows that were sent are the server's rows of the copy: their local ids map to its ids.
    std::map<int, int> addressIds, attributeIds, contactIds;
    takeServerRows(sent.addresses, copy.addresses, serverId, &brivanta_customer_address_Entity::indexId,
                   &brivanta_customer_address_Entity::customerId, sameAddress, &addressIds);
    takeServerRows(
        sent.attributes, copy.attributes, serverId, &brivanta_customer_attribute_Entity::attribute_id,
        &brivanta_customer_attribute_Entity::customer_id,
        [](const auto& a, const auto& theirs) { return theirs.attribute_fields_id == a.attribute_fields_id; },
        &attributeIds);
    takeServerRows(sent.contacts, copy.contacts, serverId, &brivanta_customer_contact_entity::contactID,
                   &brivanta_customer_contact_entity::customerID, sameContact, &contactIds);
    auto underServerIds = [&](CustomerRecord r) {
        auto moved = [](const std::map<int, int>& ids, int id) {
            auto it = ids.find(id);
            return it == ids.end() ? id : it->second;
        };
        r.customer.customer_id = serverId;
        for (auto& a : r.attributes) {
            a.attribute_id = moved(attributeIds, a.attribute_id);
            a.customer_id = serverId;
        }
        for (auto& a : r.addresses) {
            a.indexId = moved(addressIds, a.indexId);
            a.customerId = serverId;
        }
        for (auto& c : r.contacts) {
            c.contactID = moved(contactIds, c.contactID);
            c.customerID = serverId;
        }
        return r;
    };
    // What the user changed since the upload is all that stays the user's; the rest is the
    // server's version as it is now.
    const CustomerRecord before = underServerIds(sent);
    const CustomerRecord current = model->readCustomerRecord(localId);
    const CustomerRecord mine = underServerIds(current);
    // Rows added since the upload are no changed field, yet they too have still to go up.
    auto added = [](const auto& rows, auto id, const std::map<int, int>& sentIds) {
        return std::any_of(rows.begin(), rows.end(), [&](const auto& row) { return !sentIds.count(row.*id); });
    };
    const bool rowsAdded = added(current.addresses, &brivanta_customer_address_Entity::indexId, addressIds)
        || added(current.contacts, &brivanta_customer_contact_entity::contactID, contactIds);
    auto keys = [](const std::map<int, int>& ids) {
        std::set<int> local;
        for (const auto& [id, serverRow] : ids)
            local.insert(id);
        return local;
    };
    // A copy a sync brought may carry changes of the user's own, merged as a sync merges them.
    CustomerModel::OfficeMerge merge = model->beforeOfficeVersion({serverId});
    for (auto& id : merge.choices.addresses)
        id = addressIds.count(id) ? addressIds[id] : id;
    for (auto& id : merge.choices.contacts)
        id = contactIds.count(id) ? contactIds[id] : id;
    const CustomerRecord& office = merge.whole.count(serverId) ? model->readCustomerRecord(serverId) : latest;
    const int localChanges = model->customerChangeCount(localId);
    const int heldChanges = held ? model->customerChangeCount(serverId) : 0;
    std::set<ChangedField> heldFields;
    if (auto it = merge.mine.find(serverId); it != merge.mine.end())
        heldFields.insert(it->second.second.begin(), it->second.second.end());
    brivanta_customer_Entity customer;
    customer.pid = localId;
    customer.customer_id = serverId;
    bool stored = data->runInTransaction([&] {
        // Forgotten with the merge or not at all: a failure below keeps the record for the next try.
        if (!model->forgetSentUpload(localId) || !data->saveToDatabaseCustomer(std::vector{office.customer})
            || !data->saveToDatabaseCustomerAttribute(office.attributes)
            || (!office.addresses.empty() && !data->saveToDatabaseCustomerAddress(office.addresses))
            || !data->saveToDatabaseCustomerContact(office.contacts)
            || !model->takeOverLocalCustomer(localId, serverId, keys(addressIds), keys(attributeIds), keys(contactIds))
            || !model->forgetChangedFields(localId) || !model->setCustomerChangeCount(localId, 0)
            || !model->afterOfficeVersion(merge) || !model->recordChangedFields(serverId, before, mine))
            return false;
        std::vector<ChangedField> unsent;
        for (const auto& field : model->changedFields(serverId))
            if (!heldFields.count(field))
                unsent.push_back(field);
        const int changes = (unsent.empty() && !rowsAdded ? 0 : std::max(localChanges, 1)) + heldChanges;
        return model->reapplyChangedFields(serverId, mine, unsent) && model->setCustomerChangeCount(serverId, changes)
            && data->updateOrderTable(std::vector{customer});
    });
    if (!stored)
        return false;
    m_adopted[localId] = serverId;
    QuoteOrderStore::sharedQuoteOrderStore()->updateOrderTable({customer});
    return true;
}

int CustomerDataModel::ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result)
{
    if (!result)
        return 0;
    // The listeners may let go of the model while they hear; keep it to the end.
    auto self = shared_from_this();
    if (auto it = m_preparations.find(result->requestCode); it != m_preparations.end()) {
        auto prepared = std::move(it->second);
        m_preparations.erase(it);
        if (result->status == kStatusUserLocked) {
            MessageBox::sharedInstance()->EndBlockWait();
            if (auto app = AppSession::shared())
                app->logoutWithLockedUserMessage(result->status, result->message);
            return 0;
        }
        prepared(result);
        return 0;
    }
    OrderResume resume;
    if (auto it = m_orderResumes.find(result->requestCode); it != m_orderResumes.end()) {
        resume = std::move(it->second);
        m_orderResumes.erase(it);
    }
    std::optional<SentChanges> sent;
    if (auto it = m_sentChanges.find(result->requestCode); it != m_sentChanges.end()) {
        sent = std::move(it->second);
        m_sentChanges.erase(it);
    }
    if (!resume)
        MessageBox::sharedInstance()->EndBlockWait();
    if (result->status == kStatusUserLocked) {
        if (auto app = AppSession::shared())
            app->logoutWithLockedUserMessage(result->status, result->message);
        return 0;
    }
    if (result->cmdCode != kCommandUploadCustomer)
        return 0;
    std::string status = result->status;
    std::string message = result->message;
    bool accepted = false;
    if (status == kStatusOK) {
        auto answer = std::dynamic_pointer_cast<SubmitCustomerRst>(result);
        accepted = answer && applyServerIds(*answer, sent);
        if (!accepted) {
            status = kStatusFailed;
            message = Language::stringWithName(kStatusFailed);
        }
    }
    // An answer says what became of the upload; a failed connection (a time-out too) does not.
    if (sent && (accepted || result->status != kStatusNetworkFailed)) {
        if (auto data = DataAccessManager::sharedDataModel(); data && data->hasModels())
            for (const auto& [id, count] : *sent)
                data->customerModel()->forgetSentUpload(id);
    }
    postUploadResult(accepted);
    if (resume) {
        // The order screen reports; the order upload goes on only after the remap.
        resume(accepted ? QuoteOrderStore::PreUploadOutcome{} : QuoteOrderStore::PreUploadOutcome{false, status, message});
        return 0;
    }
    if (!accepted)
        showFailure(status, message);
    return 0;
}

bool CustomerDataModel::applyServerIds(const SubmitCustomerRst& answer, const std::optional<SentChanges>& sent)
{
    auto data = DataAccessManager::sharedDataModel();
    if (!data || !data->hasModels())
        return false;
    auto model = data->customerModel();
    bool stored = data->runInTransaction([&] {
        // Rows a sync brought before this answer are the ones the local rows become.
        if (!model->dropRowsHoldingServerIds(answer.customerAddress, answer.customerAttributes, answer.customerContacts))
            return false;
        std::map<int, int> addressIds, contactIds;
        for (const auto& a : answer.customerAddress)
            addressIds[a.pID] = a.indexId;
        for (const auto& c : answer.customerContacts)
            contactIds[c.pID] = c.contactID;
        std::vector<brivanta_customer_Entity> moved;
        for (const auto& customer : answer.customerArry) {
            const int changes = model->customerChangeCount(customer.pid);
            bool changedSince = false;
            if (sent) {
                auto carried = sent->find(customer.pid);
                changedSince = changes != (carried == sent->end() ? 0 : carried->second);
            }
            bool taken = customer.customer_id != customer.pid && customer.customer_id != 0
                && model->getCustomerByCustomerId(customer.customer_id).customer_id == customer.customer_id;
            if (taken) {
                // Rows added since the document was written keep waiting, under the server's id.
                if (!model->mergeLocalCustomerInto(customer.pid, customer.customer_id, changedSince))
                    return false;
            } else {
                moved.push_back(customer);
            }
            // The server has what was sent: what the user changed since is all that stays the user's.
            bool fields = changedSince ? model->moveChangedFields(customer.pid, customer.customer_id, addressIds, contactIds)
                                       : model->forgetChangedFields(customer.pid);
            if (!fields || !model->setCustomerChangeCount(customer.pid, 0)
                || (changedSince && !model->setCustomerChangeCount(customer.customer_id, changes))
                || !model->forgetSentUpload(customer.pid))
                return false;
        }
        return data->updateCustomerTable(moved) && data->updateCustomerAddressTable(answer.customerAddress)
            && data->updateCustomerAttributeTable(answer.customerAttributes)
            && data->updateContactIdAfterUpload(answer.customerContacts)
            && data->updateOrderTable(answer.customerArry);
    });
    if (!stored)
        return false;
    reloadCustomerData();
    // The stored orders moved with the tables; this moves the open ones and tells the editor.
    QuoteOrderStore::sharedQuoteOrderStore()->updateOrderTable(answer.customerArry);
    return true;
}

void CustomerDataModel::postUploadResult(bool accepted)
{
    base::NotificationCenter::defaultCenter().post(kUploadNotification, shared_from_this(), base::Value(accepted));
}

void CustomerDataModel::showFailure(const std::string& status, const std::string& message)
{
    std::shared_ptr<ui::AlertView> alert;
    const auto title = Language::stringWithName("NOTIFICATION");
    if (status == kStatusLoginBroken || message == Language::stringWithName(kStatusLoginBroken)) {
        alert = std::make_shared<ui::AlertView>(title, message, nullptr, Language::stringWithName("CANCEL"),
                                                std::vector{Language::stringWithName("LOGOUTSETTINGS")});
        alert->setDelegate(std::weak_ptr<ui::AlertViewDelegate>(weak_from_this()));
        alert->setTag(kLoginBrokenAlertTag);
    } else {
        alert = std::make_shared<ui::AlertView>(title, message, nullptr, Language::stringWithName("OK"));
    }
    alert->show();
}

void CustomerDataModel::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    if (alert.tag() != kLoginBrokenAlertTag || index != alert.firstOtherButtonIndex())
        return;
    if (auto app = AppSession::shared())
        app->showLoginPage();
}

// --- Orders after their customers -------------------------------------------------------------

void CustomerDataModel::installOrderUploadHook()
{
    QuoteOrderStore::setPreUploadHook([](int orderId, OrderResume resume) {
        sharedInstance()->uploadBeforeOrders(orderId, std::move(resume));
    });
}

std::vector<int> CustomerDataModel::customersBeforeOrders(int orderId)
{
    auto data = DataAccessManager::sharedDataModel();
    std::vector<int> ids;
    if (!data || !data->hasModels())
        return ids;
    if (data->quoteOrderModel())
        ids = data->quoteOrderModel()->localCustomerIdsOfUnsentOrders(orderId);
    // A server customer changed on the device since its last upload goes up too: nothing
    // else would ever send it.
    for (int id : data->customerModel()->customersWithUnsentChanges())
        if (id > 0 && std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(id);
    // A local customer deleted since: its orders go with customer 0, as before.
    std::erase_if(ids, [&](int id) { return data->customerModel()->getCustomerByCustomerId(id).customer_id != id; });
    return ids;
}

void CustomerDataModel::uploadBeforeOrders(int orderId, OrderResume resume)
{
    const auto ids = customersBeforeOrders(orderId);
    if (ids.empty()) {
        resume({});
        return;
    }
    std::weak_ptr<CustomerDataModel> weak = weak_from_this();
    prepareUpload(ids, [weak, orderId, resume = std::move(resume)](const QuoteOrderStore::PreUploadOutcome& prepared) mutable {
        auto self = weak.lock();
        if (!self) {
            resume({});
            return;
        }
        if (!prepared.proceed) {
            // Orders naming a customer that may be on the server already wait; others go on.
            const auto waiting = self->customersBeforeOrders(orderId);
            const bool local = std::any_of(waiting.begin(), waiting.end(), [](int id) { return id < 0; });
            resume(local ? prepared : QuoteOrderStore::PreUploadOutcome{});
            return;
        }
        // A lost upload found on the server has moved its customer and orders to the server's id.
        const auto ids = self->customersBeforeOrders(orderId);
        auto document = ids.empty() ? std::nullopt : self->buildDocument(ids);
        if (!document) {
            resume({});
            return;
        }
        if (std::all_of(ids.begin(), ids.end(), [](int id) { return id > 0; })) {
            // No order waits on these ids: a refused customer upload must not hold the orders
            // back. Its change stays counted and goes with the next upload.
            resume = [resume = std::move(resume)](QuoteOrderStore::PreUploadOutcome) { resume({}); };
        }
        self->sendDocument(*document, std::move(resume));
    });
}
