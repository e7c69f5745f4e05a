#include "Classes/Library/PPTLoadingViewController.h"

#include "Common/Language.h"
#include "Common/UIHelpers.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Share/DocumentOpener.h"
#include "Platform/Share/MailComposer.h"
#include "Platform/Share/Printer.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/ScrollView.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>

PPTLoadingViewController::~PPTLoadingViewController()
{
    if (m_webView)
        m_webView->setDelegate(nullptr);
    if (m_shareSheet)
        m_shareSheet->setDelegate(nullptr);
}

void PPTLoadingViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    m_backButton = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(0, 0, 60, 34));
    m_backButton->setTitle(Language::stringWithName("BACK"));
    PublicFunction::initializeToBackButtonHeight34(m_backButton.get());
    m_backButton->addTarget([this](ui::Control&) { btnBackClick(); }, ui::ControlEventTouchUpInside);

    m_barImage = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, 1024, 44));
    m_barImage->setImage(SkinManager::skinFromImageName(std::string("topbar-bg.png")));

    m_shareButton = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(0, 0, 34, 34));
    m_shareButton->setBackgroundColor(std::nullopt);
    m_shareButton->setBackgroundImage(SkinManager::skinFromImageName(std::string("btn-share.png")),
                                      ui::ControlStateNormal);
    m_shareButton->addTarget([this](ui::Control&) { shareButton(); }, ui::ControlEventTouchUpInside);

    m_loadingView = std::make_shared<ui::ActivityIndicator>(ui::ActivityIndicatorStyle::Gray);
    m_loadingView->setFrame(gfx::Rect(330, 450, 60, 60));

    m_webView = ui::View::make<share::OfficeDocumentView>(gfx::Rect(0, 0, 1024, 724)); // the window under the bar
    m_webView->setDelegate(this);
    m_webView->setFailureMessages(Language::stringWithName("DOCUMENTOPENEDELSEWHERE"),
                                  Language::stringWithName("DOCUMENTCANNOTBESHOWN"));
    m_webView->setProblemMessages(Language::stringWithName("THEFILEISPROTECTED"),
                                  Language::stringWithName("THEFILEISCORRUPTED"));

    if (m_fileName) {
        m_titleLabel = ui::View::make<ui::Label>(gfx::Rect(50, 0, 900, 50));
        m_titleLabel->setFont(gfx::Font("Helvetica-Bold", 20));
        m_titleLabel->setTextColor(gfx::Color::white());
        m_titleLabel->setTextAlignment(gfx::TextAlignment::Center);
        m_titleLabel->setBackgroundColor(std::nullopt);
        m_titleLabel->setText(*m_fileName);
    }
    setUpNavigationBar();
    // The strip below the document's area matches what the pages stand on.
    view()->setBackgroundColor(m_webView->backgroundColor());
    view()->addSubview(m_webView);
    if (m_filePath)
        m_webView->loadFile(*m_filePath);
}

void PPTLoadingViewController::setUpNavigationBar()
{
    setLeftBarButtonItem(std::make_shared<ui::BarButtonItem>(m_backButton));
    setRightBarButtonItem(std::make_shared<ui::BarButtonItem>(m_shareButton));
    if (m_titleLabel)
        setTitleView(m_titleLabel);
}

void PPTLoadingViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    auto* nav = navigationController();
    if (!nav)
        return;
    m_navigation = nav->sharedController();
    nav->setNavigationBarHidden(false);
    // Under the bar's items and title; taken out again when the screen goes, so the shared
    // bar does not gather one picture per document opened.
    if (auto bar = nav->navigationBar(); bar && m_barImage->superview() != bar.get())
        bar->insertSubviewAtIndex(m_barImage, 0);
}

void PPTLoadingViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    // A pop has taken the screen off the stack by now: the controller it appeared in is kept.
    if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(m_navigation.lock()))
        nav->setNavigationBarHidden(true);
    if (m_barImage)
        m_barImage->removeFromSuperview();
}

void PPTLoadingViewController::updateLanguage(ui::Responder*)
{
    if (m_backButton)
        m_backButton->setTitle(Language::stringWithName("BACK"));
}

// The loading indicator covers the document's area only: a conversion can take a while, and
// the way back stays open meanwhile.
void PPTLoadingViewController::officeDocumentViewDidStartLoad(share::OfficeDocumentView&)
{
    PublicFunction::showDialIndicatorView(view().get(), m_loadingView);
}

void PPTLoadingViewController::officeDocumentViewDidFinishLoad(share::OfficeDocumentView&)
{
    PublicFunction::hideDialIndicatorView(view().get(), m_loadingView);
}

void PPTLoadingViewController::officeDocumentViewDidFailLoad(share::OfficeDocumentView&, const std::string& reason)
{
    base::logf("PPTLoadingViewController: %s cannot be shown: %s", m_filePath.value_or("").c_str(), reason.c_str());
    PublicFunction::hideDialIndicatorView(view().get(), m_loadingView);
}

void PPTLoadingViewController::dismissPopControllers()
{
    // Printing and the open-in hand-off leave no menu on this desktop; only what is held goes.
    m_documentController.reset();
    if (m_shareSheet && m_shareSheet->isVisible())
        m_shareSheet->dismissWithClickedButtonIndex(-1, false);
}

void PPTLoadingViewController::btnBackClick()
{
    dismissPopControllers();
    if (auto* nav = navigationController())
        nav->popViewController(true);
}

void PPTLoadingViewController::shareButton()
{
    m_documentController.reset();
    if (!m_shareSheet) {
        m_shareSheet = std::make_shared<ui::ActionSheet>(
            "", this, "", "",
            std::vector<std::string>{Language::stringWithName("EMAIL"), Language::stringWithName("PRINT"),
                                     Language::stringWithName("OPENINOTHERAPP")});
    }
    if (m_shareSheet->isVisible() || !m_shareButton)
        return;
    auto* host = view().get();
    if (auto* nav = navigationController())
        host = nav->view().get();
    m_shareSheet->showFromRect(m_shareButton->convertRectToView(m_shareButton->bounds(), host), host, true);
}

void PPTLoadingViewController::actionSheetClickedButtonAtIndex(ui::ActionSheet&, int index)
{
    switch (index) {
    case 0:
        emailAction();
        break;
    case 1:
        printAction();
        break;
    case 2:
        thirdAction();
        break;
    default:
        break;
    }
}

void PPTLoadingViewController::showAlert(const std::string& title, const std::string& message)
{
    auto alert = std::make_shared<ui::AlertView>(title, message, nullptr, Language::stringWithName("OK"),
                                                 std::vector<std::string>{});
    alert->show();
}

void PPTLoadingViewController::emailAction()
{
    if (!share::MailComposer::shared().canSendMail()) {
        showAlert(Language::stringWithName("NOTIFICATION"), Language::stringWithName("NOEMAILCONFIG"));
        return;
    }
    displayComposerSheet();
}

std::string PPTLoadingViewController::mimeTypeForPath(const std::string& path)
{
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == ".ppt")
        return "application/vnd.ms-powerpoint";
    if (ext == ".pptx")
        return "application/vnd.openxmlformats-officedocument.presentationml.presentation";
    if (ext == ".xls")
        return "application/vnd.ms-excel";
    if (ext == ".xlsx")
        return "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";
    if (ext == ".doc")
        return "application/msword";
    if (ext == ".docx")
        return "application/vnd.openxmlformats-officedocument.wordprocessingml.document";
    return "application/octet-stream";
}

void PPTLoadingViewController::displayComposerSheet()
{
    std::string path = m_filePath.value_or("");
    auto bytes = base::FileManager::readFile(path);
    if (!bytes) {
        base::logf("PPTLoadingViewController: %s cannot be read for the mail", path.c_str());
        showAlert(Language::stringWithName("MAILFAILED"), "");
        return;
    }
    // Receivers go by the type: each office format is sent as its own, never a made-up one.
    share::Attachment attachment{std::move(*bytes), mimeTypeForPath(path),
                                 std::filesystem::path(path).filename().string()};
    share::MailComposer::shared().setUnsentHandler(showUnsentMail);
    auto result = share::MailComposer::shared().compose("[" + m_fileName.value_or("") + "]", {}, attachment);
    if (result == share::MailResult::Sent)
        showAlert(Language::stringWithName("FILEHAVSBEENEMAILED"), "");
    else if (result == share::MailResult::Failed)
        showAlert(Language::stringWithName("MAILFAILED"), "");
    else if (auto kept = share::MailComposer::shared().unsentMessagePath(); result == share::MailResult::Saved && !kept.empty())
        showUnsentMail(kept);
}

std::vector<gfx::Image> PPTLoadingViewController::printPictures()
{
    std::vector<gfx::Image> pictures;
    if (!m_webView)
        return pictures;
    ui::ScrollView& scroll = m_webView->scrollView();
    const double total = scroll.contentSize().height;
    const gfx::Size size = m_webView->frame().size;
    const double w = size.width, h = size.height;
    if (w <= 0 || h <= 0)
        return pictures;
    auto pixels = [](double points) { return std::round(points * kPrintScale); };
    double rest = total;
    for (int i = 1; rest > 0; ++i) {
        // Filled white first: what the document leaves transparent prints as paper.
        gfx::Image picture = m_webView->imageOfVisiblePart(kPrintScale);
        if (rest < h) {
            // A last partial slice stands at the bottom of the view; a document shorter than
            // one view stands at its top.
            double top = total < h ? 0 : h - rest;
            picture = picture.cropped(gfx::Rect(0, pixels(top), pixels(w), pixels(rest)));
        }
        scroll.setContentOffset({0, i * h});
        rest -= h;
        if (rest < h)
            scroll.setContentOffset({0, std::max(0.0, total - h)});
        pictures.push_back(std::move(picture));
    }
    scroll.setContentOffset({0, 0});
    return pictures;
}

void PPTLoadingViewController::printAction()
{
    auto pictures = printPictures();
    if (pictures.empty())
        return;
    auto result = share::Printer::shared().printImages(pictures, Language::stringWithName("PRINT"), false);
    if (result.printed) {
        base::logf("printInteractionControllerDidFinishJob success");
        return;
    }
    if (!result.savedPath.empty()) {
        showAlert(Language::stringWithName("PRINTSAVED"), result.savedPath);
        return;
    }
    base::logf("FAILED! due to error in domain %s with error code %u", "print", 1u);
}

void PPTLoadingViewController::thirdAction()
{
    m_documentController.reset();
    std::string path = m_filePath.value_or("");
    if (!share::DocumentOpener::shared().open(path)) {
        showAlert(Language::stringWithName("NOTIFICATION"), Language::stringWithName("PLEASEDOWNLOADKEYNOTE"));
        return;
    }
    m_documentController = path;
}

void PPTLoadingViewController::documentInteractionControllerDidEndPreview()
{
    m_documentController.reset();
}
