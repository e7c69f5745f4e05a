#include "Classes/Customer/CustomerListView.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Common/UIToast.h"
#include "Platform/Base/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/SegmentedControl.h"

CustomerListView::CustomerListView(const gfx::Rect& frame) : ui::View(frame)
{
    setBackgroundColor(gfx::Color::fromRgb(225, 228, 233));
    m_titleBar = make<ui::ImageView>(gfx::Rect{0, 0, 360, 44});
    m_titleBar->setImage(SkinManager::skinFromImageName("topbar-left-bg.png"));
    addSubview(m_titleBar);
    m_title = make<ui::Label>(gfx::Rect{100, 7, 160, 30});
    m_title->setFont(gfx::Font("Helvetica-Bold", 20));
    m_title->setTextColor(gfx::Color::white());
    m_title->setTextAlignment(gfx::TextAlignment::Center);
    m_title->setBackgroundColor(gfx::Color::clear());
    addSubview(m_title);
    m_newButton = make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{290, 5, 60, 34});
    PublicFunction::initializeToButtonHeight34(m_newButton.get());
    // The pane owns its controls, so their actions may point back at it.
    m_newButton->addTarget([this](ui::Control&) { addNewCustomer(); }, ui::ControlEventTouchUpInside);
    addSubview(m_newButton);

    m_segments = make<ui::SegmentedControl>(std::vector<std::string>{"", "", ""}, gfx::Rect{10, 50, 340, 40});
    m_segments->setSelectedSegmentIndex(0);
    m_segments->addTarget([this](ui::Control&) { Selectbutton(m_segments->selectedSegmentIndex()); },
                          ui::ControlEventValueChanged);
    addSubview(m_segments);

    m_searchBar = make<ui::SearchBar>(gfx::Rect{10, 94, 270, 34});
    m_searchBar->setBackgroundColor(gfx::Color::clear());
    m_searchBar->setBackgroundImage(SkinManager::skinFromImageName("bg_searchbar.png"));
    m_searchBar->setDelegate(this);
    addSubview(m_searchBar);

    m_marker = make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{0, 133, 360, 60});
    m_marker->setBackgroundColor(gfx::Color::fromRgb(53, 107, 168));
    m_marker->titleLabel().setFont(gfx::Font::italicSystemFont(20));
    m_marker->setContentHorizontalAlignment(ui::ContentHorizontalAlignment::Left);
    m_marker->setTitleEdgeInsets({0, 15, 0, 0});
    m_marker->setTitleColor(gfx::Color::white());
    m_marker->setHidden(true);
    addSubview(m_marker);

    m_table = std::make_shared<CustomerTable>(gfx::Rect{0, kTableTop, 360, 549});
    m_table->setDelegate(this);
    addSubview(m_table->tableView());
    retext();
}

CustomerListView::~CustomerListView()
{
    m_table->setDelegate(nullptr);
    LanguageManager::sharedInstance()->unRegisterLanugageNotification(this);
}

void CustomerListView::startObserving()
{
    LanguageManager::sharedInstance()->registerLanugageNotification(std::static_pointer_cast<CustomerListView>(sharedView()));
}

void CustomerListView::retext()
{
    m_title->setText(Language::stringWithName("CUSTOMER"));
    m_newButton->setTitle(Language::stringWithName("NEW"));
    const char* keys[] = {"BYNAME", "BYCONTACT", "BYSTATE"};
    for (size_t i = 0; i < 3; ++i)
        m_segments->setTitleForSegmentAtIndex(Language::stringWithName(keys[i]), i);
    m_searchBar->setPlaceholder(Language::stringWithName("CUSTOMERSEARCHHOLD"));
    m_marker->setTitle(Language::stringWithName("NEWCUSTOMER"));
}

void CustomerListView::setAllCustomerdic(const CustomerInfoDictionary& customers)
{
    m_allCustomerdic = customers;
    m_table->setAllcustomerdic(m_allCustomerdic);
    m_table->RefrashByType(m_selectedRow);
}

void CustomerListView::selectedCustomer(int customerId)
{
    m_searchBar->resignFirstResponder();
    m_table->focuseCustomerName(customerId);
}

void CustomerListView::selectedCustomerByConatct(const ContactMode& hit)
{
    m_table->selectedCustomerByConatct(hit);
}

void CustomerListView::updateCustomerInfoDicWithHidden(int customerId, bool hidden)
{
    m_table->updateCustomerInfoDicWithHidden(customerId, hidden);
    if (auto it = m_allCustomerdic.find(customerId); it != m_allCustomerdic.end())
        it->second.hidden = hidden;
}

void CustomerListView::Selectbutton(int index)
{
    m_searchBar->resignFirstResponder();
    m_table->groupPersonsBy(index);
    m_selectedRow = index;
}

void CustomerListView::addNewCustomer()
{
    m_searchBar->resignFirstResponder();
    if (CustomerDataModel::sharedInstance()->allAttributes().empty()) {
        // The customer fields come with the first customer sync.
        std::make_shared<UIToast>()->show(Language::stringWithName("NOTEUPDATECUSTOMER"));
        return;
    }
    m_isEditType = true;
    ui::View::AnimationOptions options;
    options.duration = 0.3;
    options.curve = ui::View::AnimationOptions::Curve::EaseOut;
    m_marker->setTitle(Language::stringWithName("NEWCUSTOMER"));
    ui::View::animate(options, [this] {
        m_newButton->setHidden(true);
        m_marker->setHidden(false);
        m_table->tableView()->setFrame({0, kTableTopWhileNew, 360, 489});
    });
    m_table->desSelected();
    if (m_delegate)
        m_delegate->addNewCustomer();
}

void CustomerListView::leaveNewCustomer()
{
    m_isEditType = false;
    ui::View::AnimationOptions options;
    options.duration = 0.3;
    options.curve = ui::View::AnimationOptions::Curve::EaseOut;
    ui::View::animate(options, [this] {
        m_newButton->setHidden(false);
        m_marker->setHidden(true);
        m_table->tableView()->setFrame({0, kTableTop, 360, 549});
    });
}

void CustomerListView::customerListViewDone()
{
    leaveNewCustomer();
}

void CustomerListView::customerListViewCancle()
{
    leaveNewCustomer();
    m_table->refreshFocus();
}

void CustomerListView::changedCustomerFirstNameLastName(const std::optional<PersonInfo>& person,
                                                        const std::optional<std::string>& first,
                                                        const std::optional<std::string>& last)
{
    if (m_delegate)
        m_delegate->changedCustomerFirstNameLastName(person, first, last);
}

void CustomerListView::deleteLocalCustomer(int customerId)
{
    if (m_delegate)
        m_delegate->deleteLocalCustomer(customerId);
}

void CustomerListView::resignSearchBar()
{
    m_searchBar->resignFirstResponder();
}

void CustomerListView::searchBarTextDidChange(ui::SearchBar&, const std::string& text)
{
    if (!base::trimmingWhitespaceAndNewlines(text).empty()) {
        if (m_delegate) {
            if (m_selectedRow == CustomerTable::ByContact)
                m_delegate->searchTextDidChangeByContact(text);
            else
                m_delegate->searchTextDidChange(text);
        }
        return;
    }
    m_table->setAllcustomerdic(m_allCustomerdic);
    m_table->RefrashByType(m_selectedRow);
    m_table->tableView()->reloadData();
    m_table->refreshFocus();
    if (m_delegate)
        m_delegate->searchTextDidChange(text);
}

void CustomerListView::searchBarSearchButtonClicked(ui::SearchBar&)
{
    m_searchBar->resignFirstResponder();
    if (m_delegate)
        m_delegate->dismissPopoverController();
}

void CustomerListView::notifiChangelanguage()
{
    retext();
    m_table->tableView()->reloadData();
    m_table->refreshFocus();
}
