#pragma once
#include "Network/BRAutorotatingViewController.h"
#include "Network/BRHTTPRequest.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/TableView.h"

#include <memory>
#include <vector>

namespace ui {
class NavigationBar;
class TextField;
}

// The sheet that asks the user for a user name, a password and, for NTLM, a domain when a
// server (type 0) or a proxy (type 1) challenges a request. One sheet is on screen at a time;
// requests challenged meanwhile wait, and one answer serves every waiting request that needs
// the same credentials. Main thread only.
class BRAuthenticationDialog : public BRAutorotatingViewController,
                               public ui::TableViewDataSource,
                               public ui::TableViewDelegate {
public:
    using Ptr = std::shared_ptr<BRAuthenticationDialog>;
    // Posted by an on-screen keyboard, with its height under "height"; this desktop has none.
    static constexpr char kKeyboardWillShowNotification[] = "BRKeyboardWillShowNotification";

    BRAuthenticationDialog();
    ~BRAuthenticationDialog() override;
    const char* className() const override { return "BRAuthenticationDialog"; }

    // Shows a sheet for the request, or queues it behind the one on screen.
    static void presentAuthenticationDialogForRequest(const BRHTTPRequest::Ptr& request);
    // The sheet on screen, if any, and the requests waiting (tests).
    static Ptr presentedDialog();
    static size_t waitingRequestCount();
    // Closes the sheet on screen.
    static void dismissPresentedDialog();
    static void presentNextDialog();

    BRHTTPRequest::Ptr request() const { return m_request; }
    int type() const { return m_type; }
    void show();
    void showTitle();
    void loginWithCredentialsFromDialog();
    void cancelAuthenticationFromDialog();
    std::vector<BRHTTPRequest::Ptr> requestsRequiringTheseCredentials() const;
    void dismiss();

    ui::NavigationBar* navigationBar() const { return m_navigationBar.get(); }
    ui::TableView* tableView() const { return m_tableView.get(); }
    ui::TextField* usernameField() const { return textFieldInRowSection(0, 0); }
    ui::TextField* passwordField() const { return textFieldInRowSection(1, 0); }
    ui::TextField* domainField() const { return textFieldInRowSection(0, 1); }

    void keyboardWillShow(const base::Value& userInfo);
    void viewDidDisappear(bool animated) override;

    int numberOfSectionsInTableView(ui::TableView&) override;
    int numberOfRowsInSection(ui::TableView&, int section) override;
    std::shared_ptr<ui::TableViewCell> cellForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) override;
    std::string titleForHeaderInSection(ui::TableView&, int section) override;
    std::string titleForFooterInSection(ui::TableView&, int section) override;
    double heightForHeaderInSection(ui::TableView&, int section) override;
    double heightForFooterInSection(ui::TableView&, int section) override;

private:
    bool isNTLM() const;
    ui::TextField* textFieldInRowSection(int row, int section) const;

    BRHTTPRequest::Ptr m_request;
    int m_type = 0;
    std::shared_ptr<ui::NavigationBar> m_navigationBar;
    std::shared_ptr<ui::TableView> m_tableView;
    std::shared_ptr<BRAutorotatingViewController> m_presentingController;
    base::ObserverToken m_keyboardObserver;
};
