#pragma once
#include "Database/brivanta_library_files_Entity.h"
#include "Platform/UI/ViewController.h"

#include <memory>

namespace ui {
class Button;
class ImageView;
class Label;
class TapGestureRecognizer;
class TextView;
}

// The opener of a file card: downloads, opens or updates, deletes, and hears favourite changes.
class FileDescripionDelegate {
public:
    virtual ~FileDescripionDelegate() = default;
    virtual void actionButtonPressed(const brivanta_library_files_Entity&) {}
    virtual void descriptionViewDeleteButtonPressed(const brivanta_library_files_Entity&) {}
    virtual void markButtonPressed() {}
};

// A small card about one library document: cover, title, format, duration, date and
// description, with the main button, the favourite button and a delete button.
class FileDescriptionViewController : public ui::ViewController {
public:
    static inline const gfx::Rect kContainerFrame{220, 150, 619, 450};

    FileDescriptionViewController();
    ~FileDescriptionViewController() override;
    const char* className() const override { return "FileDescriptionViewController"; }

    const brivanta_library_files_Entity& fileEntity() const { return m_fileEntity; }
    void setFileEntity(brivanta_library_files_Entity file) { m_fileEntity = std::move(file); }
    void setDelagate(std::weak_ptr<FileDescripionDelegate> delegate) { m_delagate = std::move(delegate); }
    bool isMarked() const { return m_isMarked; }

    // Presents the card from `opener` as the file grids do.
    void presentFrom(ui::ViewController& opener);

    ui::ImageView* imageView() const { return m_imageView.get(); }
    ui::Label* nameLabel() const { return m_nameLabel.get(); }
    ui::Label* dateLabel() const { return m_dateLabel.get(); }
    ui::Label* formatLabel() const { return m_formatLabel.get(); }
    ui::Label* videoDurationLabel() const { return m_videoDurationLabel.get(); }
    ui::TextView* descTextView() const { return m_descTextView.get(); }
    ui::Button* actionButton() const { return m_actionButton.get(); }
    ui::Button* favButton() const { return m_favButton.get(); }
    // Exists from construction; the opener decides whether it shows.
    ui::Button& delButton() const { return *m_delButton; }
    bool hasOutsideTapRecognizer() const { return m_tapGesture != nullptr; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void didReceiveMemoryWarning() override;
    unsigned supportedInterfaceOrientations() const override;
    // Escape closes the card as a click outside it does.
    bool escapePressed() override;

    void actionButtonPressed();
    void markButtonPressed();
    void deleteButtonPressed();

private:
    void removeTapGesture();
    void outsideTapped();

    brivanta_library_files_Entity m_fileEntity;
    bool m_isMarked = false;
    std::weak_ptr<FileDescripionDelegate> m_delagate;
    std::shared_ptr<ui::ImageView> m_imageView;
    std::shared_ptr<ui::Label> m_nameLabel;
    std::shared_ptr<ui::Label> m_dateLabel;
    std::shared_ptr<ui::Label> m_formatLabel;
    std::shared_ptr<ui::Label> m_videoDurationLabel;
    std::shared_ptr<ui::TextView> m_descTextView;
    std::shared_ptr<ui::Button> m_actionButton;
    std::shared_ptr<ui::Button> m_favButton;
    std::shared_ptr<ui::Button> m_delButton;
    std::shared_ptr<ui::TapGestureRecognizer> m_tapGesture;
    std::weak_ptr<ui::View> m_tapWindow;
};
