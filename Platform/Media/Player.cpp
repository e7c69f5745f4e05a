#include "Platform/Media/Player.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Slider.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>

namespace media {

namespace {

std::atomic<bool> g_audio{true};

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The framework keeps its plugin registry under the user's cache folder unless told
        // otherwise: it is a cache of ours. Read once, at set-up; programs started later
        // (which may outlive a home folder) are not handed the setting.
        bool ours = !std::getenv("GST_REGISTRY_1_0") && !std::getenv("GST_REGISTRY");
        if (ours)
            setenv("GST_REGISTRY_1_0", (base::Paths::libraryCaches() + "/gstreamer-1.0/registry.bin").c_str(), 0);
        gst_init(nullptr, nullptr);
        if (ours)
            unsetenv("GST_REGISTRY_1_0");
    });
}

std::string fileUri(const std::string& path)
{
    std::error_code ec;
    auto absolute = std::filesystem::absolute(path, ec);
    if (ec)
        return {};
    char* uri = gst_filename_to_uri(absolute.c_str(), nullptr);
    if (!uri)
        return {};
    std::string result(uri);
    g_free(uri);
    return result;
}

} // namespace

// The playbin and what its threads share with the player.
struct PlayerPipeline {
    GstElement* playbin = nullptr;
    std::weak_ptr<Player> owner;
    std::atomic<bool> prerolled{false};
    // The frames that really arrived since the start or the last seek, read at the end of
    // stream: how many, the first and latest of their times, and where the latest one ends.
    struct Times {
        uint64_t samples = 0;
        GstClockTime first = GST_CLOCK_TIME_NONE, last = GST_CLOCK_TIME_NONE, end = GST_CLOCK_TIME_NONE;
    };
    mutable std::mutex timesMutex;
    Times times;

    Times arrived() const
    {
        std::lock_guard lock(timesMutex);
        return times;
    }
    void restartTimes()
    {
        std::lock_guard lock(timesMutex);
        times = Times{};
    }

    ~PlayerPipeline()
    {
        if (!playbin)
            return;
        gst_element_set_state(playbin, GST_STATE_NULL);
        GstBus* bus = gst_element_get_bus(playbin);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
        gst_object_unref(playbin);
    }

    static GstFlowReturn onSample(GstAppSink* sink, gpointer data)
    {
        GstSample* sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_EOS;
        static_cast<PlayerPipeline*>(data)->take(sample);
        return GST_FLOW_OK;
    }

    // A paused pipeline hands the frame at a new position over as a preroll only.
    static GstFlowReturn onPreroll(GstAppSink* sink, gpointer data)
    {
        GstSample* sample = gst_app_sink_pull_preroll(sink);
        if (!sample)
            return GST_FLOW_EOS;
        static_cast<PlayerPipeline*>(data)->take(sample);
        return GST_FLOW_OK;
    }

    void take(GstSample* sample)
    {
        auto player = owner.lock();
        GstVideoInfo info;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        if (buffer && GST_BUFFER_PTS_IS_VALID(buffer)) {
            GstClockTime at = GST_BUFFER_PTS(buffer);
            GstClockTime ends = at + (GST_BUFFER_DURATION_IS_VALID(buffer) ? GST_BUFFER_DURATION(buffer) : 0);
            std::lock_guard lock(timesMutex);
            if (times.samples++ == 0)
                times.first = at;
            times.last = at;
            if (times.end == GST_CLOCK_TIME_NONE || ends > times.end)
                times.end = ends;
        }
        GstMapInfo map;
        if (player && gst_video_info_from_caps(&info, gst_sample_get_caps(sample)) &&
            gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            int width = GST_VIDEO_INFO_WIDTH(&info), height = GST_VIDEO_INFO_HEIGHT(&info);
            int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
            gfx::SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
            uint8_t* out = cairo_image_surface_get_data(surface.get());
            int outStride = cairo_image_surface_get_stride(surface.get());
            for (int y = 0; y < height; ++y)
                std::memcpy(out + size_t(y) * size_t(outStride), map.data + size_t(y) * size_t(stride),
                            size_t(std::min(stride, outStride)));
            cairo_surface_mark_dirty(surface.get());
            gst_buffer_unmap(buffer, &map);
            {
                std::lock_guard lock(player->m_frameMutex);
                player->m_frame = std::move(surface);
            }
            // One repaint waiting at a time, however fast frames come.
            if (!player->m_repaintPosted.exchange(true)) {
                std::weak_ptr<Player> weak = player;
                base::RunLoop::main().post([weak] {
                    if (auto p = weak.lock()) {
                        p->m_repaintPosted = false;
                        if (p->m_onFrame)
                            p->m_onFrame();
                    }
                });
            }
        }
        gst_sample_unref(sample);
    }

    static GstBusSyncReply onMessage(GstBus*, GstMessage* message, gpointer data)
    {
        auto* self = static_cast<PlayerPipeline*>(data);
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ASYNC_DONE:
            // Only the first preroll tells which streams the file holds.
            if (self->prerolled.exchange(true))
                break;
            [[fallthrough]];
        case GST_MESSAGE_EOS:
        case GST_MESSAGE_ERROR: {
            std::weak_ptr<Player> weak = self->owner;
            gst_message_ref(message);
            base::RunLoop::main().post([weak, message] {
                if (auto p = weak.lock())
                    p->handleMessage(message);
                gst_message_unref(message);
            });
            break;
        }
        default:
            break;
        }
        gst_message_unref(message);
        return GST_BUS_DROP;
    }
};

std::shared_ptr<Player> Player::create()
{
    initialise();
    auto player = std::shared_ptr<Player>(new Player());
    std::weak_ptr<Player> weak = player;
    // The pipeline's streaming threads end with the application, whoever still holds the player.
    player->m_backgroundWork = base::BackgroundWork::add("media pipeline", [weak] {
        if (auto held = weak.lock())
            held->m_pipeline.reset();
        return size_t(0);
    });
    return player;
}

Player::~Player()
{
    base::BackgroundWork::remove(m_backgroundWork);
    m_pipeline.reset();
}

void Player::setAudioEnabled(bool enabled)
{
    g_audio = enabled;
}

void Player::fail(Problem problem, const std::string& message)
{
    m_state = State::Error;
    m_problem = problem;
    m_error = message;
    base::logf("Player: %s", message.c_str());
    if (m_onFrame)
        m_onFrame();
}

bool Player::play(const std::string& path)
{
    m_pipeline.reset();
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(path, ec)) {
        fail(Problem::Missing, "The video file is missing.");
        return false;
    }
    auto pipeline = std::make_unique<PlayerPipeline>();
    pipeline->owner = weak_from_this();
    pipeline->playbin = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!pipeline->playbin || !sink) {
        if (sink)
            gst_object_unref(sink);
        fail(Problem::NotPlayable, "Video playback is not available.");
        return false;
    }
    gst_object_ref_sink(pipeline->playbin);
    GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGRx");
    g_object_set(sink, "caps", caps, "max-buffers", 2, "drop", TRUE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &PlayerPipeline::onSample;
    callbacks.new_preroll = &PlayerPipeline::onPreroll;
    gst_app_sink_set_callbacks(GST_APP_SINK(sink), &callbacks, pipeline.get(), nullptr);
    g_object_set(pipeline->playbin, "video-sink", sink, nullptr);
    if (!g_audio) {
        if (GstElement* silent = gst_element_factory_make("fakesink", nullptr)) {
            g_object_set(silent, "sync", TRUE, nullptr);
            g_object_set(pipeline->playbin, "audio-sink", silent, nullptr);
        }
    }
    std::string uri = fileUri(path);
    g_object_set(pipeline->playbin, "uri", uri.c_str(), nullptr);
    GstBus* bus = gst_element_get_bus(pipeline->playbin);
    gst_bus_set_sync_handler(bus, &PlayerPipeline::onMessage, pipeline.get(), nullptr);
    gst_object_unref(bus);
    m_pipeline = std::move(pipeline);
    if (gst_element_set_state(m_pipeline->playbin, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        m_pipeline.reset();
        fail(Problem::NotPlayable, "The video cannot be played.");
        return false;
    }
    m_state = State::Playing;
    m_ended = false;
    m_lastPosition = 0;
    m_duration.reset();
    m_problem = Problem::None;
    m_error.clear();
    // The view's controls follow (and start their clock).
    if (m_onFrame)
        m_onFrame();
    return true;
}

void Player::pause()
{
    if (m_state != State::Playing || !m_pipeline)
        return;
    m_lastPosition = position();
    gst_element_set_state(m_pipeline->playbin, GST_STATE_PAUSED);
    m_state = State::Paused;
}

void Player::resume()
{
    if (!m_pipeline || (m_state != State::Paused && m_state != State::Stopped))
        return;
    if (m_ended)
        seek(0);
    g_object_set(m_pipeline->playbin, "mute", FALSE, nullptr);
    gst_element_set_state(m_pipeline->playbin, GST_STATE_PLAYING);
    m_state = State::Playing;
}

void Player::togglePause()
{
    if (m_state == State::Playing)
        pause();
    else
        resume();
}

void Player::seek(double seconds)
{
    if (!m_pipeline)
        return;
    double length = duration().value_or(0);
    seconds = std::max(0.0, length > 0 ? std::min(seconds, length) : seconds);
    // To the frame asked for, not the key frame before it: a dragged bar lands where it was let go.
    gst_element_seek_simple(m_pipeline->playbin, GST_FORMAT_TIME,
                            GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                            gint64(seconds * double(GST_SECOND)));
    m_ended = false;
    m_lastPosition = seconds;
    // The flush above has ended every frame from before the seek.
    m_pipeline->restartTimes();
    m_seekedTo = seconds;
    // A clip stopped at its end waits at the new place rather than starting over.
    if (m_state == State::Stopped)
        m_state = State::Paused;
}

double Player::position() const
{
    if (m_ended)
        return duration().value_or(m_lastPosition);
    gint64 at = 0;
    if (m_pipeline && m_state == State::Playing && gst_element_query_position(m_pipeline->playbin, GST_FORMAT_TIME, &at))
        return double(at) / double(GST_SECOND);
    // Paused or just moved: where it was left, as the pipeline may not say until its next frame.
    return m_lastPosition;
}

std::optional<double> Player::duration() const
{
    gint64 length = 0;
    // Before the first preroll a demuxer may answer with a guess; only a settled length is kept.
    if (!m_duration && m_pipeline && m_pipeline->prerolled &&
        gst_element_query_duration(m_pipeline->playbin, GST_FORMAT_TIME, &length) && length > 0)
        m_duration = double(length) / double(GST_SECOND);
    return m_duration;
}

void Player::stop()
{
    if (m_pipeline && m_pipeline->playbin)
        gst_element_set_state(m_pipeline->playbin, GST_STATE_PAUSED);
    if (m_pipeline && m_pipeline->playbin)
        g_object_set(m_pipeline->playbin, "mute", TRUE, nullptr);
    if (m_state == State::Playing || m_state == State::Paused)
        m_state = State::Stopped;
}

void Player::handleMessage(void* raw)
{
    auto* message = static_cast<GstMessage*>(raw);
    if (!m_pipeline)
        return;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ASYNC_DONE) {
        gint videoStreams = 0, audioStreams = 0;
        g_object_get(m_pipeline->playbin, "n-video", &videoStreams, "n-audio", &audioStreams, nullptr);
        if (videoStreams == 0 && audioStreams > 0 && m_problem == Problem::None) {
            m_problem = Problem::SoundOnly;
            if (m_onFrame)
                m_onFrame();
        }
        return;
    }
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        ++m_endOfStreams;
        if (m_repeats && m_state == State::Playing) {
            m_pipeline->restartTimes();
            m_seekedTo = 0;
            gst_element_seek_simple(m_pipeline->playbin, GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
        } else {
            if (endedEarly()) {
                // The rest of the clip is missing or its times are broken: say so rather than
                // showing a clip that seems to have played to its end.
                gst_element_set_state(m_pipeline->playbin, GST_STATE_NULL);
                fail(Problem::NotPlayable, "The video ends before its stated length.");
                return;
            }
            // Stopped on the last frame.
            gst_element_set_state(m_pipeline->playbin, GST_STATE_PAUSED);
            m_state = State::Stopped;
            m_ended = true;
        }
        return;
    }
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::string text = error && error->message ? error->message : "unknown error";
    if (error)
        g_error_free(error);
    gst_element_set_state(m_pipeline->playbin, GST_STATE_NULL);
    fail(Problem::NotPlayable, "The video cannot be played: " + text);
}

bool Player::endedEarly() const
{
    // Judged by the frames that arrived, not by the position the demuxer reports: after a
    // seek into a cut file some demuxers answer with the stated length though nothing came.
    PlayerPipeline::Times times = m_pipeline->arrived();
    constexpr double kSecond = double(GST_SECOND);
    // Several frames closer together than any real clip's: the file's times are broken, not
    // its picture (whichever parser stamped them, they play in a blink).
    if (times.samples >= 3 && double(times.last - times.first) < double(times.samples - 1) * kSecond / 300)
        return true;
    std::optional<double> length = duration();
    if (!length)
        return false;
    double reached;
    if (m_problem == Problem::SoundOnly) {
        gint64 at = 0;
        reached = m_lastPosition;
        if (gst_element_query_position(m_pipeline->playbin, GST_FORMAT_TIME, &at) && at >= 0)
            reached = std::max(reached, double(at) / kSecond);
    } else if (times.samples == 0) {
        // No picture since the start or the seek: the clip holds nothing past that point.
        reached = m_seekedTo;
    } else {
        double last = double(times.last) / kSecond, ends = double(times.end) / kSecond;
        // A frame without a duration lasts as long as the gap before it.
        double step = times.samples > 1 ? double(times.last - times.first) / kSecond / double(times.samples - 1) : 0;
        reached = std::max(ends, last + step);
    }
    // Containers round their lengths; a cut file falls short by far more.
    return reached + std::max(0.5, *length * 0.05) < *length;
}

gfx::SurfaceRef Player::currentFrame() const
{
    std::lock_guard lock(m_frameMutex);
    return m_frame;
}

// Play or pause as a drawn glyph: a triangle while paused, two bars while playing.
class PlayPauseButton : public ui::Button {
public:
    explicit PlayPauseButton(const gfx::Rect& frame)
        : ui::Button(ui::ButtonType::Custom, frame)
    {
    }
    const char* className() const override { return "PlayPauseButton"; }
    std::string accessibilityText() const override { return isSelected() ? "Pause" : "Play"; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override
    {
        ui::Button::drawRect(context, rect);
        cairo_t* cr = context.cairo();
        double cx = bounds().width() / 2, cy = bounds().height() / 2, r = std::min(cx, cy) * 0.55;
        cairo_save(cr);
        cairo_set_source_rgba(cr, 1, 1, 1, isHighlighted() ? 0.6 : 1);
        if (isSelected()) {
            cairo_rectangle(cr, cx - r * 0.8, cy - r, r * 0.55, 2 * r);
            cairo_rectangle(cr, cx + r * 0.25, cy - r, r * 0.55, 2 * r);
        } else {
            cairo_move_to(cr, cx - r * 0.7, cy - r);
            cairo_line_to(cr, cx + r, cy);
            cairo_line_to(cr, cx - r * 0.7, cy + r);
            cairo_close_path(cr);
        }
        cairo_fill(cr);
        cairo_restore(cr);
    }
};

std::string formatPlaybackTime(double seconds)
{
    long whole = std::isfinite(seconds) && seconds > 0 ? long(std::floor(seconds + 1e-6)) : 0;
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", whole / 60, whole % 60);
    return text;
}

PlayerView::PlayerView(const gfx::Rect& frame)
    : ui::View(frame)
{
    buildControls();
}

PlayerView::~PlayerView()
{
    if (m_refresh)
        m_refresh->invalidate();
    if (m_player)
        m_player->setFrameHandler({});
    if (isFirstResponder())
        resignFirstResponder();
}

void PlayerView::buildControls()
{
    m_controls = ui::View::make<ui::View>(gfx::Rect{});
    m_controls->setBackgroundColor(gfx::Color::fromWhite(0, 0.55));
    addSubview(m_controls);

    m_playPause = ui::View::make<PlayPauseButton>(gfx::Rect{});
    m_playPause->addTarget([this](ui::Control&) {
        if (m_player)
            m_player->togglePause();
        showControls();
    }, ui::ControlEventTouchUpInside);
    m_controls->addSubview(m_playPause);

    auto timeLabel = [this](gfx::TextAlignment alignment) {
        auto label = ui::View::make<ui::Label>(gfx::Rect{});
        label->setFont(gfx::Font::systemFont(14));
        label->setTextColor(gfx::Color::white());
        label->setBackgroundColor(std::nullopt);
        label->setTextAlignment(alignment);
        m_controls->addSubview(label);
        return label;
    };
    m_elapsed = timeLabel(gfx::TextAlignment::Right);
    m_remaining = timeLabel(gfx::TextAlignment::Left);

    m_positionBar = ui::View::make<ui::Slider>(gfx::Rect{});
    m_positionBar->setContinuous(true);
    // The time follows the finger; the player moves once the bar is let go.
    m_positionBar->addTarget([this](ui::Control&) {
        showTimes(m_positionBar->value(), m_positionBar->maximumValue());
        m_shownAt = base::RunLoop::main().now();
    }, ui::ControlEventValueChanged);
    m_positionBar->addTarget([this](ui::Control&) {
        if (m_player)
            m_player->seek(m_positionBar->value());
        showControls();
    }, ui::ControlEventTouchUpInside | ui::ControlEventTouchUpOutside);
    m_controls->addSubview(m_positionBar);

    m_done = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect{});
    m_done->setTitle("Done");
    m_done->setTitleColor(gfx::Color::white());
    m_done->titleLabel().setFont(gfx::Font::boldSystemFont(15));
    m_done->addTarget([this](ui::Control&) {
        if (auto done = m_onDone)
            done();
    }, ui::ControlEventTouchUpInside);
    m_controls->addSubview(m_done);
    showTimes(0, 0);
}

void PlayerView::layoutSubviews()
{
    double w = bounds().width(), h = bounds().height();
    m_controls->setFrame(gfx::Rect(0, h - kControlsHeight, w, kControlsHeight));
    m_playPause->setFrame(gfx::Rect(8, 5, 34, 34));
    m_elapsed->setFrame(gfx::Rect(46, 0, 64, kControlsHeight));
    m_done->setFrame(gfx::Rect(w - 76, 5, 68, 34));
    m_remaining->setFrame(gfx::Rect(w - 146, 0, 64, kControlsHeight));
    double barX = 120, barW = std::max(0.0, w - 156 - barX);
    m_positionBar->setFrame(gfx::Rect(barX, (kControlsHeight - ui::Slider::kThumbSize) / 2, barW, ui::Slider::kThumbSize));
}

void PlayerView::setDoneTitle(const std::string& title)
{
    m_done->setTitle(title);
}

void PlayerView::setPlayer(std::shared_ptr<Player> player)
{
    if (m_player)
        m_player->setFrameHandler({});
    if (m_refresh) {
        m_refresh->invalidate();
        m_refresh.reset();
    }
    m_player = std::move(player);
    if (m_player) {
        PlayerView* self = this;
        m_player->setFrameHandler([self] {
            self->setNeedsDisplay();
            self->refreshControls();
        });
    }
    showControls();
    setNeedsDisplay();
}

bool PlayerView::controlsShown() const
{
    return !m_controls->isHidden();
}

void PlayerView::showControls()
{
    m_shownAt = base::RunLoop::main().now();
    refreshControls();
    if (!m_player || m_player->state() != Player::State::Error)
        m_controls->setHidden(false);
}

void PlayerView::showTimes(double position, double duration)
{
    m_elapsed->setText(formatPlaybackTime(position));
    if (!(duration > 0)) {
        m_remaining->setText("--:--");
        return;
    }
    // Counted up to the next whole second, so "-0:00" means the very end.
    double left = std::max(0.0, duration - position);
    m_remaining->setText("-" + formatPlaybackTime(std::ceil(left - 1e-6)));
}

void PlayerView::refreshControls()
{
    if (!m_player)
        return;
    Player::State state = m_player->state();
    bool playing = state == Player::State::Playing;
    m_playPause->setSelected(playing);
    if (!m_positionBar->isTracking()) {
        double length = m_player->duration().value_or(0);
        double at = std::min(m_player->position(), length > 0 ? length : m_player->position());
        m_positionBar->setMaximumValue(std::max(length, 0.001));
        m_positionBar->setValue(at);
        showTimes(at, length);
    }
    // The clock moves only while playing: paused or ended, nothing wakes the loop.
    keepRefreshing(playing);
    if (state == Player::State::Error) {
        m_controls->setHidden(true);
        return;
    }
    // Out of the picture's way while it plays; always there when it does not.
    if (playing && !m_positionBar->isTracking() && base::RunLoop::main().now() - m_shownAt >= kHideAfter)
        m_controls->setHidden(true);
    else if (!playing)
        m_controls->setHidden(false);
}

void PlayerView::keepRefreshing(bool on)
{
    if (on && !m_refresh)
        m_refresh = base::Timer::scheduled(0.25, true, [this](base::Timer&) { refreshControls(); });
    else if (!on && m_refresh) {
        m_refresh->invalidate();
        m_refresh.reset();
    }
}

ui::Button& PlayerView::playPauseButton() const
{
    return *m_playPause;
}

void PlayerView::insertText(const std::string& text)
{
    if (text != " " || !m_player)
        return;
    m_player->togglePause();
    showControls();
}

void PlayerView::touchesEnded(const std::vector<ui::Touch*>& touches, ui::Event& event)
{
    ui::View::touchesEnded(touches, event);
    showControls();
}

void PlayerView::setProblemTexts(std::string missing, std::string notPlayable, std::string soundOnly)
{
    m_missingText = std::move(missing);
    m_notPlayableText = std::move(notPlayable);
    m_soundOnlyText = std::move(soundOnly);
    setNeedsDisplay();
}

std::string PlayerView::problemText() const
{
    switch (m_player ? m_player->problem() : Player::Problem::None) {
    case Player::Problem::Missing:
        return m_missingText;
    case Player::Problem::NotPlayable:
        return m_notPlayableText;
    case Player::Problem::SoundOnly:
        return m_soundOnlyText;
    case Player::Problem::None:
        break;
    }
    return {};
}

std::string PlayerView::accessibilityText() const
{
    return problemText();
}

void PlayerView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    if (!m_player)
        return;
    gfx::Rect box(gfx::Point{}, bounds().size);
    if (std::string text = problemText(); !text.empty()) {
        gfx::Font font = gfx::Font::boldSystemFont(18);
        double h = font.lineHeight() * 3;
        context.drawText(text, gfx::Rect(20, (box.height() - h) / 2, box.width() - 40, h), font,
                         gfx::Color::fromWhite(0.2), gfx::TextAlignment::Center);
        return;
    }
    gfx::SurfaceRef frame = m_player->currentFrame();
    if (!frame)
        return;
    double w = cairo_image_surface_get_width(frame.get()), h = cairo_image_surface_get_height(frame.get());
    if (w <= 0 || h <= 0)
        return;
    gfx::Rect fit = ui::rectForContentMode(ui::ContentMode::ScaleAspectFit, {w, h}, box);
    cairo_t* cr = context.cairo();
    cairo_save(cr);
    cairo_rectangle(cr, fit.x(), fit.y(), fit.width(), fit.height());
    cairo_clip(cr);
    cairo_translate(cr, fit.x(), fit.y());
    cairo_scale(cr, fit.width() / w, fit.height() / h);
    cairo_set_source_surface(cr, frame.get(), 0, 0);
    // Moving pictures: a bilinear filter keeps up with the frame rate where cairo's default
    // downscaling filter costs several times as much per frame.
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_BILINEAR);
    cairo_paint(cr);
    cairo_restore(cr);
    m_player->noteFrameDrawn();
}

std::optional<double> durationOfFile(const std::string& path)
{
    initialise();
    std::string uri = fileUri(path);
    if (uri.empty())
        return std::nullopt;
    GError* error = nullptr;
    GstDiscoverer* discoverer = gst_discoverer_new(5 * GST_SECOND, &error);
    if (!discoverer) {
        if (error)
            g_error_free(error);
        return std::nullopt;
    }
    GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, uri.c_str(), &error);
    std::optional<double> seconds;
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
        GstClockTime duration = gst_discoverer_info_get_duration(info);
        if (GST_CLOCK_TIME_IS_VALID(duration))
            seconds = double(duration) / double(GST_SECOND);
    }
    if (info)
        gst_discoverer_info_unref(info);
    if (error)
        g_error_free(error);
    g_object_unref(discoverer);
    return seconds;
}

} // namespace media
