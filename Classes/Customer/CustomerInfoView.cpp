#include "Classes/Customer/CustomerInfoView.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Common/UIToast.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Text.h"
#include "Platform/Base/Timer.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Switch.h"

#include <algorithm>

namespace {

constexpr const char* kCellIdentifier = "Cell";

gfx::Color primaryBlue()
{
    return gfx::Color::fromRgb(53, 107, 168);
}

// A width no text wraps in.
constexpr double kUnwrapped = 1e6;

double textHeight(const std::string& text, double width)
{
    if (text.empty())
        return 0;
    double height = gfx::sizeOfText(text, gfx::Font::boldSystemFont(17), {width, 250}, gfx::LineBreakMode::WordWrap).height;
    return std::min(height, 250.0);
}

bool blank(const std::optional<std::string>& text)
{
    return !text || base::trimmingWhitespaceAndNewlines(*text).empty();
}

// What DONE writes of the groups: each row's field and value, the primary choices, and the
// addresses that hold anything (an empty one is not stored).
std::vector<std::string> storedForm(const CustomerInfoGroupData& data)
{
    std::vector<std::string> form;
    auto add = [&](const brivanta_customer_group_Entity& group, const char* kind) {
        std::string text = std::string(kind) + "|" + std::to_string(group.indexId) + "|" + (group.isDefault ? "1" : "0");
        bool filled = false;
        for (const auto& row : group.customerAttributes) {
            text += "|" + row.field + "=" + row.value.value_or("");
            filled = filled || !row.value.value_or("").empty();
        }
        if (std::string(kind) != "address" || filled)
            form.push_back(std::move(text));
    };
    const auto& company = data.customerCompanyData();
    for (size_t i = 0; i < company.size(); ++i)
        add(company[i], i < 2 ? "base" : "address");
    for (const auto& group : data.customerContactData())
        add(group, "contact");
    return form;
}

std::shared_ptr<ui::Button> barButton(const gfx::Rect& frame)
{
    auto button = ui::View::make<ui::Button>(ui::ButtonType::Custom, frame);
    PublicFunction::initializeToButtonHeight34(button.get());
    button->setHidden(true);
    return button;
}

} // namespace

CustomerInfoView::CustomerInfoView(const gfx::Rect& frame) : ui::View(frame)
{
    // What shows under the table while the keyboard has shortened it.
    setBackgroundColor(gfx::Color::fromRgb(225, 228, 233));
    m_titleBar = make<ui::ImageView>(gfx::Rect{0, 0, 663, 44});
    m_titleBar->setImage(SkinManager::skinFromImageName("topbar-right-bg.png"));
    addSubview(m_titleBar);
    m_titleLabel = make<ui::Label>(gfx::Rect{231, 7, 200, 30});
    m_titleLabel->setFont(gfx::Font("Helvetica-Bold", 20));
    m_titleLabel->setTextColor(gfx::Color::white());
    m_titleLabel->setTextAlignment(gfx::TextAlignment::Center);
    m_titleLabel->setBackgroundColor(gfx::Color::clear());
    addSubview(m_titleLabel);
    m_cancelButton = barButton({15, 5, 60, 34});
    m_doneButton = barButton({588, 5, 60, 34});
    m_editButton = barButton({588, 5, 60, 34});
    // The buttons are this view's own, so their actions may point back at it.
    m_cancelButton->addTarget([this](ui::Control&) { customerInfoViewCancel(); }, ui::ControlEventTouchUpInside);
    m_doneButton->addTarget([this](ui::Control&) { customerInfoViewDone(); }, ui::ControlEventTouchUpInside);
    m_editButton->addTarget([this](ui::Control&) { customerInfoViewEdit(); }, ui::ControlEventTouchUpInside);
    for (const auto& button : {m_cancelButton, m_doneButton, m_editButton})
        addSubview(button);

    m_table = make<ui::TableView>(gfx::Rect{0, kTableTop, 663, kTableHeight}, ui::TableViewStyle::Grouped);
    m_table->setShowsScrollIndicators(true);
    m_table->setDataSource(this);
    m_table->setDelegate(this);
    addSubview(m_table);
    retext();
}

CustomerInfoView::~CustomerInfoView()
{
    m_table->setDataSource(nullptr);
    m_table->setDelegate(nullptr);
    LanguageManager::sharedInstance()->unRegisterLanugageNotification(this);
}

void CustomerInfoView::startObserving()
{
    if (!m_observers.empty())
        return;
    auto& center = base::NotificationCenter::defaultCenter();
    std::weak_ptr<View> weak = sharedView();
    auto self = [weak]() { return std::static_pointer_cast<CustomerInfoView>(weak.lock()); };
    m_observers.push_back(center.addObserver(CustomerDataModel::kUploadNotification, nullptr,
                                             [self](const base::Notification& note) {
                                                 auto view = self();
                                                 if (!view || !note.userInfo.toBool())
                                                     return;
                                                 view->m_groups.removeAllObjects();
                                                 view->m_customerType = 0;
                                                 view->m_editButton->setHidden(true);
                                                 view->reload();
                                             }));
    m_observers.push_back(center.addObserver(ui::kKeyboardWillShowNotification, nullptr, [self](const base::Notification& n) {
        // A keyboard that covers nothing (a desktop's) leaves the table its full height.
        if (auto view = self(); view && ui::Keyboard::coveredHeight(n.userInfo) > 0)
            view->keyboardWillShow();
    }));
    m_observers.push_back(center.addObserver(ui::kKeyboardWillHideNotification, nullptr, [self](const base::Notification&) {
        if (auto view = self())
            view->keyboardWillHide();
    }));
    LanguageManager::sharedInstance()->registerLanugageNotification(
        std::static_pointer_cast<CustomerInfoView>(sharedView()));
}

void CustomerInfoView::retext()
{
    m_titleLabel->setText(Language::stringWithName("CUSTOMERDETAIL"));
    m_cancelButton->setTitle(Language::stringWithName("CANCEL"));
    m_doneButton->setTitle(Language::stringWithName("DONE"));
    m_editButton->setTitle(Language::stringWithName("EDIT"));
}

void CustomerInfoView::reload()
{
    m_table->reloadData();
}

void CustomerInfoView::resignFields()
{
    for (const auto& weak : m_textFieldArray) {
        auto field = weak.lock();
        if (field && field->isFirstResponder()) {
            field->resignFirstResponder();
            break;
        }
    }
}

// --- Showing a customer ------------------------------------------------------------------------

void CustomerInfoView::setPersonInfo(const std::optional<PersonInfo>& person)
{
    m_customerType = 0;
    m_personInfo = person;
    m_editButton->setHidden(!person || person->pid >= 0);
    m_groups.updateCustomerInfoData(person);
    reload();
    // Another customer starts at its top, the hide bar in sight.
    m_table->setContentOffset({0, 0});
}

void CustomerInfoView::setNewPersonInfo(const PersonInfo& person)
{
    m_customerType = 1;
    m_personInfo = person;
    m_editButton->setHidden(true);
    m_groups.updateCustomerInfoData(person);
    reload();
    m_table->setContentOffset({0, 0});
}

void CustomerInfoView::setPersonInfoFromByContactFirstNameLastName(const PersonInfo& person, const std::string& first,
                                                                   const std::string& last)
{
    setPersonInfo(person);
    if (person.contact.empty())
        return;
    int position = 0;
    for (size_t i = 0; i < person.contact.size(); ++i) {
        if (person.contact[i].first_name.value_or("") == first && person.contact[i].last_name.value_or("") == last) {
            position = static_cast<int>(i);
            break;
        }
    }
    int section = static_cast<int>(person.address.size()) + 3 + position;
    if (section < m_table->numberOfSections() && m_table->numberOfRowsInSection(section) > 0)
        m_table->scrollToRowAtIndexPath({section, 0}, ui::TableViewScrollPosition::Middle, true);
}

void CustomerInfoView::addNewCustomer()
{
    m_cancelButton->setHidden(false);
    m_doneButton->setHidden(false);
}

void CustomerInfoView::customerHiddenNewCustomerViews()
{
    m_cancelButton->setHidden(true);
    m_doneButton->setHidden(true);
}

void CustomerInfoView::deleteLocalCustomer(int customerId)
{
    if (!m_personInfo || m_personInfo->pid != customerId)
        return;
    m_personInfo.reset();
    m_customerType = 0;
    m_editButton->setHidden(true);
    m_doneButton->setHidden(true);
    m_cancelButton->setHidden(true);
    m_groups.removeAllObjects();
    reload();
}

void CustomerInfoView::customerInfoViewEdit()
{
    m_customerType = 1;
    m_cancelButton->setHidden(false);
    m_doneButton->setHidden(false);
    m_editButton->setHidden(true);
    reload();
}

void CustomerInfoView::customerInfoViewCancel()
{
    resignFields();
    m_textFieldArray.clear();
    m_cancelButton->setHidden(true);
    m_doneButton->setHidden(true);
    if (m_personInfo && m_personInfo->pid != 0) {
        m_editButton->setHidden(m_personInfo->pid >= 0);
        // What was typed goes; the stored customer shows again.
        m_groups.updateCustomerInfoData(m_personInfo);
    } else {
        m_groups.removeAllObjects();
    }
    m_customerType = 0;
    reload();
    if (m_delegate)
        m_delegate->customerInfoViewCancel();
}

std::string CustomerInfoView::refusal() const
{
    const auto& company = m_groups.customerCompanyData();
    std::optional<std::string> name;
    if (!company.empty() && !company[0].customerAttributes.empty())
        name = company[0].customerAttributes[0].value;
    if (blank(name))
        return "NEEDINPUTNAME";
    for (const auto& group : m_groups.customerContactData()) {
        for (const auto& row : group.customerAttributes) {
            if ((row.field == "first_name" || row.field == "last_name") && blank(row.value))
                return "NEEDINPUTCONTACTNAME";
        }
    }
    return {};
}

void CustomerInfoView::customerInfoViewDone()
{
    resignFields();
    m_textFieldArray.clear();
    if (std::string key = refusal(); !key.empty()) {
        std::make_shared<UIToast>()->show(Language::stringWithName(key));
        return;
    }
    // Nothing is removed here: the screen replaces the stored rows in one transaction.
    if (m_delegate)
        m_delegate->customerInfoViewDoneWithData(m_groups);
}

bool CustomerInfoView::formToKeep()
{
    if (!editing() || !m_personInfo)
        return false;
    resignFields();
    if (!refusal().empty())
        return false;
    if (m_personInfo->pid == 0)
        return true;
    // An edit left as it was stored would only be written and sent again.
    CustomerInfoGroupData stored;
    stored.updateCustomerInfoData(m_personInfo);
    return storedForm(stored) != storedForm(m_groups);
}

// --- Groups ------------------------------------------------------------------------------------

void CustomerInfoView::addAddress()
{
    resignFields();
    auto group = m_groups.newAddressGroup();
    group.indexId = m_groups.nextNewGroupId();
    m_groups.customerCompanyData().push_back(std::move(group));
    reload();
}

void CustomerInfoView::addConctact()
{
    resignFields();
    auto group = m_groups.newContactGroup();
    group.indexId = m_groups.nextNewGroupId();
    m_groups.customerContactData().push_back(std::move(group));
    m_groups.setFirstContactToPromary();
    reload();
}

void CustomerInfoView::deleteSectionWithType(int indexId, int type)
{
    if (type != CustomerInfoGroupView::Address && type != CustomerInfoGroupView::Contact)
        return;
    const bool contacts = type == CustomerInfoGroupView::Contact;
    auto& groups = contacts ? m_groups.customerContactData() : m_groups.customerCompanyData();
    const std::string primaryName = Language::stringWithName(contacts ? "PRIMARYCONTACT" : "PRIMARYADDRESS");
    auto target = std::find_if(groups.rbegin(), groups.rend(), [&](const auto& g) { return g.indexId == indexId; });
    if (target != groups.rend()) {
        auto primary = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.groupName == primaryName; });
        if (target->isDefault && primary != groups.end())
            primary->isDefault = true;
        groups.erase(std::next(target).base());
        if (contacts)
            m_groups.setFirstContactToPromary();
    }
    reload();
}

void CustomerInfoView::groupViewClickWithType(int indexId, int type)
{
    if (type != CustomerInfoGroupView::Address && type != CustomerInfoGroupView::Contact)
        return;
    const bool contacts = type == CustomerInfoGroupView::Contact;
    auto& groups = contacts ? m_groups.customerContactData() : m_groups.customerCompanyData();
    for (auto& group : groups)
        group.isDefault = group.indexId == indexId;
    if (!editing()) {
        // While editing only the groups change: DONE stores them, CANCEL drops them.
        auto data = DataAccessManager::sharedDataModel();
        if (data && data->hasModels() && m_personInfo) {
            if (contacts)
                data->updateContactToDefaultContact(m_personInfo->pid, indexId);
            else
                data->updateAddressToDefaultIndexId(m_personInfo->pid, indexId);
        }
        if (m_delegate)
            m_delegate->customerInfoViewChangePrimary();
    }
    reload();
}

// --- Fields ------------------------------------------------------------------------------------

void CustomerInfoView::customerAttributeCellTextFieldcEnd(const std::string& text, int section, int row)
{
    m_tableInputViewFocus = false;
    const int n = companyCount();
    brivanta_customer_group_Entity* group = nullptr;
    if (section >= 0 && section < n)
        group = &m_groups.customerCompanyData()[static_cast<size_t>(section)];
    else if (section - 1 - n >= 0 && section - 1 - n < contactCount())
        group = &m_groups.customerContactData()[static_cast<size_t>(section - 1 - n)];
    if (group && row >= 0 && static_cast<size_t>(row) < group->customerAttributes.size())
        group->customerAttributes[static_cast<size_t>(row)].value = text;
}

void CustomerInfoView::customerAttributeCellTextFieldBegin(ui::TextField& field)
{
    m_tableInputViewFocus = true;
    auto* cell = dynamic_cast<CustomerAttributeCell*>(field.superview() ? field.superview()->superview() : nullptr);
    if (!cell)
        return;
    m_curCell = cell;
    ui::IndexPath ip{cell->section + 1, cell->row};
    if (!m_givingCaretBack)
        m_table->scrollToRowAtIndexPath(ip, ui::TableViewScrollPosition::Middle, true);
    const int lastSection = editing() ? companyCount() + contactCount() + 1 : companyCount() + contactCount();
    const bool lastRow = cell->row + 1 == m_table->numberOfRowsInSection(ip.section);
    const bool lastGroup = ip.section == companyCount() + contactCount() || ip.section == lastSection;
    field.setReturnKeyType(lastRow && lastGroup ? ui::ReturnKeyType::Done : ui::ReturnKeyType::Next);
}

void CustomerInfoView::customerAttributeCellSwitchViewAction(bool on)
{
    m_groups.switchActivi(on);
}

void CustomerInfoView::focusRow(const ui::IndexPath& ip)
{
    m_table->scrollToRowAtIndexPath(ip, ui::TableViewScrollPosition::Middle, true);
    std::weak_ptr<View> weak = sharedView();
    base::Timer::scheduled(0.3, false, [weak, ip](base::Timer&) {
        auto view = std::static_pointer_cast<CustomerInfoView>(weak.lock());
        if (!view)
            return;
        if (auto* cell = dynamic_cast<CustomerAttributeCell*>(view->m_table->cellForRowAtIndexPath(ip)))
            cell->txtAttributeValue().becomeFirstResponder();
    });
}

void CustomerInfoView::customerAttributeCellShouldReturnWithSectionWithRow(int section, int row)
{
    const int tableSection = section + 1;
    const int n = m_table->numberOfRowsInSection(tableSection);
    auto hiddenField = [&](const ui::IndexPath& ip) {
        brivanta_customer_group_Entity* group = groupForSection(ip.section);
        return group && ip.row < static_cast<int>(group->customerAttributes.size())
            && group->customerAttributes[static_cast<size_t>(ip.row)].field == "Active"
            && ip.section == 1;
    };
    if (row + 1 < n) {
        ui::IndexPath target{tableSection, row + 1};
        if (hiddenField(target))
            target = row + 2 < n ? ui::IndexPath{tableSection, row + 2} : ui::IndexPath{section + 2, 0};
        if (target.section < m_table->numberOfSections() && m_table->numberOfRowsInSection(target.section) > target.row) {
            focusRow(target);
            return;
        }
    }
    int next = section + 2;
    if (next == companyCount() + 1 && editing())
        next = section + 3;
    if (next < m_table->numberOfSections() && m_table->numberOfRowsInSection(next) > 0) {
        focusRow({next, 0});
        return;
    }
    customerInfoViewDone();
}

void CustomerInfoView::keyboardWillShow()
{
    if (!m_tableInputViewFocus)
        return;
    ui::View::AnimationOptions options;
    options.duration = 0.3;
    options.curve = ui::View::AnimationOptions::Curve::EaseOut;
    auto table = m_table;
    ui::View::animate(options, [table] { table->setFrame({0, kTableTop, 663, kTableHeightWithKeyboard}); });
    if (m_curCell) {
        if (auto ip = m_table->indexPathForCell(m_curCell))
            m_table->scrollToRowAtIndexPath(*ip, ui::TableViewScrollPosition::Top, false);
        m_curCell = nullptr;
    }
}

void CustomerInfoView::keyboardWillHide()
{
    m_table->setFrame({0, kTableTop, 663, kTableHeight});
}

// --- Hide and submit ---------------------------------------------------------------------------

void CustomerInfoView::switchViewAction(bool on)
{
    if (!m_personInfo)
        return;
    auto data = DataAccessManager::sharedDataModel();
    if (data && data->hasModels())
        data->updateCustomerTableHiddenWithCustomerIdWithHidden(m_personInfo->pid, on);
    m_personInfo->hidden = on;
    CustomerDataModel::sharedInstance()->updateCustomerInfoDicWithHidden(m_personInfo->pid, on);
    if (m_delegate)
        m_delegate->customerInfoViewHiddenChange(on);
}

void CustomerInfoView::submitAction()
{
    if (m_delegate && m_personInfo)
        m_delegate->submitCustomer(*m_personInfo);
}

void CustomerInfoView::notifiChangelanguage()
{
    retext();
    if (editing()) {
        // Only the captions change: what is typed stays, the field holding the caret included,
        // and the caret stays in it, though the reload takes away the row it was shown in.
        auto caret = takeTypedText();
        m_groups.retext();
        reload();
        if (caret)
            giveCaretBack(*caret);
        return;
    }
    m_textFieldArray.clear();
    if (m_personInfo && m_personInfo->pid != 0)
        m_groups.updateCustomerInfoData(m_personInfo);
    reload();
}

std::optional<CustomerInfoView::Caret> CustomerInfoView::takeTypedText()
{
    for (const auto& weak : m_textFieldArray) {
        auto field = weak.lock();
        if (!field || !field->isFirstResponder())
            continue;
        auto* cell = dynamic_cast<CustomerAttributeCell*>(field->superview() ? field->superview()->superview() : nullptr);
        if (!cell)
            return std::nullopt;
        const bool focus = m_tableInputViewFocus;
        customerAttributeCellTextFieldcEnd(field->text(), cell->section, cell->row);
        m_tableInputViewFocus = focus;
        return Caret{{cell->section + 1, cell->row}, field->selectionStart(), field->selectionLength()};
    }
    return std::nullopt;
}

void CustomerInfoView::giveCaretBack(const Caret& caret)
{
    if (caret.row.section >= m_table->numberOfSections() || caret.row.row >= m_table->numberOfRowsInSection(caret.row.section))
        return;
    auto* cell = dynamic_cast<CustomerAttributeCell*>(m_table->cellForRowAtIndexPath(caret.row));
    if (!cell) {
        m_table->scrollToRowAtIndexPath(caret.row, ui::TableViewScrollPosition::None, false);
        cell = dynamic_cast<CustomerAttributeCell*>(m_table->cellForRowAtIndexPath(caret.row));
    }
    if (!cell)
        return;
    m_givingCaretBack = true;
    const bool took = cell->txtAttributeValue().becomeFirstResponder();
    m_givingCaretBack = false;
    if (took)
        cell->txtAttributeValue().setSelectedRange(caret.start, caret.length);
}

// --- Table -------------------------------------------------------------------------------------

brivanta_customer_group_Entity* CustomerInfoView::groupForSection(int section, bool* contact)
{
    const int n = companyCount();
    const int m = contactCount();
    if (contact)
        *contact = false;
    if (section >= 1 && section <= n)
        return &m_groups.customerCompanyData()[static_cast<size_t>(section - 1)];
    int index = editing() ? section - 2 - n : section - 1 - n;
    if (editing() && section == n + 1)
        return nullptr;
    if (index >= 0 && index < m) {
        if (contact)
            *contact = true;
        return &m_groups.customerContactData()[static_cast<size_t>(index)];
    }
    return nullptr;
}

int CustomerInfoView::numberOfSectionsInTableView(ui::TableView&)
{
    if (!m_personInfo || (companyCount() == 0 && contactCount() == 0))
        return 0;
    return companyCount() + contactCount() + (editing() ? 3 : 1);
}

int CustomerInfoView::numberOfRowsInSection(ui::TableView&, int section)
{
    auto* group = groupForSection(section);
    return group ? static_cast<int>(group->customerAttributes.size()) : 0;
}

double CustomerInfoView::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& ip)
{
    auto* group = groupForSection(ip.section);
    if (!group || ip.row >= static_cast<int>(group->customerAttributes.size()))
        return 44;
    const auto& row = group->customerAttributes[static_cast<size_t>(ip.row)];
    double label = textHeight(row.label, 200);
    if (editing()) {
        // The field shows one line whatever it holds, so the row's height must not follow its
        // value (empty, Latin or Chinese) or the rows below would move at the next reload: only
        // a label of more than one line makes it taller.
        return label > textHeight(row.label, kUnwrapped) ? label + 20 : 37;
    }
    double value = textHeight(row.value.value_or(""), valueWidth());
    return label > value ? label + 20 : value + 20;
}

double CustomerInfoView::valueWidth() const
{
    // 340 points where the row has room; else up to a margin inside the row's right edge, so
    // that a long value wraps or ends in an ellipsis inside the card.
    double row = m_table->bounds().width() - 2 * m_table->rowInset();
    return std::clamp(row - kValueX - kValueMargin, 0.0, 340.0);
}

std::shared_ptr<ui::TableViewCell> CustomerInfoView::cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& ip)
{
    auto cell = std::dynamic_pointer_cast<CustomerAttributeCell>(table.dequeueReusableCellWithIdentifier(kCellIdentifier));
    if (!cell)
        cell = std::make_shared<CustomerAttributeCell>(ui::TableViewCellStyle::Default, kCellIdentifier);
    auto* group = groupForSection(ip.section);
    if (!group || ip.row >= static_cast<int>(group->customerAttributes.size()))
        return cell;
    const auto& row = group->customerAttributes[static_cast<size_t>(ip.row)];
    auto field = std::static_pointer_cast<ui::TextField>(cell->txtAttributeValue().sharedView());
    bool known = std::any_of(m_textFieldArray.begin(), m_textFieldArray.end(),
                             [&](const auto& weak) { return weak.lock() == field; });
    if (!known)
        m_textFieldArray.push_back(field);
    cell->delegate = this;
    cell->row = ip.row;
    cell->section = ip.section - 1;

    cell->lblFiledName().setText(row.label);
    cell->lblFiledName().setFrame({50, 10, 200, std::max(25.0, textHeight(row.label, 200))});
    const std::string value = row.value.value_or("");
    const gfx::Color colour = ip.section == 1 || group->isDefault ? primaryBlue() : gfx::Color::gray();
    cell->txtAttributeValue().setTextColor(colour);
    cell->lblAttributeValueDefaul().setTextColor(colour);
    const bool active = row.field == "Active" && ip.section == 1;
    if (!editing()) {
        cell->switchValue().setHidden(true);
        cell->redStarFlag().setHidden(true);
        cell->txtAttributeValue().setEnabled(false);
        cell->txtAttributeValue().setHidden(true);
        cell->lblAttributeValueDefaul().setHidden(false);
        // A yes/no field stores YES or NO; it is shown in the user's language.
        const std::string shown = active && (value == "YES" || value == "NO") ? Language::stringWithName(value) : value;
        cell->lblAttributeValueDefaul().setText(shown);
        cell->lblAttributeValueDefaul().setFrame({kValueX, 10, valueWidth(), std::max(25.0, textHeight(shown, valueWidth()))});
    } else {
        cell->txtAttributeValue().setText(value);
        cell->txtAttributeValue().setEnabled(true);
        cell->txtAttributeValue().setFrame({kValueX, 10, valueWidth(), 25});
        cell->txtAttributeValue().setHidden(active);
        cell->lblAttributeValueDefaul().setHidden(true);
        cell->redStarFlag().setHidden(row.key != "NAME" && row.key != "FIRSTNAME" && row.key != "LASTNAME");
        cell->switchValue().setHidden(!active);
        // A reused row speaks the language shown now, not the one it was made in.
        cell->switchValue().setTitles(Language::stringWithName("SWITCHON"), Language::stringWithName("SWITCHOFF"));
        if (active)
            cell->switchValue().setOn(value == "YES");
    }
    return cell;
}

bool CustomerInfoView::submitOffered() const
{
    if (!m_personInfo)
        return false;
    if (m_personInfo->pid < 0)
        return true;
    // A server customer whose change on the device the server has not had yet.
    auto data = DataAccessManager::sharedDataModel();
    return m_personInfo->pid > 0 && data && data->hasModels()
        && data->customerModel()->customerChangeCount(m_personInfo->pid) > 0;
}

std::shared_ptr<ui::View> CustomerInfoView::viewForHeaderInSection(ui::TableView& table, int section)
{
    const int n = companyCount();
    const int m = contactCount();
    const double width = table.bounds().width();
    if (section == 0) {
        auto holder = make<ui::View>(gfx::Rect{0, 0, width, 70});
        // Wide enough to hold SUBMIT, and within the 70-point header.
        auto bar = make<CustomerInfoViewHiddenCell>(gfx::Rect{45, 15, 618, 55});
        bar->delegate = this;
        bar->switchView().setOn(m_personInfo && m_personInfo->hidden);
        bar->submitButton().setHidden(!submitOffered());
        bar->hiddenFromLabel().setText(Language::stringWithName("HIDE"));
        bar->submitButton().setTitle(Language::stringWithName("SUBMIT"));
        holder->addSubview(bar);
        return holder;
    }
    if (editing() && (section == n + 1 || section == n + m + 2)) {
        auto holder = make<ui::View>(gfx::Rect{0, 0, width, 50});
        auto button = make<ui::Button>(ui::ButtonType::Custom, gfx::Rect{45, 15, 120, 30});
        PublicFunction::initializeToButtonHeight30(button.get());
        const bool address = section == n + 1;
        button->setTitle(Language::stringWithName(address ? "ADDADDRESS" : "ADDCONTACTS"));
        std::weak_ptr<View> weak = sharedView();
        button->addTarget(
            [weak, address](ui::Control& control) {
                // The reload lets go of this header and its button while the action runs.
                auto keep = control.sharedView();
                auto view = std::static_pointer_cast<CustomerInfoView>(weak.lock());
                if (!view)
                    return;
                if (address)
                    view->addAddress();
                else
                    view->addConctact();
            },
            ui::ControlEventTouchUpInside);
        holder->addSubview(button);
        return holder;
    }
    bool contact = false;
    auto* group = groupForSection(section, &contact);
    if (!group)
        return nullptr;
    auto header = make<CustomerInfoGroupView>(gfx::Rect{0, 0, width, 50});
    header->delegate = this;
    header->lblGroupName().setText(group->groupName);
    header->indexId = group->indexId;
    header->setIsSelect(group->isDefault);
    header->type = section == 1 ? CustomerInfoGroupView::Base
                                : (contact ? CustomerInfoGroupView::Contact : CustomerInfoGroupView::Address);
    header->setSelectButtonHidden(section == 1);
    header->deleteButton().setHidden(!(editing() && section >= 3));
    return header;
}
