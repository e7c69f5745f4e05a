#pragma once
#include "Platform/Base/NotificationCenter.h"

#include <memory>
#include <string>
#include <vector>

// Told when the user switches the language, so the texts can be drawn again.
class LanguageManagerDelegate {
public:
    virtual ~LanguageManagerDelegate() = default;
    virtual void notifiChangelanguage() = 0;
};

// The current language (0 not chosen yet, 1 English, 2 Chinese), kept in the user defaults
// under "language", and the listeners told of a change. Main thread only; made once and kept
// for the whole run.
class LanguageManager {
public:
    static std::shared_ptr<LanguageManager> sharedInstance();

    LanguageManager();
    LanguageManager(const LanguageManager&) = delete;
    LanguageManager& operator=(const LanguageManager&) = delete;

    // 0 derives the language from the device's preferred languages.
    void setCurrentLanguage(int language);
    int currentLanguage() const { return m_currentLanguage; }
    // "zh" for Chinese, else "en" (web-page addresses).
    std::string curStringLanguage() const;

    // Listeners are not owned, and each is held at most once; a destroyed one is skipped.
    void registerLanugageNotification(const std::shared_ptr<LanguageManagerDelegate>& listener);
    void unRegisterLanugageNotification(const LanguageManagerDelegate* listener);
    void removeAllLanugageNotification();

    // Any change of the user defaults; another process may have chosen a language.
    void defaultsDidChanged();

private:
    struct Entry {
        // Compared by address, so a listener can unregister from its destructor.
        const LanguageManagerDelegate* key;
        std::weak_ptr<LanguageManagerDelegate> listener;
    };
    void notifyListeners();
    void dropRemovedEntries();

    int m_currentLanguage = 0;
    bool m_isSettingByCode = false;
    std::vector<Entry> m_languageNotifications;
    // While a broadcast runs, removed entries are blanked rather than erased, so the
    // broadcast's index keeps pointing at the next listener.
    int m_broadcastDepth = 0;
    base::ObserverToken m_defaultsObserver;
};
