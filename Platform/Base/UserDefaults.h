#pragma once
#include "Platform/Base/Value.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace base {

// Settings kept as an XML property list (mode 0600). Every change is written at once,
// atomically, so that neither an exit nor a failed write can lose or damage what was saved.
// A missing key is distinct from any value; booleans, integers, reals, strings, dates, data,
// arrays and dictionaries keep their types across a reload. Safe to use from any thread.
//
// After every set or remove, kDidChangeNotification is posted synchronously on the calling
// thread, with the store as object; synchronize() posts it too when it finds that another
// process replaced the file and reloads it.
class UserDefaults : public std::enable_shared_from_this<UserDefaults> {
public:
    static constexpr const char* kDidChangeNotification = "UserDefaultsDidChangeNotification";
    // The user's preferred languages (tags such as "zh-Hans", "en"): the stored list, else the
    // one the environment gives (preferredLanguagesFromEnvironment).
    static constexpr const char* kPreferredLanguagesKey = "AppleLanguages";

    // Backed by home/Library/Preferences/brivanta.plist, loaded on first use.
    static std::shared_ptr<UserDefaults> standard();
    // Drops the shared instance: the next standard() reads the file again.
    static void resetStandard();

    // A corrupt file reads as empty (and is logged), and is replaced on the next change.
    explicit UserDefaults(std::filesystem::path file);

    const std::filesystem::path& filePath() const { return m_file; }

    std::optional<Value> objectForKey(const std::string& key) const;
    // Numbers, booleans and numeric strings convert; anything else gives false / 0.
    bool boolForKey(const std::string& key) const;
    int64_t integerForKey(const std::string& key) const;
    double doubleForKey(const std::string& key) const;
    // Strings, and numbers as text; nullopt otherwise.
    std::optional<std::string> stringForKey(const std::string& key) const;
    std::optional<Date> dateForKey(const std::string& key) const;
    std::optional<Array> arrayForKey(const std::string& key) const;
    std::optional<Dictionary> dictionaryForKey(const std::string& key) const;

    // Setting null removes the key. A value a property list cannot hold (a null inside) is
    // refused, leaving the old value. Each returns whether the change is on disk.
    bool setObject(const Value& value, const std::string& key);
    bool setBool(bool value, const std::string& key);
    bool setInteger(int64_t value, const std::string& key);
    bool setDouble(double value, const std::string& key);
    bool setString(const std::string& value, const std::string& key);
    bool removeObjectForKey(const std::string& key);
    bool removeAll();
    // Reloads the file when another process replaced it since this store last read or wrote
    // it; otherwise writes the current values now.
    bool synchronize();

    // From LANGUAGE (a ":" list), LC_ALL, LC_MESSAGES and LANG, in that order, without
    // repeats: zh_CN and zh_SG give "zh-Hans", zh_TW, zh_HK and zh_MO "zh-Hant", any other
    // locale its language code; "en" when none names a language.
    static std::vector<std::string> preferredLanguagesFromEnvironment();

private:
    // What identifies the file's current contents without reading it.
    struct FileStamp {
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t size = 0;
        int64_t modifiedNanoseconds = 0;
        bool operator==(const FileStamp&) const = default;
    };
    static std::optional<FileStamp> stampOf(const std::filesystem::path& file);
    void loadLocked();
    bool writeLocked();
    void postChange();

    std::filesystem::path m_file;
    mutable std::mutex m_mutex;
    Dictionary m_values;
    // The file as this store last read or wrote it.
    std::optional<FileStamp> m_stamp;
};

} // namespace base
