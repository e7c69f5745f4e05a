#include "Common/LanguageManager.h"

#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/UserDefaults.h"

#include <algorithm>
#include <climits>

namespace {

constexpr const char* kLanguageKey = "language";

} // namespace

std::shared_ptr<LanguageManager> LanguageManager::sharedInstance()
{
    static const auto instance = std::make_shared<LanguageManager>();
    return instance;
}

LanguageManager::LanguageManager()
{
    // The store tells of changes on the thread that made them; the manager lives on the main
    // thread, and for the whole run, so the plain pointer stays valid.
    m_defaultsObserver = base::NotificationCenter::defaultCenter().addObserver(
        base::UserDefaults::kDidChangeNotification, nullptr, [this](const base::Notification& n) {
            if (n.object.get() != base::UserDefaults::standard().get())
                return;
            base::performOnMain([this] { defaultsDidChanged(); });
        });
}

void LanguageManager::setCurrentLanguage(int language)
{
    auto defaults = base::UserDefaults::standard();
    if (language == 0) {
        // Derived from the device; the store's echo of this write is skipped once.
        m_isSettingByCode = true;
        int derived = PublicFunction::getPreferredLanguage() == "zh-Hans" ? 2 : 1;
        defaults->setInteger(derived, kLanguageKey);
        defaults->synchronize();
        m_currentLanguage = derived;
        return;
    }
    if (language == m_currentLanguage)
        return;
    m_currentLanguage = language;
    Language::resetLanguageCache();
    notifyListeners();
    defaults->setInteger(language, kLanguageKey);
    defaults->synchronize();
}

std::string LanguageManager::curStringLanguage() const
{
    return m_currentLanguage == 2 ? "zh" : "en";
}

void LanguageManager::registerLanugageNotification(const std::shared_ptr<LanguageManagerDelegate>& listener)
{
    if (!listener)
        return;
    if (m_broadcastDepth == 0)
        dropRemovedEntries();
    for (auto& entry : m_languageNotifications) {
        if (entry.key != listener.get())
            continue;
        if (!entry.listener.expired())
            return;
        // A destroyed listener left its entry and a new one took its address.
        entry.listener = listener;
        return;
    }
    m_languageNotifications.push_back({listener.get(), listener});
}

void LanguageManager::unRegisterLanugageNotification(const LanguageManagerDelegate* listener)
{
    if (!listener)
        return;
    auto found = std::find_if(m_languageNotifications.begin(), m_languageNotifications.end(),
                              [&](const Entry& e) { return e.key == listener; });
    if (found == m_languageNotifications.end())
        return;
    if (m_broadcastDepth > 0)
        *found = Entry{nullptr, {}};
    else
        m_languageNotifications.erase(found);
}

void LanguageManager::removeAllLanugageNotification()
{
    if (m_broadcastDepth > 0) {
        for (auto& entry : m_languageNotifications)
            entry = Entry{nullptr, {}};
    } else {
        m_languageNotifications.clear();
    }
}

void LanguageManager::notifyListeners()
{
    ++m_broadcastDepth;
    // The count is read again after every call: listeners may register or unregister here.
    for (size_t i = 0; i < m_languageNotifications.size(); ++i) {
        if (auto listener = m_languageNotifications[i].listener.lock())
            listener->notifiChangelanguage();
    }
    if (--m_broadcastDepth == 0)
        dropRemovedEntries();
}

void LanguageManager::dropRemovedEntries()
{
    std::erase_if(m_languageNotifications,
                  [](const Entry& e) { return e.key == nullptr || e.listener.expired(); });
}

void LanguageManager::defaultsDidChanged()
{
    if (m_isSettingByCode) {
        m_isSettingByCode = false;
        return;
    }
    int64_t stored = base::UserDefaults::standard()->integerForKey(kLanguageKey);
    setCurrentLanguage(static_cast<int>(std::clamp<int64_t>(stored, INT_MIN, INT_MAX)));
}
