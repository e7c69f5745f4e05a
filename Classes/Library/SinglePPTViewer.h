#pragma once
#include "Classes/Library/PPTViewController.h"
#include "Common/BaseViewController.h"

#include <memory>
#include <optional>
#include <string>

// One document previewed under the application's title bar, the preview screen filling the
// area below it.
class SinglePPTViewer : public BaseViewController {
public:
    SinglePPTViewer() = default;
    const char* className() const override { return "SinglePPTViewer"; }

    const std::optional<std::string>& filePath() const { return m_filePath; }
    void setFilePath(std::optional<std::string> path) { m_filePath = std::move(path); }
    const std::optional<std::string>& fileName() const { return m_fileName; }
    void setFileName(std::optional<std::string> name) { m_fileName = std::move(name); }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void didReceiveMemoryWarning() override;
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }
    void btnBackClick();

    const std::shared_ptr<PPTViewController>& previewController() const { return m_preview; }

private:
    std::optional<std::string> m_filePath;
    std::optional<std::string> m_fileName;
    std::shared_ptr<PPTViewController> m_preview;
    PPTViewController::TitleBar m_bar;
};
