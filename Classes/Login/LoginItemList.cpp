#include "Classes/Login/LoginItemList.h"

#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/UI/LongPressGestureRecognizer.h"
#include "Platform/UI/NamedImage.h"
#include "Protocol/SavedLogins.h"

#include <algorithm>

namespace {

struct DemoTenant {
    const char* flagKey;
    const char* clientId;
    const char* image;
    gfx::EdgeInsets insets; // top, left, bottom, right
};

const DemoTenant kDemoTenants[] = {
    {LoginItemList::kZKorvKey, "tolbernix_", "icon_tolbernix.png", {10, 15, 10, 90}},
    {LoginItemList::kWendloftKey, "wendloft_", "icon_wendloft.png", {0, 15, 0, 90}},
};

const DemoTenant* demoTenantOf(const LoginItem& item)
{
    for (const DemoTenant& tenant : kDemoTenants)
        if (item.clientId() == tenant.clientId)
            return &tenant;
    return nullptr;
}

std::string textOf(const base::Dictionary& entry, const char* key)
{
    const base::Value* value = entry.find(key);
    return value && value->isString() ? value->asString() : std::string();
}

} // namespace

LoginItemList::LoginItemList(const gfx::Rect& frame) : ScrollView(frame)
{
    setPagingEnabled(true);
    // The row scrolls sideways only; it shows no indicator.
    setShowsScrollIndicators(false);
    readFlags(m_isShowZKorv, m_isShowWendloft);

    auto& center = base::NotificationCenter::defaultCenter();
    m_defaultsObserver = center.addObserver(base::UserDefaults::kDidChangeNotification, nullptr,
                                            [this](const base::Notification&) { defaultsDidChange(); });
    m_backgroundObserver = center.addObserver("AppWillEnterBackgound", nullptr,
                                              [this](const base::Notification&) { enterBackground(); });
    m_foregroundObserver = center.addObserver("AppWillEnterForegroud", nullptr,
                                              [this](const base::Notification&) { enterForeground(); });
}

LoginItemList::~LoginItemList() = default;

void LoginItemList::readFlags(bool& zKorv, bool& wendloft) const
{
    auto defaults = base::UserDefaults::standard();
    zKorv = defaults->boolForKey(kZKorvKey);
    wendloft = defaults->boolForKey(kWendloftKey);
}

void LoginItemList::setLoginArry(base::Array list)
{
    m_loginArry = std::move(list);
    reConstructAttributes();
}

std::shared_ptr<LoginItem> LoginItemList::makeDemoItem(int index)
{
    const DemoTenant& tenant = kDemoTenants[index];
    auto item = std::make_shared<LoginItem>();
    item->setIsDemo(true);
    item->setClientId(tenant.clientId);
    gfx::Image image = ui::imageNamed(tenant.image);
    item->setImage(image, ui::ControlStateNormal);
    item->setImage(image, ui::ControlStateHighlighted);
    item->setImageEdgeInsets(tenant.insets);
    item->setHasNoLogo(true);
    return item;
}

std::shared_ptr<LoginItem> LoginItemList::makeSavedItem(const base::Dictionary& entry)
{
    auto item = std::make_shared<LoginItem>();
    item->setAccountId(textOf(entry, SavedLogins::kUser));
    item->setPassWord(textOf(entry, SavedLogins::kCredential));
    item->setClientId(textOf(entry, SavedLogins::kClient));
    // The logo is read only from a client folder; a blank or unsafe id has none.
    // A logo still being decoded draws when it arrives.
    if (gfx::Image logo = SkinManager::getLogoWithClientId(item->clientId()); logo || logo.awaitsPicture()) {
        item->setImage(logo, ui::ControlStateNormal);
        item->setImage(logo, ui::ControlStateHighlighted);
        item->setImageEdgeInsets({10, 10, 10, 10});
    } else {
        gfx::Image fallback = ui::imageNamed("icon-default_shortchut.png");
        item->setImage(fallback, ui::ControlStateNormal);
        item->setImage(fallback, ui::ControlStateHighlighted);
        item->setImageEdgeInsets({10, 10, 10, 160});
        item->setHasNoLogo(true);
    }
    return item;
}

void LoginItemList::reConstructAttributes()
{
    for (auto& item : m_itemList)
        item->removeFromSuperview();
    m_itemList.clear();

    if (m_isShowZKorv)
        m_itemList.push_back(makeDemoItem(0));
    if (m_isShowWendloft)
        m_itemList.push_back(makeDemoItem(1));
    for (const base::Dictionary& entry : SavedLogins::shortcutEntries(m_loginArry))
        m_itemList.push_back(makeSavedItem(entry));

    for (auto& item : m_itemList) {
        std::weak_ptr<LoginItem> weak = item;
        item->addTarget(
            [this, weak](ui::Control&) {
                if (auto tile = weak.lock())
                    loginItemClick(*tile);
            },
            ui::ControlEventTouchUpInside);
        addSubview(item);
    }
    layoutItems();
}

int LoginItemList::page() const
{
    if (m_itemList.empty())
        return 1;
    return static_cast<int>((m_itemList.size() + kTilesPerPage - 1) / kTilesPerPage);
}

void LoginItemList::layoutItems()
{
    // Also without tiles: a row whose last tile went must not scroll over empty pages.
    setContentSize({page() * kPageWidth, bounds().height()});
    if (m_itemList.empty())
        return;
    int n = std::min(static_cast<int>(m_itemList.size()), kTilesPerPage);
    double gap = (kPageWidth - LoginItem::kWidth * n) / (n + 3);
    for (size_t i = 0; i < m_itemList.size(); ++i) {
        LoginItem& item = *m_itemList[i];
        int p = static_cast<int>(i) / n;
        int j = static_cast<int>(i) % n;
        item.setFrame({kPageWidth * p + 2 * gap + j * (LoginItem::kWidth + gap), 10, LoginItem::kWidth,
                       LoginItem::kHeight});
        item.setDelegate(static_cast<LoginItemDelegate*>(this));
        // Laid out again after every deletion: one recogniser per tile is enough.
        if (item.gestureRecognizers().empty()) {
            auto press = std::make_shared<ui::LongPressGestureRecognizer>();
            press->addTarget([this](ui::GestureRecognizer& recognizer) { itemOnLongPress(recognizer); });
            item.addGestureRecognizer(press);
        }
        item.setShaking(m_isShaking);
    }
}

void LoginItemList::loginItemClick(LoginItem& item)
{
    if (item.shaking())
        return;
    if (m_itemListDelegate)
        m_itemListDelegate->loginItemClick(item);
}

void LoginItemList::itemOnLongPress(ui::GestureRecognizer& recognizer)
{
    if (recognizer.state() == ui::GestureRecognizer::State::Began)
        addDeleteItemBtn();
}

void LoginItemList::addDeleteItemBtn()
{
    for (auto& item : m_itemList)
        item->setShaking(true);
    m_isShaking = true;
}

void LoginItemList::stopSharking()
{
    RemoveAllDeleteItemBtn();
}

void LoginItemList::RemoveAllDeleteItemBtn()
{
    for (auto& item : m_itemList)
        item->setShaking(false);
    m_isShaking = false;
}

void LoginItemList::resetItemStatus()
{
    for (auto& item : m_itemList)
        item->setSelected(false);
}

void LoginItemList::btnDeleteClick(LoginItem& deleted)
{
    auto found = std::find_if(m_itemList.begin(), m_itemList.end(),
                              [&](const std::shared_ptr<LoginItem>& item) { return item.get() == &deleted; });
    if (found == m_itemList.end())
        return;
    std::shared_ptr<LoginItem> item = *found; // alive until the delegate has heard of it
    item->removeFromSuperview();
    m_itemList.erase(found);
    layoutItems();

    auto defaults = base::UserDefaults::standard();
    if (item->isDemo()) {
        if (const DemoTenant* tenant = demoTenantOf(*item)) {
            // The field first, so the change notice finds nothing to rebuild.
            (tenant->flagKey == std::string(kZKorvKey) ? m_isShowZKorv : m_isShowWendloft) = false;
            defaults->setBool(false, tenant->flagKey);
        }
    } else if (auto list = SavedLogins::afterTileDeletion(SavedLogins::stored(), item->accountId(),
                                                          item->passWord(), item->clientId())) {
        SavedLogins::store(*list);
        // A later rebuild from the list held here must not bring the tile back.
        m_loginArry = *list;
    }
    defaults->synchronize();
    if (m_itemListDelegate)
        m_itemListDelegate->loginItemDelete(*item);
}

void LoginItemList::defaultsDidChange()
{
    // The store may be changed on any thread; the tiles live on the main one.
    if (!base::RunLoop::isMainThread()) {
        std::weak_ptr<View> weak = sharedView();
        base::RunLoop::main().post([weak] {
            if (auto row = std::static_pointer_cast<LoginItemList>(weak.lock()))
                row->defaultsDidChange();
        });
        return;
    }
    bool zKorv = false, wendloft = false;
    readFlags(zKorv, wendloft);
    if (zKorv == m_isShowZKorv && wendloft == m_isShowWendloft)
        return;
    m_isShowZKorv = zKorv;
    m_isShowWendloft = wendloft;
    reConstructAttributes();
}

void LoginItemList::enterBackground()
{
    // The wiggles stop; the badges and the mode stay.
    for (auto& item : m_itemList)
        PublicFunction::setViewShakingShaking(item.get(), false);
}

void LoginItemList::enterForeground()
{
    if (m_isShaking)
        addDeleteItemBtn();
}
