#pragma once
#include "Common/BaseViewController.h"

#include <memory>
#include <string>

namespace media {
class Player;
class PlayerView;
}
namespace ui {
class Button;
class ImageView;
class Label;
}

// Plays a library video over the whole application, with a title bar holding the back
// button, the title and a repeat toggle. Going back stops it and posts "stopViewVideo".
class VideoViewController : public BaseViewController {
public:
    static constexpr const char* kStopNotification = "stopViewVideo";

    VideoViewController() = default;
    ~VideoViewController() override;
    const char* className() const override { return "VideoViewController"; }

    // Builds the screen and starts the video at once, not repeating.
    void createWithFilenameAndFilePath(const std::string& title, const std::string& path);
    void btnLoopPlayTapped();
    void btnbackClicked();
    void updateLanguage(ui::Responder* sender) override;
    unsigned supportedInterfaceOrientations() const override { return ui::InterfaceOrientationMaskLandscape; }

    const std::shared_ptr<media::Player>& player() const { return m_player; }
    const std::shared_ptr<media::PlayerView>& playerView() const { return m_playerView; }
    const std::shared_ptr<ui::Button>& backButton() const { return m_back; }
    const std::shared_ptr<ui::Button>& loopButton() const { return m_loop; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return m_title; }

private:
    std::shared_ptr<media::Player> m_player;
    std::shared_ptr<media::PlayerView> m_playerView;
    std::shared_ptr<ui::ImageView> m_topbar;
    std::shared_ptr<ui::Button> m_back, m_loop;
    std::shared_ptr<ui::Label> m_title;
    bool m_stopped = false;
};
