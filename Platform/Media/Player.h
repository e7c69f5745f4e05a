#pragma once
#include "Platform/Graphics/CairoRef.h"
#include "Platform/Base/Timer.h"
#include "Platform/UI/View.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace ui {
class Button;
class Label;
class Slider;
} // namespace ui

namespace media {

struct PlayerPipeline;

// Plays one video file: decoded frames come from the streaming thread into a picture the
// player view draws; bus messages are handled on the main loop. A missing or unplayable file
// puts the player into its error state; it never throws.
class Player : public std::enable_shared_from_this<Player> {
public:
    enum class State { Idle, Playing, Paused, Stopped, Error };
    // What the view tells the user instead of a picture. SoundOnly plays on.
    enum class Problem { None, Missing, NotPlayable, SoundOnly };

    static std::shared_ptr<Player> create();
    ~Player();

    // Starts at once; false (and the error state) when the file cannot be played.
    bool play(const std::string& path);
    // Silent at once; the last frame stays.
    void stop();
    // Holds the picture where it is; resume() goes on from there.
    void pause();
    // Plays on from a pause, or from the start once the clip has ended.
    void resume();
    void togglePause();
    // Moves to that time within the clip, paused or playing as before; its frame shows.
    void seek(double seconds);
    // Seconds into the clip (its whole length once it has ended); 0 before it starts.
    double position() const;
    // Seconds; nothing until the pipeline knows it.
    std::optional<double> duration() const;
    void setRepeats(bool repeats) { m_repeats = repeats; }
    bool repeats() const { return m_repeats; }

    State state() const { return m_state; }
    // The framework's own account of an error, for the log; the user sees the problem's text.
    const std::string& errorMessage() const { return m_error; }
    Problem problem() const { return m_problem; }
    int endOfStreamCount() const { return m_endOfStreams; }
    uint64_t framesDrawn() const { return m_framesDrawn; }
    // The latest frame (null before the first), any thread.
    gfx::SurfaceRef currentFrame() const;
    // Called on the main loop when a new frame is ready.
    void setFrameHandler(std::function<void()> handler) { m_onFrame = std::move(handler); }
    void noteFrameDrawn() { ++m_framesDrawn; }

    // Sound goes to a silent sink (headless runs and tests).
    static void setAudioEnabled(bool enabled);

private:
    Player() = default;
    void handleMessage(void* message);
    void fail(Problem problem, const std::string& message);
    // At the end of the stream: whether it came well before the clip's stated length.
    bool endedEarly() const;

    std::unique_ptr<PlayerPipeline> m_pipeline;
    State m_state = State::Idle;
    std::string m_error;
    Problem m_problem = Problem::None;
    bool m_repeats = false;
    bool m_ended = false;
    double m_lastPosition = 0;
    double m_seekedTo = 0; // where the latest seek asked to go
    mutable std::optional<double> m_duration;
    int m_endOfStreams = 0;
    std::atomic<uint64_t> m_framesDrawn{0};
    mutable std::mutex m_frameMutex;
    gfx::SurfaceRef m_frame;
    std::atomic<bool> m_repaintPosted{false};
    std::function<void()> m_onFrame;
    uint64_t m_backgroundWork = 0; // the pipeline's registration, so its threads end at exit
    friend struct PlayerPipeline;
};

class PlayPauseButton;

// Draws the player's frames fitted into its bounds, or the error message, under the player's
// controls: play and pause, a position bar that seeks when dragged, the elapsed and remaining
// time, and Done. The controls hide while playing and come back on a tap; Space toggles the
// pause while the view is the first responder.
class PlayerView : public ui::View {
public:
    static constexpr double kControlsHeight = 44;
    static constexpr double kHideAfter = 3;

    explicit PlayerView(const gfx::Rect& frame);
    ~PlayerView() override;
    const char* className() const override { return "PlayerView"; }
    void setPlayer(std::shared_ptr<Player> player);
    const std::shared_ptr<Player>& player() const { return m_player; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void layoutSubviews() override;
    std::string accessibilityText() const override;
    // The texts shown for each problem (the application gives them in the user's language).
    void setProblemTexts(std::string missing, std::string notPlayable, std::string soundOnly);
    // What the view shows in place of a picture; empty while there is no problem.
    std::string problemText() const;

    void setDoneTitle(const std::string& title);
    void setDoneHandler(std::function<void()> handler) { m_onDone = std::move(handler); }
    bool controlsShown() const;
    void showControls();
    // Reads the player's time and state into the controls (also every quarter second while
    // playing).
    void refreshControls();

    ui::Button& playPauseButton() const;
    ui::Slider& positionBar() const { return *m_positionBar; }
    ui::Label& elapsedLabel() const { return *m_elapsed; }
    ui::Label& remainingLabel() const { return *m_remaining; }
    ui::Button& doneButton() const { return *m_done; }

    bool canBecomeFirstResponder() const override { return true; }
    void insertText(const std::string& text) override;
    void touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event) override;

private:
    void buildControls();
    void showTimes(double position, double duration);
    void keepRefreshing(bool on);

    std::shared_ptr<Player> m_player;
    std::shared_ptr<ui::View> m_controls;
    std::shared_ptr<PlayPauseButton> m_playPause;
    std::shared_ptr<ui::Slider> m_positionBar;
    std::shared_ptr<ui::Label> m_elapsed;
    std::shared_ptr<ui::Label> m_remaining;
    std::shared_ptr<ui::Button> m_done;
    std::shared_ptr<base::Timer> m_refresh;
    std::function<void()> m_onDone;
    double m_shownAt = 0;
    std::string m_missingText = "The video file is missing.";
    std::string m_notPlayableText = "This video cannot be played: the file is damaged or in a format this device does not play.";
    std::string m_soundOnlyText = "This file holds sound only; there is no picture to show.";
};

// "m:ss", or "h:mm:ss" from an hour on; whole seconds, rounded down.
std::string formatPlaybackTime(double seconds);

// Seconds, from the file's own metadata; nothing when it cannot be read.
std::optional<double> durationOfFile(const std::string& path);

} // namespace media
