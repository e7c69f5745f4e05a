#include "Network/BRAuthenticationDialog.h"

#include "Platform/Base/RunLoop.h"
#include "Platform/UI/NavigationBar.h"
#include "Platform/UI/TableViewCell.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/Window.h"

#include <algorithm>

namespace {

// Class-wide: the sheet on screen and the requests waiting for one.
BRAuthenticationDialog::Ptr& presented()
{
    static BRAuthenticationDialog::Ptr dialog;
    return dialog;
}

std::vector<BRHTTPRequest::Ptr>& waiting()
{
    static std::vector<BRHTTPRequest::Ptr> requests;
    return requests;
}

void removeFromWaiting(const BRHTTPRequest::Ptr& request) { std::erase(waiting(), request); }

// A row holding one field, 10 points inside the cell on every side.
class FieldCell : public ui::TableViewCell {
public:
    FieldCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, std::string()) {}
    std::shared_ptr<ui::TextField> field;
    void layoutSubviews() override
    {
        ui::TableViewCell::layoutSubviews();
        gfx::Rect b = contentView().bounds();
        if (field)
            field->setFrame({10, 10, std::max(0.0, b.width() - 20), std::max(0.0, b.height() - 20)});
    }
};

} // namespace

BRAuthenticationDialog::BRAuthenticationDialog()
{
    m_keyboardObserver = base::NotificationCenter::defaultCenter().addObserver(
        kKeyboardWillShowNotification, nullptr, [this](const base::Notification& n) { keyboardWillShow(n.userInfo); });
}

BRAuthenticationDialog::~BRAuthenticationDialog()
{
    if (m_presentingController && m_presentingController->isViewLoaded())
        m_presentingController->view()->removeFromSuperview();
}

// ---- Class-wide

void BRAuthenticationDialog::presentAuthenticationDialogForRequest(const BRHTTPRequest::Ptr& request)
{
    if (presented()) {
        waiting().push_back(request);
        return;
    }
    auto dialog = std::make_shared<BRAuthenticationDialog>();
    presented() = dialog;
    dialog->m_request = request;
    dialog->m_type = request->authenticationNeeded() == 2 ? 1 : 0;
    dialog->show();
}

BRAuthenticationDialog::Ptr BRAuthenticationDialog::presentedDialog() { return presented(); }

size_t BRAuthenticationDialog::waitingRequestCount() { return waiting().size(); }

void BRAuthenticationDialog::dismissPresentedDialog()
{
    if (auto dialog = presented()) {
        auto presenting = dialog->presentingViewController();
        if (presenting)
            presenting->dismissViewController(true);
        else if (auto parent = dialog->parentViewController())
            parent->dismissViewController(true);
    }
}

void BRAuthenticationDialog::presentNextDialog()
{
    if (waiting().empty())
        return;
    auto next = waiting().front();
    waiting().erase(waiting().begin());
    presentAuthenticationDialogForRequest(next);
}

// ---- The sheet

void BRAuthenticationDialog::show()
{
    auto root = view();
    while (!root->subviews().empty())
        root->subviews().back()->removeFromSuperview();

    m_navigationBar = ui::View::make<ui::NavigationBar>(gfx::Rect{0, 0, root->bounds().width(), ui::NavigationBar::kHeight});
    m_navigationBar->setAutoresizingMask(ui::AutoresizingFlexibleWidth);
    auto item = std::make_shared<ui::NavigationItem>(m_type == 1 ? m_request->proxyHost()
                                                                 : (m_request->url() ? m_request->url()->host() : ""));
    std::weak_ptr<BRAuthenticationDialog> weak =
        std::static_pointer_cast<BRAuthenticationDialog>(sharedController());
    item->setLeftBarButtonItem(ui::NavigationBarButton::systemItem(ui::BarButtonSystemItem::Cancel, [weak] {
        if (auto dialog = weak.lock())
            dialog->cancelAuthenticationFromDialog();
    }));
    item->setRightBarButtonItem(ui::NavigationBarButton{"Login", ui::NavigationBarButton::Style::Done, [weak] {
        if (auto dialog = weak.lock())
            dialog->loginWithCredentialsFromDialog();
    }});
    m_navigationBar->pushNavigationItem(item);
    root->addSubview(m_navigationBar);
    showTitle();

    double top = m_navigationBar->frame().height();
    m_tableView = ui::View::make<ui::TableView>(
        gfx::Rect{0, top, root->bounds().width(), root->bounds().height() - top}, ui::TableViewStyle::Grouped);
    m_tableView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    m_tableView->setDelegate(this);
    m_tableView->setDataSource(this);
    root->addSubview(m_tableView);
    m_tableView->reloadData();
    m_tableView->layoutIfNeeded();

    setModalPresentationStyle(ui::ModalPresentationStyle::FormSheet);
    if (!m_presentingController) {
        m_presentingController = std::make_shared<BRAutorotatingViewController>();
        auto invisible = m_presentingController->view();
        invisible->setFrame({});
        invisible->setUserInteractionEnabled(false);
        if (auto window = ui::Window::keyWindow())
            window->addSubview(invisible);
    }
    m_presentingController->presentViewController(sharedController(), true);
    // The rows are tiled at the sheet's size.
    root->layoutIfNeeded();
    m_tableView->layoutIfNeeded();
    if (auto field = usernameField())
        field->becomeFirstResponder();
}

void BRAuthenticationDialog::showTitle()
{
    // The prompt shows in portrait only, which this landscape window never is.
    auto item = m_navigationBar->topItem();
    item->setPrompt({});
    m_navigationBar->pushNavigationItem(item);
    m_navigationBar->sizeToFit();
    if (m_tableView) {
        double top = m_navigationBar->frame().height();
        gfx::Rect b = view()->bounds();
        m_tableView->setFrame({0, top, b.width(), b.height() - top});
    }
}

void BRAuthenticationDialog::keyboardWillShow(const base::Value& userInfo)
{
    if (!m_tableView)
        return;
    gfx::EdgeInsets insets = m_tableView->contentInset();
    insets.bottom = userInfo["height"].toDouble();
    m_tableView->setContentInset(insets);
}

void BRAuthenticationDialog::viewDidDisappear(bool animated)
{
    BRAutorotatingViewController::viewDidDisappear(animated);
    // Kept alive until this step ends.
    auto self = sharedController();
    if (presented().get() == this)
        presented().reset();
    base::RunLoop::main().post([] { presentNextDialog(); });
}

// ---- Answers

std::vector<BRHTTPRequest::Ptr> BRAuthenticationDialog::requestsRequiringTheseCredentials() const
{
    std::vector<BRHTTPRequest::Ptr> served;
    auto url = m_request->url();
    for (const auto& other : waiting()) {
        if (other->authenticationNeeded() != m_request->authenticationNeeded())
            continue;
        // A proxy's credentials go with the proxy, whatever host is behind it.
        if (m_type == 1) {
            if (other->proxyHost() == m_request->proxyHost() && other->proxyPort() == m_request->proxyPort())
                served.push_back(other);
            continue;
        }
        auto theirs = other->url();
        if (url && theirs && theirs->host() == url->host() && theirs->port() == url->port() &&
            theirs->scheme() == url->scheme() && other->authenticationRealm() == m_request->authenticationRealm())
            served.push_back(other);
    }
    served.push_back(m_request);
    return served;
}

void BRAuthenticationDialog::loginWithCredentialsFromDialog()
{
    std::string user = usernameField() ? usernameField()->text() : std::string();
    std::string password = passwordField() ? passwordField()->text() : std::string();
    std::string domain = domainField() ? domainField()->text() : std::string();
    bool ntlm = isNTLM();
    for (const auto& request : requestsRequiringTheseCredentials()) {
        if (m_type == 1) {
            request->setProxyUsername(user);
            request->setProxyPassword(password);
            if (ntlm)
                request->setProxyDomain(domain);
        } else {
            request->setUsername(user);
            request->setPassword(password);
            if (ntlm)
                request->setDomain(domain);
        }
        request->retryUsingSuppliedCredentials();
        removeFromWaiting(request);
    }
    dismiss();
}

void BRAuthenticationDialog::cancelAuthenticationFromDialog()
{
    for (const auto& request : requestsRequiringTheseCredentials()) {
        request->cancelAuthentication();
        removeFromWaiting(request);
    }
    dismiss();
}

void BRAuthenticationDialog::dismiss()
{
    if (presented().get() == this) {
        dismissPresentedDialog();
        return;
    }
    if (auto presenting = presentingViewController())
        presenting->dismissViewController(true);
    else if (auto parent = parentViewController())
        parent->dismissViewController(true);
}

// ---- The table

bool BRAuthenticationDialog::isNTLM() const
{
    return (m_type == 1 ? m_request->proxyAuthenticationScheme() : m_request->authenticationScheme()) == "NTLM";
}

ui::TextField* BRAuthenticationDialog::textFieldInRowSection(int row, int section) const
{
    if (!m_tableView)
        return nullptr;
    auto* cell = m_tableView->cellForRowAtIndexPath(ui::IndexPath::forRow(row, section));
    if (!cell)
        return nullptr;
    // The cell's own labels share its content view with the field.
    for (const auto& view : cell->contentView().subviews())
        if (auto* field = dynamic_cast<ui::TextField*>(view.get()))
            return field;
    return nullptr;
}

int BRAuthenticationDialog::numberOfSectionsInTableView(ui::TableView&) { return isNTLM() ? 2 : 1; }

int BRAuthenticationDialog::numberOfRowsInSection(ui::TableView&, int section) { return section == 0 ? 2 : 1; }

std::shared_ptr<ui::TableViewCell> BRAuthenticationDialog::cellForRowAtIndexPath(ui::TableView&,
                                                                                 const ui::IndexPath& indexPath)
{
    auto cell = ui::View::make<FieldCell>();
    cell->setSelectionStyle(ui::TableViewCellSelectionStyle::None);
    auto field = ui::View::make<ui::TextField>();
    field->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    cell->field = field;
    field->setAutocapitalizationType(ui::TextAutocapitalizationType::None);
    field->setAutocorrectionType(ui::TextAutocorrectionType::No);
    if (indexPath.section == 0 && indexPath.row == 0) {
        field->setPlaceholder("User");
    } else if (indexPath.section == 0) {
        field->setPlaceholder("Password");
        field->setSecureTextEntry(true);
    } else {
        field->setPlaceholder("Domain");
    }
    cell->contentView().addSubview(field);
    return cell;
}

std::string BRAuthenticationDialog::titleForHeaderInSection(ui::TableView&, int section)
{
    return section == 0 ? m_request->authenticationRealm().value_or("") : std::string();
}

std::string BRAuthenticationDialog::titleForFooterInSection(ui::TableView& tableView, int section)
{
    if (section != numberOfSectionsInTableView(tableView) - 1)
        return {};
    bool https = m_request->url() && m_request->url()->scheme() == "https";
    if (m_request->authenticationScheme() == "Basic" && !https)
        return "Password will be sent in the clear.";
    return "Password will be sent securely.";
}

double BRAuthenticationDialog::heightForHeaderInSection(ui::TableView&, int section)
{
    // The dialog is always shown in the 1024-point window: one header height for every size.
    return section == 0 ? 54 : 0;
}

double BRAuthenticationDialog::heightForFooterInSection(ui::TableView& tableView, int section)
{
    return section == numberOfSectionsInTableView(tableView) - 1 ? 30 : 0;
}
