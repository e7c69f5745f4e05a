// The customer search list in the window: its order, its rows and what a tap hands over.
#include "Widgets/SearchResultTableView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/TableViewCell.h"
#include "tests/App/AppWindowTestSupport.h"

namespace {

class Chooser : public SearchResultTableDelegate {
public:
    void didSelectCell(const PersonInfo& person) override { heard.push_back("person " + person.name + " " + std::to_string(person.pid)); }
    void didSelectCellByConatct(const ContactMode& contact) override { heard.push_back("contact " + contact.lastName); }
    std::vector<std::string> heard;
};

PersonInfo person(int id, const std::string& name)
{
    PersonInfo p;
    p.pid = id;
    p.name = name;
    return p;
}

class SearchListTest : public apptest::AppWindowTest {
protected:
    SearchListTest()
    {
        list = std::make_shared<SearchResultTableView>();
        list->view()->setFrame({100, 100, 263, 200});
        window->addSubview(list->view());
    }
    std::vector<std::string> rows()
    {
        window->layoutIfNeeded();
        std::vector<std::string> texts;
        for (int row = 0; row < list->tableView()->numberOfRowsInSection(0); ++row)
            if (auto* cell = list->tableView()->cellForRowAtIndexPath({0, row}))
                texts.push_back(cell->textLabel().text());
        return texts;
    }
    std::shared_ptr<SearchResultTableView> list;
    Chooser chooser;
};

TEST_F(SearchListTest, CustomersSortByNameWithBlankNamesLastAndContactsKeepTheirOrder)
{
    struct Case {
        std::vector<std::string> given;
        std::vector<std::string> shown;
    };
    for (const Case& c : {Case{{"Beta", "alpha", "Alpha", " "}, {"Alpha", "Beta", "alpha", " "}},
                          Case{{"", "Zed", " \t", "Acme"}, {"Acme", "Zed", "", " \t"}},
                          Case{{"Same", "Same"}, {"Same", "Same"}}}) {
        std::vector<PersonInfo> people;
        for (size_t i = 0; i < c.given.size(); ++i)
            people.push_back(person(static_cast<int>(i) + 1, c.given[i]));
        list->setByContact(false);
        list->setArrResult(people);
        EXPECT_EQ(rows(), c.shown);
    }
    // Equal names keep the order they came in.
    EXPECT_EQ(list->people()[0].pid, 1);

    ContactMode smith{"John", "Smith", person(5, "ACME Ltd")};
    ContactMode adams{"Ann", "Adams", person(6, "Zed Co")};
    list->setByContact(true);
    list->setArrResult(std::vector<ContactMode>{smith, adams});
    EXPECT_EQ(rows(), (std::vector<std::string>{"Smith  John", "Adams  Ann"}));
}

TEST_F(SearchListTest, ATapHandsTheEntryToTheDelegate)
{
    list->setArrResult(std::vector<PersonInfo>{person(-3, "Zed Co"), person(9, "ACME Ltd")});
    window->layoutIfNeeded();
    // No delegate: nothing happens.
    driver->tap(driver->findByText("ACME Ltd"));
    list->setDelegate(&chooser);
    driver->tap(driver->findByText("Zed Co"));
    driver->tap(driver->findByText("ACME Ltd"));
    EXPECT_EQ(chooser.heard, (std::vector<std::string>{"person Zed Co -3", "person ACME Ltd 9"}));
    list->setByContact(true);
    list->setArrResult(std::vector<ContactMode>{{"John", "Smith", person(5, "ACME Ltd")}});
    window->layoutIfNeeded();
    driver->tap(driver->findByText("Smith  John"));
    EXPECT_EQ(chooser.heard.back(), "contact Smith");
    if (const char* review = std::getenv("BRIVANTA_REVIEW_DIR"))
        driver->screenshot(std::string(review) + "/customer_search_list.png");
}

} // namespace
