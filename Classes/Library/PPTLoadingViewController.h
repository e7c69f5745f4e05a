#pragma once
#include "Classes/Library/SharePopViewController.h"
#include "Common/BaseViewController.h"
#include "Platform/Graphics/Image.h"
#include "Platform/Share/OfficeDocumentView.h"
#include "Platform/UI/ActionSheet.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ui {
class ActivityIndicator;
class Button;
class ImageView;
class Label;
}

// Shows a downloaded office document (presentation, spreadsheet, word processing) under the
// navigation bar with a back item, its title and a share item offering e-mail, printing and
// another application.
class PPTLoadingViewController : public BaseViewController,
                                 public share::OfficeDocumentViewDelegate,
                                 public ui::ActionSheetDelegate,
                                 public SharePopViewControllerDelegate {
public:
    PPTLoadingViewController() = default;
    ~PPTLoadingViewController() override;
    const char* className() const override { return "PPTLoadingViewController"; }

    const std::optional<std::string>& fileName() const { return m_fileName; }
    void setFileName(std::optional<std::string> name) { m_fileName = std::move(name); }
    const std::optional<std::string>& filePath() const { return m_filePath; }
    void setFilePath(std::optional<std::string> path) { m_filePath = std::move(path); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void updateLanguage(ui::Responder* sender) override;
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    void btnBackClick();
    void shareButton();
    void actionSheetClickedButtonAtIndex(ui::ActionSheet& sheet, int index) override;
    void emailAction() override;
    void displayComposerSheet();
    void printAction() override;
    void thirdAction() override;
    // The desktop took the file: nothing more is held for it.
    void documentInteractionControllerDidEndPreview();

    // One picture per screenful of the document, top to bottom, as printing sends them.
    std::vector<gfx::Image> printPictures();
    // The registered type of an office file by its extension; anything else is plain bytes.
    static std::string mimeTypeForPath(const std::string& path);

    void officeDocumentViewDidStartLoad(share::OfficeDocumentView& view) override;
    void officeDocumentViewDidFinishLoad(share::OfficeDocumentView& view) override;
    void officeDocumentViewDidFailLoad(share::OfficeDocumentView& view, const std::string& reason) override;

    const std::shared_ptr<share::OfficeDocumentView>& webView() const { return m_webView; }
    const std::shared_ptr<ui::ActivityIndicator>& loadingView() const { return m_loadingView; }
    const std::shared_ptr<ui::ActionSheet>& shareSheet() const { return m_shareSheet; }
    const std::shared_ptr<ui::Button>& backButton() const { return m_backButton; }
    const std::shared_ptr<ui::Button>& shareButtonView() const { return m_shareButton; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return m_titleLabel; }
    const std::shared_ptr<ui::ImageView>& barImage() const { return m_barImage; }
    bool holdsDocumentController() const { return m_documentController.has_value(); }

    static constexpr double kPrintScale = 2;

private:
    void setUpNavigationBar();
    void dismissPopControllers();
    void showAlert(const std::string& title, const std::string& message);

    std::optional<std::string> m_fileName;
    std::optional<std::string> m_filePath;
    std::shared_ptr<share::OfficeDocumentView> m_webView;
    std::shared_ptr<ui::ActivityIndicator> m_loadingView;
    std::shared_ptr<ui::ActionSheet> m_shareSheet;
    std::shared_ptr<ui::Button> m_backButton, m_shareButton;
    std::shared_ptr<ui::ImageView> m_barImage;
    std::shared_ptr<ui::Label> m_titleLabel;
    std::weak_ptr<ui::ViewController> m_navigation;
    // The file handed to the desktop for the open-in request, until its preview ends.
    std::optional<std::string> m_documentController;
};
