#include "Classes/Customer/CustomerDataModel.h"

#include "Common/AppSession.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/MessageBox.h"
#include "Database/DataAccessManager.h"
#include "Network/BRJsonWriter.h"
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
#include <iterator>
#include <mutex>
#include <set>

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
    auto defaults = base::UserDefaults::standard();
    int mark = static_cast<int>(std::min<int64_t>(defaults->integerForKey(markKey()), 0));
    int lowest = data ? std::min(data->getLastLocalCustomerId(), mark) : mark;
    int next = lowest - 1;
    defaults->setInteger(next, markKey());
    return next;
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
        if (!data->saveToDatabaseCustomer(std::vector{customer}))
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

// What identifies an upload of a local customer on the server: its name, addresses and
// contacts, as texts, in no particular order.
std::string sentText(const std::optional<std::string>& name,
                     const std::vector<brivanta_customer_address_Entity>& addresses,
                     const std::vector<brivanta_customer_contact_entity>& contacts)
{
    std::vector<std::string> rows;
    for (const auto& a : addresses)
        rows.push_back("a\x1f" + text(a.customerAddress) + '\x1f' + text(a.customerCity) + '\x1f'
                       + text(a.customerState) + '\x1f' + text(a.customerZipCode));
    for (const auto& c : contacts)
        rows.push_back("c\x1f" + text(c.first_name) + '\x1f' + text(c.last_name) + '\x1f' + text(c.job_title) + '\x1f'
                       + text(c.work_phone) + '\x1f' + text(c.mobile_phone) + '\x1f' + text(c.email) + '\x1f'
                       + text(c.im) + '\x1f' + text(c.note));
    std::sort(rows.begin(), rows.end());
    std::string joined = text(name);
    for (const auto& row : rows)
        joined += '\x1e' + row;
    return joined;
}

bool sameAddress(const brivanta_customer_address_Entity& a, const brivanta_customer_address_Entity& b)
{
    return text(a.customerAddress) == text(b.customerAddress) && text(a.customerCity) == text(b.customerCity)
        && text(a.customerState) == text(b.customerState) && text(a.customerZipCode) == text(b.customerZipCode);
}

bool sameContact(const brivanta_customer_contact_entity& a, const brivanta_customer_contact_entity& b)
{
    return sentText({}, {}, {a}) == sentText({}, {}, {b});
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
            auto& sent = document.sentLocal[customerId];
            sent = sentText(stored.customer.customer_name, stored.addresses, stored.contacts);
            for (int id : model->serverCustomersNamed(text(stored.customer.customer_name))) {
                const CustomerRecord held = model->readCustomerRecord(id);
                if (sentText(held.customer.customer_name, held.addresses, held.contacts) == sent)
                    document.alike[customerId].insert(id);
            }
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
    // Kept until an answer tells what became of them: a lost one is looked for next time.
    if (auto data = DataAccessManager::sharedDataModel(); data && data->hasModels())
        for (const auto& [id, sent] : document.sentLocal) {
            auto alike = document.alike.find(id);
            data->customerModel()->rememberSentUpload(id, sent, alike == document.alike.end() ? std::set<int>{}
                                                                                           : alike->second);
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
    if (!lost && !noFields && !known) {
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
        CustomerRecord copy;
        bool held = false;
        if (findServerCopy(localId, lost->second, *tables, taken, copy, held)) {
            if (!adoptServerCustomer(localId, copy, held)) {
                then({false, kStatusFailed, Language::stringWithName(kStatusFailed)});
                return;
            }
            taken.insert(copy.customer.customer_id);
        }
        // Not there: the upload never arrived, and is sent again.
        model->forgetSentUpload(localId);
    }
    reloadCustomerData();
    then({});
}

int CustomerDataModel::findServerCopy(int localId, const std::string& sent, const SyncCustomerTableRst& tables,
                                      const std::set<int>& taken, CustomerRecord& copy, bool& held)
{
    auto model = DataAccessManager::sharedDataModel()->customerModel();
    // Fetched now: a customer the device does not hold.
    for (const auto& customer : tables.customerTable) {
        const int id = customer.customer_id;
        if (id <= 0 || taken.count(id) || model->getCustomerByCustomerId(id).customer_id == id)
            continue;
        CustomerRecord fetched;
        fetched.customer = customer;
        for (const auto& a : tables.customerAttributeTable)
            if (a.customer_id == id)
                fetched.attributes.push_back(a);
        for (const auto& a : tables.customerAddressTable)
            if (a.customerId == id)
                fetched.addresses.push_back(a);
        for (const auto& c : tables.customerContactTable)
            if (c.customerID == id)
                fetched.contacts.push_back(c);
        if (sentText(customer.customer_name, fetched.addresses, fetched.contacts) == sent) {
            copy = std::move(fetched);
            held = false;
            return id;
        }
    }
    // Brought by a sync since the upload: held, and none of those that looked the same then.
    const std::set<int> alike = model->alikeWhenSent(localId);
    for (int id : model->serverCustomersNamed(sent.substr(0, sent.find('\x1e')))) {
        if (taken.count(id) || alike.count(id))
            continue;
        CustomerRecord stored = model->readCustomerRecord(id);
        if (sentText(stored.customer.customer_name, stored.addresses, stored.contacts) == sent) {
            copy = std::move(stored);
            held = true;
            return id;
        }
    }
    return 0;
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

bool CustomerDataModel::adoptServerCustomer(int localId, const CustomerRecord& server, bool held)
{
    auto data = DataAccessManager::sharedDataModel();
    auto model = data->customerModel();
    const int serverId = server.customer.customer_id;
    const CustomerRecord mine = model->readCustomerRecord(localId);
    brivanta_customer_Entity customer;
    customer.pid = localId;
    customer.customer_id = serverId;
    // Rows the server stored from the lost upload are the same rows: they take its ids.
    std::map<int, int> addressIds, contactIds;
    auto addresses = takeServerRows(mine.addresses, server.addresses, serverId,
                                    &brivanta_customer_address_Entity::indexId,
                                    &brivanta_customer_address_Entity::customerId, sameAddress, &addressIds);
    auto attributes = takeServerRows(
        mine.attributes, server.attributes, serverId, &brivanta_customer_attribute_Entity::attribute_id,
        &brivanta_customer_attribute_Entity::customer_id,
        [](const auto& a, const auto& theirs) { return theirs.attribute_fields_id == a.attribute_fields_id; });
    auto contacts = takeServerRows(mine.contacts, server.contacts, serverId,
                                   &brivanta_customer_contact_entity::contactID,
                                   &brivanta_customer_contact_entity::customerID, sameContact, &contactIds);
    const int changes = model->customerChangeCount(localId) + (held ? model->customerChangeCount(serverId) : 0);
    bool stored = data->runInTransaction([&] {
        // A copy a sync brought holds what was sent: the device's version of it is the local
        // one, so its synced rows go and the local customer's rows and name take its place.
        const bool moved = held ? data->saveToDatabaseCustomer(std::vector{server.customer})
                                      && model->mergeLocalCustomerInto(localId, serverId, true)
                                : data->updateCustomerTable(std::vector{customer});
        return moved && data->updateCustomerAddressTable(addresses)
            && data->updateCustomerAttributeTable(attributes) && data->updateContactIdAfterUpload(contacts)
            && data->updateOrderTable(std::vector{customer}) && model->setCustomerChangeCount(localId, 0)
            && model->setCustomerChangeCount(serverId, changes)
            && model->moveChangedFields(localId, serverId, addressIds, contactIds);
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
                || (changedSince && !model->setCustomerChangeCount(customer.customer_id, changes)))
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
