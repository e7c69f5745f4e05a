#include "App/UITabBarControllerExt.h"

#include "App/BrivantaAppDelegate.h"
#include "App/HomeViewController.h"
#include "App/SettingsViewController.h"
#include "App/TabBarItemButton.h"
#include "Classes/Catalog/CatalogViewController.h"
#include "Classes/Catalog/InventoryViewController.h"
#include "Classes/Customer/CustomerViewController.h"
#include "Classes/Library/SaleslibraryController.h"
#include "Classes/Order/QuoteOrderHistoryController.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/ScreenPicture.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/LongPressGestureRecognizer.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/Window.h"
#include "Classes/Sync/SyncViewController.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

struct TabInfo {
    const char* captionKey;
    const char* icon;
    const char* selectedIcon;
};

// By tag; 7 is the settings button, which has no screen.
constexpr TabInfo kTabs[] = {
    {"HOME", "btn-home.png", "btn-home-on.png"},
    {"CATALOG", "btn-catalog.png", "btn-catalog-on.png"},
    {"CUSTOMER", "btn-customer.png", "btn-customer-on.png"},
    {"INVENTORY", "btn-inventory.png", "btn-inventory-on.png"},
    {"SALESLIBRARY", "btn-sales.png", "btn-sales-on.png"},
    {"ORDER", "btn-quote.png", "btn-quote-on.png"},
    {"SYNC", "btn-sync.png", "btn-sync-on.png"},
    {"SETTINGS", "Icon_Settings_40x40.png", "Icon_Settings_On_40x40.png"},
};

// Under this a caption cannot be read on the bar (small text).
constexpr double kMinimumCaptionContrast = 4.5;
// Under this an icon cannot be made out on the bar.
constexpr double kMinimumIconContrast = 3.0;

std::string hexOf(const gfx::Color& c)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", static_cast<int>(std::lround(c.r * 255)),
                  static_cast<int>(std::lround(c.g * 255)), static_cast<int>(std::lround(c.b * 255)));
    return text;
}

// The bar's mean colour where the captions sit, as drawn over the white screen.
gfx::Color meanColorOf(const gfx::Image& bar, gfx::Size barSize)
{
    if (bar.isNull())
        return gfx::Color::white();
    auto ctx = gfx::Context::createBitmap(barSize, 1);
    ctx->setFillColor(gfx::Color::white());
    ctx->fillRect({{0, 0}, barSize});
    ctx->drawImage(bar, {{0, 0}, barSize});
    gfx::Image drawn = ctx->makeImage();
    auto strip = gfx::Context::createBitmap({1, 1}, 1);
    strip->drawImage(drawn, {0, barSize.height / 2, barSize.width, barSize.height / 2}, {0, 0, 1, 1});
    return strip->makeImage().colorAt(0, 0).withAlpha(1);
}

// The contrast against the bar that the strongest tenth of a drawing's ink pixels (those that
// stand out from the bar at all) reach.
double inkContrast(const gfx::Image& drawn, const gfx::Color& bar)
{
    std::vector<double> ink;
    for (int y = 0; y < drawn.pixelHeight(); ++y)
        for (int x = 0; x < drawn.pixelWidth(); ++x)
            if (double c = gfx::Color::contrastRatio(drawn.colorAt(x, y).withAlpha(1), bar); c > 1.1)
                ink.push_back(c);
    if (ink.empty())
        return 21;
    auto tenth = ink.begin() + static_cast<long>(ink.size() * 9 / 10);
    std::nth_element(ink.begin(), tenth, ink.end());
    return *tenth;
}

// How a caption reads as drawn at one pixel a point, where small text is thinnest: the
// contrast against the bar that the strongest tenth of its ink reaches (a stroke's core, not
// one lucky pixel), at the worst of a few sub-pixel places.
double drawnContrast(const std::string& caption, const gfx::Color& color, const gfx::Color& bar)
{
    gfx::Font font = TabBarItemButton::captionFont();
    gfx::Size size = gfx::sizeOfText(caption, font);
    gfx::Size box{std::ceil(size.width) + 4, std::ceil(size.height) + 4};
    double worst = 21;
    for (double shift : {0.0, 0.25, 0.5, 0.75}) {
        auto ctx = gfx::Context::createBitmap(box, 1);
        ctx->setFillColor(bar);
        ctx->fillRect({{0, 0}, box});
        ctx->drawText(caption, gfx::Point{2 + shift, 2 + shift}, font, color);
        worst = std::min(worst, inkContrast(ctx->makeImage(), bar));
    }
    return worst;
}

// The worst of the captions as drawn in the colour on the bar.
double captionsContrast(const std::vector<std::string>& captions, const gfx::Color& color, const gfx::Color& bar)
{
    double worst = gfx::Color::contrastRatio(color, bar);
    for (const std::string& caption : captions)
        if (!caption.empty() && worst >= kMinimumCaptionContrast)
            worst = std::min(worst, drawnContrast(caption, color, bar));
    return worst;
}

gfx::Color mixed(const gfx::Color& from, const gfx::Color& to, double share)
{
    return {from.r + (to.r - from.r) * share, from.g + (to.g - from.g) * share, from.b + (to.b - from.b) * share, 1};
}

// The skin's caption colour when its captions read on the bar as drawn; else the default one
// for a bar this light or this dark, taken towards black or white until they read, and a log
// line saying so (none for a bar whose picture is still on its way: it is chosen again then).
gfx::Color readableCaptionColor(std::optional<gfx::Color> skin, gfx::Color lightBarDefault, gfx::Color darkBarDefault,
                                const gfx::Color& bar, const char* which, const std::vector<std::string>& captions,
                                bool say)
{
    gfx::Color wanted = skin.value_or(lightBarDefault);
    double contrast = captionsContrast(captions, wanted, bar);
    if (contrast >= kMinimumCaptionContrast)
        return wanted;
    gfx::Color fallback = gfx::Color::contrastRatio(lightBarDefault, bar) >= gfx::Color::contrastRatio(darkBarDefault, bar)
                              ? lightBarDefault
                              : darkBarDefault;
    // A bar of middle lightness reads under neither: towards black or white then, whichever reads.
    gfx::Color extreme = gfx::Color::contrastRatio(gfx::Color::black(), bar) >= gfx::Color::contrastRatio(gfx::Color::white(), bar)
                             ? gfx::Color::black()
                             : gfx::Color::white();
    gfx::Color chosen = extreme;
    for (int step = 0; step < 10; ++step) {
        gfx::Color candidate = mixed(fallback, extreme, step / 10.0);
        if (captionsContrast(captions, candidate, bar) >= kMinimumCaptionContrast) {
            chosen = candidate;
            break;
        }
    }
    if (say)
        base::logf("tab bar: %s label colour %s is %.2f:1 on the bar %s as drawn, under %.1f:1; using %s", which,
                   hexOf(wanted).c_str(), contrast, hexOf(bar).c_str(), kMinimumCaptionContrast,
                   hexOf(chosen).c_str());
    return chosen;
}

// How an icon reads on the bar: by its outer strokes, the solid pixels just inside its
// outline, whose middle one must stand out; light inner strokes or fills do not speak for
// dark outer ones, nor the other way round.
double strokeContrast(const gfx::Image& icon, const gfx::Color& bar)
{
    int w = icon.pixelWidth(), h = icon.pixelHeight();
    auto alpha = [&](int x, int y) { return x < 0 || y < 0 || x >= w || y >= h ? 0.0 : icon.colorAt(x, y).a; };
    auto near = [&](int x, int y, int reach, auto test) {
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dx = -reach; dx <= reach; ++dx)
                if (test(alpha(x + dx, y + dy)))
                    return true;
        return false;
    };
    std::vector<double> stroke, solid;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            gfx::Color c = icon.colorAt(x, y);
            if (c.a < 0.5)
                continue;
            double contrast = gfx::Color::contrastRatio(mixed(bar, c.withAlpha(1), c.a), bar);
            solid.push_back(contrast);
            if (c.a >= 0.9 && !near(x, y, 1, [](double a) { return a < 0.9; }) && near(x, y, 2, [](double a) { return a < 0.5; }))
                stroke.push_back(contrast);
        }
    std::vector<double>& judged = stroke.empty() ? solid : stroke;
    if (judged.empty())
        return 21;
    auto middle = judged.begin() + static_cast<long>(judged.size() / 2);
    std::nth_element(judged.begin(), middle, judged.end());
    return *middle;
}

// The application's own icon where its strokes read on the bar; else turned over: its darkest
// strokes in the caption's colour (which reads there), its lightest fills in the bar's, so its
// inner shapes stay. A client's own icon is the client's choice and stays.
gfx::Image readableIcon(const std::string& name, const gfx::Color& bar, const gfx::Color& caption, bool say)
{
    gfx::Image icon = SkinManager::skinFromImageName(name);
    if (icon.isNull() || SkinManager::hasCustomerImage(name))
        return icon;
    double contrast = strokeContrast(icon, bar);
    if (contrast >= kMinimumIconContrast)
        return icon;
    if (say)
        base::logf("tab bar: icon %s is %.2f:1 on the bar %s, under %.0f:1; drawn in %s", name.c_str(), contrast,
                   hexOf(bar).c_str(), kMinimumIconContrast, hexOf(caption).c_str());
    return icon.mappedByLightness(caption, bar);
}

constexpr double kButtonTop = 8;
constexpr double kButtonHeight = 50;
constexpr double kFirstButtonX = 320;
constexpr double kScreenWidth = 1024;
constexpr int kOrdersTag = 5;

std::shared_ptr<ui::NavigationController> wrapped(const std::shared_ptr<ui::ViewController>& screen, bool barHidden)
{
    auto nav = std::make_shared<ui::NavigationController>(screen);
    nav->setNavigationBarHidden(barHidden);
    return nav;
}

// Text read as an integer the lenient way: leading digits count, anything else is 0.
long long integerValue(const std::string& text)
{
    return std::strtoll(text.c_str(), nullptr, 10);
}

} // namespace

std::shared_ptr<UITabBarControllerExt> UITabBarControllerExt::create()
{
    auto controller = std::make_shared<UITabBarControllerExt>();
    controller->addViewControllers();
    controller->hideTabBar();
    return controller;
}

UITabBarControllerExt::~UITabBarControllerExt()
{
    LanguageManager::sharedInstance()->unRegisterLanugageNotification(this);
    if (m_logoutPopController)
        m_logoutPopController->setDelegate(nullptr);
}

void UITabBarControllerExt::addViewControllers()
{
    std::vector<std::shared_ptr<ui::ViewController>> screens;
    screens.push_back(std::make_shared<HomeViewController>());
    screens.push_back(wrapped(std::make_shared<CatalogViewController>(), true));
    screens.push_back(wrapped(std::make_shared<CustomerViewController>(), false));
    screens.push_back(wrapped(std::make_shared<InventoryViewController>(), false));
    screens.push_back(wrapped(std::make_shared<SaleslibraryController>(), false));
    screens.push_back(wrapped(std::make_shared<QuoteOrderHistoryController>(), false));
    screens.push_back(wrapped(std::make_shared<SyncViewController>(), true));
    setViewControllers(screens);
}

void UITabBarControllerExt::hideTabBar()
{
    setTabBarHidden(true);
    view()->setBackgroundColor(gfx::Color::white());
    for (auto& screen : viewControllers())
        screen->view()->setFrame({{0, 0}, ui::Window::kScreenSize});
}

void UITabBarControllerExt::viewDidLoad()
{
    ui::TabBarController::viewDidLoad();
    if (m_bViewHasLoad)
        return;
    LanguageManager::sharedInstance()->registerLanugageNotification(
        std::dynamic_pointer_cast<LanguageManagerDelegate>(sharedController()));
    m_itmeButtonArray.clear();
    addCustomElements();
    loadByConfig();
    selectTab(0);
    m_bViewHasLoad = true;
}

void UITabBarControllerExt::viewDidAppear(bool animated)
{
    ui::TabBarController::viewDidAppear(animated);
    for (auto& screen : viewControllers()) {
        auto shown = screen;
        if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(screen))
            shown = nav->viewControllers().empty() ? nullptr : nav->viewControllers().front();
        if (auto* config = dynamic_cast<ConfigDelegate*>(shown.get()))
            config->loadByConfig();
    }
}

gfx::Image UITabBarControllerExt::barImage()
{
    gfx::Image skin = SkinManager::skinFromImageName(std::string("btmbar-bg.png"));
    // The client may name its own bar picture among its configuration images.
    std::optional<std::string> path;
    if (auto name = DataAccessManager::sharedDataModel()->getFullImagePathByTitle(std::string("top bar")))
        if (auto file = PublicFunction::filePathWithNameFiletype(name, 3); file && base::FileManager::exists(*file))
            path = file;
    if (!path) {
        m_barPath.clear();
        m_barPicture = {};
        return skin;
    }
    if (*path == m_barPath && m_barPicture)
        return m_barPicture;
    // Decoded off the main thread; the skin's bar (or the application's) draws meanwhile and
    // stays for a file that cannot be read.
    m_barPath = *path;
    auto [picture, arrive] = gfx::Image::awaited(skin);
    m_barPicture = picture;
    std::weak_ptr<ui::ViewController> weak = sharedController();
    ScreenPicture::loadWith([file = *path] { return ScreenPicture::decode(file, {kScreenWidth, kScreenWidth}); }, weak,
                            [weak, arrive = std::move(arrive)](gfx::Image decoded) {
        arrive(decoded);
        if (auto self = std::static_pointer_cast<UITabBarControllerExt>(weak.lock()); self && decoded)
            self->setBackgroundView();
    });
    return m_barPicture;
}

void UITabBarControllerExt::addCustomElements()
{
    m_backgroundImage = ui::View::make<ui::ImageView>(gfx::Rect(0, kBarTop, kScreenWidth, kBarHeight));
    m_backgroundImage->setUserInteractionEnabled(true);
    m_backgroundImage->setImage(barImage());
    view()->addSubview(m_backgroundImage);
    // The bar's captions and icons are chosen to read on the skin's pictures as they arrive.
    std::weak_ptr<ui::ViewController> weakBar = sharedController();
    m_skinPicturesArrived = base::NotificationCenter::defaultCenter().addObserver(
        SkinManager::kPicturesArrivedNotification, nullptr, [weakBar](const base::Notification&) {
            if (auto self = std::static_pointer_cast<UITabBarControllerExt>(weakBar.lock()))
                self->setBackgroundView();
        });

    m_btnLogo = ui::View::make<ui::Button>(ui::ButtonType::Custom, gfx::Rect(15, 709, 222, 51));
    m_btnLogo->setBackgroundColor(std::nullopt);
    m_btnLogo->setBackgroundImage(SkinManager::skinFromImageName(std::string("homelogo.png")));
    m_btnLogo->setBackgroundImage(SkinManager::skinFromImageName(std::string("homelogo_highlight.png")),
                                  ui::ControlStateHighlighted);
    auto longPress = std::make_shared<ui::LongPressGestureRecognizer>();
    std::weak_ptr<ui::Responder> weak = weak_from_this();
    longPress->addTarget([weak](ui::GestureRecognizer& gesture) {
        if (auto self = std::static_pointer_cast<UITabBarControllerExt>(weak.lock()))
            self->logoOnLongClickListener(gesture);
    });
    m_btnLogo->addGestureRecognizer(longPress);
    view()->addSubview(m_btnLogo);

    std::shared_ptr<TabBarItemButton>* fields[] = {&m_homeBtn, &m_catalogBtn, &m_customerBtn, &m_inventoryBtn,
                                                   &m_salesLibraryBtn, &m_quoteOrderBtn, &m_syncBtn, &m_settingsBtn};
    for (int tag = 0; tag <= kSettingsTag; ++tag) {
        auto button = std::make_shared<TabBarItemButton>();
        button->setTitle(Language::stringWithName(kTabs[tag].captionKey));
        button->setTag(tag);
        button->addTargetActionForControlEvents([weak, tag](ui::Control&) {
            auto self = std::static_pointer_cast<UITabBarControllerExt>(weak.lock());
            if (!self)
                return;
            if (tag == kSettingsTag)
                self->settingsBtnClicked();
            else
                self->buttonClicked(tag);
        }, ui::ControlEventTouchUpInside);
        m_backgroundImage->addSubview(button);
        m_itmeButtonArray.push_back(button);
        *fields[tag] = button;
    }
}

void UITabBarControllerExt::layoutVisibleButtons(double left, double step, double width)
{
    int shown = 0;
    for (auto& button : m_itmeButtonArray)
        shown += button->isHidden() ? 0 : 1;
    // The settings button is the last one: it, and the language and logout behind it, must
    // stay on screen.
    if (shown > 1 && left + step * (shown - 1) + width > kScreenWidth)
        step = std::floor((kScreenWidth - width - left) / (shown - 1));
    int k = 0;
    for (auto& button : m_itmeButtonArray) {
        if (button->isHidden())
            continue;
        button->setFrame({left + step * k, kButtonTop, width, kButtonHeight});
        ++k;
    }
}

void UITabBarControllerExt::loadByConfig()
{
    auto config = ConfigManager::sharedInstance();
    for (auto& button : m_itmeButtonArray)
        button->setHidden(!config->isOnShow(button->tag()));
    layoutVisibleButtons(kFirstButtonX, 90, TabBarItemButton::kSize.width);
    setBackgroundView();
}

void UITabBarControllerExt::setBackgroundView()
{
    if (m_backgroundImage)
        m_backgroundImage->setImage(barImage());
    auto [normal, selected] = captionColors();
    gfx::Image picture = barImage();
    gfx::Color bar = meanColorOf(picture, {kScreenWidth, kBarHeight});
    bool settled = !picture.awaitsPicture();
    for (auto& button : m_itmeButtonArray) {
        const TabInfo& info = kTabs[button->tag()];
        // The skin's icons, or the application's own where they read on the bar.
        if (!button->isHidden()) {
            button->setImgNormal(readableIcon(info.icon, bar, normal, settled));
            button->setImgFocus(readableIcon(info.selectedIcon, bar, selected, settled));
        }
        button->setCaptionColors(normal, selected);
    }
}

std::pair<gfx::Color, gfx::Color> UITabBarControllerExt::captionColors()
{
    gfx::Image picture = barImage();
    gfx::Color bar = meanColorOf(picture, {kScreenWidth, kBarHeight});
    bool settled = !picture.awaitsPicture();
    std::vector<std::string> captions;
    for (const auto& info : kTabs)
        captions.push_back(Language::stringWithName(info.captionKey));
    return {readableCaptionColor(SkinManager::skinColorNamed("TabTitleColor"), TabBarItemButton::captionColor(false),
                                 gfx::Color::white(), bar, "tab", captions, settled),
            readableCaptionColor(SkinManager::skinColorNamed("TabTitleSelectedColor"), TabBarItemButton::captionColor(true),
                                 gfx::Color::fromRgb(150, 205, 250), bar, "selected tab", captions, settled)};
}

void UITabBarControllerExt::setButtonImagNormalImgSelectImg(TabBarItemButton& button, const std::string& normal,
                                                            const std::string& selected)
{
    if (button.isHidden())
        return;
    button.setImgNormal(SkinManager::skinFromImageName(normal));
    button.setImgFocus(SkinManager::skinFromImageName(selected));
}

void UITabBarControllerExt::buttonClicked(int tag)
{
    selectTab(tag);
}

bool UITabBarControllerExt::shownScreenTakesTyping(bool quiet)
{
    auto shown = selectedViewController();
    if (auto* nav = dynamic_cast<ui::NavigationController*>(shown.get()))
        shown = nav->topViewController();
    auto* screen = dynamic_cast<BaseViewController*>(shown.get());
    return !screen || screen->takeTyping(quiet);
}

void UITabBarControllerExt::selectTab(int index)
{
    if (index < 0)
        return;
    if (static_cast<size_t>(index) != selectedIndex() && !shownScreenTakesTyping(false))
        return;
    setSelectedIndex(static_cast<size_t>(index));
    auto catalog = catalogDelegate();
    auto library = libraryDelegate();
    if (index == 1) {
        if (library)
            library->removeLibraryView();
        if (catalog)
            catalog->addCatologView();
    } else if (index == 4) {
        if (catalog)
            catalog->removeCalogView();
        if (library)
            library->addLibraryView();
    } else {
        if (catalog)
            catalog->removeCalogView();
        if (library)
            library->removeLibraryView();
        itemsMove(true);
    }
    m_iPerSelectTab = m_iCurSelectTab;
    m_iCurSelectTab = index;
    for (size_t i = 0; i < m_itmeButtonArray.size(); ++i)
        m_itmeButtonArray[i]->setSelected(static_cast<int>(i) == index);
}

void UITabBarControllerExt::returnPerselectTab()
{
    if (m_iPerSelectTab >= 0 && static_cast<size_t>(m_iPerSelectTab) < m_itmeButtonArray.size())
        buttonClicked(m_itmeButtonArray[static_cast<size_t>(m_iPerSelectTab)]->tag());
}

void UITabBarControllerExt::itemsMove(bool panelHidden)
{
    if (panelHidden) {
        layoutVisibleButtons(kFirstButtonX, 100, 64);
        if (m_btnLogo)
            m_btnLogo->setFrame({15, 705, 225, 51});
    } else {
        layoutVisibleButtons(490, 78, 68);
        if (m_btnLogo)
            m_btnLogo->setFrame({265, 705, 225, 51});
    }
}

std::shared_ptr<TabBarItemButton> UITabBarControllerExt::buttonWithTag(int tag) const
{
    for (auto& button : m_itmeButtonArray)
        if (button->tag() == tag)
            return button;
    return nullptr;
}

void UITabBarControllerExt::setBadgeValueTabBarItemTagAnimated(const std::optional<std::string>& value, int tag,
                                                               bool animated)
{
    auto button = buttonWithTag(tag);
    if (!button)
        return;
    std::optional<std::string> shown = value;
    if (tag == kOrdersTag && value) {
        long long count = integerValue(*value);
        if (count == 0)
            shown.reset();
        else if (count >= 1000)
            shown = "999+";
    }
    button->setBadgeValueAnimated(shown, animated);
}

void UITabBarControllerExt::startSyncIconAnimation()
{
    if (m_syncBtn) {
        m_syncBtn->stopBlinkIcon();
        m_syncBtn->startBlinkIcon();
    }
}

void UITabBarControllerExt::stopSyncIconAnimation()
{
    if (m_syncBtn)
        m_syncBtn->stopBlinkIcon();
}

void UITabBarControllerExt::settingsBtnClicked()
{
    auto settings = SettingsViewController::create();
    settings->setDelegate(std::dynamic_pointer_cast<SettingsViewControllerDelegate>(sharedController()));
    auto sheet = std::make_shared<ui::NavigationController>(settings);
    sheet->setModalPresentationStyle(ui::ModalPresentationStyle::FormSheet);
    presentViewController(sheet, true, {});
    if (m_settingsBtn)
        m_settingsBtn->setSelected(true);
}

void UITabBarControllerExt::deselectButton()
{
    if (m_settingsBtn)
        m_settingsBtn->setSelected(false);
}

void UITabBarControllerExt::logoOnLongClickListener(ui::GestureRecognizer& gesture)
{
    if (gesture.state() != ui::GestureRecognizer::State::Began || !m_btnLogo)
        return;
    auto content = std::make_shared<LoginPopController>();
    content->view()->setBackgroundColor(std::nullopt);
    content->setDelegate(std::dynamic_pointer_cast<LoginPopControllerDelegate>(sharedController()));
    if (m_logoutPopController) {
        m_logoutPopController->setDelegate(nullptr);
        m_logoutPopController->dismissPopoverAnimated(false);
    }
    m_logoutPopController = std::make_shared<ui::PopoverController>(content);
    m_logoutPopController->setDelegate(this);
    m_logoutPopController->setPopoverBackgroundStyle(2);
    m_logoutPopController->setPopoverContentSize(LoginPopController::kContentSize);
    gfx::Rect logo = m_btnLogo->frame();
    m_logoutPopController->presentPopoverFromRect({logo.x() - 10, 705, 225, 51}, view().get(),
                                                  ui::PopoverArrowDirectionAny, true);
}

void UITabBarControllerExt::goBackLoginView()
{
    if (m_logoutPopController)
        m_logoutPopController->dismissPopoverAnimated(false);
    if (!shownScreenTakesTyping(false))
        return;
    if (auto app = BrivantaAppDelegate::sharedAppDelegate())
        app->showLoginPage();
}

void UITabBarControllerExt::notifiChangelanguage()
{
    for (auto& button : m_itmeButtonArray)
        button->setTitle(Language::stringWithName(kTabs[button->tag()].captionKey));
    // Captions in another script draw thinner or thicker: their colours are judged again.
    if (!m_itmeButtonArray.empty())
        setBackgroundView();
}
