// The grouped customer list in a headless window: grouping by name, contact and state, the
// group headers, selection and swipe-delete through the driver, and the cell's name layout.
#include "Classes/Customer/CustomerListCell.h"
#include "Classes/Customer/CustomerTable.h"
#include "Classes/Customer/SectionHeaderView.h"
#include "Common/LanguageManager.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "tests/App/AppWindowTestSupport.h"

namespace {

using Groups = std::vector<std::pair<std::string, std::vector<std::string>>>;

class TableRecorder : public CustomerListControllerDelegate {
public:
    std::vector<std::string> heard;
    void changedCustomerFirstNameLastName(const std::optional<PersonInfo>& person, const std::optional<std::string>& first,
                                          const std::optional<std::string>& last) override
    {
        heard.push_back("changed " + (person ? person->name : std::string("none")) + "/" + first.value_or("-") + "/"
                        + last.value_or("-"));
    }
    void deleteLocalCustomer(int id) override { heard.push_back("delete " + std::to_string(id)); }
    void resignSearchBar() override { heard.push_back("resign"); }
};

class CustomerTableTest : public apptest::AppWindowTest {
protected:
    CustomerTableTest()
    {
        ui::View::setAnimationsEnabled(false);
        table = std::make_shared<CustomerTable>(gfx::Rect{0, 0, 360, 549});
        table->setDelegate(&recorder);
        window->addSubview(table->tableView());
    }
    ~CustomerTableTest() override
    {
        table->tableView()->removeFromSuperview();
        ui::View::setAnimationsEnabled(true);
    }

    struct Customer {
        int id;
        std::string name;
        std::string state = {};
        std::vector<std::pair<std::string, std::string>> contacts = {}; // first, last
        bool hidden = false;
    };
    void show(const std::vector<Customer>& customers, int mode = CustomerTable::ByName)
    {
        CustomerInfoDictionary dic;
        for (const auto& c : customers) {
            auto& entry = dic[c.id];
            entry.customer_name = c.name;
            entry.hidden = c.hidden;
            customer_attribute_cell_Entity state;
            state.fieldName = "State/Province/Region";
            state.attributeValue = c.state;
            if (!c.state.empty())
                entry.attribute.push_back(state);
            for (const auto& [first, last] : c.contacts) {
                brivanta_customer_contact_entity contact;
                contact.customerID = c.id;
                contact.first_name = first;
                contact.last_name = last;
                entry.contact.push_back(contact);
            }
        }
        table->setAllcustomerdic(dic);
        table->RefrashByType(mode);
        base::RunLoop::main().advance(0.01);
    }
    Groups groups() const
    {
        Groups out;
        for (const auto& group : table->customerlist()) {
            std::vector<std::string> rows;
            for (const auto& row : group.arrayPersons)
                rows.push_back(table->currentSoryByType() == CustomerTable::ByContact ? row.fristName + "/" + row.lastName
                                                                                       : row.personInfo.name);
            out.emplace_back(group.prefex, rows);
        }
        return out;
    }
    static std::vector<Customer> demoTenant()
    {
        return {{11, "张记茶庄", "浙江", {{"伟", "张"}}}, {12, "李氏茶艺馆", "福建", {{"娜", "李"}}},
                {13, "王府酒店", "北京", {{"强", "王"}}},   {14, "陈香书院", "广东", {{"静", "陈"}}},
                {15, "刘家茶餐厅", "广东", {{"洋", "刘"}}}, {16, "Amber Tea House", "上海", {{"Emily", "Wu"}}},
                {17, "赵氏商贸", "", {}},                   {-1, "本地客户", "", {}},
                {18, "隐藏客户", "", {}, true}};
    }
    gfx::Point rowCenter(int section, int row) const
    {
        gfx::Rect r = table->tableView()->rectForRowAtIndexPath({section, row});
        gfx::Point offset = table->tableView()->contentOffset();
        return {r.center().x, r.center().y - offset.y};
    }

    TableRecorder recorder;
    std::shared_ptr<CustomerTable> table;
};

TEST_F(CustomerTableTest, GroupsByNameStateAndContact)
{
    struct Case {
        const char* name;
        std::vector<Customer> customers;
        int mode;
        Groups expected;
    } cases[] = {
        {"demo tenant by name",
         {{11, "张记茶庄", ""}, {12, "李氏茶艺馆", ""}, {13, "王府酒店", ""}, {14, "陈香书院", ""},
          {15, "刘家茶餐厅", ""}, {16, "Amber Tea House", ""}, {17, "赵氏商贸", ""}},
         CustomerTable::ByName,
         {{"A", {"Amber Tea House"}}, {"C", {"陈香书院"}}, {"L", {"李氏茶艺馆", "刘家茶餐厅"}}, {"W", {"王府酒店"}},
          {"Z", {"张记茶庄", "赵氏商贸"}}}},
        {"Latin, Chinese, digits and blank",
         {{1, "Alice", ""}, {2, "艾伦", ""}, {3, "3M", ""}, {4, "  ", ""}, {5, "☃", ""}},
         CustomerTable::ByName,
         {{"A", {"Alice", "艾伦"}}, {"#", {"☃", "3M"}}}},
        {"by state",
         {{1, "A", "浙江"}, {2, "B", "福建"}, {3, "C", ""}, {4, "D", "9 North"}},
         CustomerTable::ByState,
         {{"福建", {"B"}}, {"浙江", {"A"}}, {"#", {"C", "D"}}}},
        {"by contact",
         {{1, "No contacts", ""}, {2, "Lab", "", {{"Ann", "3D"}, {"Bo", "Zhu"}}}, {3, "Tea", "", {{"伟", "张"}, {"Al", "Avery"}}}},
         CustomerTable::ByContact,
         {{"A", {"Al/Avery"}}, {"Z", {"Bo/Zhu", "伟/张"}}, {"#", {"/No contacts", "Ann/3D"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        show(c.customers, c.mode);
        EXPECT_EQ(groups(), c.expected);
        EXPECT_EQ(table->tableView()->numberOfSections(), static_cast<int>(c.expected.size()));
    }
}

TEST_F(CustomerTableTest, HeadersFoldGroupsAndSelectionSurvivesRegrouping)
{
    show(demoTenant());
    // Groups: A, B (本地客户), C, L, W, Y (隐藏客户), Z.
    ASSERT_EQ(table->customerlist().at(3).prefex, "L");
    driver->tap(rowCenter(3, 1)); // 刘家茶餐厅
    EXPECT_EQ(table->selectedPID(), 15);
    EXPECT_EQ(recorder.heard, (std::vector<std::string>{"resign", "changed 刘家茶餐厅/-/-"}));
    auto* cell = dynamic_cast<CustomerListCell*>(table->tableView()->cellForRowAtIndexPath({3, 1}));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->lbcustomer_name().textColor(), gfx::Color::white());

    // The first header folds its group and opens it again.
    auto* header = dynamic_cast<SectionHeaderView*>(driver->findByText("A")->superview());
    ASSERT_TRUE(header);
    driver->tap(header);
    EXPECT_EQ(table->tableView()->numberOfRowsInSection(0), 0);
    EXPECT_FALSE(table->customerlist()[0].opened);
    header = dynamic_cast<SectionHeaderView*>(driver->findByText("A")->superview());
    driver->tap(header);
    EXPECT_EQ(table->tableView()->numberOfRowsInSection(0), 1);

    // A group whose first row is out of sight scrolls back instead of folding.
    table->tableView()->setFrame({0, 0, 360, 200});
    table->tableView()->setContentOffset({0, table->tableView()->rectForRowAtIndexPath({3, 1}).y() + 5});
    base::RunLoop::main().advance(0.01);
    SectionHeaderView probe({0, 0, 360, 50}, "L", 3, true, table.get());
    table->sectionHeaderViewSectionClosed(probe, 3);
    EXPECT_TRUE(table->customerlist()[3].opened);
    EXPECT_TRUE(probe.disclosureButton().isSelected());

    // Regrouping by state and back keeps 刘家茶餐厅 selected, without telling anyone again: the
    // customer shown stays as it is (an edit of it goes on) and the search bar keeps the keyboard.
    recorder.heard.clear();
    table->groupPersonsBy(CustomerTable::ByState);
    table->groupPersonsBy(CustomerTable::ByName);
    ASSERT_TRUE(table->selectedRow());
    EXPECT_EQ(table->customerlist()[table->selectedRow()->section].arrayPersons[table->selectedRow()->row].personInfo.pid, 15);
    EXPECT_EQ(recorder.heard, std::vector<std::string>{});
    cell = dynamic_cast<CustomerListCell*>(table->tableView()->cellForRowAtIndexPath(*table->selectedRow()));
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->lbcustomer_name().textColor(), gfx::Color::white());
    // Choosing it is still told.
    table->focuseCustomerName(15);
    EXPECT_EQ(recorder.heard.back(), "changed 刘家茶餐厅/-/-");
}

TEST_F(CustomerTableTest, OnlyLocalCustomersOfferSwipeDelete)
{
    show(demoTenant());
    ASSERT_EQ(table->customerlist().at(1).arrayPersons.at(0).personInfo.pid, -1);
    auto* cell = dynamic_cast<CustomerListCell*>(table->tableView()->cellForRowAtIndexPath({1, 0}));
    ASSERT_TRUE(cell);
    EXPECT_FALSE(cell->tagLocal().isHidden());
    EXPECT_TRUE(dynamic_cast<CustomerListCell*>(table->tableView()->cellForRowAtIndexPath({0, 0}))->tagLocal().isHidden());

    // A server customer offers nothing.
    gfx::Point server = rowCenter(0, 0);
    driver->drag({340, server.y}, {200, server.y}, 0.08, 4);
    EXPECT_FALSE(table->tableView()->indexPathForDeleteConfirmation());

    gfx::Point local = rowCenter(1, 0);
    driver->drag({340, local.y}, {200, local.y}, 0.08, 4);
    ASSERT_EQ(table->tableView()->indexPathForDeleteConfirmation(), (ui::IndexPath{1, 0}));
    EXPECT_EQ(cell->tagLocal().frame().x(), 180);
    ui::Button* button = cell->deleteConfirmationButton();
    ASSERT_TRUE(button);
    driver->tap(button);
    EXPECT_EQ(recorder.heard.back(), "delete -1");
    EXPECT_TRUE(table->customerlist().at(1).arrayPersons.empty());
    EXPECT_EQ(cell->tagLocal().frame(), (gfx::Rect{280, 17, 68, 30}));
}

TEST_F(CustomerTableTest, ContactNamesFollowTheLanguage)
{
    CustomerListCell cell(ui::TableViewCellStyle::Subtitle, "Cell");
    auto widthOf = [](const ui::Label& label) {
        return gfx::sizeOfText(label.text(), label.font(), {2500, 35}, gfx::LineBreakMode::WordWrap).width;
    };
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    cell.setFristNameWithLastName("小明", "王");
    EXPECT_EQ(cell.lastNameLabel().frame().x(), 15);
    EXPECT_EQ(cell.firstNameLabel().frame().x(), widthOf(cell.lastNameLabel()) + 25);

    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    cell.setFristNameWithLastName("John", "Smith");
    EXPECT_EQ(cell.firstNameLabel().frame().x(), 15);
    EXPECT_EQ(cell.lastNameLabel().frame().x(), widthOf(cell.firstNameLabel()) + 18);
    EXPECT_EQ(cell.lbcustomer_name().text(), "");

    std::string wide(40, 'W');
    cell.setFristNameWithLastName(wide, "Smith");
    EXPECT_EQ(cell.firstNameLabel().frame().width(), 250);
    EXPECT_EQ(cell.lastNameLabel().frame().width(), 0);
}

TEST_F(CustomerTableTest, RendersTheDemoList)
{
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        show(demoTenant());
        driver->tap(rowCenter(2, 0));
        base::RunLoop::main().advance(0.5);
        EXPECT_TRUE(driver->screenshot(reviewPath(language == 1 ? "customer-list-en.png" : "customer-list-cn.png")));
    }
}

TEST_F(CustomerTableTest, LetterHeadersStayAtTheTopWhileTheirGroupScrolls)
{
    // Twenty customers under each of three letters; the wheel moves the list.
    auto customersNamed = [](const std::vector<std::string>& names) {
        std::vector<Customer> customers;
        int id = 100;
        for (const auto& name : names)
            for (int i = 0; i < 20; ++i)
                customers.push_back({++id, name + " " + std::to_string(10 + i)});
        return customers;
    };
    auto topHeader = [&] {
        // The header drawn at the list's top edge, as the user sees it.
        auto* tableView = table->tableView().get();
        std::string title;
        for (auto* view : driver->findAllByClass("SectionHeaderView")) {
            auto* header = static_cast<SectionHeaderView*>(view);
            if (header->superview() == tableView && header->frame().y() == tableView->contentOffset().y)
                title = header->titleLabel().text();
        }
        return title;
    };
    for (int language : {1, 2}) {
        SCOPED_TRACE(language);
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        Language::resetLanguageCache();
        bool english = language == 1;
        show(customersNamed(english ? std::vector<std::string>{"Amber Store", "Birch Store", "Cedar Store"}
                                    : std::vector<std::string>{"李氏茶艺馆", "王府酒店", "张记茶庄"}));
        const std::vector<std::string> letters = english ? std::vector<std::string>{"A", "B", "C"}
                                                         : std::vector<std::string>{"L", "W", "Z"};
        table->tableView()->setContentOffset({0, 0});
        EXPECT_EQ(topHeader(), letters[0]);
        // Rolled to a little inside each group in turn.
        auto* tableView = table->tableView().get();
        for (int section : {0, 1, 2}) {
            double target = tableView->rectForHeaderInSection(section).y() + 150;
            while (tableView->contentOffset().y < target)
                ASSERT_TRUE(window->scrollWheel({180, 300}, 0, 40));
            base::RunLoop::main().advance(0.1);
            EXPECT_EQ(topHeader(), letters[static_cast<size_t>(section)]) << section;
            if (section == 1) {
                EXPECT_TRUE(driver->screenshot(reviewPath(std::string("customer-list-pinned-") + (language == 1 ? "en" : "cn") + ".png")));
            }
        }
    }
}

} // namespace
