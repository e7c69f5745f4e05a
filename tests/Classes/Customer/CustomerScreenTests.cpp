// The customers tab in a headless window over a client database from the template, the real
// models and the loopback back end (account "alice" of fixture S): searching, entering,
// editing, deleting, submitting, and the flags other screens set.
#include "App/BrivantaAppDelegate.h"
#include "Classes/Customer/CustomerAttributeCell.h"
#include "Classes/Customer/CustomerInfoGroupView.h"
#include "Classes/Customer/CustomerViewController.h"
#include "Common/MessageBox.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/UI/Driver.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/UIToast.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TextView.h"
#include "Platform/UI/Window.h"
#include "Protocol/RequestLogin.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Protocol/ProtocolTestSupport.h"
#include "tests/Support/DatabaseRows.h"

#include <set>

namespace {

using protocoltest::ProtocolTest;

class CustomerScreenTest : public ProtocolTest {
protected:
    static constexpr int kActiveField = 5;
    void SetUp() override
    {
        ProtocolTest::SetUp();
        if (HasFatalFailure())
            return;
        base::RunLoop::main().setManualClock(true);
        ui::View::setAnimationsEnabled(false);
        auto login = LoginMode::sharedInstance();
        login->setLoginType(1);
        login->setPassword(RequestLogin::passwordDigest("s3cret!"));
        DataAccessManager::releaseDataModel();
        data = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(data->hasModels());
        // The cases name their local customers -1, -2...: counted from a mark of none handed out.
        ASSERT_TRUE(data->customerModel()->keepLocalCustomerIdMark(0));
        db = BRDatabase::sharedDataBase();
        std::vector<brivanta_fields_customer_attribute_Entity> fields;
        int id = 10;
        for (const char* name : {"Phone", "Bank Account", "Active", "Address", "City", "State/Province/Region", "Zip Code"}) {
            brivanta_fields_customer_attribute_Entity field;
            // The back end's own ids: it refuses a value of a field it does not define.
            field.field_id = ++id == 13 ? kActiveField : id;
            field.field_name = name;
            field.display = 1;
            field.published = 1;
            fields.push_back(field);
        }
        ASSERT_TRUE(data->saveToDatabaseFieldsCustomerAttribute(fields));
        storeCustomer(9001, "ACME Ltd", "Hank", "Scorpio");
        storeCustomer(9100, "Globex", "John", "Smith");
        CustomerDataModel::freeInstance();
        QuoteOrderStore::freeInstance();
        ui::Application::shared().setURLRecorder([this](const std::string& url) { opened.push_back(url); });
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        driver = std::make_unique<ui::Driver>(*window);
        screen = std::make_shared<CustomerViewController>();
        window->setRootViewController(screen);
        base::RunLoop::main().advance(0.1);
    }
    void TearDown() override
    {
        if (auto* responder = ui::Responder::currentFirstResponder())
            responder->resignFirstResponder();
        MessageBox::sharedInstance()->dismissAllMsgBox();
        ui::AlertView::dismissAllForTesting();
        base::RunLoop::main().advance(10);
        driver.reset();
        screen.reset();
        window.reset();
        ui::Application::shared().setURLRecorder({});
        ui::View::setAnimationsEnabled(true);
        QuoteOrderStore::freeInstance();
        CustomerDataModel::freeInstance();
        db.reset();
        data.reset();
        ProtocolTest::TearDown();
        DataAccessManager::releaseDataModel();
    }

    void storeCustomer(int id, const std::string& name, const std::string& first, const std::string& last)
    {
        brivanta_customer_Entity customer;
        customer.customer_id = id;
        customer.customer_info_id = "";
        customer.customer_name = name;
        customer.customer_publish = 1;
        ASSERT_TRUE(data->saveToDatabaseCustomer(std::vector{customer}));
        brivanta_customer_contact_entity contact;
        contact.customerID = id;
        contact.contactID = id;
        contact.first_name = first;
        contact.last_name = last;
        ASSERT_TRUE(data->saveToDatabaseCustomerContact(std::vector{contact}));
    }
    int storedOrder(int customerId, const std::string& name)
    {
        auto order = std::make_shared<QuoteOrderEntity>();
        order->setCustomerName(name);
        order->setCustomerId(customerId);
        order->setCurrency("USD");
        return data->saveQuoteOrder(order);
    }
    std::string rows(const std::string& sql)
    {
        return testsupport::rowsText(*db, sql);
    }
    std::string customerRows(int id)
    {
        std::string key = std::to_string(id);
        return rows("select * from brivanta_customer where customer_id = " + key)
            + rows("select * from brivanta_customer_address where customer_id = " + key)
            + rows("select * from brivanta_customer_attribute where customer_id = " + key + " order by attribute_id")
            + rows("select * from brivanta_customer_contact where customer_id = " + key);
    }
    std::string lastToast()
    {
        std::string text;
        for (const auto& view : window->subviews()) {
            if (std::string(view->className()) != "UIToast")
                continue;
            for (const auto& sub : view->subviews())
                if (auto* box = dynamic_cast<ui::TextView*>(sub.get()))
                    text = box->text();
        }
        return text;
    }
    void typeSearch(const std::string& text)
    {
        auto& bar = screen->customerList()->searchBar();
        bar.setText(text);
        bar.delegate()->searchBarTextDidChange(bar, text);
        base::RunLoop::main().advance(0.5);
    }
    CustomerInfoView& pane() { return *screen->customerInfo(); }
    // The button of that title inside the view.
    static ui::Button* buttonIn(ui::View& view, const std::string& title)
    {
        for (const auto& sub : view.subviews()) {
            if (auto* button = dynamic_cast<ui::Button*>(sub.get()); button && button->currentTitle() == title)
                return button;
            if (auto* found = buttonIn(*sub, title))
                return found;
        }
        return nullptr;
    }
    CustomerInfoGroupData& groups() { return pane().customerInfoGroupData(); }
    // Typed into the field of the form's row LABEL (in the group shown as SECTION) as a user would: the row scrolled to, its
    // field tapped, the keys; the keyboard stays there.
    void typeIntoRow(const std::string& label, const std::string& text, int section = 1)
    {
        auto& base = groups().customerCompanyData()[static_cast<size_t>(section - 1)].customerAttributes;
        auto row = std::find_if(base.begin(), base.end(), [&](const auto& r) { return r.label == label; });
        ASSERT_NE(row, base.end()) << label;
        ui::IndexPath ip{section, static_cast<int>(row - base.begin())};
        pane().tableCustomerInfo()->scrollToRowAtIndexPath(ip, ui::TableViewScrollPosition::Middle, false);
        base::RunLoop::main().advance(0.01);
        auto* cell = dynamic_cast<CustomerAttributeCell*>(pane().tableCustomerInfo()->cellForRowAtIndexPath(ip));
        ASSERT_TRUE(cell);
        ASSERT_TRUE(driver->tap(&cell->txtAttributeValue()));
        driver->type(text);
        ASSERT_TRUE(cell->txtAttributeValue().isFirstResponder());
    }
    void set(brivanta_customer_group_Entity& group, const std::string& field, const std::string& value)
    {
        for (auto& row : group.customerAttributes) {
            if (row.field == field)
                row.value = value;
        }
    }
    // NEW, the name typed, a street, an added empty address, a contact.
    void enterNewCustomer(const std::string& name)
    {
        ASSERT_TRUE(driver->tap(&screen->customerList()->addNewCustomerButton()));
        ASSERT_EQ(pane().customerType(), 1);
        groups().customerCompanyData()[0].customerAttributes[0].value = name;
        set(groups().customerCompanyData()[1], "Address", "1 Main Street");
        pane().addAddress();
        pane().addConctact();
        set(groups().customerContactData()[0], "first_name", "John");
        set(groups().customerContactData()[0], "last_name", "Smith");
    }

    std::shared_ptr<DataAccessManager> data;
    std::shared_ptr<BRDatabase> db;
    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::Driver> driver;
    std::shared_ptr<CustomerViewController> screen;
    std::vector<std::string> opened;
};

TEST_F(CustomerScreenTest, SearchOpensThePopoverAndTheSearchButtonTakesASingleHit)
{
    struct Case {
        const char* text;
        bool byContact;
        size_t hits;
        bool open;
    } cases[] = {
        {"acme", false, 1, true}, {"   ", false, 1, false}, {"o", false, 2, true}, {"John Smith", true, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        screen->customerList()->Selectbutton(c.byContact ? 1 : 0);
        typeSearch(c.text);
        EXPECT_EQ(screen->popResult()->isPopoverVisible(), c.open);
        if (c.open) {
            EXPECT_EQ(screen->resultCount(), c.hits);
        }
    }
    // One hit by contact: the search button shows that contact's customer.
    screen->dismissPopoverController();
    EXPECT_FALSE(screen->popResult()->isPopoverVisible());
    ASSERT_TRUE(screen->curPersonInfo());
    EXPECT_EQ(screen->curPersonInfo()->name, "Globex");

    // Two hits: the button only closes.
    screen->customerList()->Selectbutton(0);
    typeSearch("o");
    screen->dismissPopoverController();
    EXPECT_FALSE(screen->popResult()->isPopoverVisible());
    EXPECT_EQ(screen->curPersonInfo()->name, "Globex");
    typeSearch("acme");
    screen->dismissPopoverController();
    EXPECT_EQ(screen->curPersonInfo()->name, "ACME Ltd");
    EXPECT_EQ(pane().personInfo()->pid, 9001);
    // Cleared: all groups again, the selection kept.
    typeSearch("");
    EXPECT_EQ(screen->customerList()->tableCustomer()->selectedPID(), 9001);
    // Typed through the window as a user would.
    auto& field = screen->customerList()->searchBar().textField();
    ASSERT_TRUE(driver->tap(&field));
    EXPECT_TRUE(field.isFirstResponder());
    driver->type("glob");
    EXPECT_TRUE(screen->popResult()->isPopoverVisible());
    EXPECT_EQ(screen->resultCount(), 1u);
    driver->pressKey("\n");
    EXPECT_EQ(screen->curPersonInfo()->name, "Globex");
    EXPECT_FALSE(screen->popResult()->isPopoverVisible());
}

TEST_F(CustomerScreenTest, NewCustomersAreStoredAndEditsKeepTheirId)
{
    // No customer fields synced yet: NEW only explains.
    ui::View::setAnimationsEnabled(true);
    ASSERT_TRUE(db->executeUpdate("DELETE FROM brivanta_fields_customer_attribute"));
    CustomerDataModel::sharedInstance()->reloadCustomerData();
    ASSERT_TRUE(driver->tap(&screen->customerList()->addNewCustomerButton()));
    base::RunLoop::main().advance(0.1);
    EXPECT_EQ(lastToast(), Language::stringWithName("NOTEUPDATECUSTOMER"));
    EXPECT_EQ(pane().customerType(), 0);
    base::RunLoop::main().advance(10);
    ui::View::setAnimationsEnabled(false);
    ASSERT_TRUE(db->executeUpdate("DELETE FROM brivanta_customer_attribute"));
    CustomerDataModel::freeInstance();
    data->customerModel()->saveToDatabaseFieldsCustomerAttribute([] {
        std::vector<brivanta_fields_customer_attribute_Entity> fields;
        int id = 10;
        for (const char* name : {"Phone", "Bank Account", "Active", "Address", "City", "State/Province/Region", "Zip Code"}) {
            brivanta_fields_customer_attribute_Entity field;
            // The back end's own ids: it refuses a value of a field it does not define.
            field.field_id = ++id == 13 ? kActiveField : id;
            field.field_name = name;
            field.display = 1;
            field.published = 1;
            fields.push_back(field);
        }
        return fields;
    }());
    CustomerDataModel::sharedInstance();

    enterNewCustomer("New Buyer");
    EXPECT_TRUE(screen->customerList()->isEditType());
    EXPECT_EQ(screen->customerList()->tableCustomer()->tableView()->frame().y(), 193);
    ASSERT_TRUE(driver->tap(&pane().doneButton()));
    EXPECT_EQ(rows("select customer_id, customer_name from brivanta_customer where customer_id < 0"), "-1|New Buyer|\n");
    EXPECT_EQ(rows("select attribute_value from brivanta_customer_attribute where customer_id = -1 and "
                   "attribute_fields_id = 14"),
              "1 Main Street|\n");
    EXPECT_EQ(rows("select count(*) from brivanta_customer_attribute where customer_id = -1"), "7|\n");
    EXPECT_EQ(rows("select count(*) from brivanta_customer_address where customer_id = -1"), "0|\n");
    EXPECT_EQ(rows("select contact_id, first_name, last_name from brivanta_customer_contact where customer_id = -1"),
              "-1|John|Smith|\n");
    EXPECT_EQ(pane().personInfo()->pid, -1);
    EXPECT_EQ(pane().customerType(), 0);
    EXPECT_FALSE(screen->customerList()->isEditType());
    EXPECT_EQ(screen->customerList()->tableCustomer()->tableView()->frame().y(), 133);
    EXPECT_EQ(screen->customerList()->tableCustomer()->selectedPID(), -1);

    // EDIT keeps the id, and the order naming it stays on it; a primary chosen while editing
    // is stored at DONE.
    int order = storedOrder(-1, "New Buyer");
    ASSERT_TRUE(driver->tap(&pane().editButton()));
    set(groups().customerCompanyData()[0], "Phone", "555-0199");
    pane().addAddress();
    set(groups().customerCompanyData().back(), "address", "2 Side Street");
    pane().groupViewClickWithType(groups().customerCompanyData().back().indexId, CustomerInfoGroupView::Address);
    ASSERT_TRUE(driver->tap(&pane().doneButton()));
    EXPECT_EQ(rows("select customer_id from brivanta_customer where customer_id < 0"), "-1|\n");
    EXPECT_EQ(rows("select attribute_value from brivanta_customer_attribute where customer_id = -1 and "
                   "attribute_fields_id = 11"),
              "555-0199|\n");
    EXPECT_EQ(rows("select address, isDefault from brivanta_customer_address where customer_id = -1"),
              "2 Side Street|1|\n");
    EXPECT_EQ(rows("select customer_id from brivanta_quote_order where order_id = " + std::to_string(order)), "-1|\n");

    // A refused contact write: FAILED, the stored customer exactly as before, still editing.
    std::string before = customerRows(-1);
    ASSERT_TRUE(db->executeUpdate("CREATE TRIGGER refuse BEFORE INSERT ON brivanta_customer_contact "
                                  "BEGIN SELECT RAISE(ABORT, 'no'); END"));
    ui::View::setAnimationsEnabled(true);
    ASSERT_TRUE(driver->tap(&pane().editButton()));
    set(groups().customerCompanyData()[0], "Phone", "000");
    ASSERT_TRUE(driver->tap(&pane().doneButton()));
    base::RunLoop::main().advance(0.1);
    EXPECT_EQ(lastToast(), Language::stringWithName("FAILED"));
    EXPECT_EQ(customerRows(-1), before);
    EXPECT_EQ(pane().customerType(), 1);
    base::RunLoop::main().advance(10);
}

// A disk that takes no more (its first write refused): Done stores nothing and says so, in
// the user's language, and the form keeps what was typed for another try.
TEST_F(CustomerScreenTest, AFullDiskRefusesANewCustomerAndSaysSo)
{
    ui::View::setAnimationsEnabled(true);
    std::string english = Language::stringWithName("FAILED");
    for (int language : {1, 2}) {
        SCOPED_TRACE(language == 1 ? "English" : "Chinese");
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        std::string failed = Language::stringWithName("FAILED");
        EXPECT_EQ(failed == english, language == 1);
        enterNewCustomer("Full Disk Buyer");
        std::string before = rows("select count(*) from brivanta_customer") + rows("select count(*) from brivanta_customer_contact");
        {
            basetest::ScopedFileSizeLimit full(0);
            ASSERT_TRUE(driver->tap(&pane().doneButton()));
            base::RunLoop::main().advance(0.1);
        }
        EXPECT_EQ(lastToast(), failed) << "a refused save passed without a word";
        EXPECT_EQ(rows("select count(*) from brivanta_customer") + rows("select count(*) from brivanta_customer_contact"),
                  before);
        EXPECT_EQ(pane().customerType(), 1) << "what was typed is kept for another try";
        if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"))
            driver->screenshot(std::string(review) + (language == 1 ? "/customer_full_disk_en.png" : "/customer_full_disk_cn.png"));
        base::RunLoop::main().advance(10);
        ASSERT_TRUE(driver->tap(&pane().cancelButton()));
        base::RunLoop::main().advance(1);
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
}

// An edit is left only when the user chooses to: Cancel and choosing another customer leave
// it; a search typed and deleted, or another grouping, keep the typed values, the edit mode
// and the keyboard.
TEST_F(CustomerScreenTest, AnEditIsLeftOnlyByTheUsersChoice)
{
    int id = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Local Buyer");
    screen->settingsSwitchChanged();
    auto& search = screen->customerList()->searchBar().textField();
    struct Case {
        const char* name;
        std::function<void()> leave;
        bool keepsEdit;
        const char* shown; // the customer shown afterwards
    } cases[] = {
        {"search typed and deleted",
         [&] {
             ASSERT_TRUE(driver->tap(&search));
             driver->type("g");
             EXPECT_TRUE(screen->popResult()->isPopoverVisible());
             driver->pressKey("\b");
         },
         true, "Local Buyer"},
        {"grouped by state and back",
         [&] {
             screen->customerList()->Selectbutton(2);
             screen->customerList()->Selectbutton(0);
         },
         true, "Local Buyer"},
        {"cancelled", [&] { ASSERT_TRUE(driver->tap(&pane().cancelButton())); }, false, "Local Buyer"},
        {"another customer chosen", [&] { screen->customerList()->selectedCustomer(9100); }, false, "Globex"},
    };
    const std::string phone = Language::stringWithName("PHONE");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        screen->customerList()->selectedCustomer(id);
        ASSERT_TRUE(driver->tap(&pane().editButton()));
        ASSERT_EQ(pane().customerType(), 1);
        ASSERT_NO_FATAL_FAILURE(typeIntoRow(phone, "555-0100"));

        c.leave();
        ASSERT_TRUE(pane().personInfo());
        EXPECT_EQ(pane().personInfo()->name, c.shown);
        EXPECT_EQ(pane().customerType(), c.keepsEdit ? 1 : 0);
        const auto* typed = groups().customerCompanyData()[0].rowWithField("Phone");
        EXPECT_EQ(typed ? typed->value.value_or("") : "", c.keepsEdit ? "555-0100" : "");
        if (c.name == std::string("search typed and deleted")) {
            // The keyboard stayed with the search: what is typed next is searched.
            EXPECT_TRUE(search.isFirstResponder());
            driver->type("acme");
            EXPECT_TRUE(screen->popResult()->isPopoverVisible());
            EXPECT_EQ(screen->resultCount(), 1u);
            for (int i = 0; i < 4; ++i)
                driver->pressKey("\b");
            EXPECT_EQ(pane().customerType(), 1);
        }
        if (c.keepsEdit) {
            // DONE stores what was typed.
            ASSERT_TRUE(driver->tap(&pane().doneButton()));
            EXPECT_EQ(rows("select attribute_value from brivanta_customer_attribute where customer_id = "
                           + std::to_string(id) + " and attribute_fields_id = 11"),
                      "555-0100|\n");
            ASSERT_TRUE(db->executeUpdate("UPDATE brivanta_customer_attribute SET attribute_value = '' WHERE "
                                          "customer_id = ? AND attribute_fields_id = 11", id));
            screen->settingsSwitchChanged();
        }
        EXPECT_EQ(rows("select count(*) from brivanta_customer where customer_id = " + std::to_string(id)), "1|\n");
    }
}

// The program ends with the form open: what DONE would accept is stored as DONE stores it,
// the field still being typed included, unsent, with nothing asked or shown; a form DONE
// would refuse, an edit that changed nothing and a customer only viewed store nothing.
TEST_F(CustomerScreenTest, TheFormBeingTypedIsStoredAsDoneStoresItWhenTheProgramEnds)
{
    const int local = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Local Buyer");
    ASSERT_TRUE(data->customerModel()->setCustomerChangeCount(local, 0));
    screen->settingsSwitchChanged();
    const std::string phone = Language::stringWithName("PHONE");
    auto phoneOf = [&](int id) {
        return rows("select attribute_value from brivanta_customer_attribute where customer_id = " + std::to_string(id)
                    + " and attribute_fields_id = 11");
    };
    auto unsent = [&](int id) { return data->customerModel()->customerChangeCount(id); };
    const std::string name = Language::stringWithName("NAME");
    // A new customer's form with each field typed in turn, the last one left being typed.
    auto newCustomerTyping = [&](std::vector<std::pair<std::string, std::string>> fields) {
        return [&, fields] {
            ASSERT_TRUE(driver->tap(&screen->customerList()->addNewCustomerButton()));
            for (const auto& [label, text] : fields)
                typeIntoRow(label, text);
        };
    };

    struct Case {
        const char* name;
        std::function<void()> type;
        int stored;             // the customer written, 0 for none
        const char* storedName; // and its name and phone as stored
        const char* storedPhone;
    } cases[] = {
        {"a new customer, the phone still being typed",
         newCustomerTyping({{name, "Night Owl Traders"}, {phone, "555-0142"}}),
         -2, "Night Owl Traders", "555-0142|\n"},
        {"a new customer, the name still being typed",
         newCustomerTyping({{phone, "555-0143"}, {name, "Late Shift Supply"}}),
         -3, "Late Shift Supply", "555-0143|\n"},
        {"a new customer without a name",
         newCustomerTyping({{phone, "555-0144"}, {name, "   "}}),
         0, "", ""},
        {"a new customer whose contact has no last name",
         [&] {
             ASSERT_TRUE(driver->tap(&screen->customerList()->addNewCustomerButton()));
             typeIntoRow(name, "Half Named Ltd");
             pane().addConctact();
             set(groups().customerContactData()[0], "first_name", "Ann");
         },
         0, "", ""},
        {"a local customer's phone being edited",
         [&] {
             screen->customerList()->selectedCustomer(local);
             ASSERT_TRUE(driver->tap(&pane().editButton()));
             typeIntoRow(phone, "555-0145");
         },
         local, "Local Buyer", "555-0145|\n"},
        {"a server customer renamed",
         [&] {
             screen->customerList()->selectedCustomer(9001);
             pane().customerInfoViewEdit();
             typeIntoRow(name, " Group");
         },
         9001, "ACME Ltd Group", ""},
        {"a local customer opened for editing and left as it was",
         [&] {
             screen->customerList()->selectedCustomer(local);
             ASSERT_TRUE(driver->tap(&pane().editButton()));
             typeIntoRow(phone, "");
         },
         0, "", ""},
        {"a customer only viewed", [&] { screen->customerList()->selectedCustomer(9100); }, 0, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = customerRows(9001) + customerRows(9100) + customerRows(local);
        const std::string customers = rows("select count(*) from brivanta_customer");
        const int unsentBefore = c.stored ? unsent(c.stored) : 0;
        c.type();
        if (HasFatalFailure())
            return;
        CustomerViewController::keepOpenForm();
        EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr) << "nothing is asked";
        EXPECT_EQ(lastToast(), "") << "nothing is shown";
        if (c.stored == 0) {
            EXPECT_EQ(customerRows(9001) + customerRows(9100) + customerRows(local), before);
            EXPECT_EQ(rows("select count(*) from brivanta_customer"), customers);
            EXPECT_EQ(unsent(local), 0);
            // The form stays as it was: the program is going anyway.
            if (pane().customerType() == 1) {
                ASSERT_TRUE(driver->tap(&pane().cancelButton()));
            }
            continue;
        }
        EXPECT_EQ(rows("select customer_name from brivanta_customer where customer_id = " + std::to_string(c.stored)),
                  std::string(c.storedName) + "|\n");
        EXPECT_EQ(rows("select count(*) from brivanta_customer where customer_name = '" + std::string(c.storedName) + "'"),
                  "1|\n");
        EXPECT_EQ(phoneOf(c.stored), c.storedPhone);
        EXPECT_GT(unsent(c.stored), unsentBefore) << "unsent until its next upload";
        EXPECT_EQ(pane().customerType(), 0) << "stored as DONE stores it";
        EXPECT_EQ(screen->customerList()->tableCustomer()->selectedPID(), c.stored);
        // Stored once: a second end stores nothing more.
        const std::string after = customerRows(c.stored);
        const int count = unsent(c.stored);
        CustomerViewController::keepOpenForm();
        EXPECT_EQ(customerRows(c.stored), after);
        EXPECT_EQ(unsent(c.stored), count);
        if (c.stored == local) {
            ASSERT_TRUE(data->customerModel()->setCustomerChangeCount(local, 0));
        }
    }

    // A form left behind by a logout is not the next login's to keep, another user's or the
    // same user's again.
    ASSERT_TRUE(driver->tap(&screen->customerList()->addNewCustomerButton()));
    typeIntoRow(name, "Left Behind Ltd");
    const std::string client = LoginMode::sharedInstance()->clientID();
    for (const std::string& next : {std::string("OtherCo"), client}) {
        SCOPED_TRACE(next);
        DataAccessManager::releaseDataModel();
        LoginMode::sharedInstance()->setClientID(next);
        data = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(data->hasModels());
        db = BRDatabase::sharedDataBase();
        CustomerViewController::keepOpenForm();
        EXPECT_EQ(rows("select count(*) from brivanta_customer where customer_name = 'Left Behind Ltd'"), "0|\n");
        EXPECT_EQ(pane().customerType(), 1);
    }
}

TEST_F(CustomerScreenTest, ALanguageChangeKeepsWhatIsTypedAndTheProgramsEndStoresIt)
{
    const int edited = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Edith Co");
    ASSERT_NE(edited, 0);
    screen->settingsSwitchChanged();
    auto language = [](int which) {
        LanguageManager::sharedInstance()->setCurrentLanguage(which);
        Language::resetLanguageCache();
        base::RunLoop::main().advance(0.1);
    };
    struct Typed {
        const char* key;
        int section;
        const char* text;
        const char* stored; // as the row holds it after the typing
    };
    struct Case {
        const char* name;
        std::function<void()> open;
        int stored; // the customer written, 0 for a new one
        std::vector<Typed> typed;
    } cases[] = {
        {"a new customer, the city still being typed",
         [&] { ASSERT_TRUE(driver->tap(&screen->customerList()->addNewCustomerButton())); },
         0,
         {{"NAME", 1, "Initech", "Initech"},
          {"STREETADDRESS", 2, "4120 Freidrich Lane", "4120 Freidrich Lane"},
          {"CITY", 2, "Austin", "Austin"}}},
        {"a stored customer edited, the phone still being typed",
         [&] {
             screen->customerList()->selectedCustomer(edited);
             ASSERT_TRUE(driver->tap(&pane().editButton()));
         },
         edited,
         {{"NAME", 1, " Ltd", "Edith Co Ltd"}, {"STREETADDRESS", 2, "9 Oak", "9 Oak"}, {"PHONE", 1, "555-0199", "555-0199"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.open();
        if (HasFatalFailure())
            return;
        for (const auto& t : c.typed) {
            typeIntoRow(Language::stringWithName(t.key), t.text, t.section);
            if (HasFatalFailure())
                return;
        }
        const Typed& last = c.typed.back(); // its field has the caret
        for (int which : {2, 1}) {
            language(which);
            SCOPED_TRACE(which);
            ASSERT_EQ(pane().customerType(), 1) << "still the form";
            // The caret stays where it was: the next keys go on into the field being typed.
            auto* typing = dynamic_cast<ui::TextField*>(ui::Responder::currentFirstResponder());
            ASSERT_NE(typing, nullptr) << "the caret left the form";
            EXPECT_TRUE(typing->isDescendantOfView(pane().tableCustomerInfo().get()));
            EXPECT_EQ(typing->text(), last.stored);
            EXPECT_EQ(typing->caretPosition(), std::string(last.stored).size());
            driver->type("#");
            EXPECT_EQ(typing->text(), std::string(last.stored) + "#");
            driver->pressKey("\b");
            // The groups' headings on screen read in the language shown.
            std::set<std::string> headings;
            for (const char* key : {"BASEINFO", "PRIMARYADDRESS", "ALTERNATEADDRESS", "PRIMARYCONTACT", "ALTERNATECONTACT"})
                headings.insert(Language::stringWithName(key));
            int shown = 0;
            for (auto* view : driver->findAllByClass("CustomerInfoGroupView")) {
                if (!driver->isOnScreen(view))
                    continue;
                ++shown;
                EXPECT_EQ(headings.count(static_cast<CustomerInfoGroupView*>(view)->lblGroupName().text()), 1u)
                    << static_cast<CustomerInfoGroupView*>(view)->lblGroupName().text();
            }
            EXPECT_GT(shown, 0);
            for (const auto& t : c.typed) {
                const auto& rows = groups().customerCompanyData()[static_cast<size_t>(t.section - 1)].customerAttributes;
                auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.key == t.key; });
                ASSERT_NE(row, rows.end()) << t.key;
                EXPECT_EQ(row->label, Language::stringWithName(t.key)) << "the caption follows the language";
                ui::IndexPath ip{t.section, static_cast<int>(row - rows.begin())};
                pane().tableCustomerInfo()->scrollToRowAtIndexPath(ip, ui::TableViewScrollPosition::Middle, false);
                // Laid out as the screen's next refresh would: the row holding the caret may have
                // scrolled out of sight, and the table grows back as the keyboard goes.
                driver->waitAsUser(0.01);
                auto* cell = dynamic_cast<CustomerAttributeCell*>(pane().tableCustomerInfo()->cellForRowAtIndexPath(ip));
                ASSERT_TRUE(cell);
                EXPECT_EQ(cell->txtAttributeValue().text(), t.stored) << t.key << " still shows what was typed";
            }
            // Scrolling its row out of sight took the caret; it goes back for the next change.
            typeIntoRow(Language::stringWithName(last.key), "", last.section);
            if (HasFatalFailure())
                return;
        }
        CustomerViewController::keepOpenForm();
        EXPECT_EQ(pane().customerType(), 0) << "stored as DONE stores it";
        const std::string name = c.typed[0].stored;
        ASSERT_EQ(rows("select count(*) from brivanta_customer where customer_name = '" + name + "'"), "1|\n");
        const int stored = c.stored ? c.stored : std::stoi(rows("select customer_id from brivanta_customer where customer_name = '" + name + "'"));
        const std::string id = std::to_string(stored);
        EXPECT_EQ(rows("select customer_name from brivanta_customer where customer_id = " + id), name + "|\n");
        for (const auto& t : c.typed) {
            if (t.section != 2)
                continue;
            const char* fieldId = std::string(t.key) == "CITY" ? "15" : "14";
            EXPECT_EQ(rows("select attribute_value from brivanta_customer_attribute where customer_id = " + id
                           + " and attribute_fields_id = " + fieldId),
                      std::string(t.stored) + "|\n");
        }
        const std::string after = customerRows(stored);
        CustomerViewController::keepOpenForm();
        EXPECT_EQ(customerRows(stored), after) << "stored once";
    }
}

TEST_F(CustomerScreenTest, DeletingALocalCustomerFreesItsOrdersAndItsIdStaysUsed)
{
    int a = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("First");
    int b = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Second");
    ASSERT_EQ(b, a - 1);
    int order = storedOrder(b, "Second");
    screen->settingsSwitchChanged();
    screen->deleteLocalCustomer(b);
    EXPECT_EQ(customerRows(b), "");
    EXPECT_EQ(rows("select customer_id, customer_name from brivanta_quote_order where order_id = " + std::to_string(order)),
              "0|Second|\n");
    EXPECT_EQ(CustomerDataModel::sharedInstance()->customerInfoDic().count(b), 0u);
    EXPECT_EQ(CustomerDataModel::sharedInstance()->customerInfoDic().count(a), 1u);
    EXPECT_EQ(CustomerDataModel::sharedInstance()->nextLocalCustomerId(), b - 1);
}

TEST_F(CustomerScreenTest, SubmitAsksFirstAndRefusesTheDemo)
{
    int id = CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("Local Buyer");
    screen->settingsSwitchChanged();
    screen->customerList()->selectedCustomer(id);
    ASSERT_EQ(pane().personInfo()->pid, id);

    LoginMode::sharedInstance()->setLoginType(3);
    pane().submitAction();
    auto alert = ui::AlertView::visibleAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->tag(), CustomerViewController::kDemoAlertTag);
    ASSERT_TRUE(driver->tap(buttonIn(*alert, Language::stringWithName("SIGNUPNOW"))));
    EXPECT_EQ(opened, std::vector<std::string>{BrivantaAppDelegate::kRegistrationPageAddress});
    EXPECT_TRUE(logged("520").empty());

    LoginMode::sharedInstance()->setLoginType(1);
    pane().submitAction();
    alert = ui::AlertView::visibleAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->tag(), CustomerViewController::kSubmitAlertTag);
    EXPECT_EQ(alert->message(), Language::stringWithName("CUSTOMERSUBMIT"));
    ASSERT_TRUE(screen->submitPerson());
    ASSERT_TRUE(driver->tap(buttonIn(*alert, Language::stringWithName("SUBMIT"))));
    EXPECT_FALSE(screen->submitPerson());
    ASSERT_TRUE(runUntil([&] { return CustomerDataModel::sharedInstance()->customerInfoDic().count(id) == 0; }));
    EXPECT_EQ(logged("520").size(), 1u);
    // The list shows the customer under its server id, without the LOCAL tag.
    bool found = false;
    for (const auto& group : screen->customerList()->tableCustomer()->customerlist()) {
        for (const auto& row : group.arrayPersons) {
            if (row.personInfo.name == "Local Buyer") {
                found = true;
                EXPECT_GT(row.personInfo.pid, 0);
            }
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(CustomerScreenTest, HidingFollowsTheShowAllSwitch)
{
    // Shown: the customer stays, marked hidden in the list's own copy and in the database.
    screen->customerList()->selectedCustomer(9001);
    pane().switchViewAction(true);
    EXPECT_TRUE(screen->customerList()->allCustomerdic().at(9001).hidden);
    EXPECT_EQ(rows("select hidden from brivanta_customer where customer_id = 9001"), "1|\n");
    ASSERT_TRUE(pane().personInfo());
    EXPECT_TRUE(pane().personInfo()->hidden);

    // Not shown: hiding takes the customer off the list and empties the pane.
    ConfigManager::sharedInstance()->setIsShowAllCustomer(false);
    screen->settingsSwitchChanged();
    screen->customerList()->selectedCustomer(9100);
    ASSERT_EQ(pane().personInfo()->pid, 9100);
    pane().switchViewAction(true);
    EXPECT_EQ(screen->customerList()->allCustomerdic().count(9100), 0u);
    EXPECT_FALSE(pane().personInfo());
}

TEST_F(CustomerScreenTest, FlagsFromOtherScreens)
{
    screen->customerList()->selectedCustomer(9001);
    ASSERT_TRUE(pane().personInfo());
    // The order editor made a customer and asked for a reload.
    CustomerDataModel::sharedInstance()->saveCustomerWithNameStreetCityStateZipCode("From an order");
    ConfigManager::sharedInstance()->flagDic()["Needreloadcustomer"] = "YES";
    screen->viewWillAppear(false);
    EXPECT_FALSE(pane().personInfo());
    EXPECT_EQ(ConfigManager::sharedInstance()->flagDic()["Needreloadcustomer"], "NO");
    EXPECT_EQ(screen->customerList()->allCustomerdic().count(-1), 1u);

    // Show-all off: a hidden customer leaves the list.
    ASSERT_TRUE(data->updateCustomerTableHiddenWithCustomerIdWithHidden(9100, true));
    ConfigManager::sharedInstance()->setIsShowAllCustomer(false);
    base::NotificationCenter::defaultCenter().post("SETTINGS_SWITCH_CHANGE_NOTIFATION");
    EXPECT_EQ(screen->customerList()->allCustomerdic().count(9100), 0u);
    EXPECT_EQ(screen->customerList()->allCustomerdic().count(9001), 1u);
}

} // namespace
