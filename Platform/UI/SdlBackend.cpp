#include "Platform/Base/Log.h"
#include "Platform/Base/Pasteboard.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/UI/Backend.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Keyboard.h"
#include "Platform/UI/MessageBoxPicture.h"
#include "Platform/UI/Responder.h"
#include "Platform/UI/ScrollView.h"
#include "Platform/UI/ViewController.h"
#include "Platform/UI/Window.h"
#include "Platform/UI/X11KeyText.h"

#include <SDL2/SDL.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

namespace ui {

namespace {

constexpr int kMouseFinger = 1;
constexpr int kMirrorFinger = 2;
constexpr double kFrameSeconds = 1.0 / 60;
// Points of content one wheel notch scrolls.
constexpr double kWheelStep = ScrollView::kWheelNotch;
// How long the main loop sleeps at most when nothing at all is due.
constexpr double kIdleSlice = 5;

// A real window. The mouse is one finger; with Ctrl held a second finger mirrors it around the
// window's centre, so pinches can be made with a mouse. The 1024x768 points are scaled to fit
// whatever size the window is given.
class SdlBackend : public Backend {
public:
    ~SdlBackend() override
    {
        base::RunLoop::main().setWakeHandler({});
        if (m_ownsClipboard)
            base::Pasteboard::setSystemClipboard(std::nullopt);
        if (m_texture)
            SDL_DestroyTexture(m_texture);
        if (m_renderer)
            SDL_DestroyRenderer(m_renderer);
        if (m_sdlWindow)
            SDL_DestroyWindow(m_sdlWindow);
        if (m_initialised)
            SDL_Quit();
    }

    bool open()
    {
        // SIGTERM is the application's to handle (it saves before leaving), not SDL's.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_Init(SDL_INIT_VIDEO) != 0) {
            base::log(std::string("SDL: ") + SDL_GetError());
            return false;
        }
        m_initialised = true;
        m_sdlWindow = SDL_CreateWindow("Brivanta", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                       static_cast<int>(Window::kScreenSize.width),
                                       static_cast<int>(Window::kScreenSize.height),
                                       SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
        if (!m_sdlWindow) {
            base::log(std::string("SDL: ") + SDL_GetError());
            return false;
        }
        m_renderer = SDL_CreateRenderer(m_sdlWindow, -1, 0);
        if (!m_renderer) {
            base::log(std::string("SDL: ") + SDL_GetError());
            return false;
        }
        SDL_StartTextInput();
        m_composing = true;
        // The desktop's own key events tell what the layout types (see SDL_SYSWMEVENT below).
        SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE);
        // A desktop: nothing covers the window while a field is edited, and copy and paste
        // go through the desktop's clipboard.
        Keyboard::setOnScreen(false);
        base::Pasteboard::setSystemClipboard(base::Pasteboard::Clipboard{
            [] {
                char* text = SDL_GetClipboardText();
                std::optional<std::string> result;
                if (text && *text)
                    result = std::string(text);
                SDL_free(text);
                return result;
            },
            [](const std::string& text) { return SDL_SetClipboardText(text.c_str()) == 0; }});
        m_ownsClipboard = true;
        m_wakeEvent = SDL_RegisterEvents(1);
        // Work posted from other threads cuts the window's wait short.
        if (m_wakeEvent != static_cast<Uint32>(-1))
            base::RunLoop::main().setWakeHandler([type = m_wakeEvent] {
                SDL_Event wake{};
                wake.type = type;
                SDL_PushEvent(&wake);
            });
        return true;
    }

    void processEvents(double seconds) override { pump(seconds); }

    int run(Application& app, const Application::Options& options, std::shared_ptr<ApplicationDelegate> delegate) override
    {
        app.setTerminationHandler([this] { m_quit = true; });
        if (!app.launch(std::move(delegate)))
            return 1;
        int status = 0;
        if (!options.script.empty()) {
            Window* window = Window::keyWindow();
            if (!window)
                return 1;
            Driver driver(*window);
            driver.setWaitHandler([this](double seconds) { pump(seconds); });
            // A script turns the device the way a person does here: by reshaping the window.
            driver.setRotateHandler([this, window](InterfaceOrientation orientation) {
                gfx::Size size = Window::screenSizeForOrientation(orientation);
                SDL_SetWindowSize(m_sdlWindow, int(size.width), int(size.height));
                for (int i = 0; i < 50 && window->interfaceOrientation() != orientation && !m_quit; ++i)
                    pump(0.02);
                return window->interfaceOrientation() == orientation;
            });
            ScriptRunner runner(driver);
            if (!runner.runFile(options.script)) {
                base::log("script failed: " + runner.error());
                status = 1;
            }
            if (!options.screenshot.empty() && !driver.screenshot(options.screenshot))
                status = 1;
            app.terminate();
            return status;
        }
        if (!options.screenshot.empty()) {
            // Right after start-up, as a headless run saves it; the window stays for its user.
            pump(0.5);
            Window* window = Window::keyWindow();
            if (!m_quit && (!window || !Driver(*window).screenshot(options.screenshot)))
                base::log("cannot write " + options.screenshot);
        }
        while (!m_quit)
            pump(kIdleSlice);
        app.terminate();
        return status;
    }

private:
    // Handles input, runs the loop and draws what changed for `seconds` of real time. Between
    // frames it sleeps until an event, the next timer or the next frame of something moving.
    void pump(double seconds)
    {
        auto& loop = base::RunLoop::main();
        double end = loop.now() + seconds;
        while (!m_quit) {
            SDL_Event event;
            while (SDL_PollEvent(&event)) {
                handle(event);
                updateComposition();
            }
            double now = loop.now();
            if (m_motionPending && now >= m_nextMotion) {
                flushMotion();
                m_nextMotion = now + kFrameSeconds;
            }
            loop.runPending();
            updateComposition();
            now = loop.now();
            Window* window = Window::keyWindow();
            bool wantsFrame = m_needsPresent || (window && (window->prepareFrame() || window != m_shownWindow));
            if (wantsFrame && now >= m_nextFrame) {
                draw();
                m_nextFrame = now + kFrameSeconds;
                wantsFrame = false;
            }
            if (now >= end)
                break;
            double wait = end - now;
            if (auto work = loop.secondsUntilWork())
                wait = std::min(wait, *work);
            if (wantsFrame || (window && window->hasRunningAnimations()))
                wait = std::min(wait, std::max(0.0, m_nextFrame - now));
            if (m_motionPending)
                wait = std::min(wait, std::max(0.0, m_nextMotion - now));
            int ms = static_cast<int>(std::ceil(wait * 1000));
            if (ms > 0)
                SDL_WaitEventTimeout(nullptr, ms);
        }
    }

    // Moves of the mouse finger are held and delivered once a frame, as a tablet reports them.
    void flushMotion()
    {
        if (!m_motionPending)
            return;
        m_motionPending = false;
        Window* window = Window::keyWindow();
        if (!window)
            return;
        window->touchMoved(kMouseFinger, m_pendingMotion);
        if (m_mirrored)
            window->touchMoved(kMirrorFinger, mirror(m_pendingMotion));
    }

    // The points shown: 1024x768, or 768x1024 once turned.
    static gfx::Size screenPoints()
    {
        Window* window = Window::keyWindow();
        return window ? window->bounds().size : Window::kScreenSize;
    }

    // Window pixels to points, undoing the letterbox.
    gfx::Point toPoints(int x, int y) const
    {
        int w = 0, h = 0;
        SDL_GetWindowSize(m_sdlWindow, &w, &h);
        gfx::Size screen = screenPoints();
        double s = std::min(w / screen.width, h / screen.height);
        double ox = (w - screen.width * s) / 2, oy = (h - screen.height * s) / 2;
        return {(x - ox) / s, (y - oy) / s};
    }

    gfx::Point mirror(gfx::Point p) const
    {
        gfx::Size screen = screenPoints();
        return {screen.width - p.x, screen.height - p.y};
    }

    // A window reshaped taller than wide turns the screen to portrait, wider turns it back,
    // as far as the screen shown allows.
    void windowResized(int width, int height)
    {
        Window* window = Window::keyWindow();
        if (!window || width <= 0 || height <= 0)
            return;
        window->rotateToInterfaceOrientation(height > width ? InterfaceOrientation::Portrait
                                                            : InterfaceOrientation::LandscapeLeft);
    }

    void handle(const SDL_Event& event)
    {
        Window* window = Window::keyWindow();
        // Whatever comes after a move sees the finger where it was moved to.
        if (event.type != SDL_MOUSEMOTION && event.type != m_wakeEvent)
            flushMotion();
        switch (event.type) {
        case SDL_QUIT:
            m_quit = true;
            Application::shared().requestTermination();
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_MINIMIZED)
                Application::shared().enterBackground();
            else if (event.window.event == SDL_WINDOWEVENT_RESTORED)
                Application::shared().enterForeground();
            else if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                Application::shared().resignActive();
            else if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                Application::shared().becomeActive();
            else if (event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                windowResized(event.window.data1, event.window.data2);
            // The screen lost what was shown: show the kept frame again.
            m_needsPresent = true;
            break;
        case SDL_MOUSEBUTTONDOWN:
            if (window && event.button.button == SDL_BUTTON_LEFT) {
                gfx::Point p = toPoints(event.button.x, event.button.y);
                window->touchDown(kMouseFinger, p);
                m_mirrored = (SDL_GetModState() & KMOD_CTRL) != 0;
                if (m_mirrored)
                    window->touchDown(kMirrorFinger, mirror(p));
            }
            break;
        case SDL_MOUSEMOTION:
            if (window && (event.motion.state & SDL_BUTTON_LMASK)) {
                m_pendingMotion = toPoints(event.motion.x, event.motion.y);
                m_motionPending = true;
            } else if (window) {
                window->setPointerLocation(toPoints(event.motion.x, event.motion.y));
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (window && event.button.button == SDL_BUTTON_LEFT) {
                gfx::Point p = toPoints(event.button.x, event.button.y);
                window->touchUp(kMouseFinger, p);
                if (m_mirrored)
                    window->touchUp(kMirrorFinger, mirror(p));
                m_mirrored = false;
            }
            break;
        case SDL_MOUSEWHEEL:
            if (window) {
                // Where the pointer was when the wheel turned.
                int x = event.wheel.mouseX, y = event.wheel.mouseY;
                double flip = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -1 : 1;
                // Wheel up shows what lies above; touchpads report fractions of a notch.
                window->scrollWheel(toPoints(x, y), event.wheel.preciseX * flip * kWheelStep,
                                    -event.wheel.preciseY * flip * kWheelStep);
            }
            break;
        case SDL_TEXTINPUT:
            // Without composition the characters come from the keys themselves.
            if (window && m_composing)
                window->typeText(event.text.text);
            break;
        case SDL_TEXTEDITING:
            if (window && m_composing)
                window->setMarkedText(event.edit.text);
            break;
        case SDL_SYSWMEVENT:
            // Comes just before the key event SDL makes of it. An input method that took a
            // modifier's release leaves SDL's modifier state stale; the layout's text for
            // the key, under the modifiers the desktop holds, is what the user typed.
            if (auto text = x11KeyPressText(event.syswm.msg))
                m_layoutText = std::move(text);
            m_desktopShift = x11KeyPressShift(event.syswm.msg);
            break;
        case SDL_KEYDOWN: {
            auto layoutText = std::exchange(m_layoutText, std::nullopt);
            auto desktopShift = std::exchange(m_desktopShift, std::nullopt);
            if (!window)
                break;
            SDL_Keysym keysym = event.key.keysym;
            // Shift+Tab and the selecting arrows follow the Shift the desktop held, too.
            if (desktopShift)
                keysym.mod = static_cast<Uint16>(*desktopShift ? (keysym.mod | KMOD_LSHIFT) : (keysym.mod & ~KMOD_SHIFT));
            if (std::string key = keyName(keysym); !key.empty())
                window->pressKey(key);
            else if (!m_composing)
                if (std::string text = layoutText ? *layoutText : directCharacter(keysym); !text.empty())
                    window->typeText(text);
            break;
        }
        default:
            break;
        }
    }

    // The window's name for a key with its modifiers; empty for keys that arrive as text.
    static std::string keyName(const SDL_Keysym& key)
    {
        bool shift = (key.mod & KMOD_SHIFT) != 0;
        bool ctrl = (key.mod & KMOD_CTRL) != 0;
        switch (key.sym) {
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return "\n";
        case SDLK_BACKSPACE: return "\b";
        case SDLK_TAB: return shift ? "shift+\t" : "\t";
        case SDLK_PAGEUP: return "pageup";
        case SDLK_PAGEDOWN: return "pagedown";
        case SDLK_UP: return "up";
        case SDLK_DOWN: return "down";
        case SDLK_ESCAPE: return "escape";
        case SDLK_LEFT: return shift ? "shift+left" : "left";
        case SDLK_RIGHT: return shift ? "shift+right" : "right";
        case SDLK_HOME: return shift ? "shift+home" : "home";
        case SDLK_END: return shift ? "shift+end" : "end";
        case SDLK_DELETE: return "delete";
        case SDLK_a: return ctrl ? "ctrl+a" : "";
        case SDLK_c: return ctrl ? "ctrl+c" : "";
        case SDLK_x: return ctrl ? "ctrl+x" : "";
        case SDLK_v: return ctrl ? "ctrl+v" : "";
        default: return "";
        }
    }

    // The character a key types by itself, for fields that take no composition, when the
    // desktop did not say: the key's own character, shifted as on a US keyboard; empty for
    // keys that type nothing.
    static std::string directCharacter(const SDL_Keysym& key)
    {
        if ((key.mod & (KMOD_CTRL | KMOD_ALT | KMOD_GUI)) != 0 || key.sym < 0x20 || key.sym > 0x7e)
            return {};
        char c = static_cast<char>(key.sym);
        bool shift = (key.mod & KMOD_SHIFT) != 0;
        if (c >= 'a' && c <= 'z') {
            bool upper = shift != ((key.mod & KMOD_CAPS) != 0);
            return std::string(1, upper ? static_cast<char>(c - 'a' + 'A') : c);
        }
        static const std::string plain = "1234567890-=[]\\;',./`", shifted = "!@#$%^&*()_+{}|:\"<>?~";
        if (size_t at = plain.find(c); shift && at != std::string::npos)
            c = shifted[at];
        return std::string(1, c);
    }

    // Composition is on while the focused view takes it, and off for a hidden text, so an
    // input method neither shows nor swallows what is typed there.
    void updateComposition()
    {
        Window* window = Window::keyWindow();
        Responder* responder = window ? window->keyResponder() : nullptr;
        bool wanted = !responder || responder->acceptsComposition();
        if (wanted == m_composing)
            return;
        m_composing = wanted;
        if (wanted) {
            SDL_StartTextInput();
            m_textInputRect = {};
        } else {
            SDL_StopTextInput();
        }
    }

    // Keeps an input method's candidate list by the focused field's caret.
    void placeTextInput()
    {
        Window* window = Window::keyWindow();
        Responder* responder = window ? window->keyResponder() : nullptr;
        auto caret = responder ? responder->caretRectInWindow() : std::nullopt;
        if (!caret || *caret == m_textInputRect)
            return;
        m_textInputRect = *caret;
        SDL_Rect rect{static_cast<int>(caret->x()), static_cast<int>(caret->y()), std::max(1, static_cast<int>(caret->width())),
                      static_cast<int>(caret->height())};
        SDL_SetTextInputRect(&rect);
    }

    // Draws the window's dirty region into its kept frame and copies only those pixels into
    // the texture; the texture is shown again only when something in it changed.
    void draw()
    {
        Window* window = Window::keyWindow();
        if (!window)
            return;
        placeTextInput();
        int pw = 0, ph = 0;
        SDL_GetRendererOutputSize(m_renderer, &pw, &ph);
        gfx::Size screen = window->bounds().size;
        double s = std::min(pw / screen.width, ph / screen.height);
        if (s <= 0)
            return;
        const gfx::Context& frame = window->drawFrame(s);
        auto damage = window->takeFrameDamage();
        cairo_surface_t* surface = cairo_get_target(frame.cairo());
        int tw = cairo_image_surface_get_width(surface), th = cairo_image_surface_get_height(surface);
        bool whole = window != m_shownWindow;
        if (!m_texture || tw != m_textureWidth || th != m_textureHeight) {
            if (m_texture)
                SDL_DestroyTexture(m_texture);
            m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, tw, th);
            m_textureWidth = tw;
            m_textureHeight = th;
            whole = true;
        }
        if (!m_texture)
            return;
        m_shownWindow = window;
        const uint8_t* pixels = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        if (whole) {
            SDL_UpdateTexture(m_texture, nullptr, pixels, stride);
        } else {
            for (const auto& r : damage) {
                SDL_Rect part{r.x, r.y, r.width, r.height};
                SDL_UpdateTexture(m_texture, &part, pixels + static_cast<size_t>(r.y) * stride + static_cast<size_t>(r.x) * 4,
                                  stride);
            }
        }
        if (!whole && damage.empty() && !m_needsPresent)
            return;
        m_needsPresent = false;
        SDL_SetRenderDrawColor(m_renderer, 0, 0, 0, 255);
        SDL_RenderClear(m_renderer);
        SDL_Rect dst{(pw - tw) / 2, (ph - th) / 2, tw, th};
        SDL_RenderCopy(m_renderer, m_texture, nullptr, &dst);
        SDL_RenderPresent(m_renderer);
    }

    bool m_initialised = false;
    bool m_quit = false;
    bool m_mirrored = false;
    bool m_composing = false;
    // The text the desktop's layout gives the key press being handled, when it said.
    std::optional<std::string> m_layoutText;
    // Whether the desktop held Shift at that key press, when it said.
    std::optional<bool> m_desktopShift;
    bool m_ownsClipboard = false;
    bool m_needsPresent = true;
    gfx::Rect m_textInputRect;
    Uint32 m_wakeEvent = static_cast<Uint32>(-1);
    bool m_motionPending = false;
    gfx::Point m_pendingMotion;
    double m_nextMotion = 0;
    double m_nextFrame = 0;
    const Window* m_shownWindow = nullptr;
    SDL_Window* m_sdlWindow = nullptr;
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    int m_textureWidth = 0;
    int m_textureHeight = 0;
};

} // namespace

std::unique_ptr<Backend> Backend::makeWindowed()
{
    auto backend = std::make_unique<SdlBackend>();
    if (!backend->open())
        return nullptr;
    return backend;
}

bool Backend::showMessageBox(const std::string& title, const std::string& message, const std::string& button)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        base::log(std::string("SDL: ") + SDL_GetError());
        return false;
    }
    // Without a desktop SDL falls back to drivers no one sees (offscreen, the console): the
    // box would wait for an answer that cannot come.
    std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
    if (driver != "x11" && driver != "wayland") {
        SDL_Quit();
        return false;
    }
    // Drawn here with the program's own text stack: the desktop's message box draws with the
    // display's core fonts, which may have no glyph of the message's language.
    MessageBoxPicture box = MessageBoxPicture::render(message, button);
    int width = static_cast<int>(std::ceil(box.size.width)), height = static_cast<int>(std::ceil(box.size.height));
    SDL_Window* window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                          SDL_WINDOW_ALLOW_HIGHDPI);
    SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, 0) : nullptr;
    bool shown = false;
    if (renderer) {
        int pixelWidth = width, pixelHeight = height;
        SDL_GetRendererOutputSize(renderer, &pixelWidth, &pixelHeight);
        double scale = std::max(1.0, static_cast<double>(pixelWidth) / width);
        if (scale != 1)
            box = MessageBoxPicture::render(message, button, scale);
        cairo_surface_t* surface = box.image.cairoSurface();
        cairo_surface_flush(surface);
        int tw = cairo_image_surface_get_width(surface), th = cairo_image_surface_get_height(surface);
        SDL_Texture* texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC, tw, th);
        if (texture) {
            SDL_UpdateTexture(texture, nullptr, cairo_image_surface_get_data(surface), cairo_image_surface_get_stride(surface));
            shown = true;
            bool open = true;
            bool draw = true;
            while (open) {
                if (draw) {
                    SDL_RenderClear(renderer);
                    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
                    SDL_RenderPresent(renderer);
                    draw = false;
                }
                SDL_Event event;
                if (!SDL_WaitEvent(&event))
                    break;
                switch (event.type) {
                case SDL_QUIT:
                    open = false;
                    break;
                case SDL_WINDOWEVENT:
                    if (event.window.event == SDL_WINDOWEVENT_CLOSE)
                        open = false;
                    else if (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                             event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED)
                        draw = true;
                    break;
                case SDL_KEYDOWN:
                    if (event.key.keysym.sym == SDLK_RETURN || event.key.keysym.sym == SDLK_KP_ENTER ||
                        event.key.keysym.sym == SDLK_ESCAPE || event.key.keysym.sym == SDLK_SPACE)
                        open = false;
                    break;
                case SDL_MOUSEBUTTONUP:
                    if (box.buttonRect.contains({static_cast<double>(event.button.x), static_cast<double>(event.button.y)}))
                        open = false;
                    break;
                default:
                    break;
                }
            }
            SDL_DestroyTexture(texture);
        }
    }
    if (renderer)
        SDL_DestroyRenderer(renderer);
    if (window)
        SDL_DestroyWindow(window);
    SDL_Quit();
    return shown;
}

} // namespace ui
