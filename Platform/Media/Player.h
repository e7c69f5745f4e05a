#pragma once
#include "Platform/Graphics/CairoRef.h"
#include "Platform/UI/View.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace media {

struct PlayerPipeline;

// Plays one video file: decoded frames come from the streaming thread into a picture the
// player view draws; bus messages are handled on the main loop. A missing or unplayable file
// puts the player into its error state; it never throws.
class Player : public std::enable_shared_from_this<Player> {
public:
    enum class State { Idle, Playing, Stopped, Error };

    static std::shared_ptr<Player> create();
    ~Player();

    // Starts at once; false (and the error state) when the file cannot be played.
    bool play(const std::string& path);
    // Silent at once; the last frame stays.
    void stop();
    void setRepeats(bool repeats) { m_repeats = repeats; }
    bool repeats() const { return m_repeats; }

    State state() const { return m_state; }
    const std::string& errorMessage() const { return m_error; }
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
    void fail(const std::string& message);

    std::unique_ptr<PlayerPipeline> m_pipeline;
    State m_state = State::Idle;
    std::string m_error;
    bool m_repeats = false;
    int m_endOfStreams = 0;
    std::atomic<uint64_t> m_framesDrawn{0};
    mutable std::mutex m_frameMutex;
    gfx::SurfaceRef m_frame;
    std::atomic<bool> m_repaintPosted{false};
    std::function<void()> m_onFrame;
    friend struct PlayerPipeline;
};

// Draws the player's frames fitted into its bounds, or the error message.
class PlayerView : public ui::View {
public:
    explicit PlayerView(const gfx::Rect& frame);
    ~PlayerView() override;
    const char* className() const override { return "PlayerView"; }
    void setPlayer(std::shared_ptr<Player> player);
    const std::shared_ptr<Player>& player() const { return m_player; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    std::string accessibilityText() const override;

private:
    std::shared_ptr<Player> m_player;
};

// Seconds, from the file's own metadata; nothing when it cannot be read.
std::optional<double> durationOfFile(const std::string& path);

} // namespace media
