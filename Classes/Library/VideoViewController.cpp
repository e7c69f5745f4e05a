#include "Classes/Library/VideoViewController.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Common/UIToast.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Media/Player.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/Window.h"

VideoViewController::~VideoViewController()
{
    if (m_player)
        m_player->stop();
}

void VideoViewController::createWithFilenameAndFilePath(const std::string& title, const std::string& path)
{
    auto root = view();
    // The whole window: there is no status bar to leave room for.
    root->setFrame(gfx::Rect({0, 0}, ui::Window::kScreenSize));
    auto background = ui::View::make<ui::ImageView>(gfx::Rect({0, 0}, ui::Window::kScreenSize));
    background->setImage(ui::imageNamed("video-bg.png"));
    root->addSubview(background);

    m_player = media::Player::create();
    m_playerView = ui::View::make<media::PlayerView>(gfx::Rect(50, 94, 924, 604));
    m_playerView->setBackgroundColor(gfx::Color::fromWhite(0.67));
    m_playerView->setPlayer(m_player);
    m_playerView->setDoneTitle(Language::stringWithName("DONE"));
    // Done leaves the video the way back does.
    m_playerView->setDoneHandler([this] { btnbackClicked(); });
    m_playerView->setProblemTexts(Language::stringWithName("VIDEOFILEMISSING"), Language::stringWithName("VIDEOCANNOTPLAY"),
                                  Language::stringWithName("VIDEOHASNOPICTURE"));
    root->addSubview(m_playerView);

    m_topbar = ui::View::make<ui::ImageView>(gfx::Rect(0, 0, 1024, 44));
    m_topbar->setUserInteractionEnabled(true);
    m_topbar->setContentMode(ui::ContentMode::ScaleToFill);
    m_topbar->setBackgroundColor(gfx::Color::white());
    m_topbar->setImage(SkinManager::skinFromImageName(std::string("topbar-bg.png")));
    root->addSubview(m_topbar);

    m_back = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(8, 5, 60, 34));
    PublicFunction::initializeToBackButtonHeight34(m_back.get());
    m_back->setTitle(Language::stringWithName("BACK"));
    m_back->addTarget([this](ui::Control&) { btnbackClicked(); }, ui::ControlEventTouchUpInside);
    m_topbar->addSubview(m_back);

    m_loop = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(959, 5, 50, 34));
    PublicFunction::initializeToButtonHeight34(m_loop.get());
    m_loop->setImage(ui::imageNamed("icon_loop_play_off.png"), ui::ControlStateNormal);
    m_loop->setImage(ui::imageNamed("icon_loop_play.png"), ui::ControlStateSelected);
    m_loop->setSelected(false);
    m_loop->addTarget([this](ui::Control&) { btnLoopPlayTapped(); }, ui::ControlEventTouchUpInside);
    m_topbar->addSubview(m_loop);

    m_title = std::make_shared<ui::Label>(gfx::Rect(312, 2, 400, 40));
    m_title->setFont(gfx::Font("Helvetica-Bold", 20));
    m_title->setTextColor(gfx::Color::white());
    m_title->setTextAlignment(gfx::TextAlignment::Center);
    m_title->setBackgroundColor(std::nullopt);
    m_title->setText(title);
    m_topbar->addSubview(m_title);

    m_player->setRepeats(false);
    // A missing or unplayable file shows the player's own message; the screen stays usable.
    m_player->play(path);
    // Space pauses and resumes.
    m_playerView->becomeFirstResponder();
}

void VideoViewController::btnLoopPlayTapped()
{
    bool selected = !m_loop->isSelected();
    m_loop->setSelected(selected);
    if (m_player)
        m_player->setRepeats(selected);
    auto toast = std::make_shared<UIToast>();
    toast->show(Language::stringWithName(selected ? "LOOPPLAYENABLED" : "LOOPPLAYDISABLED"));
}

void VideoViewController::btnbackClicked()
{
    if (m_stopped)
        return;
    m_stopped = true;
    if (m_player)
        m_player->stop();
    if (m_playerView) {
        m_playerView->resignFirstResponder();
        m_playerView->setDoneHandler({});
        m_playerView->setPlayer(nullptr);
        m_playerView->removeFromSuperview();
    }
    m_player.reset();
    base::NotificationCenter::defaultCenter().post(kStopNotification);
}

void VideoViewController::updateLanguage(ui::Responder*)
{
    if (m_back)
        m_back->setTitle(Language::stringWithName("VIDEOS"));
}
