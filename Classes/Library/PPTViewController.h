#pragma once
#include "Common/BaseViewController.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ui {
class Button;
class ImageView;
class Label;
class NavigationController;
}

// Previews one document file through the desktop's own application, under the application's
// title bar. The file is handed over once, when the screen first appears or on reloadData.
class PPTViewController : public BaseViewController {
public:
    PPTViewController() = default;
    const char* className() const override { return "PPTViewController"; }

    const std::optional<std::string>& filePath() const { return m_filePath; }
    void setFilePath(std::optional<std::string> path) { m_filePath = std::move(path); }
    const std::optional<std::string>& fileName() const { return m_fileName; }
    // Also the screen's title.
    void setFileName(std::optional<std::string> name);

    // One item, the file.
    int numberOfPreviewItems() const { return 1; }
    std::optional<std::string> previewItemAtIndex(int index) const;
    int currentPreviewItemIndex() const { return m_currentIndex; }
    // Hands the file to the desktop again; false when nothing took it.
    bool reloadData();
    bool previewShown() const { return m_previewShown; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void didReceiveMemoryWarning() override;
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }
    void btnBackClick();

    const std::shared_ptr<ui::ImageView>& barImage() const { return m_barImage; }
    const std::shared_ptr<ui::Label>& nameLabel() const { return m_nameLabel; }

    // The window's root navigation controller, when the root is one.
    static ui::NavigationController* rootNavigationController();
    // The title bar both quick-look screens put on the root navigation bar.
    struct TitleBar {
        std::shared_ptr<ui::ImageView> image;
        std::shared_ptr<ui::Label> title;
        std::shared_ptr<ui::Button> back;
    };
    static TitleBar showTitleBar(ui::ViewController& screen, const std::string& title, std::function<void()> onBack);
    // Hides the root bar again and takes the bar's picture out of it.
    static void hideTitleBar(TitleBar& bar);

private:
    std::optional<std::string> m_filePath;
    std::optional<std::string> m_fileName;
    int m_currentIndex = 0;
    bool m_previewShown = false;
    std::shared_ptr<ui::ImageView> m_barImage;
    std::shared_ptr<ui::Label> m_nameLabel;
    TitleBar m_bar;
};
