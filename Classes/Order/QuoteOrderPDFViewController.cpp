#include "Classes/Order/QuoteOrderPDFViewController.h"

#include "Classes/Order/OrderPDFCreater.h"
#include "Common/FreeDismissAlertView.h"
#include "Common/Language.h"
#include "Common/UIHelpers.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Database/QuoteOrderEntity.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/TemporaryFiles.h"
#include "Platform/Share/MailComposer.h"
#include "Platform/Share/Printer.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/ScrollView.h"

namespace {

bool blank(const std::optional<std::string>& value)
{
    return !value || value->find_first_not_of(" \t\r\n") == std::string::npos;
}

} // namespace

QuoteOrderPDFViewController::~QuoteOrderPDFViewController()
{
    if (m_pdfCreater)
        m_pdfCreater->setRootViewController(nullptr);
}

void QuoteOrderPDFViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
    view()->setBackgroundColor(gfx::Color::fromWhite(0.85));
    m_containerView = ui::View::make<ui::ScrollView>(gfx::Rect(0, 44, 1024, 724));
    m_containerView->setBackgroundColor(gfx::Color::white());
    view()->addSubview(m_containerView);
    m_titleBar = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, 1024, 44));
    m_titleBar->setImage(SkinManager::skinFromImageName(std::string("topbar-bg.png")));
    view()->addSubview(m_titleBar);

    std::weak_ptr<QuoteOrderPDFViewController> weak = std::static_pointer_cast<QuoteOrderPDFViewController>(shared_from_this());
    auto make = [&](const gfx::Rect& frame, bool back, void (QuoteOrderPDFViewController::*action)()) {
        auto button = ui::View::make<ui::Button>(ui::ButtonType::Custom, frame);
        if (back)
            PublicFunction::initializeToBackButtonHeight34(button.get());
        else
            PublicFunction::initializeToButtonHeight34(button.get());
        button->addTarget([weak, action](ui::Control&) {
            if (auto screen = weak.lock())
                ((*screen).*action)();
        }, ui::ControlEventTouchUpInside);
        view()->addSubview(button);
        return button;
    };
    m_btnBack = make({15, 5, 60, 34}, true, &QuoteOrderPDFViewController::btnBackClick);
    m_btnPrint = make({850, 5, 70, 34}, false, &QuoteOrderPDFViewController::btnPrintPdfClick);
    m_btnEmail = make({939, 5, 70, 34}, false, &QuoteOrderPDFViewController::btnEmailClick);
    if (m_order) {
        m_pdfCreater = std::make_shared<OrderPDFCreater>(m_order, gfx::Size{1024, 1448}, this);
        m_pdfCreater->generatePdfInScrollView(m_containerView.get());
    }
    m_btnBack->setTitle(Language::stringWithName("BACK"));
    m_btnPrint->setTitle(Language::stringWithName("PRINT"));
    m_btnEmail->setTitle(Language::stringWithName("EMAIL"));
}

void QuoteOrderPDFViewController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    if (auto* nav = navigationController())
        nav->setNavigationBarHidden(true);
}

void QuoteOrderPDFViewController::updateLanguage(ui::Responder*)
{
    if (!m_btnBack)
        return;
    m_btnBack->setTitle(Language::stringWithName("BACK"));
    m_btnPrint->setTitle(Language::stringWithName("PRINT"));
    m_btnEmail->setTitle(Language::stringWithName("EMAIL"));
    if (m_pdfCreater)
        m_pdfCreater->updateLanguage();
}

base::Bytes QuoteOrderPDFViewController::createPDFData()
{
    return m_pdfCreater ? m_pdfCreater->generatePDFToData() : base::Bytes();
}

void QuoteOrderPDFViewController::pop()
{
    if (auto* nav = navigationController())
        nav->popViewController(true);
}

void QuoteOrderPDFViewController::btnBackClick()
{
    if (m_pdfCreater && m_pdfCreater->hasEditsignature()) {
        auto alert = std::make_shared<FreeDismissAlertView>(
            Language::stringWithName("SAVESINGATURE"), Language::stringWithName("SIGNATURESAVEALERT"), this,
            Language::stringWithName("DONTSAVE"), std::vector<std::string>{Language::stringWithName("SAVE")});
        alert->setTag(kAskSaveSignature);
        alert->show();
        return;
    }
    pop();
}

void QuoteOrderPDFViewController::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    if (alert.tag() != kAskSaveSignature || !m_order)
        return;
    if (index == 0) {
        m_order->setSignature(std::nullopt);
    } else if (index == 1) {
        // The signature is stored with the order it signs, through the editor's whole save;
        // a failed save keeps the screen and the signature.
        if (!m_saveOrder || !m_saveOrder())
            return;
    }
    pop();
}

void QuoteOrderPDFViewController::btnPrintPdfClick()
{
    base::Bytes data = createPDFData();
    if (data.empty())
        return;
    auto file = base::createTemporaryFile("Order", ".pdf");
    if (!file || !base::FileManager::writeAtomically(*file, data)) {
        base::logf("FAILED! due to error in domain %s with error code %u", "share.Printer", 1u);
        return;
    }
    share::PrintResult outcome = share::Printer::shared().printFile(*file, "Order.pdf", false);
    base::FileManager::removeItem(*file);
    if (outcome.printed) {
        base::log("printInteractionControllerDidFinishJob success");
        return;
    }
    // Without a printer the PDF is kept: the user is told where.
    if (!outcome.savedPath.empty())
        notice(Language::stringWithName("PRINT"), outcome.savedPath);
    else
        base::logf("FAILED! due to error in domain %s with error code %u", "share.Printer", 2u);
}

void QuoteOrderPDFViewController::btnEmailClick()
{
    if (share::MailComposer::shared().canSendMail())
        displayComposerSheet();
    else
        notice(Language::stringWithName("NOTIFICATION"), Language::stringWithName("NOEMAILCONFIG"));
}

void QuoteOrderPDFViewController::displayComposerSheet()
{
    base::Bytes data = createPDFData();
    if (data.empty())
        return;
    std::string order = Language::stringWithName("ORDER");
    std::string subject = blank(m_order->customerName()) ? "[" + order + "]" : "[" + order + "-" + *m_order->customerName() + "]";
    share::Attachment attachment{std::move(data), "application/pdf", "Order.pdf"};
    share::MailComposer::shared().setUnsentHandler(showUnsentMail);
    mailComposeControllerDidFinishWithResult(share::MailComposer::shared().compose(subject, {}, attachment));
}

void QuoteOrderPDFViewController::mailComposeControllerDidFinishWithResult(share::MailResult result)
{
    if (result == share::MailResult::Sent)
        notice(Language::stringWithName("FILEHAVSBEENEMAILED"), "");
    else if (result == share::MailResult::Failed)
        notice(Language::stringWithName("MAILFAILED"), "");
    else if (auto kept = share::MailComposer::shared().unsentMessagePath(); result == share::MailResult::Saved && !kept.empty())
        showUnsentMail(kept);
}

void QuoteOrderPDFViewController::notice(const std::string& title, const std::string& message)
{
    auto alert = std::make_shared<ui::AlertView>(title, message, nullptr, Language::stringWithName("OK"));
    alert->show();
}
