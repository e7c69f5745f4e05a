#pragma once
#include "Database/brivanta_library_files_Entity.h"
#include "Platform/UI/GestureRecognizer.h"
#include "Widgets/BRGridViewCell.h"

#include <memory>

namespace ui {
class Button;
class ImageView;
class Label;
class LongPressGestureRecognizer;
class ProgressView;
class TapGestureRecognizer;
}

class LibraryDetailCellDelegate {
public:
    virtual ~LibraryDetailCellDelegate() = default;
    virtual void didSelectedCell(const brivanta_library_files_Entity&, int cellIndex) {}
    virtual void didSelectedInfoButton(const brivanta_library_files_Entity&) {}
    virtual void didSelectedDeleteButton(const brivanta_library_files_Entity&) {}
    virtual void didCellLongPressed() {}
};

// One library document in a file grid: book, cover, title, format, ribbon, favourite mark,
// info button, progress with its overlay, and a delete button for edit mode. It shows what
// its grid sets and reports touches; the grid decides what they mean.
class LibraryDetailCell : public BRGridViewCell, private ui::GestureRecognizerDelegate {
public:
    static constexpr const char* kIdentifier = "CellIdentifier";
    static constexpr double kLongPressSeconds = 0.7;
    // Right of the card's spine, and above the format line; narrower beside the info button.
    static gfx::Rect titleFrame(bool besideInfoButton);

    LibraryDetailCell(const gfx::Rect& frame, const std::string& reuseIdentifier);
    const char* className() const override { return "LibraryDetailCell"; }

    LibraryDetailCellDelegate* detailDelegate() const { return m_detailDelegate; }
    void setDetailDelegate(LibraryDetailCellDelegate* delegate) { m_detailDelegate = delegate; }
    const brivanta_library_files_Entity& file() const { return m_file; }
    void setFile(brivanta_library_files_Entity file) { m_file = std::move(file); }
    int cellIndex() const { return m_cellIndex; }
    void setCellIndex(int index) { m_cellIndex = index; }

    ui::View& shakingView() const { return *m_shakingView; }
    ui::ImageView& backGroundImageView() const { return *m_backGroundImageView; }
    ui::ImageView& fileImageView() const { return *m_fileImageView; }
    ui::Label& titleLabel() const { return *m_titleLabel; }
    ui::Label& formatLabel() const { return *m_formatLabel; }
    ui::ImageView& ribbonView() const { return *m_ribbonView; }
    ui::ImageView& markImageView() const { return *m_markImageView; }
    ui::Button& infoButton() const { return *m_infoButton; }
    ui::ProgressView& progressView() const { return *m_progressView; }
    ui::ImageView& pauseView() const { return *m_pauseView; }
    ui::Label& downloadingLabel() const { return *m_downloadingLabel; }
    ui::Button& deleteButton() const { return *m_deleteButton; }

    bool shaking() const { return m_shaking; }
    // Starts or stops the wiggle, only on a change.
    void setShaking(bool shaking);
    bool isShaking() const { return m_isShaking; }
    void setIsShaking(bool shaking) { m_isShaking = shaking; }

private:
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch) override;

    LibraryDetailCellDelegate* m_detailDelegate = nullptr;
    brivanta_library_files_Entity m_file;
    int m_cellIndex = 0;
    std::shared_ptr<ui::View> m_shakingView;
    std::shared_ptr<ui::ImageView> m_backGroundImageView;
    std::shared_ptr<ui::ImageView> m_fileImageView;
    std::shared_ptr<ui::Label> m_titleLabel;
    std::shared_ptr<ui::Label> m_formatLabel;
    std::shared_ptr<ui::ImageView> m_ribbonView;
    std::shared_ptr<ui::ImageView> m_markImageView;
    std::shared_ptr<ui::Button> m_infoButton;
    std::shared_ptr<ui::ProgressView> m_progressView;
    std::shared_ptr<ui::ImageView> m_pauseView;
    std::shared_ptr<ui::Label> m_downloadingLabel;
    std::shared_ptr<ui::Button> m_deleteButton;
    std::shared_ptr<ui::TapGestureRecognizer> m_tap;
    std::shared_ptr<ui::LongPressGestureRecognizer> m_longPress;
    bool m_shaking = false;
    bool m_isShaking = false;
};
