#include "Platform/Media/Player.h"

#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <gst/video/video.h>

#include <filesystem>
#include <mutex>

namespace media {

namespace {

std::atomic<bool> g_audio{true};

void initialise()
{
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
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
        auto* self = static_cast<PlayerPipeline*>(data);
        GstSample* sample = gst_app_sink_pull_sample(sink);
        if (!sample)
            return GST_FLOW_EOS;
        auto player = self->owner.lock();
        GstVideoInfo info;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
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
        return GST_FLOW_OK;
    }

    static GstBusSyncReply onMessage(GstBus*, GstMessage* message, gpointer data)
    {
        auto* self = static_cast<PlayerPipeline*>(data);
        switch (GST_MESSAGE_TYPE(message)) {
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
    return std::shared_ptr<Player>(new Player());
}

Player::~Player()
{
    m_pipeline.reset();
}

void Player::setAudioEnabled(bool enabled)
{
    g_audio = enabled;
}

void Player::fail(const std::string& message)
{
    m_state = State::Error;
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
        fail("The video file is missing.");
        return false;
    }
    auto pipeline = std::make_unique<PlayerPipeline>();
    pipeline->owner = weak_from_this();
    pipeline->playbin = gst_element_factory_make("playbin", nullptr);
    GstElement* sink = gst_element_factory_make("appsink", nullptr);
    if (!pipeline->playbin || !sink) {
        if (sink)
            gst_object_unref(sink);
        fail("Video playback is not available.");
        return false;
    }
    gst_object_ref_sink(pipeline->playbin);
    GstCaps* caps = gst_caps_from_string("video/x-raw,format=BGRx");
    g_object_set(sink, "caps", caps, "max-buffers", 2, "drop", TRUE, nullptr);
    gst_caps_unref(caps);
    GstAppSinkCallbacks callbacks{};
    callbacks.new_sample = &PlayerPipeline::onSample;
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
        fail("The video cannot be played.");
        return false;
    }
    m_state = State::Playing;
    m_error.clear();
    return true;
}

void Player::stop()
{
    if (m_pipeline && m_pipeline->playbin)
        gst_element_set_state(m_pipeline->playbin, GST_STATE_PAUSED);
    if (m_pipeline && m_pipeline->playbin)
        g_object_set(m_pipeline->playbin, "mute", TRUE, nullptr);
    if (m_state == State::Playing)
        m_state = State::Stopped;
}

void Player::handleMessage(void* raw)
{
    auto* message = static_cast<GstMessage*>(raw);
    if (!m_pipeline)
        return;
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS) {
        ++m_endOfStreams;
        if (m_repeats && m_state == State::Playing) {
            gst_element_seek_simple(m_pipeline->playbin, GST_FORMAT_TIME,
                                    GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_KEY_UNIT), 0);
        } else {
            // Stopped on the last frame.
            gst_element_set_state(m_pipeline->playbin, GST_STATE_PAUSED);
            m_state = State::Stopped;
        }
        return;
    }
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    std::string text = error && error->message ? error->message : "unknown error";
    if (error)
        g_error_free(error);
    gst_element_set_state(m_pipeline->playbin, GST_STATE_NULL);
    fail("The video cannot be played: " + text);
}

gfx::SurfaceRef Player::currentFrame() const
{
    std::lock_guard lock(m_frameMutex);
    return m_frame;
}

PlayerView::PlayerView(const gfx::Rect& frame)
    : ui::View(frame)
{
}

PlayerView::~PlayerView()
{
    if (m_player)
        m_player->setFrameHandler({});
}

void PlayerView::setPlayer(std::shared_ptr<Player> player)
{
    if (m_player)
        m_player->setFrameHandler({});
    m_player = std::move(player);
    if (m_player) {
        ui::View* self = this;
        m_player->setFrameHandler([self] { self->setNeedsDisplay(); });
    }
    setNeedsDisplay();
}

std::string PlayerView::accessibilityText() const
{
    return m_player && m_player->state() == Player::State::Error ? m_player->errorMessage() : std::string();
}

void PlayerView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    if (!m_player)
        return;
    gfx::Rect box(gfx::Point{}, bounds().size);
    if (m_player->state() == Player::State::Error) {
        gfx::Font font = gfx::Font::boldSystemFont(18);
        double h = font.lineHeight() * 3;
        context.drawText(m_player->errorMessage(), gfx::Rect(20, (box.height() - h) / 2, box.width() - 40, h), font,
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
