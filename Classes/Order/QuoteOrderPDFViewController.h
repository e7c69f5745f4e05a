#pragma once
#include "Common/BaseViewController.h"
#include "Platform/Base/Value.h"
#include "Platform/UI/AlertView.h"

#include <functional>
#include <memory>

class OrderPDFCreater;
class QuoteOrderEntity;
namespace ui {
class Button;
class ImageView;
class ScrollView;
}
namespace share {
enum class MailResult;
}

// One order as its order form: the customer signs it here, it is printed or e-mailed as
// "Order.pdf", and a new signature is saved (with the whole order) or dropped on leaving.
class QuoteOrderPDFViewController : public BaseViewController, public ui::AlertViewDelegate {
public:
    static constexpr int kAskSaveSignature = 1000;

    const char* className() const override { return "QuoteOrderPDFViewController"; }
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    const std::shared_ptr<QuoteOrderEntity>& order() const { return m_order; }
    void setOrder(std::shared_ptr<QuoteOrderEntity> order) { m_order = std::move(order); }
    // The editor's own save of the whole order; YES when it was stored.
    void setSaveOrder(std::function<bool()> save) { m_saveOrder = std::move(save); }
    const std::shared_ptr<OrderPDFCreater>& pdfCreater() const { return m_pdfCreater; }
    const std::shared_ptr<ui::ScrollView>& containerView() const { return m_containerView; }
    ui::Button* printButton() const { return m_btnPrint.get(); }
    ui::Button* emailButton() const { return m_btnEmail.get(); }
    ui::Button* backButton() const { return m_btnBack.get(); }

    ~QuoteOrderPDFViewController() override;
    void viewDidLoad() override;
    void viewAfterFirstDidLoad() override;
    void updateLanguage(ui::Responder* sender) override;

    base::Bytes createPDFData();
    void btnBackClick();
    void btnPrintPdfClick();
    void btnEmailClick();
    void displayComposerSheet();
    void mailComposeControllerDidFinishWithResult(share::MailResult result);
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;

private:
    void notice(const std::string& title, const std::string& message);
    void pop();

    std::shared_ptr<QuoteOrderEntity> m_order;
    std::function<bool()> m_saveOrder;
    std::shared_ptr<OrderPDFCreater> m_pdfCreater;
    std::shared_ptr<ui::ScrollView> m_containerView;
    std::shared_ptr<ui::ImageView> m_titleBar;
    std::shared_ptr<ui::Button> m_btnBack, m_btnPrint, m_btnEmail;
};
