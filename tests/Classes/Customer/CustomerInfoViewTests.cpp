// The customer detail pane in a headless window over a real client database, with a recording
// delegate in place of the screen: groups and sections, editing, primary choices, the checks
// before DONE, the keyboard and the language.
#include "Classes/Customer/CustomerInfoView.h"
#include "Common/Language.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Switch.h"
#include "tests/Classes/Customer/CustomerTestSupport.h"

#include <map>

namespace {

class Recorder : public CustomerInfoViewDelegate {
public:
    std::vector<std::string> heard;
    std::optional<CustomerInfoGroupData> done;
    void customerInfoViewCancel() override { heard.push_back("cancel"); }
    void customerInfoViewDoneWithData(const CustomerInfoGroupData& data) override
    {
        heard.push_back("done");
        done = data;
    }
    void customerInfoViewHiddenChange(bool hidden) override { heard.push_back(hidden ? "hidden" : "shown"); }
    void submitCustomer(const PersonInfo& person) override { heard.push_back("submit " + std::to_string(person.pid)); }
    void customerInfoViewChangePrimary() override { heard.push_back("primary"); }
};

class CustomerInfoViewTest : public customertest::CustomerWindowTest {
protected:
    CustomerInfoViewTest()
    {
        ui::View::setAnimationsEnabled(false);
        pane = ui::View::make<CustomerInfoView>(gfx::Rect{361, 0, 663, 682});
        pane->setDelegate(&recorder);
        pane->startObserving();
        window->addSubview(pane);
    }
    ~CustomerInfoViewTest() override
    {
        if (auto* responder = ui::Responder::currentFirstResponder())
            responder->resignFirstResponder();
        pane->removeFromSuperview();
        ui::View::setAnimationsEnabled(true);
    }
    // A local customer: the name field 18 "Client name", two addresses (the second default)
    // and two contacts.
    PersonInfo local()
    {
        storeCustomer(-1, "ACME Ltd", {{11, "555"}, {13, "NO"}, {14, "Main"}, {kNameField, "Client name"}},
                      {address("North", false), address("South", true)},
                      {contact("John", "Smith"), contact("Ann", "Lee")});
        return person(-1);
    }
    std::vector<std::string> labels(const brivanta_customer_group_Entity& group)
    {
        std::vector<std::string> out;
        for (const auto& row : group.customerAttributes)
            out.push_back(row.label + "=" + row.value.value_or("?"));
        return out;
    }
    CustomerAttributeCell* cellAt(int section, int row)
    {
        pane->tableCustomerInfo()->scrollToRowAtIndexPath({section, row}, ui::TableViewScrollPosition::Middle, false);
        base::RunLoop::main().advance(0.01);
        return dynamic_cast<CustomerAttributeCell*>(pane->tableCustomerInfo()->cellForRowAtIndexPath({section, row}));
    }
    // The customer shown in `language` (1 English, 2 Chinese), in the form if `editing`.
    ui::TableView* show(int language, const PersonInfo& shown, bool editing = true)
    {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        pane->setPersonInfo(shown);
        if (editing)
            pane->customerInfoViewEdit();
        base::RunLoop::main().advance(0.5);
        return pane->tableCustomerInfo().get();
    }
    void typeInto(int section, int row, const std::string& text)
    {
        auto* cell = cellAt(section, row);
        ASSERT_TRUE(cell);
        ASSERT_TRUE(driver->tap(&cell->txtAttributeValue()));
        driver->type(text);
    }

    Recorder recorder;
    std::shared_ptr<CustomerInfoView> pane;
};

TEST_F(CustomerInfoViewTest, GroupsAndSectionsFollowTheCustomer)
{
    // A new customer: every published field, empty; ACTIVE switched on; the primary address default.
    PersonInfo fresh;
    for (auto cell : CustomerDataModel::sharedInstance()->allAttributes()) {
        cell.attributeValue = "";
        fresh.attribute.push_back(cell);
    }
    pane->setNewPersonInfo(fresh);
    auto& company = pane->customerInfoGroupData().customerCompanyData();
    ASSERT_EQ(company.size(), 2u);
    EXPECT_EQ(labels(company[0]), (std::vector<std::string>{"Name=", "Phone=", "Bank Account=", "Active=YES", "Name="}));
    EXPECT_EQ(labels(company[1]), (std::vector<std::string>{"Street Address=", "City=", "State/Province=", "Zip Code="}));
    EXPECT_TRUE(company[1].isDefault);
    EXPECT_TRUE(pane->editButton().isHidden());

    // Stored: N = 4 (base, primary, two addresses), M = 2.
    pane->setPersonInfo(local());
    EXPECT_FALSE(company[1].isDefault);
    EXPECT_TRUE(company[3].isDefault);
    EXPECT_EQ(pane->customerInfoGroupData().customerContactData()[0].groupName, Language::stringWithName("PRIMARYCONTACT"));
    EXPECT_EQ(pane->tableCustomerInfo()->numberOfSections(), 7);
    EXPECT_FALSE(pane->editButton().isHidden());
    auto* submit = driver->findByText(Language::stringWithName("SUBMIT"));
    ASSERT_TRUE(submit);
    EXPECT_TRUE(driver->isOnScreen(submit));
    pane->customerInfoViewEdit();
    EXPECT_EQ(pane->tableCustomerInfo()->numberOfSections(), 9);
    EXPECT_EQ(pane->tableCustomerInfo()->rectForRowAtIndexPath({1, 1}).height(), 37);

    // A server customer: neither EDIT nor SUBMIT; a five-line value makes its row taller.
    storeCustomer(7, "Server", {{kNameField, "one two three four five six seven eight nine ten eleven twelve "
                                             "thirteen fourteen fifteen sixteen seventeen eighteen nineteen twenty "
                                             "twenty-one twenty-two twenty-three twenty-four twenty-five"}});
    pane->setPersonInfo(person(7));
    EXPECT_TRUE(pane->editButton().isHidden());
    EXPECT_FALSE(driver->isOnScreen(driver->findByText(Language::stringWithName("SUBMIT"))));
    EXPECT_GT(pane->tableCustomerInfo()->rectForRowAtIndexPath({1, 1}).height(), 60);
    EXPECT_LT(pane->tableCustomerInfo()->rectForRowAtIndexPath({1, 0}).height(), 50);
}

TEST_F(CustomerInfoViewTest, EditingGroupsKeepsIdsApartAndTheDefaultsSound)
{
    pane->setPersonInfo(local());
    pane->customerInfoViewEdit();
    auto& company = pane->customerInfoGroupData().customerCompanyData();
    auto& contacts = pane->customerInfoGroupData().customerContactData();
    auto ids = [&] {
        std::vector<int> out;
        for (const auto& g : company)
            out.push_back(g.indexId);
        return out;
    };
    pane->addAddress();
    int added = company.back().indexId;
    pane->deleteSectionWithType(added, CustomerInfoGroupView::Address);
    pane->addAddress();
    auto all = ids();
    EXPECT_EQ(std::set<int>(all.begin() + 1, all.end()).size(), all.size() - 1) << "only the base group is 0";
    EXPECT_NE(company.back().indexId, added);

    // The default alternate address deleted: the primary address is the default again.
    pane->deleteSectionWithType(company[3].indexId, CustomerInfoGroupView::Address);
    EXPECT_TRUE(company[1].isDefault);
    // The first contact deleted: the next is renamed and becomes the default.
    pane->deleteSectionWithType(contacts[0].indexId, CustomerInfoGroupView::Contact);
    ASSERT_EQ(contacts.size(), 1u);
    EXPECT_EQ(contacts[0].groupName, Language::stringWithName("PRIMARYCONTACT"));
    EXPECT_TRUE(contacts[0].isDefault);
}

TEST_F(CustomerInfoViewTest, TypingReachesItsOwnRowAndReturnWalksTheFields)
{
    pane->setPersonInfo(local());
    pane->customerInfoViewEdit();
    // Row 3 of the base group is the client field labelled "Name"; row 0 the customer's name.
    typeInto(1, 3, " changed");
    pane->tableCustomerInfo()->reloadData();
    const auto& base = pane->customerInfoGroupData().customerCompanyData()[0];
    EXPECT_EQ(base.customerAttributes[3].value, std::optional<std::string>("Client name changed"));
    EXPECT_EQ(base.customerAttributes[0].value, std::optional<std::string>("ACME Ltd"));

    // RETURN on PHONE skips ACTIVE (a switch while editing) to the client field; from the last
    // address it crosses the add-address header to the first contact.
    typeInto(1, 1, "7");
    driver->pressKey("\n");
    base::RunLoop::main().advance(0.5);
    auto* focused = dynamic_cast<ui::TextField*>(ui::Responder::currentFirstResponder());
    ASSERT_TRUE(focused);
    EXPECT_EQ(focused->text(), "Client name changed");
    typeInto(4, 3, "");
    driver->pressKey("\n");
    base::RunLoop::main().advance(0.5);
    focused = dynamic_cast<ui::TextField*>(ui::Responder::currentFirstResponder());
    ASSERT_TRUE(focused);
    EXPECT_EQ(focused->text(), "John");

    pane->customerInfoViewDone();
    ASSERT_TRUE(recorder.done);
    const auto& handed = recorder.done->customerCompanyData()[0];
    EXPECT_EQ(handed.customerAttributes[0].field, "");
    EXPECT_EQ(handed.customerAttributes[3].field, "Name");
    EXPECT_EQ(handed.customerAttributes[1].value, std::optional<std::string>("5557"));
}

TEST_F(CustomerInfoViewTest, PrimaryIsWrittenOnlyWhileViewing)
{
    pane->setPersonInfo(local());
    auto defaultAddress = [&] { return rows("select address from brivanta_customer_address where isDefault = 1"); };
    ASSERT_EQ(defaultAddress(), "South|\n");
    auto& company = pane->customerInfoGroupData().customerCompanyData();
    int north = company[2].indexId;

    pane->customerInfoViewEdit();
    pane->groupViewClickWithType(north, CustomerInfoGroupView::Address);
    EXPECT_TRUE(company[2].isDefault);
    pane->customerInfoViewCancel();
    EXPECT_EQ(defaultAddress(), "South|\n");
    EXPECT_EQ(recorder.heard, std::vector<std::string>{"cancel"});

    // Viewing: a tap on the box writes at once and tells the screen.
    auto made = pane->tableCustomerInfo()->delegate()->viewForHeaderInSection(*pane->tableCustomerInfo(), 3);
    auto* header = dynamic_cast<CustomerInfoGroupView*>(made.get());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->indexId, north);
    header->btnSelect().sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(defaultAddress(), "North|\n");
    EXPECT_EQ(recorder.heard.back(), "primary");
}

TEST_F(CustomerInfoViewTest, DoneChecksTheNamesFirst)
{
    pane->setPersonInfo(local());
    pane->customerInfoViewEdit();
    std::string before = customerRows(-1);
    auto& base = pane->customerInfoGroupData().customerCompanyData()[0];
    auto& contacts = pane->customerInfoGroupData().customerContactData();
    struct Case {
        const char* name;
        std::string customer;
        std::string lastName;
        const char* toast;
    } cases[] = {
        {"blank name, blank contact", "  ", "", "NEEDINPUTNAME"},
        {"blank contact last name", "ACME Ltd", "  ", "NEEDINPUTCONTACTNAME"},
    };
    // A toast stays up only while its animation runs.
    ui::View::setAnimationsEnabled(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        base.customerAttributes[0].value = c.customer;
        contacts[0].customerAttributes[1].value = c.lastName;
        pane->customerInfoViewDone();
        base::RunLoop::main().advance(0.1);
        ASSERT_FALSE(toasts().empty());
        EXPECT_EQ(toasts().back(), Language::stringWithName(c.toast));
        EXPECT_FALSE(recorder.done);
        EXPECT_EQ(pane->customerType(), 1);
        EXPECT_EQ(customerRows(-1), before);
        base::RunLoop::main().advance(10);
    }
}

TEST_F(CustomerInfoViewTest, KeyboardAndLanguage)
{
    pane->setPersonInfo(local());
    pane->customerInfoViewEdit();
    typeInto(1, 1, "9");
    EXPECT_EQ(pane->tableCustomerInfo()->frame(), (gfx::Rect{0, 44, 663, 370}));
    ui::Responder::currentFirstResponder()->resignFirstResponder();
    EXPECT_EQ(pane->tableCustomerInfo()->frame(), (gfx::Rect{0, 44, 663, 638}));

    // A change of language changes the captions only: the phone typed stays.
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    EXPECT_EQ(pane->customerInfoGroupData().customerCompanyData()[0].customerAttributes[1].label,
              Language::stringWithName("PHONE"));
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
    EXPECT_EQ(pane->customerInfoGroupData().customerCompanyData()[0].customerAttributes[1].value,
              std::optional<std::string>("5559"));
}

TEST_F(CustomerInfoViewTest, SwitchesReadInTheLanguageShown)
{
    // The same rows shown again after a change of language: every switch on screen says its
    // words in the language of the labels around it.
    auto shown = local();
    for (int language : {1, 2, 1}) {
        SCOPED_TRACE(language);
        show(language, shown);
        int seen = 0;
        for (auto* view : driver->findAllByClass("Switch")) {
            if (!driver->isOnScreen(view))
                continue;
            auto* control = static_cast<ui::Switch*>(view);
            EXPECT_EQ(control->onTitle(), Language::stringWithName("SWITCHON"));
            EXPECT_EQ(control->offTitle(), Language::stringWithName("SWITCHOFF"));
            ++seen;
        }
        EXPECT_GT(seen, 0);
    }
}

TEST_F(CustomerInfoViewTest, InAWindowTheFormKeepsItsSizeAndTabWalksItsFields)
{
    // A window has no keyboard on screen (its back end says so), in either language.
    ui::Keyboard::setOnScreen(false);
    auto shown = local();
    for (int language : {1, 2}) {
        SCOPED_TRACE(language);
        auto* table = show(language, shown);
        // The lowest field shown before editing starts: where the user aims next.
        ui::TextField* aimed = nullptr;
        gfx::Point aim;
        for (auto* view : driver->findAllByClass("TextField")) {
            auto* field = static_cast<ui::TextField*>(view);
            gfx::Point centre = driver->centerOf(field);
            if (field->isDescendantOfView(table) && field->isEnabled() && (!aimed || centre.y > aim.y)) {
                aimed = field;
                aim = centre;
            }
        }
        ASSERT_TRUE(aimed);
        ASSERT_GT(aim.y, 44 + CustomerInfoView::kTableHeightWithKeyboard); // below where the tablet's keyboard cut

        typeInto(1, 0, "");
        base::RunLoop::main().advance(0.5);
        EXPECT_EQ(table->frame(), (gfx::Rect{0, 44, 663, 638}));
        EXPECT_TRUE(driver->screenshot(reviewPath(std::string("customer-form-editing-") + (language == 1 ? "en" : "cn") + ".png")));
        // A click where the field was shown edits that field.
        driver->tap(aim);
        base::RunLoop::main().advance(0.5);
        EXPECT_TRUE(aimed->isFirstResponder());
        // A click at the very top or bottom of a row, above or below its line of text, edits
        // that row's field: the rows of the first group, from the last up to the first.
        for (int row = table->numberOfRowsInSection(1) - 1; row >= 0; --row) {
            auto* cell = cellAt(1, row);
            ASSERT_TRUE(cell);
            if (cell->txtAttributeValue().isHidden())
                continue; // the switch
            gfx::Rect edges = cell->convertRectToView(cell->bounds(), nullptr);
            for (double y : {edges.minY() + 1, edges.maxY() - 1}) {
                SCOPED_TRACE(cell->lblFiledName().text() + " at " + std::to_string(y - edges.minY()));
                driver->tap({edges.minX() + 400, y});
                base::RunLoop::main().advance(0.5);
                EXPECT_TRUE(cell->txtAttributeValue().isFirstResponder());
            }
        }

        // Tab from the first field walks the fields down the form; Shift+Tab walks back.
        typeInto(1, 0, "");
        std::vector<std::string> walked;
        for (int i = 0; i < 6; ++i) {
            driver->pressKey("\t");
            auto* focused = dynamic_cast<ui::TextField*>(ui::Responder::currentFirstResponder());
            walked.push_back(focused ? focused->text() : "none");
        }
        // The switch between Phone and the client field is passed over.
        EXPECT_EQ(walked, (std::vector<std::string>{"555", "Client name", "Main", "North", "City", "ST"}));
        driver->pressKey("shift+\t");
        auto* back = dynamic_cast<ui::TextField*>(ui::Responder::currentFirstResponder());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->text(), "City");
        ui::Responder::currentFirstResponder()->resignFirstResponder();
        pane->customerInfoViewCancel();
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
    ui::Keyboard::resetForTesting();
}

TEST_F(CustomerInfoViewTest, AClickAnywhereOnARowButItsSwitchEditsThatRowsField)
{
    // Every row of every group, the addresses and contacts too, at its left, middle and right,
    // its top and bottom edge; in both languages, whose labels differ in width.
    ui::Keyboard::setOnScreen(false);
    auto shown = local();
    for (int language : {1, 2}) {
        SCOPED_TRACE(language);
        auto* table = show(language, shown);
        int checked = 0;
        for (int section = 1; section < table->numberOfSections(); ++section) {
            for (int row = 0; row < table->numberOfRowsInSection(section); ++row) {
                auto* cell = cellAt(section, row);
                ASSERT_TRUE(cell);
                if (cell->txtAttributeValue().isHidden())
                    continue; // the switch's row
                gfx::Rect edges = cell->convertRectToView(cell->bounds(), nullptr);
                for (double x : {edges.minX() + 2, edges.minX() + 100, edges.midX(), edges.maxX() - 2}) {
                    for (double y : {edges.minY() + 1, edges.midY(), edges.maxY() - 1}) {
                        SCOPED_TRACE(cell->lblFiledName().text() + " at " + std::to_string(x - edges.minX()) + ", " +
                                     std::to_string(y - edges.minY()));
                        if (auto* focused = ui::Responder::currentFirstResponder())
                            focused->resignFirstResponder();
                        driver->tap({x, y});
                        base::RunLoop::main().advance(0.5);
                        EXPECT_TRUE(cell->txtAttributeValue().isFirstResponder());
                        ++checked;
                    }
                }
            }
        }
        EXPECT_GT(checked, 12 * 12) << "the base, primary, two addresses and two contacts";
        if (auto* focused = ui::Responder::currentFirstResponder())
            focused->resignFirstResponder();
        pane->customerInfoViewCancel();
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
    ui::Keyboard::resetForTesting();
}

TEST_F(CustomerInfoViewTest, LongValuesStayInsideTheCard)
{
    // A long value with spaces wraps; one without ends in an ellipsis; in both languages,
    // viewing and editing.
    const std::string words = "Building 7, Zhangjiang Hi-Tech Park, 88 Keyuan Road, Pudong New District";
    const std::string unbroken = "IBAN-DE89370400440532013000-REF-000123456789-ACCOUNT";
    storeCustomer(-3, words, {{11, unbroken}, {14, "上海市浦东新区张江高科技园区科苑路八十八号七号楼三层"}});
    for (int language : {1, 2}) {
        for (bool editing : {false, true}) {
            SCOPED_TRACE(std::to_string(language) + (editing ? " editing" : " viewing"));
            show(language, person(-3), editing);
            auto* table = pane->tableCustomerInfo().get();
            for (auto [section, row] : {std::pair{1, 0}, {1, 1}, {2, 0}}) {
                ASSERT_LT(row, table->numberOfRowsInSection(section));
                auto* cell = cellAt(section, row);
                ASSERT_TRUE(cell);
                ui::View& value = editing ? static_cast<ui::View&>(cell->txtAttributeValue())
                                          : static_cast<ui::View&>(cell->lblAttributeValueDefaul());
                if (value.isHidden())
                    continue;
                SCOPED_TRACE(cell->lblFiledName().text());
                gfx::Rect card = cell->convertRectToView(cell->bounds(), nullptr);
                gfx::Rect shown = value.convertRectToView(value.bounds(), nullptr);
                EXPECT_LE(shown.maxX(), card.maxX());
                EXPECT_LE(shown.maxY(), card.maxY()) << "the row holds its wrapped value";
            }
            driver->screenshot(reviewPath(std::string("customer-long-values-") + (language == 1 ? "en" : "cn") +
                                          (editing ? "-editing" : "") + ".png"));
            if (editing)
                pane->customerInfoViewCancel();
        }
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
}

TEST_F(CustomerInfoViewTest, AddingAnAddressMovesNothingAboveIt)
{
    // The rows above the new group, their labels and fields stay where they were, to the
    // point, in both languages and at both pixel scales, whatever was typed before the
    // button is clicked as a user does.
    ui::Keyboard::setOnScreen(false);
    auto shown = local();
    struct Case {
        const char* what;
        bool emptyPhone; // shown empty before typing
        const char* typed;
    };
    const Case cases[] = {
        {"nothing typed", false, ""},
        {"an empty field filled", true, "12"},
        {"Chinese typed after digits", false, "北京"},
    };
    for (double scale : {1.0, 2.0}) {
        window->setScale(scale);
        for (int language : {1, 2}) {
            for (const Case& c : cases) {
                const std::string name = std::string(language == 1 ? "en" : "cn") + (scale > 1 ? "-2x" : "");
                SCOPED_TRACE(name + ", " + c.what);
                auto* table = show(language, shown);
                auto placed = [&] {
                    std::map<std::pair<int, int>, std::string> frames;
                    for (int section = 1; section <= 3; ++section)
                        for (int row = 0; row < table->numberOfRowsInSection(section); ++row)
                            if (auto* cell = dynamic_cast<CustomerAttributeCell*>(table->cellForRowAtIndexPath({section, row})))
                                for (ui::View* view : std::initializer_list<ui::View*>{cell, &cell->lblFiledName(), &cell->txtAttributeValue()}) {
                                    gfx::Rect r = view->convertRectToView(view->bounds(), nullptr);
                                    frames[{section, row}] += " (" + std::to_string(r.x()) + ", " + std::to_string(r.y()) + ", "
                                                              + std::to_string(r.width()) + ", " + std::to_string(r.height()) + ")";
                                }
                    return frames;
                };
                if (c.emptyPhone) {
                    pane->customerInfoGroupData().customerCompanyData()[0].customerAttributes[1].value = "";
                    table->reloadData();
                }
                typeInto(1, 1, c.typed);
                base::RunLoop::main().advance(0.5);
                table->setContentOffset({0, 0});
                window->layoutIfNeeded();
                auto before = placed();
                ASSERT_GE(before.size(), 6u);
                if (c.typed[0] == '1')
                    driver->screenshot(reviewPath("customer-form-before-add-" + name + ".png"));
                // The add-address header follows the four address groups.
                table->scrollRectToVisible(table->rectForHeaderInSection(5), false);
                window->layoutIfNeeded();
                ui::View* add = driver->findByText(Language::stringWithName("ADDADDRESS"));
                ASSERT_TRUE(add);
                ASSERT_TRUE(driver->tap(add));
                base::RunLoop::main().advance(0.5);
                table->setContentOffset({0, 0});
                window->layoutIfNeeded();
                if (c.typed[0] == '1')
                    driver->screenshot(reviewPath("customer-form-after-add-" + name + ".png"));
                auto after = placed();
                for (const auto& [where, frames] : before) {
                    SCOPED_TRACE(std::to_string(where.first) + "." + std::to_string(where.second));
                    ASSERT_TRUE(after.count(where));
                    EXPECT_EQ(after[where], frames);
                }
                pane->customerInfoViewCancel();
            }
        }
    }
    window->setScale(1);
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
    ui::Keyboard::resetForTesting();
}

TEST_F(CustomerInfoViewTest, RendersViewingAndEditing)
{
    auto shown = local();
    for (int language : {1, 2}) {
        show(language, shown, false);
        const std::string suffix = language == 1 ? "en" : "cn";
        EXPECT_TRUE(driver->screenshot(reviewPath("customer-detail-view-" + suffix + ".png")));
        pane->customerInfoViewEdit();
        pane->addNewCustomer();
        base::RunLoop::main().advance(0.5);
        EXPECT_TRUE(driver->screenshot(reviewPath("customer-detail-edit-" + suffix + ".png")));
        pane->customerInfoViewCancel();
    }
}

} // namespace
