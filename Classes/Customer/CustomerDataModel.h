#pragma once
#include "Classes/Order/QuoteOrderStore.h"
#include "Database/CustomerModel.h"
#include "Database/SharedRows.h"
#include "Platform/UI/AlertView.h"
#include "Protocol/NetworkRecDelegate.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

class DataAccessManager;
class SubmitCustomerRst;
class SyncCustomerTableRst;

// One customer as the lists, the searches and the order editor hold it. A value: its rows are
// the dictionary entry's own, shared rather than copied, and a change to them changes only
// the person it is made on.
struct PersonInfo {
    int pid = 0;
    std::string name;
    std::string customer_info_id;
    SharedRows<customer_attribute_cell_Entity> attribute;
    SharedRows<brivanta_customer_address_Entity> address;
    SharedRows<brivanta_customer_contact_entity> contact;
    double discount = 0;
    bool hidden = false;
};

// One hit of a contact search.
struct ContactMode {
    std::string fristName;
    std::string lastName;
    PersonInfo personInfo;
};

// The customers of the logged-in client, shared by the screens that list, pick and upload
// them, and the upload of customers made on the device (520). One instance per login; main
// thread only.
class CustomerDataModel : public NetworkRecDelegate,
                          public ui::AlertViewDelegate,
                          public std::enable_shared_from_this<CustomerDataModel> {
public:
    static constexpr const char* kUploadNotification = "UPLOADCUSTOMERRESPOND";
    static constexpr int kLoginBrokenAlertTag = 1000;

    // Made and loaded on first use; freeInstance forgets it (logout).
    static std::shared_ptr<CustomerDataModel> sharedInstance();
    static void freeInstance();
    // The shared model with the customers as stored now: reloaded, or made (which loads them).
    static void reloadSharedInstance();
    // Lets the order store send the customers its orders name before the orders (launch).
    static void installOrderUploadHook();

    // Re-reads the customers (hidden ones too when all customers are shown) and the published
    // customer fields from the database.
    void reloadCustomerData();
    void setCustomerInfoDic(CustomerInfoDictionary customers);
    const CustomerInfoDictionary& customerInfoDic() const { return m_customerInfoDic; }
    // One person for each customer of the dictionary, in its order, as it was when it was set.
    std::vector<PersonInfo> allSearchPersonList() const;
    const std::vector<customer_attribute_cell_Entity>& allAttributes() const { return m_allAttributes; }
    static PersonInfo personInfoFromEntry(int customerId, const CustomerInfoEntry& entry);

    // Customers with the key (as given, any case) in any of their texts, each once.
    std::vector<PersonInfo> customerSearch(const std::optional<std::string>& key) const;
    // One hit per contact whose texts, joined names or customer hold the key.
    std::vector<ContactMode> customerSearchByContact(const std::optional<std::string>& key) const;
    // "Address", "City", "State/Province/Region", "Zip Code", "Phone", "Bank Account", "Active".
    std::map<std::string, std::string> getDefaultAddressByCustomer(int customerId) const;

    // A local customer with the seven standard attributes, all or nothing; its id, 0 on failure.
    int saveCustomerWithNameStreetCityStateZipCode(const std::string& name,
                                                   const std::optional<std::string>& street = {},
                                                   const std::optional<std::string>& city = {},
                                                   const std::optional<std::string>& state = {},
                                                   const std::optional<std::string>& zip = {});
    // Below every local customer id this device ever handed out, uploaded or deleted ones
    // included, so neither an order naming an old id nor the server, which knows a device's
    // customers by their local ids, ever takes a new customer for an old one. The caller keeps
    // it with `keepLocalCustomerId` in the transaction that stores the customer.
    int nextLocalCustomerId();
    // The new customer's id kept as the mark the next one starts below; NO when it cannot be.
    static bool keepLocalCustomerId(DataAccessManager& data, int customerId);

    void updateCustomerInfoDicWithHidden(int customerId, bool hidden);
    CustomerInfoDictionary getNoHiddenCustomerData(bool reload);

    // --- Upload (520) ------------------------------------------------------------------------
    void submitCustomer(int customerId);
    // The upload document; nothing when no id names a stored customer.
    std::optional<std::string> getCustomerInfoById(const std::vector<int>& customerIds);
    void submitCustomerInfo(const std::string& document);
    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override;
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;

private:
    using OrderResume = std::function<void(QuoteOrderStore::PreUploadOutcome)>;
    // The change count of each customer a document carried, as it was when it was written.
    using SentChanges = std::map<int, int>;
    struct Document {
        std::string text;
        SentChanges changes;
        // What was sent of each local customer, to find it on the server if the answer is lost,
        // and the server customers held now that look the same.
        std::map<int, std::string> sentLocal;
        std::map<int, std::set<int>> alike;
    };
    std::optional<Document> buildDocument(const std::vector<int>& customerIds);
    // Sends the document; an order upload waiting on it hears through `resume`.
    void sendDocument(const Document& document, OrderResume resume);
    void sendText(const std::string& document, std::optional<SentChanges> changes, OrderResume resume);
    // The server's ids in place of the local ones, tables and stored orders in one
    // transaction; NO leaves everything as it was. The changes the document carried are
    // forgotten; later ones (all, when they are not known) wait for the next upload.
    bool applyServerIds(const SubmitCustomerRst& answer, const std::optional<SentChanges>& sent);
    void postUploadResult(bool accepted);
    void showFailure(const std::string& status, const std::string& message);
    void uploadBeforeOrders(int orderId, OrderResume resume);
    // The customers an order upload sends first: the local ones its orders name, and every
    // server customer with an unsent change.
    std::vector<int> customersBeforeOrders(int orderId);

    // Before any customer upload: the field definitions are synced when none are stored, and
    // a local customer whose last upload was never answered is looked for on the server. `then`
    // hears the outcome; the ids may have changed meanwhile.
    using Prepared = std::function<void(const QuoteOrderStore::PreUploadOutcome&)>;
    void prepareUpload(const std::vector<int>& customerIds, Prepared then);
    void preparedAnswer(const std::shared_ptr<NetBaseRst>& result, const std::vector<int>& customerIds,
                        const Prepared& then);
    // The server's copy of what a lost upload of the local customer sent: of the customers
    // (fetched in `tables` or held) that hold exactly that, or agree with it in what tells
    // customers apart, none of those of its name the server had when it was sent, the first the
    // server made, when it holds exactly that or is the only one. Its id, 0 when none; `copy` as
    // it matched, `latest` as the server has it now.
    int findServerCopy(int localId, const CustomerRecord& sent, const SyncCustomerTableRst& tables,
                       const std::set<int>& taken, CustomerRecord& copy, CustomerRecord& latest, bool& held);
    // The local customer becomes that server customer, with its orders: the device holds the
    // server's version with what the user changed since the upload on top.
    bool adoptServerCustomer(int localId, const CustomerRecord& sent, const CustomerRecord& copy,
                             const CustomerRecord& latest, bool held);

    // A person of the lists and searches, made from the customer's entry when asked for: tens
    // of thousands of customers are not held a second time as persons.
    PersonInfo listedPerson(int customerId, const CustomerInfoEntry& entry) const;

    CustomerInfoDictionary m_customerInfoDic;
    // The customers hidden when the dictionary was set, by id: the persons made from it keep
    // that, whatever has been hidden or shown in it since.
    std::vector<int> m_hiddenWhenSet;
    std::vector<customer_attribute_cell_Entity> m_allAttributes;
    // Order uploads waiting on a customer upload, by its request code.
    std::map<int, OrderResume> m_orderResumes;
    // What each upload under way carried, by its request code.
    std::map<int, SentChanges> m_sentChanges;
    // The customer syncs an upload waits on, by their request code.
    std::map<int, std::function<void(const std::shared_ptr<NetBaseRst>&)>> m_preparations;
    // Local customers found on the server after a lost upload, and the ids they took.
    std::map<int, int> m_adopted;
    // The server customers (id, name) the last preparation fetched, before any upload it leads to.
    std::vector<std::pair<int, std::string>> m_onServerBeforeSend;
};
